#pragma once

#include "drawcache.h"
#include "lnfactorial.h"
#include "mcgenerator.h"

#include <QtGlobal>

#include <climits>
#include <vector>

// Exact random tables with fixed margins, built from hypergeometric draws
// (see hyperwalk.h). One sampler per thread: it keeps its own work arrays
// and cache, and reads the run's shared factorials.
class tablesampler final
{
public:
    // A draw whose walk misses its uniform through rounding is redrawn, at
    // most this often (a walk misses with probability ~1e-14).
    static constexpr int kMaxRedraws = 64;

    // Told after each row of a table but the last; true stops the table
    // there (its outcome is decided).
    class rowobserver
    {
    public:
        virtual ~rowobserver() = default;
        virtual bool decided(int row, const qint64 *cells) = 0;
        // From this row on, also told after each cell of a row but its last
        // two (the last is what the row has left); true stops the table.
        virtual int firstCellRow() const { return INT_MAX; }
        virtual bool decidedAt(int row, int column, const qint64 *cells) = 0;
    };

    explicit tablesampler(const lnfactorial &lnFact) : m_lnFact(lnFact) {}

    // The number of marked items among `draws` taken at random without
    // replacement from `total` items, `marked` of them marked.
    qint64 hypergeometric(mcgenerator &engine, qint64 total, qint64 marked, qint64 draws)
    {
        return hypergeometric(engine, total, marked, draws, -1);
    }

    // The same law, drawn as a table's cell below its first row and right
    // of its first column: where the law is wide, by ratio of uniforms
    // (drawRatio), whose cost does not grow with the law's width.
    qint64 cell(mcgenerator &engine, qint64 total, qint64 marked, qint64 draws);

    // Ratio of uniforms for the hypergeometric law (Stadlober's bound on
    // the hat): a draw is K = floor(a + h (V - 1/2) / U), a the mean + 1/2,
    // h = kHatScale sqrt(variance + 1/2) + kHatShift, taken when
    // U^2 <= P(K) / P(mode), the ratio from the scaled factorials (exact,
    // no logarithm); so the draw follows the law exactly when
    // |x - a| sqrt(P(floor x) / P(mode)) <= h / 2 for every x, which the
    // tests check over a grid of laws.
    static constexpr double kHatScale = 1.7155277699214135;  // 2 sqrt(2 / e)
    static constexpr double kHatShift = 0.8989161620588988;  // 3 - 2 sqrt(3 / e)
    // The h a draw takes: Stadlober's at the top of the variance's quarter
    // (a wider hat covers the law too, at about 0.1% more tries), from a
    // table, so that no square root waits on the law's parameters.
    static double hatWidth(double variance);
    // From this variance on, a cell is drawn by ratio of uniforms: about 1.5
    // tries of one lookup each, against a walk of about 3.5 standard
    // deviations' values from the mode.
    static constexpr double kRatioVariance = 9.0;
    // A ratio draw accepts at least half of its tries: 1000 misses in a row
    // mean a fault, reported as failed().
    static constexpr int kMaxTries = 1000;

    // How many of `draws` items taken at random from `total` items fall in
    // each of `categories` groups of the given sizes (which sum to total).
    // With the sites of prepareMultivariate() for the same sizes and total,
    // the walks are kept.
    void multivariate(mcgenerator &engine, const qint64 *sizes, int categories, qint64 total, qint64 draws,
                      qint64 *counts, int sites = -1);

    // A random rows x columns table with the given margins (both summing
    // to total), row-major into cells: the distribution of the table under
    // independence with fixed margins, each cell drawn given the cells above
    // and left of it (the last row and column are what is left). With the
    // sites of prepareTable() for the same margins, the walks of the first
    // row and column are kept; an observer, told of each row as it is
    // completed, may stop the table there.
    void table(mcgenerator &engine, const qint64 *rowSums, int rows, const qint64 *columnSums, int columns,
               qint64 total, qint64 *cells, int sites = -1, rowobserver *observer = nullptr);

    // A random genotype table with the given allele counts (copies per
    // allele in alleles[0..K), summing to 2n): the pairs of a random
    // pairing of the 2n copies, as a K x K table of which only the diagonal
    // and the cells right of it are written (row-major, cell (i, j), j >= i:
    // individuals i/j). Drawn allele by allele, from the first: its
    // homozygotes (homozygotelaw), then its other copies' partners among
    // the copies left (multivariate), and the rest is a random pairing of
    // what is left. So a table costs K - 1 + K(K - 1)/2 draws at most,
    // whatever n is, and only the cells that make a genotype table.
    void genotypes(mcgenerator &engine, const qint64 *alleles, int K, qint64 n, qint64 *cells, int sites = -1);

    // Sites for the draws that repeat (see drawcache), around the means of
    // their free parameters; each returns the first site's number, for the
    // calls above.
    int prepareMultivariate(const qint64 *sizes, int categories, qint64 total, qint64 draws);
    int prepareTable(const qint64 *rowSums, int rows, const qint64 *columnSums, int columns, qint64 total);
    int prepareGenotypes(const qint64 *alleles, int K, qint64 n);

    // True once a draw ran out of redraws; its value is then not exact.
    bool failed() const { return m_failed; }

private:
    // site >= 0: the draw at that site, whose fixed parameter is `marked`.
    qint64 hypergeometric(mcgenerator &engine, qint64 total, qint64 marked, qint64 draws, int site);
    qint64 drawRatio(mcgenerator &engine, const hyperlaw &law, double variance);
    qint64 homozygotes(mcgenerator &engine, qint64 copies, qint64 pairs, int site);
    template <class Law>
    Q_ALWAYS_INLINE qint64 walkDraw(mcgenerator &engine, const Law &law, const drawcache::walk *kept);

    const lnfactorial &m_lnFact;
    drawcache m_cache;
    std::vector<qint64> m_left;
    bool m_failed = false;
};
