// Speed of the Monte Carlo tests: single hypergeometric draws, one thread's
// samples of Guo and Thompson's nine-allele genotype table, and whole runs
// on every core (the default of the window and of velmora-cli): each of the
// 48 Fisher suite tables (suite.h) at B = 100,000, the nine-allele table at
// B = 1,000,000, and a 6 x 8 chi-squared table at B = 100,000. BM_BesideR
// times, on one thread at B = 1,000,000, the tables that
// r_speed.R gives R: the 10 x 10 chi-squared table of tables/ (n = 5,000),
// the Fisher suite's 2 x 30 table #47 (n = 1,000, tables/fisher-2x30.tsv)
// and the nine-allele table. Whole runs go once each, in wall-clock time;
// counters: P-value, half-width of the 99% interval, status (0 finished).
#include "suite.h"

#include "chi2model.h"
#include "clopperpearson.h"
#include "fishermodel.h"
#include "guothompson.h"
#include "hwmodel.h"
#include "mcrunner.h"
#include "mcstream.h"
#include "tablesampler.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

void report(benchmark::State &state, const mccount &count)
{
    state.counters["status"] = count.status;
    if (count.status != mccount::Finished)
        return;
    const probabilityinterval interval = clopperPearson(count.extreme, count.samples, 0.99);
    state.counters["P"] = double(count.extreme + 1) / double(count.samples + 1);
    state.counters["halfwidth"] = (interval.high - interval.low) / 2.0;
}

void BM_Hypergeometric(benchmark::State &state)
{
    const qint64 total = state.range(0);
    const qint64 marked = state.range(1);
    const qint64 draws = state.range(2);
    lnfactorial lf;
    lf.init(total);
    tablesampler sampler(lf);
    mcgenerator engine = mcstream::chunkEngine(1, 0);
    for (auto _ : state)
        benchmark::DoNotOptimize(sampler.hypergeometric(engine, total, marked, draws));
}
BENCHMARK(BM_Hypergeometric)
    ->Args({40, 10, 20})
    ->Args({1000, 400, 500})
    ->Args({16594, 6329, 8297})
    ->Args({1000000, 300000, 500000});

void BM_GuoThompsonSample(benchmark::State &state)
{
    const std::vector<int> table = guoThompsonTable();
    const hwmodel model(9, table.data());
    const std::unique_ptr<mcsampler> sampler = model.sampler();
    mcgenerator engine = mcstream::chunkEngine(1, 0);
    for (auto _ : state)
        benchmark::DoNotOptimize(sampler->drawExtreme(engine));
}
BENCHMARK(BM_GuoThompsonSample);

void BM_FisherSuite(benchmark::State &state)
{
    static const std::vector<fisherbench::Table> tables = fisherbench::suite();
    const fisherbench::Table &t = tables[size_t(state.range(0))];
    const fishermodel model(int(t.x.size()), t.x.data(), t.c.data());
    mccount count;
    for (auto _ : state)
        count = countExtremes(model, 100000, 20240601, 0, 100);
    state.SetLabel("N=" + std::to_string(t.N) + " n=" + std::to_string(t.n) + " #" + std::to_string(t.index));
    report(state, count);
}
BENCHMARK(BM_FisherSuite)->DenseRange(0, 47)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_GuoThompsonRun(benchmark::State &state)
{
    const std::vector<int> table = guoThompsonTable();
    const hwmodel model(9, table.data());
    mccount count;
    for (auto _ : state)
        count = countExtremes(model, state.range(0), 1, int(state.range(1)), 100);
    report(state, count);
}
BENCHMARK(BM_GuoThompsonRun)
    ->Args({1000000, 0})
    ->Args({1000000, 1})
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

void BM_Chi2Run(benchmark::State &state)
{
    // 6 x 8 counts of a few hundred, drawn once from a fixed stream.
    std::mt19937_64 engine(7);
    std::vector<int> cells(48);
    for (int &cell : cells)
        cell = 5 + int(engine() % 60);
    const chi2model model(6, 8, cells.data(), false);
    mccount count;
    for (auto _ : state)
        count = countExtremes(model, 100000, 3, 0, 100);
    report(state, count);
}
BENCHMARK(BM_Chi2Run)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

// The counts of a text table of whole numbers, row by row.
std::vector<int> readCounts(const char *name, int &rows)
{
    std::ifstream file(std::string(VELMORA_MC_TABLES) + "/" + name);
    std::vector<int> counts;
    rows = 0;
    for (std::string line; std::getline(file, line); ++rows) {
        std::istringstream fields(line);
        for (int count = 0; fields >> count;)
            counts.push_back(count);
    }
    return counts;
}

void BM_BesideR(benchmark::State &state)
{
    std::unique_ptr<mcmodel> model;
    if (state.range(0) == 0) {
        int rows = 0;
        const std::vector<int> cells = readCounts("chi2-10x10.tsv", rows);
        model = std::make_unique<chi2model>(rows, int(cells.size()) / std::max(rows, 1), cells.data(), false);
        state.SetLabel("chi-squared 10 x 10, n = 5000");
    } else if (state.range(0) == 1) {
        const fisherbench::Table t = fisherbench::suite()[46];
        model = std::make_unique<fishermodel>(int(t.x.size()), t.x.data(), t.c.data());
        state.SetLabel("Fisher 2 x 30, n = 1000");
    } else {
        const std::vector<int> table = guoThompsonTable();
        model = std::make_unique<hwmodel>(9, table.data());
        state.SetLabel("Hardy-Weinberg, Guo and Thompson");
    }
    mccount count;
    for (auto _ : state)
        count = countExtremes(*model, 1000000, 20240601, 1, 100);
    report(state, count);
}
BENCHMARK(BM_BesideR)->DenseRange(0, 2)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
