// The strata engine: the exact conditional MLE and interval (and P) of 50
// strata of 2,000 individuals each; and a scan's variant: four strata of
// 500 samples (1,000 alleles each, allele frequencies shifted per stratum,
// frequency 0.02 to 0.5), with the Mantel-Haenszel figures, Breslow-Day
// and the exact estimate, interval and P; the meta-analysis of the 40
// studies of meta-40-studies.tsv (100 to 2,000 controls each) under all
// six models with every method, sensitivity and bias (Zelen's test by its
// default Monte Carlo estimate where the exact sum is beyond its budget).
#include "exactstrata.h"
#include "metarun.h"
#include "stratatests.h"

#include <benchmark/benchmark.h>

#include <QFile>
#include <QStringList>

#include <random>
#include <vector>

namespace {

std::vector<StratumTable> strata(std::mt19937 &random, int k, int individuals, double low, double high,
                                 double odds)
{
    std::vector<StratumTable> tables;
    std::uniform_real_distribution<double> frequency(low, high);
    for (int i = 0; i < k; ++i) {
        const double p = frequency(random);
        const double pc = odds * p / (1.0 - p + odds * p);
        const int cases = individuals / 2, controls = individuals - cases;
        StratumTable t;
        t.a = std::binomial_distribution<qint64>(cases, pc)(random);
        t.b = cases - t.a;
        t.c = std::binomial_distribution<qint64>(controls, p)(random);
        t.d = controls - t.c;
        tables.push_back(t);
    }
    return tables;
}

const std::vector<std::vector<StratumTable>> &largeSets()
{
    static const std::vector<std::vector<StratumTable>> sets = [] {
        std::mt19937 random(20260504);
        std::vector<std::vector<StratumTable>> result;
        for (int i = 0; i < 16; ++i)
            result.push_back(strata(random, 50, 2000, 0.1, 0.5, 1.2));
        return result;
    }();
    return sets;
}

const std::vector<std::vector<StratumTable>> &variants()
{
    static const std::vector<std::vector<StratumTable>> sets = [] {
        std::mt19937 random(20260505);
        std::uniform_real_distribution<double> frequency(0.02, 0.5);
        std::vector<std::vector<StratumTable>> result;
        for (int i = 0; i < 4096; ++i) {
            const double p = frequency(random);
            result.push_back(strata(random, 4, 1000, 0.8 * p, 1.2 * p, i % 10 == 0 ? 1.5 : 1.0));
        }
        return result;
    }();
    return sets;
}

void BM_ExactFiftyStrata(benchmark::State &state)
{
    const auto &sets = largeSets();
    exactstrata::Workspace work;
    std::size_t i = 0;
    for (auto _ : state) {
        const auto &t = sets[i++ % sets.size()];
        ExactStrataFigures f;
        benchmark::DoNotOptimize(exactstrata::compute(t.data(), int(t.size()), 0.95, work, &f, int(state.range(0))));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ExactFiftyStrata)
    ->Arg(exactstrata::Estimate | exactstrata::Interval)
    ->Arg(exactstrata::Everything)
    ->Unit(benchmark::kMillisecond);

void BM_ScanVariant(benchmark::State &state)
{
    const auto &sets = variants();
    exactstrata::Workspace work;
    std::size_t i = 0;
    for (auto _ : state) {
        const auto &t = sets[i++ % sets.size()];
        StrataFigures f;
        benchmark::DoNotOptimize(stratatests::compute(t.data(), int(t.size()), 0.95, work, &f, int(state.range(0))));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ScanVariant)->Arg(0)->Arg(exactstrata::Everything)->Unit(benchmark::kMicrosecond);

MetaInput fortyStudies()
{
    MetaInput input;
    QFile file(QStringLiteral(VELMORA_BENCH_STRATA "/meta-40-studies.tsv"));
    if (!file.open(QIODevice::ReadOnly))
        return input;
    file.readLine();
    while (!file.atEnd()) {
        const QStringList f = QString::fromUtf8(file.readLine()).trimmed().split(u'\t');
        if (f.size() < 7)
            continue;
        MetaStudy s;
        s.name = f.at(0);
        for (int j = 0; j < 6; ++j)
            s.counts[j] = f.at(1 + j).toLongLong();
        input.studies.push_back(s);
    }
    input.effectColumn = QStringLiteral("case2 and control2");
    return input;
}

void BM_MetaFortyStudies(benchmark::State &state)
{
    const MetaInput input = fortyStudies();
    for (auto _ : state) {
        const MetaRun run = runMetaAnalysis(input, ReportText::FiguresOnly);
        benchmark::DoNotOptimize(run.models.size());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MetaFortyStudies)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
