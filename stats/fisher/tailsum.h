#pragma once

#include "subsetsp.h"

#include <QtGlobal>

#include <vector>

// The last columns of the network, summed from the other side. Late in the
// network few columns remain, but every undecided partial table is still
// carried across every arc, and the lists are at their longest: there it is
// cheaper to list, for a node, the completions of its key over the
// remaining columns and to pair them with the node's past list in one sweep.
//
// Only completions that some past decides are listed: a walk over the
// columns drops a branch whose longest completion counts with every past
// (its whole weight is added at once) or whose shortest counts with none.
class tailsum final
{
public:
    // The most columns a tail may have: the walk recurses once per column.
    static constexpr int kMaxColumns = 12;

    explicit tailsum(const double *lf) : m_lf(lf), m_subset(lf) {}

    // Bytes that prepare() holds for the columns c[0..k-1].
    static qint64 bytesNeeded(int k, const int *cols);

    // The remaining columns c[0..k-1] (1 <= k <= kMaxColumns): ln C rows and
    // the longest and shortest completion of every key over c[0..j].
    // False when the tables cannot be allocated.
    bool prepare(int k, const int *cols);

    // The bounds of one node's past list: a completion f counts with every
    // past when f <= low, and with none when f > high.
    void setCuts(double low, double high);

    // How many steps the walk for key r takes, and how many completions it
    // lists; stops counting past limit steps (and returns more than limit).
    // Both walks poll for a stop now and then: stopped() tells.
    qint64 steps(int r, qint64 limit, qint64 &listed);

    // Walks key r: lengths() ascending, sums()[j] the sum of
    // exp(length - listReference()) over the first j of them; everyMass()
    // the sum of exp(length - everyReference()) over the completions that
    // count with every past. listed: from steps(). False when the buffers
    // cannot be allocated.
    bool build(int r, qint64 listed);

    bool stopped() const { return m_stopped; }
    const std::vector<double> &lengths() const { return m_lengths; }
    const std::vector<long double> &sums() const { return m_sums; }
    double listReference() const { return m_listReference; }
    long double everyMass() const { return m_every; }
    double everyReference() const { return m_everyReference; }

    static qint64 listBytes(qint64 listed)
    {
        return listed * qint64(sizeof(double) + sizeof(long double)) + qint64(sizeof(long double));
    }

    void clear();

private:
    void walk(int j, int rest, double length);
    double lnC(int a, int b) const { return m_lf[a] - m_lf[b] - m_lf[a - b]; }

    const double *m_lf;
    subsetsp m_subset;
    int m_k = 0;
    std::vector<std::vector<double>> m_lnC;      // per column, ln C(c, x)
    std::vector<int> m_below;                    // total of the columns before j
    std::vector<std::vector<double>> m_longest;  // per j and key, over c[0..j]
    std::vector<std::vector<double>> m_shortest;
    std::vector<std::vector<double>> m_total;    // ln C(c[0] + .. + c[j], key)
    double m_low = 0.0;
    double m_high = 0.0;
    double m_margin = 0.0;
    double m_columnsBound = 0.0;

    static constexpr qint64 kPollMask = (qint64(1) << 20) - 1;
    bool m_counting = false;
    bool m_stopped = false;
    qint64 m_steps = 0;
    qint64 m_limit = 0;
    qint64 m_listed = 0;

    std::vector<double> m_lengths;
    std::vector<long double> m_sums;
    double m_listReference = 0.0;
    long double m_every = 0.0L;
    double m_everyReference = 0.0;
};
