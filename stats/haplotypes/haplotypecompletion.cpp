#include "haplotypeem.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

namespace haplotypeem {

namespace {

// Rounds of adding haplotypes; each raises the likelihood, and a handful
// have always been enough.
constexpr int kMaxRounds = 100;
// A haplotype outside the estimate enters when its derivative exceeds 2n
// by this share.
constexpr double kEntry = 1e-6;
// Patterns whose completions of missing genotypes times the haplotypes
// they meet exceed this are not searched for new haplotypes (an individual
// missing most SNPs says little of any haplotype).
constexpr qint64 kMaxCompletions = qint64(1) << 20;

struct Masks
{
    quint32 zero = 0;     // typed, no copy of allele 2
    quint32 two = 0;      // typed, two copies
    quint32 het = 0;
    quint32 missing = 0;
};

Masks masksOf(const qint8 *codes, int loci)
{
    Masks m;
    for (int j = 0; j < loci; ++j) {
        const quint32 bit = quint32(1) << j;
        switch (codes[j]) {
        case 0:
            m.zero |= bit;
            break;
        case 2:
            m.two |= bit;
            break;
        case 1:
            m.het |= bit;
            break;
        default:
            m.missing |= bit;
            break;
        }
    }
    return m;
}

// Every pair of every pattern whose haplotypes are both in `support`
// (ascending), and each outside haplotype's derivative of ln L at `freq`.
struct Enumeration
{
    std::vector<int> begin;
    std::vector<quint64> keys;  // (low code << 32) | high code
    std::vector<double> likelihood;  // per pattern, over every pair of the support
    std::unordered_map<quint32, double> derivative;
    bool tooMany = false;
};

Enumeration enumerate(const Patterns &patterns, const std::vector<double> &weights,
                      const std::vector<quint32> &support, const std::vector<double> &freq)
{
    Enumeration out;
    const int count = patterns.count();
    out.begin.assign(std::size_t(count) + 1, 0);
    out.likelihood.assign(std::size_t(count), 0.0);
    std::vector<std::pair<quint32, double>> outside;
    std::vector<quint32> fills;
    for (int p = 0; p < count; ++p) {
        out.begin[std::size_t(p)] = int(out.keys.size());
        const double w = weights[std::size_t(p)];
        if (w <= 0.0)
            continue;
        const Masks m = masksOf(patterns.pattern(p), patterns.loci);
        // The completions of the missing loci: every subset of them.
        fills.clear();
        for (quint32 sub = m.missing;; sub = (sub - 1) & m.missing) {
            fills.push_back(sub);
            if (sub == 0)
                break;
        }
        const bool search = qint64(fills.size()) * qint64(support.size()) <= kMaxCompletions;
        outside.clear();
        double likelihood = 0.0;
        const std::size_t start = out.keys.size();
        for (std::size_t i = 0; i < support.size(); ++i) {
            const quint32 b = support[i];
            if ((b & m.zero) != 0 || (b & m.two) != m.two)
                continue;
            // The partner that completes b to the genotypes.
            const quint32 base = m.two | (m.het & ~b);
            for (const quint32 fill : fills) {
                const quint32 h = base | fill;
                const auto at = std::lower_bound(support.begin(), support.end(), h);
                if (at != support.end() && *at == h) {
                    // Each unordered pair once: from its lower haplotype.
                    if (h < b)
                        continue;
                    const double f = freq[i] * freq[std::size_t(at - support.begin())];
                    likelihood += (h == b ? 1.0 : 2.0) * f;
                    out.keys.push_back((quint64(b) << 32) | h);
                } else if (search) {
                    outside.emplace_back(h, 2.0 * freq[i]);
                }
                if (out.keys.size() > std::size_t(kMaxPairs)) {
                    out.tooMany = true;
                    return out;
                }
            }
        }
        // Pairs met from both ends are kept once.
        std::sort(out.keys.begin() + std::ptrdiff_t(start), out.keys.end());
        out.keys.erase(std::unique(out.keys.begin() + std::ptrdiff_t(start), out.keys.end()), out.keys.end());
        out.likelihood[std::size_t(p)] = likelihood;
        if (likelihood > 0.0) {
            for (const auto &[h, d] : outside)
                out.derivative[h] += w * d / likelihood;
        }
    }
    out.begin[std::size_t(count)] = int(out.keys.size());
    return out;
}

// The haplotypes outside the support whose derivative exceeds 2n.
std::vector<quint32> enteringOf(const Enumeration &e, double individuals)
{
    std::vector<quint32> entering;
    for (const auto &[h, d] : e.derivative) {
        if (d > 2.0 * individuals * (1.0 + kEntry))
            entering.push_back(h);
    }
    std::sort(entering.begin(), entering.end());
    return entering;
}

// Whether the pairs that trimming dropped weigh nothing in any pattern.
bool negligibleDrops(const PairSet &pairs, const std::vector<double> &freq, const std::vector<double> &weights,
                     const Enumeration &e)
{
    for (int p = 0; p < pairs.patterns(); ++p) {
        if (weights[std::size_t(p)] <= 0.0)
            continue;
        double kept = 0.0;
        for (int k = pairs.begin[std::size_t(p)]; k < pairs.begin[std::size_t(p) + 1]; ++k) {
            const int x = pairs.first[std::size_t(k)];
            const int y = pairs.second[std::size_t(k)];
            kept += (x == y ? 1.0 : 2.0) * freq[std::size_t(x)] * freq[std::size_t(y)];
        }
        if (kept < (1.0 - kMinPosterior) * e.likelihood[std::size_t(p)])
            return false;
    }
    return true;
}

// The entering haplotypes join the support at half a copy each, taken from
// the others in proportion.
void admit(std::vector<quint32> &support, std::vector<double> &f, const std::vector<quint32> &entering,
           double individuals)
{
    const double seed = 0.5 / (2.0 * individuals);
    const double keep = std::max(0.5, 1.0 - seed * double(entering.size()));
    std::vector<quint32> merged;
    std::vector<double> mergedFreq;
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < support.size() || j < entering.size()) {
        if (j >= entering.size() || (i < support.size() && support[i] < entering[j])) {
            merged.push_back(support[i]);
            mergedFreq.push_back(f[i] * keep);
            ++i;
        } else {
            merged.push_back(entering[j]);
            mergedFreq.push_back(seed);
            ++j;
        }
    }
    double sum = 0.0;
    for (const double v : mergedFreq)
        sum += v;
    for (double &v : mergedFreq)
        v /= sum;
    support = std::move(merged);
    f = std::move(mergedFreq);
}

} // namespace

Climb complete(const Patterns &patterns, const std::vector<double> &weights, PairSet &pairs,
               std::vector<double> &freq, const StopCheck &stopped)
{
    Climb total;
    double individuals = 0.0;
    for (const double w : weights)
        individuals += w > 0.0 ? w : 0.0;
    // The support: the haplotypes with a frequency, ascending.
    std::vector<quint32> support;
    std::vector<double> f;
    for (std::size_t h = 0; h < pairs.haplotypes.size(); ++h) {
        if (freq[h] > 0.0) {
            support.push_back(pairs.haplotypes[h]);
            f.push_back(freq[h]);
        }
    }
    Enumeration e = enumerate(patterns, weights, support, f);
    if (e.tooMany) {
        total.status = TooManyPairs;
        return total;
    }
    // Usually the estimate is a maximum as it stands: no step taken.
    std::vector<quint32> entering = enteringOf(e, individuals);
    if (entering.empty() && negligibleDrops(pairs, freq, weights, e)) {
        total.loglik = logLikelihood(pairs, weights, freq);
        return total;
    }
    for (int round = 0; round < kMaxRounds; ++round) {
        if (!entering.empty()) {
            admit(support, f, entering, individuals);
            e = enumerate(patterns, weights, support, f);
            if (e.tooMany) {
                total.status = TooManyPairs;
                return total;
            }
        }
        // The pairs as indexes into the support.
        PairSet next;
        next.haplotypes = support;
        next.begin = std::move(e.begin);
        next.first.resize(e.keys.size());
        next.second.resize(e.keys.size());
        for (std::size_t k = 0; k < e.keys.size(); ++k) {
            next.first[k] = int(std::lower_bound(support.begin(), support.end(), quint32(e.keys[k] >> 32)) - support.begin());
            next.second[k] = int(std::lower_bound(support.begin(), support.end(), quint32(e.keys[k])) - support.begin());
        }
        const Climb climbed = climb(next, weights, f, stopped);
        // At least one step, so that the caller knows the estimate moved.
        total.iterations += std::max(1, climbed.iterations);
        total.status = climbed.status;
        total.loglik = climbed.loglik;
        pairs = std::move(next);
        freq = f;
        if (climbed.status != Finished)
            return total;

        // At a maximum no haplotype outside has a derivative above 2n.
        e = enumerate(patterns, weights, support, f);
        if (e.tooMany) {
            total.status = TooManyPairs;
            return total;
        }
        entering = enteringOf(e, individuals);
        if (entering.empty())
            return total;
    }
    total.status = NoConvergence;
    return total;
}

} // namespace haplotypeem
