// Per-table time of the exact Fisher test of small tables on random
// case-control data of 2,000 individuals (1,000 cases, 1,000 controls,
// allele frequencies 0.02 to 0.98, a mild association now and then): the
// four tables of one SNP, genotypes 2 x 3, alleles 2 x 2 (n = 4,000),
// carriers and homozygotes 2 x 2. The direct sum, and the exact network on
// the same tables for comparison.
#include "dfex.h"
#include "fishersmall.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace {

struct Table
{
    std::vector<int> x;
    std::vector<int> c;
    int n = 0;
};

// Kind 0: genotypes; 1: alleles; 2: carriers of allele A; 3: its homozygotes.
const std::vector<Table> &tables(int kind)
{
    static const std::vector<std::vector<Table>> pools = [] {
        std::mt19937 rng(1000);
        std::uniform_real_distribution<double> unit(0.0, 1.0);
        std::vector<std::vector<Table>> out(4);
        for (int t = 0; t < 4096; ++t) {
            const double p = 0.02 + 0.96 * unit(rng);
            const double shift = t % 4 == 0 ? 0.03 * (unit(rng) - 0.5) : 0.0;
            int g[2][3] = {{0, 0, 0}, {0, 0, 0}};
            for (int row = 0; row < 2; ++row) {
                const double q = std::clamp(p + (row == 0 ? shift : 0.0), 0.0, 1.0);
                for (int i = 0; i < 1000; ++i)
                    ++g[row][(unit(rng) < q ? 1 : 0) + (unit(rng) < q ? 1 : 0)];
            }
            const auto add = [&](int kind, std::vector<int> a, std::vector<int> b) {
                Table table;
                for (size_t j = 0; j < a.size(); ++j) {
                    if (a[j] + b[j] == 0)
                        return;  // a column the test dialog refuses
                    table.x.push_back(a[j]);
                    table.c.push_back(a[j] + b[j]);
                    table.n += a[j] + b[j];
                }
                out[size_t(kind)].push_back(table);
            };
            add(0, {g[0][0], g[0][1], g[0][2]}, {g[1][0], g[1][1], g[1][2]});
            add(1, {g[0][1] + 2 * g[0][2], g[0][1] + 2 * g[0][0]}, {g[1][1] + 2 * g[1][2], g[1][1] + 2 * g[1][0]});
            add(2, {g[0][1] + g[0][2], g[0][0]}, {g[1][1] + g[1][2], g[1][0]});
            add(3, {g[0][2], g[0][0] + g[0][1]}, {g[1][2], g[1][0] + g[1][1]});
        }
        return out;
    }();
    return pools[size_t(kind)];
}

void BM_FisherSmallDirect(benchmark::State &state)
{
    const std::vector<Table> &pool = tables(int(state.range(0)));
    size_t i = 0;
    double sum = 0.0;
    for (auto _ : state) {
        const Table &t = pool[i++ % pool.size()];
        double p = 0.0;
        fishersmall::pValue(t.x.data(), t.c.data(), int(t.c.size()), &p);
        sum += p;
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FisherSmallDirect)->ArgName("kind")->DenseRange(0, 3);

void BM_FisherSmallNetwork(benchmark::State &state)
{
    const std::vector<Table> &pool = tables(int(state.range(0)));
    size_t i = 0;
    double sum = 0.0;
    for (auto _ : state) {
        const Table &t = pool[i++ % pool.size()];
        int status = 0;
        dfex<double> engine(t.n, status);
        double p = 0.0;
        if (status == 0)
            engine.run(t.x.data(), t.c.data(), int(t.c.size()), p);
        sum += p;
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FisherSmallNetwork)->ArgName("kind")->DenseRange(0, 3);

} // namespace

BENCHMARK_MAIN();
