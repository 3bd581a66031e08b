#include "zelen.h"

#include "clopperpearson.h"
#include "exactstrata.h"
#include "mcmodel.h"
#include "mcrunner.h"
#include "mcstream.h"
#include "stratumfamily.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_map>
#include <vector>

namespace {

constexpr double kNegInf = -std::numeric_limits<double>::infinity();

double logAdd(double a, double b)
{
    if (a == kNegInf)
        return b;
    if (b == kNegInf)
        return a;
    return a > b ? a + std::log1p(std::exp(b - a)) : b + std::log1p(std::exp(a - b));
}

std::vector<stratumfamily> informativeFamilies(const StratumTable *tables, int k)
{
    std::vector<stratumfamily> families;
    for (int i = 0; i < k; ++i)
        if (tables[i].informative())
            families.emplace_back(tables[i]);
    return families;
}

// The tolerance of "at most as probable", as the other exact tests apply it.
double countingLimit(const std::vector<stratumfamily> &families)
{
    double observed = 0.0, magnitude = 0.0;
    for (const stratumfamily &f : families) {
        const double l = f.logCentral(f.observed());
        observed += l;
        magnitude += std::fabs(l);
    }
    return tieLimit(observed, magnitude);
}

// Arrangements drawn given S, stratum by stratum: a_j given what is left,
// r, has weights w_j(v) T_{j+1}(r - v) / T_j(r), T_j the convolution of
// the strata from j on; all at the estimate's odds ratio, where every
// stratum's weights lie about its own mode, and kept to e^-40 of it.
class ZelenModel final : public mcmodel
{
public:
    ZelenModel(const std::vector<stratumfamily> &families, double theta)
        : count(int(families.size())), limit(countingLimit(families))
    {
        constexpr double kLogCut = -40.0;
        std::vector<double> scratch;
        strata.resize(std::size_t(count));
        for (int j = 0; j < count; ++j) {
            Stratum &s = strata[std::size_t(j)];
            double logMode = 0.0;
            families[std::size_t(j)].weights(theta, std::exp(kLogCut), s.weight, scratch, &s.first, &logMode);
            // The score of a value from the log-factorials, as the observed
            // arrangement's: the walk's products differ in the last bits.
            s.score.resize(s.weight.size());
            for (std::size_t i = 0; i < s.weight.size(); ++i)
                s.score[i] = families[std::size_t(j)].logCentral(s.first + qint64(i));
            const stratumfamily::Moments m = families[std::size_t(j)].moments(theta);
            s.mean = m.mean;
            s.variance = m.variance;
        }
        // Suffix convolutions, each scaled to a peak of 1.
        suffix.resize(std::size_t(count) + 1);
        suffix[std::size_t(count)].values.assign(1, 1.0);
        suffix[std::size_t(count)].first = 0;
        for (int j = count - 1; j >= 0; --j) {
            const Stratum &s = strata[std::size_t(j)];
            const Suffix &next = suffix[std::size_t(j) + 1];
            Suffix &here = suffix[std::size_t(j)];
            here.values.assign(s.weight.size() + next.values.size() - 1, 0.0);
            for (std::size_t a = 0; a < s.weight.size(); ++a)
                for (std::size_t b = 0; b < next.values.size(); ++b)
                    here.values[a + b] += s.weight[a] * next.values[b];
            here.first = s.first + next.first;
            const double peak = *std::max_element(here.values.begin(), here.values.end());
            const double cut = peak * std::exp(kLogCut);
            std::size_t begin = 0, end = here.values.size();
            while (begin < end && here.values[begin] < cut)
                ++begin;
            while (end > begin && here.values[end - 1] < cut)
                --end;
            here.values = std::vector<double>(here.values.begin() + qint64(begin), here.values.begin() + qint64(end));
            here.first += qint64(begin);
            for (double &v : here.values)
                v /= peak;
            here.scale = peak;
            here.mean = s.mean + next.mean;
            here.variance = s.variance + next.variance;
        }
        for (const stratumfamily &f : families)
            total += f.observed();
    }

    std::unique_ptr<mcsampler> sampler() const override { return std::make_unique<Sampler>(*this); }

private:
    struct Stratum
    {
        qint64 first = 0;
        std::vector<double> weight, score;
        double mean = 0.0, variance = 0.0;
    };
    struct Suffix
    {
        qint64 first = 0;
        std::vector<double> values;
        double scale = 1.0;  // the raw convolution's peak taken out
        double mean = 0.0, variance = 0.0;
        double at(qint64 r) const
        {
            const qint64 i = r - first;
            return i >= 0 && i < qint64(values.size()) ? values[std::size_t(i)] : 0.0;
        }
    };

    class Sampler final : public mcsampler
    {
    public:
        explicit Sampler(const ZelenModel &model) : model(model) {}

        bool drawExtreme(mcgenerator &engine) override
        {
            qint64 left = model.total;
            double score = 0.0;
            for (int j = 0; j < model.count; ++j) {
                const Stratum &s = model.strata[std::size_t(j)];
                const Suffix &next = model.suffix[std::size_t(j) + 1];
                const qint64 v = j + 1 == model.count ? left : draw(engine, s, next, model.suffix[std::size_t(j)], left);
                const qint64 i = v - s.first;
                if (i < 0 || i >= qint64(s.weight.size())) {
                    broken = true;
                    return false;
                }
                score += s.score[std::size_t(i)];
                left -= v;
            }
            if (m_bins)
                m_bins->add(-score);
            return score <= model.limit;
        }

        bool failed() const override { return broken; }

    private:
        // Chop-down search from the conditional mean: the terms are taken
        // alternately above and below it until they pass u T_j(r).
        qint64 draw(mcgenerator &engine, const Stratum &s, const Suffix &next, const Suffix &here, qint64 left)
        {
            const double totalWeight = here.at(left) * here.scale;
            double u = mcstream::uniform(engine) * totalWeight;
            const qint64 lowest = std::max(s.first, left - (next.first + qint64(next.values.size()) - 1));
            const qint64 highest = std::min(s.first + qint64(s.weight.size()) - 1, left - next.first);
            if (lowest > highest)
                return s.first - 1;
            const double shrink = here.variance > 0.0 ? s.variance / here.variance : 0.0;
            const double guess = s.mean + shrink * (double(left) - here.mean);
            const double inside = std::clamp(guess, double(lowest), double(highest));
            const qint64 start = std::clamp(qint64(std::floor(inside + 0.5)), lowest, highest);
            const auto term = [&](qint64 v) { return s.weight[std::size_t(v - s.first)] * next.at(left - v); };
            qint64 up = start, down = start - 1;
            qint64 last = start;
            while (up <= highest || down >= lowest) {
                if (up <= highest) {
                    last = up;
                    u -= term(up++);
                    if (u <= 0.0)
                        return last;
                }
                if (down >= lowest) {
                    last = down;
                    u -= term(down--);
                    if (u <= 0.0)
                        return last;
                }
            }
            // Rounding left a sliver: the last value visited takes it.
            return last;
        }

        const ZelenModel &model;
        bool broken = false;
    };

    int count = 0;
    double limit = 0.0;
    qint64 total = 0;
    std::vector<Stratum> strata;
    std::vector<Suffix> suffix;
};

} // namespace

bool zelen::exact(const StratumTable *tables, int k, double budget, double *p)
{
    if (!validStrata(tables, k) || !p)
        return false;
    const std::vector<stratumfamily> families = informativeFamilies(tables, k);
    const int K = int(families.size());
    if (K < 2) {
        *p = qQNaN();
        return true;
    }
    qint64 x = 0;
    for (const stratumfamily &f : families)
        x += f.observed();
    // The sums the strata from j on can make and the first j leave.
    std::vector<qint64> rangeLo(static_cast<std::size_t>(K) + 1), rangeHi(static_cast<std::size_t>(K) + 1);
    {
        qint64 sufLo = 0, sufHi = 0, preLo = 0, preHi = 0;
        std::vector<qint64> pLo(static_cast<std::size_t>(K) + 1), pHi(static_cast<std::size_t>(K) + 1);
        for (int j = 0; j < K; ++j) {
            pLo[std::size_t(j)] = preLo;
            pHi[std::size_t(j)] = preHi;
            preLo += families[std::size_t(j)].least();
            preHi += families[std::size_t(j)].most();
        }
        pLo[std::size_t(K)] = preLo;
        pHi[std::size_t(K)] = preHi;
        for (int j = K; j >= 0; --j) {
            if (j < K) {
                sufLo += families[std::size_t(j)].least();
                sufHi += families[std::size_t(j)].most();
            }
            rangeLo[std::size_t(j)] = std::max(sufLo, x - pHi[std::size_t(j)]);
            rangeHi[std::size_t(j)] = std::min(sufHi, x - pLo[std::size_t(j)]);
        }
    }
    double work = 0.0;
    for (int j = 0; j < K; ++j)
        work += double(rangeHi[std::size_t(j)] - rangeLo[std::size_t(j)] + 1)
                * double(families[std::size_t(j)].most() - families[std::size_t(j)].least() + 1);
    if (work > budget)
        return false;
    // Log weights of every value, and from the end: the log of the total,
    // the most and the least probable completions of each sum left.
    std::vector<std::vector<double>> logW(static_cast<std::size_t>(K));
    for (int j = 0; j < K; ++j)
        for (qint64 v = families[std::size_t(j)].least(); v <= families[std::size_t(j)].most(); ++v)
            logW[std::size_t(j)].push_back(families[std::size_t(j)].logCentral(v));
    std::vector<std::vector<double>> total(static_cast<std::size_t>(K) + 1), most(static_cast<std::size_t>(K) + 1), least(static_cast<std::size_t>(K) + 1);
    total[std::size_t(K)] = most[std::size_t(K)] = least[std::size_t(K)] = {0.0};
    for (int j = K - 1; j >= 0; --j) {
        const std::size_t n = std::size_t(rangeHi[std::size_t(j)] - rangeLo[std::size_t(j)] + 1);
        total[std::size_t(j)].assign(n, kNegInf);
        most[std::size_t(j)].assign(n, kNegInf);
        least[std::size_t(j)].assign(n, std::numeric_limits<double>::infinity());
        const stratumfamily &f = families[std::size_t(j)];
        for (std::size_t i = 0; i < n; ++i) {
            const qint64 r = rangeLo[std::size_t(j)] + qint64(i);
            const qint64 vFrom = std::max(f.least(), r - rangeHi[std::size_t(j) + 1]);
            const qint64 vTo = std::min(f.most(), r - rangeLo[std::size_t(j) + 1]);
            for (qint64 v = vFrom; v <= vTo; ++v) {
                const std::size_t rest = std::size_t(r - v - rangeLo[std::size_t(j) + 1]);
                const double w = logW[std::size_t(j)][std::size_t(v - f.least())];
                total[std::size_t(j)][i] = logAdd(total[std::size_t(j)][i], w + total[std::size_t(j) + 1][rest]);
                most[std::size_t(j)][i] = std::max(most[std::size_t(j)][i], w + most[std::size_t(j) + 1][rest]);
                least[std::size_t(j)][i] = std::min(least[std::size_t(j)][i], w + least[std::size_t(j) + 1][rest]);
            }
        }
    }
    const double logTotal = total[0][std::size_t(x - rangeLo[0])];
    const double limit = countingLimit(families);
    // The network: at each node (the sum so far) the distinct partial log
    // weights, merged within 1e-9, with the count of paths behind each.
    struct Entry
    {
        double logW;
        double paths;
    };
    std::unordered_map<qint64, std::unordered_map<qint64, Entry>> nodes, next;
    nodes[0][0] = {0.0, 1.0};
    double sum = 0.0;
    double spent = 0.0;
    for (int j = 0; j < K; ++j) {
        const stratumfamily &f = families[std::size_t(j)];
        next.clear();
        for (const auto &[s, entries] : nodes) {
            const qint64 r = x - s;
            const qint64 vFrom = std::max(f.least(), r - rangeHi[std::size_t(j) + 1]);
            const qint64 vTo = std::min(f.most(), r - rangeLo[std::size_t(j) + 1]);
            spent += double(entries.size()) * double(std::max<qint64>(0, vTo - vFrom + 1));
            if (spent > budget)
                return false;
            for (qint64 v = vFrom; v <= vTo; ++v) {
                const std::size_t rest = std::size_t(r - v - rangeLo[std::size_t(j) + 1]);
                const double w = logW[std::size_t(j)][std::size_t(v - f.least())];
                const double restMost = most[std::size_t(j) + 1][rest];
                const double restLeast = least[std::size_t(j) + 1][rest];
                const double restTotal = total[std::size_t(j) + 1][rest];
                for (const auto &[key, e] : entries) {
                    const double partial = e.logW + w;
                    if (partial + restMost <= limit) {
                        sum += e.paths * std::exp(partial + restTotal - logTotal);
                    } else if (partial + restLeast <= limit) {
                        Entry &slot = next[s + v][std::llround(partial * 1e9)];
                        if (slot.paths == 0.0)
                            slot.logW = partial;
                        slot.paths += e.paths;
                    }
                }
            }
        }
        nodes.swap(next);
    }
    *p = std::min(1.0, sum);
    return true;
}

int zelen::compute(const StratumTable *tables, int k, const ZelenSettings &settings, ZelenFigures *out)
{
    if (!out || !validStrata(tables, k))
        return BadInput;
    ZelenFigures figures;
    const std::vector<stratumfamily> families = informativeFamilies(tables, k);
    figures.informative = int(families.size());
    double p = qQNaN();
    if (exact(tables, k, settings.exactBudget, &p)) {
        figures.p = p;
        figures.exact = true;
        *out = figures;
        return Finished;
    }
    // The draws run at the conditional estimate, where the arrangements'
    // mass lies about every stratum's mode. (An observed sum at an end of
    // its range has one arrangement, and the exact sum has taken it.)
    exactstrata::Workspace work;
    ExactStrataFigures estimate;
    if (exactstrata::compute(tables, k, 0.95, work, &estimate, exactstrata::Estimate) != exactstrata::Finished
        || !(estimate.oddsRatio.estimate > 0.0 && std::isfinite(estimate.oddsRatio.estimate)))
        return NoConvergence;
    const ZelenModel model(families, std::log(estimate.oddsRatio.estimate));
    const mccount count = countExtremes(model, settings.samples, settings.seed, settings.threads, 100);
    switch (count.status) {
    case mccount::Finished:
        break;
    case mccount::Stopped:
        return Stopped;
    case mccount::NoThreads:
        return NoMemory;
    default:
        return NoConvergence;
    }
    figures.samples = count.samples;
    figures.seed = settings.seed;
    figures.p = double(count.extreme + 1) / double(count.samples + 1);
    const probabilityinterval interval = clopperPearson(count.extreme, count.samples, 0.99);
    if (!interval.ok)
        return NoConvergence;
    figures.low = interval.low;
    figures.high = interval.high;
    *out = figures;
    return Finished;
}
