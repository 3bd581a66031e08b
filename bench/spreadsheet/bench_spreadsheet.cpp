// Filling and reading a full grid with auto-recalculation on, and one edit
// in a full grid.
#include "spreadsheet.h"

#include <QApplication>

#include <benchmark/benchmark.h>

namespace {

void fill(Spreadsheet &sheet)
{
    for (int row = 0; row < Spreadsheet::RowCount; ++row)
        for (int column = 0; column < Spreadsheet::ColumnCount; ++column)
            sheet.setCellFormula(row, column,
                                 column == 0 ? QString::number(row)
                                             : QStringLiteral("=") + QChar(u'A' + column - 1)
                                                   + QString::number(row + 1) + QStringLiteral("+1"));
}

void BM_FillAndReadFullGrid(benchmark::State &state)
{
    for (auto _ : state) {
        Spreadsheet sheet;
        fill(sheet);
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
    fill(sheet);
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
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
