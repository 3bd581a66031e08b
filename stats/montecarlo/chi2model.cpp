#include "chi2model.h"

#include "tablesampler.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <numeric>

class chi2model::tablesampling final : public mcsampler
{
public:
    explicit tablesampling(const chi2model &model)
        : m_model(model),
          m_sampler(model.m_lnFact),
          m_cells(size_t(model.m_rows) * size_t(model.m_columns))
    {
    }

    bool drawExtreme(std::mt19937_64 &engine) override
    {
        m_sampler.table(engine, m_model.m_rowSums.data(), m_model.m_rows, m_model.m_columnSums.data(),
                        m_model.m_columns, m_model.m_total, m_cells.data());
        return m_model.statistic(m_cells.data()) >= m_model.m_limit;
    }

    bool failed() const override { return m_sampler.failed(); }

private:
    const chi2model &m_model;
    tablesampler m_sampler;
    std::vector<qint64> m_cells;
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
    for (size_t r = 0; r < R; ++r) {
        for (size_t c = 0; c < C; ++c) {
            const double e = double(m_rowSums[r]) * double(m_columnSums[c]) / double(m_total);
            m_expected[r * C + c] = e;
            m_inverse[r * C + c] = 1.0 / e;
        }
    }
    // The draws look up ln k! up to the grand total.
    if (!m_lnFact.init(m_total))
        return;
    m_observed = statistic(observed.data());
    m_limit = m_observed * (1.0 - 64.0 * DBL_EPSILON);
    m_valid = true;
}

std::unique_ptr<mcsampler> chi2model::sampler() const
{
    return std::make_unique<tablesampling>(*this);
}

double chi2model::statistic(const qint64 *cells) const
{
    double sum = 0.0;
    for (size_t i = 0; i < m_expected.size(); ++i) {
        const double absolute = std::fabs(double(cells[i]) - m_expected[i]);
        const double deviation = absolute - std::min(m_correction, absolute);
        sum += deviation * deviation * m_inverse[i];
    }
    return sum;
}
