#include "fisherrun.h"

#include "calcpoll.h"
#include "dfex.h"
#include "fisherapprox.h"
#include "fishersmall.h"

#include <QCoreApplication>
#include <QDebug>

#include <algorithm>
#include <ctime>

namespace {

QString tr(const char *text)
{
    // The texts belong to the window that shows them.
    return QCoreApplication::translate("MainWindow", text);
}

constexpr int kMaxDigits = 9;

} // namespace

FisherRun runFisherTest(const TestInput &in, const ProgressDisplay &progress, ReportText text)
{
    FisherRun result;
    result.accuracy = in.accuracy;
    result.variant = in.accuracy != 0 ? 1 : 0;

    const int N = in.testSize;
    // Columns past the work arrays would be read out of bounds.
    const bool shapeOk = N >= 1 && N <= basef<path>::kMaxColumns && int(in.bufC.size()) >= N
                         && int(in.bufD.size()) >= N;
    const int *x1 = in.bufC.data();
    const int *c = in.bufD.data();

    const bool full = text == ReportText::Full;
    QString line1;
    QString line2;
    if (full) {
        line1 = QStringLiteral("<br />x1 = { ");
        line2 = QStringLiteral("<br />x2 = { ");
    }
    if (shapeOk && full) {
        for (int j = 0; j < N; ++j) {
            line1 += QString::number(x1[j]);
            line2 += QString::number(qint64(c[j]) - x1[j]);
            if (j + 1 < N) {
                line1 += QStringLiteral(", ");
                line2 += QStringLiteral(", ");
            }
            qCDebug(lcCalc).nospace() << " i=" << j << " x=" << x1[j] << " col=" << c[j];
        }
    }
    if (full) {
        line1 += QStringLiteral(" }");
        line2 += QStringLiteral(" }");
    }

    const int progressMaximum = std::max(1, N) * basef<path>::kProgressPerColumn;
    if (progress)
        progress(progressMaximum);

    QString accuracyLine;
    QString variantName;
    int status = 0;
    double pValue = 0.0;
    const std::time_t started = std::time(nullptr);
    if (in.accuracy != 0) {
        accuracyLine = tr("<br/>Accuracy = %1 digits after point").arg(in.accuracy);
        // A negative digit count has no meaning; it is refused like one
        // above 9.
        if (in.accuracy < 1 || in.accuracy > kMaxDigits) {
            status = 1;
        } else if (!shapeOk) {
            status = 1;
        } else {
            fisherapprox engine(in.accuracy);
            status = engine.run(in.total, x1, c, N, pValue);
            if (engine.route() != fisherapprox::Route::Approximate) {
                result.variant = 0;
                accuracyLine += tr("<br/>Exact variant used: here it is faster than an approximation to %1 digits")
                                    .arg(in.accuracy);
            }
        }
        variantName = result.variant != 0 ? QStringLiteral("Approximate") : QStringLiteral("Exact");
    } else if (shapeOk && fishersmall::qualifies(x1, c, N, in.total)) {
        // 2 x 2 and 2 x 3 tables are summed directly, without a network.
        variantName = QStringLiteral("Exact");
        status = pollCalcEvents() ? int(fishersmall::Stopped) : fishersmall::pValue(x1, c, N, &pValue);
    } else {
        variantName = QStringLiteral("Exact");
        dfex<double> exact(in.total, status);
        if (status == 0 && !shapeOk)
            status = 1;
        if (status == 0)
            status = exact.run(x1, c, N, pValue);
    }
    if (status == 0)
        setCalcProgressValue(progressMaximum);
    if (status != 0)
        qCDebug(lcCalc).nospace() << "nfisher error=" << status;
    pValue = status != 0 ? 0.0 : reportedProbability(pValue);
    qCDebug(lcCalc).nospace() << "Pvalue=" << pValue << " dtime=" << qint64(std::time(nullptr) - started) << " sec";

    if (progress)
        progress(-1);

    result.status = status;
    result.isError = status;
    if (status == 10) {
        result.message = tr("<br />Program is stopped by user");
    } else if (status != 0) {
        result.message = tr("<br />Not enouph memory error=%1").arg(status);
    } else if (!full) {
        result.pValue = pValue;
    } else {
        result.pValue = pValue;
        result.message = tr("<br />%3 Fisher 2x%2 test <b>P-VALUE = %1</b>  for input vectors:")
                             .arg(QString::number(pValue, 'g', 6), QString::number(N), variantName)
                         + accuracyLine + line1 + line2;
    }
    return result;
}
