#include "batchworkers.h"

#include "threadshortfall.h"

#include <algorithm>
#include <system_error>

BatchWorkers::BatchWorkers(int threads)
{
    helpers.reserve(std::size_t(std::max(threads - 1, 0)));
    for (int i = 1; i < threads; ++i) {
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

void BatchWorkers::drain()
{
    for (;;) {
        const int item = next.fetch_add(1, std::memory_order_relaxed);
        if (item >= count)
            return;
        task(item);
    }
}

void BatchWorkers::finish()
{
    drain();
    std::unique_lock<std::mutex> lock(mutex);
    idle.wait(lock, [this] { return busy == 0; });
    // Helpers that wake up late find nothing left of this batch.
    count = 0;
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
        ++busy;
        lock.unlock();
        drain();
        lock.lock();
        if (--busy == 0)
            idle.notify_all();
    }
}
