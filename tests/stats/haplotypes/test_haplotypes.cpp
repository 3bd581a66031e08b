// The haplotype EM and association against R's haplo.stats on simulated
// regions (data/, made by make_haplo_references.R), and the properties that no
// reference gives: the same answer for any seed or thread count, the
// odds ratio's variance against a numerical Hessian.
#include "haplotypeassoc.h"
#include "haplotypeem.h"
#include "haplotypeinfo.h"

#include <QFile>
#include <QHash>
#include <QMap>
#include <QTextStream>
#include <QtTest>

#include <cmath>

namespace {

quint32 codeOf(const QString &digits)
{
    quint32 code = 0;
    for (int j = 0; j < digits.size(); ++j)
        code |= quint32(digits.at(j) == u'2') << j;
    return code;
}

// haplo.em's two runs of a region (make_haplo_references.R): its default
// progressive insertion, and every locus at once with nothing trimmed.
struct Reference
{
    int loci = 0;
    double loglik[2][3] = {};           // [progressive, full][all, cases, controls]
    QHash<quint32, double> freq[2][3];
    QMap<quint32, double> score;        // haplo.score's z per haplotype at or above 0.01

    // The run that reached the higher maximum in a group.
    int best(int group) const { return loglik[1][group] > loglik[0][group] ? 1 : 0; }
};

QMap<int, Reference> readReferences()
{
    QMap<int, Reference> refs;
    QFile file(QStringLiteral(VELMORA_HAPLO_DATA "/haplo_references.txt"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return refs;
    QTextStream in(&file);
    int region = 0;
    const QStringList groups{QStringLiteral("all"), QStringLiteral("cases"), QStringLiteral("controls")};
    const QStringList runs{QStringLiteral("progressive"), QStringLiteral("full")};
    while (!in.atEnd()) {
        const QStringList f = in.readLine().split(u' ', Qt::SkipEmptyParts);
        if (f.value(0) == u"region") {
            region = f.at(1).toInt();
            refs[region].loci = f.at(3).toInt();
        } else if (f.value(0) == u"fit") {
            for (int g = 0; g < 3; ++g)
                refs[region].loglik[runs.indexOf(f.at(1))][g] = f.at(3 + g).toDouble();
        } else if (f.value(0) == u"freq") {
            refs[region].freq[runs.indexOf(f.at(1))][groups.indexOf(f.at(2))].insert(codeOf(f.at(3)), f.at(4).toDouble());
        } else if (f.value(0) == u"score") {
            refs[region].score.insert(codeOf(f.at(1)), f.at(2).toDouble());
        }
    }
    return refs;
}

HaplotypeSample readRegion(int region)
{
    HaplotypeSample sample;
    QFile file(QStringLiteral(VELMORA_HAPLO_DATA "/haplo_region-%1.txt").arg(region));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return sample;
    QTextStream in(&file);
    while (!in.atEnd()) {
        const QStringList f = in.readLine().split(u' ', Qt::SkipEmptyParts);
        if (f.size() != 2)
            continue;
        sample.loci = int(f.at(1).size());
        sample.isCase.push_back(qint8(f.at(0).toInt()));
        for (const QChar c : f.at(1))
            sample.genotypes.push_back(c == u'9' ? haplotypeem::kMissing : qint8(c.digitValue()));
    }
    return sample;
}

// The three fits as the association makes them.
struct Fits
{
    haplotypeem::Patterns patterns;
    std::vector<double> weights[3];
    haplotypeem::Fit fit[3];
};

Fits fitRegion(const HaplotypeSample &sample, quint64 seed, int threads)
{
    Fits fits;
    fits.patterns = haplotypeem::Patterns::from(sample.genotypes, sample.loci);
    fits.weights[0] = fits.patterns.weights();
    fits.weights[1] = fits.patterns.weights(&sample.isCase, 1);
    fits.weights[2] = fits.patterns.weights(&sample.isCase, 0);
    haplotypeem::Settings settings{haplotypeem::kDefaultStarts, seed, threads};
    fits.fit[0] = haplotypeem::fit(fits.patterns, fits.weights[0], settings);
    for (int g = 1; g < 3; ++g)
        fits.fit[g] = haplotypeem::fit(fits.patterns, fits.weights[g], settings, &fits.fit[0]);
    return fits;
}

double freqOf(const haplotypeem::Fit &fit, quint32 code)
{
    const auto at = std::lower_bound(fit.pairs.haplotypes.begin(), fit.pairs.haplotypes.end(), code);
    return at != fit.pairs.haplotypes.end() && *at == code ? fit.freq[std::size_t(at - fit.pairs.haplotypes.begin())]
                                                          : 0.0;
}

} // namespace

class TestHaplotypes : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void againstHaploStats_data();
    void againstHaploStats();
    void sameForAnySeedOrThreads();
    void varianceAgainstNumericalHessian();
    void phaseKnownOddsRatioIsWoolf();
    void permutations();

private:
    QMap<int, Reference> refs;
};

void TestHaplotypes::initTestCase()
{
    refs = readReferences();
    QCOMPARE(refs.size(), 5);
}

void TestHaplotypes::againstHaploStats_data()
{
    QTest::addColumn<int>("region");
    for (int r = 1; r <= 5; ++r)
        QTest::addRow("region %d", r) << r;
}

// Frequencies within 1e-4 of haplo.em (20 tries, converged to 1e-12) in
// all, cases and controls, at a maximum as high as its better run's or
// higher than both; the LRT of the three fits; and haplo.score's
// haplotype-specific statistics.
void TestHaplotypes::againstHaploStats()
{
    QFETCH(int, region);
    const Reference &ref = refs[region];
    const HaplotypeSample sample = readRegion(region);
    QCOMPARE(sample.loci, ref.loci);
    const Fits fits = fitRegion(sample, 7, 2);
    double lrt = 0.0;
    for (int g = 0; g < 3; ++g) {
        const haplotypeem::Fit &fit = fits.fit[g];
        QCOMPARE(fit.status, int(haplotypeem::Finished));
        const int best = ref.best(g);
        lrt += (g == 0 ? -2.0 : 2.0) * ref.loglik[best][g];
        // Ours is never the lower maximum.
        QVERIFY2(fit.loglik >= ref.loglik[best][g] - 1e-6,
                 qPrintable(QStringLiteral("group %1: lnL %2 against haplo.em's %3")
                                .arg(g)
                                .arg(fit.loglik, 0, 'f', 8)
                                .arg(ref.loglik[best][g], 0, 'f', 8)));
        if (ref.loglik[0][g] < fit.loglik - 1e-6)
            qInfo("region %d group %d: lnL %.6f, haplo.em's progressive insertion %.6f", region, g, fit.loglik,
                  ref.loglik[0][g]);
        const QHash<quint32, double> &theirFreq = ref.freq[best][g];
        QSet<quint32> codes(theirFreq.keyBegin(), theirFreq.keyEnd());
        for (std::size_t h = 0; h < fit.pairs.haplotypes.size(); ++h)
            codes.insert(fit.pairs.haplotypes[h]);
        for (const quint32 code : codes) {
            const double ours = freqOf(fit, code);
            const double theirs = theirFreq.value(code, 0.0);
            QVERIFY2(std::fabs(ours - theirs) <= 1e-4,
                     qPrintable(QStringLiteral("group %1 haplotype %2: %3 against %4")
                                    .arg(g)
                                    .arg(code)
                                    .arg(ours)
                                    .arg(theirs)));
        }
    }

    HaplotypeSettings settings;
    settings.permutations = 0;
    settings.seed = 3;
    HaplotypeFigures figures;
    QString error;
    QCOMPARE(haplotypeassoc::analyse(sample, settings, &figures, &error), int(haplotypeassoc::Finished));
    QVERIFY2(std::fabs(figures.lrt - lrt) <= 1e-4, qPrintable(QStringLiteral("LRT %1 against %2").arg(figures.lrt).arg(lrt)));
    QCOMPARE(figures.df, int(figures.entries.size()) - 1);
    int matched = 0;
    for (const HaplotypeEntry &entry : figures.entries) {
        if (entry.rare || !ref.score.contains(entry.code))
            continue;
        ++matched;
        QVERIFY2(std::fabs(entry.score - ref.score.value(entry.code)) <= 1e-4,
                 qPrintable(QStringLiteral("score of %1: %2 against %3")
                                .arg(entry.code)
                                .arg(entry.score)
                                .arg(ref.score.value(entry.code))));
    }
    QCOMPARE(matched, int(ref.score.size()));
}

// Seeds change the random starts, threads the order in which they run:
// the estimate is the one the seedless start reaches whenever it reaches
// the best maximum, so neither changes a figure.
void TestHaplotypes::sameForAnySeedOrThreads()
{
    const HaplotypeSample sample = readRegion(3);
    HaplotypeSettings settings;
    settings.permutations = 48;
    QList<HaplotypeFigures> runs;
    for (const auto &[seed, threads] : {std::pair{1u, 1}, std::pair{1u, 3}, std::pair{99u, 2}}) {
        settings.seed = seed;
        settings.threads = threads;
        HaplotypeFigures figures;
        QString error;
        QCOMPARE(haplotypeassoc::analyse(sample, settings, &figures, &error), int(haplotypeassoc::Finished));
        runs.append(figures);
    }
    for (const HaplotypeFigures &other : {runs.at(1), runs.at(2)}) {
        QCOMPARE(other.entries.size(), runs.at(0).entries.size());
        QVERIFY(std::fabs(other.lrt - runs.at(0).lrt) <= 1e-8);
        for (std::size_t e = 0; e < other.entries.size(); ++e) {
            QCOMPARE(other.entries[e].code, runs.at(0).entries[e].code);
            QVERIFY(std::fabs(other.entries[e].freq - runs.at(0).entries[e].freq) <= 1e-8);
            QVERIFY(std::fabs(other.entries[e].freqCases - runs.at(0).entries[e].freqCases) <= 1e-8);
        }
    }
    // The same seed gives the same permutations on any number of threads.
    QCOMPARE(runs.at(1).extreme, runs.at(0).extreme);
}

// Var ln(P_h / P_ref) from the observed information against the inverse
// of a central-difference Hessian of the log-likelihood, computed here
// from the pairs alone, in free frequencies with the reference's the rest.
void TestHaplotypes::varianceAgainstNumericalHessian()
{
    const HaplotypeSample sample = readRegion(1);
    const Fits fits = fitRegion(sample, 1, 1);
    const haplotypeem::Fit &fit = fits.fit[0];
    // The haplotypes above an expected count of 1: the others are far
    // from a quadratic likelihood.
    const std::size_t count = fit.pairs.haplotypes.size();
    std::vector<int> free;
    int ref = 0;
    for (std::size_t h = 0; h < count; ++h) {
        if (fit.freq[h] > fit.freq[std::size_t(ref)])
            ref = int(h);
    }
    haplotypeem::Fit kept = fit;
    for (std::size_t h = 0; h < count; ++h) {
        if (2.0 * 400 * fit.freq[h] < 1.0)
            kept.freq[h] = 0.0;
        else if (int(h) != ref)
            free.push_back(int(h));
    }
    // Refit with the small ones held at 0, so that both sides see one model.
    double rest = 0.0;
    for (const double f : kept.freq)
        rest += f;
    for (double &f : kept.freq)
        f /= rest;
    QCOMPARE(haplotypeem::climb(kept.pairs, fits.weights[0], kept.freq, {}).status, int(haplotypeem::Finished));
    const int n = int(free.size());
    const auto loglik = [&](const std::vector<double> &theta) {
        std::vector<double> f = kept.freq;
        double sum = 0.0;
        for (int i = 0; i < n; ++i) {
            f[std::size_t(free[std::size_t(i)])] = theta[std::size_t(i)];
            sum += theta[std::size_t(i)];
        }
        f[std::size_t(ref)] = 1.0 - sum;
        for (std::size_t h = 0; h < count; ++h) {
            if (int(h) != ref && std::find(free.begin(), free.end(), int(h)) == free.end())
                f[h] = 0.0;
        }
        return haplotypeem::logLikelihood(kept.pairs, fits.weights[0], f);
    };
    std::vector<double> theta(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        theta[std::size_t(i)] = kept.freq[std::size_t(free[std::size_t(i)])];
    std::vector<double> hessian(std::size_t(n * n));
    // Steps relative to each frequency: the small ones curve the most.
    const auto step = [&theta](int i) { return 1e-4 * theta[std::size_t(i)]; };
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            double value = 0.0;
            for (const auto &[si, sj, sign] : {std::tuple{1, 1, 1}, std::tuple{1, -1, -1}, std::tuple{-1, 1, -1},
                                               std::tuple{-1, -1, 1}}) {
                std::vector<double> t = theta;
                t[std::size_t(i)] += si * step(i);
                t[std::size_t(j)] += sj * step(j);
                value += sign * loglik(t);
            }
            hessian[std::size_t(i * n + j)] = -value / (4.0 * step(i) * step(j));
        }
    }
    // Gauss-Jordan inverse of the information.
    std::vector<double> inverse(std::size_t(n * n), 0.0);
    for (int i = 0; i < n; ++i)
        inverse[std::size_t(i * n + i)] = 1.0;
    for (int c = 0; c < n; ++c) {
        const double pivot = hessian[std::size_t(c * n + c)];
        for (int k = 0; k < n; ++k) {
            hessian[std::size_t(c * n + k)] /= pivot;
            inverse[std::size_t(c * n + k)] /= pivot;
        }
        for (int r = 0; r < n; ++r) {
            if (r == c)
                continue;
            const double factor = hessian[std::size_t(r * n + c)];
            for (int k = 0; k < n; ++k) {
                hessian[std::size_t(r * n + k)] -= factor * hessian[std::size_t(c * n + k)];
                inverse[std::size_t(r * n + k)] -= factor * inverse[std::size_t(c * n + k)];
            }
        }
    }
    const quint32 refCode = kept.pairs.haplotypes[std::size_t(ref)];
    std::vector<haplotypeinfo::Entry> entries;
    for (const int h : free)
        entries.push_back({kept.pairs.haplotypes[std::size_t(h)]});
    const std::vector<double> ours = haplotypeinfo::logRatioVariances(kept, fits.weights[0], refCode, entries);
    const double fRef = kept.freq[std::size_t(ref)];
    for (int e = 0; e < n; ++e) {
        std::vector<double> g(std::size_t(n), 1.0 / fRef);
        g[std::size_t(e)] += 1.0 / theta[std::size_t(e)];
        double var = 0.0;
        for (int i = 0; i < n; ++i) {
            for (int j = 0; j < n; ++j)
                var += g[std::size_t(i)] * inverse[std::size_t(i * n + j)] * g[std::size_t(j)];
        }
        QVERIFY2(std::fabs(ours[std::size_t(e)] - var) <= 1e-4 * var,
                 qPrintable(QStringLiteral("entry %1: %2 against %3").arg(e).arg(ours[std::size_t(e)]).arg(var)));
    }
}

// With every phase known (at most one heterozygous SNP each) the
// information is that of counted haplotypes: the interval is Woolf's on
// the 2 x 2 table of haplotype counts.
void TestHaplotypes::phaseKnownOddsRatioIsWoolf()
{
    // Haplotypes 11 (reference), 21 and 12 counted directly: cases 30 x 11/11,
    // 10 x 11/21, 5 x 21/21, 5 x 11/12; controls 40 x 11/11, 6 x 11/21, 2 x 21/21,
    // 2 x 12/12.
    HaplotypeSample sample;
    sample.loci = 2;
    const auto add = [&sample](int copies, qint8 first, qint8 second, qint8 isCase) {
        for (int i = 0; i < copies; ++i) {
            sample.genotypes.push_back(first);
            sample.genotypes.push_back(second);
            sample.isCase.push_back(isCase);
        }
    };
    add(30, 0, 0, 1);
    add(10, 1, 0, 1);
    add(5, 2, 0, 1);
    add(5, 0, 1, 1);
    add(40, 0, 0, 0);
    add(6, 1, 0, 0);
    add(2, 2, 0, 0);
    add(2, 0, 2, 0);
    HaplotypeSettings settings;
    settings.permutations = 0;
    settings.rare = 0.0;
    HaplotypeFigures figures;
    QString error;
    QCOMPARE(haplotypeassoc::analyse(sample, settings, &figures, &error), int(haplotypeassoc::Finished));
    // Counts of 11 and 21: cases 75 and 20, controls 86 and 10.
    const HaplotypeEntry *h21 = nullptr;
    for (const HaplotypeEntry &e : figures.entries)
        h21 = e.code == 1u ? &e : h21;
    QVERIFY(h21);
    QCOMPARE(figures.entries.front().code, 0u);
    const double logOr = std::log((20.0 / 75.0) / (10.0 / 86.0));
    const double se = std::sqrt(1.0 / 20 + 1.0 / 75 + 1.0 / 10 + 1.0 / 86);
    QVERIFY(std::fabs(h21->oddsRatio - std::exp(logOr)) <= 1e-7);
    QVERIFY(std::fabs(std::log(h21->low) - (logOr - 1.959963984540054 * se)) <= 1e-6);
    QVERIFY(std::fabs(std::log(h21->high) - (logOr + 1.959963984540054 * se)) <= 1e-6);
}

// The permutation P of a clear association is small, the same for a seed
// on any number of threads, and its interval holds it.
void TestHaplotypes::permutations()
{
    const HaplotypeSample sample = readRegion(1);
    HaplotypeSettings settings;
    settings.permutations = 200;
    settings.seed = 5;
    qint64 extreme = -1;
    for (const int threads : {1, 2}) {
        settings.threads = threads;
        HaplotypeFigures figures;
        QString error;
        QCOMPARE(haplotypeassoc::analyse(sample, settings, &figures, &error), int(haplotypeassoc::Finished));
        QCOMPARE(figures.permutations, qint64(200));
        QVERIFY(figures.pPerm <= 0.02);
        QVERIFY(figures.pPermLow <= figures.pPerm && figures.pPerm <= figures.pPermHigh);
        QCOMPARE(figures.pPerm, double(figures.extreme + 1) / 201.0);
        if (extreme >= 0)
            QCOMPARE(figures.extreme, extreme);
        extreme = figures.extreme;
    }
}

QTEST_GUILESS_MAIN(TestHaplotypes)
#include "test_haplotypes.moc"
