#include "clusterrun.h"

ClusterRun runRiskCluster(const TestInput &input, const ProgressDisplay &progress)
{
    ClusterRun result;
    result.factors = riskclust::factorCount(input);
    const bool showProgress = progress && result.factors >= 2;
    if (showProgress)
        progress(result.factors - 1);

    riskclust engine;
    int status = riskclust::kStatusOk;
    QString report;
    engine.run(input, status, report);

    if (showProgress)
        progress(-1);

    result.message = report;
    result.status = status;
    result.isError = status != riskclust::kStatusOk ? 1 : 0;
    result.stopped = engine.stopped();
    result.clusters = engine.bestLevel();
    if (status == riskclust::kStatusOk) {
        result.pValue = engine.levelPValue(result.clusters);
        result.engineOrder = engine.engineOrder();
        result.clusterOfFactor = engine.clusterOfFactor();
        result.summary = engine.summary();
    }
    if (!result.stopped && engine.factors() >= 2) {
        result.levelPValues.reserve(std::size_t(engine.factors()) + 1);
        for (int level = 0; level <= engine.factors(); ++level)
            result.levelPValues.push_back(engine.levelPValue(level));
    }
    return result;
}
