#pragma once

#include <QtGlobal>

// One stratum (a study, a centre, an ancestry) of a 2 x 2 x K analysis:
//   a: cases exposed      b: cases unexposed
//   c: controls exposed   d: controls unexposed
// "Exposed" is whatever the caller counts: carriers of the effect allele,
// the effect allele itself, an exposure.
struct StratumTable
{
    qint64 a = 0;
    qint64 b = 0;
    qint64 c = 0;
    qint64 d = 0;

    qint64 total() const { return a + b + c + d; }
    // No margin empty: the stratum's first cell can vary with its margins
    // fixed, so it informs the Mantel-Haenszel sums and the exact test.
    bool informative() const { return a + b > 0 && c + d > 0 && a + c > 0 && b + d > 0; }
    bool hasZeroCell() const { return a == 0 || b == 0 || c == 0 || d == 0; }
};

// Counts at least 0, each stratum's total within 2^31 (products of two
// margins stay exact in doubles), and 1 <= k.
bool validStrata(const StratumTable *tables, int k);
