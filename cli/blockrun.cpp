#include "blockrun.h"

#include "calcpoll.h"
#include "checks.h"
#include "clusterrun.h"
#include "contingencyruns.h"
#include "fisherrun.h"
#include "fishersmall.h"
#include "hwtwoallele.h"
#include "jsonline.h"
#include "modelsjson.h"
#include "modelsrun.h"
#include "montecarlorun.h"
#include "testinput.h"

#include <QRegularExpression>

#include <charconv>
#include <cmath>

namespace {

// The block's range as CellBlock::text() writes it, in `buffer` rather than
// in strings of its own: every line names one.
QStringView rangeText(const CellBlock &block, char16_t (&buffer)[32])
{
    if (block.isEmpty())
        return {};
    char16_t *end = buffer;
    const auto cell = [&end](int row, int column) {
        *end++ = char16_t(u'A' + column);
        char digits[12];
        const char *last = std::to_chars(digits, digits + sizeof digits, row + 1).ptr;
        for (const char *d = digits; d != last; ++d)
            *end++ = char16_t(*d);
    };
    cell(block.top, block.left);
    *end++ = u':';
    cell(block.bottom, block.right);
    return QStringView(buffer, end - buffer);
}

// The fields every line starts with, in place of what `json` held.
void head(JsonLine &json, const TestSettings &settings, const BlockPlace &place, const CellBlock *block)
{
    json.clear();
    json.add("file", place.file);
    if (place.variant) {
        json.appendFields(*place.variant);
        json.add("test", settings.name);
        return;
    }
    if (place.table > 0)
        json.add("table", place.table);
    else
        json.addNull("table");
    char16_t range[32];
    if (block)
        json.add("range", rangeText(*block, range));
    else
        json.addNull("range");
    json.add("test", settings.name);
}

// A ratio of the cluster table: negative marks a zero count replaced by
// 0.5, which the report prints in parentheses.
void addRatio(JsonLine &json, const char *key, const char *correctedKey, double value)
{
    if (std::isnan(value)) {
        json.addNull(key);
        json.add(correctedKey, false);
        return;
    }
    json.addNumber(key, std::fabs(value));
    json.add(correctedKey, value < 0);
}

QString clusterFigures(const ClusterRun &run, const TestInput &input)
{
    JsonLine clusters;
    clusters.add("count", run.clusters);
    clusters.addRaw("factors", JsonLine::stringArray(input.factorNames));
    clusters.addRaw("of_factor", JsonLine::intArray(run.clusterOfFactor));
    clusters.addRaw("samples", JsonLine::stringArray(input.sampleNames));
    QString summary = QStringLiteral("[");
    for (std::size_t c = 0; c < run.summary.size(); ++c) {
        const RiskClusterRow &row = run.summary[c];
        JsonLine entry;
        entry.add("cluster", int(c + 1));
        entry.addRaw("counts", QStringLiteral("[%1,%2]").arg(row.first).arg(row.second));
        addRatio(entry, "frequencies_ratio", "frequencies_ratio_corrected", row.frequenciesRatio);
        addRatio(entry, "odds_ratio", "odds_ratio_corrected", row.oddsRatio);
        if (c > 0)
            summary += u',';
        summary += entry.text();
    }
    summary += u']';
    clusters.addRaw("summary", summary);
    return clusters.text();
}

// The names beside the block, for its picture.
BlockNames namesBeside(const CellSource &grid, const TestInput &input)
{
    return blockNames(grid, input.topRow, input.leftCol, input.nRows, input.nCols);
}

// Where a picture's block comes from, for its title.
QString placeText(const BlockPlace &place, const CellBlock &block)
{
    const QString file = place.file == u"-" ? QStringLiteral("standard input") : place.file;
    if (place.document)
        return QStringLiteral("%1 of %2").arg(block.text(), file);
    return QStringLiteral("%1, table %2 of %3").arg(block.text()).arg(place.table).arg(file);
}

// A block of fisher, hwe or chi2 by simulation; its own JSON fields go to
// `own`.
MonteCarloRun monteCarloBlock(const CellSource &grid, const TestSettings &settings, const BlockPlace &place,
                              TestInput &input, const ProgressDisplay &progress, JsonLine &own)
{
    MonteCarloSettings monteCarlo;
    monteCarlo.samples = settings.monteCarloSamples;
    monteCarlo.seed = settings.seedGiven ? settings.seed : drawMonteCarloSeed();
    monteCarlo.threads = settings.threads;
    monteCarlo.key = place.monteCarloKey();
    monteCarlo.histogram = settings.plot;
    input.monteCarloSamples = settings.monteCarloSamples;
    const MonteCarloRun run = runMonteCarloTest(settings.kind, input, grid, monteCarlo, progress);
    own.add("method", "monte-carlo").add("samples", run.samples);
    own.add("seed", qint64(run.seed));
    own.addRaw("ci99", u'[' + JsonLine::number(run.low) + u',' + JsonLine::number(run.high) + u']');
    if (settings.kind == TestChi2)
        own.addNumber("x2", run.x2).add("df", run.df).add("yates", input.yates);
    else if (settings.kind == TestHardyW && !place.variant)
        own.add("alleles", input.testSize);
    return run;
}

// Whether a checked block runs at once and touches nothing shared.
bool quickOnAnyThread(const TestSettings &settings, const TestInput &input)
{
    if (settings.monteCarloSamples > 0)
        return false;
    switch (settings.kind) {
    case TestChi2:
    case TestModels:
        return true;
    case TestFisher:
        return input.accuracy == 0
               && fishersmall::qualifies(input.bufC.data(), input.bufD.data(), input.testSize, input.total);
    case TestHardyW: {
        const int K = input.testSize;
        qint64 homA = 0, het = 0, homB = 0;
        return K >= 2 && qint64(K) * K <= qint64(input.bufA.size())
               && hwtwoallele::fromTable(K, input.bufA.data(), &homA, &het, &homB);
    }
    default:
        return false;
    }
}

} // namespace

QString plainText(const QString &html)
{
    static const QRegularExpression lineBreak(QStringLiteral("<br\\s*/?>"),
                                              QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression tag(QStringLiteral("<[^>]*>"));
    QString text = html;
    text.replace(lineBreak, QStringLiteral("\n"));
    text.remove(tag);
    text.replace(QStringLiteral("&lt;"), QStringLiteral("<"));
    text.replace(QStringLiteral("&gt;"), QStringLiteral(">"));
    text.replace(QStringLiteral("&quot;"), QStringLiteral("\""));
    text.replace(QStringLiteral("&nbsp;"), QStringLiteral(" "));
    text.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    QStringList lines;
    for (const QString &line : text.split(u'\n')) {
        const QString trimmed = line.simplified();
        if (!trimmed.isEmpty())
            lines.append(trimmed);
    }
    return lines.join(u' ');
}

QString errorLine(const TestSettings &settings, const BlockPlace &place, const QString &message)
{
    if (settings.report)
        return resultsEntry(QStringLiteral("<br />") + message.toHtmlEscaped(), true);
    JsonLine json;
    head(json, settings, place, nullptr);
    json.add("status", "error");
    // A models line has no single P.
    if (settings.kind != TestModels)
        json.addNull("p");
    json.add("message", message);
    return json.text();
}

BlockOutcome runBlock(const CellSource &grid, const CellBlock &block, const TestSettings &settings,
                      const BlockPlace &place, const ProgressDisplay &progress)
{
    TestInput input;
    return runBlock(grid, block, settings, place, progress, input, BlockThread::Main);
}

BlockOutcome runBlock(const CellSource &grid, const CellBlock &block, const TestSettings &settings,
                      const BlockPlace &place, const ProgressDisplay &progress, TestInput &input,
                      BlockThread thread, QByteArray *lines)
{
    BlockOutcome outcome;
    // A line is built in the thread's own buffers, which keep their memory
    // from block to block, and goes to `lines` without a QString.
    thread_local JsonLine json;
    thread_local JsonLine own;  // the test's own figures
    own.clear();
    const auto deliver = [&](const QString &text) {
        if (!lines) {
            outcome.line = text;
            return;
        }
        *lines += text.toUtf8();
        *lines += '\n';
    };
    const auto deliverJson = [&] {
        if (lines)
            json.writeLine(*lines);
        else
            outcome.line = json.text();
    };

    input.nCols = block.columns();
    input.nRows = block.rows();
    input.leftCol = block.isEmpty() ? 0 : block.left;
    input.topRow = block.isEmpty() ? 0 : block.top;
    input.yates = settings.yates;
    input.accuracy = settings.accuracy;
    input.total = 0;
    input.testSize = 0;
    input.chi2Sum = 0;
    input.monteCarloSamples = 0;
    input.confLevel = settings.confLevel;

    const CheckResult check = checkTestRange(settings.kind, grid, input);
    if (!check.ok) {
        if (settings.report) {
            deliver(resultsEntry(QStringLiteral("<br />") + check.message, true));
        } else {
            head(json, settings, place, &block);
            json.add("status", "rejected");
            if (settings.kind != TestModels)
                json.addNull("p");
            json.add("message", plainText(check.message));
            deliverJson();
        }
        return outcome;
    }

    if (thread == BlockThread::Worker && !quickOnAnyThread(settings, input)) {
        outcome.deferred = true;
        return outcome;
    }

    // JSON shows the figures alone; the entry's text is built only for
    // --report and for failures.
    const ReportText text = settings.report ? ReportText::Full : ReportText::FiguresOnly;
    RunReport report;
    const bool plot = settings.plot;
    if (settings.monteCarloSamples > 0) {
        const MonteCarloRun run = monteCarloBlock(grid, settings, place, input, progress, own);
        report = run;
        if (plot && run.status == 0)
            outcome.picture = monteCarloPicture(settings.kind, run, placeText(place, block));
    } else {
        // A variant's line names the method, which the table's lines leave
        // to their fields.
        if (place.variant && settings.kind != TestModels)
            own.add("method", settings.kind == TestChi2 ? "asymptotic" : "exact");
        switch (settings.kind) {
        case TestChi2: {
            const Chi2Run run = runChi2Test(input, grid);
            report = run;
            if (plot && run.status == 0)
                outcome.picture = chi2Picture(input, grid, run, placeText(place, block), namesBeside(grid, input));
            own.addNumber("x2", run.x2).add("df", run.df).add("yates", input.yates);
            break;
        }
        case TestFisher: {
            const FisherRun run = runFisherTest(input, progress, text);
            report = run;
            if (plot && run.status == 0)
                outcome.picture = fisherPicture(input, run, placeText(place, block), namesBeside(grid, input));
            if (!place.variant)
                own.add("variant", run.variant == 0 ? "exact" : "approximate").add("accuracy", run.accuracy);
            break;
        }
        case TestHardyW: {
            report = runHardyWeinbergTest(input, progress, nullptr, text);
            if (!place.variant)
                own.add("alleles", input.testSize);
            if (plot && report.status == 0)
                outcome.picture = hardyWeinbergPicture(input, report, placeText(place, block), namesBeside(grid, input));
            break;
        }
        case TestGeneInter: {
            report = runGeneInteractionTest(input);
            own.add("rows", input.nRows / 2).add("columns", input.nCols);
            break;
        }
        case TestModels: {
            const ModelsRun run = runModelsTest(input, text);
            report = run;
            if (run.status == 0)
                addModelFigures(own, run.figures);
            if (plot && run.status == 0)
                outcome.picture = modelsPicture(input, run, placeText(place, block));
            break;
        }
        case TestCluster: {
            const ClusterRun run = runRiskCluster(input, progress);
            report = run;
            if (plot && run.status == 0)
                outcome.picture = clusterPicture(input, run, placeText(place, block));
            if (run.status == 0)
                own.addRaw("clusters", clusterFigures(run, input));
            break;
        }
        default:
            break;
        }
    }

    // An engine that gave up while Ctrl+C was pending was stopped by it.
    outcome.stopped = report.status != 0 && calcStopFlag != 0;
    outcome.ok = report.status == 0;
    outcome.status = report.status;
    if (settings.report) {
        QString message = report.message;
        if (message.isEmpty() && outcome.stopped)
            message = QStringLiteral("<br />Program is stopped by user");
        deliver(resultsEntry(message, report.isError != 0 || !outcome.ok));
        return outcome;
    }

    head(json, settings, place, &block);
    json.add("status", report.status);
    if (settings.kind != TestModels)
        json.addNumber("p", outcome.ok ? report.pValue : qQNaN());
    if (!outcome.ok) {
        QString message = plainText(report.message);
        if (message.isEmpty() && outcome.stopped)
            message = QStringLiteral("Program is stopped by user");
        json.add("message", message);
        if (outcome.stopped)
            json.add("stopped", true);
    } else {
        json.append(own);
    }
    deliverJson();
    return outcome;
}
