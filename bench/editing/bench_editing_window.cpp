// The same whole-grid edits inside the shown main window, where every
// changed cell also refreshes the window's modified mark and status bar.
#include "mainwindow.h"
#include "rowcompare.h"
#include "seldialog.h"
#include "spreadsheet.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QPushButton>
#include <QStandardPaths>

#include <benchmark/benchmark.h>

#include "widgetbench.h"

namespace {

constexpr int kRows = Spreadsheet::RowCount;
constexpr int kColumns = Spreadsheet::ColumnCount;

// Three low-variety key columns, then numbers.
QString blockText()
{
    quint32 seed = 777;
    QString text;
    for (int row = 0; row < kRows; ++row) {
        if (row > 0)
            text += u'\n';
        for (int column = 0; column < kColumns; ++column) {
            if (column > 0)
                text += u'\t';
            seed = seed * 1664525u + 1013904223u;
            const quint32 r = seed >> 8;
            text += QString::number(column < 3 ? r % 6 : r % 100000);
        }
    }
    return text;
}

MainWindow &window()
{
    static MainWindow *w = [] {
        auto *created = new MainWindow;
        created->resize(1200, 800);
        created->show();
        // After New the title has its modified mark, as in normal use.
        const QList<QAction *> actions = created->findChildren<QAction *>();
        for (QAction *action : actions)
            if (action->text() == QStringLiteral("&New"))
                action->trigger();
        QCoreApplication::processEvents();
        return created;
    }();
    return *w;
}

void pasteBlock(Spreadsheet *sheet)
{
    sheet->clearSelection();
    sheet->setCurrentCell(0, 0);
    sheet->paste();
}

void BM_WindowPaste(benchmark::State &state)
{
    Spreadsheet *sheet = window().sheet();
    for (auto _ : state) {
        state.PauseTiming();
        sheet->clearSheet();
        QCoreApplication::processEvents();
        state.ResumeTiming();
        pasteBlock(sheet);
        QCoreApplication::processEvents();
    }
}
BENCHMARK(BM_WindowPaste)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_WindowDelete(benchmark::State &state)
{
    Spreadsheet *sheet = window().sheet();
    for (auto _ : state) {
        state.PauseTiming();
        pasteBlock(sheet);
        sheet->selectAll();
        QCoreApplication::processEvents();
        state.ResumeTiming();
        sheet->del();
        QCoreApplication::processEvents();
    }
}
BENCHMARK(BM_WindowDelete)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_WindowSort(benchmark::State &state)
{
    Spreadsheet *sheet = window().sheet();
    RowCompare compare;
    for (int k = 0; k < RowCompare::KeyCount; ++k)
        compare.keyColumn[k] = k;
    compare.isAscending[2] = false;
    for (auto _ : state) {
        state.PauseTiming();
        sheet->clearSheet();
        pasteBlock(sheet);
        sheet->selectAll();
        QCoreApplication::processEvents();
        state.ResumeTiming();
        sheet->sortSelection(compare);
        QCoreApplication::processEvents();
    }
}
BENCHMARK(BM_WindowSort)->Unit(benchmark::kMillisecond)->Iterations(3);

// The whole grid pasted over the whole grid while the chi-squared dialog
// is open on it: the dialog's verdict must follow the new values without
// checking the 999 x 26 block once per pasted cell.
void BM_WindowPasteWithDialog(benchmark::State &state)
{
    MainWindow &w = window();
    Spreadsheet *sheet = w.sheet();
    SelDialog *dialog = w.selectionDialog();
    for (auto _ : state) {
        state.PauseTiming();
        sheet->clearSheet();
        sheet->selectAll();
        for (QAction *action : w.findChildren<QAction *>())
            if (action->text() == QStringLiteral("&Chi-squared test..."))
                action->trigger();
        QCoreApplication::processEvents();
        state.ResumeTiming();
        sheet->paste();
        QCoreApplication::processEvents();
        state.PauseTiming();
        // 1 when the verdict has followed the paste to "All is good".
        state.counters["verdict_ok"] = dialog->okButton->isEnabled() ? 1 : 0;
        dialog->reject();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_WindowPasteWithDialog)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char **argv)
{
    // The window is left to the process's end: deleting it would ask nothing,
    // but keeps the run short.
    return runWidgetBenchmarks(argc, argv, [] { QApplication::clipboard()->setText(blockText()); });
}
