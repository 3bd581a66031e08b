// The haplotype engine on a region like simulate_region.py's: 10 SNPs,
// 1,000 cases and 1,000 controls, haplotypes copied from 12 founders with
// rare changes, 1% of genotypes missing. One EM fit, the whole association
// without permutations (three fits of 20 starts, the odds ratios and
// scores), and 100 permutations.
#include "haplotypeassoc.h"
#include "haplotypeem.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>

namespace {

const HaplotypeSample &region()
{
    static const HaplotypeSample sample = [] {
        constexpr int loci = 10;
        std::mt19937 random(35);
        std::vector<std::vector<int>> founders(12, std::vector<int>(loci));
        for (auto &founder : founders)
            for (int &allele : founder)
                allele = int(random() % 2);
        std::vector<double> weights;
        std::exponential_distribution<double> spread(1.0);
        for (int f = 0; f < 12; ++f)
            weights.push_back(spread(random));
        std::sort(weights.rbegin(), weights.rend());
        std::vector<double> caseWeights = weights;
        caseWeights[1] *= 2.0;
        std::uniform_real_distribution<double> unit(0.0, 1.0);
        HaplotypeSample s;
        s.loci = loci;
        for (int i = 0; i < 2000; ++i) {
            const bool isCase = i < 1000;
            std::discrete_distribution<int> pick(isCase ? caseWeights.begin() : weights.begin(),
                                                 isCase ? caseWeights.end() : weights.end());
            const std::vector<int> &a = founders[std::size_t(pick(random))];
            const std::vector<int> &b = founders[std::size_t(pick(random))];
            for (int j = 0; j < loci; ++j) {
                const int copies = (a[std::size_t(j)] ^ (unit(random) < 0.004)) + (b[std::size_t(j)] ^ (unit(random) < 0.004));
                s.genotypes.push_back(unit(random) < 0.01 ? haplotypeem::kMissing : qint8(copies));
            }
            s.isCase.push_back(qint8(isCase));
        }
        return s;
    }();
    return sample;
}

void BM_OneFit(benchmark::State &state)
{
    const HaplotypeSample &s = region();
    const haplotypeem::Patterns patterns = haplotypeem::Patterns::from(s.genotypes, s.loci);
    const std::vector<double> weights = patterns.weights();
    const haplotypeem::Settings settings{int(state.range(0)), 1, 1};
    for (auto _ : state)
        benchmark::DoNotOptimize(haplotypeem::fit(patterns, weights, settings).loglik);
}
BENCHMARK(BM_OneFit)->Arg(1)->Arg(20)->Unit(benchmark::kMillisecond);

void BM_Association(benchmark::State &state)
{
    HaplotypeSettings settings;
    settings.permutations = state.range(0);
    settings.seed = 1;
    settings.threads = 1;
    for (auto _ : state) {
        HaplotypeFigures figures;
        QString error;
        benchmark::DoNotOptimize(haplotypeassoc::analyse(region(), settings, &figures, &error));
    }
}
BENCHMARK(BM_Association)->Arg(0)->Arg(100)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
