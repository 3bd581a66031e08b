#pragma once

#include <QtGlobal>

#include <cmath>

// The elements of the past lists of the network: the length of the partial
// tables that reach a node, and how many partial tables share it.

// Approximate variant: the length in units of the run's rounding unit, each
// arc's share rounded toward zero; equal values are one element. 64 bits:
// the fine units that guaranteed digits need pass 2^31 on ordinary tables.
struct path
{
    qint64 value;
    double weight;
};

// Exact variant: the length itself. Lengths that agree to 1e-12 relative
// (the same sum of ln C terms added in another order) may share an element.
struct exactpath
{
    double value;
    double weight;
};

// Whether the second of two neighbours in an ascending list joins the first.
inline bool sameLength(const path &kept, const path &next)
{
    return kept.value == next.value;
}

// Mathematically equal lengths differ here only by the rounding of the sums
// (a few ulps); 1e-12 relative covers that and no real difference of two
// lengths that could matter against the 1e-10 tolerance of the test.
inline bool sameLength(const exactpath &kept, const exactpath &next)
{
    return next.value - kept.value <= 1e-12 * std::fabs(next.value);
}

// What one arc carries to a next node: elements begin..end-1 of the list of
// current node source, each length grown by the arc's length (shift; step
// in the approximate variant's units). When a stage sums runs without
// building its lists, counted and saved hold the prefix of the run that
// surely counts, countedMaybe and savedMaybe the longer one that counts at
// the observed length itself (the same where lengths are exact).
struct carriedRun
{
    int source;
    qint64 begin;
    qint64 end;
    double shift;
    qint64 step;
    qint64 counted;
    qint64 saved;
    qint64 countedMaybe;
    qint64 savedMaybe;
};

inline path carriedElement(const path &e, const carriedRun &run)
{
    return path{e.value + run.step, e.weight};
}

inline exactpath carriedElement(const exactpath &e, const carriedRun &run)
{
    return exactpath{e.value + run.shift, e.weight};
}

inline bool lengthBefore(const path &a, const path &b)
{
    return a.value < b.value;
}

inline bool lengthBefore(const exactpath &a, const exactpath &b)
{
    return a.value < b.value;
}
