// velmora-cli in batch mode on 100,000 two-allele Hardy-Weinberg tables of
// 50 to 5,000 individuals, the whole process timed as a user would (goal:
// under 10 s), beside the same tables through the engine alone and square
// tables through the chi-squared test, which show what the tool itself
// (reading, grid, check, output) costs.
#include "contingencyruns.h"
#include "testinput.h"

#include <QByteArray>
#include <QFile>
#include <QLoggingCategory>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>
#include <sys/resource.h>
#include <random>
#include <vector>

namespace {

constexpr int kTables = 100000;

// CPU seconds of the finished child processes: on a loaded machine the
// wall time says more about the neighbours than about the tool.
double childCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
           + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

struct Genotypes
{
    int aa = 0;
    int ab = 0;
    int bb = 0;
};

// Individuals drawn at Hardy-Weinberg proportions for an allele frequency
// between 0.05 and 0.95, with a few homozygotes moved to heterozygotes or
// back so that P-values spread over the whole range.
const std::vector<Genotypes> &tables()
{
    static const std::vector<Genotypes> all = [] {
        std::vector<Genotypes> result;
        result.reserve(kTables);
        std::mt19937 random(424242);
        std::uniform_int_distribution<int> size(50, 5000);
        std::uniform_real_distribution<double> frequency(0.05, 0.95);
        while (int(result.size()) < kTables) {
            const int n = size(random);
            const double p = frequency(random);
            Genotypes g;
            g.aa = std::binomial_distribution<int>(n, p * p)(random);
            const double heterozygous = 2 * p * (1 - p) / (1 - p * p);
            g.ab = std::binomial_distribution<int>(n - g.aa, heterozygous)(random);
            g.bb = n - g.aa - g.ab;
            const int shift = std::uniform_int_distribution<int>(-3, 3)(random);
            if (g.aa + shift >= 0 && g.bb + shift >= 0 && g.ab - 2 * shift >= 0) {
                g.aa += shift;
                g.bb += shift;
                g.ab -= 2 * shift;
            }
            // Both alleles present, as the check demands.
            if (2 * g.aa + g.ab > 0 && 2 * g.bb + g.ab > 0)
                result.push_back(g);
        }
        return result;
    }();
    return all;
}

// The batch file: triangular tables (the lower cell left empty), or full
// square ones for the chi-squared test, separated by empty lines.
QByteArray batchText(bool triangular)
{
    QByteArray text;
    text.reserve(kTables * 24);
    for (const Genotypes &g : tables()) {
        text += QByteArray::number(g.aa) + '\t' + QByteArray::number(g.ab) + '\n';
        text += (triangular ? QByteArray() : QByteArray::number(g.ab + 1)) + '\t'
                + QByteArray::number(g.bb + 1) + "\n\n";
    }
    return text;
}

// Runs the tool once on the batch; the time is the whole process.
void runTool(benchmark::State &state, const char *test, bool triangular)
{
    QTemporaryDir dir;
    const QString input = dir.filePath(QStringLiteral("batch.tsv"));
    {
        QFile file(input);
        const QByteArray text = batchText(triangular);
        if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size()) {
            state.SkipWithError("cannot write the batch file");
            return;
        }
    }
    const QString output = dir.filePath(QStringLiteral("out.jsonl"));
    const double cpuBefore = childCpuSeconds();
    for (auto _ : state) {
        QProcess process;
        process.setStandardOutputFile(output);
        process.setStandardErrorFile(QProcess::nullDevice());
        const auto start = std::chrono::steady_clock::now();
        process.start(QStringLiteral(VELMORA_CLI_PATH), {QString::fromLatin1(test), input});
        const bool done = process.waitForStarted() && process.waitForFinished(-1);
        const auto stop = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(stop - start).count());
        if (!done || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
            state.SkipWithError("velmora-cli failed");
            return;
        }
    }
    state.counters["child_cpu_s"] = childCpuSeconds() - cpuBefore;
    QFile result(output);
    if (!result.open(QIODevice::ReadOnly) || result.readAll().count('\n') != kTables)
        state.SkipWithError("not one line per table");
    state.counters["tables/s"] =
        benchmark::Counter(double(kTables) * double(state.iterations()), benchmark::Counter::kIsRate);
}

void batchHardyWeinberg(benchmark::State &state)
{
    runTool(state, "hwe", true);
}

void batchChiSquared(benchmark::State &state)
{
    runTool(state, "chi2", false);
}

// The same tables through the shared run function, without the tool.
void engineOnly(benchmark::State &state)
{
    // The run's diagnostics would fill the terminal.
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
    std::vector<TestInput> inputs(tables().size());
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        const Genotypes &g = tables()[i];
        TestInput &in = inputs[i];
        in.nCols = in.nRows = in.testSize = 2;
        in.bufA[0] = g.aa;
        in.bufA[1] = g.ab;
        in.bufA[2] = 0;
        in.bufA[3] = g.bb;
    }
    for (auto _ : state) {
        for (const TestInput &in : inputs) {
            const RunReport run = runHardyWeinbergTest(in, {});
            if (run.status != 0) {
                state.SkipWithError("run failed");
                return;
            }
            benchmark::DoNotOptimize(run.pValue);
        }
    }
    state.counters["tables/s"] =
        benchmark::Counter(double(kTables) * double(state.iterations()), benchmark::Counter::kIsRate);
}

} // namespace

BENCHMARK(batchHardyWeinberg)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(batchChiSquared)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(engineOnly)->Iterations(1)->Unit(benchmark::kSecond);

BENCHMARK_MAIN();
