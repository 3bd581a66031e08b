// The Monte Carlo estimates against exact P-values: on 200 random tables of
// each test the 99% interval must hold the exact P (from the brute-force
// references of the exact tests, and an enumeration for chi-squared) at
// least 97% of the time (chi-squared with and without Yates' correction);
// the count of a seed must not depend on the threads, nor the bins of the
// simulated statistic; a stop ends the run; and the report entries.
#include "bruteforce.h"
#include "calcpoll.h"
#include "chi2model.h"
#include "clopperpearson.h"
#include "fishermodel.h"
#include "guothompson.h"
#include "hwbruteforce.h"
#include "hwmodel.h"
#include "mcbins.h"
#include "mcrunner.h"
#include "montecarlorun.h"
#include "tableenumeration.h"
#include "testinput.h"
#include "textgrid.h"

#include <QtTest>

#include <cmath>
#include <memory>
#include <random>

namespace {

using tableenumeration::Counts;
using tableenumeration::tableProbability;

constexpr int kTables = 200;
constexpr qint64 kSamples = 2000;

struct Case
{
    std::unique_ptr<mcmodel> model;
    double exact = 0.0;
};

// The exact P of the chi-squared statistic with fixed margins: every table
// listed, the statistic in long double; with Yates' correction, each
// |O - E| less min(0.5, |O - E|).
double chi2Exact(int R, int C, const std::vector<int> &cells, bool yates = false)
{
    Counts rows(size_t(R), 0);
    Counts columns(size_t(C), 0);
    qint64 total = 0;
    for (int r = 0; r < R; ++r)
        for (int c = 0; c < C; ++c) {
            rows[size_t(r)] += cells[size_t(r * C + c)];
            columns[size_t(c)] += cells[size_t(r * C + c)];
            total += cells[size_t(r * C + c)];
        }
    auto statistic = [&](const Counts &table) {
        long double x2 = 0;
        for (int r = 0; r < R; ++r)
            for (int c = 0; c < C; ++c) {
                const long double e = (long double)rows[size_t(r)] * columns[size_t(c)] / total;
                const long double absolute = std::fabs(table[size_t(r * C + c)] - e);
                const long double d = absolute - (yates ? std::min(0.5L, absolute) : 0.0L);
                x2 += d * d / e;
            }
        return x2;
    };
    const Counts observed(cells.begin(), cells.end());
    const long double limit = statistic(observed) * (1 - 1e-12L);
    std::vector<Counts> tables;
    tableenumeration::allTables(rows, columns, tables);
    long double p = 0;
    for (const Counts &table : tables) {
        if (statistic(table) >= limit)
            p += tableProbability(rows, columns, table);
    }
    return double(p);
}

std::vector<Case> fisherCases()
{
    std::vector<Case> cases;
    for (const bruteforce::Table &t : bruteforce::randomTables(kTables, 20000)) {
        Case c;
        c.model = std::make_unique<fishermodel>(int(t.c.size()), t.x.data(), t.c.data());
        c.exact = bruteforce::pValue(t.x, t.c);
        cases.push_back(std::move(c));
    }
    return cases;
}

std::vector<Case> hardyWeinbergCases()
{
    std::mt19937 rng(20240605u);
    std::vector<Case> cases;
    while (int(cases.size()) < kTables) {
        const int K = 2 + int(rng() % 3);
        const int individuals = 4 + int(rng() % 22);
        std::vector<int> table(size_t(K * K), 0);
        for (int i = 0; i < individuals; ++i) {
            const int a = int(rng() % unsigned(K));
            const int b = int(rng() % unsigned(K));
            ++table[size_t(std::min(a, b) * K + std::max(a, b))];
        }
        Case c;
        c.model = std::make_unique<hwmodel>(K, table.data());
        c.exact = HwBruteForce(K, table).pValue();
        cases.push_back(std::move(c));
    }
    return cases;
}

// Yates' correction: 2 x 2 tables only.
std::vector<Case> chi2Cases(bool yates)
{
    std::mt19937 rng(20240607u);
    std::vector<Case> cases;
    while (int(cases.size()) < kTables) {
        const int R = yates ? 2 : 2 + int(rng() % 2);
        const int C = yates ? 2 : 2 + int(rng() % 3);
        const int total = 6 + int(rng() % 20);
        std::vector<int> cells(size_t(R * C), 0);
        // Uneven weights give tables far from independence now and then.
        std::vector<double> weights(size_t(R * C));
        for (double &w : weights)
            w = 0.2 + double(rng() % 100) / 25.0;
        std::discrete_distribution<int> cell(weights.begin(), weights.end());
        for (int i = 0; i < total; ++i)
            ++cells[size_t(cell(rng))];
        bool empty = false;
        for (int r = 0; r < R; ++r) {
            int sum = 0;
            for (int c = 0; c < C; ++c)
                sum += cells[size_t(r * C + c)];
            empty = empty || sum == 0;
        }
        for (int c = 0; c < C; ++c) {
            int sum = 0;
            for (int r = 0; r < R; ++r)
                sum += cells[size_t(r * C + c)];
            empty = empty || sum == 0;
        }
        if (empty)
            continue;
        Case c;
        c.model = std::make_unique<chi2model>(R, C, cells.data(), yates);
        c.exact = chi2Exact(R, C, cells, yates);
        cases.push_back(std::move(c));
    }
    return cases;
}

} // namespace

class TestMonteCarlo final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void intervalsHoldExactP_data();
    void intervalsHoldExactP();
    void sameCountOnAnyThreads();
    void histogram_data();
    void histogram();
    void stopAndProgress();
    void refusedInput();
    void reports_data();
    void reports();
    void reportOfStop();
    void nineAlleles();
};

void TestMonteCarlo::init()
{
    calcStopFlag = 0;
}

void TestMonteCarlo::intervalsHoldExactP_data()
{
    QTest::addColumn<int>("test");
    QTest::newRow("fisher") << int(TestFisher);
    QTest::newRow("hardy-weinberg") << int(TestHardyW);
    QTest::newRow("chi2") << int(TestChi2);
    QTest::newRow("chi2, Yates") << -int(TestChi2);
}

void TestMonteCarlo::intervalsHoldExactP()
{
    QFETCH(int, test);
    const std::vector<Case> cases = test == TestFisher  ? fisherCases()
                                    : test == TestHardyW ? hardyWeinbergCases()
                                                         : chi2Cases(test < 0);
    QCOMPARE(int(cases.size()), kTables);
    int held = 0;
    QString misses;
    for (size_t i = 0; i < cases.size(); ++i) {
        const mccount count = countExtremes(*cases[i].model, kSamples, 1000 + i, 2, 100);
        QCOMPARE(count.status, int(mccount::Finished));
        const probabilityinterval interval = clopperPearson(count.extreme, count.samples, 0.99);
        QVERIFY(interval.ok);
        // The references' sums may round a little above 1.
        const double exact = std::min(cases[i].exact, 1.0);
        if (interval.low <= exact && exact <= interval.high)
            ++held;
        else
            misses += QStringLiteral(" #%1: %2 outside [%3, %4]")
                          .arg(i)
                          .arg(exact)
                          .arg(interval.low)
                          .arg(interval.high);
    }
    qInfo("%d of %d intervals held the exact P", held, kTables);
    // 99% intervals: 194 of 200 is the 97% asked for.
    QVERIFY2(held >= 194, qPrintable(QStringLiteral("%1 of 200 held:").arg(held) + misses));
}

void TestMonteCarlo::sameCountOnAnyThreads()
{
    const std::vector<int> table = guoThompsonTable();
    const hwmodel hw(9, table.data());
    const int x1[] = {5, 0, 1, 7, 3};
    const int c[] = {5, 5, 5, 9, 12};
    const fishermodel fisher(5, x1, c);
    const int cells[] = {3, 1, 4, 1, 5, 9, 2, 6, 5};
    const chi2model chi2(3, 3, cells, false);
    for (const mcmodel *model : {static_cast<const mcmodel *>(&hw), static_cast<const mcmodel *>(&fisher),
                                 static_cast<const mcmodel *>(&chi2)}) {
        // Not a whole number of chunks, so the last chunk is short.
        const qint64 samples = 3 * 4096 + 1000;
        const mccount one = countExtremes(*model, samples, 77, 1, 100);
        const mccount two = countExtremes(*model, samples, 77, 2, 100);
        const mccount three = countExtremes(*model, samples, 77, 3, 100);
        QCOMPARE(one.status, int(mccount::Finished));
        QCOMPARE(one.samples, samples);
        QCOMPARE(two.extreme, one.extreme);
        QCOMPARE(three.extreme, one.extreme);
        QVERIFY(one.extreme > 0 && one.extreme < samples);
        const mccount other = countExtremes(*model, samples, 78, 2, 100);
        QVERIFY(other.extreme != one.extreme);
    }
}

void TestMonteCarlo::histogram_data()
{
    QTest::addColumn<int>("test");
    QTest::addColumn<std::vector<int>>("cells");  // Fisher: x1 then c; Hardy-Weinberg: K x K; chi2: 3 x 3
    QTest::addColumn<double>("mean");              // chi2: the exact mean of X2; 0: not checked
    QTest::newRow("fisher") << int(TestFisher) << std::vector<int>{5, 0, 1, 7, 3, 5, 5, 5, 9, 12} << 0.0;
    QTest::newRow("hardy-weinberg") << int(TestHardyW) << std::vector<int>{10, 5, 3, 0, 8, 4, 0, 0, 6} << 0.0;
    // Haldane: with fixed margins E[X2] = N (r - 1)(c - 1) / (N - 1). Near
    // independence nearly every table is extreme and decided after its
    // first row: the bins must hold the whole statistic nonetheless.
    QTest::newRow("chi2, near independence") << int(TestChi2) << std::vector<int>{4, 4, 4, 4, 4, 4, 4, 4, 5}
                                             << 37.0 * 4.0 / 36.0;
    QTest::newRow("chi2") << int(TestChi2) << std::vector<int>{3, 1, 4, 1, 5, 9, 2, 6, 5} << 36.0 * 4.0 / 35.0;
}

// The bins: the same on any threads, every sample in them, those at and
// beyond the observed value the extreme ones, and counting them changes
// no count.
void TestMonteCarlo::histogram()
{
    QFETCH(int, test);
    QFETCH(std::vector<int>, cells);
    QFETCH(double, mean);
    std::unique_ptr<mcmodel> model;
    mcbins laid;
    if (test == TestFisher) {
        const int N = int(cells.size()) / 2;
        model = std::make_unique<fishermodel>(N, cells.data(), cells.data() + N);
        laid = mcbinning::fisher(N, cells.data(), cells.data() + N);
    } else if (test == TestHardyW) {
        model = std::make_unique<hwmodel>(3, cells.data());
        laid = mcbinning::hardyWeinberg(3, cells.data());
    } else {
        auto chi2 = std::make_unique<chi2model>(3, 3, cells.data(), false);
        laid = mcbinning::chi2(chi2->observed(), 4);
        model = std::move(chi2);
    }
    const qint64 samples = 40000;
    const mccount plain = countExtremes(*model, samples, 77, 2, 100);
    mcbins one = laid.empty();
    mcbins three = laid.empty();
    const mccount counted = countExtremes(*model, samples, 77, 1, 100, &one);
    QCOMPARE(countExtremes(*model, samples, 77, 3, 100, &three).extreme, plain.extreme);
    QCOMPARE(counted.extreme, plain.extreme);
    QCOMPARE(three.counts, one.counts);
    QCOMPARE(three.above, one.above);
    QCOMPARE(one.total(), samples);
    QCOMPARE(one.below, qint64(0));

    const int at = one.binOf(one.observed);
    QVERIFY(at >= 0 && at < mcbins::kBins);
    qint64 beyond = one.above;
    for (int i = at + 1; i < mcbins::kBins; ++i)
        beyond += one.counts[size_t(i)];
    QVERIFY2(beyond <= plain.extreme && plain.extreme <= beyond + one.counts[size_t(at)],
             qPrintable(QStringLiteral("%1 extreme, %2 beyond the observed bin").arg(plain.extreme).arg(beyond)));
    if (mean > 0.0) {
        QCOMPARE(one.above, qint64(0));
        double sum = 0.0;
        for (int i = 0; i < mcbins::kBins; ++i)
            sum += double(one.counts[size_t(i)]) * (one.start + (i + 0.5) * one.width);
        // X2's standard deviation is below 4 here: 0.08 is over four
        // standard errors of the mean of 40,000, and a bin is 0.01 wide.
        QVERIFY2(std::fabs(sum / double(samples) - mean) < 0.08,
                 qPrintable(QStringLiteral("mean %1, exact %2").arg(sum / double(samples)).arg(mean)));
    }
}

void TestMonteCarlo::stopAndProgress()
{
    const std::vector<int> table = guoThompsonTable();
    const hwmodel model(9, table.data());
    calcProgressValue = -1;
    const mccount done = countExtremes(model, 5000, 1, 2, 40);
    QCOMPARE(done.status, int(mccount::Finished));
    QCOMPARE(calcProgressValue, 40);

    // The stop flag ends a run of a billion samples at once.
    calcStopFlag = 1;
    QElapsedTimer timer;
    timer.start();
    const mccount stopped = countExtremes(model, 1000000000, 1, 2, 100);
    QCOMPARE(stopped.status, int(mccount::Stopped));
    QCOMPARE(stopped.samples, qint64(0));
    QVERIFY(calcProgressValue < 100);
    QVERIFY(timer.elapsed() < 60000);
}

void TestMonteCarlo::refusedInput()
{
    const int x1[] = {5, 0, 1};
    const int c[] = {5, 5, 5};
    const fishermodel fisher(3, x1, c);
    QVERIFY(fisher.isValid());
    QCOMPARE(countExtremes(fisher, 0, 1, 1, 100).status, int(mccount::BadInput));
    const int over[] = {6, 0, 1};
    QVERIFY(!fishermodel(3, over, c).isValid());
    QVERIFY(!fishermodel(0, x1, c).isValid());
    const int genotypes[] = {1, 2, 0, 3};
    QVERIFY(!hwmodel(1, genotypes).isValid());
    const int none[] = {0, 0, 0, 0};
    QVERIFY(!hwmodel(2, none).isValid());
    const int zeroRow[] = {1, 2, 0, 0};
    QVERIFY(!chi2model(2, 2, zeroRow, false).isValid());
    const int negative[] = {1, -2, 3, 4};
    QVERIFY(!chi2model(2, 2, negative, false).isValid());

    // A first row of zeros has one table: every sample is as extreme.
    const int zeros[] = {0, 0, 0};
    const fishermodel single(3, zeros, c);
    const mccount all = countExtremes(single, 1000, 5, 2, 100);
    QCOMPARE(all.extreme, qint64(1000));
}

void TestMonteCarlo::reports_data()
{
    QTest::addColumn<int>("test");
    QTest::addColumn<QString>("head");
    QTest::addColumn<QString>("echo");
    QTest::addColumn<double>("exact");
    QTest::newRow("fisher") << int(TestFisher) << "<br />Monte Carlo Fisher 2x3 test <b>P-VALUE = "
                            << "  for input vectors:<br />x1 = { 5, 0, 1 }<br />x2 = { 0, 5, 4 }"
                            << 30.0 / 5005.0;
    QTest::newRow("hardy-weinberg") << int(TestHardyW) << "<br /> Monte Carlo Hardy-Weinberg 2x2 test <b>P-VALUE = "
                                    << "  for input vectors:<br /> { 10, 5 }<br /> { 0, 3 }" << 0.254198;
    QTest::newRow("chi2") << int(TestChi2) << "<br />Monte Carlo chi-squared test <b>P-VALUE = "
                          << "  for input vectors:<br />{ 10, 20 }<br />{ 30, 40 }<br />chi2=0.793651 , df=1"
                          << chi2Exact(2, 2, {10, 20, 30, 40});
}

void TestMonteCarlo::reports()
{
    QFETCH(int, test);
    QFETCH(QString, head);
    QFETCH(QString, echo);
    QFETCH(double, exact);
    TestInput in;
    TextGrid grid;
    if (test == TestFisher) {
        in.testSize = 3;
        in.bufC = {5, 0, 1};
        in.bufD = {5, 5, 5};
        in.total = 15;
    } else if (test == TestHardyW) {
        in.testSize = 2;
        in.bufA = {10, 5, 0, 3};
    } else {
        in.nRows = 2;
        in.nCols = 2;
        in.topRow = 4;
        in.leftCol = 1;
        in.testSize = 1;
        const char *texts[] = {"10", "20", "30", "40"};
        for (int i = 0; i < 4; ++i)
            grid.set(4 + i / 2, 1 + i % 2, QString::fromLatin1(texts[i]));
    }
    MonteCarloSettings settings;
    settings.samples = 20000;
    settings.seed = 42;
    settings.threads = 2;
    QList<int> progress;
    const MonteCarloRun run =
        runMonteCarloTest(test, in, grid, settings, [&progress](int maximum) { progress << maximum; });
    QCOMPARE(progress, (QList<int>{100, -1}));
    QCOMPARE(run.status, 0);
    QCOMPARE(run.isError, 0);
    QCOMPARE(run.samples, qint64(20000));
    QCOMPARE(run.seed, quint64(42));
    QCOMPARE(run.pValue, double(run.extreme + 1) / 20001.0);
    QVERIFY2(run.low <= exact && exact <= run.high,
             qPrintable(QStringLiteral("%1 outside [%2, %3]").arg(exact).arg(run.low).arg(run.high)));
    const QString details = QStringLiteral("</b> (99% interval %1 to %2; 20000 samples, seed 42)")
                                .arg(QString::number(run.low, 'g', 4), QString::number(run.high, 'g', 4));
    QCOMPARE(run.message, head + QString::number(run.pValue, 'g', 6) + details + echo);
}

void TestMonteCarlo::reportOfStop()
{
    TestInput in;
    in.testSize = 2;
    in.bufA = {10, 5, 0, 3};
    MonteCarloSettings settings;
    settings.samples = 1000000000;
    calcStopFlag = 1;
    const MonteCarloRun run = runMonteCarloTest(TestHardyW, in, TextGrid(), settings, ProgressDisplay());
    QCOMPARE(run.status, 1);
    QCOMPARE(run.isError, 1);
    QCOMPARE(run.message, QStringLiteral("<br />Program is stopped by user"));
    QVERIFY(std::isnan(run.pValue));

    calcStopFlag = 0;
    settings.samples = 0;
    const MonteCarloRun refused = runMonteCarloTest(TestHardyW, in, TextGrid(), settings, ProgressDisplay());
    QCOMPARE(refused.status, 2);
    QCOMPARE(refused.message, QStringLiteral("<br />Wrong input table error=2"));
}

// The table no exact method reaches: a peer's estimate is 0.7143 (standard
// error 0.00045).
void TestMonteCarlo::nineAlleles()
{
    const std::vector<int> table = guoThompsonTable();
    const hwmodel model(9, table.data());
    QVERIFY(model.isValid());
    const mccount count = countExtremes(model, 20000, 2024, 2, 100);
    QCOMPARE(count.status, int(mccount::Finished));
    const probabilityinterval interval = clopperPearson(count.extreme, count.samples, 0.99);
    QVERIFY2(interval.low <= 0.7143 && 0.7143 <= interval.high,
             qPrintable(QStringLiteral("[%1, %2]").arg(interval.low).arg(interval.high)));
}

QTEST_GUILESS_MAIN(TestMonteCarlo)
#include "test_montecarlo.moc"
