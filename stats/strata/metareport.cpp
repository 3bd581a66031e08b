#include "metarun.h"

#include <QCoreApplication>
#include <QStringList>

#include <cmath>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}

// P-values with six significant digits, as every other entry prints them.
QString pText(double value)
{
    return std::isnan(value) ? QStringLiteral("-") : QString::number(value, 'g', 6);
}

QString withInterval(const OddsRatioFigure &r)
{
    if (std::isnan(r.estimate))
        return QStringLiteral("-");
    return reportFigure(r.estimate) + QStringLiteral(" (") + reportFigure(r.low) + QStringLiteral(", ") + reportFigure(r.high)
           + QStringLiteral(")");
}

QString percentText(double value)
{
    return std::isnan(value) ? QStringLiteral("-") : QString::number(value, 'f', 1) + u'%';
}

QString tableStart()
{
    return QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\">");
}

QString modelName(const QString &key)
{
    if (key == u"allelic")
        return tr("Allelic");
    if (key == u"dominant")
        return tr("Dominant");
    if (key == u"recessive")
        return tr("Recessive");
    if (key == u"overdominant")
        return tr("Overdominant");
    if (key == u"heterozygote")
        return tr("Heterozygote (1 vs 0)");
    if (key == u"homozygote")
        return tr("Homozygote (2 vs 0)");
    return tr("Exposure");
}

QString names(const MetaRun &run, const std::vector<int> &indices)
{
    QStringList list;
    for (int i : indices)
        list << run.names.value(i).toHtmlEscaped();
    return list.join(QStringLiteral(", "));
}

} // namespace

QString metaMethodsText(const MetaInput &in)
{
    return tr("Mantel-Haenszel, inverse variance, Peto, exact conditional, DerSimonian-Laird and REML; "
              "%1% intervals; HWE level %2")
        .arg(QString::number(in.confLevel * 100.0, 'g', 10), QString::number(in.hweLevel, 'g', 6));
}

QString metaReport(const MetaInput &in, const MetaRun &run)
{
    const QString level = QString::number(in.confLevel * 100.0, 'g', 10) + u'%';
    QString text = tr("<br />Meta-analysis of %1 studies, %2 confidence level").arg(run.names.size()).arg(level);
    if (!in.exposure) {
        text += tr("<br />Effect allele: the one counted by %1 (pooled frequency %2)")
                    .arg(in.effectColumn.toHtmlEscaped(), QString::number(run.pooledFrequency, 'f', 4));
        std::vector<int> outOfEquilibrium, flipped;
        for (int i = 0; i < run.names.size(); ++i) {
            if (run.hweP[std::size_t(i)] < in.hweLevel)
                outOfEquilibrium.push_back(i);
            if (run.minorDiffers[std::size_t(i)])
                flipped.push_back(i);
        }
        text += outOfEquilibrium.empty()
                    ? tr("<br />Controls in Hardy-Weinberg equilibrium in every study (P &gt;= %1)")
                          .arg(QString::number(in.hweLevel, 'g', 6))
                    : tr("<br />Controls out of Hardy-Weinberg equilibrium (P &lt; %1): %2")
                          .arg(QString::number(in.hweLevel, 'g', 6), names(run, outOfEquilibrium));
        if (!flipped.empty())
            text += tr("<br />Minor allele not the pooled minor allele (marked &dagger;): %1").arg(names(run, flipped));
    }

    // One row per model.
    text += tableStart();
    text += reportRow({tr("Model"), tr("Studies"), tr("Fixed: MH OR (%1 CI)").arg(level), tr("P (CMH)"),
                 tr("Random: DL OR (%1 CI)").arg(level), tr("P"), tr("Exact OR (%1 CI)").arg(level), tr("P"),
                 tr("I2"), tr("P (Q)")},
                true);
    for (const MetaModelFigures &m : run.models)
        text += reportRow({modelName(m.key), QString::number(m.studies), withInterval(m.mh.oddsRatio), pText(m.mh.pCmh),
                     withInterval(m.dl.oddsRatio), pText(m.dl.p), withInterval(m.exact.oddsRatio),
                     pText(m.exact.p), percentText(m.heterogeneity.i2), pText(m.heterogeneity.p)});
    text += QStringLiteral("</table>");

    // Bias and sensitivity, one row per model.
    text += tableStart();
    text += reportRow({tr("Model"), tr("P Breslow-Day (Tarone)"), tr("P Zelen"), tr("P Egger"), tr("P Begg"),
                 tr("Trim-and-fill OR (k0)"), tr("REML OR (%1 CI)").arg(level), tr("HWE studies: DL OR")},
                true);
    for (const MetaModelFigures &m : run.models) {
        QString zelen = reportFigure(m.heterogeneity.zelen.p);
        if (!m.heterogeneity.zelen.exact && !std::isnan(m.heterogeneity.zelen.p))
            zelen += u'~';
        const QString trim = std::isnan(m.trimfill.oddsRatio.estimate)
                                 ? QStringLiteral("-")
                                 : reportFigure(m.trimfill.oddsRatio.estimate)
                                       + QStringLiteral(" (%1)").arg(m.trimfill.k0);
        const QString hwe = in.exposure ? QStringLiteral("-")
                                        : reportFigure(m.hweRestricted.oddsRatio.estimate)
                                              + QStringLiteral(" (%1)").arg(m.hweStudies);
        text += reportRow({modelName(m.key), reportFigure(m.heterogeneity.breslowDay.pTarone), zelen, reportFigure(m.egger.p),
                     reportFigure(m.begg.p), trim, withInterval(m.reml.oddsRatio), hwe});
    }
    text += QStringLiteral("</table>");

    // Per study: the Hardy-Weinberg P and each model's OR.
    text += tableStart();
    QStringList head = {tr("Study")};
    if (!in.exposure)
        head << tr("HWE P");
    for (const MetaModelFigures &m : run.models)
        head << modelName(m.key) + QStringLiteral(" OR");
    text += reportRow(head, true);
    for (int i = 0; i < run.names.size(); ++i) {
        QString name = run.names[i].toHtmlEscaped();
        if (!in.exposure && run.minorDiffers[std::size_t(i)])
            name += QStringLiteral("&dagger;");
        QStringList cells = {name};
        if (!in.exposure)
            cells << reportFigure(run.hweP[std::size_t(i)]);
        for (const MetaModelFigures &m : run.models) {
            const StudyFigures &s = m.study[std::size_t(i)];
            cells << (s.included ? reportFigure(s.oddsRatio.estimate) + (s.corrected ? QStringLiteral("*") : QString())
                                 : QStringLiteral("-"));
        }
        text += reportRow(cells);
    }
    text += QStringLiteral("</table>");

    text += tr("MH: Mantel-Haenszel, Robins-Breslow-Greenland interval; DL: DerSimonian-Laird"
               "<br />Exact: conditional MLE, exact interval and P; I2 and Q: inverse variance"
               "<br />~ a Monte Carlo estimate; * a zero cell: 0.5 added for inverse variance and random effects");
    for (const MetaModelFigures &m : run.models) {
        if (!m.leftOut.empty())
            text += tr("<br />%1: left out (no exposed or no unexposed): %2").arg(modelName(m.key), names(run, m.leftOut));
        for (const QString &note : m.notes)
            text += tr("<br />%1: %2").arg(modelName(m.key), note.toHtmlEscaped());
    }
    return text;
}
