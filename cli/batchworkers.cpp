#include "batchworkers.h"

#include "threadshortfall.h"

#include <algorithm>
#include <cerrno>
#include <system_error>

BatchWorkers::BatchWorkers(int threads)
{
    const int wanted = std::max(threads - 1, 0);
    const int affordable = threadsWithinAddressSpace(wanted);
    if (affordable < wanted)
        noteThreadShortfall(1 + affordable, threads, std::system_error(ENOMEM, std::generic_category()));
    helpers.reserve(std::size_t(affordable));
    for (int i = 1; i <= affordable; ++i) {
        try {
            helpers.emplace_back([this] { helperLoop(); });
        } catch (const std::system_error &error) {
            // Fewer helpers run the same items, only later.
            noteThreadShortfall(i, threads, error);
            break;
        }
    }
}

BatchWorkers::~BatchWorkers()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        quit = true;
    }
    wake.notify_all();
    for (std::thread &helper : helpers)
        helper.join();
}

void BatchWorkers::start(std::function<void(int)> batchTask, int batchCount)
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        task = std::move(batchTask);
        count = batchCount;
        next.store(0, std::memory_order_relaxed);
        ++generation;
    }
    wake.notify_all();
}

void BatchWorkers::drain(int batchCount)
{
    for (;;) {
        const int item = next.fetch_add(1, std::memory_order_relaxed);
        if (item >= batchCount)
            return;
        try {
            task(item);
        } catch (...) {
            // Out of a helper an exception would end the process: the
            // caller gets it from finish(), once the helpers are idle.
            std::lock_guard<std::mutex> lock(mutex);
            if (!failure)
                failure = std::current_exception();
        }
    }
}

void BatchWorkers::finish()
{
    drain(count);
    std::unique_lock<std::mutex> lock(mutex);
    idle.wait(lock, [this] { return busy == 0; });
    // Helpers that wake up late find nothing left of this batch.
    count = 0;
    if (failure) {
        std::exception_ptr thrown;
        std::swap(thrown, failure);
        lock.unlock();
        std::rethrow_exception(thrown);
    }
}

void BatchWorkers::helperLoop()
{
    unsigned long long seen = 0;
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        wake.wait(lock, [&] { return quit || generation != seen; });
        if (quit)
            return;
        seen = generation;
        // A helper that wakes once its batch is finished (count 0) must not
        // touch the counter: the next batch may reset it at any moment, and
        // an item taken from the old count and checked against the new one
        // would run twice.
        const int batchCount = count;
        if (batchCount == 0)
            continue;
        ++busy;
        lock.unlock();
        drain(batchCount);
        lock.lock();
        if (--busy == 0)
            idle.notify_all();
    }
}
