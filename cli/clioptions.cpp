#include "clioptions.h"

#include "conditionalodds.h"
#include "genotypereader.h"
#include "haplotypescommand.h"
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
    {u"cmh", kTestCmh},
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
// A cluster run cuts a file into at most this many pieces.
constexpr int kMaxChunks = 1000000;
// A day of exact work per variant is far past any batch's patience.
constexpr double kMaxExactLimit = 86400.0;

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

// What a run on genotype files accepts.
CliParse checkGenotypeOptions(const CliOptions &options, bool accuracyGiven)
{
    for (const QString &file : options.files) {
        if (!isGenotypeFileName(file))
            return failure(QStringLiteral("genotype files (.vcf, .vcf.gz, .bcf, .bed) and tables (%1) cannot be "
                                          "mixed in one run")
                               .arg(file));
    }
    const int kind = options.testKind;
    if (kind != TestHardyW && kind != TestFisher && kind != TestChi2 && kind != TestModels && kind != kTestCmh)
        return failure(QStringLiteral("%1 does not run on genotype files (hwe, fisher, chi2, models and cmh do)")
                           .arg(options.testName));
    if (kind == kTestCmh && options.strataFile.isEmpty())
        return failure(QStringLiteral("cmh needs --strata FILE: the stratum of each sample"));
    if (!options.ranges.empty())
        return failure(QStringLiteral("--range applies to tables, not to genotype files"));
    if (options.report)
        return failure(QStringLiteral("--report applies to tables, not to genotype files"));
    if (accuracyGiven)
        return failure(QStringLiteral("--accuracy applies to tables, not to genotype files"));
    if (!options.plot.isEmpty())
        return failure(QStringLiteral("--plot applies to tables, not to genotype files"));
    if (!options.phenoFile.isEmpty() && kind == TestHardyW)
        return failure(QStringLiteral("--pheno applies to fisher, chi2 and models"));
    if (kind != TestHardyW && options.phenoFile.isEmpty()) {
        for (const QString &file : options.files) {
            if (!file.endsWith(QStringLiteral(".bed"), Qt::CaseInsensitive))
                return failure(QStringLiteral("%1 on %2 needs --pheno FILE: its cases and controls")
                                   .arg(options.testName, file));
        }
    }
    CliParse parse;
    parse.ok = true;
    return parse;
}

CliParse parseTest(const QStringList &arguments, CliOptions options)
{
    bool plotSizeGiven = false;
    bool accuracyGiven = false;
    bool confLevelGiven = false;
    bool exactLimitGiven = false;
    bool modelGiven = false;
    QStringList genotypeOnly;   // genotype options given, for the message
    const auto kind = [](const QString &name) {
        if (name == u"--yates" || name == u"--report")
            return OptionKind::Flag;
        const bool valued = name == u"--range" || name == u"--accuracy" || name == u"--max-memory"
                            || name == u"--monte-carlo" || name == u"--seed" || name == u"--threads"
                            || name == u"--conf-level" || name == u"--region" || name == u"--chunk"
                            || name == u"--samples" || name == u"--pheno" || name == u"--exact-limit"
                            || name == u"--format" || name == u"--plot" || name == u"--plot-size"
                            || name == u"--strata" || name == u"--model";
        return valued ? OptionKind::Valued : OptionKind::Unknown;
    };
    const auto take = [&](const QString &name, const QString &value) -> QString {
        QString error;
        if (parseSharedOption(name, value, options, error)) {
            if (name == u"--chunk" || name == u"--format")
                genotypeOnly.append(name);
        } else if (parsePlotOption(name, value, options, error)) {
            plotSizeGiven = plotSizeGiven || name == u"--plot-size";
        } else if (name == u"--range") {
            const std::optional<CellBlock> block = CellBlock::parse(value);
            if (!block)
                return QStringLiteral("bad range \"%1\" (write it like B2:D7)").arg(value);
            options.ranges.push_back(*block);
        } else if (name == u"--yates") {
            options.yates = true;
        } else if (name == u"--accuracy") {
            bool ok = false;
            const int digits = value.toInt(&ok, 10);
            if (!ok || digits < 0 || digits > kMaxAccuracy)
                return QStringLiteral("--accuracy takes 0 (exact) to %1 digits").arg(kMaxAccuracy);
            options.accuracy = digits;
            accuracyGiven = true;
        } else if (name == u"--max-memory") {
            bool ok = false;
            const qint64 mb = value.toLongLong(&ok, 10);
            if (!ok || mb < 1 || mb > kMaxMemoryMb)
                return QStringLiteral("--max-memory takes a number of megabytes, 1 or more");
            options.maxMemoryMb = mb;
        } else if (name == u"--monte-carlo") {
            bool ok = false;
            const qint64 samples = value.toLongLong(&ok, 10);
            if (!ok || samples < 1 || samples > kMaxSamples)
                return QStringLiteral("--monte-carlo takes a number of samples, 1 to %1").arg(kMaxSamples);
            options.monteCarloSamples = samples;
        } else if (name == u"--conf-level") {
            bool ok = false;
            const double level = value.toDouble(&ok);
            if (!ok || !(level > 0.0 && level <= conditionalodds::kMaxConfLevel))
                return QStringLiteral("--conf-level takes a level above 0 and at most %1 (such as 0.95)")
                    .arg(conditionalodds::kMaxConfLevel);
            options.confLevel = level;
            confLevelGiven = true;
        } else if (name == u"--report") {
            options.report = true;
        } else if (name == u"--region") {
            options.region = RegionSpec::parse(value, &error);
            genotypeOnly.append(name);
        } else if (name == u"--samples") {
            options.samplesFile = value;
            genotypeOnly.append(name);
        } else if (name == u"--pheno") {
            options.phenoFile = value;
            genotypeOnly.append(name);
        } else if (name == u"--exact-limit") {
            bool ok = false;
            const double seconds = value.toDouble(&ok);
            if (!ok || !(seconds >= 0) || seconds > kMaxExactLimit)
                return QStringLiteral("--exact-limit takes seconds, 0 to %1").arg(kMaxExactLimit);
            options.exactLimit = seconds;
            exactLimitGiven = true;
            genotypeOnly.append(name);
        } else if (name == u"--strata") {
            options.strataFile = value;
            genotypeOnly.append(name);
        } else if (name == u"--model") {
            if (value == u"allelic")
                options.model = StrataModel::Allelic;
            else if (value == u"dominant")
                options.model = StrataModel::Dominant;
            else if (value == u"recessive")
                options.model = StrataModel::Recessive;
            else
                return QStringLiteral("--model takes allelic, dominant or recessive");
            modelGiven = true;
            genotypeOnly.append(name);
        }
        return error;
    };
    const QString walkError = walkOptions(arguments, options.files, kind, take);
    if (!walkError.isEmpty())
        return failure(walkError);
    if (options.files.isEmpty())
        return failure(QStringLiteral("no FILE given"));
    for (const QString &file : options.files)
        options.genotypes = options.genotypes || isGenotypeFileName(file);
    const bool cmh = options.testKind == kTestCmh;
    if (cmh && !options.genotypes)
        return failure(QStringLiteral("cmh runs on genotype files (.vcf, .vcf.gz, .bcf, .bed)"));
    if (!cmh && !options.strataFile.isEmpty())
        return failure(QStringLiteral("--strata applies to cmh only"));
    if (!cmh && modelGiven)
        return failure(QStringLiteral("--model applies to cmh only"));
    // The exact conditional test of cmh always runs: it has no estimate.
    if (cmh && exactLimitGiven)
        return failure(QStringLiteral("--exact-limit applies to hwe, fisher and chi2"));
    if (cmh && options.seedGiven)
        return failure(QStringLiteral("--seed applies to the Monte Carlo estimates of hwe, fisher and chi2"));
    if (options.genotypes) {
        CliParse checked = checkGenotypeOptions(options, accuracyGiven);
        if (!checked.ok)
            return checked;
    } else if (!genotypeOnly.isEmpty()) {
        return failure(QStringLiteral("%1 applies to genotype files (.vcf, .vcf.gz, .bcf, .bed)").arg(genotypeOnly.first()));
    }

    // Options that a test would silently ignore are refused, so that a
    // script never believes it asked for something it did not get.
    if (options.yates && options.testKind != TestChi2)
        return failure(QStringLiteral("--yates applies to chi2 only"));
    if (accuracyGiven && options.testKind != TestFisher)
        return failure(QStringLiteral("--accuracy applies to fisher only"));
    if (confLevelGiven && options.testKind != TestModels && !cmh)
        return failure(QStringLiteral("--conf-level applies to models, cmh and meta"));
    const bool simulates = options.monteCarloSamples > 0;
    if (simulates && options.testKind != TestFisher && options.testKind != TestHardyW
        && options.testKind != TestChi2)
        return failure(QStringLiteral("--monte-carlo applies to fisher, hwe and chi2"));
    if (simulates && accuracyGiven)
        return failure(QStringLiteral("--accuracy and --monte-carlo exclude each other"));
    // A genotype run's fallback estimates take the seed without it.
    if (options.seedGiven && !simulates && !options.genotypes)
        return failure(QStringLiteral("--seed applies with --monte-carlo only"));
    if (plotSizeGiven && options.plot.isEmpty())
        return failure(QStringLiteral("--plot-size applies with --plot only"));
    if (!options.plot.isEmpty() && options.testKind == TestGeneInter)
        return failure(QStringLiteral("--plot applies to chi2, fisher, hwe, cluster and models"));

    CliParse parse;
    parse.ok = true;
    parse.options = options;
    return parse;
}

// qq FILE [--plot OUT] [--plot-size WxH]
CliParse parseQq(const QStringList &arguments, CliOptions options)
{
    bool plotSizeGiven = false;
    const QString error = walkOptions(
        arguments, options.files,
        [](const QString &name) {
            return name == u"--plot" || name == u"--plot-size" ? OptionKind::Valued : OptionKind::Unknown;
        },
        [&](const QString &name, const QString &value) {
            QString wrong;
            parsePlotOption(name, value, options, wrong);
            plotSizeGiven = plotSizeGiven || name == u"--plot-size";
            return wrong;
        });
    if (!error.isEmpty())
        return failure(error);
    if (plotSizeGiven && options.plot.isEmpty())
        return failure(QStringLiteral("--plot-size applies with --plot only"));
    if (options.files.size() != 1)
        return failure(QStringLiteral("qq takes one FILE"));
    CliParse parse;
    parse.ok = true;
    parse.options = options;
    return parse;
}

// ld FILE [--region R] [--window-kb W] [--r2-min X] [--snps ID,...] and the
// file options.
CliParse parseLd(const QStringList &arguments, CliOptions options)
{
    bool plotSizeGiven = false;
    bool colourGiven = false;
    static const QStringList kValued = {QStringLiteral("--region"),  QStringLiteral("--window-kb"), QStringLiteral("--r2-min"),
                                        QStringLiteral("--snps"),    QStringLiteral("--samples"),   QStringLiteral("--chunk"),
                                        QStringLiteral("--threads"), QStringLiteral("--format"),    QStringLiteral("--plot"),
                                        QStringLiteral("--plot-size"), QStringLiteral("--plot-colour")};
    const QString wrong = walkOptions(
        arguments, options.files,
        [](const QString &name) { return kValued.contains(name) ? OptionKind::Valued : OptionKind::Unknown; },
        [&](const QString &name, const QString &value) {
            QString error;
            if (parsePlotOption(name, value, options, error) || parseSharedOption(name, value, options, error)) {
                plotSizeGiven = plotSizeGiven || name == u"--plot-size";
            } else if (name == u"--region") {
                options.region = RegionSpec::parse(value, &error);
            } else if (name == u"--window-kb") {
                bool ok = false;
                const double kb = value.toDouble(&ok);
                // Past any chromosome: 10^7 kb.
                if (!ok || !(kb >= 0) || kb > 1e7)
                    error = QStringLiteral("--window-kb takes kilobases, 0 to 10000000");
                options.windowKb = kb;
                options.windowGiven = true;
            } else if (name == u"--r2-min") {
                bool ok = false;
                const double r2 = value.toDouble(&ok);
                if (!ok || !(r2 >= 0) || r2 > 1)
                    error = QStringLiteral("--r2-min takes an r2 from 0 to 1");
                options.r2Min = r2;
            } else if (name == u"--snps") {
                options.snps = value.split(u',');
                for (const QString &id : std::as_const(options.snps)) {
                    if (id.isEmpty())
                        error = QStringLiteral("--snps takes IDs separated by commas, none empty");
                }
                if (error.isEmpty() && options.snps.size() < 2)
                    error = QStringLiteral("--snps takes two IDs or more");
            } else if (name == u"--samples") {
                options.samplesFile = value;
            } else if (name == u"--plot-colour") {
                if (value != u"dprime" && value != u"r2")
                    error = QStringLiteral("--plot-colour takes dprime (D' with LOD) or r2");
                options.plotByR2 = value == u"r2";
                colourGiven = true;
            }
            return error;
        });
    if (!wrong.isEmpty())
        return failure(wrong);
    if (options.files.size() != 1)
        return failure(QStringLiteral("ld takes one genotype FILE"));
    if (!isGenotypeFileName(options.files.first()))
        return failure(QStringLiteral("ld reads genotype files (.vcf, .vcf.gz, .bcf, .bed), not %1")
                           .arg(options.files.first()));
    if (!options.snps.isEmpty() && options.windowGiven)
        return failure(QStringLiteral("--window-kb applies to a scan; --snps pairs every SNP named"));
    if (!options.snps.isEmpty() && options.chunkCount > 0)
        return failure(QStringLiteral("--chunk applies to a scan, not to --snps"));
    if (plotSizeGiven && options.plot.isEmpty())
        return failure(QStringLiteral("--plot-size applies with --plot only"));
    if (colourGiven && options.plot.isEmpty())
        return failure(QStringLiteral("--plot-colour applies with --plot only"));
    if (!options.plot.isEmpty() && options.chunkCount > 0)
        return failure(QStringLiteral("--plot draws a whole run, not a --chunk"));
    options.genotypes = true;
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

QString walkOptions(const QStringList &arguments, QStringList &files,
                    const std::function<OptionKind(const QString &name)> &kind,
                    const std::function<QString(const QString &name, const QString &value)> &take)
{
    bool optionsEnded = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (optionsEnded || argument == u"-" || !argument.startsWith(u'-')) {
            files.append(argument);
            continue;
        }
        if (argument == u"--") {
            optionsEnded = true;
            continue;
        }
        QString name, value;
        bool hasValue = false;
        splitOption(argument, name, value, hasValue);
        const OptionKind what = kind(name);
        if (what == OptionKind::Unknown)
            return QStringLiteral("unknown option %1").arg(argument);
        if (what == OptionKind::Flag && hasValue)
            return QStringLiteral("%1 takes no value").arg(name);
        if (what == OptionKind::Valued && !hasValue) {
            if (i + 1 >= arguments.size())
                return QStringLiteral("%1 needs a value").arg(name);
            value = arguments.at(++i);
        }
        const QString error = take(name, value);
        if (!error.isEmpty())
            return error;
    }
    return QString();
}

bool parseSharedOption(const QString &name, const QString &value, CliOptions &options, QString &error)
{
    bool ok = false;
    if (name == u"--threads") {
        const int threads = value.toInt(&ok, 10);
        if (!ok || threads < 1 || threads > kMaxThreads)
            error = QStringLiteral("--threads takes a number of threads, 1 to %1").arg(kMaxThreads);
        options.threads = threads;
    } else if (name == u"--format") {
        if (value != u"json" && value != u"tsv")
            error = QStringLiteral("--format takes json or tsv");
        options.tsv = value == u"tsv";
    } else if (name == u"--seed") {
        const quint64 seed = value.toULongLong(&ok, 10);
        if (!ok || seed > kMaxSeed || value.startsWith(u'-') || value.startsWith(u'+'))
            error = QStringLiteral("--seed takes a whole number from 0 to %1").arg(kMaxSeed);
        options.seed = seed;
        options.seedGiven = true;
    } else if (name == u"--chunk") {
        const qsizetype slash = value.indexOf(u'/');
        bool okIndex = false, okCount = false;
        const int index = slash < 0 ? 0 : value.left(slash).toInt(&okIndex, 10);
        const int count = slash < 0 ? 0 : value.mid(slash + 1).toInt(&okCount, 10);
        if (!okIndex || !okCount || count < 1 || count > kMaxChunks || index < 1 || index > count)
            error = QStringLiteral("--chunk takes I/N, 1 <= I <= N <= %1 (the I-th of N pieces)").arg(kMaxChunks);
        options.chunkIndex = index;
        options.chunkCount = count;
    } else {
        return false;
    }
    return true;
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
    if (command == u"meta") {
        options.command = CliOptions::Command::Meta;
        return parseMeta(arguments, options);
    }
    if (command == u"ld") {
        options.command = CliOptions::Command::Ld;
        return parseLd(arguments, options);
    }
    if (command == u"haplotypes")
        return parseHaplotypesCommand(arguments);
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
        "       velmora-cli hwe|fisher|chi2|models [--region CHR:FROM-TO] [--chunk I/N] [--samples FILE]\n"
        "                       [--pheno FILE] [--exact-limit SECONDS] [--monte-carlo B] [--seed S]\n"
        "                       [--format json|tsv] [--threads T] GENOTYPES...\n"
        "       velmora-cli cmh --strata FILE [--model allelic|dominant|recessive] [--conf-level L]\n"
        "                       [--region ...] [--chunk I/N] [--samples FILE] [--pheno FILE]\n"
        "                       [--format json|tsv] [--threads T] GENOTYPES...\n"
        "       velmora-cli qq FILE.jsonl [--plot OUT.png|OUT.svg|OUT.pdf [--plot-size WxH]]\n"
        "       velmora-cli meta [--model M] [--hwe-level L] [--conf-level L] [--format json|tsv]\n"
        "                       [--range B2:G13 [--subgroups] [--effect-first]] [--monte-carlo B] [--seed S]\n"
        "                       [--threads T] [--plot OUT [--plot-kind forest|funnel|leave-one-out]\n"
        "                       [--plot-size WxH]] FILE...\n"
        "       velmora-cli ld [--region CHR:FROM-TO] [--window-kb W] [--r2-min X] [--snps ID,ID,...]\n"
        "                       [--samples FILE] [--chunk I/N] [--format json|tsv] [--threads T]\n"
        "                       [--plot OUT.png|OUT.svg|OUT.pdf [--plot-colour dprime|r2]] GENOTYPES\n"
        "       velmora-cli haplotypes GENOTYPES (--snps ID,ID,... | --region CHR:FROM-TO) [--pheno FILE]\n"
        "                       [--samples FILE] [--starts N] [--permutations N] [--seed S] [--rare F]\n"
        "                       [--threads T] [--format json|tsv] [--plot OUT [--plot-size WxH]]\n"
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
        "GENOTYPES are .vcf, .vcf.gz, .bcf or PLINK .bed files (with .bim and .fam): one line\n"
        "per variant; an exact test over --exact-limit (default 2 s) gives way to Monte Carlo.\n"
        "cmh: per variant and ALT allele, the Cochran-Mantel-Haenszel, Breslow-Day and exact\n"
        "conditional tests over the strata of --strata (lines of a sample ID and its stratum).\n"
        "qq: the Q-Q plot of the \"p\" of every line with status 0 of a JSON-lines output,\n"
        "and the genomic-control lambda on standard output.\n"
        "meta: a meta-analysis, one JSON line per genetic model (allelic, dominant, recessive,\n"
        "overdominant, heterozygote, homozygote; or exposure) from a table with the header\n"
        "study case0 case1 case2 control0 control1 control2 [subgroup] [year] (or study\n"
        "cases_exposed cases_unexposed controls_exposed controls_unexposed ...), or --range of a\n"
        ".sp document (names at the left); --monte-carlo B: samples of Zelen's estimate.\n"
        "ld: two-locus LD (haplotype frequencies, D, D', r2, LOD, D' bounds) of every pair\n"
        "within --window-kb (default 1000) of each other, or of every pair of the --snps named;\n"
        "--plot: the LD triangle, coloured by D' and LOD or by r2.\n"
        "haplotypes: frequencies of the haplotypes of 2 to 20 SNPs by EM (--starts, default 20)\n"
        "in cases, controls and all, the global likelihood-ratio test with --permutations\n"
        "(default 1000) and each haplotype's odds ratio; haplotypes below --rare (default\n"
        "0.01) are pooled.\n");
}
