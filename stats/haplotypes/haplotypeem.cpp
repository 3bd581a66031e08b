#include "haplotypeem.h"

#include "calcpoll.h"
#include "mcgenerator.h"
#include "mcstream.h"
#include "threadshortfall.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <utility>

namespace haplotypeem {

namespace {

// Sum of w ln(x) over a pattern's probabilities x, with few logarithms:
// small whole weights multiply into a running product, kept in range by
// exact powers of two; anything else takes its logarithm.
class LogSum final
{
public:
    void add(double w, double x)
    {
        if (w == 1.0 || w == 2.0 || w == 3.0) {
            const double power = w == 1.0 ? x : w == 2.0 ? x * x : x * x * x;
            if (power > 1e-250) {
                product *= power;
                if (product < 0x1p-800) {
                    product *= 0x1p800;
                    shifts += 800;
                }
                return;
            }
        }
        logs += w * std::log(x);
    }
    double value() const { return logs + std::log(product) - double(shifts) * 0.69314718055994530942; }

private:
    double product = 1.0;
    double logs = 0.0;
    qint64 shifts = 0;
};

// Keeps the random starts' streams apart from every other use of a seed.
constexpr quint64 kStartStreams = 0x48415053u;

double pairWeight(int a, int b)
{
    return a == b ? 1.0 : 2.0;
}

// The allele pairs (as bit masks over the batch, shifted to its loci) that
// one pattern's genotypes allow at the loci from..from+count-1, ordered:
// a heterozygote gives both orders, a missing genotype all four.
std::vector<std::pair<quint32, quint32>> batchOrders(const qint8 *codes, int from, int count)
{
    std::vector<std::pair<quint32, quint32>> orders{{0u, 0u}};
    for (int j = from; j < from + count; ++j) {
        const quint32 bit = quint32(1) << j;
        const qint8 g = codes[j];
        std::vector<std::pair<quint32, quint32>> next;
        next.reserve(orders.size() * 4);
        for (const auto &[x, y] : orders) {
            if (g == 0) {
                next.emplace_back(x, y);
            } else if (g == 2) {
                next.emplace_back(x | bit, y | bit);
            } else if (g == 1) {
                next.emplace_back(x | bit, y);
                next.emplace_back(x, y | bit);
            } else {
                next.emplace_back(x, y);
                next.emplace_back(x | bit, y);
                next.emplace_back(x, y | bit);
                next.emplace_back(x | bit, y | bit);
            }
        }
        orders.swap(next);
    }
    return orders;
}

// Codes of up to this many loci are indexed through a table of every code
// (256 kB); longer ones by sorting.
constexpr int kTableLoci = 16;

// The haplotype indexes of pairs given by their codes (low, high), over
// the first `loci` loci.
void indexPairs(const std::vector<quint64> &keys, int loci, PairSet &out)
{
    out.haplotypes.clear();
    out.first.resize(keys.size());
    out.second.resize(keys.size());
    if (loci <= kTableLoci) {
        std::vector<int> index(std::size_t(1) << loci, -1);
        for (const quint64 key : keys) {
            index[std::size_t(key >> 32)] = 0;
            index[std::size_t(quint32(key))] = 0;
        }
        for (std::size_t code = 0; code < index.size(); ++code) {
            if (index[code] == 0) {
                index[code] = int(out.haplotypes.size());
                out.haplotypes.push_back(quint32(code));
            }
        }
        for (std::size_t k = 0; k < keys.size(); ++k) {
            out.first[k] = index[std::size_t(keys[k] >> 32)];
            out.second[k] = index[std::size_t(quint32(keys[k]))];
        }
        return;
    }
    out.haplotypes.reserve(keys.size());
    for (const quint64 key : keys) {
        out.haplotypes.push_back(quint32(key >> 32));
        out.haplotypes.push_back(quint32(key));
    }
    std::sort(out.haplotypes.begin(), out.haplotypes.end());
    out.haplotypes.erase(std::unique(out.haplotypes.begin(), out.haplotypes.end()), out.haplotypes.end());
    out.haplotypes.shrink_to_fit();
    const auto indexOf = [&out](quint32 code) {
        return int(std::lower_bound(out.haplotypes.begin(), out.haplotypes.end(), code) - out.haplotypes.begin());
    };
    for (std::size_t k = 0; k < keys.size(); ++k) {
        out.first[k] = indexOf(quint32(keys[k] >> 32));
        out.second[k] = indexOf(quint32(keys[k]));
    }
}

// The pairs over `count` more loci: each pair of `parent` extended by every
// order the pattern allows, its posterior shared among them evenly (no
// generator) or in random shares, then merged where two orders give the
// same unordered pair.
int extend(const PairSet &parent, const std::vector<double> &parentPosterior, const Patterns &patterns,
           const std::vector<double> &weights, int from, int count, mcgenerator *random, PairSet &out,
           std::vector<double> &posterior)
{
    const int patternCount = patterns.count();
    std::vector<quint64> keys;
    posterior.clear();
    out.begin.assign(std::size_t(patternCount) + 1, 0);
    std::vector<std::pair<quint64, double>> local;
    for (int p = 0; p < patternCount; ++p) {
        out.begin[std::size_t(p)] = int(keys.size());
        if (weights[std::size_t(p)] <= 0.0)
            continue;
        const auto orders = batchOrders(patterns.pattern(p), from, count);
        local.clear();
        const int b = parent.begin[std::size_t(p)];
        const int e = parent.begin[std::size_t(p) + 1];
        if (qint64(keys.size()) + qint64(e - b) * qint64(orders.size()) > kMaxPairs)
            return TooManyPairs;
        for (int k = b; k < e; ++k) {
            const quint32 a = parent.haplotypes[std::size_t(parent.first[std::size_t(k)])];
            const quint32 c = parent.haplotypes[std::size_t(parent.second[std::size_t(k)])];
            const double share = parentPosterior[std::size_t(k)] / double(orders.size());
            for (const auto &[x, y] : orders) {
                const quint32 u = a | x;
                const quint32 v = c | y;
                const quint64 key = u <= v ? (quint64(u) << 32) | v : (quint64(v) << 32) | u;
                const double w = random ? parentPosterior[std::size_t(k)] * mcstream::uniform(*random) : share;
                local.emplace_back(key, w);
            }
        }
        std::sort(local.begin(), local.end(),
                  [](const auto &l, const auto &r) { return l.first < r.first; });
        double sum = 0.0;
        const std::size_t start = keys.size();
        for (const auto &[key, w] : local) {
            if (keys.size() > start && keys.back() == key) {
                posterior.back() += w;
            } else {
                keys.push_back(key);
                posterior.push_back(w);
            }
            sum += w;
        }
        // Random shares, or an even split of trimmed posteriors, sum to
        // other than 1.
        for (std::size_t k = start; k < keys.size(); ++k)
            posterior[k] = sum > 0.0 ? posterior[k] / sum : 1.0 / double(keys.size() - start);
    }
    out.begin[std::size_t(patternCount)] = int(keys.size());
    indexPairs(keys, from + count, out);
    return Finished;
}

// Frequencies from posteriors: each pair gives its two haplotypes the
// pattern's weight times its posterior.
std::vector<double> maximise(const PairSet &pairs, const std::vector<double> &weights,
                             const std::vector<double> &posterior)
{
    std::vector<double> counts(pairs.haplotypes.size(), 0.0);
    double total = 0.0;
    for (int p = 0; p < pairs.patterns(); ++p) {
        const double w = weights[std::size_t(p)];
        if (w <= 0.0 || pairs.begin[std::size_t(p)] == pairs.begin[std::size_t(p) + 1])
            continue;
        total += 2.0 * w;
        for (int k = pairs.begin[std::size_t(p)]; k < pairs.begin[std::size_t(p) + 1]; ++k) {
            const double c = w * posterior[std::size_t(k)];
            counts[std::size_t(pairs.first[std::size_t(k)])] += c;
            counts[std::size_t(pairs.second[std::size_t(k)])] += c;
        }
    }
    for (double &c : counts)
        c /= total;
    return counts;
}

// Drops the pairs below kMinPosterior at `freq` and the haplotypes left in
// no pair; the posteriors of the pairs kept, summing to 1 in each pattern.
void trim(PairSet &pairs, std::vector<double> &freq, std::vector<double> &posterior, int loci)
{
    const std::vector<double> all = posteriors(pairs, freq);
    std::vector<quint64> keys;
    std::vector<int> begin(pairs.begin.size(), 0);
    posterior.clear();
    for (int p = 0; p < pairs.patterns(); ++p) {
        begin[std::size_t(p)] = int(keys.size());
        double kept = 0.0;
        const std::size_t start = keys.size();
        for (int k = pairs.begin[std::size_t(p)]; k < pairs.begin[std::size_t(p) + 1]; ++k) {
            const double pk = all[std::size_t(k)];
            if (pk < kMinPosterior)
                continue;
            const quint32 a = pairs.haplotypes[std::size_t(pairs.first[std::size_t(k)])];
            const quint32 b = pairs.haplotypes[std::size_t(pairs.second[std::size_t(k)])];
            keys.push_back((quint64(a) << 32) | b);
            posterior.push_back(pk);
            kept += pk;
        }
        for (std::size_t k = start; k < keys.size(); ++k)
            posterior[k] /= kept;
    }
    begin.back() = int(keys.size());
    const std::vector<quint32> oldCodes = pairs.haplotypes;
    PairSet trimmed;
    trimmed.begin = std::move(begin);
    indexPairs(keys, loci, trimmed);
    std::vector<double> kept(trimmed.haplotypes.size());
    for (std::size_t h = 0; h < kept.size(); ++h) {
        const auto at = std::lower_bound(oldCodes.begin(), oldCodes.end(), trimmed.haplotypes[h]);
        kept[h] = freq[std::size_t(at - oldCodes.begin())];
    }
    pairs = std::move(trimmed);
    freq = std::move(kept);
}

// The end of a start: every pair of the haplotypes estimated, trimming
// undone, and haplotypes added while the maximum needs them (complete());
// then the pairs that the estimate leaves possible, and the estimate over
// them.
void finish(const Patterns &patterns, const std::vector<double> &weights, PairSet &pairs, std::vector<double> &freq,
            const StopCheck &stopped, Fit &result)
{
    const Climb completed = complete(patterns, weights, pairs, freq, stopped);
    result.iterations += completed.iterations;
    result.status = completed.status;
    if (completed.status != Finished)
        return;
    if (completed.iterations == 0) {
        // A maximum as it was: its pairs are trimmed already.
        result.loglik = completed.loglik;
        result.pairs = std::move(pairs);
        result.freq = std::move(freq);
        return;
    }
    std::vector<double> posterior;
    trim(pairs, freq, posterior, patterns.loci);
    const Climb last = climb(pairs, weights, freq, stopped);
    result.iterations += last.iterations;
    result.status = last.status;
    result.loglik = last.loglik;
    result.pairs = std::move(pairs);
    result.freq = std::move(freq);
}

// One start: the batches of loci in order, each climbed to convergence
// from the last batch's posteriors shared out over the new loci.
Fit runStart(const Patterns &patterns, const std::vector<double> &weights, int start, const Settings &settings,
             const StopCheck &stopped)
{
    Fit result;
    PairSet pairs;
    pairs.haplotypes = {0u};
    std::vector<double> posterior;
    pairs.begin.assign(std::size_t(patterns.count()) + 1, 0);
    for (int p = 0; p < patterns.count(); ++p) {
        pairs.begin[std::size_t(p)] = int(pairs.first.size());
        if (weights[std::size_t(p)] > 0.0) {
            pairs.first.push_back(0);
            pairs.second.push_back(0);
            posterior.push_back(1.0);
        }
    }
    pairs.begin.back() = int(pairs.first.size());

    mcgenerator engine = mcstream::chunkEngine(mcstream::derivedSeed(settings.seed, kStartStreams), start);
    std::vector<double> freq;
    for (int from = 0; from < patterns.loci; from += kBatchLoci) {
        if (from > 0)
            trim(pairs, freq, posterior, from);
        const int count = std::min(kBatchLoci, patterns.loci - from);
        PairSet next;
        std::vector<double> nextPosterior;
        result.status = extend(pairs, posterior, patterns, weights, from, count, start > 0 ? &engine : nullptr,
                               next, nextPosterior);
        if (result.status != Finished)
            return result;
        pairs = std::move(next);
        posterior = std::move(nextPosterior);
        freq = maximise(pairs, weights, posterior);
        const bool last = from + count >= patterns.loci;
        const Climb climbed = climb(pairs, weights, freq, stopped, last ? kTolerance : kStageTolerance);
        result.iterations += climbed.iterations;
        result.status = climbed.status;
        if (climbed.status != Finished)
            return result;
    }
    finish(patterns, weights, pairs, freq, stopped, result);
    return result;
}

Fit runGiven(const Patterns &patterns, const Fit &given, const std::vector<double> &weights,
             const StopCheck &stopped)
{
    Fit result;
    PairSet pairs = given.pairs;
    std::vector<double> freq = given.freq;
    const Climb climbed = climb(pairs, weights, freq, stopped);
    result.iterations = climbed.iterations;
    result.status = climbed.status;
    if (climbed.status == Finished)
        finish(patterns, weights, pairs, freq, stopped, result);
    return result;
}

// Runs job(0..count-1) on up to `threads` threads while the calling thread
// polls for a stop; with no thread to spare the calling thread runs them,
// polling between EM steps. False when stopped.
bool runJobs(int count, int threads, const std::function<void(int, const StopCheck &)> &job)
{
    std::atomic<int> next{0};
    std::atomic<bool> stop{false};
    const int wanted = std::min(count, std::max(1, threads));
    std::vector<std::thread> pool;
    std::mutex mutex;
    std::condition_variable finished;
    int running = 0;
    bool failed = false;
    const StopCheck workerStop = [&stop] { return stop.load(std::memory_order_relaxed); };
    const auto work = [&] {
        try {
            for (int i = next.fetch_add(1); i < count && !stop.load(); i = next.fetch_add(1))
                job(i, workerStop);
        } catch (const std::bad_alloc &) {
            const std::lock_guard<std::mutex> lock(mutex);
            failed = true;
            stop = true;
        }
        {
            const std::lock_guard<std::mutex> lock(mutex);
            --running;
        }
        finished.notify_all();
    };
    if (wanted > 1) {
        for (int t = 0; t < wanted; ++t) {
            {
                const std::lock_guard<std::mutex> lock(mutex);
                ++running;
            }
            try {
                pool.emplace_back(work);
            } catch (const std::system_error &error) {
                {
                    const std::lock_guard<std::mutex> lock(mutex);
                    --running;
                }
                noteThreadShortfall(std::max(1, int(pool.size())), wanted, error);
                break;
            }
        }
    }
    if (pool.empty()) {
        const StopCheck callerStop = [] { return pollCalcEvents() != 0; };
        for (int i = 0; i < count; ++i) {
            if (callerStop())
                return false;
            job(i, callerStop);
        }
        return pollCalcEvents() == 0;
    }
    bool stopped = false;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(mutex);
            if (finished.wait_for(lock, std::chrono::milliseconds(10), [&running] { return running == 0; }))
                break;
        }
        if (pollCalcEvents() != 0) {
            stopped = true;
            stop = true;
        }
    }
    for (std::thread &thread : pool)
        thread.join();
    if (failed)
        throw std::bad_alloc();
    return !stopped;
}

} // namespace

Patterns Patterns::from(const std::vector<qint8> &genotypes, int loci)
{
    Patterns patterns;
    patterns.loci = loci;
    if (loci <= 0)
        return patterns;
    const std::size_t individuals = genotypes.size() / std::size_t(loci);
    patterns.of.assign(individuals, -1);
    std::unordered_map<std::string, int> seen;
    for (std::size_t i = 0; i < individuals; ++i) {
        const qint8 *row = genotypes.data() + i * std::size_t(loci);
        if (std::all_of(row, row + loci, [](qint8 g) { return g == kMissing; }))
            continue;
        const std::string key(reinterpret_cast<const char *>(row), std::size_t(loci));
        const auto [at, added] = seen.emplace(key, patterns.count());
        if (added)
            patterns.codes.insert(patterns.codes.end(), row, row + loci);
        patterns.of[i] = at->second;
    }
    return patterns;
}

std::vector<double> Patterns::weights(const std::vector<qint8> *select, qint8 value) const
{
    std::vector<double> w(std::size_t(count()), 0.0);
    for (std::size_t i = 0; i < of.size(); ++i) {
        if (of[i] >= 0 && (!select || (*select)[i] == value))
            w[std::size_t(of[i])] += 1.0;
    }
    return w;
}

Climb climb(const PairSet &pairs, const std::vector<double> &weights, std::vector<double> &freq,
            const StopCheck &stopped, double tolerance)
{
    Climb result;
    const std::size_t haplotypes = pairs.haplotypes.size();
    double total = 0.0;
    for (int p = 0; p < pairs.patterns(); ++p) {
        if (pairs.begin[std::size_t(p)] < pairs.begin[std::size_t(p) + 1])
            total += 2.0 * weights[std::size_t(p)];
    }
    if (!(total > 0.0)) {
        result.status = NoData;
        return result;
    }
    std::vector<double> q(std::size_t(pairs.pairs()));
    // One EM step from `from` into `to`; ln L at `from` when asked (the
    // logarithms cost a third of a step).
    const auto step = [&](const std::vector<double> &from, std::vector<double> &to, bool withLoglik) {
        std::fill(to.begin(), to.end(), 0.0);
        const int *first = pairs.first.data();
        const int *second = pairs.second.data();
        const double *f = from.data();
        LogSum loglik;
        for (int p = 0; p < pairs.patterns(); ++p) {
            const double w = weights[std::size_t(p)];
            const int b = pairs.begin[std::size_t(p)];
            const int e = pairs.begin[std::size_t(p) + 1];
            if (w <= 0.0 || b == e)
                continue;
            double sum = 0.0;
            for (int k = b; k < e; ++k) {
                const double value = pairWeight(first[k], second[k]) * f[first[k]] * f[second[k]];
                q[std::size_t(k)] = value;
                sum += value;
            }
            if (withLoglik)
                loglik.add(w, sum);
            const double scale = w / (sum * total);
            for (int k = b; k < e; ++k) {
                const double c = q[std::size_t(k)] * scale;
                to[std::size_t(first[k])] += c;
                to[std::size_t(second[k])] += c;
            }
        }
        return loglik.value();
    };
    const auto largestChange = [](const std::vector<double> &a, const std::vector<double> &b) {
        double change = 0.0;
        for (std::size_t h = 0; h < a.size(); ++h)
            change = std::max(change, std::fabs(a[h] - b[h]));
        return change;
    };

    // EM accelerated by squared extrapolation (SQUAREM, scheme S3;
    // Varadhan and Roland 2008): two steps give the direction, the
    // extrapolated point is kept only when it stays in the simplex and is
    // no less likely than the start; one plain step from it ends a cycle.
    // Converged when that step moves no frequency by more than `tolerance`.
    std::vector<double> f0 = freq, f1(haplotypes), f2(haplotypes), f3(haplotypes), extrapolated(haplotypes);
    int iterations = 0;
    while (iterations < kMaxIterations) {
        if (stopped && stopped()) {
            result.status = Stopped;
            return result;
        }
        const double loglik0 = step(f0, f1, true);
        step(f1, f2, false);
        iterations += 2;
        if (largestChange(f1, f0) <= tolerance) {
            freq = f1;
            result.iterations = iterations - 1;
            result.loglik = logLikelihood(pairs, weights, freq);
            return result;
        }
        double rr = 0.0;
        double vv = 0.0;
        for (std::size_t h = 0; h < haplotypes; ++h) {
            const double r = f1[h] - f0[h];
            const double v = f2[h] - 2.0 * f1[h] + f0[h];
            rr += r * r;
            vv += v * v;
        }
        double alpha = vv > 0.0 ? -std::sqrt(rr / vv) : -1.0;
        bool inside = alpha < -1.0;
        if (inside) {
            for (std::size_t h = 0; h < haplotypes; ++h) {
                const double r = f1[h] - f0[h];
                const double v = f2[h] - 2.0 * f1[h] + f0[h];
                extrapolated[h] = f0[h] - 2.0 * alpha * r + alpha * alpha * v;
                inside = inside && extrapolated[h] >= 0.0 && std::isfinite(extrapolated[h]);
            }
        }
        double loglik = inside ? step(extrapolated, f3, true) : -INFINITY;
        if (!(loglik >= loglik0)) {
            // Plain EM: alpha = -1 lands on the second step.
            extrapolated = f2;
            loglik = step(extrapolated, f3, true);
        }
        ++iterations;
        if (!std::isfinite(loglik))
            break;
        const double change = largestChange(f3, extrapolated);
        f0.swap(f3);
        if (change <= tolerance) {
            freq = f0;
            result.iterations = iterations;
            result.loglik = logLikelihood(pairs, weights, freq);
            return result;
        }
    }
    result.status = NoConvergence;
    result.iterations = iterations;
    return result;
}

double logLikelihood(const PairSet &pairs, const std::vector<double> &weights, const std::vector<double> &freq)
{
    double loglik = 0.0;
    for (int p = 0; p < pairs.patterns(); ++p) {
        const double w = weights[std::size_t(p)];
        const int b = pairs.begin[std::size_t(p)];
        const int e = pairs.begin[std::size_t(p) + 1];
        if (w <= 0.0 || b == e)
            continue;
        double sum = 0.0;
        for (int k = b; k < e; ++k) {
            const int x = pairs.first[std::size_t(k)];
            const int y = pairs.second[std::size_t(k)];
            sum += pairWeight(x, y) * freq[std::size_t(x)] * freq[std::size_t(y)];
        }
        loglik += w * std::log(sum);
    }
    return loglik;
}

std::vector<double> posteriors(const PairSet &pairs, const std::vector<double> &freq)
{
    std::vector<double> out(std::size_t(pairs.pairs()), 0.0);
    for (int p = 0; p < pairs.patterns(); ++p) {
        const int b = pairs.begin[std::size_t(p)];
        const int e = pairs.begin[std::size_t(p) + 1];
        double sum = 0.0;
        for (int k = b; k < e; ++k) {
            const int x = pairs.first[std::size_t(k)];
            const int y = pairs.second[std::size_t(k)];
            out[std::size_t(k)] = pairWeight(x, y) * freq[std::size_t(x)] * freq[std::size_t(y)];
            sum += out[std::size_t(k)];
        }
        for (int k = b; k < e && sum > 0.0; ++k)
            out[std::size_t(k)] /= sum;
    }
    return out;
}

Fit fit(const Patterns &patterns, const std::vector<double> &weights, const Settings &settings, const Fit *given)
{
    Fit best;
    if (patterns.loci < 1 || patterns.loci > kMaxLoci
        || std::none_of(weights.begin(), weights.end(), [](double w) { return w > 0.0; }))
        return best;
    const int starts = std::max(1, settings.starts);
    const int jobs = starts + (given ? 1 : 0);
    std::vector<Fit> results(static_cast<std::size_t>(jobs));
    const bool finished = runJobs(jobs, settings.threads, [&](int i, const StopCheck &stopped) {
        results[std::size_t(i)] = i < starts ? runStart(patterns, weights, i, settings, stopped)
                                             : runGiven(patterns, *given, weights, stopped);
    });
    if (!finished) {
        best.status = Stopped;
        return best;
    }
    // A start that ran out of room or steps leaves the maximum in doubt.
    for (const Fit &r : results) {
        if (r.status != Finished) {
            best.status = r.status;
            best.iterations = r.iterations;
            return best;
        }
    }
    double top = -INFINITY;
    for (const Fit &r : results)
        top = std::max(top, r.loglik);
    // The first start (equal posteriors, no seed) where it reached the
    // maximum, so that the seed changes nothing then.
    int chosen = -1;
    int atBest = 0;
    for (int i = 0; i < jobs; ++i) {
        if (results[std::size_t(i)].loglik >= top - kSameMaximum) {
            if (i < starts)
                ++atBest;
            if (chosen < 0)
                chosen = i;
        }
    }
    best = std::move(results[std::size_t(chosen)]);
    best.starts = starts;
    best.startsAtBest = atBest;
    best.fromGiven = chosen >= starts;
    return best;
}

} // namespace haplotypeem
