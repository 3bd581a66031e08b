// The Results window over a long day: a 2 x 2 chi-squared test (or the
// genetic models of a 2 x 3 block, whose report holds two tables) run 1,000
// times from its dialog, as a user presses OK, each entry with its picture
// and the pane painted after it. What one entry costs (the run, its
// report and picture added to the pane, the pane painted) is timed at each
// entry; the counters give the median of the ten entries up to entry 1,
// 10, 100 and 1,000, in milliseconds, so that a pane that grew slower with
// its length would show it. The window is 1200 x 800, its Results pane a
// third of it, pictures on. VELMORA_BENCH_ENTRIES sets another number of
// entries (a slower version's day takes long).
#include "mainwindow.h"
#include "resultsview.h"
#include "seldialog.h"
#include "spreadsheet.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "widgetbench.h"

namespace {

int entryCount()
{
    const int asked = qEnvironmentVariableIntValue("VELMORA_BENCH_ENTRIES");
    return asked > 0 ? asked : 1000;
}

// The offscreen platform's word on every dialog raised is not the
// benchmark's output.
QtMessageHandler standardHandler = nullptr;

void quietPlatform(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message.startsWith(QLatin1String("This plugin does not support")))
        return;
    if (standardHandler)
        standardHandler(type, context, message);
    else
        fprintf(stderr, "%s\n", qPrintable(message));
}

double medianMs(std::vector<qint64> nanoseconds)
{
    std::sort(nanoseconds.begin(), nanoseconds.end());
    return nanoseconds.empty() ? 0.0 : double(nanoseconds[nanoseconds.size() / 2]) / 1e6;
}

QAction *action(const MainWindow &window, const QString &text)
{
    const QList<QAction *> actions = window.findChildren<QAction *>();
    for (QAction *a : actions)
        if (a->text() == text)
            return a;
    return nullptr;
}

// Argument 0: chi-squared; 1: genetic models.
void BM_ResultsThousandEntries(benchmark::State &state)
{
    const bool models = state.range(0) == 1;
    for (auto _ : state) {
        MainWindow window;
        window.resize(1200, 800);
        window.show();
        QCoreApplication::processEvents();
        Spreadsheet *sheet = window.sheet();
        sheet->setCellFormula(1, 1, QStringLiteral("10"));
        sheet->setCellFormula(1, 2, QStringLiteral("20"));
        sheet->setCellFormula(2, 1, QStringLiteral("30"));
        sheet->setCellFormula(2, 2, QStringLiteral("40"));
        sheet->setCellFormula(1, 3, QStringLiteral("50"));
        sheet->setCellFormula(2, 3, QStringLiteral("60"));
        SelDialog *dialog = window.selectionDialog();
        QAction *test = action(window, models ? QStringLiteral("Genetic &models...") : QStringLiteral("&Chi-squared test..."));
        const int entries = entryCount();
        std::vector<qint64> times;
        times.reserve(std::size_t(entries));
        QElapsedTimer clock;
        for (int i = 0; i < entries; ++i) {
            sheet->clearSelection();
            sheet->setRangeSelected(QTableWidgetSelectionRange(1, 1, 2, models ? 3 : 2), true);
            test->trigger();
            QCoreApplication::processEvents();
            clock.start();
            dialog->okButton->click();
            // Painted as the user sees it.
            window.findChild<ResultsView *>()->viewport()->repaint();
            QCoreApplication::processEvents();
            times.push_back(clock.nsecsElapsed());
        }
        if (window.findChild<ResultsView *>()->entries().size() != entries)
            state.SkipWithError("an entry is missing");
        for (const int entry : {1, 10, 100, 200, 1000}) {
            if (entry > entries)
                continue;
            const auto last = times.begin() + entry;
            const std::vector<qint64> window10(std::max(times.begin(), last - 10), last);
            state.counters[QStringLiteral("entry_%1_ms").arg(entry, 4, 10, QChar(u'0')).toStdString()] = medianMs(window10);
        }
        state.counters["entries"] = double(entries);
    }
}
BENCHMARK(BM_ResultsThousandEntries)->Arg(0)->Arg(1)->Unit(benchmark::kSecond)->Iterations(1);

} // namespace

int main(int argc, char **argv)
{
    standardHandler = qInstallMessageHandler(quietPlatform);
    return runWidgetBenchmarks(argc, argv);
}
