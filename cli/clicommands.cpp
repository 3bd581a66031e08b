#include "clicommands.h"

#include "batchworkers.h"
#include "blockrun.h"
#include "calcpoll.h"
#include "cliprocess.h"
#include "genotypecommand.h"
#include "gridfeeder.h"
#include "gridsize.h"
#include "lineoutput.h"
#include "membudget.h"
#include "plotoutput.h"
#include "progressline.h"
#include "spreadsheet.h"
#include "spreadsheetcellsource.h"
#include "standardoutput.h"
#include "stderrprompts.h"
#include "tablebatchrun.h"
#include "testinput.h"
#include "textdocument.h"

#include <QGuiApplication>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <thread>

namespace {

// The displayed texts of the grid from A1 to the last row and column with
// a non-empty text inside `area`, as tab-separated rows. A tab or line
// break inside a text would split its row, so it is shown as a space.
QString valuesText(const Spreadsheet &sheet, const CellBlock &area)
{
    if (area.isEmpty())
        return QString();
    std::vector<QStringList> rows(std::size_t(area.bottom) + 1);
    CellBlock shown;
    for (int row = 0; row <= area.bottom; ++row) {
        QStringList &fields = rows[std::size_t(row)];
        for (int column = 0; column <= area.right; ++column) {
            QString text = sheet.cellText(row, column);
            text.replace(u'\t', u' ').replace(u'\n', u' ').replace(u'\r', u' ');
            if (!text.isEmpty())
                shown.include(row, column);
            fields.append(text);
        }
    }
    QString out;
    for (int row = 0; row <= shown.bottom && !shown.isEmpty(); ++row) {
        QString line = rows[std::size_t(row)].mid(0, shown.right + 1).join(u'\t');
        // A row of spaces alone would read back as the end of the table.
        if (line.trimmed().isEmpty() && !line.contains(u'\t'))
            line += u'\t';
        out += line + u'\n';
    }
    return out;
}

CellBlock wholeGrid()
{
    CellBlock block;
    block.include(0, 0);
    block.include(Spreadsheet::RowCount - 1, Spreadsheet::ColumnCount - 1);
    return block;
}

// The rows and columns of a table as read (the reader keeps no more than
// the grid holds).
CellBlock tableArea(const TextTable &table)
{
    CellBlock block;
    if (table.rowCount() == 0 || table.columnCount() == 0)
        return block;
    block.include(0, 0);
    block.include(table.rowCount() - 1, table.columnCount() - 1);
    return block;
}

// Why the tables of a file stopped, for standard error: a line that the
// grid cannot hold is named within its file.
QString readFailure(const InputFile &input)
{
    return TextDocument::readFailure(*input.tables, input.name);
}

QString noTable(const QString &name)
{
    return QStringLiteral("%1 holds no table").arg(name);
}

} // namespace

int runTestCommand(const CliOptions &options, GridFeeder &feeder, ProgressLine &progress)
{
    if (options.genotypes)
        return runGenotypeCommand(options, progress);
    TestSettings settings;
    settings.kind = options.testKind;
    settings.name = options.testName;
    settings.yates = options.yates;
    settings.accuracy = options.accuracy;
    settings.report = options.report;
    settings.monteCarloSamples = options.monteCarloSamples;
    settings.seedGiven = options.seedGiven;
    settings.seed = options.seed;
    settings.threads = options.threads;
    settings.confLevel = options.confLevel;
    // Every engine's run takes its budget from this limit.
    if (options.maxMemoryMb > 0)
        MemoryBudget::setRunLimitOverride(options.maxMemoryMb << 20);

    std::unique_ptr<PlotOutput> plots;
    if (!options.plot.isEmpty()) {
        settings.plot = true;
        plots = std::make_unique<PlotOutput>(options.plot, QSize(options.plotWidth, options.plotHeight),
                                             QGuiApplication::font());
    }
    LineOutput output(progress, plots.get());
    const ProgressDisplay display = [&progress](int maximum) { progress.engineProgress(maximum); };
    bool allOk = true;

    // Tables of a text file are tested in parallel; a document is one grid.
    const int threads = options.threads > 0 ? options.threads
                                            : int(std::max(1u, std::thread::hardware_concurrency()));
    BatchWorkers workers(threads);
    TableBatchRun batchRun(settings, options.ranges, feeder, progress, output, workers);

    auto runBlocks = [&](BlockPlace place, const CellBlock &used) {
        for (const CellBlock &block : TableBatchRun::blocksOf(settings, options.ranges, used)) {
            if (calcStopFlag || StandardOutput::failed())
                return;
            progress.setBlock(place.table, block.text());
            const BlockOutcome outcome = runBlock(feeder.cells(), block, settings, place, display);
            output.write(outcome.line, outcome.picture);
            allOk = allOk && outcome.ok;
            ++place.block;
        }
    };

    for (const QString &name : options.files) {
        if (calcStopFlag || StandardOutput::failed())
            break;
        InputFile input = feeder.open(name);
        BlockPlace place{name, 0};
        if (!input.error.isEmpty()) {
            output.write(errorLine(settings, place, input.error));
            allOk = false;
            continue;
        }
        if (input.document) {
            place.table = 1;
            place.document = true;
            progress.setFile(name, 0);
            runBlocks(place, feeder.usedBlock());
            continue;
        }
        progress.setFile(name, -1);
        TextTableReader &reader = *input.tables;
        allOk = batchRun.run(reader, name) && allOk;
        if (calcStopFlag || StandardOutput::failed())
            break;
        // What stops a file's tables, or a file without any, is told for
        // the whole file.
        place.table = 0;
        if (reader.failed() || reader.tablesRead() == 0) {
            const QString message = reader.failed() ? reader.errorString() : noTable(name);
            cliprocess::printError(reader.failed() ? readFailure(input) : message);
            output.write(errorLine(settings, place, message));
            allOk = false;
        }
    }
    StandardOutput::flush();
    // The pictures held so far are written also after a stop.
    if (plots && !plots->finish())
        allOk = false;
    if (calcStopFlag) {
        progress.erase();
        cliprocess::printError(QStringLiteral("stopped"));
        return ExitFailed;
    }
    return allOk ? ExitOk : ExitFailed;
}

int runValuesCommand(const CliOptions &options, GridFeeder &feeder)
{
    const QString &name = options.files.at(0);
    const InputFile input = feeder.open(name);
    // The feeder has told standard error why.
    if (!input.error.isEmpty())
        return ExitFailed;
    if (input.document) {
        StandardOutput::write(valuesText(feeder.sheet(), wholeGrid()).toUtf8());
        return ExitOk;
    }
    int status = ExitOk;
    TextTableReader &reader = *input.tables;
    TextTable table;
    while (!StandardOutput::failed() && reader.next(table)) {
        QString error;
        if (reader.tablesRead() > 1)
            StandardOutput::write("\n", 1);
        if (!feeder.place(table, &error)) {
            cliprocess::printError(error);
            status = ExitFailed;
            continue;
        }
        StandardOutput::write(valuesText(feeder.sheet(), tableArea(table)).toUtf8());
    }
    if (StandardOutput::failed())
        return ExitFailed;
    if (reader.failed() || reader.tablesRead() == 0) {
        cliprocess::printError(reader.failed() ? readFailure(input) : noTable(name));
        status = ExitFailed;
    }
    return status;
}

int runConvertCommand(const CliOptions &options, GridFeeder &feeder, StderrPrompts &prompts)
{
    Spreadsheet &sheet = feeder.sheet();
    const QString &inName = options.files.at(0);
    const QString &outName = options.files.at(1);
    const InputFile input = feeder.open(inName);
    // The feeder has told standard error why.
    if (!input.error.isEmpty())
        return ExitFailed;
    if (!input.document) {
        // An empty text is an empty grid: a document without cells comes
        // back from its text file.
        TextTable table;
        QString error;
        if (!TextDocument::readOne(*input.tables, inName, table, &error)
            || !feeder.place(table, &error)) {
            cliprocess::printError(error);
            return ExitFailed;
        }
    }

    // Written as the window saves: through the safe writer, never half a
    // file, never over a FIFO or a device.
    prompts.clear();
    if (isDocumentName(outName))
        return sheet.writeSheet(outName) ? ExitOk : ExitFailed;
    return sheet.writeTextTable(outName, TextDocument::separatorFor(outName)) ? ExitOk : ExitFailed;
}
