#include "widgetbench.h"

#include "spreadsheet.h"

#include <QApplication>
#include <QStandardPaths>

#include <benchmark/benchmark.h>

int runWidgetBenchmarks(int argc, char **argv, const std::function<void()> &setUp)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    if (setUp)
        setUp();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

void fillChainGrid(Spreadsheet &sheet)
{
    for (int row = 0; row < Spreadsheet::RowCount; ++row)
        for (int column = 0; column < Spreadsheet::ColumnCount; ++column)
            sheet.setCellFormula(row, column,
                                 column == 0 ? QString::number(row)
                                             : QStringLiteral("=") + QChar(u'A' + column - 1)
                                                   + QString::number(row + 1) + QStringLiteral("+1"));
}
