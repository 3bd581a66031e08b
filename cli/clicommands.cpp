#include "clicommands.h"

#include "blockrun.h"
#include "calcpoll.h"
#include "gridfeeder.h"
#include "gridsize.h"
#include "membudget.h"
#include "progressline.h"
#include "safefilewriter.h"
#include "spreadsheet.h"
#include "spreadsheetcellsource.h"
#include "stderrprompts.h"
#include "testinput.h"
#include "texttablewriter.h"

#include <cstdio>
#include <unistd.h>

namespace {

void writeText(std::FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stream);
}

void printError(const QString &message)
{
    writeText(stderr, QStringLiteral("velmora-cli: ") + message + u'\n');
    std::fflush(stderr);
}

// Result lines go to standard output; when it is the terminal that also
// shows the progress line, the line is taken away first.
class LineOutput final
{
public:
    explicit LineOutput(ProgressLine &progress)
        : progress(progress), sharesTerminal(::isatty(STDOUT_FILENO) != 0)
    {
    }

    void write(const QString &line)
    {
        if (sharesTerminal)
            progress.erase();
        writeText(stdout, line + u'\n');
        if (sharesTerminal)
            std::fflush(stdout);
    }

private:
    ProgressLine &progress;
    const bool sharesTerminal;
};

// The blocks of one table: those asked for, or the bounding box of its
// cells (for risk clusters without the names' row and column).
std::vector<CellBlock> blocksOf(const CliOptions &options, const CellBlock &used)
{
    if (!options.ranges.empty())
        return options.ranges;
    return {options.testKind == TestCluster ? used.withoutNames() : used};
}

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
    const TextTableReader &reader = *input.tables;
    if (reader.errorLine() > 0)
        return input.name + QStringLiteral(": ") + reader.errorString();
    return reader.errorString();
}

QString noTable(const QString &name)
{
    return QStringLiteral("%1 holds no table").arg(name);
}

QString writeProblem(const TextTableWrite &written)
{
    const QString cell = CellBlock::cellName(written.row, written.column);
    switch (written.problem) {
    case TextTableWrite::Problem::TabOrLineBreak:
        return QStringLiteral("cell %1 holds a tab or a line break, which a .tsv file cannot hold; "
                              "convert to .csv instead")
            .arg(cell);
    case TextTableWrite::Problem::TooLong:
        return QStringLiteral("cell %1 holds more than %2 characters, more than a text table's "
                              "field may; keep it as a .sp document")
            .arg(cell)
            .arg(GridSize::MaxTextLength);
    case TextTableWrite::Problem::LoneSurrogate:
        return QStringLiteral("cell %1 holds half of a UTF-16 surrogate pair, which UTF-8 cannot "
                              "encode; keep it as a .sp document")
            .arg(cell);
    case TextTableWrite::Problem::None:
        break;
    }
    return QString();
}

} // namespace

int runTestCommand(const CliOptions &options, GridFeeder &feeder, Spreadsheet &sheet,
                   ProgressLine &progress)
{
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
    // Every engine's run takes its budget from this limit.
    if (options.maxMemoryMb > 0)
        MemoryBudget::setRunLimitOverride(options.maxMemoryMb << 20);

    LineOutput output(progress);
    const SpreadsheetCellSource grid(&sheet);
    const ProgressDisplay display = [&progress](int maximum) { progress.engineProgress(maximum); };
    bool allOk = true;

    auto runBlocks = [&](const BlockPlace &place, const CellBlock &used) {
        for (const CellBlock &block : blocksOf(options, used)) {
            if (calcStopFlag)
                return;
            progress.setBlock(place.table, block.text());
            const BlockOutcome outcome = runBlock(grid, block, settings, place, display);
            output.write(outcome.line);
            allOk = allOk && outcome.ok;
        }
    };

    for (const QString &name : options.files) {
        if (calcStopFlag)
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
            progress.setFile(name, 0);
            runBlocks(place, feeder.usedBlock());
            continue;
        }
        progress.setFile(name, -1);
        TextTableReader &reader = *input.tables;
        TextTable table;
        while (!calcStopFlag && reader.next(table)) {
            place.table = int(reader.tablesRead());
            QString error;
            if (!feeder.place(table, &error)) {
                output.write(errorLine(settings, place, error));
                allOk = false;
                continue;
            }
            runBlocks(place, table.usedBlock());
        }
        if (calcStopFlag)
            break;
        // What stops a file's tables, or a file without any, is told for
        // the whole file.
        place.table = 0;
        if (reader.failed() || reader.tablesRead() == 0) {
            const QString message = reader.failed() ? reader.errorString() : noTable(name);
            printError(reader.failed() ? readFailure(input) : message);
            output.write(errorLine(settings, place, message));
            allOk = false;
        }
    }
    std::fflush(stdout);
    if (calcStopFlag) {
        progress.erase();
        printError(QStringLiteral("stopped"));
        return ExitFailed;
    }
    return allOk ? ExitOk : ExitFailed;
}

int runValuesCommand(const CliOptions &options, GridFeeder &feeder, Spreadsheet &sheet)
{
    const QString &name = options.files.at(0);
    const InputFile input = feeder.open(name);
    // The feeder has told standard error why.
    if (!input.error.isEmpty())
        return ExitFailed;
    if (input.document) {
        writeText(stdout, valuesText(sheet, wholeGrid()));
        std::fflush(stdout);
        return ExitOk;
    }
    int status = ExitOk;
    TextTableReader &reader = *input.tables;
    TextTable table;
    while (reader.next(table)) {
        QString error;
        if (reader.tablesRead() > 1)
            writeText(stdout, QStringLiteral("\n"));
        if (!feeder.place(table, &error)) {
            printError(error);
            status = ExitFailed;
            continue;
        }
        writeText(stdout, valuesText(sheet, tableArea(table)));
    }
    std::fflush(stdout);
    if (reader.failed() || reader.tablesRead() == 0) {
        printError(reader.failed() ? readFailure(input) : noTable(name));
        status = ExitFailed;
    }
    return status;
}

int runConvertCommand(const CliOptions &options, GridFeeder &feeder, Spreadsheet &sheet,
                      StderrPrompts &prompts)
{
    const QString &inName = options.files.at(0);
    const QString &outName = options.files.at(1);
    const InputFile input = feeder.open(inName);
    // The feeder has told standard error why.
    if (!input.error.isEmpty())
        return ExitFailed;
    CellBlock used;
    if (input.document) {
        used = feeder.usedBlock();
    } else {
        // An empty text is an empty grid: a document without cells comes
        // back from its text file.
        TextTableReader &reader = *input.tables;
        TextTable table;
        reader.next(table);
        // A document is one grid; tables that a batch file separates by
        // empty lines would be merged or lost. The rest is read only to
        // count them.
        for (TextTable more; reader.next(more);) {
        }
        if (reader.failed()) {
            printError(readFailure(input));
            return ExitFailed;
        }
        if (reader.tablesRead() > 1) {
            printError(QStringLiteral("%1 holds %2 tables separated by empty lines; a document "
                                      "holds one")
                           .arg(inName)
                           .arg(reader.tablesRead()));
            return ExitFailed;
        }
        QString error;
        if (!feeder.place(table, &error)) {
            printError(error);
            return ExitFailed;
        }
        used = table.usedBlock();
    }

    if (isDocumentName(outName)) {
        prompts.clear();
        return sheet.writeSheet(outName) ? ExitOk : ExitFailed;
    }

    std::vector<QStringList> rows;
    if (!used.isEmpty()) {
        rows.resize(std::size_t(used.bottom) + 1);
        for (int row = 0; row <= used.bottom; ++row) {
            for (int column = 0; column <= used.right; ++column)
                rows[std::size_t(row)].append(sheet.cellFormula(row, column));
        }
    }
    const FieldSeparator separator = isCsvName(outName) ? FieldSeparator::Comma : FieldSeparator::Tab;
    QString text;
    const TextTableWrite written = formatTextTable(rows, separator, text);
    if (!written.ok()) {
        printError(writeProblem(written));
        return ExitFailed;
    }
    // Written as documents are: never half, never over a FIFO or a device.
    QString reason;
    if (!SafeFileWriter::write(outName, text.toUtf8(), &reason)) {
        printError(QStringLiteral("Cannot write file %1:\n%2.").arg(outName, reason));
        return ExitFailed;
    }
    return ExitOk;
}
