#include "cellresiduals.h"

#include <QtNumeric>

#include <cmath>

namespace {

double residualOf(double observed, double expected)
{
    return expected > 0.0 ? (observed - expected) / std::sqrt(expected) : qQNaN();
}

} // namespace

CellResiduals tableResiduals(int rows, int columns, const std::vector<qint64> &counts)
{
    CellResiduals cells;
    if (rows < 1 || columns < 1 || counts.size() != std::size_t(rows) * std::size_t(columns))
        return cells;
    std::vector<double> rowTotal(std::size_t(rows), 0.0);
    std::vector<double> columnTotal(std::size_t(columns), 0.0);
    double total = 0.0;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            const qint64 n = counts[std::size_t(r) * std::size_t(columns) + std::size_t(c)];
            if (n < 0)
                return cells;
            rowTotal[std::size_t(r)] += double(n);
            columnTotal[std::size_t(c)] += double(n);
            total += double(n);
        }
    }
    if (!(total > 0.0))
        return cells;
    cells.rows = rows;
    cells.columns = columns;
    const std::size_t size = counts.size();
    cells.observed.resize(size);
    cells.expected.resize(size);
    cells.residual.resize(size);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            const std::size_t i = std::size_t(r) * std::size_t(columns) + std::size_t(c);
            cells.observed[i] = double(counts[i]);
            cells.expected[i] = rowTotal[std::size_t(r)] * columnTotal[std::size_t(c)] / total;
            cells.residual[i] = residualOf(cells.observed[i], cells.expected[i]);
        }
    }
    return cells;
}

CellResiduals genotypeResiduals(int alleles, const std::vector<qint64> &upper)
{
    CellResiduals cells;
    const int K = alleles;
    if (K < 1 || upper.size() != std::size_t(K) * std::size_t(K))
        return cells;
    // Allele copies: a homozygote carries two of its allele, a heterozygote
    // one of each.
    std::vector<double> copies(std::size_t(K), 0.0);
    double individuals = 0.0;
    for (int i = 0; i < K; ++i) {
        for (int j = i; j < K; ++j) {
            const qint64 n = upper[std::size_t(i) * std::size_t(K) + std::size_t(j)];
            if (n < 0)
                return cells;
            copies[std::size_t(i)] += double(n);
            copies[std::size_t(j)] += double(n);
            individuals += double(n);
        }
    }
    if (!(individuals > 0.0))
        return cells;
    cells.rows = cells.columns = K;
    cells.observed.assign(upper.size(), 0.0);
    cells.expected.assign(upper.size(), 0.0);
    cells.residual.assign(upper.size(), qQNaN());
    const double twoN = 2.0 * individuals;
    for (int i = 0; i < K; ++i) {
        const double pi = copies[std::size_t(i)] / twoN;
        for (int j = i; j < K; ++j) {
            const std::size_t cell = std::size_t(i) * std::size_t(K) + std::size_t(j);
            const double pj = copies[std::size_t(j)] / twoN;
            cells.observed[cell] = double(upper[cell]);
            cells.expected[cell] = (i == j ? 1.0 : 2.0) * individuals * pi * pj;
            cells.residual[cell] = residualOf(cells.observed[cell], cells.expected[cell]);
        }
    }
    return cells;
}
