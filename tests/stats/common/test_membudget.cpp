#include "membudget.h"

#include <QtTest>

#include <cstdio>

class TestMemBudget final : public QObject
{
    Q_OBJECT

private slots:
    // The query must agree with the kernel's own figure, read here by C
    // stdio rather than by QFile (procfs files report size 0).
    void availableMatchesProcMeminfo()
    {
        std::FILE *file = std::fopen("/proc/meminfo", "r");
        if (!file)
            QSKIP("no /proc/meminfo on this system");
        long long kib = -1;
        char line[256];
        while (std::fgets(line, sizeof line, file))
            if (std::sscanf(line, "MemAvailable: %lld kB", &kib) == 1)
                break;
        std::fclose(file);
        QVERIFY2(kib > 0, "MemAvailable not found");

        const qint64 reported = MemoryBudget::availablePhysicalMemory();
        QVERIFY(reported > 0);
        const double expected = double(kib) * 1024.0;
        // Other processes may allocate between the two reads.
        QVERIFY2(std::abs(double(reported) - expected) <= 0.10 * expected,
                 qPrintable(QStringLiteral("%1 against %2").arg(reported).arg(expected)));
    }

    void defaultLimitIsThreeQuartersOfAvailable()
    {
        MemoryBudget::setRunLimitOverride(0);
        const qint64 available = MemoryBudget::availablePhysicalMemory();
        if (available <= 0)
            QSKIP("no memory figure on this system");
        const double limit = double(MemoryBudget::defaultRunLimit());
        QVERIFY(std::abs(limit - 0.75 * double(available)) <= 0.10 * double(available));

        MemoryBudget::setRunLimitOverride(qint64(5) << 20);
        QCOMPARE(MemoryBudget::defaultRunLimit(), qint64(5) << 20);
        QCOMPARE(MemoryBudget().limit(), qint64(5) << 20);
        MemoryBudget::setRunLimitOverride(0);
    }

    void reserveAndRelease()
    {
        MemoryBudget budget(100);
        QVERIFY(budget.reserve(60));
        QVERIFY(!budget.reserve(41));
        QCOMPARE(budget.used(), qint64(60));
        QVERIFY(budget.reserve(40));
        budget.release(70);
        QCOMPARE(budget.used(), qint64(30));
        QCOMPARE(budget.peak(), qint64(100));
        QVERIFY(!budget.reserve(-1));
    }
};

QTEST_GUILESS_MAIN(TestMemBudget)
#include "test_membudget.moc"
