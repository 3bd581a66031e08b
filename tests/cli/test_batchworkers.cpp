// The helper threads of a batch: every item runs once, in any batch and with
// any number of threads, and finish() returns only when all have run; an
// item's exception reaches the caller; the threads an address-space limit
// leaves room for.
#include "batchworkers.h"
#include "threadshortfall.h"

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
    void addressSpaceRoom_data();
    void addressSpaceRoom();
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

void TestBatchWorkers::addressSpaceRoom_data()
{
    constexpr qint64 MB = qint64(1) << 20;
    QTest::addColumn<int>("wanted");
    QTest::addColumn<qint64>("limit");
    QTest::addColumn<qint64>("used");
    QTest::addColumn<int>("room");
    // A thread: an 8 MB stack and a 64 MB arena.
    QTest::newRow("no limit") << 1024 << qint64(0) << 100 * MB << 1024;
    // ulimit -v 800000 with 150 MB mapped: (781 - 150) / 2 / 72.
    QTest::newRow("ulimit -v 800000") << 1023 << 800000 * qint64(1024) << 150 * MB << 4;
    QTest::newRow("room for more than wanted") << 3 << 64 * 1024 * MB << 150 * MB << 3;
    QTest::newRow("no room left") << 8 << 300 * MB << 200 * MB << 0;
    QTest::newRow("more mapped than the limit") << 8 << 300 * MB << 400 * MB << 0;
    QTest::newRow("none wanted") << 0 << 300 * MB << qint64(0) << 0;
}

void TestBatchWorkers::addressSpaceRoom()
{
    QFETCH(int, wanted);
    QFETCH(qint64, limit);
    QFETCH(qint64, used);
    QFETCH(int, room);
    QCOMPARE(threadsWithinAddressSpace(wanted, limit, used, qint64(72) << 20), room);
}

QTEST_APPLESS_MAIN(TestBatchWorkers)
#include "test_batchworkers.moc"
