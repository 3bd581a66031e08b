// Saving and loading a full grid (25,974 cells): by the grid alone, and
// through the main window's Open and Save commands, where every loaded cell
// also reaches the window's modified mark and status bar.
#include "mainwindow.h"
#include "spreadsheet.h"
#include "uiprompts.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include "widgetbench.h"

namespace {

// Answers the file dialogs with one fixed path and the save question with
// No.
class FixedPrompts final : public UiPrompts
{
public:
    QString path;
    QMessageBox::StandardButton warning(
        QWidget *, const QString &, const QString &, QMessageBox::StandardButtons) override
    {
        return QMessageBox::No;
    }
    QString openFileName(QWidget *, const QString &, const QString &, const QString &) override
    {
        return path;
    }
    QString saveFileName(QWidget *, const QString &, const QString &, const QString &) override
    {
        return path;
    }
};

QTemporaryDir &tempDir()
{
    static QTemporaryDir dir;
    return dir;
}

QString fullGridFile()
{
    static const QString path = [] {
        const QString p = tempDir().filePath(QStringLiteral("full.sp"));
        Spreadsheet sheet;
        fillChainGrid(sheet);
        sheet.writeSheet(p);
        return p;
    }();
    return path;
}

QAction *actionByText(const MainWindow &window, const QString &text)
{
    const QList<QAction *> actions = window.findChildren<QAction *>();
    for (QAction *action : actions)
        if (action->text() == text)
            return action;
    return nullptr;
}

void BM_SaveFullGrid(benchmark::State &state)
{
    Spreadsheet sheet;
    fillChainGrid(sheet);
    const QString path = tempDir().filePath(QStringLiteral("save.sp"));
    for (auto _ : state)
        benchmark::DoNotOptimize(sheet.writeSheet(path));
    state.counters["bytes"] = double(QFile(path).size());
}
BENCHMARK(BM_SaveFullGrid)->Unit(benchmark::kMillisecond);

void BM_LoadFullGrid(benchmark::State &state)
{
    const QString path = fullGridFile();
    Spreadsheet sheet;
    for (auto _ : state) {
        benchmark::DoNotOptimize(sheet.readSheet(path));
        // What the first screen would then show.
        for (int row = 0; row < 30; ++row)
            for (int column = 0; column < 10; ++column)
                benchmark::DoNotOptimize(sheet.cellText(row, column));
    }
}
BENCHMARK(BM_LoadFullGrid)->Unit(benchmark::kMillisecond);

void BM_OpenFullGridInWindow(benchmark::State &state)
{
    FixedPrompts prompts;
    prompts.path = fullGridFile();
    UiPrompts::install(&prompts);
    {
        MainWindow window;
        QAction *open = actionByText(window, QStringLiteral("&Open..."));
        for (auto _ : state)
            open->trigger();
    }
    UiPrompts::install(nullptr);
}
BENCHMARK(BM_OpenFullGridInWindow)->Unit(benchmark::kMillisecond);

void BM_SaveFullGridInWindow(benchmark::State &state)
{
    FixedPrompts prompts;
    prompts.path = tempDir().filePath(QStringLiteral("window.sp"));
    UiPrompts::install(&prompts);
    {
        MainWindow window;
        fillChainGrid(*window.sheet());
        QAction *saveAs = actionByText(window, QStringLiteral("Save &As..."));
        for (auto _ : state)
            saveAs->trigger();
    }
    UiPrompts::install(nullptr);
}
BENCHMARK(BM_SaveFullGridInWindow)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    // The window reads settings at start-up: keep the user's out of reach.
    return runWidgetBenchmarks(argc, argv, [] {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, tempDir().path());
    });
}
