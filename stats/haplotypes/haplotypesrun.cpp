#include "haplotypesrun.h"

#include "calcpoll.h"
#include "testinput.h"

#include <QCoreApplication>
#include <QDebug>

#include <algorithm>
#include <cmath>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}

QString oddsRatio(const HaplotypeEntry &entry, bool reference)
{
    if (reference)
        return tr("1 (reference)");
    QString text = reportFigure(entry.oddsRatio);
    if (!std::isnan(entry.low))
        text += QStringLiteral(" (%1, %2)").arg(reportFigure(entry.low), reportFigure(entry.high));
    return text;
}

} // namespace

QString haplotypeDigits(const HaplotypeEntry &entry, int loci)
{
    if (entry.rare)
        return QStringLiteral("rare");
    QString digits;
    for (int j = 0; j < loci; ++j)
        digits += (entry.code >> j) & 1u ? u'2' : u'1';
    return digits;
}

QString haplotypeName(const HaplotypeEntry &entry, const HaplotypeLabels &labels, int loci)
{
    if (entry.rare)
        return tr("rare");
    if (labels.alleles.size() != 2 * loci)
        return haplotypeDigits(entry, loci);
    QStringList names;
    bool single = true;
    for (int j = 0; j < loci; ++j) {
        names.append(labels.alleles.at(2 * j + int((entry.code >> j) & 1u)));
        single = single && names.last().size() == 1;
    }
    return names.join(single ? QString() : QStringLiteral("-"));
}

QString haplotypesReport(const HaplotypeFigures &f, const HaplotypeLabels &labels)
{
    QString text;
    const QString level = QString::number(f.confLevel * 100.0, 'g', 10) + u'%';
    text += QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\">");
    text += reportRow({tr("Haplotype"), tr("Freq. all"), tr("Cases"), tr("Controls"), tr("OR (%1 CI)").arg(level),
                 tr("Score P")},
                true);
    for (std::size_t e = 0; e < f.entries.size(); ++e) {
        const HaplotypeEntry &entry = f.entries[e];
        QString name = haplotypeName(entry, labels, f.loci).toHtmlEscaped();
        if (entry.rare)
            name = tr("rare (%1 below %2)").arg(entry.pooled).arg(f.rare);
        text += reportRow({name, QString::number(entry.freq, 'f', 4), QString::number(entry.freqCases, 'f', 4),
                     QString::number(entry.freqControls, 'f', 4), oddsRatio(entry, e == 0), reportFigure(entry.p)});
    }
    text += QStringLiteral("</table>");
    // Short lines: the window does not wrap them.
    text += tr("Global test: LRT = %1, df = %2, P = %3").arg(reportFigure(f.lrt)).arg(f.df).arg(reportFigure(f.p));
    if (f.permutations > 0)
        text += tr("<br />Permutation P = %1 (99% interval %2 to %3; %4 permutations, seed %5)")
                    .arg(QString::number(f.pPerm, 'g', 4), reportFigure(f.pPermLow), reportFigure(f.pPermHigh))
                    .arg(f.permutations)
                    .arg(f.seed);
    text += tr("<br />Log-likelihood: all %1, cases %2, controls %3")
                .arg(QString::number(f.loglik, 'f', 4), QString::number(f.loglikCases, 'f', 4),
                     QString::number(f.loglikControls, 'f', 4));
    text += tr("<br />EM converged in %1 steps; %2 of %3 starts reached the same maximum")
                .arg(f.iterations)
                .arg(f.startsAtBest)
                .arg(f.starts);
    text += tr("<br />OR: against the most frequent haplotype; interval from the observed information"
               "<br />Score P: each haplotype against all others (phase unknown)");
    return text;
}

HaplotypesRun runHaplotypesTest(const HaplotypeSample &sample, const HaplotypeLabels &labels,
                                const HaplotypeSettings &settings, const ProgressDisplay &progress, ReportText text)
{
    HaplotypesRun run;
    run.labels = labels;
    HaplotypeSample named;
    if (sample.names.isEmpty() && !labels.snps.isEmpty()) {
        named = sample;
        named.names = labels.snps;
    }
    const HaplotypeSample &input = named.names.isEmpty() ? sample : named;
    if (progress)
        progress(100);
    QString &error = run.error;
    const int status = pollCalcEvents() != 0
                           ? int(haplotypeassoc::Stopped)
                           : haplotypeassoc::analyse(input, settings, &run.figures, &error, 100);
    if (progress)
        progress(-1);
    run.status = status;
    run.isError = status != haplotypeassoc::Finished ? 1 : 0;
    const HaplotypeFigures &f = run.figures;
    switch (status) {
    case haplotypeassoc::Finished: {
        run.pValue = f.p;
        if (text == ReportText::FiguresOnly)
            break;
        run.message = tr("<br />Haplotypes of %1 SNPs (%2), global test <b>P-VALUE = %3</b>")
                          .arg(f.loci)
                          .arg(labels.snps.join(QStringLiteral(", ")).toHtmlEscaped(),
                               QString::number(f.p, 'g', 6));
        run.message += tr("<br />%1 individuals: %2 cases, %3 controls").arg(f.n).arg(f.cases).arg(f.controls);
        if (f.untyped > 0)
            run.message += tr("; %1 typed at no SNP left out").arg(f.untyped);
        run.message += haplotypesReport(f, labels);
        break;
    }
    case haplotypeassoc::Stopped:
        run.message = tr("<br />Program is stopped by user");
        break;
    default:
        run.message = tr("<br />Haplotypes error: %1").arg(error.toHtmlEscaped());
        break;
    }
    qCDebug(lcCalc) << "haplotypes status=" << status;
    return run;
}

HaplotypesRun runHaplotypesTest(const TestInput &in, quint64 seed, const ProgressDisplay &progress)
{
    HaplotypeSample sample;
    sample.loci = in.testSize;
    const std::size_t individuals = std::size_t(std::max(0, in.nRows));
    sample.genotypes.reserve(individuals * std::size_t(std::max(0, sample.loci)));
    for (std::size_t i = 0; i < individuals * std::size_t(std::max(0, sample.loci)) && i < in.bufA.size(); ++i)
        sample.genotypes.push_back(qint8(in.bufA[i]));
    for (std::size_t i = 0; i < individuals && i < in.bufB.size(); ++i)
        sample.isCase.push_back(qint8(in.bufB[i] != 0));
    HaplotypeLabels labels;
    labels.snps = in.factorNames;
    labels.alleles = in.alleleNames;
    HaplotypeSettings settings;
    settings.starts = in.haplotypeStarts;
    settings.permutations = in.permutations;
    settings.rare = in.rareFrequency;
    settings.seed = seed;
    return runHaplotypesTest(sample, labels, settings, progress);
}
