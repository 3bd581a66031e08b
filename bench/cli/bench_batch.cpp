// The batch path of velmora-cli inside one process, on 100,000 genotype
// tables like PLINK's (2,000 individuals, allele frequency 0.02 to 0.98):
// reading and telling plain tables apart, checking and testing a plain
// table from its text (what a worker does), the same table through the
// grid (what a table with formulas costs), and whole batches on 1 and 2
// threads.
#include "batchworkers.h"
#include "blockrun.h"
#include "gridfeeder.h"
#include "plaintablesource.h"
#include "spreadsheet.h"
#include "spreadsheetcellsource.h"
#include "stderrprompts.h"
#include "texttablereader.h"

#include <QApplication>
#include <QBuffer>
#include <QLoggingCategory>

#include <benchmark/benchmark.h>

#include <array>
#include <optional>
#include <random>
#include <vector>

namespace {

constexpr int kTables = 100000;

// Two-allele genotype tables (triangular) or 2 x 3 case-control tables.
const QByteArray &batchText(bool fisher)
{
    static const auto make = [](bool twoByThree) {
        std::mt19937 random(20261208);
        std::uniform_real_distribution<double> frequency(0.02, 0.98);
        QByteArray text;
        for (int i = 0; i < kTables; ++i) {
            const double p = frequency(random);
            auto genotypes = [&](int n) {
                const int aa = std::binomial_distribution<int>(n, p * p)(random);
                const int ab = std::binomial_distribution<int>(n - aa, 2 * p * (1 - p) / (1 - p * p))(random);
                return std::array<int, 3>{aa, ab, n - aa - ab};
            };
            if (twoByThree) {
                for (int row = 0; row < 2; ++row) {
                    const auto g = genotypes(1000);
                    text += QByteArray::number(g[0]) + '\t' + QByteArray::number(g[1]) + '\t'
                            + QByteArray::number(g[2]) + '\n';
                }
            } else {
                const auto g = genotypes(2000);
                text += QByteArray::number(g[0]) + '\t' + QByteArray::number(g[1]) + "\n\t"
                        + QByteArray::number(g[2]) + '\n';
            }
            text += '\n';
        }
        return text;
    };
    static const QByteArray hwe = make(false);
    static const QByteArray twoByThree = make(true);
    return fisher ? twoByThree : hwe;
}

const std::vector<TextTable> &readTables(bool fisher)
{
    static const auto make = [](bool twoByThree) {
        QBuffer buffer;
        buffer.setData(batchText(twoByThree));
        buffer.open(QIODevice::ReadOnly);
        TextTableReader reader(buffer, FieldSeparator::Tab, QStringLiteral("batch.tsv"));
        std::vector<TextTable> tables;
        for (TextTable table; reader.next(table);)
            tables.push_back(table);
        return tables;
    };
    static const std::vector<TextTable> hwe = make(false);
    static const std::vector<TextTable> twoByThree = make(true);
    return fisher ? twoByThree : hwe;
}

TestSettings settingsFor(bool fisher)
{
    TestSettings settings;
    settings.kind = fisher ? TestFisher : TestHardyW;
    settings.name = fisher ? QStringLiteral("fisher") : QStringLiteral("hwe");
    return settings;
}

void setRate(benchmark::State &state)
{
    state.counters["tables/s"] =
        benchmark::Counter(double(kTables) * double(state.iterations()), benchmark::Counter::kIsRate);
}

// Reading the text and telling each table plain.
void readAndClassify(benchmark::State &state)
{
    const QByteArray &text = batchText(state.range(0) != 0);
    for (auto _ : state) {
        QBuffer buffer;
        buffer.setData(text);
        buffer.open(QIODevice::ReadOnly);
        TextTableReader reader(buffer, FieldSeparator::Tab, QStringLiteral("batch.tsv"));
        int plain = 0;
        for (TextTable table; reader.next(table);)
            plain += PlainTableSource::isPlain(table) ? 1 : 0;
        benchmark::DoNotOptimize(plain);
    }
    setRate(state);
}

// Runs every table once per iteration through `source(table)`, the cells
// the check reads.
template <typename Source>
void runEach(benchmark::State &state, Source &&source)
{
    const bool fisher = state.range(0) != 0;
    const std::vector<TextTable> &tables = readTables(fisher);
    const TestSettings settings = settingsFor(fisher);
    TestInput input;
    for (auto _ : state) {
        int number = 0;
        for (const TextTable &table : tables) {
            const BlockOutcome outcome =
                runBlock(source(table), table.usedBlock(), settings,
                         BlockPlace{QStringLiteral("batch.tsv"), ++number}, ProgressDisplay(), input,
                         BlockThread::Main);
            benchmark::DoNotOptimize(outcome.line.size());
        }
    }
    setRate(state);
}

// Check, test and JSON line of each table, from its text.
void runFromText(benchmark::State &state)
{
    std::optional<PlainTableSource> source;
    runEach(state, [&source](const TextTable &table) -> const CellSource & {
        return source.emplace(table);
    });
}

// The same through the grid: placed, recalculated and read as cells.
void runThroughGrid(benchmark::State &state)
{
    Spreadsheet sheet;
    StderrPrompts prompts;
    GridFeeder feeder(sheet, prompts);
    const SpreadsheetCellSource grid(&sheet);
    runEach(state, [&](const TextTable &table) -> const CellSource & {
        QString error;
        feeder.place(table, &error);
        return grid;
    });
}

// Every table from its text on the workers (range(1) threads).
void runOnWorkers(benchmark::State &state)
{
    const bool fisher = state.range(0) != 0;
    const std::vector<TextTable> &tables = readTables(fisher);
    const TestSettings settings = settingsFor(fisher);
    BatchWorkers workers(int(state.range(1)));
    std::vector<QString> lines(tables.size());
    for (auto _ : state) {
        workers.start(
            [&](int index) {
                thread_local TestInput input;
                const TextTable &table = tables[std::size_t(index)];
                lines[std::size_t(index)] =
                    runBlock(PlainTableSource(table), table.usedBlock(), settings,
                             BlockPlace{QStringLiteral("batch.tsv"), index + 1}, ProgressDisplay(), input,
                             BlockThread::Worker)
                        .line;
            },
            int(tables.size()));
        workers.finish();
        benchmark::DoNotOptimize(lines.back().size());
    }
    setRate(state);
}

} // namespace

// 0: Hardy-Weinberg tables, 1: Fisher 2 x 3 tables.
BENCHMARK(readAndClassify)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(runFromText)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(runThroughGrid)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(runOnWorkers)->Args({0, 1})->Args({0, 2})->Args({1, 1})->Args({1, 2})->Unit(benchmark::kMillisecond)
    ->UseRealTime();

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
