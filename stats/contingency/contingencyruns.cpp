#include "contingencyruns.h"

#include "cellsource.h"
#include "chi2.h"
#include "calcpoll.h"
#include "hwexact.h"
#include "hwtwoallele.h"
#include "interact.h"
#include "membudget.h"
#include "testinput.h"

#include <QCoreApplication>
#include <QDebug>
#include <QStringList>

#include <ctime>

namespace {

// The texts belong to the window that shows them.
QString tr(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}

QString numberRow(const int *values, qint64 count)
{
    QStringList items;
    items.reserve(static_cast<int>(count));
    for (qint64 i = 0; i < count; ++i)
        items << QString::number(values[i]);
    return items.join(QStringLiteral(", "));
}

QString memoryMessage(int status)
{
    return tr("<br />Not enouph memory error=%1").arg(status);
}

QString badInputMessage(int status)
{
    return tr("<br />Wrong input table error=%1").arg(status);
}

} // namespace

Chi2Run runChi2Test(const TestInput &in, const CellSource &grid)
{
    Chi2Run run;
    run.x2 = in.chi2Sum;
    run.df = in.testSize;
    qCDebug(lcCalc) << "chi2sum=" << run.x2 << " df=" << run.df;

    QString echo;
    for (int r = 0; r < in.nRows; ++r) {
        QStringList cells;
        for (int c = 0; c < in.nCols; ++c)
            cells << grid.text(in.topRow + r, in.leftCol + c);
        echo += QStringLiteral("<br />{ ") + cells.join(QStringLiteral(", ")) + QStringLiteral(" }");
    }
    echo += tr("<br />chi2=%1 , df=%2").arg(run.x2).arg(run.df);

    QString error;
    const double p = reportedProbability(chi2PValue(run.x2, run.df, &error));
    if (!error.isEmpty()) {
        run.status = 1;
        run.isError = 1;
        run.message = tr("<br />Chi-squared test error: %1  for input vectors:").arg(error) + echo;
        return run;
    }
    run.pValue = p;
    run.message = tr("<br />Chi-squared test <b>P-VALUE = %1</b>  for input vectors:").arg(p) + echo;
    return run;
}

RunReport runHardyWeinbergTest(const TestInput &in, const ProgressDisplay &progress,
                               MemoryBudget *budget, ReportText text)
{
    RunReport run;
    const int K = in.testSize;
    const bool fits = K >= 2 && static_cast<qint64>(K) * K <= static_cast<qint64>(in.bufA.size());
    QString echo;
    if (fits && text == ReportText::Full)
        for (int i = 0; i < K; ++i)
            echo += QStringLiteral("<br /> { ") + numberRow(in.bufA.data() + static_cast<size_t>(i) * K, K)
                    + QStringLiteral(" }");

    if (progress)
        progress(K * hwexact::kProgressPerStage);
    const std::time_t start = std::time(nullptr);
    int status = hwexact::BadInput;
    double p = 0.0;
    qint64 peak = 0;
    qint64 homA = 0, het = 0, homB = 0;
    if (fits && hwtwoallele::fromTable(K, in.bufA.data(), &homA, &het, &homB)) {
        // At most two alleles occur: the heterozygote count is the whole
        // table, summed directly (same P as the network, far faster).
        status = pollCalcEvents() ? int(hwtwoallele::Stopped) : hwtwoallele::pValue(homA, het, homB, &p);
        if (status == hwtwoallele::Finished)
            setCalcProgressValue(K * hwexact::kProgressPerStage);
    } else if (fits) {
        hwexact engine(&status, K, in.bufA.data(), &p, budget);
        peak = engine.peakMemory();
    }
    if (status != hwexact::Finished)
        qCDebug(lcCalc) << "constructor hardy-weinbrg error=" << status;
    p = reportedProbability(p);
    qCDebug(lcCalc) << "Pvalue=" << p << " dtime=" << static_cast<qint64>(std::time(nullptr) - start)
             << " sec" << " peak=" << peak << " bytes";
    if (progress)
        progress(-1);

    run.status = status;
    run.isError = status != hwexact::Finished ? 1 : 0;
    switch (status) {
    case hwexact::Finished:
        run.pValue = p;
        if (text == ReportText::Full)
            run.message =
                tr("<br /> Hardy-Weinberg %1x%1 test <b>P-VALUE = %2</b>  for input vectors:").arg(K).arg(p)
                + echo;
        break;
    case hwexact::Stopped:
        run.message = tr("<br />Program is stopped by user");
        break;
    case hwexact::OutOfMemory:
        run.message = memoryMessage(status);
        break;
    default:
        run.message = badInputMessage(status);
        break;
    }
    return run;
}

RunReport runGeneInteractionTest(const TestInput &in, MemoryBudget *budget)
{
    RunReport run;
    const int N = in.nCols;
    const int M = in.nRows / 2;
    const qint64 cells = static_cast<qint64>(M) * N;
    const bool fits = N >= 1 && M >= 1 && cells <= static_cast<qint64>(in.bufA.size())
                      && cells <= static_cast<qint64>(in.bufB.size());
    QString echo;
    if (fits)
        echo = QStringLiteral("<br /> { ") + numberRow(in.bufA.data(), cells) + QStringLiteral(" }")
               + QStringLiteral(" { ") + numberRow(in.bufB.data(), cells) + QStringLiteral(" }");

    int status = interact::BadInput;
    double p = 0.0;
    if (fits)
        interact engine(&status, N, M, in.bufA.data(), in.bufB.data(), &p, budget);
    p = reportedProbability(p);
    qCDebug(lcCalc) << "Interact Pvalue=" << p;

    run.status = status;
    run.isError = status != interact::Finished ? 1 : 0;
    if (status == interact::Stopped) {
        run.message = tr("<br />Program is stopped by user");
    } else if (status == interact::Finished) {
        run.pValue = p;
        run.message = tr("<br /> Interact %1x%2 test <b>P-VALUE = %3</b>  for input matrix:")
                          .arg(M)
                          .arg(N)
                          .arg(p)
                      + echo;
    } else if (status == interact::OutOfMemory) {
        run.message = memoryMessage(status);
    } else {
        run.message = badInputMessage(status);
    }
    return run;
}
