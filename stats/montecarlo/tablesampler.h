#pragma once

#include "lnfactorial.h"

#include <QtGlobal>

#include <random>
#include <vector>

// Exact random tables with fixed margins, built from hypergeometric draws.
// One sampler per thread: it keeps its own work array and reads the run's
// shared log-factorials.
class tablesampler final
{
public:
    // A draw whose cumulative walk misses its uniform through rounding is
    // redrawn, at most this often (a walk misses with probability ~1e-14).
    static constexpr int kMaxRedraws = 64;

    explicit tablesampler(const lnfactorial &lnFact) : m_lnFact(lnFact) {}

    // The number of marked items among `draws` taken at random without
    // replacement from `total` items, `marked` of them marked. Exact: the
    // cumulative distribution is inverted, searched from the mode outwards
    // in order of falling probability, so a draw costs about one standard
    // deviation of steps.
    qint64 hypergeometric(std::mt19937_64 &engine, qint64 total, qint64 marked, qint64 draws);

    // How many of `draws` items taken at random from `total` items fall in
    // each of `categories` groups of the given sizes (which sum to total).
    void multivariate(std::mt19937_64 &engine, const qint64 *sizes, int categories, qint64 total,
                      qint64 draws, qint64 *counts);

    // A random rows x columns table with the given margins (both summing
    // to total), row-major into cells: the distribution of the table under
    // independence with fixed margins, drawn row by row.
    void table(std::mt19937_64 &engine, const qint64 *rowSums, int rows, const qint64 *columnSums,
               int columns, qint64 total, qint64 *cells);

    // A random pairing of 2n alleles (copies per allele in alleles[0..K),
    // summing to 2n) into n pairs, as the K x K table of ordered pairs,
    // row-major into pairs. The pairs are the odd and even positions of a
    // random permutation: the odd positions hold a random n of the copies
    // (multivariate hypergeometric counts), the even ones the rest, and
    // their pairs form a random table with those margins. So a pairing
    // costs about K^2 draws whatever n is.
    void pairing(std::mt19937_64 &engine, const qint64 *alleles, int K, qint64 n, qint64 *pairs);

    // True once a draw ran out of redraws; its value is then not exact.
    bool failed() const { return m_failed; }

private:
    qint64 fromMode(std::mt19937_64 &engine, qint64 total, qint64 marked, qint64 draws);

    const lnfactorial &m_lnFact;
    std::vector<qint64> m_columnsLeft;
    std::vector<qint64> m_odd;
    std::vector<qint64> m_even;
    bool m_failed = false;
};
