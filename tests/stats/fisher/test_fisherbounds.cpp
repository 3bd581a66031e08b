// The path bounds of the Fisher network: the mode finder (longest path) and
// the two shortest-path routines, against exhaustive searches over the
// allocations of small column sets.
#include "longpath.h"
#include "shortpath.h"
#include "subsetsp.h"

#include "logfactorial.h"

#include <QtTest>

#include <algorithm>
#include <functional>
#include <random>

namespace {

std::vector<double> table(int n)
{
    std::vector<double> lf;
    fillLogFactorials(lf, n);
    return lf;
}

// Largest and smallest sum of ln C(c_j, x_j) over every allocation of each
// a = 0..S (dynamic programming over the columns: exhaustive, and
// independent of the greedy rules under test).
void extremes(const std::vector<double> &lf, const std::vector<int> &c, std::vector<double> &largest,
              std::vector<double> &smallest)
{
    largest.assign(1, 0.0);
    smallest.assign(1, 0.0);
    for (int total : c) {
        std::vector<double> high(largest.size() + size_t(total), -1.0);
        std::vector<double> low(largest.size() + size_t(total), 1e300);
        for (size_t r = 0; r < largest.size(); ++r) {
            for (int x = 0; x <= total; ++x) {
                const double arc = lf[size_t(total)] - lf[size_t(x)] - lf[size_t(total - x)];
                high[r + size_t(x)] = std::max(high[r + size_t(x)], largest[r] + arc);
                low[r + size_t(x)] = std::min(low[r + size_t(x)], smallest[r] + arc);
            }
        }
        largest.swap(high);
        smallest.swap(low);
    }
}

std::vector<int> randomColumns(std::mt19937 &rng, int count, int maxTotal)
{
    std::uniform_int_distribution<int> total(1, maxTotal);
    std::vector<int> c;
    for (int j = 0; j < count; ++j)
        c.push_back(total(rng));
    // Some sets with repeated totals, as equal columns are common.
    if (count > 2 && rng() % 3 == 0)
        c[1] = c[0];
    std::sort(c.begin(), c.end(), std::greater<int>());
    return c;
}

} // namespace

class TestFisherBounds final : public QObject
{
    Q_OBJECT

private slots:
    void getModeStatus_data();
    void getModeStatus();
    void modeIsLongestPath();
    void shortestOneColumn();
    void fastShortestEqualsSearch();
};

void TestFisherBounds::getModeStatus_data()
{
    QTest::addColumn<QList<int>>("columns");
    QTest::addColumn<int>("a");
    QTest::addColumn<int>("status");
    QTest::addColumn<QList<int>>("mode");

    QTest::newRow("one column") << QList<int>{7} << 4 << 0 << QList<int>{4};
    QTest::newRow("a = 0") << QList<int>{5, 3, 2} << 0 << 0 << QList<int>{0, 0, 0};
    QTest::newRow("a = S") << QList<int>{5, 3, 2} << 10 << 0 << QList<int>{5, 3, 2};
    QTest::newRow("3, 3, 3 with 3") << QList<int>{3, 3, 3} << 3 << 0 << QList<int>{1, 1, 1};
    QTest::newRow("5, 5, 5 with 6") << QList<int>{5, 5, 5} << 6 << 0 << QList<int>{2, 2, 2};
    QTest::newRow("no columns") << QList<int>{} << 0 << 1 << QList<int>{};
    QTest::newRow("101 columns") << QList<int>(101, 1) << 3 << 1 << QList<int>{};
    QTest::newRow("a < 0") << QList<int>{3, 3} << -1 << 4 << QList<int>{};
    QTest::newRow("over capacity") << QList<int>{60, 50} << 3 << 2 << QList<int>{};
    QTest::newRow("a over sum") << QList<int>{3, 3} << 7 << 3 << QList<int>{};
}

void TestFisherBounds::getModeStatus()
{
    QFETCH(QList<int>, columns);
    QFETCH(int, a);
    QFETCH(int, status);
    QFETCH(QList<int>, mode);

    const std::vector<double> lf = table(100);
    longpath finder(lf.data(), 100);
    std::vector<int> c(columns.begin(), columns.end());
    std::vector<int> out(c.size() + 1, -7);
    QCOMPARE(finder.getMode(int(c.size()), a, c.data(), out.data()), status);
    if (status == 0)
        QCOMPARE(QList<int>(out.begin(), out.begin() + qsizetype(c.size())), mode);
}

// The mode (and each greedy step up from it) reaches the largest sum of
// ln C over all allocations: the longest path that the network's
// "wholly significant" test relies on.
void TestFisherBounds::modeIsLongestPath()
{
    const std::vector<double> lf = table(400);
    longpath finder(lf.data(), 400);
    std::mt19937 rng(7);
    for (int trial = 0; trial < 150; ++trial) {
        const int K = 2 + trial % 8;
        std::vector<int> c = randomColumns(rng, K, trial % 2 ? 6 : 25);
        int S = 0;
        for (int v : c)
            S += v;
        std::vector<int> out(c.size());
        std::vector<double> high;
        std::vector<double> low;
        extremes(lf, c, high, low);
        int a = int(rng() % unsigned(S + 1));
        QCOMPARE(finder.getMode(K, a, c.data(), out.data()), 0);
        for (; a <= S; ++a) {
            const double largest = high[size_t(a)];
            double sum = 0;
            int placed = 0;
            for (int j = 0; j < K; ++j) {
                QVERIFY(out[size_t(j)] >= 0 && out[size_t(j)] <= c[size_t(j)]);
                placed += out[size_t(j)];
                sum += finder.lnC(c[size_t(j)], out[size_t(j)]);
            }
            QCOMPARE(placed, a);
            QVERIFY2(std::fabs(sum - largest) <= 1e-9 * std::max(1.0, largest),
                     qPrintable(QStringLiteral("trial %1, a %2").arg(trial).arg(a)));
            if (a < S)
                QVERIFY(longpath::stepUp(K, c.data(), out.data()) >= 0);
        }
    }
}

void TestFisherBounds::shortestOneColumn()
{
    const std::vector<double> lf = table(50);
    shortpath search(lf.data());
    subsetsp fast(lf.data());
    for (int s : {1, 2, 9, 50}) {
        const int cols[1] = {s};
        QVERIFY(fast.prepare(1, cols) > 0);
        for (int r = 0; r <= s; ++r) {
            const int rows[2] = {r, s - r};
            const double expected = lf[size_t(s)] - lf[size_t(r)] - lf[size_t(s - r)];
            QVERIFY(std::fabs(search.getSP(2, rows, 1, cols) - expected) < 1e-12);
            QVERIFY(std::fabs(fast.shortest(r) - expected) < 1e-12);
        }
    }
}

// The subset-sum shortest path returns the value of the depth-first search
// over greedy fillings, for every first-row total of many column sets (and
// the true minimum).
void TestFisherBounds::fastShortestEqualsSearch()
{
    const std::vector<double> lf = table(3000);
    shortpath search(lf.data());
    subsetsp fast(lf.data());
    std::mt19937 rng(11);
    int compared = 0;
    for (int trial = 0; trial < 600; ++trial) {
        const int C = 1 + trial % 12;
        const int maxTotal = std::vector<int>{2, 4, 10, 40, 150}[size_t(trial % 5)];
        std::vector<int> c = randomColumns(rng, C, maxTotal);
        int S = 0;
        for (int v : c)
            S += v;
        QVERIFY(fast.prepare(C, c.data()) >= 0);
        std::vector<double> high;
        std::vector<double> low;
        extremes(lf, c, high, low);
        for (int r = 0; r <= S; r += 1 + S / 40) {
            const int rows[2] = {r, S - r};
            const double expected = search.getSP(2, rows, C, c.data());
            const double got = fast.shortest(r);
            QVERIFY2(std::fabs(got - expected) <= 1e-9 * std::max(1.0, expected),
                     qPrintable(QStringLiteral("trial %1, r %2: %3 vs %4").arg(trial).arg(r).arg(got).arg(expected)));
            QVERIFY(std::fabs(got - low[size_t(r)]) <= 1e-9 * std::max(1.0, low[size_t(r)]));
            ++compared;
        }
    }
    QVERIFY(compared > 5000);
}

QTEST_GUILESS_MAIN(TestFisherBounds)
#include "test_fisherbounds.moc"
