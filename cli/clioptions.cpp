#include "clioptions.h"

#include "conditionalodds.h"
#include "testinput.h"

namespace {

struct TestName
{
    const char16_t *name;
    int kind;
};

constexpr TestName kTests[] = {
    {u"chi2", TestChi2},
    {u"fisher", TestFisher},
    {u"hwe", TestHardyW},
    {u"interact", TestGeneInter},
    {u"cluster", TestCluster},
    {u"models", TestModels},
};

constexpr int kMaxAccuracy = 9;
// Beyond any machine's memory; keeps the byte count far from overflow.
constexpr qint64 kMaxMemoryMb = qint64(1) << 30;
// Days of work on the largest tables; keeps every count far from overflow.
constexpr qint64 kMaxSamples = 1000000000;
constexpr int kMaxThreads = 1024;
// Every JSON reader reads a seed up to 2^53 - 1 back exactly.
constexpr quint64 kMaxSeed = (quint64(1) << 53) - 1;
// A picture's side in pixels: large enough to read, small enough to hold.
constexpr int kMinPlotSide = 100;
constexpr int kMaxPlotSide = 8000;

CliParse failure(const QString &error)
{
    CliParse parse;
    parse.error = error;
    return parse;
}

bool hasSuffix(const QString &name, const QString &suffix)
{
    return name.endsWith(suffix, Qt::CaseInsensitive);
}

// Splits "--name=value" into its parts; an option without "=" keeps an
// empty value.
void splitOption(const QString &argument, QString &name, QString &value, bool &hasValue)
{
    const qsizetype eq = argument.indexOf(u'=');
    hasValue = eq >= 0;
    name = hasValue ? argument.left(eq) : argument;
    value = hasValue ? argument.mid(eq + 1) : QString();
}

// --plot and --plot-size, common to the tests and qq; false when the
// option is neither. error is set when it is one but is wrong.
bool parsePlotOption(const QString &name, const QString &value, CliOptions &options, QString &error)
{
    if (name == u"--plot") {
        if (!value.endsWith(QLatin1String(".png"), Qt::CaseInsensitive)
            && !value.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive)
            && !value.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
            error = QStringLiteral("--plot needs a name ending in .png, .svg or .pdf");
        options.plot = value;
        return true;
    }
    if (name == u"--plot-size") {
        const QStringList sides = value.split(u'x');
        bool wideOk = false;
        bool highOk = false;
        const int width = sides.size() == 2 ? sides.at(0).toInt(&wideOk, 10) : 0;
        const int height = sides.size() == 2 ? sides.at(1).toInt(&highOk, 10) : 0;
        if (!wideOk || !highOk || width < kMinPlotSide || width > kMaxPlotSide || height < kMinPlotSide
            || height > kMaxPlotSide)
            error = QStringLiteral("--plot-size takes WIDTHxHEIGHT in pixels, each %1 to %2")
                        .arg(kMinPlotSide)
                        .arg(kMaxPlotSide);
        options.plotWidth = width;
        options.plotHeight = height;
        return true;
    }
    return false;
}

CliParse parseTest(const QStringList &arguments, CliOptions options)
{
    bool plotSizeGiven = false;
    bool optionsEnded = false;
    bool accuracyGiven = false;
    bool confLevelGiven = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (optionsEnded || argument == u"-" || !argument.startsWith(u'-')) {
            options.files.append(argument);
            continue;
        }
        if (argument == u"--") {
            optionsEnded = true;
            continue;
        }
        QString name, value;
        bool hasValue = false;
        splitOption(argument, name, value, hasValue);
        const bool takesValue = name == u"--range" || name == u"--accuracy" || name == u"--max-memory"
                                || name == u"--monte-carlo" || name == u"--seed" || name == u"--threads"
                                || name == u"--conf-level" || name == u"--plot" || name == u"--plot-size";
        if (takesValue && !hasValue) {
            if (i + 1 >= arguments.size())
                return failure(QStringLiteral("%1 needs a value").arg(name));
            value = arguments.at(++i);
        } else if (!takesValue && hasValue) {
            return failure(QStringLiteral("%1 takes no value").arg(name));
        }

        QString plotError;
        if (parsePlotOption(name, value, options, plotError)) {
            if (!plotError.isEmpty())
                return failure(plotError);
            plotSizeGiven = plotSizeGiven || name == u"--plot-size";
        } else if (name == u"--range") {
            const std::optional<CellBlock> block = CellBlock::parse(value);
            if (!block)
                return failure(QStringLiteral("bad range \"%1\" (write it like B2:D7)").arg(value));
            options.ranges.push_back(*block);
        } else if (name == u"--yates") {
            options.yates = true;
        } else if (name == u"--accuracy") {
            bool ok = false;
            const int digits = value.toInt(&ok, 10);
            if (!ok || digits < 0 || digits > kMaxAccuracy)
                return failure(QStringLiteral("--accuracy takes 0 (exact) to %1 digits").arg(kMaxAccuracy));
            options.accuracy = digits;
            accuracyGiven = true;
        } else if (name == u"--max-memory") {
            bool ok = false;
            const qint64 mb = value.toLongLong(&ok, 10);
            if (!ok || mb < 1 || mb > kMaxMemoryMb)
                return failure(QStringLiteral("--max-memory takes a number of megabytes, 1 or more"));
            options.maxMemoryMb = mb;
        } else if (name == u"--monte-carlo") {
            bool ok = false;
            const qint64 samples = value.toLongLong(&ok, 10);
            if (!ok || samples < 1 || samples > kMaxSamples)
                return failure(QStringLiteral("--monte-carlo takes a number of samples, 1 to %1").arg(kMaxSamples));
            options.monteCarloSamples = samples;
        } else if (name == u"--seed") {
            bool ok = false;
            const quint64 seed = value.toULongLong(&ok, 10);
            if (!ok || seed > kMaxSeed || value.startsWith(u'-') || value.startsWith(u'+'))
                return failure(QStringLiteral("--seed takes a whole number from 0 to %1").arg(kMaxSeed));
            options.seed = seed;
            options.seedGiven = true;
        } else if (name == u"--threads") {
            bool ok = false;
            const int threads = value.toInt(&ok, 10);
            if (!ok || threads < 1 || threads > kMaxThreads)
                return failure(QStringLiteral("--threads takes a number of threads, 1 to %1").arg(kMaxThreads));
            options.threads = threads;
        } else if (name == u"--conf-level") {
            bool ok = false;
            const double level = value.toDouble(&ok);
            if (!ok || !(level > 0.0 && level <= conditionalodds::kMaxConfLevel))
                return failure(QStringLiteral("--conf-level takes a level above 0 and at most %1 (such as 0.95)")
                                   .arg(conditionalodds::kMaxConfLevel));
            options.confLevel = level;
            confLevelGiven = true;
        } else if (name == u"--report") {
            options.report = true;
        } else {
            return failure(QStringLiteral("unknown option %1").arg(argument));
        }
    }
    // Options that a test would silently ignore are refused, so that a
    // script never believes it asked for something it did not get.
    if (options.yates && options.testKind != TestChi2)
        return failure(QStringLiteral("--yates applies to chi2 only"));
    if (accuracyGiven && options.testKind != TestFisher)
        return failure(QStringLiteral("--accuracy applies to fisher only"));
    if (confLevelGiven && options.testKind != TestModels)
        return failure(QStringLiteral("--conf-level applies to models only"));
    const bool simulates = options.monteCarloSamples > 0;
    if (simulates && options.testKind != TestFisher && options.testKind != TestHardyW
        && options.testKind != TestChi2)
        return failure(QStringLiteral("--monte-carlo applies to fisher, hwe and chi2"));
    if (simulates && accuracyGiven)
        return failure(QStringLiteral("--accuracy and --monte-carlo exclude each other"));
    if (options.seedGiven && !simulates)
        return failure(QStringLiteral("--seed applies with --monte-carlo only"));
    if (plotSizeGiven && options.plot.isEmpty())
        return failure(QStringLiteral("--plot-size applies with --plot only"));
    if (!options.plot.isEmpty() && options.testKind == TestGeneInter)
        return failure(QStringLiteral("--plot applies to chi2, fisher, hwe, cluster and models"));
    if (options.files.isEmpty())
        return failure(QStringLiteral("no FILE given"));

    CliParse parse;
    parse.ok = true;
    parse.options = options;
    return parse;
}

// qq FILE [--plot OUT] [--plot-size WxH]
CliParse parseQq(const QStringList &arguments, CliOptions options)
{
    bool optionsEnded = false;
    bool plotSizeGiven = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (optionsEnded || argument == u"-" || !argument.startsWith(u'-')) {
            options.files.append(argument);
            continue;
        }
        if (argument == u"--") {
            optionsEnded = true;
            continue;
        }
        QString name, value;
        bool hasValue = false;
        splitOption(argument, name, value, hasValue);
        if (name != u"--plot" && name != u"--plot-size")
            return failure(QStringLiteral("unknown option %1").arg(argument));
        if (!hasValue) {
            if (i + 1 >= arguments.size())
                return failure(QStringLiteral("%1 needs a value").arg(name));
            value = arguments.at(++i);
        }
        QString error;
        parsePlotOption(name, value, options, error);
        if (!error.isEmpty())
            return failure(error);
        plotSizeGiven = plotSizeGiven || name == u"--plot-size";
    }
    if (plotSizeGiven && options.plot.isEmpty())
        return failure(QStringLiteral("--plot-size applies with --plot only"));
    if (options.files.size() != 1)
        return failure(QStringLiteral("qq takes one FILE"));
    CliParse parse;
    parse.ok = true;
    parse.options = options;
    return parse;
}

// values and convert take plain file arguments only.
CliParse parseFiles(const QStringList &arguments, CliOptions options, int count)
{
    bool optionsEnded = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (!optionsEnded && argument == u"--") {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && argument != u"-" && argument.startsWith(u'-'))
            return failure(QStringLiteral("unknown option %1").arg(argument));
        options.files.append(argument);
    }
    if (options.files.size() != count) {
        return failure(QStringLiteral("%1 takes %2").arg(arguments.first(),
                                                        count == 1 ? QStringLiteral("one FILE")
                                                                   : QStringLiteral("IN and OUT")));
    }
    CliParse parse;
    parse.ok = true;
    parse.options = options;
    return parse;
}

} // namespace

bool isDocumentName(const QString &name)
{
    return hasSuffix(name, QStringLiteral(".sp"));
}

bool isCsvName(const QString &name)
{
    return hasSuffix(name, QStringLiteral(".csv"));
}

bool isTsvName(const QString &name)
{
    return hasSuffix(name, QStringLiteral(".tsv"));
}

CliParse parseCommandLine(const QStringList &arguments)
{
    if (arguments.isEmpty())
        return failure(QStringLiteral("no command given"));

    CliOptions options;
    const QString &command = arguments.first();
    if (command == u"--help" || command == u"-h" || command == u"help") {
        CliParse parse;
        parse.ok = arguments.size() == 1;
        if (!parse.ok)
            parse.error = QStringLiteral("%1 takes no arguments").arg(command);
        parse.options.command = CliOptions::Command::Help;
        return parse;
    }
    if (command == u"values") {
        options.command = CliOptions::Command::Values;
        return parseFiles(arguments, options, 1);
    }
    if (command == u"convert") {
        options.command = CliOptions::Command::Convert;
        CliParse parse = parseFiles(arguments, options, 2);
        if (parse.ok) {
            const QString &out = parse.options.files.at(1);
            if (!isDocumentName(out) && !isCsvName(out) && !isTsvName(out))
                return failure(QStringLiteral("OUT must end in .sp, .tsv or .csv"));
        }
        return parse;
    }
    if (command == u"qq") {
        options.command = CliOptions::Command::Qq;
        return parseQq(arguments, options);
    }
    for (const TestName &test : kTests) {
        if (command == QStringView(test.name)) {
            options.command = CliOptions::Command::Test;
            options.testKind = test.kind;
            options.testName = command;
            return parseTest(arguments, options);
        }
    }
    return failure(QStringLiteral("unknown command %1").arg(command));
}

QString usageText()
{
    return QStringLiteral(
        "usage: velmora-cli TEST [--range B2:D7]... [--yates] [--accuracy D] [--max-memory MB]\n"
        "                       [--monte-carlo B [--seed S]] [--conf-level L] [--threads T]\n"
        "                       [--report] [--plot OUT.png|OUT.svg|OUT.pdf [--plot-size WxH]] FILE...\n"
        "       velmora-cli qq FILE.jsonl [--plot OUT.png|OUT.svg|OUT.pdf [--plot-size WxH]]\n"
        "       velmora-cli values FILE\n"
        "       velmora-cli convert IN OUT\n"
        "TEST is chi2, fisher, hwe, interact, cluster or models. FILE is a *.sp document or a text\n"
        "table (tab-separated, or comma-separated in a .csv file); - reads standard input.\n"
        "Tables separated by empty lines are tested one after another. --yates: chi2 only;\n"
        "--accuracy 1..9: approximate fisher with that many digits (0: exact).\n"
        "--max-memory MB: the most one run may hold (default: 3/4 of the memory available).\n"
        "--monte-carlo B: fisher, hwe, chi2 by B random tables, with a 99% interval; --seed S\n"
        "repeats a run (default: a fresh seed, reported); --threads T (default: every core).\n"
        "--conf-level L: models' intervals at level L (default 0.95).\n"
        "--plot: the picture of the table (a batch: the folder OUT with OUT/table-N.ext for\n"
        "the N-th line); --plot-size: its pixels (default 1200x800).\n"
        "qq: the Q-Q plot of the \"p\" of every line with status 0 of a JSON-lines output,\n"
        "and the genomic-control lambda on standard output.\n");
}
