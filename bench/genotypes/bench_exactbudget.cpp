// The rate of the exact engines' work units, from which a genotype run
// turns --exact-limit SECONDS into a count of units (cli/exactbudget.h):
// the network Hardy-Weinberg test on K = 3 to 5 alleles, and on 8 to 28
// alleles of skewed frequencies (as microsatellites have), and the Fisher
// 2 x G network on G = 4 to 15 genotype classes, on random tables of 20 to
// 2,000 individuals. Each runs once, up to 2^26 units, timed in the
// thread's CPU time; counters: units, units per second, finished (1) or
// capped (0). bench/genotypes/exact_limit.sh checks the rate through
// velmora-cli on real many-allele loci.
#include "calcpoll.h"
#include "contingencyruns.h"
#include "fisherrun.h"
#include "testinput.h"

#include <QLoggingCategory>

#include <benchmark/benchmark.h>

#include <ctime>
#include <random>

namespace {

// Beyond any calibration table's seconds.
constexpr quint64 kWorkCap = quint64(1) << 26;

// Genotypes of n individuals drawn from K alleles of random frequencies;
// skewed, a few common alleles and many rare ones, as microsatellites have.
std::vector<int> randomGenotypes(int K, int n, unsigned seed, bool skewed = false)
{
    std::mt19937 rng(seed);
    std::vector<double> freq(static_cast<std::size_t>(K));
    for (double &f : freq) {
        const double u = std::uniform_real_distribution<double>(0.0, 1.0)(rng);
        f = skewed ? 0.01 + u * u * u : 0.1 + u;
    }
    std::discrete_distribution<int> allele(freq.begin(), freq.end());
    std::vector<int> table(std::size_t(K) * std::size_t(K), 0);
    for (int i = 0; i < n; ++i) {
        int a = allele(rng), b = allele(rng);
        if (a > b)
            std::swap(a, b);
        ++table[std::size_t(a) * std::size_t(K) + std::size_t(b)];
    }
    return table;
}

// The calling thread's CPU time: the limit is one of CPU time, and other
// work on the machine must not stretch a run's figure.
double threadSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + 1e-9 * double(now.tv_nsec);
}

template <typename Run>
void measure(benchmark::State &state, Run run)
{
    for (auto _ : state) {
        CalcWorkAllowance allowance(kWorkCap);
        const double start = threadSeconds();
        const int status = run();
        const double seconds = threadSeconds() - start;
        state.SetIterationTime(seconds);
        state.counters["units"] = double(allowance.workUsed());
        state.counters["units_per_s"] = double(allowance.workUsed()) / seconds;
        state.counters["finished"] = status == 0 ? 1 : 0;
    }
}

void BM_HardyWeinbergNetwork(benchmark::State &state)
{
    const int K = int(state.range(0));
    const int n = int(state.range(1));
    TestInput in;
    in.testSize = K;
    const std::vector<int> table = randomGenotypes(K, n, unsigned(K * 7919 + n));
    in.bufA.assign(table.begin(), table.end());
    in.bufA.resize(std::max<std::size_t>(in.bufA.size(), TestInput::kMinBufferSize));
    measure(state, [&] { return runHardyWeinbergTest(in, ProgressDisplay(), nullptr, ReportText::FiguresOnly).status; });
}
BENCHMARK(BM_HardyWeinbergNetwork)
    ->ArgsProduct({{3, 4, 5}, {50, 100, 200, 400, 800, 1600}})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// Many alleles (the microsatellite loci of adegenet's microbov and
// nancycats have 5 to 22, up to 28 among a few individuals): nodes of many
// counts, whose bounds cost the square of their width.
void BM_HardyWeinbergManyAlleles(benchmark::State &state)
{
    const int K = int(state.range(0));
    const int n = int(state.range(1));
    TestInput in;
    in.testSize = K;
    const std::vector<int> table = randomGenotypes(K, n, unsigned(K * 7919 + n), true);
    in.bufA.assign(table.begin(), table.end());
    in.bufA.resize(std::max<std::size_t>(in.bufA.size(), TestInput::kMinBufferSize));
    measure(state, [&] { return runHardyWeinbergTest(in, ProgressDisplay(), nullptr, ReportText::FiguresOnly).status; });
}
BENCHMARK(BM_HardyWeinbergManyAlleles)
    ->ArgsProduct({{8, 12, 16, 22, 28}, {20, 60, 217, 700}})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BM_FisherNetwork(benchmark::State &state)
{
    const int G = int(state.range(0));
    const int n = int(state.range(1));
    std::mt19937 rng(unsigned(G * 104729 + n));
    TestInput in;
    in.testSize = G;
    in.total = 0;
    std::vector<double> weight(static_cast<std::size_t>(G));
    for (double &w : weight)
        w = 0.2 + std::uniform_real_distribution<double>(0.0, 1.0)(rng);
    std::discrete_distribution<int> column(weight.begin(), weight.end());
    std::vector<int> first(static_cast<std::size_t>(G), 0), sums(static_cast<std::size_t>(G), 0);
    for (int i = 0; i < n; ++i) {
        const int c = column(rng);
        ++sums[std::size_t(c)];
        if (i % 2 == 0)
            ++first[std::size_t(c)];
    }
    for (int c = 0; c < G; ++c) {
        in.bufC[std::size_t(c)] = first[std::size_t(c)];
        in.bufD[std::size_t(c)] = std::max(1, sums[std::size_t(c)]);
        in.total += in.bufD[std::size_t(c)];
    }
    measure(state, [&] { return runFisherTest(in, ProgressDisplay(), ReportText::FiguresOnly).status; });
}
BENCHMARK(BM_FisherNetwork)
    ->ArgsProduct({{4, 6, 10, 15}, {100, 250, 500, 1000, 2000}})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    // The engines' debug lines, as velmora-cli drops them.
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
