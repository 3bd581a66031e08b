// The Fisher 2xN test: the report of a run, its statuses, and the P-values
// of both variants against a brute-force walk over all tables
// (bruteforce.h; the reference of the 5, 0, 1 / 0, 5, 4 example is 30/5005,
// the tables at least as rare as it, counted by hand in the walk as well).
#include "bruteforce.h"

#include "calcpoll.h"
#include "dfex.h"
#include "dfish.h"
#include "fisherrun.h"
#include "membudget.h"

#include <QCoreApplication>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

TestInput fisherInput(const QList<int> &x1, const QList<int> &x2, int accuracy)
{
    TestInput in;
    in.total = 0;
    for (qsizetype j = 0; j < x1.size(); ++j) {
        in.bufC[size_t(j)] = x1[j];
        in.bufD[size_t(j)] = x1[j] + x2[j];
        in.total += x1[j] + x2[j];
    }
    in.testSize = int(x1.size());
    in.nCols = int(x1.size());
    in.nRows = 2;
    in.accuracy = accuracy;
    return in;
}

// tail: as basef::setTailColumns (-1 where it pays, 0 never, k from k
// columns left on).
int exactRun(const std::vector<int> &x, const std::vector<int> &c, double &p, bool join = true, int tail = -1)
{
    int n = 0;
    for (int v : c)
        n += v;
    int status = 0;
    dfex<double> engine(n, status);
    if (status != 0)
        return 100 + status;
    engine.setJoinEqualLengths(join);
    engine.setTailColumns(tail);
    return engine.run(x.data(), c.data(), int(c.size()), p);
}

int approximateRun(const std::vector<int> &x, const std::vector<int> &c, int digits, double &p, int tail = -1)
{
    int n = 0;
    for (int v : c)
        n += v;
    int status = 0;
    dfish<path> engine(n, status);
    if (status != 0)
        return 100 + status;
    engine.scale = std::pow(10.0, digits);
    engine.invScale = 1.0 / engine.scale;
    engine.setTailColumns(tail);
    return engine.run(x.data(), c.data(), int(c.size()), p);
}

bool close(double a, double b, double relative)
{
    return std::fabs(a - b) <= relative * std::max(std::fabs(a), std::fabs(b));
}

QString describe(const bruteforce::Table &t)
{
    QStringList x;
    QStringList c;
    for (size_t j = 0; j < t.c.size(); ++j) {
        x << QString::number(t.x[j]);
        c << QString::number(t.c[j]);
    }
    return QStringLiteral("x = ") + x.join(u',') + QStringLiteral(" c = ") + c.join(u',');
}

} // namespace

class FisherTests final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void report_data();
    void report();
    void certainTables_data();
    void certainTables();
    void refusedRuns_data();
    void refusedRuns();
    void equalLengthsJoin();
    void stoppedBeforeStart();
    void stoppedWhileRunning();
    void memoryBudget();
    void tailStopAndMemory();
    void hugeTotalRefusedUpFront();
    void bruteForceAgreement();
    void searchShortestPathSameResult();
    void groupedSumsSameResult();

private:
    QList<int> m_progress;
};

void FisherTests::init()
{
    calcStopFlag = 0;
    calcProgressValue = 0;
    m_progress.clear();
    MemoryBudget::setRunLimitOverride(0);
}

void FisherTests::cleanup()
{
    calcApplication = nullptr;
    calcStopFlag = 0;
    MemoryBudget::setRunLimitOverride(0);
}

void FisherTests::report_data()
{
    QTest::addColumn<QList<int>>("x1");
    QTest::addColumn<QList<int>>("x2");
    QTest::addColumn<int>("accuracy");
    QTest::addColumn<QString>("message");

    const QString vectors = QStringLiteral("<br />x1 = { 5, 0, 1 }<br />x2 = { 0, 5, 4 }");
    QTest::newRow("exact") << QList<int>{5, 0, 1} << QList<int>{0, 5, 4} << 0
                           << QStringLiteral("<br />Exact Fisher 2x3 test <b>P-VALUE = 0.00599401</b>  for input vectors:")
                                  + vectors;
    // Rounded arcs shorten the counted tables' lengths. At 1 digit (one
    // rounded arc, unit 0.048) the value is the 30 tables counted at the
    // observed length, their weights (short by the rounding of ln C(5, x3))
    // raised by half the unit.
    // At 3 digits the 30 tables that tie with the observed one (all that
    // count) weigh 0.006, more than twice 10^-3: no unit could bracket
    // that, and the exact variant runs, as the report says.
    QTest::newRow("approximate, 1 digit")
        << QList<int>{5, 0, 1} << QList<int>{0, 5, 4} << 1
        << QStringLiteral("<br />Approximate Fisher 2x3 test <b>P-VALUE = 0.00611953</b>  for input vectors:"
                          "<br/>Accuracy = 1 digits after point")
               + vectors;
    QTest::newRow("exact for 3 digits")
        << QList<int>{5, 0, 1} << QList<int>{0, 5, 4} << 3
        << QStringLiteral("<br />Exact Fisher 2x3 test <b>P-VALUE = 0.00599401</b>  for input vectors:"
                          "<br/>Accuracy = 3 digits after point"
                          "<br/>Exact variant used: here it is faster than an approximation to 3 digits")
               + vectors;
    // Selection order kept in the vectors; 2x2 named as such; exponent form
    // (2 / C(24, 12), the two most extreme tables).
    QTest::newRow("2x2, small P") << QList<int>{0, 12} << QList<int>{12, 0} << 0
                                  << QStringLiteral("<br />Exact Fisher 2x2 test <b>P-VALUE = 7.39602e-07</b>  for "
                                                    "input vectors:<br />x1 = { 0, 12 }<br />x2 = { 12, 0 }");
}

void FisherTests::report()
{
    QFETCH(QList<int>, x1);
    QFETCH(QList<int>, x2);
    QFETCH(int, accuracy);
    QFETCH(QString, message);

    const FisherRun run = runFisherTest(fisherInput(x1, x2, accuracy), [this](int m) { m_progress << m; });
    QCOMPARE(run.message, message);
    QCOMPARE(run.status, 0);
    QCOMPARE(run.isError, 0);
    QCOMPARE(run.variant, message.startsWith(QStringLiteral("<br />Exact")) ? 0 : 1);
    QCOMPARE(run.accuracy, accuracy);
    const int maximum = int(x1.size()) * basef<path>::kProgressPerColumn;
    QCOMPARE(m_progress, (QList<int>{maximum, -1}));
    QCOMPARE(calcProgressValue, maximum);
}

// Tables with a single completion: P = 1 in both variants.
void FisherTests::certainTables_data()
{
    QTest::addColumn<QList<int>>("x1");
    QTest::addColumn<QList<int>>("x2");
    QTest::newRow("m = 0") << QList<int>{0, 0, 0, 0} << QList<int>{3, 1, 4, 2};
    QTest::newRow("one column") << QList<int>{4} << QList<int>{6};
    QTest::newRow("second row empty") << QList<int>{2, 5, 1} << QList<int>{0, 0, 0};
}

void FisherTests::certainTables()
{
    QFETCH(QList<int>, x1);
    QFETCH(QList<int>, x2);
    for (int accuracy : {0, 4}) {
        const FisherRun run = runFisherTest(fisherInput(x1, x2, accuracy), {});
        QCOMPARE(run.status, 0);
        QVERIFY2(close(run.pValue, 1.0, 1e-12), qPrintable(QString::number(run.pValue, 'g', 17)));
    }
}

void FisherTests::refusedRuns_data()
{
    QTest::addColumn<QList<int>>("x1");
    QTest::addColumn<QList<int>>("x2");
    QTest::addColumn<int>("accuracy");
    QTest::addColumn<int>("status");

    QTest::newRow("10 digits") << QList<int>{5, 0, 1} << QList<int>{0, 5, 4} << 10 << 1;
    QTest::newRow("negative digits") << QList<int>{5, 0, 1} << QList<int>{0, 5, 4} << -2 << 1;
    QTest::newRow("negative count") << QList<int>{-1, 3} << QList<int>{3, 1} << 0 << 1;
    QTest::newRow("101 columns") << QList<int>(101, 1) << QList<int>(101, 1) << 0 << 1;
}

void FisherTests::refusedRuns()
{
    QFETCH(QList<int>, x1);
    QFETCH(QList<int>, x2);
    QFETCH(int, accuracy);
    QFETCH(int, status);

    const FisherRun run = runFisherTest(fisherInput(x1, x2, accuracy), [this](int m) { m_progress << m; });
    QCOMPARE(run.status, status);
    QCOMPARE(run.isError, status);
    QVERIFY(std::isnan(run.pValue));
    QCOMPARE(run.message, QStringLiteral("<br />Not enouph memory error=%1").arg(status));
    QCOMPARE(m_progress.size(), 2);
    QCOMPARE(m_progress.last(), -1);
}

// Two partial tables with equal lengths at one node: one element of weight
// 2 in the approximate variant and in the exact one (equal to 1e-12), two
// elements in the exact variant without joining; the P-value is the same.
void FisherTests::equalLengthsJoin()
{
    // A most extreme table (observed length 0), so that partial tables are
    // carried, not counted. The two last columns of 3 are processed first:
    // (2, 1) and (1, 2) both reach key m - 3 with the length ln 3 + ln 3.
    const std::vector<int> x{3, 3, 0, 0, 6};
    const std::vector<int> c{3, 3, 3, 3, 6};
    auto weightTwoSeen = [&](auto &engine, bool &found, int &pairs) {
        engine.setStageHook([&](int k, int, const auto &list) {
            if (k != 4)
                return;
            for (size_t i = 0; i < list.size(); ++i) {
                if (list[i].weight == 2.0)
                    found = true;
                if (i > 0 && list[i].value == list[i - 1].value)
                    ++pairs;
            }
        });
    };
    double pJoined = 0;
    double pSeparate = 0;
    double pApprox = 0;
    {
        int status = 0;
        dfex<double> exact(18, status);
        bool found = false;
        int pairs = 0;
        weightTwoSeen(exact, found, pairs);
        QCOMPARE(exact.run(x.data(), c.data(), 5, pJoined), 0);
        QVERIFY(found);
        QCOMPARE(pairs, 0);
    }
    {
        int status = 0;
        dfex<double> exact(18, status);
        exact.setJoinEqualLengths(false);
        bool found = false;
        int pairs = 0;
        weightTwoSeen(exact, found, pairs);
        QCOMPARE(exact.run(x.data(), c.data(), 5, pSeparate), 0);
        QVERIFY(!found);
        QVERIFY(pairs > 0);
    }
    // Both ways of merging the approximate lists: by an array indexed by
    // length, and by the tree of losers.
    for (bool dense : {true, false}) {
        int status = 0;
        dfish<path> approx(18, status);
        approx.scale = 1e4;
        approx.invScale = 1e-4;
        approx.setDenseMerge(dense);
        bool found = false;
        int pairs = 0;
        weightTwoSeen(approx, found, pairs);
        double p = 0;
        QCOMPARE(approx.run(x.data(), c.data(), 5, p), 0);
        QVERIFY(found);
        QCOMPARE(pairs, 0);
        if (dense)
            pApprox = p;
        else
            QVERIFY(close(p, pApprox, 1e-14));
    }
    const double reference = bruteforce::pValue(x, c);
    QVERIFY(close(pJoined, reference, 1e-12));
    QVERIFY(close(pSeparate, reference, 1e-12));
    const double upper = bruteforce::pValue(x, c, 1e-10L + 3e-4L);
    QVERIFY(pApprox >= reference * std::exp(-3e-4) * (1 - 1e-12) && pApprox <= upper * (1 + 1e-12));
}

// Stop pressed as the display starts: the first poll ends the run.
void FisherTests::stoppedBeforeStart()
{
    for (int accuracy : {0, 5}) {
        m_progress.clear();
        const FisherRun run = runFisherTest(fisherInput({5, 0, 1}, {0, 5, 4}, accuracy), [this](int m) {
            m_progress << m;
            if (m >= 1)
                calcStopFlag = 1;
        });
        QCOMPARE(run.status, 10);
        QVERIFY(run.isError != 0);
        QCOMPARE(run.message, QStringLiteral("<br />Program is stopped by user"));
        QVERIFY(std::isnan(run.pValue));
        QCOMPARE(m_progress, (QList<int>{3 * basef<path>::kProgressPerColumn, -1}));
        calcStopFlag = 0;
    }
}

// Stop clicked while a long run polls the event loop.
void FisherTests::stoppedWhileRunning()
{
    calcApplication = QCoreApplication::instance();
    resetCalcPollClock();
    QTimer stopButton;
    stopButton.setSingleShot(true);
    connect(&stopButton, &QTimer::timeout, this, [] { calcStopFlag = 1; });
    // 2x25, n = 500: far longer than the click's delay.
    QList<int> x1;
    QList<int> x2;
    for (int j = 0; j < 25; ++j) {
        x1 << 5 + (j * 7) % 11;
        x2 << 6 + (j * 5) % 13;
    }
    QElapsedTimer clock;
    clock.start();
    const FisherRun run = runFisherTest(fisherInput(x1, x2, 0), [&](int m) {
        m_progress << m;
        if (m >= 1)
            stopButton.start(100);
    });
    QCOMPARE(run.status, 10);
    QCOMPARE(run.message, QStringLiteral("<br />Program is stopped by user"));
    QCOMPARE(m_progress, (QList<int>{25 * basef<path>::kProgressPerColumn, -1}));
    QVERIFY2(clock.elapsed() < 20000, "the stop was not seen at the next poll");
}

// A run whose lists outgrow a small budget ends with the memory message and
// frees what it held (ASan reports any leak).
void FisherTests::memoryBudget()
{
    QList<int> x1;
    QList<int> x2;
    for (int j = 0; j < 14; ++j) {
        x1 << 3 + (j * 7) % 9;
        x2 << 4 + (j * 5) % 8;
    }
    MemoryBudget::setRunLimitOverride(256 * 1024);
    for (int accuracy : {0, 5}) {
        const FisherRun run = runFisherTest(fisherInput(x1, x2, accuracy), {});
        QCOMPARE(run.status, 11);
        QCOMPARE(run.message, QStringLiteral("<br />Not enouph memory error=11"));
    }
    MemoryBudget::setRunLimitOverride(0);
    const FisherRun run = runFisherTest(fisherInput(x1, x2, 0), {});
    QCOMPARE(run.status, 0);
}

// The last columns summed from the other side stop like the network does;
// under budgets from tiny to ample a run either ends with the memory status
// or gives the P-value of the network summed to the end.
void FisherTests::tailStopAndMemory()
{
    std::vector<int> x;
    std::vector<int> c;
    for (int j = 0; j < 12; ++j) {
        x.push_back(2 + j % 5);
        c.push_back(9 + j % 4);
    }
    double p = -1;
    calcStopFlag = 1;
    QCOMPARE(exactRun(x, c, p, true, 12), 10);
    QCOMPARE(approximateRun(x, c, 4, p, 12), 10);
    calcStopFlag = 0;

    // Stop clicked during the walk over all completions of the start node
    // (seconds of work).
    calcApplication = QCoreApplication::instance();
    resetCalcPollClock();
    QTimer::singleShot(50, this, [] { calcStopFlag = 1; });
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(exactRun(x, c, p, true, 12), 10);
    QVERIFY2(clock.elapsed() < 5000, "the stop was not seen inside the walk");
    calcStopFlag = 0;

    double network = -1;
    QCOMPARE(exactRun(x, c, network, true, 0), 0);
    QSet<int> statuses;
    for (qint64 budget = 64 << 10; budget <= (qint64(16) << 20); budget *= 2) {
        MemoryBudget::setRunLimitOverride(budget);
        for (int tail : {3, 6}) {
            const int status = exactRun(x, c, p, true, tail);
            statuses << status;
            if (status == 0)
                QVERIFY2(close(p, network, 1e-12), qPrintable(QStringLiteral("tail %1").arg(tail)));
            else
                QCOMPARE(status, 11);
        }
    }
    MemoryBudget::setRunLimitOverride(0);
    QCOMPARE(statuses, (QSet<int>{0, 11}));
}

// A grand total near INT_MAX asks for node buffers far beyond any budget:
// refused before they are allocated (ASan would abort on the allocation).
void FisherTests::hugeTotalRefusedUpFront()
{
    TestInput in = fisherInput({3, 4}, {5, 6}, 0);
    in.total = INT_MAX - 1;
    const FisherRun run = runFisherTest(in, {});
    QCOMPARE(run.status, 3);
    QCOMPARE(run.message, QStringLiteral("<br />Not enouph memory error=3"));
    int status = 0;
    dfish<path> engine(INT_MAX - 1, status);
    QCOMPARE(status, 3);
}

// 300 random tables: the exact variant agrees with the walk to 1e-9, does
// not depend on the column order, and the approximate variant at d digits
// lies between exp(-(N-2) 10^-d) times the exact P-value and the walk's
// P-value with its tolerance widened by (N-2) 10^-d (or ends with 12).
// Both also with the last columns summed from the other side, from a
// number of columns that varies with the table.
void FisherTests::bruteForceAgreement()
{
    const std::vector<bruteforce::Table> tables = bruteforce::randomTables(300, 4e4);
    std::mt19937 rng(3);
    int withZero = 0;
    int withEqualTotals = 0;
    int rangeStops = 0;
    for (const bruteforce::Table &t : tables) {
        const int N = int(t.c.size());
        const double reference = bruteforce::pValue(t.x, t.c);
        double exact = -1;
        QCOMPARE(exactRun(t.x, t.c, exact), 0);
        QVERIFY2(close(exact, reference, 1e-9),
                 qPrintable(describe(t) + QStringLiteral(": %1 vs %2").arg(exact, 0, 'g', 17).arg(reference, 0, 'g', 17)));
        const int tail = 1 + int(rng() % unsigned(std::min(N, 12)));
        double tailed = -1;
        QCOMPARE(exactRun(t.x, t.c, tailed, true, tail), 0);
        QVERIFY2(close(tailed, reference, 1e-9), qPrintable(describe(t) + QStringLiteral(" tail %1").arg(tail)));

        bruteforce::Table shuffled = t;
        std::vector<size_t> order(t.c.size());
        for (size_t j = 0; j < order.size(); ++j)
            order[j] = j;
        std::shuffle(order.begin(), order.end(), rng);
        for (size_t j = 0; j < order.size(); ++j) {
            shuffled.x[j] = t.x[order[j]];
            shuffled.c[j] = t.c[order[j]];
        }
        double reordered = -1;
        QCOMPARE(exactRun(shuffled.x, shuffled.c, reordered), 0);
        QVERIFY2(close(reordered, exact, 1e-12), qPrintable(describe(shuffled)));

        for (int d = 1; d <= 8; ++d) {
            const double slack = (N - 2) * std::pow(10.0, -d);
            const double upper = bruteforce::pValue(t.x, t.c, 1e-10L + (long double)slack);
            for (int tailed : {-1, tail}) {
                double approx = -1;
                const int status = approximateRun(t.x, t.c, d, approx, tailed);
                if (status == 12) {
                    ++rangeStops;
                    continue;
                }
                QCOMPARE(status, 0);
                QVERIFY2(approx >= exact * std::exp(-slack) * (1 - 1e-12) && approx <= upper * (1 + 1e-12),
                         qPrintable(describe(t) + QStringLiteral(" d=%1 tail %2: %3 not in [%4, %5]")
                                                      .arg(d)
                                                      .arg(tailed)
                                                      .arg(approx, 0, 'g', 17)
                                                      .arg(exact * std::exp(-slack), 0, 'g', 17)
                                                      .arg(upper, 0, 'g', 17)));
            }
        }
        withZero += std::count(t.x.begin(), t.x.end(), 0) > 0 ? 1 : 0;
        std::vector<int> sorted = t.c;
        std::sort(sorted.begin(), sorted.end());
        withEqualTotals += std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end() ? 1 : 0;
    }
    qDebug() << "tables with a zero count" << withZero << "with equal totals" << withEqualTotals
             << "approximate runs out of range" << rangeStops;
    QVERIFY(withZero > 50);
    QVERIFY(withEqualTotals > 50);
}

// The search over greedy fillings and the subset-sum shortest path prune
// alike: same P-value, same list sizes.
void FisherTests::searchShortestPathSameResult()
{
    const std::vector<bruteforce::Table> tables = bruteforce::randomTables(40, 4e4, 99u);
    for (const bruteforce::Table &t : tables) {
        const int N = int(t.c.size());
        int n = 0;
        for (int v : t.c)
            n += v;
        double p[2] = {0, 0};
        qint64 peak[2] = {0, 0};
        for (int faithful = 0; faithful < 2; ++faithful) {
            int status = 0;
            dfex<double> engine(n, status);
            engine.setFaithfulShortestPath(faithful != 0);
            QCOMPARE(engine.run(t.x.data(), t.c.data(), N, p[faithful]), 0);
            peak[faithful] = engine.peakListElements();
        }
        QVERIFY(close(p[0], p[1], 1e-13));
        QCOMPARE(peak[0], peak[1]);
    }
}

// Wholly significant prefixes added per arc from cumulative sums, the last
// lists summed as runs of the lists before them, and lists merged through
// arrays indexed by length, give the P-value of the element-by-element sums
// over lists merged by the tree of losers.
void FisherTests::groupedSumsSameResult()
{
    const std::vector<bruteforce::Table> tables = bruteforce::randomTables(120, 4e4, 5u);
    for (const bruteforce::Table &t : tables) {
        const int N = int(t.c.size());
        int n = 0;
        for (int v : t.c)
            n += v;
        double exact[2] = {0, 0};
        double approx[2] = {0, 0};
        int approxStatus[2] = {0, 0};
        for (int elementwise = 0; elementwise < 2; ++elementwise) {
            int status = 0;
            dfex<double> engine(n, status);
            engine.setElementwiseSums(elementwise != 0);
            engine.setTailColumns(0);
            // The reference runs also merge through the tree of losers.
            engine.setDenseMerge(elementwise == 0);
            QCOMPARE(engine.run(t.x.data(), t.c.data(), N, exact[elementwise]), 0);
            dfish<path> rounded(n, status);
            rounded.scale = 1e5;
            rounded.invScale = 1e-5;
            rounded.setElementwiseSums(elementwise != 0);
            rounded.setTailColumns(0);
            rounded.setDenseMerge(elementwise == 0);
            approxStatus[elementwise] = rounded.run(t.x.data(), t.c.data(), N, approx[elementwise]);
        }
        QVERIFY2(close(exact[0], exact[1], 1e-12), qPrintable(describe(t)));
        QCOMPARE(approxStatus[0], approxStatus[1]);
        if (approxStatus[0] == 0)
            QVERIFY2(close(approx[0], approx[1], 1e-12), qPrintable(describe(t)));
    }
}

QTEST_GUILESS_MAIN(FisherTests)
#include "test_fisher.moc"
