// The genetic models of case/control SNPs like those of PLINK's
// --simulate (1,000 cases, 1,000 controls, allele frequency 0.02 to 0.98,
// one SNP in ten with a per-allele odds ratio of 1.5): the whole engine per
// SNP, its parts, and the conditional odds ratio of a table of 2^30
// individuals, whose support a full sweep per step could not afford.
#include "conditionalodds.h"
#include "fishersmall.h"
#include "geneticmodels.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace {

struct Snp
{
    qint64 cases[3];
    qint64 controls[3];
};

const std::vector<Snp> &snps()
{
    static const std::vector<Snp> all = [] {
        std::vector<Snp> result;
        std::mt19937 random(20240523);
        std::uniform_real_distribution<double> frequency(0.02, 0.98);
        for (int i = 0; i < 4096; ++i) {
            const double p = frequency(random);
            const double odds = i % 10 == 0 ? 1.5 : 1.0;
            const double pc = odds * p / (1.0 - p + odds * p);
            Snp snp{};
            for (int g = 0; g < 1000; ++g) {
                std::bernoulli_distribution control(p), exposed(pc);
                ++snp.controls[int(control(random)) + int(control(random))];
                ++snp.cases[int(exposed(random)) + int(exposed(random))];
            }
            if (geneticmodels::valid(snp.cases, snp.controls, 0.95))
                result.push_back(snp);
        }
        return result;
    }();
    return all;
}

void BM_WholeSnp(benchmark::State &state)
{
    const std::vector<Snp> &all = snps();
    std::size_t i = 0;
    for (auto _ : state) {
        const Snp &snp = all[i++ % all.size()];
        ModelFigures figures;
        benchmark::DoNotOptimize(geneticmodels::compute(snp.cases, snp.controls, 0.95, &figures));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_WholeSnp);

// The allelic table of each SNP: the exact P with its mid-p, and the
// conditional odds ratio with its interval.
void BM_AllelicFisher(benchmark::State &state)
{
    const std::vector<Snp> &all = snps();
    std::size_t i = 0;
    for (auto _ : state) {
        const Snp &s = all[i++ % all.size()];
        const int x[2] = {int(2 * s.cases[2] + s.cases[1]), int(2 * s.cases[0] + s.cases[1])};
        const int c[2] = {int(x[0] + 2 * s.controls[2] + s.controls[1]), int(x[1] + 2 * s.controls[0] + s.controls[1])};
        double p = 0.0, midp = 0.0;
        benchmark::DoNotOptimize(fishersmall::pValue(x, c, 2, &p, &midp));
    }
}
BENCHMARK(BM_AllelicFisher);

void BM_AllelicConditionalOdds(benchmark::State &state)
{
    const std::vector<Snp> &all = snps();
    std::size_t i = 0;
    for (auto _ : state) {
        const Snp &s = all[i++ % all.size()];
        OddsRatioFigure f;
        benchmark::DoNotOptimize(conditionalodds::compute(2 * s.cases[2] + s.cases[1], 2 * s.cases[0] + s.cases[1],
                                                          2 * s.controls[2] + s.controls[1],
                                                          2 * s.controls[0] + s.controls[1], 0.95, &f));
    }
}
BENCHMARK(BM_AllelicConditionalOdds);

void BM_GenotypicFisher(benchmark::State &state)
{
    const std::vector<Snp> &all = snps();
    std::size_t i = 0;
    for (auto _ : state) {
        const Snp &s = all[i++ % all.size()];
        const int x[3] = {int(s.cases[0]), int(s.cases[1]), int(s.cases[2])};
        const int c[3] = {int(s.cases[0] + s.controls[0]), int(s.cases[1] + s.controls[1]),
                          int(s.cases[2] + s.controls[2])};
        if (c[0] == 0 || c[1] == 0 || c[2] == 0)
            continue;
        double p = 0.0, midp = 0.0;
        benchmark::DoNotOptimize(fishersmall::pValue(x, c, 3, &p, &midp));
    }
}
BENCHMARK(BM_GenotypicFisher);

void BM_HugeTable(benchmark::State &state)
{
    for (auto _ : state) {
        OddsRatioFigure f;
        benchmark::DoNotOptimize(conditionalodds::compute(300000000, 236870912, 250000000, 286870912, 0.95, &f));
    }
}
BENCHMARK(BM_HugeTable)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
