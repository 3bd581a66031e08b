#include "fishermodel.h"

#include "tablesampler.h"

#include <algorithm>
#include <cmath>
#include <utility>

class fishermodel::rowsampler final : public mcsampler
{
public:
    explicit rowsampler(const fishermodel &model)
        : m_model(model),
          m_sampler(model.m_lnFact),
          m_row(model.m_columns.size()),
          m_sites(m_sampler.prepareMultivariate(model.m_columns.data(), int(model.m_columns.size()),
                                                model.m_total, model.m_firstRow))
    {
    }

    bool drawExtreme(mcgenerator &engine) override
    {
        m_sampler.multivariate(engine, m_model.m_columns.data(), int(m_model.m_columns.size()),
                               m_model.m_total, m_model.m_firstRow, m_row.data(), m_sites);
        const double score = m_model.score(m_row.data());
        if (m_bins)
            m_bins->add(score);
        return score <= m_model.m_limit;
    }

    bool failed() const override { return m_sampler.failed(); }

private:
    const fishermodel &m_model;
    tablesampler m_sampler;
    std::vector<qint64> m_row;
    // Every column's draws have the column's size and the items from it on
    // fixed: they repeat, and their walks are kept.
    const int m_sites;
};

fishermodel::fishermodel(int N, const int *x1, const int *c)
{
    if (N < 1 || !x1 || !c)
        return;
    // A row's score does not depend on the order of the columns; drawn from
    // the smallest column up, the largest comes last, and the last column
    // of every draw costs nothing.
    std::vector<std::pair<qint64, qint64>> columns(static_cast<size_t>(N));
    for (int j = 0; j < N; ++j) {
        if (x1[j] < 0 || c[j] < x1[j])
            return;
        columns[size_t(j)] = {c[j], x1[j]};
        m_total += c[j];
        m_firstRow += x1[j];
    }
    std::sort(columns.begin(), columns.end());
    std::vector<qint64> observed(static_cast<size_t>(N));
    m_columns.resize(static_cast<size_t>(N));
    for (size_t j = 0; j < columns.size(); ++j) {
        m_columns[j] = columns[j].first;
        observed[j] = columns[j].second;
    }
    // The draws look up ln k! up to the grand total.
    if (!m_lnFact.init(m_total))
        return;
    double magnitude = 0.0;
    for (size_t j = 0; j < m_columns.size(); ++j)
        magnitude += m_lnFact(observed[j]) + m_lnFact(m_columns[j] - observed[j]);
    m_limit = tieLimit(score(observed.data()), magnitude);
    m_valid = true;
}

std::unique_ptr<mcsampler> fishermodel::sampler() const
{
    return std::make_unique<rowsampler>(*this);
}

double fishermodel::score(const qint64 *x) const
{
    double sum = 0.0;
    for (size_t j = 0; j < m_columns.size(); ++j)
        sum += m_lnFact(x[j]) + m_lnFact(m_columns[j] - x[j]);
    return -sum;
}
