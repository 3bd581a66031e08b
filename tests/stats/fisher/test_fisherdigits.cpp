// The digits of the approximate Fisher test: the bracket of a rounded run
// holds the brute-force P-value whatever the unit, the reported value keeps
// within 10^-d of the exact variant's at every accuracy d on the tables
// that showed the fault and on random tables of up to 100 columns, the
// exact variant is run where the approximation cannot pay, ties keep their
// meaning at huge counts, and no P-value is above 1.
#include "bruteforce.h"
#include "randomtables.h"

#include "dfex.h"
#include "dfish.h"
#include "fisherapprox.h"
#include "fisherrun.h"
#include "membudget.h"

#include <QtTest>

#include <cmath>
#include <limits>
#include <random>

namespace {

struct Table
{
    std::vector<int> x;
    std::vector<int> c;
};

Table fromRows(const std::vector<int> &x1, const std::vector<int> &x2)
{
    Table t;
    t.x = x1;
    for (size_t j = 0; j < x1.size(); ++j)
        t.c.push_back(x1[j] + x2[j]);
    return t;
}

int total(const std::vector<int> &c)
{
    int n = 0;
    for (int v : c)
        n += v;
    return n;
}

TestInput fisherInput(const Table &t, int accuracy)
{
    TestInput in;
    for (size_t j = 0; j < t.c.size(); ++j) {
        in.bufC[j] = t.x[j];
        in.bufD[j] = t.c[j];
    }
    in.total = total(t.c);
    in.testSize = int(t.c.size());
    in.nCols = in.testSize;
    in.nRows = 2;
    in.accuracy = accuracy;
    return in;
}

double exactPValue(const Table &t)
{
    int status = 0;
    dfex<double> engine(total(t.c), status);
    double p = -1;
    if (status == 0)
        status = engine.run(t.x.data(), t.c.data(), int(t.c.size()), p);
    return status == 0 ? p : -1;
}

// A 100 x 2 table of 351 counts: one count in each category, the other 251
// anywhere, drawn with a fixed seed.
Table table100x2()
{
    std::mt19937 rng(351u);
    std::vector<int> rows[2] = {std::vector<int>(100, 0), std::vector<int>(100, 0)};
    for (int j = 0; j < 100; ++j)
        ++rows[rng() % 2][size_t(j)];
    for (int i = 0; i < 251; ++i) {
        const unsigned cell = rng() % 200;
        ++rows[cell / 100][cell % 100];
    }
    return fromRows(rows[0], rows[1]);
}

// 2 x 26, columns 0/1, 1/4, 2/3, 3/2 repeating.
Table tablePeriod4()
{
    std::vector<int> x1;
    std::vector<int> x2;
    const int first[4] = {0, 1, 2, 3};
    const int second[4] = {1, 4, 3, 2};
    for (int j = 0; j < 26; ++j) {
        x1.push_back(first[j % 4]);
        x2.push_back(second[j % 4]);
    }
    return fromRows(x1, x2);
}

QString describe(const std::vector<int> &x, const std::vector<int> &c)
{
    QStringList parts;
    for (size_t j = 0; j < c.size(); ++j)
        parts << QStringLiteral("%1/%2").arg(x[j]).arg(c[j]);
    return parts.join(u' ');
}

} // namespace

Q_DECLARE_METATYPE(Table)

class FisherDigitsTests final : public QObject
{
    Q_OBJECT

private slots:
    void init() { MemoryBudget::setRunLimitOverride(0); }
    void bracketHoldsBruteForce();
    void issueTables_data();
    void issueTables();
    void randomTables();
    void exactWhereItPays();
    void hugeCountTies_data();
    void hugeCountTies();
};

// Whatever the unit, the bracket of a rounded run holds the brute-force
// P-value: through the network to its last arc, through the last columns
// summed from the other side, element by element, and with the lists of
// the last stage summed as runs.
void FisherDigitsTests::bracketHoldsBruteForce()
{
    const std::vector<bruteforce::Table> tables = bruteforce::randomTables(120, 2e4, 17u);
    int narrow = 0;
    int wide = 0;
    for (size_t i = 0; i < tables.size(); ++i) {
        const bruteforce::Table &t = tables[i];
        const int N = int(t.c.size());
        const double reference = bruteforce::pValue(t.x, t.c);
        for (double unit : {0.5, 0.04, 3e-3, 1e-5}) {
            for (int mode = 0; mode < 3; ++mode) {
                int status = 0;
                dfish<path> engine(total(t.c), status);
                QCOMPARE(status, 0);
                engine.scale = 1.0 / unit;
                engine.invScale = unit;
                if (mode == 1)
                    engine.setTailColumns(1 + int(i % size_t(std::min(N, 12))));
                if (mode == 2) {
                    engine.setElementwiseSums(true);
                    engine.setTailColumns(0);
                }
                double counted = -1;
                QCOMPARE(engine.run(t.x.data(), t.c.data(), N, counted), 0);
                const double lower = engine.lowerBound();
                const double upper = engine.upperBound();
                QVERIFY2(lower <= reference * (1 + 1e-12) && reference <= upper * (1 + 1e-12)
                             && lower <= counted && counted <= upper,
                         qPrintable(describe(t.x, t.c)
                                    + QStringLiteral(" unit %1 mode %2: %3 not in [%4, %5]")
                                          .arg(unit)
                                          .arg(mode)
                                          .arg(reference, 0, 'g', 17)
                                          .arg(lower, 0, 'g', 17)
                                          .arg(upper, 0, 'g', 17)));
                (upper - lower < 1e-6 ? narrow : wide) += 1;
            }
        }
    }
    // Both kinds occur: brackets that decide and brackets that do not.
    QVERIFY(narrow > 100);
    QVERIFY(wide > 100);
}

void FisherDigitsTests::issueTables_data()
{
    QTest::addColumn<Table>("table");
    QTest::addColumn<double>("reference");  // -1: none but the exact variant
    QTest::addColumn<bool>("approximated"); // at some accuracy

    // 100 columns of about 3.5 counts: lengths tie so often that the exact
    // variant is as fast at every accuracy.
    QTest::newRow("100 x 2, 351 counts") << table100x2() << -1.0 << false;
    // The exact value as the issue gives it (to its six digits).
    QTest::newRow("2 x 26, period 4") << tablePeriod4() << 0.986726 << true;
    const Table small = fromRows({5, 5, 4}, {4, 6, 1});
    QTest::newRow("5, 5, 4 / 4, 6, 1") << small << bruteforce::pValue(small.x, small.c) << true;
    const Table example = fromRows({8, 3, 0, 5, 1}, {2, 6, 4, 1, 7});
    QTest::newRow("examples/fisher-2xn.sp") << example << bruteforce::pValue(example.x, example.c) << true;
    // Every table ties with many others; their sum rounds above 1.
    QTest::newRow("2 x 26 of 2s") << fromRows(std::vector<int>(26, 2), std::vector<int>(26, 2)) << 1.0 << true;
}

// Through the report, as the window and velmora-cli run it. Where the
// plan is the exact variant from the start, the value is the exact
// variant's by construction (exactWhereItPays checks that route through
// the report): those runs are left out, which keeps the sanitizer build's
// time down.
void FisherDigitsTests::issueTables()
{
    QFETCH(Table, table);
    QFETCH(double, reference);
    QFETCH(bool, approximated);

    const FisherRun exact = runFisherTest(fisherInput(table, 0), {});
    QCOMPARE(exact.status, 0);
    QVERIFY(exact.pValue <= 1.0);
    if (reference >= 0)
        QVERIFY2(std::fabs(exact.pValue - reference) < 1e-6, qPrintable(QString::number(exact.pValue, 'g', 17)));
    const int N = int(table.c.size());
    int approximatedRuns = 0;
    for (int d = 1; d <= 9; ++d) {
        if (fisherapprox::plan(d, table.x.data(), table.c.data(), N).route != fisherapprox::Route::Approximate)
            continue;
        ++approximatedRuns;
        const FisherRun run = runFisherTest(fisherInput(table, d), {});
        QCOMPARE(run.status, 0);
        QVERIFY(run.pValue <= 1.0);
        QVERIFY2(std::fabs(run.pValue - exact.pValue) < std::pow(10.0, -d),
                 qPrintable(QStringLiteral("d=%1: %2 against %3")
                                .arg(d)
                                .arg(run.pValue, 0, 'g', 17)
                                .arg(exact.pValue, 0, 'g', 17)));
        const bool exactUsed = run.variant == 0;
        QCOMPARE(run.message.startsWith(exactUsed ? QStringLiteral("<br />Exact") : QStringLiteral("<br />Approximate")),
                 true);
        QCOMPARE(run.message.contains(QStringLiteral("<br/>Exact variant used")), exactUsed);
    }
    QCOMPARE(approximatedRuns > 0, approximated);
}

// Random tables of 2 to 100 columns (totals up to 120, so that the
// sanitizer build keeps to about a minute): every accuracy keeps its
// digits. The release-built check_digits runs 1,000 tables of totals up to
// 1,000.
void FisherDigitsTests::randomTables()
{
    fisherbench::RandomTables source(7u, 100, 120);
    int approximate[10] = {};
    for (int i = 0; i < 100; ++i) {
        const fisherbench::RandomTable t = source.next();
        const int N = int(t.c.size());
        const double exact = exactPValue({t.x, t.c});
        QVERIFY(exact >= 0);
        for (int d = 1; d <= 9; ++d) {
            if (fisherapprox::plan(d, t.x.data(), t.c.data(), N).route != fisherapprox::Route::Approximate)
                continue;  // the exact variant's value, as issueTables says
            fisherapprox engine(d);
            double p = -1;
            QCOMPARE(engine.run(t.n, t.x.data(), t.c.data(), N, p), 0);
            QVERIFY2(std::fabs(p - exact) < std::pow(10.0, -d),
                     qPrintable(describe(t.x, t.c)
                                + QStringLiteral(" d=%1: %2 against %3").arg(d).arg(p, 0, 'g', 17).arg(exact, 0, 'g', 17)));
            approximate[d] += engine.route() == fisherapprox::Route::Approximate ? 1 : 0;
        }
    }
    // The approximation does run, most at few digits.
    qDebug() << "approximated at d = 1..9:" << QList<int>(approximate + 1, approximate + 10);
    QVERIFY(approximate[1] > 50);
    QVERIFY(approximate[2] > 20);
}

// Where the approximation cannot win, the exact variant gives the value,
// and the report says so.
void FisherDigitsTests::exactWhereItPays()
{
    // 30 of the 5005 tables tie with 5, 0, 1 / 0, 5, 4: 0.006 > 2 x 10^-3.
    const Table ties = fromRows({5, 0, 1}, {0, 5, 4});
    fisherapprox three(3);
    double p = -1;
    QCOMPARE(three.run(15, ties.x.data(), ties.c.data(), 3, p), 0);
    QCOMPARE(three.route(), fisherapprox::Route::ExactTies);
    QCOMPARE(three.approximateRuns(), 0);
    QCOMPARE(p, exactPValue(ties));
    QVERIFY(std::fabs(std::exp(fisherapprox::logTieWeight(ties.x.data(), ties.c.data(), 3)) - 30.0 / 5005.0) < 1e-12);
    // At 2 digits the ties fit the allowance.
    fisherapprox two(2);
    QCOMPARE(two.run(15, ties.x.data(), ties.c.data(), 3, p), 0);
    QCOMPARE(two.route(), fisherapprox::Route::Approximate);
    QVERIFY(std::fabs(p - 30.0 / 5005.0) < 1e-2);

    // A large table (960 counts): its ties weigh nothing, but nine digits
    // over 10 rounded arcs need a unit of 5e-11, where the exact variant
    // is as fast; one digit is approximated.
    const Table large = fromRows({40, 12, 33, 25, 18, 47, 29, 36, 21, 44, 15, 30},
                                 {22, 41, 19, 35, 40, 16, 33, 27, 38, 20, 45, 26});
    QCOMPARE(fisherapprox::plan(9, large.x.data(), large.c.data(), 12).route, fisherapprox::Route::ExactUnit);
    QCOMPARE(fisherapprox::plan(1, large.x.data(), large.c.data(), 12).route, fisherapprox::Route::Approximate);
    QVERIFY(fisherapprox::plan(1, large.x.data(), large.c.data(), 12).ties < 1e-9);
    // On a small table the ties alone fill nine digits' allowance.
    const Table wide = fromRows({3, 1, 4, 1, 5, 9, 2, 6, 5, 3, 5, 8}, {2, 7, 1, 8, 2, 8, 1, 8, 2, 8, 4, 5});
    fisherapprox nine(9);
    QCOMPARE(nine.run(total(wide.c), wide.x.data(), wide.c.data(), 12, p), 0);
    QVERIFY(nine.route() != fisherapprox::Route::Approximate);
    QCOMPARE(nine.approximateRuns(), 0);
    const FisherRun report = runFisherTest(fisherInput(wide, 9), {});
    QCOMPARE(report.variant, 0);
    QCOMPARE(report.pValue, p);
    QVERIFY2(report.message.startsWith(QStringLiteral("<br />Exact Fisher 2x12 test <b>P-VALUE = ")),
             qPrintable(report.message));
    QVERIFY2(report.message.contains(QStringLiteral(
                 "<br/>Accuracy = 9 digits after point<br/>Exact variant used: here it is faster than an "
                 "approximation to 9 digits<br />x1 = { 3, 1, 4,")),
             qPrintable(report.message));

    // A first unit far too coarse: the bracket is too wide; the unit is
    // refined where that promises enough, else (or after that) the exact
    // variant decides. The value keeps its digits either way.
    const double exact = exactPValue(wide);
    fisherapprox coarse(2);
    coarse.setFirstUnit(0.5);
    QCOMPARE(coarse.run(total(wide.c), wide.x.data(), wide.c.data(), 12, p), 0);
    QVERIFY(coarse.approximateRuns() >= 1);
    QVERIFY(coarse.unit() < 0.5 || coarse.route() == fisherapprox::Route::ExactBracket);
    QVERIFY(std::fabs(p - exact) < 1e-2);
    // Without the fallback the engine reports the middle of its last
    // bracket, whatever its width (here the ties fill it).
    fisherapprox forced(3);
    forced.setExactFallback(false);
    QCOMPARE(forced.run(15, ties.x.data(), ties.c.data(), 3, p), 0);
    QCOMPARE(forced.route(), fisherapprox::Route::Approximate);
    QCOMPARE(forced.approximateRuns(), 1);
    QVERIFY(forced.upperBound() - forced.lowerBound() > 2e-3);
    QVERIFY(forced.lowerBound() <= 30.0 / 5005.0 && 30.0 / 5005.0 <= forced.upperBound());
    QCOMPARE(p, 0.5 * (forced.lowerBound() + forced.upperBound()));
}

// Tables with n near 10^6: ln k! reaches 10^7, where one rounding of a
// length is 2e-9, beyond the 1e-10 tolerance. The observed table and the
// tables that tie with it (the mirror image x -> c1 - x when the row
// totals are equal) count all the same. Reference: every table's length in
// long double (lgammal, 1e-19 relative), ties within 1e-10, the
// probabilities summed in long double. The engine's terms are exp of
// differences of lengths near 10^7 in doubles, each off by some ulps: 64
// ulps of the magnitude, relative. The observed table alone weighs 1e-5
// to 1e-3 of P here.
void FisherDigitsTests::hugeCountTies_data()
{
    QTest::addColumn<QList<int>>("x");
    QTest::addColumn<QList<int>>("c");
    // 2 x 2 with equal row totals: P(x) = P(c1 - x).
    QTest::newRow("2x2 near the mode") << QList<int>{250017, 249983} << QList<int>{500001, 499999};
    QTest::newRow("2x2 tail") << QList<int>{249100, 250900} << QList<int>{500001, 499999};
    QTest::newRow("2x2 unequal") << QList<int>{330123, 170000} << QList<int>{660000, 340000};
    // 2 x 3, one small column: the observed length sums in another order
    // than the network's.
    QTest::newRow("2x3 near the mode") << QList<int>{200005, 199990, 2} << QList<int>{400000, 400000, 4};
    QTest::newRow("2x3 mode") << QList<int>{150000, 150000, 1} << QList<int>{300000, 300000, 2};
}

void FisherDigitsTests::hugeCountTies()
{
    QFETCH(QList<int>, x);
    QFETCH(QList<int>, c);
    const int N = int(c.size());
    const std::vector<int> xs(x.begin(), x.end());
    const std::vector<int> cs(c.begin(), c.end());
    int n = 0;
    int m = 0;
    for (int j = 0; j < N; ++j) {
        n += cs[size_t(j)];
        m += xs[size_t(j)];
    }
    auto lnC = [](int a, int b) { return std::lgamma((long double)a + 1) - std::lgamma((long double)b + 1) - std::lgamma((long double)(a - b) + 1); };
    long double observed = 0;
    for (int j = 0; j < N; ++j)
        observed += lnC(cs[size_t(j)], xs[size_t(j)]);
    const long double denominator = lnC(n, m);
    long double sum = 0;
    // The last column (small for 2 x 3) outermost, the first one forced.
    const int small = N == 3 ? cs[2] : 0;
    for (int x3 = 0; x3 <= small; ++x3) {
        const long double third = N == 3 ? lnC(cs[2], x3) : 0;
        for (int x2 = std::max(0, m - x3 - cs[0]); x2 <= std::min(cs[1], m - x3); ++x2) {
            const long double length = third + lnC(cs[1], x2) + lnC(cs[0], m - x3 - x2);
            if (length <= observed + 1e-10L)
                sum += std::exp(length - denominator);
        }
    }
    const double reference = double(sum);

    int status = 0;
    dfex<double> engine(n, status);
    QCOMPARE(status, 0);
    double p = -1;
    QCOMPARE(engine.run(xs.data(), cs.data(), N, p), 0);
    double magnitude = 0;
    for (int j = 0; j < N; ++j)
        magnitude += double(std::lgamma((long double)cs[size_t(j)] + 1));
    const double relative = 64 * std::numeric_limits<double>::epsilon() * magnitude;
    QVERIFY2(std::fabs(p - reference) <= relative * reference,
             qPrintable(QStringLiteral("%1 against %2").arg(p, 0, 'g', 17).arg(reference, 0, 'g', 17)));
}

QTEST_GUILESS_MAIN(FisherDigitsTests)
#include "test_fisherdigits.moc"
