// The samplers of the Monte Carlo tests against exact probabilities: every
// outcome of small cases is listed with its probability (from long double
// lgamma, independent of the samplers' log-factorials), and the sampled
// frequencies must pass Pearson's goodness-of-fit test at the 0.001 level
// (fixed seeds, so the outcome is the same on every run).
#include "goodnessoffit.h"
#include "lnfactorial.h"
#include "mcstream.h"
#include "tableenumeration.h"
#include "tablesampler.h"

#include <QtTest>

#include <cmath>
#include <map>
#include <vector>

namespace {

using tableenumeration::Counts;
using tableenumeration::allTables;
using tableenumeration::lnFactorial;
using tableenumeration::tableProbability;

constexpr long long kSamples = 100000;
constexpr double kLevel = 0.001;

// Every genotype table (upper triangle of K x K, row-major) with these
// allele counts.
void allGenotypeTables(const Counts &alleles, std::vector<Counts> &tables)
{
    const size_t K = alleles.size();
    Counts cells(K * K, 0);
    Counts left = alleles;
    std::function<void(size_t, size_t)> fill = [&](size_t i, size_t j) {
        if (i == K) {
            if (std::all_of(left.begin(), left.end(), [](qint64 v) { return v == 0; }))
                tables.push_back(cells);
            return;
        }
        const size_t nextI = j + 1 == K ? i + 1 : i;
        const size_t nextJ = j + 1 == K ? i + 1 : j + 1;
        const qint64 high = i == j ? left[i] / 2 : std::min(left[i], left[j]);
        for (qint64 v = 0; v <= high; ++v) {
            cells[i * K + j] = v;
            left[i] -= i == j ? 2 * v : v;
            left[j] -= i == j ? 0 : v;
            fill(nextI, nextJ);
            left[i] += i == j ? 2 * v : v;
            left[j] += i == j ? 0 : v;
        }
        cells[i * K + j] = 0;
    };
    fill(0, 0);
}

// Frequencies of the sampled outcomes, in the order of the listed ones;
// false when an outcome is not among them.
bool tally(const std::vector<Counts> &outcomes, const std::function<Counts()> &draw,
           std::vector<long long> &observed)
{
    std::map<Counts, size_t> index;
    for (size_t i = 0; i < outcomes.size(); ++i)
        index[outcomes[i]] = i;
    observed.assign(outcomes.size(), 0);
    for (long long s = 0; s < kSamples; ++s) {
        const auto found = index.find(draw());
        if (found == index.end())
            return false;
        ++observed[found->second];
    }
    return true;
}

// Empty when the sampled outcomes fit their exact probabilities (which must
// add up to 1), else what went wrong.
QString misfit(const std::vector<Counts> &outcomes, const std::vector<double> &probabilities,
               const std::function<Counts()> &draw)
{
    double total = 0.0;
    for (double p : probabilities)
        total += p;
    if (std::fabs(total - 1.0) > 1e-12)
        return QStringLiteral("the exact probabilities add up to %1").arg(total, 0, 'g', 17);
    std::vector<long long> observed;
    if (!tally(outcomes, draw, observed))
        return QStringLiteral("a draw outside the outcomes");
    if (outcomes.size() == 1)
        return observed.front() == kSamples ? QString() : QStringLiteral("a draw outside the support");
    const double p = goodnessoffit::pValue(observed, probabilities, kSamples);
    return p > kLevel ? QString() : QStringLiteral("goodness of fit P = %1").arg(p);
}

} // namespace

class TestMcSamplers final : public QObject
{
    Q_OBJECT

private slots:
    void hypergeometric_data();
    void hypergeometric();
    void multivariate_data();
    void multivariate();
    void table_data();
    void table();
    void pairing_data();
    void pairing();
    void logFactorials();
    void streams();
};

void TestMcSamplers::hypergeometric_data()
{
    QTest::addColumn<qint64>("total");
    QTest::addColumn<qint64>("marked");
    QTest::addColumn<qint64>("draws");
    QTest::newRow("small") << qint64(10) << qint64(3) << qint64(4);
    QTest::newRow("most drawn") << qint64(12) << qint64(5) << qint64(11);
    QTest::newRow("most marked") << qint64(20) << qint64(15) << qint64(12);
    QTest::newRow("both above half") << qint64(30) << qint64(21) << qint64(25);
    QTest::newRow("half of 100") << qint64(100) << qint64(50) << qint64(50);
    QTest::newRow("rare") << qint64(1000) << qint64(2) << qint64(500);
    QTest::newRow("allele of 9") << qint64(16594) << qint64(6329) << qint64(8297);
    QTest::newRow("wide") << qint64(200000) << qint64(80000) << qint64(100000);
    QTest::newRow("none marked") << qint64(50) << qint64(0) << qint64(10);
    QTest::newRow("all drawn") << qint64(30) << qint64(7) << qint64(30);
    QTest::newRow("all marked") << qint64(30) << qint64(30) << qint64(4);
}

void TestMcSamplers::hypergeometric()
{
    QFETCH(qint64, total);
    QFETCH(qint64, marked);
    QFETCH(qint64, draws);
    lnfactorial lf;
    QVERIFY(lf.init(total));
    tablesampler sampler(lf);
    const qint64 low = std::max<qint64>(0, draws + marked - total);
    const qint64 high = std::min(marked, draws);
    std::vector<double> probabilities;
    std::vector<Counts> outcomes;
    for (qint64 k = low; k <= high; ++k) {
        outcomes.push_back({k});
        probabilities.push_back(double(std::exp(lnFactorial(marked) - lnFactorial(k) - lnFactorial(marked - k)
                                                + lnFactorial(total - marked) - lnFactorial(draws - k)
                                                - lnFactorial(total - marked - draws + k) - lnFactorial(total)
                                                + lnFactorial(draws) + lnFactorial(total - draws))));
    }
    std::mt19937_64 engine = mcstream::chunkEngine(20240601u, 0);
    const QString error = misfit(outcomes, probabilities,
                                 [&] { return Counts{sampler.hypergeometric(engine, total, marked, draws)}; });
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QVERIFY(!sampler.failed());
}

void TestMcSamplers::multivariate_data()
{
    QTest::addColumn<Counts>("sizes");
    QTest::addColumn<qint64>("draws");
    QTest::newRow("four columns") << Counts{3, 4, 2, 5} << qint64(6);
    QTest::newRow("with an empty column") << Counts{5, 0, 6, 1} << qint64(7);
    QTest::newRow("draw nearly all") << Counts{4, 3, 3} << qint64(9);
}

void TestMcSamplers::multivariate()
{
    QFETCH(Counts, sizes);
    QFETCH(qint64, draws);
    qint64 total = 0;
    for (qint64 s : sizes)
        total += s;
    // The outcomes are the one-row tables of row sum `draws` under the
    // columns' sizes: the first row of a two-row table.
    std::vector<Counts> tables;
    allTables({draws, total - draws}, sizes, tables);
    std::vector<Counts> outcomes;
    std::vector<double> probabilities;
    for (const Counts &table : tables) {
        outcomes.emplace_back(table.begin(), table.begin() + std::ptrdiff_t(sizes.size()));
        probabilities.push_back(tableProbability({draws, total - draws}, sizes, table));
    }
    lnfactorial lf;
    QVERIFY(lf.init(total));
    tablesampler sampler(lf);
    std::mt19937_64 engine = mcstream::chunkEngine(7, 1);
    Counts row(sizes.size());
    const QString error = misfit(outcomes, probabilities, [&] {
        sampler.multivariate(engine, sizes.data(), int(sizes.size()), total, draws, row.data());
        return row;
    });
    QVERIFY2(error.isEmpty(), qPrintable(error));
}

void TestMcSamplers::table_data()
{
    QTest::addColumn<Counts>("rows");
    QTest::addColumn<Counts>("columns");
    QTest::newRow("2x2") << Counts{4, 6} << Counts{5, 5};
    QTest::newRow("3x3") << Counts{3, 2, 2} << Counts{2, 3, 2};
    QTest::newRow("2x4") << Counts{5, 3} << Counts{2, 1, 3, 2};
    QTest::newRow("4x2") << Counts{1, 2, 2, 3} << Counts{4, 4};
}

void TestMcSamplers::table()
{
    QFETCH(Counts, rows);
    QFETCH(Counts, columns);
    qint64 total = 0;
    for (qint64 r : rows)
        total += r;
    std::vector<Counts> outcomes;
    allTables(rows, columns, outcomes);
    std::vector<double> probabilities;
    for (const Counts &cells : outcomes)
        probabilities.push_back(tableProbability(rows, columns, cells));
    lnfactorial lf;
    QVERIFY(lf.init(total));
    tablesampler sampler(lf);
    std::mt19937_64 engine = mcstream::chunkEngine(99, 2);
    Counts cells(rows.size() * columns.size());
    const QString error = misfit(outcomes, probabilities, [&] {
        sampler.table(engine, rows.data(), int(rows.size()), columns.data(), int(columns.size()), total,
                      cells.data());
        return cells;
    });
    QVERIFY2(error.isEmpty(), qPrintable(error));
}

void TestMcSamplers::pairing_data()
{
    QTest::addColumn<Counts>("alleles");
    QTest::newRow("two alleles") << Counts{7, 5};
    QTest::newRow("three alleles") << Counts{4, 3, 3};
    QTest::newRow("four alleles") << Counts{5, 3, 2, 2};
    QTest::newRow("one rare allele") << Counts{9, 1, 2};
}

void TestMcSamplers::pairing()
{
    QFETCH(Counts, alleles);
    const int K = int(alleles.size());
    qint64 copies = 0;
    for (qint64 a : alleles)
        copies += a;
    const qint64 n = copies / 2;
    std::vector<Counts> outcomes;
    allGenotypeTables(alleles, outcomes);
    // Levene: n! 2^H prod a_i! / ((2n)! prod n_ij!).
    std::vector<double> probabilities;
    for (const Counts &cells : outcomes) {
        long double logP = lnFactorial(n) - lnFactorial(2 * n);
        for (qint64 a : alleles)
            logP += lnFactorial(a);
        qint64 homozygotes = 0;
        for (int i = 0; i < K; ++i) {
            homozygotes += cells[size_t(i * K + i)];
            for (int j = i; j < K; ++j)
                logP -= lnFactorial(cells[size_t(i * K + j)]);
        }
        logP += std::log(2.0L) * static_cast<long double>(n - homozygotes);
        probabilities.push_back(double(std::exp(logP)));
    }
    lnfactorial lf;
    QVERIFY(lf.init(copies));
    tablesampler sampler(lf);
    std::mt19937_64 engine = mcstream::chunkEngine(3, 4);
    Counts pairs(size_t(K * K));
    const QString error = misfit(outcomes, probabilities, [&] {
        sampler.pairing(engine, alleles.data(), K, n, pairs.data());
        Counts genotypes(size_t(K * K), 0);
        for (int i = 0; i < K; ++i) {
            genotypes[size_t(i * K + i)] = pairs[size_t(i * K + i)];
            for (int j = i + 1; j < K; ++j)
                genotypes[size_t(i * K + j)] = pairs[size_t(i * K + j)] + pairs[size_t(j * K + i)];
        }
        return genotypes;
    });
    QVERIFY2(error.isEmpty(), qPrintable(error));
}

// The table and, beyond it, the Stirling series, against long double
// lgamma: within 1e-14 relative.
void TestMcSamplers::logFactorials()
{
    lnfactorial lf;
    QVERIFY(!lf.init(-1));
    QVERIFY(lf.init(1000));
    QCOMPARE(lf(0), 0.0);
    QCOMPARE(lf(1), 0.0);
    for (qint64 k : {2, 10, 170, 1000}) {
        const long double exact = lnFactorial(k);
        QVERIFY2(std::fabs(lf(k) - double(exact)) <= 1e-14 * double(exact), qPrintable(QString::number(k)));
    }
    // Past n but within the smallest table, and from there on the series.
    QVERIFY(std::fabs(lf(1000 + 23) - double(lnFactorial(1023))) <= 1e-14 * double(lnFactorial(1023)));
    for (qint64 k : {lnfactorial::kMinTableSize, qint64(5000), lnfactorial::kTableSize, qint64(10000019),
                     qint64(123456789), qint64(2147483647), qint64(4294967294)}) {
        const long double exact = lnFactorial(k);
        QVERIFY2(std::fabs(lnfactorial::stirling(k) - double(exact)) <= 1e-14 * double(exact),
                 qPrintable(QString::number(k)));
        // Beyond the table, the lookup is the series.
        if (k >= lnfactorial::kTableSize)
            QCOMPARE(lf(k), lnfactorial::stirling(k));
    }
}

// A chunk's stream depends on (seed, chunk) alone; its first output is
// pinned, since every reported seed's results rest on it.
void TestMcSamplers::streams()
{
    std::mt19937_64 a = mcstream::chunkEngine(42, 3);
    std::mt19937_64 b = mcstream::chunkEngine(42, 3);
    std::mt19937_64 otherChunk = mcstream::chunkEngine(42, 4);
    std::mt19937_64 otherSeed = mcstream::chunkEngine(43, 3);
    const quint64 first = a();
    QCOMPARE(b(), first);
    QVERIFY(otherChunk() != first);
    QVERIFY(otherSeed() != first);
    QCOMPARE(mcstream::chunkEngine(0, 0)(), Q_UINT64_C(12571325847539186777));
    for (int i = 0; i < 1000; ++i) {
        const double u = mcstream::uniform(a);
        QVERIFY(u >= 0.0 && u < 1.0);
    }
}

QTEST_APPLESS_MAIN(TestMcSamplers)
#include "test_mcsamplers.moc"
