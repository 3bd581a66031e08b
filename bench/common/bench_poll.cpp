// The cost of pollCalcEvents() with nothing pending: the engines call it at
// every arc of the Fisher network.
#include "calcpoll.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

namespace {

void BM_PollNothingPending(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(pollCalcEvents());
}
BENCHMARK(BM_PollNothingPending);

void BM_PollWithoutApplication(benchmark::State &state)
{
    QCoreApplication *saved = calcApplication;
    calcApplication = nullptr;
    for (auto _ : state)
        benchmark::DoNotOptimize(pollCalcEvents());
    calcApplication = saved;
}
BENCHMARK(BM_PollWithoutApplication);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    calcApplication = &app;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
