// The helper threads of a batch: every item runs once, in any batch and with
// any number of threads, and finish() returns only when all have run; an
// item's exception reaches the caller.
#include "batchworkers.h"

#include <QtTest>

#include <atomic>
#include <vector>

class TestBatchWorkers final : public QObject
{
    Q_OBJECT

private slots:
    void everyItemOnce_data();
    void everyItemOnce();
    void lateHelpersTakeNothing();
    void emptyBatches();
    void exceptionReachesCaller();
};

void TestBatchWorkers::everyItemOnce_data()
{
    QTest::addColumn<int>("threads");
    QTest::newRow("caller alone") << 1;
    QTest::newRow("two") << 2;
    QTest::newRow("more than cores") << 7;
    QTest::newRow("zero means the caller") << 0;
}

void TestBatchWorkers::everyItemOnce()
{
    QFETCH(int, threads);
    BatchWorkers workers(threads);
    QCOMPARE(workers.helperCount(), std::max(0, threads - 1));
    for (int batch = 0; batch < 200; ++batch) {
        const int count = (batch * 37) % 101;
        std::vector<std::atomic<int>> runs(std::size_t(count) + 1);
        workers.start([&runs](int item) { runs[std::size_t(item)].fetch_add(1); }, count);
        // The caller's own work while the helpers run.
        workers.finish();
        for (int item = 0; item < count; ++item)
            QCOMPARE(runs[std::size_t(item)].load(), 1);
        QCOMPARE(runs[std::size_t(count)].load(), 0);
    }
}

// A batch of one item, which the caller often does alone before a helper
// wakes, then one of a hundred: a helper that wakes late must not take an
// item of the large batch by the small one's count (that item then ran
// twice, and two workers wrote one table's slot).
void TestBatchWorkers::lateHelpersTakeNothing()
{
    BatchWorkers workers(7);
    std::vector<std::atomic<int>> runs(100);
    for (int batch = 0; batch < 40000; ++batch) {
        const int count = batch % 2 ? 100 : 1;
        for (std::atomic<int> &r : runs)
            r.store(0);
        workers.start([&runs](int item) { runs[std::size_t(item)].fetch_add(1); }, count);
        workers.finish();
        for (int item = 0; item < count; ++item)
            QCOMPARE(runs[std::size_t(item)].load(), 1);
    }
}

void TestBatchWorkers::emptyBatches()
{
    BatchWorkers workers(3);
    workers.finish();  // nothing started
    int runs = 0;
    workers.start([&runs](int) { ++runs; }, 0);
    workers.finish();
    QCOMPARE(runs, 0);
}

// std::bad_alloc on a helper would end the process: it is thrown by
// finish() on the caller's thread, once, after every other item ran.
void TestBatchWorkers::exceptionReachesCaller()
{
    BatchWorkers workers(4);
    std::vector<std::atomic<int>> runs(64);
    workers.start([&runs](int item) {
        runs[std::size_t(item)].fetch_add(1);
        if (item % 16 == 5)
            throw std::bad_alloc();
    }, 64);
    QVERIFY_THROWS_EXCEPTION(std::bad_alloc, workers.finish());
    for (const std::atomic<int> &r : runs)
        QCOMPARE(r.load(), 1);
    // The next batch starts clean.
    int after = 0;
    workers.start([&after](int) { ++after; }, 1);
    workers.finish();
    QCOMPARE(after, 1);
}

QTEST_APPLESS_MAIN(TestBatchWorkers)
#include "test_batchworkers.moc"
