// Undo and redo of the largest step there is: a paste of the whole 999 x 26
// grid, shown, with auto-recalculation on. Goal: an undo under 100 ms.
#include "spreadsheet.h"

#include <QApplication>
#include <QClipboard>
#include <QUndoStack>

#include <benchmark/benchmark.h>

#include "widgetbench.h"

namespace {

// Numbers, and in every third column a formula reading its left neighbour.
QString wholeGridBlock(int offset)
{
    QStringList rows;
    for (int row = 0; row < Spreadsheet::RowCount; ++row) {
        QStringList fields;
        for (int column = 0; column < Spreadsheet::ColumnCount; ++column) {
            if (column % 3 == 2)
                fields << QStringLiteral("=") + QChar(u'A' + column - 1) + QString::number(row + 1)
                              + QStringLiteral("*2");
            else
                fields << QString::number(row * 31 + column * 7 + offset);
        }
        rows << fields.join(u'\t');
    }
    return rows.join(u'\n');
}

// The grid shown as in the window, its repaints processed after each step.
void show(Spreadsheet &sheet)
{
    sheet.resize(1000, 700);
    sheet.show();
    QCoreApplication::processEvents();
}

void pasteWholeGrid(Spreadsheet &sheet, const QString &block)
{
    QApplication::clipboard()->setText(block);
    sheet.clearSelection();
    sheet.setCurrentCell(0, 0);
    sheet.paste();
    QCoreApplication::processEvents();
}

// Arg 0: the paste went into an empty grid, so its undo removes every
// cell. Arg 1: it replaced a full grid, so its undo writes every old text
// back.
void BM_UndoWholeGridPaste(benchmark::State &state)
{
    Spreadsheet sheet;
    show(sheet);
    const QString first = wholeGridBlock(0);
    const QString second = wholeGridBlock(1);
    for (auto _ : state) {
        state.PauseTiming();
        sheet.clearSheet();
        if (state.range(0) == 1)
            pasteWholeGrid(sheet, first);
        pasteWholeGrid(sheet, second);
        state.ResumeTiming();
        sheet.undo();
        QCoreApplication::processEvents();
    }
    const bool restored = state.range(0) == 1 ? sheet.cellFormula(998, 0) == QStringLiteral("30938")
                                              : sheet.item(998, 25) == nullptr;
    if (!restored)
        state.SkipWithError("the paste was not undone");
}
BENCHMARK(BM_UndoWholeGridPaste)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_RedoWholeGridPaste(benchmark::State &state)
{
    Spreadsheet sheet;
    show(sheet);
    const QString block = wholeGridBlock(0);
    for (auto _ : state) {
        state.PauseTiming();
        sheet.clearSheet();
        pasteWholeGrid(sheet, block);
        sheet.undo();
        QCoreApplication::processEvents();
        state.ResumeTiming();
        sheet.redo();
        QCoreApplication::processEvents();
    }
    if (sheet.cellFormula(998, 0) != QStringLiteral("30938"))
        state.SkipWithError("the paste was not redone");
}
BENCHMARK(BM_RedoWholeGridPaste)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char **argv)
{
    return runWidgetBenchmarks(argc, argv);
}
