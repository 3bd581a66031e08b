// The exact Hardy-Weinberg walk's work units, which a genotype run's
// --exact-limit allows (cli/exactbudget.h): a node's look-up, its creation
// and the partial tables it carries count with their cost, so that an
// allowance stops a walk of many alleles after about the work it stops one
// of few alleles after. What the walk built by then is deterministic: the
// memory it held, which follows the nodes it made. Seconds are not asked.
#include "calcpoll.h"
#include "hwexact.h"
#include "membudget.h"

#include <QtTest>

namespace {

// The genotype table of n individuals from pairs of allele indices.
std::vector<int> pairedTable(int K, const QList<int> &alleles)
{
    std::vector<int> table(std::size_t(K) * std::size_t(K), 0);
    for (qsizetype i = 0; i + 1 < alleles.size(); i += 2) {
        const int a = std::min(alleles[i], alleles[i + 1]);
        const int b = std::max(alleles[i], alleles[i + 1]);
        ++table[std::size_t(a) * std::size_t(K) + std::size_t(b)];
    }
    return table;
}

} // namespace

class TestHwWorkUnits final : public QObject
{
    Q_OBJECT

private slots:
    void allowanceBoundsTheWalk_data();
    void allowanceBoundsTheWalk();
};

void TestHwWorkUnits::allowanceBoundsTheWalk_data()
{
    QTest::addColumn<int>("K");
    QTest::addColumn<QList<int>>("alleles");  // pairs: one individual each
    QTest::addColumn<int>("megabytes");       // the most the walk may hold
    // 28 alleles among 20 individuals (bench/genotypes/data/alleles28.vcf,
    // v1).
    QTest::newRow("28 alleles, 20 individuals")
        << 28 << QList<int>{1,  26, 0,  21, 11, 6,  8,  20, 10, 19, 4, 10, 22, 17, 3, 4,  7,  18, 2, 12,
                            15, 16, 9,  0,  14, 9,  23, 5,  25, 27, 1, 2,  8,  3,  11, 5, 24, 13, 7, 6}
        << 16;
    // 12 alleles among 60.
    QList<int> twelve;
    for (int i = 0; i < 120; ++i)
        twelve << (i * 7 + i / 13) % 12;
    QTest::newRow("12 alleles, 60 individuals") << 12 << twelve << 40;
}

// Two million units, a twenty-fifth of a second at the rate the limit
// assumes: the walk stops within 2% of them, having held at most a bound
// that its nodes' cost sets: 5.6 and 17 MB here, where the walks held 54
// and 139 MB when a node's look-up and creation counted a unit at most.
void TestHwWorkUnits::allowanceBoundsTheWalk()
{
    QFETCH(int, K);
    QFETCH(QList<int>, alleles);
    QFETCH(int, megabytes);
    const std::vector<int> table = pairedTable(K, alleles);
    constexpr quint64 kUnits = 2000000;
    MemoryBudget budget;
    int status = -1;
    double p = -1.0;
    quint64 used = 0;
    {
        CalcWorkAllowance allowance(kUnits);
        hwexact engine(&status, K, table.data(), &p, &budget);
        QVERIFY(allowance.exhausted());
        used = allowance.workUsed();
    }
    QCOMPARE(status, int(hwexact::Stopped));
    QVERIFY2(used >= kUnits && used <= kUnits + kUnits / 50, qPrintable(QString::number(used)));
    QVERIFY2(budget.peak() < qint64(megabytes) << 20, qPrintable(QString::number(budget.peak())));
}

QTEST_APPLESS_MAIN(TestHwWorkUnits)
#include "test_hwworkunits.moc"
