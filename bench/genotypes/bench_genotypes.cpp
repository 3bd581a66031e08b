// The genotype path on make_data.sh's files (VELMORA_GENOTYPES, default
// /tmp/velmora-genotypes; 50,000 SNPs of 2,000 samples), on one thread, one
// pass each: reading the records alone (the floor), reading and counting
// them into tables, and the whole `hwe` line of each variant as velmora-cli
// makes it. Counter: variants per second. velmora-cli adds its threads and
// writing (speed.py times it against its peers).
#include "genotypereader.h"
#include "tsvrows.h"
#include "variantrun.h"

#include "testinput.h"

#include <QLoggingCategory>

#include <benchmark/benchmark.h>

namespace {

QString dataFile(const char *name)
{
    const QByteArray folder = qgetenv("VELMORA_GENOTYPES");
    return QString::fromLocal8Bit(folder.isEmpty() ? QByteArray("/tmp/velmora-genotypes") : folder) + u'/'
           + QLatin1StringView(name);
}

const char *const kFiles[] = {"sim.vcf.gz", "sim.bcf", "sim.bed"};

// 0: read; 1: read and count; 2: the whole line.
void pass(benchmark::State &state, int depth)
{
    const QString file = dataFile(kFiles[state.range(0)]);
    state.SetLabel(kFiles[state.range(0)]);
    TestSettings settings;
    settings.kind = TestHardyW;
    settings.name = QStringLiteral("hwe");
    VariantBudget budget;
    budget.exactUnits = 60000000;
    qint64 variants = 0;
    for (auto _ : state) {
        QString error;
        std::unique_ptr<GenotypeReader> reader = openGenotypeFile(file, {}, &error);
        if (!reader) {
            state.SkipWithError(qPrintable(error));
            return;
        }
        RawRecord raw;
        GenotypeTally tally;
        VariantTable table;
        TestInput input;
        qint64 bytes = 0;
        const VariantLineNames names = variantLineNames(file, settings);
        QByteArray line;
        while (reader->read(raw)) {
            ++variants;
            if (depth == 0)
                continue;
            reader->decode(raw, tally, table.identity, &error);
            tally.toTable(TableLayout::HardyWeinberg, table);
            if (depth < 2)
                continue;
            // As velmora-cli: straight from the counts where it can, else the general path.
            if (twoAlleleHweLine(table, variants, settings, budget, names, line))
                bytes += line.size();
            else
                bytes += runVariantExact(table, variants, settings, budget, file, input).line.toUtf8().size();
        }
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["variants_per_s"] = benchmark::Counter(double(variants), benchmark::Counter::kIsRate);
}

void BM_Read(benchmark::State &state) { pass(state, 0); }
void BM_ReadCount(benchmark::State &state) { pass(state, 1); }
void BM_HweLines(benchmark::State &state) { pass(state, 2); }

BENCHMARK(BM_Read)->DenseRange(0, 2)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadCount)->DenseRange(0, 2)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HweLines)->DenseRange(0, 2)->Iterations(1)->Unit(benchmark::kMillisecond);

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
