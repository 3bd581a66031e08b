#pragma once

#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// Helper threads that share out the items of one batch at a time. The
// caller starts a batch and goes on with its own work (reading the next
// batch); finish() makes it take the items that are left and waits for the
// helpers. Items are handed out in increasing order, so when a run stops
// early the items never taken are the last ones.
class BatchWorkers final
{
public:
    // threads: the threads that work on a batch, the caller's included; 1
    // (or less) starts no helper and the caller does everything in finish().
    // Helpers the system will not start, or the address-space limit has no
    // room for (threadsWithinAddressSpace), are done without (see
    // noteThreadShortfall), down to the caller alone.
    explicit BatchWorkers(int threads);
    ~BatchWorkers();

    BatchWorkers(const BatchWorkers &) = delete;
    BatchWorkers &operator=(const BatchWorkers &) = delete;

    // Hands items 0..count-1 to the helpers; returns at once. The previous
    // batch must be finished.
    void start(std::function<void(int)> task, int count);
    // Runs the items no helper has taken, then waits for the helpers' items.
    // An exception that an item threw, on any thread, is thrown here.
    void finish();

    int helperCount() const { return int(helpers.size()); }

private:
    void helperLoop();
    // Runs items of the batch of batchCount items until none is left.
    void drain(int batchCount);

    std::vector<std::thread> helpers;
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable idle;
    std::function<void(int)> task;
    std::atomic<int> next{0};
    int count = 0;
    unsigned long long generation = 0;
    int busy = 0;          // helpers inside the current batch
    bool quit = false;
    std::exception_ptr failure;  // the first exception of the batch's items
};
