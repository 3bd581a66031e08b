#include "hwmodel.h"

#include "tablesampler.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace {

const double kLn2 = std::log(2.0);

} // namespace

class hwmodel::genotypesampler final : public mcsampler
{
public:
    explicit genotypesampler(const hwmodel &model)
        : m_model(model),
          m_sampler(model.m_lnFact),
          m_cells(size_t(model.m_K) * size_t(model.m_K)),
          m_sites(m_sampler.prepareGenotypes(model.m_alleles.data(), model.m_K, model.m_individuals))
    {
    }

    bool drawExtreme(mcgenerator &engine) override
    {
        m_sampler.genotypes(engine, m_model.m_alleles.data(), m_model.m_K, m_model.m_individuals, m_cells.data(),
                            m_sites);
        const double score = m_model.score(m_cells.data());
        if (m_bins)
            m_bins->add(score);
        return score <= m_model.m_limit;
    }

    bool failed() const override { return m_sampler.failed(); }

private:
    const hwmodel &m_model;
    tablesampler m_sampler;
    std::vector<qint64> m_cells;
    // The first allele's draws have fixed parameters: their walks are kept.
    const int m_sites;
};

hwmodel::hwmodel(int K, const int *table)
{
    if (K < 2 || !table)
        return;
    m_K = K;
    const size_t k = size_t(K);
    std::vector<qint64> observed(k * k, 0);
    m_alleles.assign(k, 0);
    for (size_t i = 0; i < k; ++i) {
        for (size_t j = i; j < k; ++j) {
            const qint64 count = table[i * k + j];
            if (count < 0)
                return;
            observed[i * k + j] = count;
            m_alleles[i] += count;
            m_alleles[j] += count;
            m_individuals += count;
        }
    }
    // The draws look up ln k! up to the 2n allele copies.
    if (m_individuals == 0 || !m_lnFact.init(2 * m_individuals))
        return;
    // A table's score does not depend on the order of the alleles; drawn
    // from the most common down, the widest draws are the first allele's,
    // whose parameters are fixed and whose walks are kept (a quarter fewer
    // instructions than from the rarest up on Guo and Thompson's table).
    std::sort(m_alleles.begin(), m_alleles.end(), std::greater<qint64>());
    double magnitude = 0.0;
    qint64 homozygotes = 0;
    for (size_t i = 0; i < k; ++i) {
        homozygotes += observed[i * k + i];
        for (size_t j = i; j < k; ++j)
            magnitude += m_lnFact(observed[i * k + j]);
    }
    magnitude += kLn2 * double(m_individuals - homozygotes);
    m_limit = tieLimit(score(observed.data()), magnitude);
    m_valid = true;
}

std::unique_ptr<mcsampler> hwmodel::sampler() const
{
    return std::make_unique<genotypesampler>(*this);
}

double hwmodel::score(const qint64 *cells) const
{
    const size_t k = size_t(m_K);
    double logs = 0.0;
    qint64 homozygotes = 0;
    for (size_t i = 0; i < k; ++i) {
        homozygotes += cells[i * k + i];
        for (size_t j = i; j < k; ++j)
            logs += m_lnFact(cells[i * k + j]);
    }
    return kLn2 * double(m_individuals - homozygotes) - logs;
}
