#include "modelsrun.h"

#include "calcpoll.h"
#include "geneticmodels.h"
#include "testinput.h"

#include <QCoreApplication>
#include <QDebug>

#include <functional>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}

// The level as a percentage, without trailing zeros: 95, 99.5.
QString percent(double level)
{
    return QString::number(level * 100.0, 'g', 10);
}

ModelsRun run(const GenotypeCounts &counts, double confLevel, const std::function<QString(int)> &homozygoteName,
              ReportText text)
{
    ModelsRun result;
    QString error;
    const int status = pollCalcEvents()
                           ? int(geneticmodels::Stopped)
                           : geneticmodels::compute(counts.cases, counts.controls, confLevel, &result.figures, &error);
    result.status = status;
    result.isError = status != geneticmodels::Finished ? 1 : 0;
    switch (status) {
    case geneticmodels::Finished:
        if (text == ReportText::Full) {
            const QString name = homozygoteName(result.figures.effectGenotype);
            result.message = tr("<br />Genetic models, %1% confidence level<br />Effect allele: the one "
                                "homozygous in %2")
                                 .arg(percent(confLevel), name)
                             + modelsReport(result.figures);
        }
        break;
    case geneticmodels::Stopped:
        result.message = tr("<br />Program is stopped by user");
        break;
    case geneticmodels::NoConvergence:
        result.message = tr("<br />Genetic models error: %1").arg(error.toHtmlEscaped());
        break;
    default:
        result.message = tr("<br />Wrong input table error=%1").arg(status);
        break;
    }
    qCDebug(lcCalc) << "genetic models status=" << status;
    return result;
}

} // namespace

ModelsRun runModelsTest(const TestInput &in, ReportText text)
{
    GenotypeCounts counts;
    const bool fits = in.bufA.size() >= 6;
    for (int g = 0; fits && g < 3; ++g) {
        counts.cases[g] = in.bufA[std::size_t(g)];
        counts.controls[g] = in.bufA[std::size_t(3 + g)];
    }
    // An unfilled record is refused by the engine (no cases).
    const bool inRows = in.nRows == 3 && in.nCols == 2;
    return run(
        counts, in.confLevel,
        [&in, inRows](int genotype) {
            if (inRows)
                return tr("row %1 of the block (row %2)").arg(genotype + 1).arg(in.topRow + genotype + 1);
            return tr("column %1 of the block (%2)")
                .arg(genotype + 1)
                .arg(QChar(char16_t(u'A' + in.leftCol + genotype)));
        },
        text);
}

ModelsRun runModelsTest(const GenotypeCounts &counts, double confLevel, const QStringList &genotypeNames,
                        ReportText text)
{
    return run(
        counts, confLevel,
        [&genotypeNames](int genotype) {
            if (genotypeNames.size() == 3)
                return genotypeNames.at(genotype).toHtmlEscaped();
            return tr("genotype %1").arg(genotype + 1);
        },
        text);
}
