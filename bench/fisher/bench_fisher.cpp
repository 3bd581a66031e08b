// Speed and memory of the Fisher 2xN network on the 48-table suite
// (suite.h): the exact variant, the approximate one with the unit 1e-6, and,
// on the small tables where it can finish, the exact variant with one list
// element per partial table (no joining of equal lengths).
//
// Each table runs once. A run is stopped after --cap_s seconds (default 60)
// through the stop flag that the engine polls, and its memory is bounded by
// a budget of --budget_mb MiB (default 4096), so a table that cannot finish
// ends with status 10 (stopped) or 11 (memory) instead of taking the
// machine. Counters per table: status (0 solved), P-value, peak_MiB (what
// the run counted against its budget: node buffers, table, lists, scratch),
// rss_MiB (the process's peak resident size during the run), elements (the
// largest number of list elements held at once).
#include "runcap.h"
#include "suite.h"

#include "calcpoll.h"
#include "dfex.h"
#include "dfish.h"
#include "membudget.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

namespace {

int capSeconds = 60;
qint64 budgetMiB = 4096;

// Peak resident size since the last reset, in MiB.
double peakRssMiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    }
    return -1;
}

void resetPeakRss()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

enum Variant { Exact, Approximate6, ExactSeparate };

template <typename Engine>
void runOne(benchmark::State &state, Engine &engine, const fisherbench::Table &t)
{
    double p = -1;
    int status = -1;
    for (auto _ : state) {
        resetPeakRss();
        fisherbench::armCap(capSeconds);
        status = engine.run(t.x.data(), t.c.data(), int(t.c.size()), p);
        fisherbench::disarmCap();
    }
    state.counters["status"] = status;
    state.counters["P"] = status == 0 ? p : -1;
    state.counters["peak_MiB"] = double(engine.budget().peak()) / double(1 << 20);
    state.counters["rss_MiB"] = peakRssMiB();
    state.counters["elements"] = double(engine.peakListElements());
    state.counters["cols"] = double(t.c.size());
}

void BM_Fisher(benchmark::State &state, Variant variant, fisherbench::Table t)
{
    MemoryBudget::setRunLimitOverride(budgetMiB << 20);
    int status = 0;
    if (variant == Approximate6) {
        dfish<path> engine(t.n, status);
        engine.scale = 1e6;
        engine.invScale = 1e-6;
        runOne(state, engine, t);
    } else {
        dfex<double> engine(t.n, status);
        engine.setJoinEqualLengths(variant == Exact);
        runOne(state, engine, t);
    }
    MemoryBudget::setRunLimitOverride(0);
}

// The 2x29 table on which a widely used implementation reports 0.0261.
void BM_Fisher29(benchmark::State &state, Variant variant)
{
    fisherbench::Table t;
    t.x = {1, 4, 3, 4, 0, 4, 2, 6, 4, 2, 6, 1, 2, 3, 4, 3, 1, 4, 2, 3, 4, 3, 5, 3, 3, 1, 9, 5, 3};
    const std::vector<int> x2{0, 2, 2, 4, 2, 2, 1, 2, 1, 0, 5, 3, 4, 2, 2, 4, 5, 1, 6, 0, 0, 3, 2, 4, 7, 1, 2, 5, 2};
    for (size_t j = 0; j < t.x.size(); ++j) {
        t.c.push_back(t.x[j] + x2[j]);
        t.n += t.c.back();
    }
    t.N = int(t.c.size());
    BM_Fisher(state, variant, t);
}

void registerAll()
{
    const std::vector<fisherbench::Table> tables = fisherbench::suite();
    for (int variant : {Exact, Approximate6, ExactSeparate}) {
        const char *name = variant == Exact ? "exact" : variant == Approximate6 ? "approx6" : "exact_separate";
        for (size_t i = 0; i < tables.size(); ++i) {
            const fisherbench::Table &t = tables[i];
            // One element per partial table: only where it can finish.
            if (variant == ExactSeparate && t.n > 150)
                continue;
            char label[96];
            std::snprintf(label, sizeof label, "%s/t%02zu_N%d_n%d_%d", name, i + 1, t.N, t.n, t.index);
            benchmark::RegisterBenchmark(label, BM_Fisher, Variant(variant), t)
                ->Iterations(1)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
        }
        benchmark::RegisterBenchmark((std::string(name) + "/table_2x29").c_str(), BM_Fisher29, Variant(variant))
            ->Iterations(1)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }
}

} // namespace

int main(int argc, char **argv)
{
    // Our own flags, taken out before Google Benchmark sees the rest.
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--cap_s=", 8) == 0)
            capSeconds = std::atoi(argv[i] + 8);
        else if (std::strncmp(argv[i], "--budget_mb=", 12) == 0)
            budgetMiB = std::atoll(argv[i] + 12);
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
    registerAll();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
