// velmora-cli qq on a million JSON lines as a chi-squared batch writes
// them, timed as a user would time it, with and without --plot (goal:
// under 2 s).
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>
#include <random>

namespace {

constexpr int kLines = 1000000;

bool writeLines(const QString &name)
{
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    std::mt19937_64 random(11);
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    QByteArray block;
    for (int i = 1; i <= kLines; ++i) {
        // A little inflation, as a real batch shows.
        const double p = std::pow(1.0 - uniform(random), 1.05);
        block += "{\"file\":\"snps.tsv\",\"table\":" + QByteArray::number(i)
                 + ",\"range\":\"A1:C2\",\"test\":\"chi2\",\"status\":0,\"p\":" + QByteArray::number(p, 'g', 17)
                 + ",\"x2\":" + QByteArray::number(-2.0 * std::log(p), 'g', 17) + ",\"df\":2,\"yates\":false}\n";
        if (block.size() > (1 << 20)) {
            file.write(block);
            block.clear();
        }
    }
    return file.write(block) == block.size();
}

void qq(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString input = dir.filePath(QStringLiteral("batch.jsonl"));
    if (!writeLines(input)) {
        state.SkipWithError("cannot write the lines");
        return;
    }
    QStringList arguments = {QStringLiteral("qq"), input};
    if (state.range(0) == 1)
        arguments << QStringLiteral("--plot") << dir.filePath(QStringLiteral("qq.png"));
    for (auto _ : state) {
        QProcess process;
        const auto start = std::chrono::steady_clock::now();
        process.start(QStringLiteral(VELMORA_CLI_PATH), arguments);
        const bool done = process.waitForStarted() && process.waitForFinished(-1);
        const auto stop = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(stop - start).count());
        if (!done || process.exitCode() != 0) {
            state.SkipWithError("velmora-cli qq failed");
            return;
        }
        state.SetLabel(process.readAllStandardOutput().trimmed().toStdString());
    }
}

} // namespace

BENCHMARK(qq)->Arg(0)->Arg(1)->UseManualTime()->Iterations(3)->Unit(benchmark::kSecond);

BENCHMARK_MAIN();
