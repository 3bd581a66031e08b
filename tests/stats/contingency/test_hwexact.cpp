// The exact Hardy-Weinberg test: the worked examples and their reports,
// agreement with a brute-force enumeration of every table with the observed
// allele counts (hwbruteforce.h) on random tables to 1e-9 relative, the
// bounds that settle partial tables against the true extremes, and stop,
// progress and the memory budget.
#include "hwbruteforce.h"

#include "calcpoll.h"
#include "contingencyruns.h"
#include "hwbounds.h"
#include "hwexact.h"
#include "hwtail.h"
#include "logfactorial.h"
#include "membudget.h"
#include "testinput.h"

#include <QCoreApplication>
#include <QTimer>
#include <QtTest>

#include <cmath>
#include <functional>
#include <numeric>
#include <random>

namespace {

// A K x K upper-triangular table from the rows of its lower triangle, the
// way genotype tables are published: row i holds cells (i, 0..i).
std::vector<int> fromLowerRows(int K, const QList<int> &rows)
{
    std::vector<int> table(size_t(K * K), 0);
    qsizetype p = 0;
    for (int i = 0; i < K; ++i)
        for (int j = 0; j <= i; ++j)
            table[size_t(j * K + i)] = rows[p++];
    return table;
}

TestInput hwInput(int K, const std::vector<int> &table)
{
    TestInput in;
    in.nRows = in.nCols = in.testSize = K;
    std::copy(table.begin(), table.end(), in.bufA.begin());
    return in;
}

double engineP(int K, const std::vector<int> &table, int *status, MemoryBudget *budget = nullptr)
{
    double p = -1.0;
    hwexact engine(status, K, table.data(), &p, budget);
    return p;
}

const QList<int> kNineAlleles{1236, 120, 3, 18, 0, 0, 982, 55, 7, 249, 32, 1, 0, 12, 0,
                              2582, 132, 20, 1162, 29, 1312, 6, 0, 0, 4, 0, 4, 0, 2,
                              0, 0, 0, 0, 0, 0, 0, 115, 5, 2, 53, 1, 149, 0, 0, 4};

} // namespace

class HardyWeinbergTests final : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void report_data();
    void report();
    void agreesWithBruteForce_data();
    void agreesWithBruteForce();
    void publishedTables_data();
    void publishedTables();
    void boundsHoldForEveryCompletion_data();
    void boundsHoldForEveryCompletion();
    void twoAlleleTailsMatchEnumeration();
    void stopEndsLongRun();
    void progressRunsToK();
    void progressMovesWithinStage();
    void memoryShortageEndsRun();
    void refusesTablesNoCheckAccepts();
};

void HardyWeinbergTests::cleanup()
{
    calcApplication = nullptr;
    calcStopFlag = 0;
    MemoryBudget::setRunLimitOverride(0);
}

void HardyWeinbergTests::report_data()
{
    QTest::addColumn<int>("K");
    QTest::addColumn<std::vector<int>>("table");
    QTest::addColumn<QString>("message");

    QTest::newRow("2x2") << 2 << std::vector<int>{10, 5, 0, 3}
                         << QStringLiteral("<br /> Hardy-Weinberg 2x2 test <b>P-VALUE = 0.254198</b>  for input vectors:"
                                           "<br /> { 10, 5 }<br /> { 0, 3 }");
    QTest::newRow("3x3") << 3 << std::vector<int>{5, 3, 2, 0, 4, 1, 0, 0, 2}
                         << QStringLiteral("<br /> Hardy-Weinberg 3x3 test <b>P-VALUE = 0.0494577</b>  for input vectors:"
                                           "<br /> { 5, 3, 2 }<br /> { 0, 4, 1 }<br /> { 0, 0, 2 }");
    QTest::newRow("trailing zero dropped")
        << 2 << std::vector<int>{3, 20, 0, 2}
        << QStringLiteral("<br /> Hardy-Weinberg 2x2 test <b>P-VALUE = 0.0054257</b>  for input vectors:"
                          "<br /> { 3, 20 }<br /> { 0, 2 }");
    // 20 heterozygotes are the mode for 40 copies of each allele.
    QTest::newRow("most probable") << 2 << std::vector<int>{10, 20, 0, 10}
                                   << QStringLiteral("<br /> Hardy-Weinberg 2x2 test <b>P-VALUE = 1</b>  for input vectors:"
                                                     "<br /> { 10, 20 }<br /> { 0, 10 }");
    // A running sum of logs drifts by 2e-8 at 2N = 200,000 and gives
    // 0.99999999; the log factorials here do not.
    QTest::newRow("most probable, n = 100,000")
        << 2 << std::vector<int>{36000, 48000, 0, 16000}
        << QStringLiteral("<br /> Hardy-Weinberg 2x2 test <b>P-VALUE = 1</b>  for input vectors:"
                          "<br /> { 36000, 48000 }<br /> { 0, 16000 }");
}

void HardyWeinbergTests::report()
{
    QFETCH(int, K);
    QFETCH(std::vector<int>, table);
    QFETCH(QString, message);
    QList<int> progressCalls;
    const RunReport run =
        runHardyWeinbergTest(hwInput(K, table), [&](int maximum) { progressCalls << maximum; });
    QCOMPARE(run.message, message);
    QCOMPARE(run.isError, 0);
    QCOMPARE(run.status, 0);
    QCOMPARE(progressCalls, (QList<int>{K * hwexact::kProgressPerStage, -1}));
    QCOMPARE(calcProgressValue, K * hwexact::kProgressPerStage);
    if (std::accumulate(table.begin(), table.end(), 0) < 1000) {
        HwBruteForce reference(K, table);
        QVERIFY(std::fabs(run.pValue - reference.pValue()) <= 1e-9 * reference.pValue());
    }
}

void HardyWeinbergTests::agreesWithBruteForce_data()
{
    QTest::addColumn<int>("K");
    QTest::addColumn<std::vector<int>>("table");
    std::mt19937 rng(777);
    for (int t = 0; t < 240; ++t) {
        const int K = 2 + t % 5;
        // Few individuals for many alleles, so that the enumeration stays short.
        const int most = K == 2 ? 60 : K == 3 ? 9 : K == 4 ? 4 : K == 5 || t % 20 == 4 ? 2 : 1;
        std::vector<int> table(size_t(K * K), 0);
        for (int i = 0; i < K; ++i)
            for (int j = i; j < K; ++j)
                table[size_t(i * K + j)] = int(rng() % unsigned(most + 1));
        for (int i = 0; i < K; ++i) {
            int copies = 0;
            for (int j = 0; j < K; ++j)
                copies += j >= i ? table[size_t(i * K + j)] : table[size_t(j * K + i)];
            if (copies == 0)
                table[size_t(i * K + i)] = 1;
        }
        QTest::addRow("%d: K=%d", t, K) << K << table;
    }
}

void HardyWeinbergTests::agreesWithBruteForce()
{
    QFETCH(int, K);
    QFETCH(std::vector<int>, table);
    int status = -1;
    const double p = engineP(K, table, &status);
    QCOMPARE(status, 0);
    HwBruteForce reference(K, table);
    const double expected = reference.pValue();
    QVERIFY2(std::fabs(p - expected) <= 1e-9 * expected,
             qPrintable(QStringLiteral("P=%1 brute force=%2").arg(p, 0, 'g', 17).arg(expected, 0, 'g', 17)));
}

void HardyWeinbergTests::publishedTables_data()
{
    QTest::addColumn<int>("K");
    QTest::addColumn<std::vector<int>>("table");
    QTest::addColumn<double>("expected");
    // References by the brute-force enumeration of hwbruteforce.h with
    // compensated sums, run once over all 162,365, 250,552,020 and
    // 1,289,931,294 tables (their probabilities summed to 1 within 3e-13).
    QTest::newRow("4 alleles, n = 45") << 4 << fromLowerRows(4, {0, 3, 1, 5, 18, 1, 3, 7, 5, 2})
                                       << 0.0174423344436832;
    QTest::newRow("8 alleles, n = 30")
        << 8
        << fromLowerRows(8, {3, 4, 2, 2, 2, 2, 3, 3, 2, 1, 0, 1, 0, 0, 0, 0, 0, 0,
                             0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 2, 1, 0, 0, 0})
        << 0.215939821845331;
    QTest::newRow("4 alleles, n = 229") << 4 << fromLowerRows(4, {2, 12, 24, 30, 34, 54, 22, 21, 20, 10})
                                        << 9.98769370862183e-06;
}

void HardyWeinbergTests::publishedTables()
{
    QFETCH(int, K);
    QFETCH(std::vector<int>, table);
    QFETCH(double, expected);
    int status = -1;
    const double p = engineP(K, table, &status);
    QCOMPARE(status, 0);
    QVERIFY2(std::fabs(p - expected) <= 1e-9 * expected, qPrintable(QString::number(p, 'g', 15)));
}

void HardyWeinbergTests::boundsHoldForEveryCompletion_data()
{
    QTest::addColumn<std::vector<int>>("counts");
    std::mt19937 rng(4242);
    for (int t = 0; t < 120; ++t) {
        const int k = 1 + t % 5;
        const int most = k <= 2 ? 40 : k == 3 ? 14 : k == 4 ? 8 : 6;
        std::vector<int> counts(static_cast<size_t>(k), 0);
        int sum = 0;
        for (int &c : counts) {
            c = int(rng() % unsigned(most + 1));
            sum += c;
        }
        if (sum % 2 != 0)
            ++counts[0];
        QTest::addRow("%d: k=%d", t, k) << counts;
    }
    QTest::newRow("one heavy allele") << std::vector<int>{30, 1, 1, 0};
    QTest::newRow("equal odd counts") << std::vector<int>{5, 5, 3, 3};
}

void HardyWeinbergTests::boundsHoldForEveryCompletion()
{
    QFETCH(std::vector<int>, counts);
    int total = 0;
    for (int c : counts)
        total += c;
    std::vector<double> lnFact;
    QVERIFY(fillLogFactorials(lnFact, std::max(total, 2)));
    HwBruteForce all(counts);
    all.pValue();
    const int k = int(counts.size());
    const double tolerance = 1e-12 * (1.0 + std::fabs(all.maxScore()) + std::fabs(all.minScore()));
    QVERIFY(hwMaxScoreBound(counts.data(), k, lnFact.data()) >= all.maxScore() - tolerance);
    QVERIFY(hwMinScoreBound(counts.data(), k, lnFact.data()) <= all.minScore() + tolerance);
    QVERIFY(std::fabs(hwCompletionLogWeight(counts.data(), k, lnFact.data()) - all.logWeight())
            <= 1e-12 * (1.0 + std::fabs(all.logWeight())));
}

void HardyWeinbergTests::twoAlleleTailsMatchEnumeration()
{
    std::mt19937 rng(99);
    std::vector<double> lnFact;
    QVERIFY(fillLogFactorials(lnFact, 400));
    for (int t = 0; t < 100; ++t) {
        int c0 = int(rng() % 120), c1 = int(rng() % 120);
        if ((c0 + c1) % 2 != 0)
            ++c0;
        if (c0 + c1 == 0)
            c0 = 2;
        hwtail tail;
        QVERIFY(tail.build(c0, c1, lnFact.data()));
        HwBruteForce all({c0, c1});
        all.pValue();
        QVERIFY(std::fabs(tail.maxScore() - all.maxScore()) <= 1e-12 * (1.0 + std::fabs(all.maxScore())));
        QVERIFY(std::fabs(tail.minScore() - all.minScore()) <= 1e-12 * (1.0 + std::fabs(all.minScore())));
        // Each limit halfway between two neighbouring scores, and beyond both ends.
        std::vector<double> scores;
        for (int h = std::max(0, (c1 - c0 + 1) / 2); 2 * h <= c1; ++h) {
            const int x = c1 - 2 * h;
            scores.push_back(lnFact[2] * x - lnFact[size_t(h)] - lnFact[size_t(x)] - lnFact[size_t((c0 - x) / 2)]);
        }
        std::vector<double> limits = scores;
        std::sort(limits.begin(), limits.end());
        for (size_t i = 0; i + 1 < limits.size(); ++i)
            limits[i] = 0.5 * (limits[i] + limits[i + 1]);
        limits.push_back(all.minScore() - 1.0);
        limits.push_back(all.maxScore() + 1.0);
        for (const double limit : limits) {
            double expected = 0.0;
            for (const double s : scores)
                if (s <= limit)
                    expected += std::exp(s - tail.maxScore());
            const double got = tail.tailSum(limit);
            QVERIFY2(std::fabs(got - expected) <= 1e-12 * (1.0 + expected),
                     qPrintable(QStringLiteral("c0=%1 c1=%2 limit=%3: %4 vs %5")
                                    .arg(c0).arg(c1).arg(limit).arg(got).arg(expected)));
        }
    }
}

void HardyWeinbergTests::stopEndsLongRun()
{
    // The 9-allele table runs for minutes; Stop, pressed a moment after the
    // start, must end it at the next poll, also inside a node.
    calcApplication = QCoreApplication::instance();
    resetCalcPollClock();
    bool stopPressed = false;
    QTimer::singleShot(300, [&] {
        calcStopFlag = 1;
        stopPressed = true;
    });
    QList<int> progressCalls;
    MemoryBudget budget(qint64(512) << 20);
    const RunReport run = runHardyWeinbergTest(hwInput(9, fromLowerRows(9, kNineAlleles)),
                                               [&](int maximum) { progressCalls << maximum; }, &budget);
    QVERIFY(stopPressed);
    QCOMPARE(run.status, 1);
    QCOMPARE(run.isError, 1);
    QCOMPARE(run.message, QStringLiteral("<br />Program is stopped by user"));
    QVERIFY(std::isnan(run.pValue));
    QCOMPARE(progressCalls, (QList<int>{9 * hwexact::kProgressPerStage, -1}));
    QCOMPARE(budget.used(), 0);
}

// Runs the test of a K x K table with the progress value sampled whenever
// the engine lets events through; checks that it never runs back or past
// its end, and returns the samples. Stop is pressed at the first sample
// for which stopWhen holds (never, without one).
static QList<int> sampledRun(int K, const std::vector<int> &table, const std::function<bool(int)> &stopWhen,
                             RunReport *run)
{
    calcApplication = QCoreApplication::instance();
    resetCalcPollClock();
    QList<int> seen;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        seen << calcProgressValue;
        if (stopWhen && stopWhen(seen.last()))
            calcStopFlag = 1;
    });
    sampler.start(0);
    calcProgressValue = 0;
    MemoryBudget budget(qint64(512) << 20);
    *run = runHardyWeinbergTest(hwInput(K, table), {}, &budget);
    sampler.stop();
    for (qsizetype i = 0; i < seen.size(); ++i) {
        if (seen[i] < 0 || seen[i] >= K * hwexact::kProgressPerStage || (i > 0 && seen[i] < seen[i - 1]))
            return {-1};
    }
    return seen;
}

void HardyWeinbergTests::progressRunsToK()
{
    RunReport run;
    const QList<int> seen = sampledRun(4, fromLowerRows(4, {2, 12, 24, 30, 34, 54, 22, 21, 20, 10}), {}, &run);
    QCOMPARE(run.status, 0);
    QCOMPARE(calcProgressValue, 4 * hwexact::kProgressPerStage);
    QVERIFY(!seen.contains(-1));
}

void HardyWeinbergTests::progressMovesWithinStage()
{
    // The 9-allele table spends minutes in its first stages: the value must
    // move within the first stage, not only by whole stages. Stop comes at
    // the first move, whenever it comes (a busy machine is slow, not wrong),
    // or when the first stage ends without one.
    RunReport run;
    const QList<int> seen = sampledRun(9, fromLowerRows(9, kNineAlleles),
                                       [](int value) { return value != 0; }, &run);
    QCOMPARE(run.status, 1);
    QVERIFY(!seen.contains(-1));
    int withinStage = 0;
    for (const int value : seen)
        withinStage += value % hwexact::kProgressPerStage != 0 ? 1 : 0;
    QVERIFY2(withinStage > 0 && !seen.isEmpty() && seen.last() > 0,
             qPrintable(QString::number(seen.isEmpty() ? -1 : seen.last())));
}

void HardyWeinbergTests::memoryShortageEndsRun()
{
    const std::vector<int> table = fromLowerRows(4, {2, 12, 24, 30, 34, 54, 22, 21, 20, 10});
    // The budget of a run that the user starts: a test override of 64 KiB.
    MemoryBudget::setRunLimitOverride(64 * 1024);
    const RunReport run = runHardyWeinbergTest(hwInput(4, table), {});
    QCOMPARE(run.status, 11);
    QCOMPARE(run.isError, 1);
    QCOMPARE(run.message, QStringLiteral("<br />Not enouph memory error=11"));
    MemoryBudget::setRunLimitOverride(0);

    // Everything is given back, whether the run fails or finishes.
    MemoryBudget small(200 * 1024);
    int status = -1;
    engineP(4, table, &status, &small);
    QCOMPARE(status, 11);
    QCOMPARE(small.used(), 0);
    MemoryBudget ample(qint64(1) << 30);
    engineP(3, {5, 3, 2, 0, 4, 1, 0, 0, 2}, &status, &ample);
    QCOMPARE(status, 0);
    QCOMPARE(ample.used(), 0);
    QVERIFY(ample.peak() > 0);

    // 2N = 4e9 copies: refused before any table is allocated.
    MemoryBudget tiny(1 << 20);
    engineP(2, {1000000000, 0, 0, 1000000000}, &status, &tiny);
    QCOMPARE(status, 11);
    QCOMPARE(tiny.peak(), 0);
    engineP(2, {20000000, 0, 0, 20000000}, &status, &tiny);
    QCOMPARE(status, 11);
    QCOMPARE(tiny.peak(), 0);
}

void HardyWeinbergTests::refusesTablesNoCheckAccepts()
{
    int status = -1;
    engineP(2, {3, -1, 0, 2}, &status);
    QCOMPARE(status, 2);
    TestInput in = hwInput(2, {3, 1, 0, 2});
    in.testSize = 1;
    const RunReport run = runHardyWeinbergTest(in, {});
    QCOMPARE(run.isError, 1);
    QCOMPARE(run.status, 2);
}

QTEST_GUILESS_MAIN(HardyWeinbergTests)
#include "test_hwexact.moc"
