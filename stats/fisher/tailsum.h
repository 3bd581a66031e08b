#pragma once

#include <QtGlobal>

#include <vector>

// The last columns of the network, summed from the other side. Late in the
// network few columns remain, but every undecided partial table is still
// carried across every arc, and the lists are at their longest: there it is
// cheaper to list, for a node, every completion of its key over the
// remaining columns (sorted, with cumulative sums of their weights) and to
// pair it with the node's past list in one sweep.
class tailsum final
{
public:
    // The most columns a tail may have; beyond that the completions of one
    // key are too many to list.
    static constexpr int kMaxColumns = 12;

    explicit tailsum(const double *lf) : m_lf(lf) {}

    // The remaining columns c[0..k-1] (1 <= k <= kMaxColumns); sum: their
    // total.
    void prepare(int k, const int *cols);

    // How many completions key r has (as a double: it is only compared).
    double completions(int r) const;

    // Bytes that listing the completions of key r takes.
    qint64 bytesNeeded(int r) const;

    // Lists the completions of key r: lengths() ascending, and sums()[j]
    // the sum of exp(length - reference()) over the first j of them.
    // Returns false when the buffers cannot be allocated.
    bool build(int r);

    const std::vector<double> &lengths() const { return m_lengths; }
    const std::vector<long double> &sums() const { return m_sums; }
    double reference() const { return m_reference; }

    void clear();

private:
    void enumerate(int j, int rest, double length);

    const double *m_lf;
    int m_k = 0;
    std::vector<std::vector<double>> m_lnC;  // per column, ln C(c, x)
    std::vector<int> m_below;                // total of the columns before j
    std::vector<double> m_count;             // completions per key
    std::vector<double> m_lengths;
    std::vector<long double> m_sums;
    double m_reference = 0.0;
};
