#include "montecarlorun.h"

#include "calcpoll.h"
#include "cellsource.h"
#include "chi2model.h"
#include "clopperpearson.h"
#include "fishermodel.h"
#include "hwmodel.h"
#include "mcrunner.h"
#include "mcstream.h"
#include "testinput.h"

#include <QCoreApplication>
#include <QDebug>
#include <QStringList>

#include <chrono>
#include <ctime>
#include <memory>
#include <random>

namespace {

// The texts belong to the window that shows them.
QString tr(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}

constexpr int kProgressMaximum = 100;
constexpr double kConfidence = 0.99;

QString numberList(const int *values, int count)
{
    QStringList items;
    for (int i = 0; i < count; ++i)
        items << QString::number(values[i]);
    return items.join(QStringLiteral(", "));
}

// The observed table, its echo for the report and its model.
struct Prepared
{
    std::unique_ptr<mcmodel> model;
    QString echo;
    QString name;  // the headline's test name
    int size = 0;  // columns (Fisher) or alleles (Hardy-Weinberg)
    double x2 = 0.0;
    int df = 0;
};

bool prepareFisher(const TestInput &in, Prepared &prepared)
{
    const int N = in.testSize;
    if (N < 1 || size_t(N) > in.bufC.size() || size_t(N) > in.bufD.size())
        return false;
    std::vector<int> second(static_cast<size_t>(N));
    for (int j = 0; j < N; ++j)
        second[size_t(j)] = in.bufD[size_t(j)] - in.bufC[size_t(j)];
    prepared.size = N;
    prepared.echo = QStringLiteral("<br />x1 = { ") + numberList(in.bufC.data(), N) + QStringLiteral(" }")
                    + QStringLiteral("<br />x2 = { ") + numberList(second.data(), N) + QStringLiteral(" }");
    auto model = std::make_unique<fishermodel>(N, in.bufC.data(), in.bufD.data());
    if (!model->isValid())
        return false;
    prepared.model = std::move(model);
    return true;
}

bool prepareHardyWeinberg(const TestInput &in, Prepared &prepared)
{
    const int K = in.testSize;
    if (K < 2 || qint64(K) * K > qint64(in.bufA.size()))
        return false;
    prepared.size = K;
    for (int i = 0; i < K; ++i)
        prepared.echo += QStringLiteral("<br /> { ") + numberList(in.bufA.data() + size_t(i) * size_t(K), K)
                         + QStringLiteral(" }");
    auto model = std::make_unique<hwmodel>(K, in.bufA.data());
    if (!model->isValid())
        return false;
    prepared.model = std::move(model);
    return true;
}

bool prepareChi2(const TestInput &in, const CellSource &grid, Prepared &prepared)
{
    if (in.nRows < 1 || in.nCols < 1)
        return false;
    std::vector<int> cells;
    cells.reserve(size_t(in.nRows) * size_t(in.nCols));
    for (int r = 0; r < in.nRows; ++r) {
        QStringList texts;
        for (int c = 0; c < in.nCols; ++c) {
            const QString text = grid.text(in.topRow + r, in.leftCol + c);
            bool ok = false;
            const int count = text.toInt(&ok, 10);
            if (!ok || count < 0)
                return false;
            cells.push_back(count);
            texts << text;
        }
        prepared.echo += QStringLiteral("<br />{ ") + texts.join(QStringLiteral(", ")) + QStringLiteral(" }");
    }
    auto model = std::make_unique<chi2model>(in.nRows, in.nCols, cells.data(), in.yates);
    if (!model->isValid())
        return false;
    prepared.x2 = model->observed();
    prepared.df = in.testSize;
    prepared.echo += tr("<br />chi2=%1 , df=%2").arg(prepared.x2).arg(prepared.df);
    prepared.model = std::move(model);
    return true;
}

QString headline(int kind, const Prepared &prepared, const QString &p, const QString &details)
{
    switch (kind) {
    case TestFisher:
        return tr("<br />Monte Carlo Fisher 2x%1 test <b>P-VALUE = %2</b> %3  for input vectors:")
            .arg(QString::number(prepared.size), p, details);
    case TestHardyW:
        return tr("<br /> Monte Carlo Hardy-Weinberg %1x%1 test <b>P-VALUE = %2</b> %3  for input vectors:")
            .arg(QString::number(prepared.size), p, details);
    default:
        return tr("<br />Monte Carlo chi-squared test <b>P-VALUE = %1</b> %2  for input vectors:")
            .arg(p, details);
    }
}

} // namespace

MonteCarloRun runMonteCarloTest(int kind, const TestInput &in, const CellSource &grid,
                                const MonteCarloSettings &settings, const ProgressDisplay &progress)
{
    MonteCarloRun run;
    run.seed = settings.seed;
    Prepared prepared;
    bool ready = false;
    try {
        if (kind == TestFisher)
            ready = prepareFisher(in, prepared);
        else if (kind == TestHardyW)
            ready = prepareHardyWeinberg(in, prepared);
        else if (kind == TestChi2)
            ready = prepareChi2(in, grid, prepared);
        if (ready && settings.histogram)
            run.histogram = kind == TestFisher    ? mcbinning::fisher(in.testSize, in.bufC.data(), in.bufD.data())
                            : kind == TestHardyW ? mcbinning::hardyWeinberg(in.testSize, in.bufA.data())
                                                 : mcbinning::chi2(prepared.x2, prepared.df);
    } catch (const std::bad_alloc &) {
        ready = false;
    }
    run.x2 = prepared.x2;
    run.df = prepared.df;

    if (progress)
        progress(kProgressMaximum);
    const std::time_t started = std::time(nullptr);
    mccount count;
    if (ready && settings.samples >= 1)
        count = countExtremes(*prepared.model, settings.samples, mcstream::derivedSeed(settings.seed, settings.key),
                              settings.threads, kProgressMaximum,
                              run.histogram.counts.empty() ? nullptr : &run.histogram);
    else
        count.status = mccount::BadInput;
    probabilityinterval interval;
    if (count.status == mccount::Finished) {
        interval = clopperPearson(count.extreme, count.samples, kConfidence);
        if (!interval.ok)
            count.status = MonteCarloIntervalFailed;
    }
    const double p = count.status == mccount::Finished
                         ? double(count.extreme + 1) / double(count.samples + 1)
                         : 0.0;
    qCDebug(lcCalc).nospace() << "Monte Carlo Pvalue=" << p << " samples=" << count.samples
                       << " extreme=" << count.extreme << " seed=" << settings.seed
                       << " dtime=" << qint64(std::time(nullptr) - started) << " sec";
    if (progress)
        progress(-1);

    run.status = count.status;
    run.isError = count.status != mccount::Finished ? 1 : 0;
    switch (count.status) {
    case mccount::Finished: {
        run.pValue = p;
        run.samples = count.samples;
        run.extreme = count.extreme;
        run.low = interval.low;
        run.high = interval.high;
        const QString details = tr("(99% interval %1 to %2; %3 samples, seed %4)")
                                    .arg(QString::number(interval.low, 'g', 4),
                                         QString::number(interval.high, 'g', 4),
                                         QString::number(count.samples), QString::number(settings.seed));
        run.message = headline(kind, prepared, QString::number(p, 'g', 6), details) + prepared.echo;
        break;
    }
    case mccount::Stopped:
        run.message = tr("<br />Program is stopped by user");
        break;
    case mccount::BadInput:
        run.message = tr("<br />Wrong input table error=%1").arg(count.status);
        break;
    case mccount::NoThreads:
        run.message = tr("<br />Not enouph memory error=%1").arg(count.status);
        break;
    default:
        run.message = tr("<br />Monte Carlo sampling failed error=%1").arg(count.status);
        break;
    }
    return run;
}

quint64 drawMonteCarloSeed()
{
    // A 32-bit seed is short enough to copy from a report by hand.
    try {
        std::random_device device;
        return quint64(device());
    } catch (const std::exception &) {
        return quint64(std::chrono::steady_clock::now().time_since_epoch().count()) & 0xffffffffu;
    }
}

QString monteCarloHint()
{
    return tr("<br />Tick \"Monte Carlo\" in the test dialog for an estimate of the P-value with a 99% "
              "interval");
}
