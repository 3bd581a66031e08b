// Progress of the long tests. workprogress: the value never runs back,
// never shows the end before the run ends, and is the share of the work
// when the estimates are right. The engines: the value they leave at each
// poll (each unit of their work, whatever the clock says) rises with the
// work, never sits through more than a small share of the polls, and is
// near the end at the last poll.
#include "calcactivity.h"
#include "calcpoll.h"
#include "contingencyruns.h"
#include "fisherrun.h"
#include "hwexact.h"
#include "testinput.h"
#include "workprogress.h"

#include <QtTest>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

// What the display shows at one poll: the bar's value and what the run
// says it has done (stage, phase, done of total, memory).
struct Shown
{
    int stage = 0;
    int stages = 0;
    int phase = 0;
    qint64 done = 0;
    qint64 total = 0;
    qint64 memory = 0;
    qint64 limit = 0;
};

// The values seen at the polls of one run, and its display's maximum.
struct Trace
{
    std::vector<int> values;
    std::vector<Shown> shown;
    int maximum = 0;
    int status = -1;
};

Trace *g_trace = nullptr;

void recordValue()
{
    g_trace->values.push_back(calcProgressValue);
    const CalcActivity &a = calcActivity;
    g_trace->shown.push_back(Shown{a.stage.load(), a.stages.load(), a.phase.load(), a.done.load(), a.total.load(),
                                   a.memoryUsed.load(), a.memoryLimit.load()});
}

template <typename Run>
Trace traced(Run run)
{
    Trace trace;
    calcProgressValue = 0;
    calcStopFlag = 0;
    calcActivity.reset();
    g_trace = &trace;
    calcPollObserver = recordValue;
    trace.status = run([&trace](int maximum) {
        if (maximum >= 1)
            trace.maximum = maximum;
    });
    calcPollObserver = nullptr;
    g_trace = nullptr;
    return trace;
}

// The longest stretch of polls without a move, as a share of all polls.
double longestStill(const std::vector<int> &values)
{
    size_t longest = 0;
    size_t begin = 0;
    for (size_t i = 1; i <= values.size(); ++i) {
        if (i == values.size() || values[i] != values[begin]) {
            longest = std::max(longest, i - begin);
            begin = i;
        }
    }
    return values.empty() ? 1.0 : double(longest) / double(values.size());
}

// The largest distance between the share shown and the share of polls done.
double largestLag(const std::vector<int> &values, int maximum)
{
    double lag = 0.0;
    for (size_t i = 0; i < values.size(); ++i)
        lag = std::max(lag, std::fabs(double(values[i]) / maximum - double(i) / double(values.size())));
    return lag;
}

std::vector<int> fromLowerRows(int K, const std::vector<int> &rows)
{
    std::vector<int> table(size_t(K * K), 0);
    size_t p = 0;
    for (int i = 0; i < K; ++i)
        for (int j = 0; j <= i; ++j)
            table[size_t(j * K + i)] = rows[p++];
    return table;
}

} // namespace

class ProgressTests final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void exactEstimatesGiveTheShare();
    void neverBackNorAtTheEndEarly();
    void secondRunContinues();
    void longRuns_data();
    void longRuns();
};

void ProgressTests::init()
{
    calcProgressValue = 0;
    calcStopFlag = 0;
}

void ProgressTests::cleanup()
{
    calcPollObserver = nullptr;
    calcProgressValue = 0;
}

void ProgressTests::exactEstimatesGiveTheShare()
{
    // Work of uneven pieces, each reported with the exact rest.
    const std::vector<double> pieces{1, 5, 2, 40, 3, 3, 30, 8, 7, 1};
    double total = 0.0;
    for (double w : pieces)
        total += w;
    workprogress progress;
    progress.start(1000);
    double done = 0.0;
    for (double w : pieces) {
        done += w;
        progress.advance(w, total - done);
        if (done < total)
            QVERIFY2(std::abs(calcProgressValue - int(1000 * done / total)) <= 1,
                     qPrintable(QStringLiteral("%1 at %2").arg(calcProgressValue).arg(done)));
        QVERIFY(std::fabs(progress.share() - done / total) < 1e-12);
    }
    QCOMPARE(calcProgressValue, 999);  // the end only at finish()
    progress.finish();
    QCOMPARE(calcProgressValue, 1000);
}

void ProgressTests::neverBackNorAtTheEndEarly()
{
    // Estimates that grow, shrink to nothing, and make no sense.
    workprogress progress;
    progress.start(100);
    const double lefts[] = {10, 1000, 1e9, 0, 0, -5, std::numeric_limits<double>::quiet_NaN(),
                            std::numeric_limits<double>::infinity(), 3, 0};
    int last = 0;
    for (double left : lefts) {
        progress.advance(1.0, left);
        QVERIFY(calcProgressValue >= last);
        QVERIFY(calcProgressValue <= 99);
        last = calcProgressValue;
    }
    progress.advance(0.0, 0.0);
    progress.advance(-1.0, 0.0);
    QCOMPARE(calcProgressValue, last);
    QCOMPARE(last, 99);
}

void ProgressTests::secondRunContinues()
{
    workprogress first;
    first.start(200);
    first.advance(1.0, 1.0);
    QCOMPARE(calcProgressValue, 100);
    workprogress second;
    second.start(200);
    QCOMPARE(second.share(), 0.5);
    second.advance(1.0, 1.0);
    QCOMPARE(calcProgressValue, 150);
}

// Tables that take a moment in a release build (a few seconds under the
// sanitizers), with several stages of real work each.
void ProgressTests::longRuns_data()
{
    QTest::addColumn<QString>("test");
    QTest::addColumn<std::vector<int>>("counts");
    QTest::addColumn<int>("accuracy");
    QTest::newRow("Hardy-Weinberg, 4 alleles")
        << QStringLiteral("hwe") << std::vector<int>{2, 12, 24, 30, 34, 54, 22, 21, 20, 10} << 0;
    QTest::newRow("Hardy-Weinberg, 5 alleles")
        << QStringLiteral("hwe") << std::vector<int>{5, 8, 6, 10, 7, 9, 4, 6, 5, 3, 3, 4, 2, 5, 2} << 0;
    const std::vector<int> fisher{13, 19, 18, 7, 12, 21, 8, 15, 16, 11, 9, 14,
                                  17, 11, 12, 20, 15, 9, 19, 10, 12, 16, 18, 13};
    QTest::newRow("Fisher, exact") << QStringLiteral("fisher") << fisher << 0;
    QTest::newRow("Fisher, 2 digits") << QStringLiteral("fisher") << fisher << 2;
    // A third of a table whose bar creeps for minutes (12 even columns, n
    // about 3,090): its lists outgrow what any stage foresees, and the work
    // shown beside the bar must move instead.
    QTest::newRow("Fisher, exact, lists beyond every estimate")
        << QStringLiteral("fisher")
        << std::vector<int>{40, 45, 50, 38, 42, 47, 44, 41, 39, 46, 43, 48,
                            44, 41, 38, 45, 40, 43, 47, 42, 46, 39, 44, 41}
        << 0;
}

void ProgressTests::longRuns()
{
    QFETCH(QString, test);
    QFETCH(std::vector<int>, counts);
    QFETCH(int, accuracy);

    Trace trace;
    if (test == QStringLiteral("hwe")) {
        int K = 0;
        while (size_t((K + 1) * (K + 2) / 2) <= counts.size())
            ++K;
        TestInput in;
        in.nRows = in.nCols = in.testSize = K;
        const std::vector<int> table = fromLowerRows(K, counts);
        std::copy(table.begin(), table.end(), in.bufA.begin());
        trace = traced([&in](const ProgressDisplay &display) { return runHardyWeinbergTest(in, display).status; });
    } else {
        TestInput in;
        const int N = int(counts.size()) / 2;
        in.total = 0;
        for (int j = 0; j < N; ++j) {
            in.bufC[size_t(j)] = counts[size_t(j)];
            in.bufD[size_t(j)] = counts[size_t(j)] + counts[size_t(N + j)];
            in.total += in.bufD[size_t(j)];
        }
        in.testSize = in.nCols = N;
        in.nRows = 2;
        in.accuracy = accuracy;
        int variant = -1;
        trace = traced([&in, &variant](const ProgressDisplay &display) {
            const FisherRun run = runFisherTest(in, display);
            variant = run.variant;
            return run.status;
        });
        QCOMPARE(variant, accuracy != 0 ? 1 : 0);
    }
    QCOMPARE(trace.status, 0);
    QCOMPARE(calcProgressValue, trace.maximum);
    const std::vector<int> &values = trace.values;
    QVERIFY2(values.size() >= 1000, qPrintable(QString::number(values.size())));
    for (size_t i = 1; i < values.size(); ++i)
        QVERIFY(values[i] >= values[i - 1]);
    QVERIFY(values.back() < trace.maximum);
    const double last = double(values.back()) / trace.maximum;
    const double still = longestStill(values);
    const double lag = largestLag(values, trace.maximum);
    const QString figures = QStringLiteral("polls %1, last %2, longest still %3, largest lag %4")
                                .arg(values.size())
                                .arg(last)
                                .arg(still)
                                .arg(lag);
    qInfo().noquote() << figures;
    QVERIFY2(last >= 0.8, qPrintable(figures));
    QVERIFY2(still <= 0.1, qPrintable(figures));
    // Polls stand for the work only roughly (the network polls per arc, its
    // merges far less often): the value keeps within a broad band of them.
    QVERIFY2(lag <= 0.6, qPrintable(figures));
    if (test != QStringLiteral("fisher"))
        return;
    // The network reports its stages in order, each stage's nodes and
    // merges counting up to their number, and memory within the budget.
    int stagesSeen = 0;
    for (size_t i = 0; i < trace.shown.size(); ++i) {
        const Shown &now = trace.shown[i];
        const Shown &before = trace.shown[i == 0 ? 0 : i - 1];
        QVERIFY(now.stage >= before.stage);
        if (now.stage == 0)
            continue;  // the polls before the first stage
        QVERIFY(now.stage <= now.stages && now.stages <= 12);
        QVERIFY(now.done >= 0 && now.done <= now.total);
        QVERIFY(now.limit > 0 && now.memory >= 0 && now.memory <= now.limit);
        if (i == 0 || now.stage != before.stage) {
            ++stagesSeen;
        } else {
            QVERIFY(now.phase >= before.phase);
            if (now.phase == before.phase)
                QVERIFY(now.done >= before.done);
        }
    }
    QVERIFY2(stagesSeen >= 5, qPrintable(QString::number(stagesSeen)));
    // The merges are reported as they go, not only the nodes.
    QVERIFY(std::any_of(trace.shown.begin(), trace.shown.end(),
                        [](const Shown &x) { return x.phase == CalcActivity::Merge && x.done > 0 && x.done < x.total; }));
}

QTEST_GUILESS_MAIN(ProgressTests)
#include "test_progress.moc"
