#include "chi2model.h"

#include "tablesampler.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <numeric>

class chi2model::tablesampling final : public mcsampler, private tablesampler::rowobserver
{
public:
    // Cell by cell in the last three rows drawn: on a 10 x 10 table of
    // 5,000 counts, 72.1 draws a table instead of 74.5 (72.0 in every row).
    static constexpr int kCellRows = 3;
    explicit tablesampling(const chi2model &model)
        : m_model(model),
          m_sampler(model.m_lnFact),
          m_cells(size_t(model.m_rows) * size_t(model.m_columns)),
          m_columnsLeft(size_t(model.m_columns)),
          m_sites(m_sampler.prepareTable(model.m_rowSums.data(), model.m_rows, model.m_columnSums.data(),
                                         model.m_columns, model.m_total)),
          m_columnFloor(size_t(model.m_columns))
    {
    }

    bool drawExtreme(mcgenerator &engine) override
    {
        const chi2model &m = m_model;
        m_sum = 0.0;
        m_running = 0.0;
        std::fill(m_columnFloor.begin(), m_columnFloor.end(), 0.0);
        m_decided = false;
        std::copy(m.m_columnSums.begin(), m.m_columnSums.end(), m_columnsLeft.begin());
        m_sampler.table(engine, m.m_rowSums.data(), m.m_rows, m.m_columnSums.data(), m.m_columns, m.m_total,
                        m_cells.data(), m_sites, this);
        if (m_decided) {
            if (m_bins)
                m_bins->add(completed());
            return true;
        }
        const size_t last = size_t(m.m_rows - 1);
        m_sum += m.rowStatistic(int(last), m_cells.data() + last * size_t(m.m_columns));
        if (m_bins)
            m_bins->add(m_sum);
        return m_sum >= m.m_limit;
    }

    bool failed() const override { return m_sampler.failed(); }

private:
    // The statistic's rows so far, and a floor for the rows still to come:
    // by Cauchy-Schwarz, a column's terms in those rows add up to at least
    // (its count left - its expected count left)^2 / its expected count
    // left. Once the two reach the limit the table is extreme, whatever
    // the rest.
    bool decided(int row, const qint64 *cells) override
    {
        const chi2model &m = m_model;
        m_sum += m.rowStatistic(row, cells);
        const size_t C = size_t(m.m_columns);
        const double *expected = m.m_restExpected.data() + size_t(row) * C;
        const double *inverse = m.m_restInverse.data() + size_t(row) * C;
        double floor = 0.0;
        for (size_t c = 0; c < C; ++c) {
            m_columnsLeft[c] -= cells[c];
            const double deviation = double(m_columnsLeft[c]) - expected[c];
            m_columnFloor[c] = deviation * deviation * inverse[c];
            floor += m_columnFloor[c];
        }
        m_running = m_sum + floor;
        // The floor holds for the uncorrected statistic only: with Yates'
        // correction every row is drawn and summed.
        m_decided = m.m_correction == 0.0 && m_running >= m.m_decisive;
        m_decidedRow = row;
        m_decidedColumn = m.m_columns - 1;
        return m_decided;
    }

    // Within the last rows (where decisions fall) after each cell too: a
    // drawn cell's column trades its floor over this row and the rest for
    // the cell's term and its floor over the rest alone (the cells left of
    // the row have their row's floor in the columns not yet reached).
    int firstCellRow() const override
    {
        const chi2model &m = m_model;
        return m.m_correction == 0.0 ? std::max(0, m.m_rows - kCellRows - 1) : INT_MAX;
    }
    bool decidedAt(int row, int column, const qint64 *cells) override
    {
        const chi2model &m = m_model;
        const size_t at = size_t(row) * size_t(m.m_columns) + size_t(column);
        const double cell = double(cells[column]);
        const double deviation = cell - m.m_expected[at];
        const double rest = double(m_columnsLeft[size_t(column)]) - cell - m.m_restExpected[at];
        m_running += deviation * deviation * m.m_inverse[at] + rest * rest * m.m_restInverse[at]
                     - m_columnFloor[size_t(column)];
        m_decided = m_running >= m.m_decisive;
        m_decidedRow = row;
        m_decidedColumn = column;
        return m_decided;
    }

    // The whole statistic of a table decided early, for the bins: the rows
    // left drawn from the spare stream with the column counts left.
    double completed()
    {
        const chi2model &m = m_model;
        const int from = m_decidedRow + 1;
        const size_t C = size_t(m.m_columns);
        if (m_decidedColumn + 1 < m.m_columns) {
            // Stopped within a row: the rest of it takes what the row has
            // left from the columns after, a multivariate draw.
            qint64 *row = m_cells.data() + size_t(m_decidedRow) * C;
            const size_t next = size_t(m_decidedColumn) + 1;
            qint64 toPlace = m.m_rowSums[size_t(m_decidedRow)];
            for (size_t c = 0; c < next; ++c)
                toPlace -= row[c];
            qint64 within = 0;
            for (size_t c = next; c < C; ++c)
                within += m_columnsLeft[c];
            m_sampler.multivariate(*m_spare, m_columnsLeft.data() + next, int(C - next), within, toPlace, row + next);
            for (size_t c = 0; c < C; ++c)
                m_columnsLeft[c] -= row[c];
            m_sum += m.rowStatistic(m_decidedRow, row);
        }
        qint64 items = 0;
        for (const qint64 left : m_columnsLeft)
            items += left;
        m_sampler.table(*m_spare, m.m_rowSums.data() + from, m.m_rows - from, m_columnsLeft.data(), m.m_columns,
                        items, m_cells.data() + size_t(from) * C);
        double sum = m_sum;
        for (int r = from; r < m.m_rows; ++r)
            sum += m.rowStatistic(r, m_cells.data() + size_t(r) * C);
        return sum;
    }

    const chi2model &m_model;
    tablesampler m_sampler;
    std::vector<qint64> m_cells;
    std::vector<qint64> m_columnsLeft;
    // The first row's and column's draws repeat: their walks are kept.
    const int m_sites;
    // The statistic's rows so far, then with the floor for the cells left.
    double m_sum = 0.0;
    double m_running = 0.0;
    // Per column, its floor over the rows from the current one on.
    std::vector<double> m_columnFloor;
    bool m_decided = false;
    int m_decidedRow = 0;
    int m_decidedColumn = 0;
};

chi2model::chi2model(int rows, int columns, const int *cells, bool yates)
{
    if (rows < 1 || columns < 1 || !cells)
        return;
    m_rows = rows;
    m_columns = columns;
    m_correction = yates ? 0.5 : 0.0;
    const size_t R = size_t(rows);
    const size_t C = size_t(columns);
    m_rowSums.assign(R, 0);
    m_columnSums.assign(C, 0);
    std::vector<qint64> observed(R * C);
    for (size_t r = 0; r < R; ++r) {
        for (size_t c = 0; c < C; ++c) {
            const qint64 count = cells[r * C + c];
            if (count < 0)
                return;
            observed[r * C + c] = count;
            m_rowSums[r] += count;
            m_columnSums[c] += count;
            m_total += count;
        }
    }
    if (std::find(m_rowSums.begin(), m_rowSums.end(), 0) != m_rowSums.end()
        || std::find(m_columnSums.begin(), m_columnSums.end(), 0) != m_columnSums.end())
        return;
    // The statistic does not depend on the order of the rows or columns;
    // drawn from the smallest up, the largest row and column come last, and
    // the last of every draw costs nothing.
    std::vector<size_t> rowOrder(R);
    std::vector<size_t> columnOrder(C);
    std::iota(rowOrder.begin(), rowOrder.end(), size_t(0));
    std::iota(columnOrder.begin(), columnOrder.end(), size_t(0));
    std::stable_sort(rowOrder.begin(), rowOrder.end(),
                     [this](size_t a, size_t b) { return m_rowSums[a] < m_rowSums[b]; });
    std::stable_sort(columnOrder.begin(), columnOrder.end(),
                     [this](size_t a, size_t b) { return m_columnSums[a] < m_columnSums[b]; });
    const std::vector<qint64> given = observed;
    const std::vector<qint64> rowSums = m_rowSums;
    const std::vector<qint64> columnSums = m_columnSums;
    for (size_t r = 0; r < R; ++r) {
        m_rowSums[r] = rowSums[rowOrder[r]];
        for (size_t c = 0; c < C; ++c)
            observed[r * C + c] = given[rowOrder[r] * C + columnOrder[c]];
    }
    for (size_t c = 0; c < C; ++c)
        m_columnSums[c] = columnSums[columnOrder[c]];
    m_expected.resize(R * C);
    m_inverse.resize(R * C);
    m_restExpected.resize(R * C);
    m_restInverse.resize(R * C);
    qint64 rowsLeft = m_total;
    for (size_t r = 0; r < R; ++r) {
        rowsLeft -= m_rowSums[r];
        for (size_t c = 0; c < C; ++c) {
            const double e = double(m_rowSums[r]) * double(m_columnSums[c]) / double(m_total);
            m_expected[r * C + c] = e;
            m_inverse[r * C + c] = 1.0 / e;
            // The expected counts of the rows after r, summed.
            const double rest = double(rowsLeft) * double(m_columnSums[c]) / double(m_total);
            m_restExpected[r * C + c] = rest;
            m_restInverse[r * C + c] = rest > 0.0 ? 1.0 / rest : 0.0;
        }
    }
    // The draws look up ln k! up to the grand total.
    if (!m_lnFact.init(m_total))
        return;
    m_observed = statistic(observed.data());
    m_limit = m_observed * (1.0 - 64.0 * DBL_EPSILON);
    // An early decision needs a margin far above the rounding of the sums
    // it compares, so that it always agrees with the whole statistic.
    m_decisive = m_limit * (1.0 + 1e-9);
    m_valid = true;
}

std::unique_ptr<mcsampler> chi2model::sampler() const
{
    return std::make_unique<tablesampling>(*this);
}

double chi2model::statistic(const qint64 *cells) const
{
    // Row by row, as the sampler adds its rows up.
    double sum = 0.0;
    for (int r = 0; r < m_rows; ++r)
        sum += rowStatistic(r, cells + size_t(r) * size_t(m_columns));
    return sum;
}

double chi2model::rowStatistic(int row, const qint64 *cells) const
{
    const size_t first = size_t(row) * size_t(m_columns);
    double sum = 0.0;
    for (size_t c = 0; c < size_t(m_columns); ++c) {
        const double absolute = std::fabs(double(cells[c]) - m_expected[first + c]);
        const double deviation = absolute - std::min(m_correction, absolute);
        sum += deviation * deviation * m_inverse[first + c];
    }
    return sum;
}
