// The two-allele Hardy-Weinberg sum (hwtwoallele) and the network's
// threshold at very large counts: agreement of the direct sum with the
// network (hwexact) on thousands of random tables, ties included, and with
// the brute-force enumeration (hwbruteforce.h), all to 1e-9 relative; exact
// P-values of tables up to n = 10^8 individuals (familyreference.h, from
// family_reference.py: mpmath, 40 digits) to 1e-9 relative for the direct
// sum and 2e-7 for the network (its log factorials of 8e6 carry about
// 1e-8 absolute); and the run function's choice between the two.
#include "familyreference.h"
#include "hwbruteforce.h"

#include "calcpoll.h"
#include "contingencyruns.h"
#include "hwexact.h"
#include "hwtwoallele.h"
#include "membudget.h"
#include "testinput.h"

#include <QtTest>

#include <cmath>
#include <random>

namespace {

TestInput hwInput(int K, const std::vector<int> &table)
{
    TestInput in;
    in.nRows = in.nCols = in.testSize = K;
    std::copy(table.begin(), table.end(), in.bufA.begin());
    return in;
}

double networkP(int K, const std::vector<int> &table, int *status)
{
    double p = -1.0;
    hwexact engine(status, K, table.data(), &p);
    return p;
}

double directP(qint64 homA, qint64 het, qint64 homB)
{
    double p = -1.0;
    const int status = hwtwoallele::pValue(homA, het, homB, &p);
    return status == hwtwoallele::Finished ? p : -status;
}

bool close(double got, double expected, double relative)
{
    return std::fabs(got - expected) <= relative * expected;
}

// Whether another table of the family weighs the same as the observed one
// (to 1e-12 in log space, far inside any rounding of these small tables).
bool hasTie(int homA, int het, int homB)
{
    const int a = 2 * homA + het;
    const int b = 2 * homB + het;
    const auto logw = [&](int h) {
        return h * std::log(2.0) - std::lgamma((a - h) / 2 + 1.0) - std::lgamma(h + 1.0) - std::lgamma((b - h) / 2 + 1.0);
    };
    const double observed = logw(het);
    for (int h = a % 2; h <= std::min(a, b); h += 2)
        if (h != het && std::fabs(logw(h) - observed) <= 1e-12 * (1.0 + std::fabs(observed)))
            return true;
    return false;
}

} // namespace

class TwoAlleleTests final : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void agreesWithNetwork();
    void agreesWithBruteForce();
    void largeCounts();
    void networkAtLargeCounts_data();
    void networkAtLargeCounts();
    void neverAboveOne();
    void runChoosesTheDirectSum_data();
    void runChoosesTheDirectSum();
    void stopAndBadInput();
};

void TwoAlleleTests::cleanup()
{
    calcApplication = nullptr;
    calcStopFlag = 0;
}

// Every table of up to 30 individuals (ties are common there), then 2,000
// random tables of up to 2,000 individuals with allele frequencies 0.02 to
// 0.98: the direct sum and the network give the same P.
void TwoAlleleTests::agreesWithNetwork()
{
    int ties = 0;
    int status = -1;
    for (int n = 1; n <= 30; ++n)
        for (int homA = 0; homA <= n; ++homA)
            for (int het = 0; homA + het <= n; ++het) {
                const int homB = n - homA - het;
                if (hasTie(homA, het, homB))
                    ++ties;
                const double network = networkP(2, {homA, het, 0, homB}, &status);
                const double direct = directP(homA, het, homB);
                QVERIFY2(status == 0 && close(direct, network, 1e-9),
                         qPrintable(QStringLiteral("%1, %2 / -, %3: direct %4 network %5")
                                        .arg(homA).arg(het).arg(homB).arg(direct, 0, 'g', 17).arg(network, 0, 'g', 17)));
            }
    std::mt19937 rng(18021);
    for (int t = 0; t < 2000; ++t) {
        const int n = 1 + int(rng() % 2000);
        const double p = 0.02 + 0.96 * std::uniform_real_distribution<double>(0, 1)(rng);
        // Genotypes drawn from p with a random excess or lack of heterozygotes.
        const double f = std::uniform_real_distribution<double>(-0.3, 0.3)(rng);
        int homA = 0, het = 0, homB = 0;
        for (int i = 0; i < n; ++i) {
            const double u = std::uniform_real_distribution<double>(0, 1)(rng);
            const double pAA = std::max(0.0, p * p + f * p * (1 - p));
            const double pBB = std::max(0.0, (1 - p) * (1 - p) + f * p * (1 - p));
            if (u < pAA)
                ++homA;
            else if (u < pAA + pBB)
                ++homB;
            else
                ++het;
        }
        const double network = networkP(2, {homA, het, 0, homB}, &status);
        QCOMPARE(status, 0);
        const double direct = directP(homA, het, homB);
        QVERIFY2(close(direct, network, 1e-9),
                 qPrintable(QStringLiteral("%1, %2 / -, %3: direct %4 network %5")
                                .arg(homA).arg(het).arg(homB).arg(direct, 0, 'g', 17).arg(network, 0, 'g', 17)));
    }
    // The draw must exercise ties, or the comparison above proves less.
    QVERIFY2(ties >= 30, qPrintable(QString::number(ties)));
}

void TwoAlleleTests::agreesWithBruteForce()
{
    for (int homA = 0; homA <= 14; ++homA)
        for (int het = 0; het <= 14; ++het)
            for (int homB = 0; homB <= 14; homB += 2) {
                if (homA + het + homB == 0)
                    continue;
                HwBruteForce reference(2, {homA, het, 0, homB});
                const double expected = reference.pValue();
                const double direct = directP(homA, het, homB);
                QVERIFY2(close(direct, expected, 1e-9),
                         qPrintable(QStringLiteral("%1, %2 / -, %3: %4 vs %5")
                                        .arg(homA).arg(het).arg(homB).arg(direct, 0, 'g', 17).arg(expected, 0, 'g', 17)));
            }
}

// n from 1,000 to 10^8 individuals, P from 1 down to 1e-125: the observed
// table weighs 1 exactly in the sum, so it always counts.
void TwoAlleleTests::largeCounts()
{
    for (const HwTwoAlleleReference &r : kHwTwoAlleleReferences) {
        const double direct = directP(r.homA, r.het, r.homB);
        QVERIFY2(close(direct, r.p, 1e-9),
                 qPrintable(QStringLiteral("%1, %2 / -, %3: %4 vs %5")
                                .arg(r.homA).arg(r.het).arg(r.homB).arg(direct, 0, 'g', 17).arg(r.p, 0, 'g', 17)));
    }
}

// The network keeps the observed table at 4e6 individuals: its threshold
// allows for the rounding of log factorials of that size.
void TwoAlleleTests::networkAtLargeCounts_data()
{
    QTest::addColumn<int>("K");
    QTest::addColumn<std::vector<int>>("table");
    QTest::addColumn<double>("expected");
    for (int i = 0; i < 2; ++i) {
        const HwTwoAlleleReference &r = kHwTwoAlleleReferences[i];
        QTest::addRow("%lld, %lld / -, %lld", r.homA, r.het, r.homB)
            << 2 << std::vector<int>{int(r.homA), int(r.het), 0, int(r.homB)} << r.p;
    }
    for (const HwThreeAlleleReference &r : kHwThreeAlleleReferences)
        QTest::addRow("3 alleles, %d, %d, %d", r.table[0], r.table[1], r.table[2])
            << 3 << std::vector<int>(r.table, r.table + 9) << r.p;
}

void TwoAlleleTests::networkAtLargeCounts()
{
    QFETCH(int, K);
    QFETCH(std::vector<int>, table);
    QFETCH(double, expected);
    int status = -1;
    const double p = networkP(K, table, &status);
    QCOMPARE(status, 0);
    QVERIFY2(close(p, expected, 2e-7), qPrintable(QStringLiteral("%1 vs %2").arg(p, 0, 'g', 17).arg(expected, 0, 'g', 17)));
}

// The most probable table sums to 1 up to rounding; neither engine nor the
// report shows more.
void TwoAlleleTests::neverAboveOne()
{
    const std::vector<int> table{1000000, 2000500, 0, 1000500};
    int status = -1;
    const double network = networkP(2, table, &status);
    QCOMPARE(status, 0);
    QVERIFY2(network <= 1.0 && close(network, 1.0, 1e-7), qPrintable(QString::number(network, 'g', 17)));
    const double direct = directP(1000000, 2000500, 1000500);
    QVERIFY2(direct <= 1.0 && close(direct, 1.0, 1e-12), qPrintable(QString::number(direct, 'g', 17)));
    const RunReport run = runHardyWeinbergTest(hwInput(2, table), {});
    QCOMPARE(run.status, 0);
    QVERIFY(run.pValue <= 1.0);
    QVERIFY(run.message.startsWith(QStringLiteral("<br /> Hardy-Weinberg 2x2 test <b>P-VALUE = 1</b>")));
    std::mt19937 rng(4);
    for (int t = 0; t < 200; ++t) {
        const int K = 2 + t % 3;
        std::vector<int> random(size_t(K * K), 0);
        for (int i = 0; i < K; ++i)
            for (int j = i; j < K; ++j)
                random[size_t(i * K + j)] = 1 + int(rng() % (K == 2 ? 400 : 6));
        QVERIFY(networkP(K, random, &status) <= 1.0);
        if (K == 2)
            QVERIFY(directP(random[0], random[1], random[3]) <= 1.0);
    }
}

// Tables in which at most two alleles occur go to the direct sum, with the
// same report and the same progress frame; the others to the network.
void TwoAlleleTests::runChoosesTheDirectSum_data()
{
    QTest::addColumn<int>("K");
    QTest::addColumn<std::vector<int>>("table");
    QTest::addColumn<QString>("header");
    QTest::newRow("2x2") << 2 << std::vector<int>{10, 5, 0, 3}
                         << QStringLiteral("<br /> Hardy-Weinberg 2x2 test <b>P-VALUE = 0.254198</b>  for input vectors:");
    QTest::newRow("issue table") << 2 << std::vector<int>{1000000, 2001000, 0, 1000000}
                                 << QStringLiteral("<br /> Hardy-Weinberg 2x2 test <b>P-VALUE = 0.617823</b>  for input vectors:");
    // Allele 1 absent: the same family as 10, 5 / -, 3.
    QTest::newRow("3x3, two alleles occur")
        << 3 << std::vector<int>{10, 0, 5, 0, 0, 0, 0, 0, 3}
        << QStringLiteral("<br /> Hardy-Weinberg 3x3 test <b>P-VALUE = 0.254198</b>  for input vectors:");
    QTest::newRow("one allele") << 2 << std::vector<int>{0, 0, 0, 7}
                                << QStringLiteral("<br /> Hardy-Weinberg 2x2 test <b>P-VALUE = 1</b>  for input vectors:");
    QTest::newRow("3x3, network") << 3 << std::vector<int>{5, 3, 2, 0, 4, 1, 0, 0, 2}
                                  << QStringLiteral("<br /> Hardy-Weinberg 3x3 test <b>P-VALUE = 0.0494577</b>  for input vectors:");
}

void TwoAlleleTests::runChoosesTheDirectSum()
{
    QFETCH(int, K);
    QFETCH(std::vector<int>, table);
    QFETCH(QString, header);
    QList<int> progressCalls;
    calcProgressValue = 0;
    const RunReport run = runHardyWeinbergTest(hwInput(K, table), [&](int maximum) { progressCalls << maximum; });
    QCOMPARE(run.status, 0);
    QCOMPARE(run.isError, 0);
    QVERIFY2(run.message.startsWith(header + QStringLiteral("<br /> { ")), qPrintable(run.message));
    QCOMPARE(progressCalls, (QList<int>{K * hwexact::kProgressPerStage, -1}));
    QCOMPARE(calcProgressValue, K * hwexact::kProgressPerStage);
}

void TwoAlleleTests::stopAndBadInput()
{
    // Stop pressed as the display starts: the run ends before it sums.
    const RunReport stopped = runHardyWeinbergTest(hwInput(2, {10, 5, 0, 3}), [](int maximum) {
        if (maximum >= 1)
            calcStopFlag = 1;
    });
    QCOMPARE(stopped.status, 1);
    QCOMPARE(stopped.isError, 1);
    QCOMPARE(stopped.message, QStringLiteral("<br />Program is stopped by user"));
    calcStopFlag = 0;

    double p = -1.0;
    QCOMPARE(hwtwoallele::pValue(3, -1, 2, &p), int(hwtwoallele::BadInput));
    QCOMPARE(p, -1.0);
    qint64 a = 0, h = 0, b = 0;
    const std::vector<int> three{1, 1, 1, 0, 1, 1, 0, 0, 1};
    QVERIFY(!hwtwoallele::fromTable(3, three.data(), &a, &h, &b));
    const std::vector<int> negative{1, -1, 0, 2};
    QVERIFY(!hwtwoallele::fromTable(2, negative.data(), &a, &h, &b));
}

QTEST_GUILESS_MAIN(TwoAlleleTests)
#include "test_hwtwoallele.moc"
