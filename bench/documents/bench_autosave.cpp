// One autosave of a full grid (999 x 26 formulas), as the window's timer
// makes it: the document's bytes, the copy through the safe writer, the
// record beside it, the previous copy removed. Typing must never wait on it.
#include "autosaver.h"
#include "mainwindow.h"
#include "recoverystore.h"
#include "spreadsheet.h"

#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include "widgetbench.h"

namespace {

QTemporaryDir &tempDir()
{
    static QTemporaryDir dir;
    return dir;
}

void BM_AutosaveFullGrid(benchmark::State &state)
{
    RecoveryStore store(tempDir().filePath(QStringLiteral("recovery")));
    RecoveryStore::install(&store);
    {
        MainWindow window;
        fillChainGrid(*window.sheet());
        for (auto _ : state)
            if (!window.autosave()->writeNow())
                state.SkipWithError("the copy was not written");
        state.counters["bytes"] = double(window.sheet()->documentBytes().size());
    }
    RecoveryStore::install(nullptr);
}
BENCHMARK(BM_AutosaveFullGrid)->Unit(benchmark::kMillisecond);

// The share of the grid's serialisation in it.
void BM_DocumentBytesFullGrid(benchmark::State &state)
{
    Spreadsheet sheet;
    fillChainGrid(sheet);
    for (auto _ : state)
        benchmark::DoNotOptimize(sheet.documentBytes());
}
BENCHMARK(BM_DocumentBytesFullGrid)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    return runWidgetBenchmarks(argc, argv, [] {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, tempDir().path());
    });
}
