// Filling and reading a full grid with auto-recalculation on, and one edit
// in a full grid.
#include "spreadsheet.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include "widgetbench.h"

namespace {

void BM_FillAndReadFullGrid(benchmark::State &state)
{
    for (auto _ : state) {
        Spreadsheet sheet;
        fillChainGrid(sheet);
        qint64 length = 0;
        for (int row = 0; row < Spreadsheet::RowCount; ++row)
            for (int column = 0; column < Spreadsheet::ColumnCount; ++column)
                length += sheet.cellText(row, column).size();
        benchmark::DoNotOptimize(length);
    }
}
BENCHMARK(BM_FillAndReadFullGrid)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_OneEditInFullGrid(benchmark::State &state)
{
    Spreadsheet sheet;
    fillChainGrid(sheet);
    int value = 0;
    for (auto _ : state) {
        sheet.setCellFormula(500, 0, QString::number(++value));
        // What the screen would then read: one screenful of cells.
        for (int row = 490; row < 520; ++row)
            for (int column = 0; column < 10; ++column)
                benchmark::DoNotOptimize(sheet.cellText(row, column));
    }
}
BENCHMARK(BM_OneEditInFullGrid)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    return runWidgetBenchmarks(argc, argv);
}
