#include "mcrunner.h"

#include "calcpoll.h"
#include "mcmodel.h"
#include "mcstream.h"
#include "threadshortfall.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

namespace {

// The stop flag is looked at this often within a chunk.
constexpr qint64 kStopCheckSamples = 256;

struct SharedRun
{
    SharedRun(const mcmodel &model, qint64 samples, qint64 chunkSamples, quint64 seed)
        : model(model), samples(samples), chunkSamples(chunkSamples),
          chunks((samples + chunkSamples - 1) / chunkSamples), seed(seed)
    {
    }

    const mcmodel &model;
    const qint64 samples;
    const qint64 chunkSamples;
    const qint64 chunks;
    const quint64 seed;

    std::atomic<qint64> nextChunk{0};
    std::atomic<qint64> chunksDone{0};
    // Integer sums do not depend on the order in which chunks finish.
    std::atomic<qint64> extreme{0};
    std::atomic<bool> stop{false};
    std::atomic<bool> failed{false};
    std::atomic<bool> outOfMemory{false};
    // Where the threads' bins are added up (null: no bins), and the seed of
    // the spare streams.
    mcbins *bins = nullptr;
    quint64 spareSeed = 0;

    std::mutex mutex;
    std::condition_variable finished;
    int running = 0;

    // Set when not one worker could be started: the calling thread draws
    // the chunks itself and polls between them.
    bool callerDraws = false;
    int progressMaximum = 0;

    void work();
    void runChunks();
    void drawChunks(mcsampler &sampler, mcbins *local);
    void poll();
};

void SharedRun::poll()
{
    if (pollCalcEvents() != 0)
        stop = true;
    calcProgressValue = int(chunksDone.load() * progressMaximum / chunks);
}

void SharedRun::runChunks()
{
    const std::unique_ptr<mcsampler> sampler = model.sampler();
    if (!bins) {
        drawChunks(*sampler, nullptr);
        return;
    }
    // Each thread its own bins, added up at its end: sums of whole numbers,
    // the same whichever thread drew which chunk.
    mcbins local = bins->empty();
    drawChunks(*sampler, &local);
    const std::lock_guard<std::mutex> lock(mutex);
    bins->merge(local);
}

void SharedRun::drawChunks(mcsampler &samplerOfThread, mcbins *local)
{
    mcsampler *sampler = &samplerOfThread;
    for (qint64 taken = 0; taken < chunks; ++taken) {
        const qint64 chunk = nextChunk.fetch_add(1);
        if (chunk >= chunks || stop.load(std::memory_order_relaxed))
            return;
        mcgenerator engine = mcstream::chunkEngine(seed, chunk);
        // A chunk's spare stream, like its stream, belongs to the chunk.
        std::optional<mcgenerator> spare;
        if (local) {
            spare.emplace(mcstream::chunkEngine(spareSeed, chunk));
            sampler->countInto(local, &*spare);
        }
        const qint64 first = chunk * chunkSamples;
        const qint64 count = std::min(chunkSamples, samples - first);
        qint64 found = 0;
        for (qint64 i = 0; i < count; ++i) {
            if (i % kStopCheckSamples == 0) {
                if (callerDraws)
                    poll();
                if (stop.load(std::memory_order_relaxed))
                    return;
            }
            if (sampler->drawExtreme(engine))
                ++found;
        }
        if (sampler->failed()) {
            failed = true;
            stop = true;
            return;
        }
        extreme.fetch_add(found);
        chunksDone.fetch_add(1);
    }
}

void SharedRun::work()
{
    try {
        runChunks();
    } catch (const std::bad_alloc &) {
        outOfMemory = true;
        stop = true;
    }
    {
        const std::lock_guard<std::mutex> lock(mutex);
        --running;
    }
    finished.notify_all();
}

} // namespace

int defaultThreadCount()
{
    return std::max(1u, std::thread::hardware_concurrency());
}

mccount countExtremes(const mcmodel &model, qint64 samples, quint64 seed, int threads,
                      int progressMaximum, mcbins *bins, qint64 chunkSamples)
{
    mccount result;
    if (samples < 1 || chunkSamples < 1)
        return result;
    SharedRun run(model, samples, chunkSamples, seed);
    const qint64 chunks = run.chunks;
    run.progressMaximum = progressMaximum;
    run.bins = bins;
    run.spareSeed = mcstream::derivedSeed(seed, ~quint64(0));
    const qint64 asked = std::min<qint64>(threads > 0 ? threads : defaultThreadCount(), chunks);
    const qint64 wanted = threadsWithinAddressSpace(int(asked));
    if (wanted < asked)
        noteThreadShortfall(std::max<int>(1, int(wanted)), int(asked), std::system_error(ENOMEM, std::generic_category()));

    std::vector<std::thread> pool;
    try {
        pool.reserve(size_t(wanted));
    } catch (const std::bad_alloc &) {
        result.status = mccount::NoThreads;
        return result;
    }
    for (qint64 t = 0; t < wanted; ++t) {
        {
            const std::lock_guard<std::mutex> lock(run.mutex);
            ++run.running;
        }
        try {
            pool.emplace_back([&run] { run.work(); });
        } catch (const std::system_error &error) {
            // Fewer threads give the same count, only later.
            {
                const std::lock_guard<std::mutex> lock(run.mutex);
                --run.running;
            }
            noteThreadShortfall(std::max(1, int(pool.size())), int(wanted), error);
            break;
        }
    }
    if (pool.empty()) {
        run.callerDraws = true;
        run.running = 1;
        run.work();
    }

    // The workers never touch the GUI: this thread polls for it, and for
    // the stop flag, while it waits.
    while (!run.callerDraws) {
        {
            std::unique_lock<std::mutex> lock(run.mutex);
            if (run.finished.wait_for(lock, std::chrono::milliseconds(10), [&run] { return run.running == 0; }))
                break;
        }
        run.poll();
    }
    for (std::thread &thread : pool)
        thread.join();
    calcProgressValue = int(run.chunksDone.load() * progressMaximum / chunks);

    if (run.failed)
        result.status = mccount::SamplerFailed;
    else if (run.outOfMemory)
        result.status = mccount::NoThreads;
    else if (run.chunksDone.load() < chunks)
        result.status = mccount::Stopped;
    else
        result.status = mccount::Finished;
    if (result.status == mccount::Finished) {
        result.samples = samples;
        result.extreme = run.extreme.load();
    }
    return result;
}
