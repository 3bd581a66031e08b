// Risk clusterization of the largest block a selection can hold.
#include "clusterrun.h"

#include <benchmark/benchmark.h>

#include <random>

namespace {

// K factors with the samples in rows; distinctRatios > 0 limits the ratios
// (many zero distances and equal-G levels), 0 draws free counts.
TestInput makeInput(int k, int distinctRatios)
{
    TestInput in;
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> count(0, 200);
    std::uniform_int_distribution<int> ratio(1, distinctRatios > 0 ? distinctRatios : 1);
    std::uniform_int_distribution<int> scale(1, 40);
    int totals[2] = {0, 0};
    for (int i = 0; i < k; ++i) {
        int e = 0, f = 0;
        do {
            if (distinctRatios > 0) {
                const int s = scale(random);
                e = s * ratio(random);
                f = s * ratio(random);
            } else {
                e = count(random);
                f = count(random);
            }
        } while (e + f == 0);
        in.bufA[std::size_t(i)] = e;
        in.bufB[std::size_t(i)] = f;
        in.bufD[std::size_t(i)] = e + f;
        totals[0] += e;
        totals[1] += f;
        in.factorNames << QStringLiteral("F%1").arg(i + 1);
    }
    in.bufC[0] = totals[0];
    in.bufC[1] = totals[1];
    in.sampleNames = QStringList{QStringLiteral("Cases"), QStringLiteral("Controls")};
    in.nRows = 2;
    in.nCols = k;
    in.leftCol = 1;
    in.topRow = 1;
    in.testSize = k;
    return in;
}

void runCluster(benchmark::State &state)
{
    const TestInput in = makeInput(int(state.range(0)), int(state.range(1)));
    for (auto _ : state) {
        ClusterRun run = runRiskCluster(in, {});
        benchmark::DoNotOptimize(run.message.data());
        if (run.status != 0)
            state.SkipWithError("run failed");
    }
}

} // namespace

BENCHMARK(runCluster)->Args({999, 0})->Args({999, 3})->Args({100, 0})->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
