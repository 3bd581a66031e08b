#include "clioptions.h"

#include "modeltables.h"
#include "strataconfig.h"

namespace {

constexpr qint64 kMaxSamples = 1000000000;

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
    bool plotSizeGiven = false;
    bool plotKindGiven = false;
    static const QStringList kValued = {
        QStringLiteral("--plot"),       QStringLiteral("--plot-size"),  QStringLiteral("--plot-kind"),
        QStringLiteral("--model"),      QStringLiteral("--hwe-level"),  QStringLiteral("--conf-level"),
        QStringLiteral("--format"),     QStringLiteral("--range"),      QStringLiteral("--monte-carlo"),
        QStringLiteral("--seed"),       QStringLiteral("--threads")};
    const QString wrong = walkOptions(
        arguments, options.files,
        [](const QString &name) {
            if (name == u"--subgroups" || name == u"--effect-first")
                return OptionKind::Flag;
            return kValued.contains(name) ? OptionKind::Valued : OptionKind::Unknown;
        },
        [&](const QString &name, const QString &value) -> QString {
            QString error;
            bool ok = false;
            if (parsePlotOption(name, value, options, error) || parseSharedOption(name, value, options, error)) {
                plotSizeGiven = plotSizeGiven || name == u"--plot-size";
            } else if (name == u"--plot-kind") {
                if (value != u"forest" && value != u"funnel" && value != u"leave-one-out")
                    return QStringLiteral("--plot-kind takes forest, funnel or leave-one-out");
                options.plotKind = value;
                plotKindGiven = true;
            } else if (name == u"--model") {
                GeneticModel model;
                if (value == u"exposure")
                    options.metaModel = kMetaExposure;
                else if (geneticModelFromKey(value, &model))
                    options.metaModel = int(model);
                else
                    return QStringLiteral("--model takes allelic, dominant, recessive, overdominant, "
                                          "heterozygote, homozygote or exposure");
            } else if (name == u"--hwe-level" || name == u"--conf-level") {
                const double level = value.toDouble(&ok);
                const bool hwe = name == u"--hwe-level";
                if (!ok || !(hwe ? level >= 0.0 && level <= 1.0 : level > 0.0 && level <= strataconfig::kMaxConfLevel))
                    return hwe ? QStringLiteral("--hwe-level takes a P-value level from 0 to 1 (such as 0.05)")
                               : QStringLiteral("--conf-level takes a level above 0 and at most %1 (such as 0.95)")
                                     .arg(strataconfig::kMaxConfLevel);
                (hwe ? options.hweLevel : options.confLevel) = level;
            } else if (name == u"--range") {
                const std::optional<CellBlock> block = CellBlock::parse(value);
                if (!block)
                    return QStringLiteral("bad range \"%1\" (write it like B2:G13)").arg(value);
                options.ranges.push_back(*block);
            } else if (name == u"--subgroups") {
                options.metaSubgroups = true;
            } else if (name == u"--effect-first") {
                options.metaEffectFirst = true;
            } else if (name == u"--monte-carlo") {
                const qint64 samples = value.toLongLong(&ok, 10);
                if (!ok || samples < 1 || samples > kMaxSamples)
                    return QStringLiteral("--monte-carlo takes a number of samples, 1 to %1").arg(kMaxSamples);
                options.monteCarloSamples = samples;
            }
            return error;
        });
    if (!wrong.isEmpty())
        return failure(wrong);
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
