// Risk clusterization: levels, best level, report text, progress and stop.
//
// Expected figures come from cluster_reference.py (standard library only:
// exact fractions for the distances, closed-form chi-squared tails); P-values
// are compared to a relative 1e-9, texts character for character.
#include "calcpoll.h"
#include "clusterreference.h"
#include "clusterrun.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <QTimer>
#include <QtTest>

#include <cmath>

namespace {

using Counts = std::vector<std::pair<int, int>>;

enum Layout { SamplesInRows, SamplesInColumns };

// What a successful check of the block leaves behind, in either layout.
TestInput clusterInput(const Counts &counts, Layout layout, const QStringList &names = {},
                       const QStringList &samples = {QStringLiteral("Cases"), QStringLiteral("Controls")})
{
    TestInput in;
    const int k = int(counts.size());
    int totals[2] = {0, 0};
    for (int i = 0; i < k; ++i) {
        in.bufA[std::size_t(i)] = counts[std::size_t(i)].first;
        in.bufB[std::size_t(i)] = counts[std::size_t(i)].second;
        totals[0] += counts[std::size_t(i)].first;
        totals[1] += counts[std::size_t(i)].second;
        in.factorNames << (names.isEmpty() ? QStringLiteral("F%1").arg(i + 1) : names.at(i));
    }
    in.sampleNames = samples;
    // Per-factor sums in the other array, so that reading the wrong one shows.
    std::vector<int> &sampleTotals = layout == SamplesInRows ? in.bufC : in.bufD;
    std::vector<int> &factorTotals = layout == SamplesInRows ? in.bufD : in.bufC;
    sampleTotals[0] = totals[0];
    sampleTotals[1] = totals[1];
    for (int i = 0; i < k; ++i)
        factorTotals[std::size_t(i)] = in.bufA[std::size_t(i)] + in.bufB[std::size_t(i)];
    in.nRows = layout == SamplesInRows ? 2 : k;
    in.nCols = layout == SamplesInRows ? k : 2;
    in.leftCol = 1;
    in.topRow = 1;
    in.testSize = in.nCols;
    return in;
}

struct ProgressLog
{
    std::vector<int> calls;
    ProgressDisplay display()
    {
        return [this](int maximum) {
            calls.push_back(maximum);
            if (maximum >= 1) {
                // What the window does when a display starts.
                calcStopFlag = 0;
                calcProgressValue = 0;
            }
        };
    }
};

QString tablesText(const QString &pValue, int clusters, const QStringList &factorRows,
                   const QString &samples, const QStringList &clusterRows)
{
    return QStringLiteral("<br><br><b>Equal risk clusters</b><br><TABLE border=1 cellpadding=5>"
                          "<TR><TD>P-value</TD><TD>")
           + pValue + QStringLiteral("</TD></TR><TR><TD>Number of clusters</TD><TD align=center>")
           + QString::number(clusters) + QStringLiteral("</TD></TR>") + factorRows.join(QString())
           + QStringLiteral("</TABLE><br><br><b>Odds and Frequencies Ratio</b><br>"
                            "<TABLE border=1 cellpadding=5><TR><TD>Cluster</TD>")
           + samples + QStringLiteral("<TD>Frequencies ratio</TD><TD>Odds ratio</TD></TR>")
           + clusterRows.join(QString()) + QStringLiteral("</TABLE>");
}

QString row(const QStringList &cells)
{
    return QStringLiteral("<TR><TD>") + cells.join(QStringLiteral("</TD><TD>"))
           + QStringLiteral("</TD></TR>");
}

const QString kCasesControls = QStringLiteral("<TD>Cases</TD><TD>Controls</TD>");

void compareP(double actual, double expected)
{
    if (expected == 0) {
        QCOMPARE(actual, 0.0);
        return;
    }
    QVERIFY2(std::abs(actual - expected) <= 1e-9 * expected,
             qPrintable(QStringLiteral("%1 vs %2").arg(actual, 0, 'g', 17).arg(expected, 0, 'g', 17)));
}

} // namespace

class TestRiskClust final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void distanceAndLogLikelihood();
    void workedExample_data();
    void workedExample();
    void levels_data();
    void levels();
    void reportEdgeCases_data();
    void reportEdgeCases();
    void namesAreEscaped();
    void badBlocks_data();
    void badBlocks();
    void stoppedRun();
    void stopDuringPoll();
    void inputRewrittenDuringRun();
    void agreesWithReference();
};

void TestRiskClust::init()
{
    calcApplication = nullptr;
    calcStopFlag = 0;
    calcProgressValue = 0;
}

void TestRiskClust::cleanup()
{
    init();
}

void TestRiskClust::distanceAndLogLikelihood()
{
    // Initial distances of the worked example, and the zero rules.
    QVERIFY(std::abs(clusterDistance(0, 7, 10, 30) - 2.22297) < 1e-5);
    QVERIFY(std::abs(clusterDistance(10, 30, 12, 28) - 0.250784) < 1e-6);
    QVERIFY(std::abs(clusterDistance(12, 28, 25, 15) - 8.4978) < 1e-4);
    QCOMPARE(clusterDistance(0, 5, 0, 2), 0.0);  // column of zeros
    QCOMPARE(clusterDistance(3, 0, 6, 0), 0.0);
    QCOMPARE(clusterDistance(2, 4, 3, 6), 0.0);  // proportional rows
    QCOMPARE(clusterLogLikelihood(0, 7), 0.0);
    QVERIFY(std::abs(clusterLogLikelihood(1, 1) + 2 * std::log(2.0)) < 1e-15);
    // Counts whose products overflow an int still give the right statistic.
    QVERIFY(std::abs(clusterDistance(100000, 0, 0, 100000) - 200000) < 1e-6);
}

void TestRiskClust::workedExample_data()
{
    QTest::addColumn<int>("layout");
    QTest::newRow("samples in rows") << int(SamplesInRows);
    QTest::newRow("samples in columns") << int(SamplesInColumns);
}

void TestRiskClust::workedExample()
{
    QFETCH(int, layout);
    const TestInput in = clusterInput({{10, 30}, {0, 7}, {25, 15}, {12, 28}}, Layout(layout));
    ProgressLog progress;
    const ClusterRun run = runRiskCluster(in, progress.display());

    const QString expected = tablesText(
        QStringLiteral("0.000143397"), 3,
        {row({QStringLiteral("F2"), QStringLiteral("1")}), row({QStringLiteral("F1"), QStringLiteral("2")}),
         row({QStringLiteral("F4"), QStringLiteral("2")}), row({QStringLiteral("F3"), QStringLiteral("3")})},
        kCasesControls,
        {row({QStringLiteral("1"), QStringLiteral("0"), QStringLiteral("7"), QStringLiteral("(8.225)"),
              QStringLiteral("(5.31034)")}),
         row({QStringLiteral("2"), QStringLiteral("22"), QStringLiteral("58"), QStringLiteral("1.54886"),
              QStringLiteral("4.39394")}),
         row({QStringLiteral("3"), QStringLiteral("25"), QStringLiteral("15"), QStringLiteral("0.3525"),
              QString()})});
    QCOMPARE(run.message, expected);
    QCOMPARE(run.isError, 0);
    QCOMPARE(run.status, 0);
    QCOMPARE(run.clusters, 3);
    QCOMPARE(run.engineOrder, (std::vector<int>{1, 0, 3, 2}));
    QCOMPARE(run.clusterOfFactor, (std::vector<int>{2, 1, 3, 2}));
    compareP(run.pValue, 0.00014339704731186341);
    compareP(run.levelPValues[4], 0.00037929795371620368);
    compareP(run.levelPValues[2], 0.00032416348250681064);
    QCOMPARE(run.summary.size(), std::size_t(3));
    QCOMPARE(run.summary[1].first, qint64(22));
    QCOMPARE(run.summary[1].second, qint64(58));
    QVERIFY(std::isnan(run.summary[2].oddsRatio));

    // One progress display with K - 1 stages, all of them done.
    QCOMPARE(progress.calls, (std::vector<int>{3, -1}));
    QCOMPARE(calcProgressValue, 3);
}

void TestRiskClust::levels_data()
{
    QTest::addColumn<Counts>("counts");
    QTest::addColumn<std::vector<double>>("pValues");  // levels K down to 2
    QTest::addColumn<int>("best");
    QTest::addColumn<std::vector<int>>("order");

    // Level 2 wins although G does not change between the levels.
    QTest::newRow("K = 3, fewer clusters smaller") << Counts{{5, 10}, {10, 5}, {20, 10}}
                                                   << std::vector<double>{0.1631140443863297, 0.077247103287576682}
                                                   << 2 << std::vector<int>{0, 1, 2};
    // G is 0 (or a rounding below it) everywhere: P = 1 at both levels and
    // the tie keeps the larger number of clusters.
    QTest::newRow("K = 3, tie keeps 3") << Counts{{1, 2}, {2, 4}, {3, 6}} << std::vector<double>{1, 1} << 3
                                        << std::vector<int>{0, 1, 2};
    // The pair with no first-sample counts and the pair with no second-sample
    // counts (both distance 0) go first, the leftmost one first; the level
    // with K clusters is tested with K = 6 degrees of freedom.
    QTest::newRow("zero pairs merged first")
        << Counts{{3, 0}, {4, 9}, {0, 5}, {6, 0}, {0, 2}, {8, 8}}
        << std::vector<double>{0.0005325079794089065, 0.00022156676174984725, 8.1584722966716384e-05,
                               4.3460546859604001e-05, 0.00028103288682658533}
        << 3 << std::vector<int>{2, 4, 1, 5, 0, 3};
    // Equal ratios keep their input order.
    QTest::newRow("equal ratios, input order") << Counts{{60, 20}, {1, 9}, {30, 10}, {2, 18}}
                                               << std::vector<double>{4.4731922126794858e-09, 1.0437187758013265e-09,
                                                                      1.913508563775867e-10}
                                               << 2 << std::vector<int>{1, 3, 0, 2};
}

void TestRiskClust::levels()
{
    QFETCH(Counts, counts);
    QFETCH(std::vector<double>, pValues);
    QFETCH(int, best);
    QFETCH(std::vector<int>, order);

    const int k = int(counts.size());
    for (Layout layout : {SamplesInRows, SamplesInColumns}) {
        ProgressLog progress;
        const ClusterRun run = runRiskCluster(clusterInput(counts, layout), progress.display());
        QCOMPARE(run.status, 0);
        QCOMPARE(run.clusters, best);
        QCOMPARE(run.engineOrder, order);
        QCOMPARE(run.levelPValues.size(), std::size_t(k) + 1);
        for (int level = k; level >= 2; --level)
            compareP(run.levelPValues[std::size_t(level)], pValues[std::size_t(k - level)]);
        QCOMPARE(progress.calls, (std::vector<int>{k - 1, -1}));
        QCOMPARE(calcProgressValue, k - 1);
    }
}

void TestRiskClust::reportEdgeCases_data()
{
    QTest::addColumn<Counts>("counts");
    QTest::addColumn<QString>("report");

    // Best level 2: two rows, the odds ratio on the first only.
    QTest::newRow("two clusters")
        << Counts{{1, 9}, {2, 18}, {30, 10}, {60, 20}}
        << tablesText(QStringLiteral("1.91351e-10"), 2,
                      {row({QStringLiteral("F1"), QStringLiteral("1")}), row({QStringLiteral("F2"), QStringLiteral("1")}),
                       row({QStringLiteral("F3"), QStringLiteral("2")}), row({QStringLiteral("F4"), QStringLiteral("2")})},
                      kCasesControls,
                      {row({QStringLiteral("1"), QStringLiteral("3"), QStringLiteral("27"), QStringLiteral("14.6842"),
                            QStringLiteral("27")}),
                       row({QStringLiteral("2"), QStringLiteral("90"), QStringLiteral("30"), QStringLiteral("0.54386"),
                            QString()})});
    // Engine order across the three groups; corrected ratios in parentheses
    // both for e = 0 and for a next cluster with f = 0; FR 0 for f = 0.
    QTest::newRow("zero counts")
        << Counts{{3, 0}, {4, 9}, {0, 5}, {6, 0}, {0, 2}, {8, 8}}
        << tablesText(QStringLiteral("4.34605e-05"), 3,
                      {row({QStringLiteral("F3"), QStringLiteral("1")}), row({QStringLiteral("F5"), QStringLiteral("1")}),
                       row({QStringLiteral("F2"), QStringLiteral("2")}), row({QStringLiteral("F6"), QStringLiteral("2")}),
                       row({QStringLiteral("F1"), QStringLiteral("3")}), row({QStringLiteral("F4"), QStringLiteral("3")})},
                      kCasesControls,
                      {row({QStringLiteral("1"), QStringLiteral("0"), QStringLiteral("7"), QStringLiteral("(12.25)"),
                            QStringLiteral("(9.88235)")}),
                       row({QStringLiteral("2"), QStringLiteral("12"), QStringLiteral("17"), QStringLiteral("1.23958"),
                            QStringLiteral("(25.5)")}),
                       row({QStringLiteral("3"), QStringLiteral("9"), QStringLiteral("0"), QStringLiteral("0"), QString()})});
    // P underflows to 0 at both levels, so three clusters stay. The odds
    // ratio numerator 10^12 does not fit an int; a zero numerator over a
    // corrected denominator is still a corrected value: "(0)", not "-0".
    QTest::newRow("large counts")
        << Counts{{0, 1000000}, {1000000, 0}, {1000000, 0}}
        << tablesText(QStringLiteral("0"), 3,
                      {row({QStringLiteral("F1"), QStringLiteral("1")}), row({QStringLiteral("F2"), QStringLiteral("2")}),
                       row({QStringLiteral("F3"), QStringLiteral("3")})},
                      kCasesControls,
                      {row({QStringLiteral("1"), QStringLiteral("0"), QStringLiteral("1000000"),
                            QStringLiteral("(4e+06)"), QStringLiteral("(4e+12)")}),
                       row({QStringLiteral("2"), QStringLiteral("1000000"), QStringLiteral("0"), QStringLiteral("0"),
                            QStringLiteral("(0)")}),
                       row({QStringLiteral("3"), QStringLiteral("1000000"), QStringLiteral("0"), QStringLiteral("0"),
                            QString()})});
}

void TestRiskClust::reportEdgeCases()
{
    QFETCH(Counts, counts);
    QFETCH(QString, report);
    const ClusterRun run = runRiskCluster(clusterInput(counts, SamplesInColumns), {});
    QCOMPARE(run.message, report);
    QCOMPARE(run.isError, 0);
}

void TestRiskClust::namesAreEscaped()
{
    const QStringList names{QStringLiteral("<b>"), QStringLiteral("</TABLE>"), QStringLiteral("a & b"),
                            QStringLiteral("\"x\"")};
    const ClusterRun run =
        runRiskCluster(clusterInput({{10, 30}, {0, 7}, {25, 15}, {12, 28}}, SamplesInRows, names,
                                    {QStringLiteral("<i>cases"), QStringLiteral("</TD>")}),
                       {});
    QCOMPARE(run.status, 0);
    // Engine order F2, F1, F4, F3.
    QVERIFY(run.message.contains(row({QStringLiteral("&lt;/TABLE&gt;"), QStringLiteral("1")})
                                 + row({QStringLiteral("&lt;b&gt;"), QStringLiteral("2")})
                                 + row({QStringLiteral("&quot;x&quot;"), QStringLiteral("2")})
                                 + row({QStringLiteral("a &amp; b"), QStringLiteral("3")})));
    QVERIFY(run.message.contains(QStringLiteral("<TD>&lt;i&gt;cases</TD><TD>&lt;/TD&gt;</TD>")));
    // The markup itself is untouched: exactly two tables.
    QCOMPARE(run.message.count(QStringLiteral("<TABLE ")), 2);
    QCOMPARE(run.message.count(QStringLiteral("</TABLE>")), 2);
    QCOMPARE(run.message.count(QStringLiteral("<b>")), 2);
}

void TestRiskClust::badBlocks_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("columns");
    QTest::addColumn<bool>("progressShown");
    QTest::newRow("3 x 3") << 3 << 3 << false;
    QTest::newRow("2 x 1") << 2 << 1 << false;
    QTest::newRow("fewer names than factors") << 2 << 4 << true;
}

void TestRiskClust::badBlocks()
{
    QFETCH(int, rows);
    QFETCH(int, columns);
    QFETCH(bool, progressShown);
    TestInput in = clusterInput({{1, 2}, {3, 1}, {2, 2}}, SamplesInRows);
    in.nRows = rows;
    in.nCols = columns;
    ProgressLog progress;
    const ClusterRun run = runRiskCluster(in, progress.display());
    QCOMPARE(run.message, QStringLiteral("<br />Selection error"));
    QCOMPARE(run.status, 1);
    QCOMPARE(run.isError, 1);
    QCOMPARE(run.clusters, 0);
    QCOMPARE(progress.calls, progressShown ? (std::vector<int>{3, -1}) : std::vector<int>{});
}

void TestRiskClust::stoppedRun()
{
    ProgressLog progress;
    const ProgressDisplay display = [&progress](int maximum) {
        progress.calls.push_back(maximum);
        if (maximum >= 1)
            calcStopFlag = 1;  // Stop pressed as soon as the bar shows
    };
    const ClusterRun run =
        runRiskCluster(clusterInput({{10, 30}, {0, 7}, {25, 15}, {12, 28}}, SamplesInColumns), display);
    QCOMPARE(run.message, QString());
    QCOMPARE(run.isError, 1);
    QCOMPARE(run.status, 1);
    QVERIFY(run.stopped);
    QCOMPARE(run.clusters, 0);
    QVERIFY(run.clusterOfFactor.empty());
    QCOMPARE(progress.calls, (std::vector<int>{3, -1}));
    QCOMPARE(calcProgressValue, 0);
}

void TestRiskClust::stopDuringPoll()
{
    // The Stop click arrives as an event that the level's poll handles.
    calcApplication = QCoreApplication::instance();
    resetCalcPollClock();
    QTimer::singleShot(0, [] { calcStopFlag = 1; });
    const ClusterRun run = runRiskCluster(clusterInput({{5, 10}, {10, 5}, {20, 10}}, SamplesInRows), {});
    QVERIFY(run.stopped);
    QCOMPARE(run.message, QString());
    QCOMPARE(run.isError, 1);
}

void TestRiskClust::inputRewrittenDuringRun()
{
    // The selection dialog re-checks the block on selection changes, which
    // may happen inside a poll; the run reports the block it started with.
    TestInput in = clusterInput({{10, 30}, {0, 7}, {25, 15}, {12, 28}}, SamplesInRows);
    const QString untouched = runRiskCluster(in, {}).message;
    calcApplication = QCoreApplication::instance();
    resetCalcPollClock();
    QTimer::singleShot(0, [&in] {
        in.factorNames.clear();
        in.sampleNames.clear();
        std::fill(in.bufA.begin(), in.bufA.end(), 0);
        in.nRows = 5;
    });
    const ClusterRun run = runRiskCluster(in, {});
    QVERIFY(in.factorNames.isEmpty());  // the rewrite did happen
    QCOMPARE(run.message, untouched);
}

void TestRiskClust::agreesWithReference()
{
    QRandomGenerator random(20240607);
    int merged = 0;
    for (int trial = 0; trial < 300; ++trial) {
        const int k = int(random.bounded(3, 31));
        // Few distinct ratios in some inputs, so that equal distances (ties)
        // and G = 0 levels occur.
        const bool fewRatios = random.bounded(4) == 0;
        Counts counts;
        int totalE = 0, totalF = 0;
        while (int(counts.size()) < k) {
            int e = 0, f = 0;
            const quint32 kind = random.bounded(10);
            if (fewRatios) {
                const int scale = int(random.bounded(1, 5));
                e = scale * int(random.bounded(0, 3));
                f = scale * (e == 0 ? 1 : int(random.bounded(0, 3)));
            } else if (kind == 0) {
                f = int(random.bounded(1, 15));
            } else if (kind == 1) {
                e = int(random.bounded(1, 15));
            } else {
                e = int(random.bounded(1, 15));
                f = int(random.bounded(1, 15));
            }
            if (e + f == 0)
                continue;
            counts.emplace_back(e, f);
            totalE += e;
            totalF += f;
        }
        if (totalE == 0 || totalF == 0)
            continue;
        const ReferenceClusters expected = referenceClusters(counts);
        const ClusterRun run = runRiskCluster(clusterInput(counts, trial % 2 ? SamplesInRows : SamplesInColumns), {});
        const QByteArray where = "trial " + QByteArray::number(trial) + ", K " + QByteArray::number(k);
        QVERIFY2(run.status == 0, where.constData());
        QVERIFY2(run.engineOrder == expected.order, where.constData());
        for (int level = k; level >= 2; --level) {
            const double a = run.levelPValues[std::size_t(level)];
            const double b = expected.pValues[std::size_t(level)];
            QVERIFY2(std::abs(a - b) <= 1e-12 * std::max(b, 1e-300) || a == b, where.constData());
        }
        QVERIFY2(run.clusters == expected.best, where.constData());
        QVERIFY2(run.clusterOfFactor == expected.clusterOfFactor, where.constData());
        // The second table's counts are the sums over each cluster.
        std::vector<qint64> first(std::size_t(run.clusters) + 1), second(std::size_t(run.clusters) + 1);
        for (int i = 0; i < k; ++i) {
            first[std::size_t(expected.clusterOfFactor[std::size_t(i)])] += counts[std::size_t(i)].first;
            second[std::size_t(expected.clusterOfFactor[std::size_t(i)])] += counts[std::size_t(i)].second;
        }
        for (int c = 1; c <= run.clusters; ++c) {
            QVERIFY2(run.summary[std::size_t(c - 1)].first == first[std::size_t(c)], where.constData());
            QVERIFY2(run.summary[std::size_t(c - 1)].second == second[std::size_t(c)], where.constData());
        }
        ++merged;
    }
    QVERIFY(merged >= 250);
}

QTEST_GUILESS_MAIN(TestRiskClust)
#include "test_riskclust.moc"
