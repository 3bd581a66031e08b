#include "metacommand.h"

#include "calcpoll.h"
#include "cellsource.h"
#include "clicommands.h"
#include "cliprocess.h"
#include "gridfeeder.h"
#include "metacheck.h"
#include "metajson.h"
#include "metapictures.h"
#include "metarun.h"
#include "metatable.h"
#include "pictureexport.h"
#include "standardoutput.h"
#include "tsvrows.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QRegularExpression>

namespace {

// A check's verdict without its markup.
QString plainText(QString html)
{
    html.remove(QRegularExpression(QStringLiteral("<[^>]*>")));
    return html.replace(QStringLiteral("&lt;"), QStringLiteral("<"))
        .replace(QStringLiteral("&gt;"), QStringLiteral(">"))
        .replace(QStringLiteral("&quot;"), QStringLiteral("\""))
        .replace(QStringLiteral("&#39;"), QStringLiteral("'"))
        .replace(QStringLiteral("&amp;"), QStringLiteral("&"))
        .trimmed();
}

class MetaOutput final
{
public:
    explicit MetaOutput(const CliOptions &options) : options(options)
    {
        if (options.tsv)
            StandardOutput::write((metaTsvColumns().join(u'\t') + u'\n').toUtf8());
    }

    // A table refused as the other table commands refuse a block
    // ("rejected"), or a file that gives no table ("error"); never a
    // success, so the exit status is 1.
    void error(const QString &file, int table, const char *status, const QString &message)
    {
        printError(file, table, message);
        deliver(metaErrorLine(file, table, status, message));
        ok = false;
    }

    void run(const QString &file, int table, MetaInput input, const QString &place)
    {
        if (options.metaModel == kMetaExposure && !input.exposure) {
            error(file, table, kRejected,
                  QStringLiteral("--model exposure needs the exposure layout (four counts a study)"));
            return;
        }
        if (options.metaModel >= 0 && options.metaModel != kMetaExposure && input.exposure) {
            error(file, table, kRejected, QStringLiteral("the exposure layout has one model, exposure"));
            return;
        }
        input.confLevel = options.confLevel;
        input.hweLevel = options.hweLevel;
        input.model = options.metaModel == kMetaExposure ? -1 : options.metaModel;
        if (options.monteCarloSamples > 0)
            input.zelenSamples = options.monteCarloSamples;
        if (options.seedGiven)
            input.seed = options.seed;
        input.threads = options.threads;
        input.source = place;
        const QString problem = metaInputProblem(input);
        if (!problem.isEmpty()) {
            error(file, table, kRejected, problem);
            return;
        }
        const MetaRun run = runMetaAnalysis(input, ReportText::FiguresOnly);
        if (run.status != 0) {
            const QString message = plainText(run.message);
            printError(file, table, message);
            deliver(metaFailureLine(file, table, run.status, message, calcStopFlag != 0));
            ok = false;
            return;
        }
        for (int m = 0; m < int(run.models.size()); ++m) {
            deliver(metaJsonLine(run, m, file, table, !options.tsv));
            if (!options.plot.isEmpty())
                plot(input, run, m, place);
        }
    }

    bool allOk() const { return ok && !StandardOutput::failed(); }

private:
    static constexpr const char *kRejected = "rejected";

    void write(const QByteArray &bytes)
    {
        if (!StandardOutput::failed())
            StandardOutput::write(bytes);
    }

    static void printError(const QString &file, int table, const QString &message)
    {
        cliprocess::printError(table > 0 ? QStringLiteral("%1, table %2: %3").arg(file).arg(table).arg(message)
                                         : QStringLiteral("%1: %2").arg(file, message));
    }

    // A line as JSON, or as a row under the TSV header: refusals too, so
    // that the output stays one format.
    void deliver(const QByteArray &json)
    {
        if (!options.tsv) {
            write(json);
            return;
        }
        std::vector<std::pair<QString, QString>> fields;
        TsvRows::flatten(QString::fromUtf8(json).trimmed(), &fields);
        const QStringList columns = metaTsvColumns();
        QStringList cells(columns.size(), QStringLiteral("NA"));
        for (const auto &[name, value] : fields) {
            const qsizetype at = columns.indexOf(name);
            if (at >= 0)
                cells[at] = QString(value).replace(u'\t', u' ').replace(u'\n', u' ');
        }
        write((cells.join(u'\t') + u'\n').toUtf8());
    }

    // One picture per model and table: OUT itself when it is the only one,
    // else OUT with the model (and table) before its extension.
    void plot(const MetaInput &input, const MetaRun &run, int model, const QString &place)
    {
        MetaPictureKind kind = MetaPictureKind::Forest;
        metaPictureKindFromKey(options.plotKind, &kind);
        const PicturePtr picture = metaPicture(kind, input, run, model, place);
        if (!picture) {
            cliprocess::printError(QStringLiteral("%1, %2 model: nothing to draw").arg(place, run.models[std::size_t(model)].key));
            return;
        }
        QString name = options.plot;
        if (!single()) {
            const QFileInfo info(options.plot);
            const QString suffix = info.suffix();
            const QString stem = options.plot.left(options.plot.size() - suffix.size() - 1);
            name = stem + u'-' + run.models[std::size_t(model)].key + (tables > 1 ? QStringLiteral("-%1").arg(tableIndex) : QString())
                   + u'.' + suffix;
        }
        QString reason;
        if (!pictures::writePicture(*picture, name, QSize(options.plotWidth, options.plotHeight),
                                    QGuiApplication::font(), &reason)) {
            cliprocess::printError(QStringLiteral("cannot write %1: %2").arg(name, reason));
            ok = false;
        }
    }

    bool single() const { return options.metaModel >= 0 && tables <= 1; }

public:
    int tables = 1;      // tables in the run, as far as known
    int tableIndex = 0;  // the current one's number, 1-based

private:
    const CliOptions &options;
    bool ok = true;
};

} // namespace

int runMetaCommand(const CliOptions &options, GridFeeder &feeder)
{
    MetaOutput output(options);
    output.tables = int(options.files.size()) * std::max<int>(1, int(options.ranges.size()));
    int number = 0;
    for (const QString &name : options.files) {
        if (calcStopFlag || StandardOutput::failed())
            break;
        InputFile input = feeder.open(name);
        if (!input.error.isEmpty()) {
            output.error(name, 0, "error", input.error);
            continue;
        }
        if (input.document) {
            const CellSource &cells = feeder.cells();
            if (!options.ranges.empty()) {
                int table = 0;
                for (const CellBlock &block : options.ranges) {
                    ++table;
                    output.tableIndex = ++number;
                    TestInput in;
                    in.topRow = block.top;
                    in.leftCol = block.left;
                    in.nRows = block.bottom - block.top + 1;
                    in.nCols = block.right - block.left + 1;
                    MetaInput meta;
                    MetaBlockOptions blockOptions;
                    blockOptions.subgroups = options.metaSubgroups;
                    blockOptions.effectFirst = options.metaEffectFirst;
                    const CheckResult check = checkMeta(cells, in, blockOptions, &meta);
                    const int shown = options.ranges.size() > 1 ? table : 0;
                    if (!check.ok) {
                        output.error(name, shown, "rejected",
                                     QStringLiteral("%1: %2").arg(block.text(), plainText(check.message)));
                        continue;
                    }
                    output.run(name, shown, meta, block.text() + QStringLiteral(" of ") + QFileInfo(name).fileName());
                }
                continue;
            }
            const CellBlock used = feeder.usedBlock();
            output.tableIndex = ++number;
            MetaInput meta;
            QString error;
            const auto field = [&](int row, int column) {
                return cells.hasItem(used.top + row, used.left + column) ? cells.text(used.top + row, used.left + column)
                                                                           : QString();
            };
            if (used.isEmpty()
                || !metaFromHeaderTable(field, used.bottom - used.top + 1, used.right - used.left + 1, used.top + 1,
                                        &meta, &error)) {
                if (used.isEmpty())
                    output.error(name, 0, "error", QStringLiteral("the document is empty"));
                else
                    output.error(name, 0, "rejected", error);
                continue;
            }
            output.run(name, 0, meta, QFileInfo(name).fileName());
            continue;
        }
        TextTableReader &reader = *input.tables;
        TextTable table;
        int count = 0;
        while (!calcStopFlag && !StandardOutput::failed() && reader.next(table)) {
            ++count;
            output.tableIndex = ++number;
            if (count > 1)
                output.tables = std::max(output.tables, number);
            MetaInput meta;
            QString error;
            const auto field = [&](int row, int column) { return table.field(row, column).toString(); };
            const int shown = count;
            if (!metaFromHeaderTable(field, table.rowCount(), table.columnCount(), table.firstLine(), &meta, &error)) {
                output.error(name, shown, "rejected", error);
                continue;
            }
            output.run(name, shown, meta, name == u"-" ? QStringLiteral("standard input") : QFileInfo(name).fileName());
        }
        if (reader.failed() || count == 0)
            output.error(name, 0, "error",
                         reader.failed() ? reader.errorString() : QStringLiteral("%1 holds no table").arg(name));
    }
    StandardOutput::flush();
    if (calcStopFlag) {
        cliprocess::printError(QStringLiteral("stopped"));
        return ExitFailed;
    }
    return output.allOk() ? ExitOk : ExitFailed;
}
