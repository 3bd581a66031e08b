// The direct sum of 2 x 2 and 2 x 3 tables (fishersmall): the same P-value
// as the exact network (dfex<double>) on thousands of random tables, ties
// included, and as the brute-force walk (bruteforce.h), both to 1e-9
// relative, and its mid-p as the brute-force walk's; and the run function's use of it (same report, same progress
// frame, Stop, and the network still for every other table).
#include "bruteforce.h"

#include "calcpoll.h"
#include "centralratios.h"
#include "dfex.h"
#include "fisherrun.h"
#include "fishersmall.h"

#include <QtTest>

#include <cmath>
#include <random>

namespace {

double networkP(const std::vector<int> &x, const std::vector<int> &c)
{
    int n = 0;
    for (int v : c)
        n += v;
    int status = 0;
    dfex<double> engine(n, status);
    double p = -1.0;
    if (status == 0)
        status = engine.run(x.data(), c.data(), int(c.size()), p);
    return status == 0 ? p : -1.0 - status;
}

double directP(const std::vector<int> &x, const std::vector<int> &c)
{
    qint64 n = 0;
    for (int v : c)
        n += v;
    if (!fishersmall::qualifies(x.data(), c.data(), int(c.size()), n))
        return -2.0;
    double p = -1.0;
    const int status = fishersmall::pValue(x.data(), c.data(), int(c.size()), &p);
    return status == fishersmall::Finished ? p : -1.0 - status;
}

bool close(double got, double expected, double relative)
{
    return std::fabs(got - expected) <= relative * expected;
}

QString describe(const std::vector<int> &x, const std::vector<int> &c)
{
    QStringList xs, cs;
    for (size_t j = 0; j < c.size(); ++j) {
        xs << QString::number(x[j]);
        cs << QString::number(c[j]);
    }
    return QStringLiteral("x = ") + xs.join(u',') + QStringLiteral(" c = ") + cs.join(u',');
}

// Whether another table with these margins weighs the same as the observed
// one (1e-12 in log space).
bool hasTie(const std::vector<int> &x, const std::vector<int> &c)
{
    const auto lnC = [](int a, int b) { return double(bruteforce::lnC(a, b)); };
    double observed = 0.0;
    int m = 0;
    for (size_t j = 0; j < c.size(); ++j) {
        observed += lnC(c[j], x[j]);
        m += x[j];
    }
    const double tolerance = 1e-12 * (1.0 + std::fabs(observed));
    for (int x0 = 0; x0 <= c[0] && x0 <= m; ++x0) {
        if (c.size() == 2) {
            const int x1 = m - x0;
            if (x1 <= c[1] && x0 != x[0] && std::fabs(lnC(c[0], x0) + lnC(c[1], x1) - observed) <= tolerance)
                return true;
            continue;
        }
        for (int x1 = 0; x1 <= c[1] && x0 + x1 <= m; ++x1) {
            const int x2 = m - x0 - x1;
            if (x2 > c[2] || (x0 == x[0] && x1 == x[1]))
                continue;
            if (std::fabs(lnC(c[0], x0) + lnC(c[1], x1) + lnC(c[2], x2) - observed) <= tolerance)
                return true;
        }
    }
    return false;
}

// What the 2 x 3 P and mid-p of (x, c) are when either is further than
// `relative` from the expected one (or the sum does not finish); empty when
// both agree.
QString twoByThreeMismatch(const std::vector<int> &x, const std::vector<int> &c, double expected,
                           double expectedMid, double relative)
{
    double p = -1.0, mid = -1.0;
    if (fishersmall::pValue(x.data(), c.data(), 3, &p, &mid) != fishersmall::Finished)
        return describe(x, c) + QStringLiteral(": not finished");
    if (close(p, expected, relative) && close(mid, expectedMid, relative))
        return QString();
    return describe(x, c) + QStringLiteral(": %1 (mid %2) vs %3 (mid %4)")
                                .arg(p, 0, 'g', 17).arg(mid, 0, 'g', 17)
                                .arg(expected, 0, 'g', 17).arg(expectedMid, 0, 'g', 17);
}

// The same against the brute-force sum, to 1e-9.
QString bruteForceMismatch(const std::vector<int> &x, const std::vector<int> &c)
{
    const double expected = bruteforce::pValue(x, c);
    return twoByThreeMismatch(x, c, expected, 0.5 * (expected + bruteforce::pValue(x, c, -1e-10L)), 1e-9);
}

// A case-control table of n individuals: 2 x 3 genotype counts, or a 2 x 2
// of alleles (n = 2 x individuals) or of carriers; allele frequency 0.02
// to 0.98, cases a quarter to three quarters, with some association.
void randomTable(std::mt19937 &rng, int individuals, int N, std::vector<int> &x, std::vector<int> &c)
{
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const double p = 0.02 + 0.96 * unit(rng);
    const double caseShare = 0.25 + 0.5 * unit(rng);
    const double shift = (unit(rng) - 0.5) * 0.2;
    int genotypes[2][3] = {{0, 0, 0}, {0, 0, 0}};
    for (int i = 0; i < individuals; ++i) {
        const int row = unit(rng) < caseShare ? 0 : 1;
        const double q = std::clamp(p + (row == 0 ? shift : 0.0), 0.01, 0.99);
        const int g = (unit(rng) < q ? 1 : 0) + (unit(rng) < q ? 1 : 0);
        ++genotypes[row][g];
    }
    x.clear();
    c.clear();
    if (N == 3) {
        for (int g = 0; g < 3; ++g) {
            x.push_back(genotypes[0][g]);
            c.push_back(genotypes[0][g] + genotypes[1][g]);
        }
    } else if (individuals % 2 == 0) {
        // Alleles.
        x = {2 * genotypes[0][0] + genotypes[0][1], 2 * genotypes[0][2] + genotypes[0][1]};
        c = {x[0] + 2 * genotypes[1][0] + genotypes[1][1], x[1] + 2 * genotypes[1][2] + genotypes[1][1]};
    } else {
        // Carriers of allele 1 and the rest.
        x = {genotypes[0][0], genotypes[0][1] + genotypes[0][2]};
        c = {x[0] + genotypes[1][0], x[1] + genotypes[1][1] + genotypes[1][2]};
    }
}

} // namespace

class FisherSmallTests final : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void agreesWithNetwork();
    void agreesWithBruteForce();
    void everySmallTwoByThree();
    void tiesAcrossCarriedRows_data();
    void tiesAcrossCarriedRows();
    void largeTwoByThreeToTheLastDigits_data();
    void largeTwoByThreeToTheLastDigits();
    void qualifyingTables_data();
    void qualifyingTables();
    void runUsesDirectSum_data();
    void runUsesDirectSum();
    void stopBeforeSum();
    void beyondDoubleRange_data();
    void beyondDoubleRange();
    void tabulatedRatiosMatchDirect_data();
    void tabulatedRatiosMatchDirect();
    void sharedRatiosGiveTheSameP_data();
    void sharedRatiosGiveTheSameP();
};

void FisherSmallTests::cleanup()
{
    calcApplication = nullptr;
    calcStopFlag = 0;
}

// 3,000 tables: case-control tables of 10 to 2,000 individuals, and tiny
// tables with equal margins where ties abound.
void FisherSmallTests::agreesWithNetwork()
{
    std::mt19937 rng(1602);
    int ties = 0;
    std::vector<int> x, c;
    for (int t = 0; t < 3000; ++t) {
        const int N = 2 + t % 2;
        if (t % 4 < 2) {
            // Tiny tables, many with equal column totals.
            const int each = 1 + int(rng() % 8);
            c.clear();
            x.clear();
            for (int j = 0; j < N; ++j) {
                c.push_back(t % 8 < 2 ? each : 1 + int(rng() % 12));
                x.push_back(int(rng() % unsigned(c.back() + 1)));
            }
        } else {
            randomTable(rng, 10 + int(rng() % 1991), N, x, c);
            bool ok = true;
            for (int v : c)
                ok = ok && v >= 1;
            if (!ok)
                continue;
        }
        int n = 0;
        for (int v : c)
            n += v;
        if (n <= 60 && hasTie(x, c))
            ++ties;
        const double network = networkP(x, c);
        const double direct = directP(x, c);
        QVERIFY2(network > 0.0 && close(direct, network, 1e-9),
                 qPrintable(describe(x, c) + QStringLiteral(": direct %1 network %2")
                                                 .arg(direct, 0, 'g', 17).arg(network, 0, 'g', 17)));
    }
    QVERIFY2(ties >= 200, qPrintable(QString::number(ties)));
}

void FisherSmallTests::agreesWithBruteForce()
{
    std::mt19937 rng(77);
    for (int t = 0; t < 600; ++t) {
        const int N = 2 + t % 2;
        std::vector<int> x, c;
        for (int j = 0; j < N; ++j) {
            c.push_back(1 + int(rng() % (t % 5 == 0 ? 60 : 25)));
            const int pick = int(rng() % 6);
            x.push_back(pick == 0 ? 0 : pick == 1 ? c.back() : int(rng() % unsigned(c.back() + 1)));
        }
        const double expected = bruteforce::pValue(x, c);
        const double direct = directP(x, c);
        QVERIFY2(close(direct, expected, 1e-9),
                 qPrintable(describe(x, c) + QStringLiteral(": %1 vs %2").arg(direct, 0, 'g', 17).arg(expected, 0, 'g', 17)));
        // Mid-p: the strictly less probable tables and half of the ties.
        const double expectedMid = 0.5 * (expected + bruteforce::pValue(x, c, -1e-10L));
        double p = 0.0, mid = -1.0;
        QCOMPARE(fishersmall::pValue(x.data(), c.data(), N, &p, &mid), int(fishersmall::Finished));
        QVERIFY2(close(mid, expectedMid, 1e-9),
                 qPrintable(describe(x, c) + QStringLiteral(": mid-p %1 vs %2").arg(mid, 0, 'g', 17).arg(expectedMid, 0, 'g', 17)));
    }
}

// Every 2 x 3 table with column totals up to 6, in every column order: the
// carried tails meet the edges of the support, give back most of their
// weight and find rows with no heavier middle, and each time the sum must
// still be the brute-force one (P and mid-p to 1e-9).
void FisherSmallTests::everySmallTwoByThree()
{
    int tables = 0;
    for (int code = 0; code < 6 * 6 * 6; ++code) {
        const std::vector<int> c{1 + code % 6, 1 + code / 6 % 6, 1 + code / 36};
        for (int y = 0; y < (c[0] + 1) * (c[1] + 1) * (c[2] + 1); ++y) {
            const std::vector<int> x{y % (c[0] + 1), y / (c[0] + 1) % (c[1] + 1), y / ((c[0] + 1) * (c[1] + 1))};
            const QString why = bruteForceMismatch(x, c);
            QVERIFY2(why.isEmpty(), qPrintable(why));
            ++tables;
        }
    }
    QCOMPARE(tables, 19683);
}

// Equal column totals and a symmetric observed row give ties in many rows,
// at boundaries the carry reaches rather than rows summed afresh: P counts
// them, mid-p halves them, as the brute-force sum does (1e-9).
void FisherSmallTests::tiesAcrossCarriedRows_data()
{
    QTest::addColumn<std::vector<int>>("x");
    QTest::addColumn<std::vector<int>>("c");
    QTest::newRow("100 each, 30 40 30") << std::vector<int>{30, 40, 30} << std::vector<int>{100, 100, 100};
    QTest::newRow("100 each, 50 20 30") << std::vector<int>{50, 20, 30} << std::vector<int>{100, 100, 100};
    QTest::newRow("120 each, 60 60 60") << std::vector<int>{60, 60, 60} << std::vector<int>{120, 120, 120};
    QTest::newRow("outer 40, 80 80") << std::vector<int>{10, 45, 35} << std::vector<int>{40, 80, 80};
    QTest::newRow("outer 40, 80 80, far") << std::vector<int>{38, 10, 60} << std::vector<int>{40, 80, 80};
}

void FisherSmallTests::tiesAcrossCarriedRows()
{
    QFETCH(std::vector<int>, x);
    QFETCH(std::vector<int>, c);
    QVERIFY(bruteforce::pValue(x, c, -1e-10L) < bruteforce::pValue(x, c));  // the table has ties to halve
    const QString why = bruteForceMismatch(x, c);
    QVERIFY2(why.isEmpty(), qPrintable(why));
}

// Tables of 10^4 and 10^5 individuals, whose tails are carried over
// hundreds of rows: P and mid-p against a brute-force sum of every table in
// quadruple precision, to 1e-13 relative. A carry that lets roundings pile up
// fails the second (the row-by-row walk of each middle was 5e-13 off).
void FisherSmallTests::largeTwoByThreeToTheLastDigits_data()
{
    QTest::addColumn<std::vector<int>>("x");
    QTest::addColumn<std::vector<int>>("c");
    QTest::addColumn<double>("p");
    QTest::addColumn<double>("midp");
    QTest::newRow("n 10^4") << std::vector<int>{2825, 2069, 372} << std::vector<int>{5354, 3949, 691}
                            << 0.77496067777558253 << 0.77475644821573331;
    QTest::newRow("n 10^5, P 2e-86") << std::vector<int>{22589, 35361, 13765}
                                     << std::vector<int>{32915, 48707, 17946} << 2.3274964176781876e-86
                                     << 2.3274421293190346e-86;
}

void FisherSmallTests::largeTwoByThreeToTheLastDigits()
{
    QFETCH(std::vector<int>, x);
    QFETCH(std::vector<int>, c);
    QFETCH(double, p);
    QFETCH(double, midp);
    const QString why = twoByThreeMismatch(x, c, p, midp, 1e-13);
    QVERIFY2(why.isEmpty(), qPrintable(why));
}

void FisherSmallTests::qualifyingTables_data()
{
    QTest::addColumn<std::vector<int>>("x");
    QTest::addColumn<std::vector<int>>("c");
    QTest::addColumn<qint64>("total");
    QTest::addColumn<bool>("qualifies");
    QTest::newRow("2x2") << std::vector<int>{3, 4} << std::vector<int>{8, 10} << qint64(18) << true;
    QTest::newRow("2x3") << std::vector<int>{5, 0, 1} << std::vector<int>{5, 5, 5} << qint64(15) << true;
    QTest::newRow("2x4") << std::vector<int>{1, 1, 1, 1} << std::vector<int>{2, 2, 2, 2} << qint64(8) << false;
    QTest::newRow("one column") << std::vector<int>{4} << std::vector<int>{10} << qint64(10) << false;
    QTest::newRow("empty column") << std::vector<int>{0, 4} << std::vector<int>{0, 10} << qint64(10) << false;
    QTest::newRow("negative count") << std::vector<int>{-1, 3} << std::vector<int>{2, 4} << qint64(6) << false;
    QTest::newRow("count above total") << std::vector<int>{3, 3} << std::vector<int>{2, 4} << qint64(6) << false;
    QTest::newRow("totals disagree") << std::vector<int>{3, 4} << std::vector<int>{8, 10} << qint64(2147483646) << false;
}

void FisherSmallTests::qualifyingTables()
{
    QFETCH(std::vector<int>, x);
    QFETCH(std::vector<int>, c);
    QFETCH(qint64, total);
    QFETCH(bool, qualifies);
    QCOMPARE(fishersmall::qualifies(x.data(), c.data(), int(c.size()), total), qualifies);
}

// The report of a directly summed table reads exactly as the network's;
// the progress frame is the same.
void FisherSmallTests::runUsesDirectSum_data()
{
    QTest::addColumn<QList<int>>("x1");
    QTest::addColumn<QList<int>>("x2");
    QTest::addColumn<QString>("message");
    QTest::newRow("2x3") << QList<int>{5, 0, 1} << QList<int>{0, 5, 4}
                         << QStringLiteral("<br />Exact Fisher 2x3 test <b>P-VALUE = 0.00599401</b>  for input vectors:"
                                           "<br />x1 = { 5, 0, 1 }<br />x2 = { 0, 5, 4 }");
    QTest::newRow("2x2, small P") << QList<int>{0, 12} << QList<int>{12, 0}
                                  << QStringLiteral("<br />Exact Fisher 2x2 test <b>P-VALUE = 7.39602e-07</b>  for "
                                                    "input vectors:<br />x1 = { 0, 12 }<br />x2 = { 12, 0 }");
    QTest::newRow("2x2, second row empty") << QList<int>{2, 5} << QList<int>{0, 0}
                                           << QStringLiteral("<br />Exact Fisher 2x2 test <b>P-VALUE = 1</b>  for "
                                                             "input vectors:<br />x1 = { 2, 5 }<br />x2 = { 0, 0 }");
}

void FisherSmallTests::runUsesDirectSum()
{
    QFETCH(QList<int>, x1);
    QFETCH(QList<int>, x2);
    QFETCH(QString, message);
    TestInput in;
    in.total = 0;
    for (qsizetype j = 0; j < x1.size(); ++j) {
        in.bufC[size_t(j)] = x1[j];
        in.bufD[size_t(j)] = x1[j] + x2[j];
        in.total += x1[j] + x2[j];
    }
    in.testSize = in.nCols = int(x1.size());
    in.nRows = 2;
    QList<int> progressCalls;
    calcProgressValue = 0;
    const FisherRun run = runFisherTest(in, [&](int m) { progressCalls << m; });
    QCOMPARE(run.message, message);
    QCOMPARE(run.status, 0);
    QCOMPARE(run.variant, 0);
    const int maximum = int(x1.size()) * basef<path>::kProgressPerColumn;
    QCOMPARE(progressCalls, (QList<int>{maximum, -1}));
    QCOMPARE(calcProgressValue, maximum);
}

void FisherSmallTests::stopBeforeSum()
{
    TestInput in;
    in.bufC[0] = 5;
    in.bufC[1] = 0;
    in.bufD[0] = 5;
    in.bufD[1] = 5;
    in.total = 10;
    in.testSize = in.nCols = 2;
    in.nRows = 2;
    const FisherRun run = runFisherTest(in, [](int m) {
        if (m >= 1)
            calcStopFlag = 1;
    });
    QCOMPARE(run.status, 10);
    QCOMPARE(run.isError, 10);
    QCOMPARE(run.message, QStringLiteral("<br />Program is stopped by user"));
    QVERIFY(std::isnan(run.pValue));
}

// Tables so unlikely that their weights, measured from the observed one,
// leave the range of doubles: the sums are done again in long doubles. Only
// the tables at the corners weigh as little as the observed one, so P is
// their number over the number of all tables (from lgamma, to 1e-9).
void FisherSmallTests::beyondDoubleRange_data()
{
    QTest::addColumn<std::vector<int>>("x");
    QTest::addColumn<std::vector<int>>("c");
    QTest::addColumn<double>("expected");
    const auto lnC = [](int a, int b) { return double(bruteforce::lnC(a, b)); };
    QTest::newRow("2x2, P near 1e-299") << std::vector<int>{0, 500} << std::vector<int>{500, 500}
                                        << 2.0 * std::exp(-lnC(1000, 500));
    QTest::newRow("2x3, P near 1e-297") << std::vector<int>{0, 0, 360} << std::vector<int>{360, 360, 360}
                                        << 3.0 * std::exp(-lnC(1080, 360));
}

void FisherSmallTests::beyondDoubleRange()
{
    QFETCH(std::vector<int>, x);
    QFETCH(std::vector<int>, c);
    QFETCH(double, expected);
    QVERIFY(expected > 1e-305 && expected < 1e-290);
    double p = 0.0, mid = 0.0;
    QCOMPARE(fishersmall::pValue(x.data(), c.data(), int(c.size()), &p, &mid), int(fishersmall::Finished));
    QVERIFY2(close(p, expected, 1e-9), qPrintable(QStringLiteral("%1 vs %2").arg(p).arg(expected)));
    QVERIFY2(close(mid, 0.5 * expected, 1e-9), qPrintable(QString::number(mid)));
}

// The tabulated ratios are the direct ones to the bit (the P of a 2 x 2
// table read from them must not move), on each side of the window's edges,
// where the products stop being exact in doubles (2^26 individuals) and
// where they leave 64-bit integers (2^31).
void FisherSmallTests::tabulatedRatiosMatchDirect_data()
{
    QTest::addColumn<QList<qint64>>("cells");
    QTest::newRow("zero cells") << QList<qint64>{0, 5, 7, 0};
    QTest::newRow("small") << QList<qint64>{51, 43, 22, 92};
    QTest::newRow("2^26 - 1") << QList<qint64>{20000000, 13554431, 17000000, 16554432};
    QTest::newRow("2^26") << QList<qint64>{20000000, 13554432, 17000000, 16554432};
    QTest::newRow("8.2e9") << QList<qint64>{4000000000, 100000000, 100000000, 4000000000};
}

void FisherSmallTests::tabulatedRatiosMatchDirect()
{
    QFETCH(QList<qint64>, cells);
    const centralratios ratios(cells[0], cells[1], cells[2], cells[3]);
    QVERIFY(ratios.first() >= ratios.least() && ratios.last() <= ratios.most());
    QVERIFY(ratios.first() <= cells[0] && cells[0] <= ratios.last());
    for (qint64 v = std::max(ratios.least(), ratios.first() - 2); v <= std::min(ratios.most(), ratios.last() + 2); ++v) {
        QVERIFY(ratios.up(v) == ratios.upAt(v));
        QVERIFY(ratios.down(v) == ratios.downAt(v));
        // Against the ratio of exact integers, rounded apart by a few ulps at most.
        const long double m = ratios.m(), n = ratios.n(), k = ratios.k(), x = v;
        const long double up = (m - x) * (k - x) / ((x + 1) * (n - k + x + 1));
        QVERIFY(v == ratios.most() ? ratios.up(v) == 0.0 : std::fabs(double(ratios.up(v) / up - 1)) < 1e-15);
    }
}

// The P of a 2 x 2 table walked on shared ratios (runs of members added
// without each one's tests) is that of the counts alone, to the bit: ties,
// zero cells, walks that leave the tabulated window, weights beyond
// doubles, and a random sweep for runs that end at a tie or a stop.
void FisherSmallTests::sharedRatiosGiveTheSameP_data()
{
    QTest::addColumn<QList<int>>("cells");
    QTest::newRow("ties") << QList<int>{10, 10, 10, 10};
    QTest::newRow("zero cells") << QList<int>{0, 25, 30, 0};
    QTest::newRow("far tail") << QList<int>{700, 300, 300, 700};
    QTest::newRow("beyond doubles") << QList<int>{1000, 0, 0, 1000};
    QTest::newRow("2^30") << QList<int>{300000000, 236870912, 250000000, 286870912};
    QTest::newRow("random") << QList<int>{};
}

void FisherSmallTests::sharedRatiosGiveTheSameP()
{
    QFETCH(QList<int>, cells);
    std::mt19937 rng(23);
    for (int round = 0; round < (cells.isEmpty() ? 3000 : 1); ++round) {
        QList<int> t = cells;
        if (t.isEmpty()) {
            // Any four counts (mostly far tails), or four near one another.
            const int n = std::uniform_int_distribution<int>(2, 4000)(rng);
            const int spread = round % 2 ? n : int(std::sqrt(double(n)));
            std::uniform_int_distribution<int> cell(std::max(0, n - spread), n + spread);
            t = {cell(rng), cell(rng), cell(rng), cell(rng)};
            if (t[0] + t[2] == 0 || t[1] + t[3] == 0)
                continue;
        }
        const int x[2] = {t[0], t[1]};
        const int c[2] = {t[0] + t[2], t[1] + t[3]};
        double p = -1.0, midp = -1.0, shared = -2.0, sharedMidp = -2.0;
        QCOMPARE(fishersmall::pValue(x, c, 2, &p, &midp), int(fishersmall::Finished));
        const centralratios ratios(t[0], t[1], t[2], t[3]);
        QCOMPARE(fishersmall::pValue(ratios, &shared, &sharedMidp), int(fishersmall::Finished));
        QVERIFY2(shared == p && sharedMidp == midp, qPrintable(QString::number(round)));
    }
}

QTEST_GUILESS_MAIN(FisherSmallTests)
#include "test_fishersmall.moc"
