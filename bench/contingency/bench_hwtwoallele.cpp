// Per-table time of the two-allele Hardy-Weinberg test on random genotype
// tables of 2,000 individuals (allele frequencies 0.02 to 0.98, genotypes
// drawn in equilibrium): the direct sum, and the network on the same
// tables for comparison.
#include "hwexact.h"
#include "hwtwoallele.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace {

struct Genotypes
{
    int homA;
    int het;
    int homB;
};

const std::vector<Genotypes> &tables()
{
    static const std::vector<Genotypes> pool = [] {
        std::mt19937 rng(2000);
        std::uniform_real_distribution<double> unit(0.0, 1.0);
        std::vector<Genotypes> out;
        for (int t = 0; t < 4096; ++t) {
            const double p = 0.02 + 0.96 * unit(rng);
            Genotypes g{0, 0, 0};
            for (int i = 0; i < 2000; ++i) {
                const int copies = (unit(rng) < p ? 1 : 0) + (unit(rng) < p ? 1 : 0);
                (copies == 2 ? g.homA : copies == 1 ? g.het : g.homB)++;
            }
            out.push_back(g);
        }
        return out;
    }();
    return pool;
}

void BM_HwTwoAlleleDirect(benchmark::State &state)
{
    const std::vector<Genotypes> &pool = tables();
    size_t i = 0;
    double sum = 0.0;
    for (auto _ : state) {
        const Genotypes &g = pool[i++ % pool.size()];
        double p = 0.0;
        hwtwoallele::pValue(g.homA, g.het, g.homB, &p);
        sum += p;
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_HwTwoAlleleDirect);

void BM_HwTwoAlleleNetwork(benchmark::State &state)
{
    const std::vector<Genotypes> &pool = tables();
    size_t i = 0;
    double sum = 0.0;
    for (auto _ : state) {
        const Genotypes &g = pool[i++ % pool.size()];
        const int table[4] = {g.homA, g.het, 0, g.homB};
        double p = 0.0;
        int status = 0;
        hwexact engine(&status, 2, table, &p);
        sum += p;
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_HwTwoAlleleNetwork);

} // namespace

BENCHMARK_MAIN();
