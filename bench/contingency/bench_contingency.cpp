// Speed of the contingency engines on the published yardstick tables, with
// the peak memory each run counted against its budget.
//
// The 9-allele table (n = 8297) is run once, bounded: a budget of
// VELMORA_BENCH_HW9_MB megabytes (default 1024) and a stop after
// VELMORA_BENCH_HW9_SECONDS seconds (default 120) through the stop flag, as
// the Stop button would; the counters tell how it ended.
#include "calcpoll.h"
#include "chi2.h"
#include "hwexact.h"
#include "interact.h"
#include "membudget.h"

#include <QCoreApplication>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <vector>

namespace {

std::vector<int> fromLowerRows(int K, const std::vector<int> &rows)
{
    std::vector<int> table(static_cast<size_t>(K * K), 0);
    size_t p = 0;
    for (int i = 0; i < K; ++i)
        for (int j = 0; j <= i; ++j)
            table[static_cast<size_t>(j * K + i)] = rows[p++];
    return table;
}

void runHw(benchmark::State &state, int K, const std::vector<int> &table)
{
    qint64 peak = 0;
    double p = 0.0;
    int status = -1;
    for (auto _ : state) {
        MemoryBudget budget;
        hwexact engine(&status, K, table.data(), &p, &budget);
        peak = budget.peak();
        benchmark::DoNotOptimize(p);
    }
    state.counters["P"] = p;
    state.counters["status"] = status;
    state.counters["peakMB"] = static_cast<double>(peak) / (1 << 20);
}

void BM_HwFourAllelesN45(benchmark::State &state)
{
    runHw(state, 4, fromLowerRows(4, {0, 3, 1, 5, 18, 1, 3, 7, 5, 2}));
}
BENCHMARK(BM_HwFourAllelesN45)->Unit(benchmark::kMillisecond);

void BM_HwEightAllelesN30(benchmark::State &state)
{
    runHw(state, 8, fromLowerRows(8, {3, 4, 2, 2, 2, 2, 3, 3, 2, 1, 0, 1, 0, 0, 0, 0, 0, 0,
                                      0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 2, 1, 0, 0, 0}));
}
BENCHMARK(BM_HwEightAllelesN30)->Unit(benchmark::kMillisecond);

void BM_HwFourAllelesN229(benchmark::State &state)
{
    runHw(state, 4, fromLowerRows(4, {2, 12, 24, 30, 34, 54, 22, 21, 20, 10}));
}
BENCHMARK(BM_HwFourAllelesN229)->Unit(benchmark::kMillisecond);

// A single SNP, n = 100,000: one in Hardy-Weinberg proportions and one far
// from them.
void BM_HwTwoAllelesN100000(benchmark::State &state)
{
    runHw(state, 2, {36000, 48000, 0, 16000});
}
BENCHMARK(BM_HwTwoAllelesN100000)->Unit(benchmark::kMillisecond);

void BM_HwTwoAllelesN100000Deviating(benchmark::State &state)
{
    runHw(state, 2, {40000, 40000, 0, 20000});
}
BENCHMARK(BM_HwTwoAllelesN100000Deviating)->Unit(benchmark::kMillisecond);

void BM_HwNineAllelesN8297(benchmark::State &state)
{
    const std::vector<int> table = fromLowerRows(
        9, {1236, 120, 3, 18, 0, 0, 982, 55, 7, 249, 32, 1, 0, 12, 0, 2582, 132, 20, 1162, 29, 1312,
            6, 0, 0, 4, 0, 4, 0, 2, 0, 0, 0, 0, 0, 0, 0, 115, 5, 2, 53, 1, 149, 0, 0, 4});
    const char *mb = std::getenv("VELMORA_BENCH_HW9_MB");
    const char *seconds = std::getenv("VELMORA_BENCH_HW9_SECONDS");
    const qint64 limit = (mb ? std::atoll(mb) : 1024) << 20;
    const int timeLimitMs = (seconds ? std::atoi(seconds) : 120) * 1000;

    int argc = 1;
    char name[] = "bench";
    char *argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    calcApplication = &app;
    qint64 peak = 0;
    double p = 0.0;
    int status = -1;
    double elapsed = 0.0;
    for (auto _ : state) {
        calcStopFlag = 0;
        resetCalcPollClock();
        QTimer::singleShot(timeLimitMs, [] { calcStopFlag = 1; });
        MemoryBudget budget(limit);
        const auto start = std::chrono::steady_clock::now();
        hwexact engine(&status, 9, table.data(), &p, &budget);
        elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        peak = budget.peak();
    }
    calcApplication = nullptr;
    calcStopFlag = 0;
    state.counters["status"] = status;  // 0 done, 1 stopped at the time limit, 11 memory
    state.counters["P"] = status == 0 ? p : -1.0;
    state.counters["peakMB"] = static_cast<double>(peak) / (1 << 20);
    state.counters["seconds"] = elapsed;
}
BENCHMARK(BM_HwNineAllelesN8297)->Unit(benchmark::kSecond)->Iterations(1);

void BM_Chi2PValue(benchmark::State &state)
{
    const double df = static_cast<double>(state.range(0));
    double sum = 0.0;
    for (auto _ : state) {
        QString error;
        sum += chi2PValue(df + 2.0, df, &error);
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_Chi2PValue)->Arg(1)->Arg(250)->Arg(24950);

void BM_Interact(benchmark::State &state)
{
    const std::vector<int> a{200, 150, 130, 120, 210, 160};
    const std::vector<int> b{160, 180, 190, 140, 120, 210};
    double p = 0.0;
    int status = -1;
    for (auto _ : state) {
        interact engine(&status, 3, 2, a.data(), b.data(), &p);
        benchmark::DoNotOptimize(p);
    }
    state.counters["P"] = p;
}
BENCHMARK(BM_Interact);

} // namespace

BENCHMARK_MAIN();
