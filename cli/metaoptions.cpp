#include "clioptions.h"

#include "modeltables.h"
#include "strataconfig.h"

namespace {

constexpr quint64 kMaxSeed = (quint64(1) << 53) - 1;
constexpr qint64 kMaxSamples = 1000000000;
constexpr int kMaxThreads = 1024;

CliParse failure(const QString &error)
{
    CliParse parse;
    parse.error = error;
    return parse;
}

} // namespace

// meta [--model M] [--hwe-level L] [--conf-level L] [--format json|tsv]
//      [--range R [--subgroups] [--effect-first]] [--monte-carlo B] [--seed S]
//      [--threads T] [--plot OUT [--plot-kind K] [--plot-size WxH]] FILE...
CliParse parseMeta(const QStringList &arguments, CliOptions options)
{
    bool optionsEnded = false;
    bool plotSizeGiven = false;
    bool plotKindGiven = false;
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
        const qsizetype eq = argument.indexOf(u'=');
        const QString name = eq >= 0 ? argument.left(eq) : argument;
        QString value = eq >= 0 ? argument.mid(eq + 1) : QString();
        const bool flag = name == u"--subgroups" || name == u"--effect-first";
        if (flag) {
            if (eq >= 0)
                return failure(QStringLiteral("%1 takes no value").arg(name));
        } else if (eq < 0) {
            if (i + 1 >= arguments.size())
                return failure(QStringLiteral("%1 needs a value").arg(name));
            value = arguments.at(++i);
        }
        QString plotError;
        bool ok = false;
        if (parsePlotOption(name, value, options, plotError)) {
            if (!plotError.isEmpty())
                return failure(plotError);
            plotSizeGiven = plotSizeGiven || name == u"--plot-size";
        } else if (name == u"--plot-kind") {
            if (value != u"forest" && value != u"funnel" && value != u"leave-one-out")
                return failure(QStringLiteral("--plot-kind takes forest, funnel or leave-one-out"));
            options.plotKind = value;
            plotKindGiven = true;
        } else if (name == u"--model") {
            GeneticModel model;
            if (value == u"exposure")
                options.metaModel = kMetaExposure;
            else if (geneticModelFromKey(value, &model))
                options.metaModel = int(model);
            else
                return failure(QStringLiteral("--model takes allelic, dominant, recessive, overdominant, "
                                              "heterozygote, homozygote or exposure"));
        } else if (name == u"--hwe-level" || name == u"--conf-level") {
            const double level = value.toDouble(&ok);
            const bool hwe = name == u"--hwe-level";
            if (!ok || !(hwe ? level >= 0.0 && level <= 1.0 : level > 0.0 && level <= strataconfig::kMaxConfLevel))
                return failure(hwe ? QStringLiteral("--hwe-level takes a P-value level from 0 to 1 (such as 0.05)")
                                   : QStringLiteral("--conf-level takes a level above 0 and at most %1 (such as 0.95)")
                                         .arg(strataconfig::kMaxConfLevel));
            (hwe ? options.hweLevel : options.confLevel) = level;
        } else if (name == u"--format") {
            if (value != u"json" && value != u"tsv")
                return failure(QStringLiteral("--format takes json or tsv"));
            options.tsv = value == u"tsv";
        } else if (name == u"--range") {
            const std::optional<CellBlock> block = CellBlock::parse(value);
            if (!block)
                return failure(QStringLiteral("bad range \"%1\" (write it like B2:G13)").arg(value));
            options.ranges.push_back(*block);
        } else if (name == u"--subgroups") {
            options.metaSubgroups = true;
        } else if (name == u"--effect-first") {
            options.metaEffectFirst = true;
        } else if (name == u"--monte-carlo") {
            const qint64 samples = value.toLongLong(&ok, 10);
            if (!ok || samples < 1 || samples > kMaxSamples)
                return failure(QStringLiteral("--monte-carlo takes a number of samples, 1 to %1").arg(kMaxSamples));
            options.monteCarloSamples = samples;
        } else if (name == u"--seed") {
            const quint64 seed = value.toULongLong(&ok, 10);
            if (!ok || seed > kMaxSeed || value.startsWith(u'-') || value.startsWith(u'+'))
                return failure(QStringLiteral("--seed takes a whole number from 0 to %1").arg(kMaxSeed));
            options.seed = seed;
            options.seedGiven = true;
        } else if (name == u"--threads") {
            const int threads = value.toInt(&ok, 10);
            if (!ok || threads < 1 || threads > kMaxThreads)
                return failure(QStringLiteral("--threads takes a number of threads, 1 to %1").arg(kMaxThreads));
            options.threads = threads;
        } else {
            return failure(QStringLiteral("unknown option %1").arg(argument));
        }
    }
    if (options.files.isEmpty())
        return failure(QStringLiteral("no FILE given"));
    if (plotSizeGiven && options.plot.isEmpty())
        return failure(QStringLiteral("--plot-size applies with --plot only"));
    if (plotKindGiven && options.plot.isEmpty())
        return failure(QStringLiteral("--plot-kind applies with --plot only"));
    if ((options.metaSubgroups || options.metaEffectFirst) && options.ranges.empty())
        return failure(QStringLiteral("%1 applies with --range only (a table names its columns in its header)")
                           .arg(options.metaSubgroups ? QStringLiteral("--subgroups") : QStringLiteral("--effect-first")));
    CliParse parse;
    parse.ok = true;
    parse.options = options;
    return parse;
}
