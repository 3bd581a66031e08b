#include "haplotypeassoc.h"

#include "chi2.h"
#include "clopperpearson.h"
#include "haplotypeinfo.h"
#include "haplotypepermutations.h"
#include "mcrunner.h"
#include "mcstream.h"
#include "normalquantile.h"
#include "runreport.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>
#include <map>

namespace haplotypeassoc {

namespace {

// A haplotype estimated below this in every fit is taken as absent: it
// does not by itself make a pooled entry (and a degree of freedom).
constexpr double kPresent = 1e-6;
// Permutations per chunk of the runner: each is two EM climbs, so a few
// hundred of them still spread over the threads.
constexpr qint64 kPermutationChunk = 16;
// The level of the permutation P's interval, as the Monte Carlo tests'.
constexpr double kPermutationConfidence = 0.99;

QString tr(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}

QString fitFailure(int status, const QString &group)
{
    switch (status) {
    case haplotypeem::NoConvergence:
        return tr("the EM of %1 did not converge in %2 steps").arg(group).arg(haplotypeem::kMaxIterations);
    case haplotypeem::TooManyPairs:
        return tr("the genotypes of %1 allow more than %2 haplotype pairs")
            .arg(group)
            .arg(haplotypeem::kMaxPairs);
    default:
        return tr("the EM of %1 failed (status %2)").arg(group).arg(status);
    }
}

// The estimate of one fit per haplotype code (0 where it has none).
struct Row
{
    quint32 code = 0;
    double freq[3] = {0.0, 0.0, 0.0};  // all, cases, controls
};

std::vector<Row> rowsOf(const haplotypeem::Fit *const (&fits)[3])
{
    std::map<quint32, Row> rows;
    for (int g = 0; g < 3; ++g) {
        for (std::size_t h = 0; h < fits[g]->pairs.haplotypes.size(); ++h) {
            Row &row = rows[fits[g]->pairs.haplotypes[h]];
            row.code = fits[g]->pairs.haplotypes[h];
            row.freq[g] = fits[g]->freq[h];
        }
    }
    std::vector<Row> out;
    for (const auto &[code, row] : rows)
        out.push_back(row);
    std::stable_sort(out.begin(), out.end(), [](const Row &a, const Row &b) { return a.freq[0] > b.freq[0]; });
    return out;
}

// Two loci that no individual has both typed leave their haplotypes
// unidentified: any frequencies with the right allele frequencies fit.
QString untypedPair(const HaplotypeSample &sample, const haplotypeem::Patterns &patterns)
{
    const int loci = sample.loci;
    std::vector<char> together(std::size_t(loci) * std::size_t(loci), 0);
    for (int p = 0; p < patterns.count(); ++p) {
        const qint8 *codes = patterns.pattern(p);
        for (int j = 0; j < loci; ++j) {
            for (int k = j + 1; k < loci && codes[j] != haplotypeem::kMissing; ++k)
                together[std::size_t(j) * std::size_t(loci) + std::size_t(k)] |= char(codes[k] != haplotypeem::kMissing);
        }
    }
    const auto name = [&sample](int j) {
        return j < sample.names.size() ? sample.names.at(j) : tr("SNP %1").arg(j + 1);
    };
    for (int j = 0; j < loci; ++j) {
        for (int k = j + 1; k < loci; ++k) {
            if (!together[std::size_t(j) * std::size_t(loci) + std::size_t(k)])
                return tr("no individual is typed at both %1 and %2").arg(name(j), name(k));
        }
    }
    return QString();
}

} // namespace

int analyse(const HaplotypeSample &sample, const HaplotypeSettings &settings, HaplotypeFigures *figures,
            QString *error, int progressMaximum)
{
    HaplotypeFigures f;
    f.loci = sample.loci;
    f.confLevel = settings.confLevel;
    f.rare = settings.rare;
    if (sample.loci < 2 || sample.loci > haplotypeem::kMaxLoci
        || sample.genotypes.size() != std::size_t(sample.loci) * sample.isCase.size()) {
        *error = tr("haplotypes need 2 to %1 loci").arg(haplotypeem::kMaxLoci);
        return NoData;
    }
    const haplotypeem::Patterns patterns = haplotypeem::Patterns::from(sample.genotypes, sample.loci);
    std::vector<int> patternOfTyped;
    std::vector<double> caseWeights(std::size_t(patterns.count()), 0.0);
    for (std::size_t i = 0; i < patterns.of.size(); ++i) {
        if (patterns.of[i] < 0) {
            ++f.untyped;
            continue;
        }
        patternOfTyped.push_back(patterns.of[i]);
        if (sample.isCase[i]) {
            ++f.cases;
            caseWeights[std::size_t(patterns.of[i])] += 1.0;
        } else {
            ++f.controls;
        }
    }
    f.n = f.cases + f.controls;
    if (f.cases == 0 || f.controls == 0) {
        *error = f.cases == 0 ? tr("no case is typed at any of the loci") : tr("no control is typed at any of the loci");
        return NoData;
    }
    *error = untypedPair(sample, patterns);
    if (!error->isEmpty())
        return NoData;
    const std::vector<double> all = patterns.weights();
    std::vector<double> controlWeights(all.size());
    for (std::size_t p = 0; p < all.size(); ++p)
        controlWeights[p] = all[p] - caseWeights[p];

    // Three fits, each the best of its starts, the groups also from the
    // pooled estimate: a group is then never less likely than under the
    // pooled frequencies, and the statistic never negative.
    const int threads = settings.threads > 0 ? settings.threads : defaultThreadCount();
    haplotypeem::Settings em{settings.starts, mcstream::derivedSeed(settings.seed, 1), threads};
    const haplotypeem::Fit pooled = haplotypeem::fit(patterns, all, em);
    if (pooled.status != haplotypeem::Finished) {
        *error = fitFailure(pooled.status, tr("all individuals"));
        return pooled.status;
    }
    em.seed = mcstream::derivedSeed(settings.seed, 2);
    const haplotypeem::Fit cases = haplotypeem::fit(patterns, caseWeights, em, &pooled);
    if (cases.status != haplotypeem::Finished) {
        *error = fitFailure(cases.status, tr("the cases"));
        return cases.status;
    }
    em.seed = mcstream::derivedSeed(settings.seed, 3);
    const haplotypeem::Fit controls = haplotypeem::fit(patterns, controlWeights, em, &pooled);
    if (controls.status != haplotypeem::Finished) {
        *error = fitFailure(controls.status, tr("the controls"));
        return controls.status;
    }
    f.loglik = pooled.loglik;
    f.loglikCases = cases.loglik;
    f.loglikControls = controls.loglik;
    f.iterations = pooled.iterations;
    f.starts = pooled.starts;
    f.startsAtBest = pooled.startsAtBest;
    // Trimming after the climbs can cost the groups a hair of likelihood.
    f.lrt = std::max(0.0, 2.0 * (cases.loglik + controls.loglik - pooled.loglik));

    // The entries: haplotypes at or above the rare frequency (the most
    // frequent always), the others pooled.
    const haplotypeem::Fit *const fits[3] = {&pooled, &cases, &controls};
    const std::vector<Row> rows = rowsOf(fits);
    std::vector<haplotypeinfo::Entry> members;
    HaplotypeEntry pool;
    pool.rare = true;
    haplotypeinfo::Entry pooledCodes;
    bool poolPresent = false;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const Row &row = rows[r];
        if (r == 0 || row.freq[0] >= settings.rare) {
            HaplotypeEntry entry;
            entry.code = row.code;
            entry.freq = row.freq[0];
            entry.freqCases = row.freq[1];
            entry.freqControls = row.freq[2];
            f.entries.push_back(entry);
            members.push_back({row.code});
            continue;
        }
        pooledCodes.push_back(row.code);
        ++pool.pooled;
        pool.freq += row.freq[0];
        pool.freqCases += row.freq[1];
        pool.freqControls += row.freq[2];
        poolPresent = poolPresent || *std::max_element(row.freq, row.freq + 3) >= kPresent;
    }
    if (poolPresent) {
        f.entries.push_back(pool);
        members.push_back(pooledCodes);
    }
    f.df = int(f.entries.size()) - 1;
    QString chi2Error;
    f.p = f.df > 0 ? reportedProbability(chi2PValue(f.lrt, f.df, &chi2Error)) : qQNaN();

    // Odds ratios against the most frequent haplotype.
    const quint32 reference = f.entries.front().code;
    const std::vector<double> varCases = haplotypeinfo::logRatioVariances(cases, caseWeights, reference, members);
    const std::vector<double> varControls =
        haplotypeinfo::logRatioVariances(controls, controlWeights, reference, members);
    const double z = normalUpperQuantile((1.0 - settings.confLevel) / 2.0);
    const HaplotypeEntry &ref = f.entries.front();
    for (std::size_t e = 0; e < f.entries.size(); ++e) {
        HaplotypeEntry &entry = f.entries[e];
        if (e == 0) {
            entry.oddsRatio = 1.0;
            continue;
        }
        // A frequency below an expected count of kFreeCount is 0.
        const auto freqIn = [](double freq, int n) { return 2.0 * n * freq < haplotypeinfo::kFreeCount ? 0.0 : freq; };
        const double caseOdds = freqIn(entry.freqCases, f.cases) / freqIn(ref.freqCases, f.cases);
        const double controlOdds = freqIn(entry.freqControls, f.controls) / freqIn(ref.freqControls, f.controls);
        entry.oddsRatio = caseOdds / controlOdds;
        const double var = varCases[e] + varControls[e];
        if (entry.oddsRatio > 0.0 && std::isfinite(entry.oddsRatio) && var >= 0.0) {
            const double half = z * std::sqrt(var);
            entry.low = std::exp(std::log(entry.oddsRatio) - half);
            entry.high = std::exp(std::log(entry.oddsRatio) + half);
        }
    }
    const std::vector<haplotypeinfo::Score> scores = haplotypeinfo::scores(pooled, all, caseWeights, members);
    for (std::size_t e = 0; e < f.entries.size(); ++e) {
        f.entries[e].score = scores[e].z;
        f.entries[e].p = scores[e].p;
    }

    // The permutation P.
    f.permutations = settings.permutations;
    f.seed = settings.seed;
    if (settings.permutations > 0) {
        HaplotypePermutations model(pooled, patternOfTyped, f.cases);
        if (std::isnan(model.observedStatistic(caseWeights))) {
            *error = tr("the EM of a permutation did not converge in %1 steps").arg(haplotypeem::kMaxIterations);
            return PermutationFailed;
        }
        const mccount count = countExtremes(model, settings.permutations, settings.seed, threads, progressMaximum,
                                            nullptr, kPermutationChunk);
        switch (count.status) {
        case mccount::Finished:
            break;
        case mccount::Stopped:
            return Stopped;
        case mccount::SamplerFailed:
            *error = tr("the EM of a permutation did not converge in %1 steps").arg(haplotypeem::kMaxIterations);
            return PermutationFailed;
        default:
            *error = tr("the permutations ran out of memory");
            return PermutationFailed;
        }
        const probabilityinterval interval = clopperPearson(count.extreme, count.samples, kPermutationConfidence);
        f.extreme = count.extreme;
        f.pPerm = double(count.extreme + 1) / double(count.samples + 1);
        if (interval.ok) {
            f.pPermLow = interval.low;
            f.pPermHigh = interval.high;
        }
    }
    *figures = std::move(f);
    return Finished;
}

} // namespace haplotypeassoc
