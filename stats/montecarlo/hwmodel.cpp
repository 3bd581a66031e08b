#include "hwmodel.h"

#include "tablesampler.h"

#include <algorithm>
#include <cmath>

namespace {

const double kLn2 = std::log(2.0);

} // namespace

class hwmodel::pairingsampler final : public mcsampler
{
public:
    explicit pairingsampler(const hwmodel &model)
        : m_model(model),
          m_sampler(model.m_lnFact),
          m_pairs(size_t(model.m_K) * size_t(model.m_K))
    {
    }

    bool drawExtreme(std::mt19937_64 &engine) override
    {
        m_sampler.pairing(engine, m_model.m_alleles.data(), m_model.m_K, m_model.m_individuals,
                          m_pairs.data());
        return m_model.pairScore(m_pairs.data()) <= m_model.m_limit;
    }

    bool failed() const override { return m_sampler.failed(); }

private:
    const hwmodel &m_model;
    tablesampler m_sampler;
    std::vector<qint64> m_pairs;
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
    // from the rarest up, the most common one comes last, and the last
    // category of every draw costs nothing.
    std::sort(m_alleles.begin(), m_alleles.end());
    double magnitude = 0.0;
    qint64 homozygotes = 0;
    for (size_t i = 0; i < k; ++i) {
        homozygotes += observed[i * k + i];
        for (size_t j = i; j < k; ++j)
            magnitude += m_lnFact(observed[i * k + j]);
    }
    magnitude += kLn2 * double(m_individuals - homozygotes);
    m_limit = tieLimit(pairScore(observed.data()), magnitude);
    m_valid = true;
}

std::unique_ptr<mcsampler> hwmodel::sampler() const
{
    return std::make_unique<pairingsampler>(*this);
}

double hwmodel::pairScore(const qint64 *pairs) const
{
    const size_t k = size_t(m_K);
    double logs = 0.0;
    qint64 homozygotes = 0;
    for (size_t i = 0; i < k; ++i) {
        homozygotes += pairs[i * k + i];
        logs += m_lnFact(pairs[i * k + i]);
        for (size_t j = i + 1; j < k; ++j)
            logs += m_lnFact(pairs[i * k + j] + pairs[j * k + i]);
    }
    return kLn2 * double(m_individuals - homozygotes) - logs;
}
