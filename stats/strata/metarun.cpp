#include "metarun.h"

#include "calcpoll.h"
#include "hwtwoallele.h"
#include "metaanalysis.h"
#include "modeltables.h"

#include <QCoreApplication>
#include <QDebug>

#include <algorithm>
#include <climits>
#include <cmath>
#include <numeric>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}

} // namespace

QString metaInputProblem(const MetaInput &in)
{
    if (in.studies.size() < 2)
        return tr("a meta-analysis needs at least 2 studies");
    const int width = in.exposure ? 4 : 6;
    for (const MetaStudy &s : in.studies) {
        qint64 cases = 0, controls = 0;
        for (int j = 0; j < width; ++j) {
            if (s.counts[j] < 0 || s.counts[j] > INT_MAX / 2)
                return tr("study %1: a count outside 0 to %2").arg(s.name).arg(INT_MAX / 2);
            (j < width / 2 ? cases : controls) += s.counts[j];
        }
        if (cases == 0)
            return tr("study %1 has no cases").arg(s.name);
        if (controls == 0)
            return tr("study %1 has no controls").arg(s.name);
        if (cases + controls > INT_MAX / 2)
            return tr("study %1: counts too large").arg(s.name);
    }
    if (!(in.confLevel > 0.0 && in.confLevel <= 0.999999))
        return tr("the confidence level must lie between 0 and 1");
    if (!(in.hweLevel >= 0.0 && in.hweLevel <= 1.0))
        return tr("the Hardy-Weinberg level must lie between 0 and 1");
    return QString();
}

MetaRun runMetaAnalysis(const MetaInput &in, ReportText text)
{
    MetaRun run;
    run.exposure = in.exposure;
    const QString problem = metaInputProblem(in);
    if (!problem.isEmpty()) {
        run.status = 2;
        run.isError = 1;
        run.message = tr("<br />Meta-analysis: %1").arg(problem.toHtmlEscaped());
        return run;
    }
    const int k = int(in.studies.size());
    std::vector<MetaStudyContext> context(static_cast<std::size_t>(k));
    qint64 effectAlleles = 0, alleles = 0;
    for (int i = 0; i < k; ++i) {
        const MetaStudy &s = in.studies[std::size_t(i)];
        run.names << s.name;
        context[std::size_t(i)].subgroup = s.subgroup;
        if (in.exposure) {
            run.hweP.push_back(qQNaN());
            continue;
        }
        double p = qQNaN();
        if (hwtwoallele::pValue(s.counts[3], s.counts[4], s.counts[5], &p) != hwtwoallele::Finished)
            p = qQNaN();
        run.hweP.push_back(reportedProbability(p));
        context[std::size_t(i)].hweP = run.hweP.back();
        const qint64 effect = 2 * (s.counts[2] + s.counts[5]) + s.counts[1] + s.counts[4];
        const qint64 total = 2 * (s.counts[0] + s.counts[1] + s.counts[2] + s.counts[3] + s.counts[4] + s.counts[5]);
        run.effectFrequency.push_back(double(effect) / double(total));
        effectAlleles += effect;
        alleles += total;
    }
    if (!in.exposure) {
        run.pooledFrequency = double(effectAlleles) / double(alleles);
        for (double f : run.effectFrequency)
            run.minorDiffers.push_back(f != 0.5 && run.pooledFrequency != 0.5
                                       && (f < 0.5) != (run.pooledFrequency < 0.5));
    }

    MetaAnalysisSettings settings;
    settings.confLevel = in.confLevel;
    settings.hweLevel = in.hweLevel;
    settings.subgroups = in.subgroups;
    settings.zelen.samples = in.zelenSamples;
    settings.zelen.seed = in.seed;
    settings.zelen.threads = in.threads;
    if (in.byYear) {
        settings.cumulativeOrder.resize(static_cast<std::size_t>(k));
        std::iota(settings.cumulativeOrder.begin(), settings.cumulativeOrder.end(), 0);
        std::stable_sort(settings.cumulativeOrder.begin(), settings.cumulativeOrder.end(), [&](int a, int b) {
            return in.studies[std::size_t(a)].year < in.studies[std::size_t(b)].year;
        });
    }

    std::vector<int> models;
    if (in.exposure)
        models.push_back(-1);
    else if (in.model >= 0)
        models.push_back(in.model);
    else
        for (int m = 0; m < kGeneticModelCount; ++m)
            models.push_back(m);
    for (int m : models) {
        if (pollCalcEvents()) {
            run.status = 1;
            break;
        }
        std::vector<StratumTable> tables;
        for (const MetaStudy &s : in.studies) {
            qint64 t[4] = {s.counts[0], s.counts[1], s.counts[2], s.counts[3]};
            if (m >= 0)
                geneticModelTable(GeneticModel(m), s.counts, s.counts + 3, t);
            tables.push_back({t[0], t[1], t[2], t[3]});
        }
        MetaModelFigures figures;
        const int status = metaanalysis::compute(tables, context, settings, &figures);
        if (status == metaanalysis::Stopped) {
            run.status = 1;
            break;
        }
        if (status != metaanalysis::Finished) {
            run.status = 2;
            break;
        }
        figures.key = m >= 0 ? geneticModelKey(GeneticModel(m)) : QStringLiteral("exposure");
        run.models.push_back(std::move(figures));
    }
    run.isError = run.status != 0 ? 1 : 0;
    if (run.status == 1)
        run.message = tr("<br />Program is stopped by user");
    else if (run.status != 0)
        run.message = tr("<br />Meta-analysis: the studies could not be analysed");
    else if (text == ReportText::Full)
        run.message = metaReport(in, run);
    if (run.status == 0 && !run.models.empty())
        run.pValue = run.models.front().dl.p;
    qCDebug(lcCalc) << "meta-analysis status=" << run.status;
    return run;
}
