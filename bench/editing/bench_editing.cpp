// Whole-grid editing with auto-recalculation on: paste of a 999 x 26 block,
// delete of every cell, and a three-key sort of 999 rows.
#include "rowcompare.h"
#include "spreadsheet.h"

#include <QApplication>
#include <QClipboard>

#include <benchmark/benchmark.h>

#include "widgetbench.h"

namespace {

constexpr int kRows = Spreadsheet::RowCount;
constexpr int kColumns = Spreadsheet::ColumnCount;

// Field (row, column) of the test block: numbers, texts and formulas mixed.
// The first three columns have few distinct values, so that the sort needs
// its secondary and tertiary keys.
QString field(int row, int column, quint32 &seed)
{
    seed = seed * 1664525u + 1013904223u;
    const quint32 r = seed >> 8;
    switch (column) {
    case 0:
        return QString::number(r % 7);
    case 1:
        return QChar(u'a' + int(r % 5));
    case 2:
        return QString::number(r % 1000);
    default:
        if (column % 3 == 0)
            return QStringLiteral("=") + QChar(u'A' + column - 1) + QString::number(row + 1)
                + QStringLiteral("+1");
        return QString::number(r % 100000);
    }
}

QString blockText()
{
    quint32 seed = 12345;
    QString text;
    for (int row = 0; row < kRows; ++row) {
        if (row > 0)
            text += u'\n';
        for (int column = 0; column < kColumns; ++column) {
            if (column > 0)
                text += u'\t';
            text += field(row, column, seed);
        }
    }
    return text;
}

// The grid as the user sees it: shown, with its repaints processed after
// each operation.
void show(Spreadsheet &sheet)
{
    sheet.resize(1000, 700);
    sheet.show();
    QCoreApplication::processEvents();
}

void fill(Spreadsheet &sheet)
{
    quint32 seed = 12345;
    for (int row = 0; row < kRows; ++row)
        for (int column = 0; column < kColumns; ++column)
            sheet.setCellFormula(row, column, field(row, column, seed));
}

// Arg 0 pastes into an empty grid, arg 1 over a full one.
void BM_PasteFullBlock(benchmark::State &state)
{
    QApplication::clipboard()->setText(blockText());
    Spreadsheet sheet;
    show(sheet);
    for (auto _ : state) {
        state.PauseTiming();
        sheet.clearSheet();
        if (state.range(0) == 1)
            fill(sheet);
        sheet.clearSelection();
        sheet.setCurrentCell(0, 0);
        QCoreApplication::processEvents();
        state.ResumeTiming();
        sheet.paste();
        QCoreApplication::processEvents();
    }
    if (sheet.cellFormula(kRows - 1, kColumns - 1).isEmpty())
        state.SkipWithError("the block was not pasted");
}
BENCHMARK(BM_PasteFullBlock)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_DeleteWholeGrid(benchmark::State &state)
{
    Spreadsheet sheet;
    show(sheet);
    for (auto _ : state) {
        state.PauseTiming();
        fill(sheet);
        sheet.selectAll();
        QCoreApplication::processEvents();
        state.ResumeTiming();
        sheet.del();
        QCoreApplication::processEvents();
    }
    if (sheet.item(0, 0) != nullptr)
        state.SkipWithError("the grid was not emptied");
}
BENCHMARK(BM_DeleteWholeGrid)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_SortThreeKeys(benchmark::State &state)
{
    Spreadsheet sheet;
    RowCompare compare;
    compare.keyColumn[0] = 0;
    compare.keyColumn[1] = 1;
    compare.keyColumn[2] = 2;
    compare.isAscending[1] = false;
    show(sheet);
    for (auto _ : state) {
        state.PauseTiming();
        sheet.clearSheet();
        fill(sheet);
        sheet.selectAll();
        QCoreApplication::processEvents();
        state.ResumeTiming();
        sheet.sortSelection(compare);
        QCoreApplication::processEvents();
    }
    // Sorted on the first key: its texts never decrease down the grid.
    for (int row = 1; row < kRows; ++row)
        if (sheet.cellFormula(row, 0) < sheet.cellFormula(row - 1, 0))
            state.SkipWithError("the rows are not sorted");
}
BENCHMARK(BM_SortThreeKeys)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char **argv)
{
    return runWidgetBenchmarks(argc, argv);
}
