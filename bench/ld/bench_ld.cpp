// Two-locus LD of pairs like those of a scan: 2,000 individuals whose
// haplotypes share founders with a probability that falls with distance
// (as simulate_ld.py makes them), 1% of calls missing. The whole pair (its
// nine counts from the bit planes, the estimate with its bounds, its JSON
// line), and the parts: the counts, the estimate without and with the
// bounds' grid.
#include "ldlines.h"
#include "ldwindow.h"
#include "twolocus.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <vector>

namespace {

constexpr int kIndividuals = 2000;
constexpr int kVariants = 256;

struct Scan
{
    std::vector<std::unique_ptr<PackedCalls>> variants;
    std::vector<twolocus::Counts> tables;   // of every pair within 64 variants
};

const Scan &scan()
{
    static const Scan made = [] {
        Scan s;
        std::mt19937_64 random(20240607);
        constexpr int kFounders = 12;
        std::vector<int> founderOf(2 * kIndividuals);
        for (int &f : founderOf)
            f = int(random() % kFounders);
        for (int v = 0; v < kVariants; ++v) {
            std::uniform_real_distribution<double> unit(0.0, 1.0);
            for (int &f : founderOf)
                if (unit(random) < 0.1)
                    f = int(random() % kFounders);
            const double p = 0.05 + 0.9 * unit(random);
            int founders[kFounders];
            for (int &a : founders)
                a = unit(random) < p ? 1 : 0;
            VariantCodes codes;
            codes.identity.chrom = "1";
            codes.identity.pos = 1000 * (v + 1);
            codes.identity.id = "rs" + QByteArray::number(v + 1);
            codes.identity.ref = "A";
            codes.identity.alts = {"G"};
            codes.ordinal = v + 1;
            for (int i = 0; i < kIndividuals; ++i) {
                const int a = founders[founderOf[2 * i]] ^ (unit(random) < 0.02 ? 1 : 0);
                const int b = founders[founderOf[2 * i + 1]] ^ (unit(random) < 0.02 ? 1 : 0);
                codes.calls.push_back(unit(random) < 0.01 ? callcode::kMissing : callcode::diploid(a, b, false));
            }
            codes.tallyFlags();
            s.variants.push_back(std::make_unique<PackedCalls>(codes));
        }
        for (int i = 0; i < kVariants; ++i) {
            for (int j = i + 1; j < std::min(kVariants, i + 64); ++j) {
                PairCounts counts;
                countPair(*s.variants[std::size_t(i)], *s.variants[std::size_t(j)], &counts);
                twolocus::Counts table;
                std::copy(&counts.n[0][0], &counts.n[0][0] + 9, &table.n[0][0]);
                twolocus::Figures f;
                if (twolocus::estimate(table, &f) == twolocus::Status::Ok)
                    s.tables.push_back(table);
            }
        }
        return s;
    }();
    return made;
}

void BM_Counts(benchmark::State &state)
{
    const Scan &s = scan();
    PairCounts counts;
    std::size_t i = 0;
    for (auto _ : state) {
        countPair(*s.variants[i % kVariants], *s.variants[(i + 7) % kVariants], &counts);
        benchmark::DoNotOptimize(counts);
        ++i;
    }
}
BENCHMARK(BM_Counts);

void BM_Estimate(benchmark::State &state)
{
    const Scan &s = scan();
    twolocus::Figures f;
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(twolocus::estimate(s.tables[i % s.tables.size()], &f));
        ++i;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Estimate);

void BM_WholePair(benchmark::State &state)
{
    const Scan &s = scan();
    const LdLines lines(false);
    std::vector<LdLines::Identity> names;
    for (const auto &v : s.variants)
        names.push_back(lines.identity(v->identity));
    QByteArray out;
    PairCounts counts;
    twolocus::Counts table;
    twolocus::Figures f;
    std::size_t i = 0;
    for (auto _ : state) {
        const std::size_t a = i % kVariants, b = (i + 7) % kVariants;
        countPair(*s.variants[a], *s.variants[b], &counts);
        std::copy(&counts.n[0][0], &counts.n[0][0] + 9, &table.n[0][0]);
        if (twolocus::estimate(table, &f) == twolocus::Status::Ok)
            lines.append(out, names[a], names[b], f, qQNaN());
        if (out.size() > (1 << 20))
            out.resize(0);
        ++i;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_WholePair);

} // namespace

BENCHMARK_MAIN();
