// velmora-cli cmh's work per variant on make_cmh_data.sh's files
// (VELMORA_CMH, default /tmp/velmora-cmh; 100,000 SNPs of 2,000 samples in
// four strata), on one thread: the strata engine alone on the SNPs'
// allelic tables (asymptotic figures only, then with the exact estimate,
// interval and P), and whole lines from the .bed (reading, counting, the
// tables, every figure and the JSON). Counter: variants per second.
// velmora-cli adds its threads and writing (cmh_speed.py times it against
// PLINK).
#include "cmhline.h"
#include "genotypereader.h"
#include "genotypetally.h"
#include "stratatests.h"

#include <benchmark/benchmark.h>

namespace {

QString dataFile(const char *name)
{
    const QByteArray folder = qgetenv("VELMORA_CMH");
    return QString::fromLocal8Bit(folder.isEmpty() ? QByteArray("/tmp/velmora-cmh") : folder) + u'/'
           + QLatin1StringView(name);
}

// Opens sim.bed grouped by sim.strata; null (with the state's error) when
// the files are not there.
std::unique_ptr<GenotypeReader> openStratified(benchmark::State &state)
{
    QString error;
    std::unique_ptr<GenotypeReader> reader = openGenotypeFile(dataFile("sim.bed"), {}, &error);
    StrataAssignment strata;
    if (!reader || !readStrata(dataFile("sim.strata"), &strata, &error)) {
        state.SkipWithError(qPrintable(error));
        return nullptr;
    }
    SampleChoice choice;
    choice.caseControl = true;
    choice.strata = strata;
    reader->setGroups(groupSamples(reader->sampleIds(), reader->filePhenotypes(), choice));
    return reader;
}

// The allelic tables of the first `count` SNPs that can be tested.
std::vector<std::vector<StratumTable>> tablesOf(benchmark::State &state, int count)
{
    std::vector<std::vector<StratumTable>> out;
    std::unique_ptr<GenotypeReader> reader = openStratified(state);
    if (!reader)
        return out;
    RawRecord raw;
    GenotypeTally tally;
    VariantTable table;
    std::vector<StrataSplit> splits;
    QString error;
    while (int(out.size()) < count && reader->read(raw) && reader->decode(raw, tally, table.identity, &error)) {
        tally.toTable(TableLayout::Strata, table);
        splitStrata(table, StrataModel::Allelic, splits);
        if (!splits.front().rejected.isEmpty())
            continue;
        std::vector<StratumTable> tables;
        for (const std::array<int, 4> &t : splits.front().strata)
            tables.push_back({t[0], t[1], t[2], t[3]});
        out.push_back(tables);
    }
    return out;
}

// range(0): exactstrata::Part flags (0: the asymptotic figures alone).
void BM_Engine(benchmark::State &state)
{
    static const std::vector<std::vector<StratumTable>> all = tablesOf(state, 20000);
    if (all.empty())
        return;
    exactstrata::Workspace work;
    StrataFigures figures;
    qint64 done = 0;
    for (auto _ : state) {
        for (const std::vector<StratumTable> &tables : all) {
            if (stratatests::compute(tables.data(), int(tables.size()), 0.95, work, &figures, int(state.range(0)))
                != stratatests::Finished) {
                state.SkipWithError("a variant failed");
                return;
            }
            benchmark::DoNotOptimize(figures);
        }
        done += qint64(all.size());
    }
    state.counters["variants/s"] = benchmark::Counter(double(done), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Engine)->Arg(0)->Arg(exactstrata::Estimate)->Arg(exactstrata::Everything)->Unit(benchmark::kMillisecond);

// The whole line of the first 20,000 variants of the .bed.
void BM_Lines(benchmark::State &state)
{
    qint64 done = 0;
    for (auto _ : state) {
        std::unique_ptr<GenotypeReader> reader = openStratified(state);
        if (!reader)
            return;
        RawRecord raw;
        GenotypeTally tally;
        VariantTable table;
        QString error;
        TestSettings settings;
        settings.name = QStringLiteral("cmh");
        const VariantLineNames names = variantLineNames(reader->fileName(), settings);
        const CmhSettings cmh;
        QByteArray out;
        for (int v = 1; v <= 20000 && reader->read(raw); ++v) {
            reader->decode(raw, tally, table.identity, &error);
            tally.toTable(TableLayout::Strata, table);
            out.resize(0);
            appendCmhLines(table, v, cmh, names, out);
            benchmark::DoNotOptimize(out.data());
            ++done;
        }
    }
    state.counters["variants/s"] = benchmark::Counter(double(done), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Lines)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
