#include "modelsrun.h"

#include <QCoreApplication>
#include <QStringList>

#include <cmath>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}

// An odds ratio or a limit: four significant digits, trailing zeros kept,
// so that a ratio and its limits read alike ("1.437 (1.200, 1.722)").
QString ratioFigure(double value)
{
    if (std::isnan(value) || std::isinf(value) || value == 0.0)
        return reportFigure(value);
    QString text = QString::asprintf("%#.4g", value);
    // "%#g" keeps the point of a whole number ("1234."): not a figure's.
    if (text.endsWith(u'.'))
        text.chop(1);
    return text;
}

QString oddsRatio(const OddsRatioFigure &ratio, bool corrected = false)
{
    if (std::isnan(ratio.estimate))
        return QStringLiteral("-");
    QString text = ratioFigure(ratio.estimate);
    if (!std::isnan(ratio.low) || !std::isnan(ratio.high))
        text += QStringLiteral(" (") + ratioFigure(ratio.low) + QStringLiteral(", ") + ratioFigure(ratio.high)
                + QStringLiteral(")");
    if (corrected)
        text += u'*';
    return text;
}

QString tableStart()
{
    return QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\">");
}

QString counted(qint64 count, double share)
{
    return QString::number(count) + QStringLiteral(" (") + QString::number(share, 'f', 1) + QStringLiteral("%)");
}

} // namespace

QString modelsReport(const ModelFigures &f)
{
    QString text;
    // Descriptives, by effect-allele copies.
    text += tableStart();
    text += reportRow({QString(), tr("0 copies"), tr("1 copy"), tr("2 copies"), tr("Effect allele freq.")}, true);
    text += reportRow({tr("Cases"), counted(f.cases[0], f.casePercent[0]), counted(f.cases[1], f.casePercent[1]),
                 counted(f.cases[2], f.casePercent[2]), QString::number(f.freqCases, 'f', 4)});
    text += reportRow({tr("Controls"), counted(f.controls[0], f.controlPercent[0]),
                 counted(f.controls[1], f.controlPercent[1]), counted(f.controls[2], f.controlPercent[2]),
                 QString::number(f.freqControls, 'f', 4)});
    text += QStringLiteral("</table>");
    text += tr("Hardy-Weinberg in controls: exact P = %1, mid-p = %2").arg(reportFigure(f.hweP), reportFigure(f.hweMidp));

    // One row per model.
    const QString level = QString::number(f.confLevel * 100.0, 'g', 10) + u'%';
    text += tableStart();
    text += reportRow({tr("Model"), tr("P chi2"), tr("P exact"), tr("mid-p"), tr("OR (%1 CI)").arg(level),
                 tr("cond. MLE OR (%1 CI)").arg(level)},
                true);
    const GenotypicTest &g = f.genotypic;
    text += reportRow({tr("Genotypic, %1 df").arg(g.df), reportFigure(g.pChi2), reportFigure(g.pExact), reportFigure(g.pMidp), QString(),
                 QString()});
    const auto twoByTwo = [&text](const QString &name, const TwoByTwoModel &m) {
        text += reportRow({name, reportFigure(m.pChi2), reportFigure(m.pExact), reportFigure(m.pMidp),
                     oddsRatio(m.sample, m.sampleCorrected), oddsRatio(m.conditional)});
    };
    twoByTwo(tr("Allelic"), f.allelic);
    text += reportRow({tr("Trend"), reportFigure(f.trend.pChi2), QString(), QString(), QString(), QString()});
    twoByTwo(tr("Dominant"), f.dominant);
    twoByTwo(tr("Recessive"), f.recessive);
    twoByTwo(tr("Overdominant"), f.overdominant);
    const CodominantFigures &co = f.codominant;
    text += reportRow({tr("Codominant, 1 vs 0"), QString(), QString(), QString(), oddsRatio(co.het, co.hetCorrected),
                 QString()});
    text += reportRow({tr("Codominant, 2 vs 0"), QString(), QString(), QString(), oddsRatio(co.hom, co.homCorrected),
                 QString()});
    const LogAdditiveFigures &la = f.logAdditive;
    text += reportRow({tr("Log-additive"), reportFigure(la.pLrt), QString(), QString(), oddsRatio(la.perAllele), QString()});
    text += QStringLiteral("</table>");

    // Short lines: the window does not wrap them.
    text += tr("P chi2: Pearson; trend: Cochran-Armitage; log-additive: likelihood ratio"
               "<br />P exact: Fisher; mid-p: Lancaster"
               "<br />OR: Woolf's interval; log-additive: per allele, Wald interval"
               "<br />cond. MLE: conditional maximum likelihood, exact interval");
    bool corrected = false;
    for (const TwoByTwoModel *m : {&f.allelic, &f.dominant, &f.recessive, &f.overdominant})
        corrected = corrected || m->sampleCorrected;
    if (corrected || co.hetCorrected || co.homCorrected)
        text += tr("<br />* a zero count: 0.5 added to every cell");
    if (!g.reduced.isEmpty())
        text += tr("<br />Genotypic, 1 df: %1; the 2 x 2 of the other two genotypes").arg(g.reduced.toHtmlEscaped());

    // The reason behind every "-".
    const QList<QPair<QString, QString>> reasons = {
        {tr("Genotypic"), g.reason},        {tr("Trend"), f.trend.reason},
        {tr("Dominant"), f.dominant.reason}, {tr("Recessive"), f.recessive.reason},
        {tr("Overdominant"), f.overdominant.reason}, {tr("Codominant, 1 vs 0"), co.hetReason},
        {tr("Codominant, 2 vs 0"), co.homReason},    {tr("Log-additive"), la.reason}};
    for (const auto &[model, reason] : reasons)
        if (!reason.isEmpty())
            text += tr("<br />%1: %2").arg(model, reason.toHtmlEscaped());
    return text;
}
