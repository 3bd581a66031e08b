// The gene-interaction test: the worked examples, its report, agreement
// with a brute-force walk over every shift (interactbruteforce.h) on random
// tables to 1e-9 relative, exact P-values of tables with cell totals up to
// 6e7 (familyreference.h, from family_reference.py: mpmath, 40 digits) to
// 1e-9 relative, Stop, and the memory budget.
#include "familyreference.h"

#include "calcpoll.h"
#include "contingencyruns.h"
#include "interact.h"
#include "interactbruteforce.h"
#include "membudget.h"
#include "testinput.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QtTest>

#include <cmath>
#include <random>

namespace {

TestInput interactionInput(int M, int N, const QList<int> &a, const QList<int> &b)
{
    TestInput in;
    in.nCols = N;
    in.nRows = 2 * M;
    in.testSize = N;
    for (qsizetype p = 0; p < a.size(); ++p) {
        in.bufA[size_t(p)] = a[p];
        in.bufB[size_t(p)] = b[p];
    }
    return in;
}

double engineP(int N, int M, const std::vector<int> &a, const std::vector<int> &b, int *status)
{
    double p = -1.0;
    interact engine(status, N, M, a.data(), b.data(), &p);
    return p;
}

} // namespace

class InteractionTests final : public QObject
{
    Q_OBJECT

private slots:
    void report_data();
    void report();
    void agreesWithBruteForce_data();
    void agreesWithBruteForce();
    void largeSelectionFitsBuffers();
    void memoryShortageIsReported();
    void largeCounts();
    void stopEndsLongWalk();
};

void InteractionTests::report_data()
{
    QTest::addColumn<int>("M");
    QTest::addColumn<int>("N");
    QTest::addColumn<QList<int>>("a");
    QTest::addColumn<QList<int>>("b");
    QTest::addColumn<QString>("message");

    QTest::newRow("2x2") << 2 << 2 << QList<int>{10, 5, 3, 12} << QList<int>{6, 8, 9, 4}
                         << QStringLiteral("<br /> Interact 2x2 test <b>P-VALUE = 0.011015</b>  for input matrix:"
                                           "<br /> { 10, 5, 3, 12 } { 6, 8, 9, 4 }");
    QTest::newRow("2x3") << 2 << 3 << QList<int>{2, 3, 4, 1, 5, 2} << QList<int>{3, 1, 2, 4, 2, 6}
                         << QStringLiteral("<br /> Interact 2x3 test <b>P-VALUE = 0.476518</b>  for input matrix:"
                                           "<br /> { 2, 3, 4, 1, 5, 2 } { 3, 1, 2, 4, 2, 6 }");
    // Every shift leaves some bound: the observed table is the whole family.
    QTest::newRow("no shift feasible") << 2 << 2 << QList<int>{0, 1, 1, 1} << QList<int>{1, 1, 1, 0}
                                       << QStringLiteral("<br /> Interact 2x2 test <b>P-VALUE = 1</b>  for input matrix:"
                                                         "<br /> { 0, 1, 1, 1 } { 1, 1, 1, 0 }");
}

void InteractionTests::report()
{
    QFETCH(int, M);
    QFETCH(int, N);
    QFETCH(QList<int>, a);
    QFETCH(QList<int>, b);
    QFETCH(QString, message);
    const RunReport run = runGeneInteractionTest(interactionInput(M, N, a, b));
    QCOMPARE(run.message, message);
    QCOMPARE(run.isError, 0);
    QCOMPARE(run.status, 0);
    QVERIFY(run.pValue > 0.0 && run.pValue <= 1.0);
}

void InteractionTests::agreesWithBruteForce_data()
{
    QTest::addColumn<int>("M");
    QTest::addColumn<int>("N");
    QTest::addColumn<std::vector<int>>("a");
    QTest::addColumn<std::vector<int>>("b");
    std::mt19937 rng(20240611);
    for (int t = 0; t < 240; ++t) {
        const int M = 1 + int(rng() % 3);
        const int N = 2 + int(rng() % 3);
        const int top = 1 + int(rng() % (t % 3 == 0 ? 40 : 8));
        std::vector<int> a(size_t(M * N)), b(size_t(M * N));
        for (int p = 0; p < M * N; ++p) {
            a[size_t(p)] = int(rng() % unsigned(top + 1));
            b[size_t(p)] = int(rng() % unsigned(top + 1));
            if (a[size_t(p)] + b[size_t(p)] == 0)
                a[size_t(p)] = 1;
        }
        QTest::addRow("%d: %dx%d", t, M, N) << M << N << a << b;
    }
}

void InteractionTests::agreesWithBruteForce()
{
    QFETCH(int, M);
    QFETCH(int, N);
    QFETCH(std::vector<int>, a);
    QFETCH(std::vector<int>, b);
    int status = -1;
    const double p = engineP(N, M, a, b, &status);
    QCOMPARE(status, 0);
    const double reference = interactBruteForce(N, M, a, b);
    QVERIFY2(std::fabs(p - reference) <= 1e-9 * reference,
             qPrintable(QStringLiteral("P=%1 brute force=%2").arg(p, 0, 'g', 17).arg(reference, 0, 'g', 17)));
}

void InteractionTests::largeSelectionFitsBuffers()
{
    // A 2M x N block beyond the 999 entries of the default arrays: the
    // caller sizes the arrays to the selection, the run reads all of it.
    TestInput in;
    const int M = 500, N = 3;
    in.nRows = 2 * M;
    in.nCols = N;
    in.bufA.assign(size_t(M * N), 1);
    in.bufB.assign(size_t(M * N), 1);
    const RunReport run = runGeneInteractionTest(in);
    QCOMPARE(run.status, 0);
    QVERIFY(run.message.startsWith(QStringLiteral("<br /> Interact 500x3 test <b>P-VALUE = ")));
    // Arrays shorter than the selection are refused, not overrun.
    in.bufB.resize(10);
    const RunReport refused = runGeneInteractionTest(in);
    QCOMPARE(refused.isError, 1);
}

void InteractionTests::memoryShortageIsReported()
{
    MemoryBudget tiny(64);
    const RunReport run =
        runGeneInteractionTest(interactionInput(2, 2, {10, 5, 3, 12}, {6, 8, 9, 4}), &tiny);
    QCOMPARE(run.status, 11);
    QCOMPARE(run.isError, 1);
    QCOMPARE(run.message, QStringLiteral("<br />Not enouph memory error=11"));
    QCOMPARE(tiny.used(), 0);
}

// Cell totals of 6e7: log factorials near 1e9, whose rounding once hid the
// observed table's own weight. Each member is weighed against the observed
// one by neighbour ratios instead. The first table is the most probable of
// its family (P exactly 1).
void InteractionTests::largeCounts()
{
    for (const InteractionReference &r : kInteractionReferences) {
        const int cells = r.M * r.N;
        const std::vector<int> a(r.a, r.a + cells);
        const std::vector<int> b(r.b, r.b + cells);
        int status = -1;
        const double p = engineP(r.N, r.M, a, b, &status);
        QCOMPARE(status, 0);
        QVERIFY(p <= 1.0);
        QVERIFY2(std::fabs(p - r.p) <= 1e-9 * r.p,
                 qPrintable(QStringLiteral("%1 vs %2").arg(p, 0, 'g', 17).arg(r.p, 0, 'g', 17)));
    }
    const RunReport run = runGeneInteractionTest(
        interactionInput(2, 2, QList<int>(4, 30000000), QList<int>(4, 30000000)));
    QVERIFY(run.message.startsWith(QStringLiteral("<br /> Interact 2x2 test <b>P-VALUE = 1</b>")));
}

// A block of 1,500 cells of 2e9 each, observed 80,000 shifts from its most
// probable table (e^9600 times heavier): the walk passes them all, each step
// visiting every cell. Stop ends it at the next poll, with the stop message
// in red.
void InteractionTests::stopEndsLongWalk()
{
    const int M = 50, N = 30, half = 1000000000, d = 80000;
    TestInput in = interactionInput(M, N, {}, {});
    in.bufA.assign(size_t(M * N), 0);
    in.bufB.assign(size_t(M * N), 0);
    for (int i = 0; i < M; ++i)
        for (int j = 0; j < N; ++j) {
            const int from = (i + j) % 2 == 0 ? -d : d;
            in.bufA[size_t(i * N + j)] = half + from;
            in.bufB[size_t(i * N + j)] = half - from;
        }
    calcApplication = QCoreApplication::instance();
    resetCalcPollClock();
    QElapsedTimer clock;
    qint64 pressedAt = -1;
    QTimer::singleShot(200, [&] {
        calcStopFlag = 1;
        pressedAt = clock.elapsed();
    });
    clock.start();
    const RunReport run = runGeneInteractionTest(in);
    const qint64 endedAt = clock.elapsed();
    calcApplication = nullptr;
    calcStopFlag = 0;
    QVERIFY(pressedAt >= 0);
    QCOMPARE(run.status, 1);
    QCOMPARE(run.isError, 1);
    QCOMPARE(run.message, QStringLiteral("<br />Program is stopped by user"));
    QVERIFY(std::isnan(run.pValue));
    QVERIFY2(endedAt - pressedAt < 1000, qPrintable(QString::number(endedAt - pressedAt)));

    // Stopped before it starts: the poll before the walk ends it.
    calcStopFlag = 1;
    int status = -1;
    engineP(N, M, std::vector<int>(in.bufA.begin(), in.bufA.begin() + M * N),
            std::vector<int>(in.bufB.begin(), in.bufB.begin() + M * N), &status);
    calcStopFlag = 0;
    QCOMPARE(status, 1);
}

QTEST_GUILESS_MAIN(InteractionTests)
#include "test_interact.moc"
