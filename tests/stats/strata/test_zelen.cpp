// Zelen's exact test of a common odds ratio against a brute-force
// enumeration written here from the test's definition. For small
// 2 x 2 x K tables (K = 2 to 4) every arrangement of the first cells
// (a_1 .. a_K) that keeps each stratum's margins and the observed sum of
// the a_i is listed; its weight, prod C(m_i, a_i) C(n_i, k_i - a_i), is an
// exact integer (the margins are kept small enough that every weight and
// their sum stay below 2^53). P is the share of the weight on the
// arrangements at most as probable as the observed one. Ties: an
// arrangement counts when its weight is at most the observed one's times
// (1 + 1e-10), the engine's "within 1e-10 of the observed
// log-probability". The engine's exact P must agree to 1e-9 relative.
// With its budget at 0 the engine estimates P by Monte Carlo instead, and
// its 99% interval must hold the enumerated P.
#include "zelen.h"

#include <QtTest>

#include <cmath>
#include <random>
#include <vector>

using Tables = std::vector<StratumTable>;
Q_DECLARE_METATYPE(Tables)

namespace {

quint64 choose(qint64 n, qint64 r)
{
    if (r < 0 || r > n)
        return 0;
    quint64 c = 1;
    for (qint64 i = 1; i <= r; ++i)
        c = c * quint64(n - r + i) / quint64(i);  // exact: a binomial at every step
    return c;
}

struct Enumerated
{
    double p = 0.0;
    int informative = 0;
    int arrangements = 0;
};

Enumerated enumerate(const Tables &tables)
{
    const std::size_t k = tables.size();
    std::vector<qint64> m(k), n(k), cases(k);
    qint64 observedSum = 0;
    Enumerated out;
    for (std::size_t i = 0; i < k; ++i) {
        const StratumTable &t = tables[i];
        m[i] = t.a + t.c;
        n[i] = t.b + t.d;
        cases[i] = t.a + t.b;
        observedSum += t.a;
        out.informative += m[i] > 0 && n[i] > 0 && cases[i] > 0 && cases[i] < m[i] + n[i];
    }
    const auto weight = [&](const std::vector<qint64> &a) {
        quint64 w = 1;
        for (std::size_t i = 0; i < k; ++i)
            w *= choose(m[i], a[i]) * choose(n[i], cases[i] - a[i]);
        return w;
    };
    std::vector<qint64> observed(k);
    for (std::size_t i = 0; i < k; ++i)
        observed[i] = tables[i].a;
    const long double limit = (long double)weight(observed) * (1.0L + 1e-10L);
    // Every a_i from 0 to its row total, as an odometer; the margins
    // decide which are possible (weight 0 otherwise).
    std::vector<qint64> a(k, 0);
    quint64 total = 0, counted = 0;
    for (;;) {
        qint64 sum = 0;
        for (const qint64 v : a)
            sum += v;
        if (sum == observedSum) {
            const quint64 w = weight(a);
            if (w > 0) {
                ++out.arrangements;
                total += w;
                if ((long double)w <= limit)
                    counted += w;
            }
        }
        std::size_t i = 0;
        while (i < k && a[i] == cases[i])
            a[i++] = 0;
        if (i == k)
            break;
        ++a[i];
    }
    out.p = double((long double)counted / (long double)total);
    return out;
}

// Random strata of cells 0 to `most`; `most` keeps the weights below 2^53.
Tables randomTables(std::mt19937 &engine, int k, int most)
{
    std::uniform_int_distribution<int> cell(0, most);
    Tables tables;
    for (int i = 0; i < k; ++i)
        tables.push_back({cell(engine), cell(engine), cell(engine), cell(engine)});
    return tables;
}

void addRows()
{
    QTest::addColumn<Tables>("tables");
    // Ties everywhere: strata that are copies or mirrors of each other,
    // and strata symmetric in themselves.
    QTest::newRow("two copies") << Tables{{3, 1, 1, 3}, {3, 1, 1, 3}};
    QTest::newRow("mirrors") << Tables{{3, 1, 1, 3}, {1, 3, 3, 1}};
    QTest::newRow("symmetric strata") << Tables{{2, 2, 2, 2}, {1, 3, 3, 1}, {2, 2, 2, 2}};
    QTest::newRow("four copies") << Tables{{2, 1, 1, 2}, {2, 1, 1, 2}, {2, 1, 1, 2}, {2, 1, 1, 2}};
    // The sum at the end of its range: one arrangement.
    QTest::newRow("sum at its end") << Tables{{3, 0, 0, 3}, {2, 0, 0, 4}};
    // A stratum with an empty margin takes no part.
    QTest::newRow("an empty margin") << Tables{{2, 1, 1, 2}, {0, 0, 3, 2}, {1, 2, 2, 1}, {3, 0, 1, 2}};
    QTest::newRow("one informative") << Tables{{2, 1, 1, 2}, {0, 4, 0, 2}};
    // Heterogeneous: effects in opposite directions.
    QTest::newRow("opposite effects") << Tables{{7, 1, 1, 7}, {1, 7, 7, 1}};
    std::mt19937 engine(20260510);
    for (const auto &[k, most] : {std::pair{2, 7}, std::pair{3, 4}, std::pair{4, 3}})
        for (int r = 0; r < 30; ++r)
            QTest::addRow("random K=%d #%d", k, r) << randomTables(engine, k, most);
}

} // namespace

class TestZelen final : public QObject
{
    Q_OBJECT

private slots:
    void exactAgainstEnumeration_data() { addRows(); }
    void exactAgainstEnumeration();
    void monteCarloHoldsTheEnumeratedP_data();
    void monteCarloHoldsTheEnumeratedP();
};

void TestZelen::exactAgainstEnumeration()
{
    QFETCH(Tables, tables);
    const Enumerated expected = enumerate(tables);
    ZelenFigures f;
    QCOMPARE(zelen::compute(tables.data(), int(tables.size()), ZelenSettings(), &f), int(zelen::Finished));
    QCOMPARE(f.informative, expected.informative);
    if (expected.informative < 2) {
        // One stratum varying alone fixes the arrangement: no test.
        QVERIFY(std::isnan(f.p));
        return;
    }
    QVERIFY(f.exact);
    QVERIFY2(std::fabs(f.p - expected.p) <= 1e-9 * expected.p,
        qPrintable(QStringLiteral("engine %1, enumeration %2 over %3 arrangements")
                       .arg(f.p, 0, 'g', 17)
                       .arg(expected.p, 0, 'g', 17)
                       .arg(expected.arrangements)));
}

void TestZelen::monteCarloHoldsTheEnumeratedP_data()
{
    QTest::addColumn<Tables>("tables");
    QTest::newRow("opposite effects") << Tables{{7, 1, 1, 7}, {1, 7, 7, 1}};
    QTest::newRow("three strata") << Tables{{4, 2, 1, 3}, {2, 3, 4, 1}, {3, 3, 2, 4}};
    QTest::newRow("four strata") << Tables{{3, 1, 2, 2}, {1, 2, 3, 1}, {2, 2, 1, 3}, {0, 3, 3, 1}};
}

void TestZelen::monteCarloHoldsTheEnumeratedP()
{
    QFETCH(Tables, tables);
    const Enumerated expected = enumerate(tables);
    ZelenSettings settings;
    settings.exactBudget = 0.0;  // no exact sum: the estimate
    settings.threads = 1;
    ZelenFigures f;
    QCOMPARE(zelen::compute(tables.data(), int(tables.size()), settings, &f), int(zelen::Finished));
    QVERIFY(!f.exact);
    QCOMPARE(f.samples, settings.samples);
    QVERIFY2(f.low <= expected.p && expected.p <= f.high,
        qPrintable(QStringLiteral("enumeration %1 outside %2 to %3").arg(expected.p).arg(f.low).arg(f.high)));
}

QTEST_GUILESS_MAIN(TestZelen)
#include "test_zelen.moc"
