#include "ldrun.h"

#include "runreport.h"
#include "testinput.h"

#include <QCoreApplication>

#include <cmath>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}

QString report(const twolocus::Figures &f, const QString &nameA, const QString &nameB)
{
    QString text = tr("<br />Two-locus linkage disequilibrium, %1 individuals typed at both loci"
                      "<br />Locus A: %2; locus B: %3 (allele 1: no copy counted; allele 2: the copies counted)")
                       .arg(f.n)
                       .arg(nameA.toHtmlEscaped(), nameB.toHtmlEscaped());
    text += tr("<br /><b>D' = %1</b> (95% likelihood bounds %2 to %3), r<sup>2</sup> = %4, D = %5, LOD = %6")
                .arg(reportFigure(f.dprime, 6), reportFigure(f.dprimeLow, 6), reportFigure(f.dprimeHigh, 6),
                     reportFigure(f.r2, 6), reportFigure(f.d, 6), reportFigure(f.lod, 6));
    text += tr("<br />Allele 2 frequency: A %1, B %2").arg(reportFigure(f.freqA, 6), reportFigure(f.freqB, 6));
    const double pA = 1 - f.freqA, pB = 1 - f.freqB;
    const double expected[4] = {pA * pB, pA * f.freqB, f.freqA * pB, f.freqA * f.freqB};
    static const char *const kNames[4] = {"11", "12", "21", "22"};
    text += QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\">");
    QStringList header{tr("Haplotype (A, B)")};
    QStringList best{tr("Frequency")};
    QStringList equilibrium{tr("Without LD")};
    for (int h = 0; h < 4; ++h) {
        header << QLatin1StringView(kNames[h]);
        best << reportFigure(f.haplotypes[h], 6);
        equilibrium << reportFigure(expected[h], 6);
    }
    text += reportRow(header, true) + reportRow(best) + reportRow(equilibrium) + QStringLiteral("</table>");
    if (f.roots.size() > 1) {
        text += tr("<br />The cubic for the double heterozygotes has %1 roots in the valid range, the "
                   "maximum likelihood first:")
                    .arg(f.roots.size());
        text += QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\">");
        text += reportRow({tr("Root"), QStringLiteral("f11"), QStringLiteral("f12"), QStringLiteral("f21"),
                       QStringLiteral("f22"), tr("Log-likelihood")},
                      true);
        for (std::size_t r = 0; r < f.roots.size(); ++r) {
            const twolocus::Root &root = f.roots[r];
            text += reportRow({QString::number(r + 1), reportFigure(root.haplotypes[0], 6), reportFigure(root.haplotypes[1], 6),
                           reportFigure(root.haplotypes[2], 6), reportFigure(root.haplotypes[3], 6),
                           QString::number(root.loglik, 'f', 4)});
        }
        text += QStringLiteral("</table>");
    } else {
        text += tr("<br />One root of the cubic in the valid range: log-likelihood %1")
                    .arg(QString::number(f.roots.front().loglik, 'f', 4));
    }
    text += tr("<br />Bounds: 5th and 95th percentiles of the likelihood over D' = 0, 0.01, ..., 1 "
               "(on the side of D's sign)");
    return text;
}

} // namespace

LdRun runLdTest(const twolocus::Counts &counts, const QString &nameA, const QString &nameB, ReportText text)
{
    LdRun run;
    const twolocus::Status status = twolocus::estimate(counts, &run.figures);
    if (status != twolocus::Status::Ok) {
        run.status = 2;
        run.isError = 1;
        run.message = tr("<br />Two-locus LD: %1").arg(QString::fromUtf8(twolocus::statusText(status)));
        return run;
    }
    if (text == ReportText::Full)
        run.message = report(run.figures, nameA, nameB);
    return run;
}

LdRun runLdTest(const TestInput &in, ReportText text)
{
    twolocus::Counts counts;
    for (int i = 0; i < 9 && std::size_t(i) < in.bufA.size(); ++i)
        counts.n[i / 3][i % 3] = in.bufA[std::size_t(i)];
    const auto column = [&in](int c) { return QChar(char16_t(u'A' + in.leftCol + c)); };
    const QString rows = tr("rows %1 to %2 of the block (0, 1, 2 copies)").arg(in.topRow + 1).arg(in.topRow + 3);
    const QString columns = tr("columns %1 to %2 (0, 1, 2 copies)").arg(column(0)).arg(column(2));
    return runLdTest(counts, rows, columns, text);
}

void LdMatrix::reset()
{
    const std::size_t count = std::size_t(names.size());
    const std::size_t pairs = count < 2 ? 0 : count * (count - 1) / 2;
    dprime.assign(pairs, qQNaN());
    lod.assign(pairs, qQNaN());
    r2.assign(pairs, qQNaN());
}

void LdMatrix::set(std::size_t i, std::size_t j, const twolocus::Figures &figures)
{
    const std::size_t at = pairIndex(i, j, std::size_t(names.size()));
    dprime[at] = figures.dprime;
    lod[at] = figures.lod;
    r2[at] = figures.r2;
}
