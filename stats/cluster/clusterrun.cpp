#include "clusterrun.h"

FrequencyRatio frequencyRatio(qint64 first, qint64 second, qint64 totalFirst, qint64 totalSecond)
{
    FrequencyRatio ratio;
    ratio.corrected = first == 0 || second == 0;
    const double a = first > 0 ? double(first) : 0.5;
    const double b = second > 0 ? double(second) : 0.5;
    ratio.value = (b / double(totalSecond)) / (a / double(totalFirst));
    return ratio;
}

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
        // The counts as the engine read them: bufA and bufB per factor, the
        // samples' totals in bufC (samples in rows) or bufD.
        const std::vector<int> &totals = input.nRows == 2 ? input.bufC : input.bufD;
        const qint64 totalFirst = totals[0];
        const qint64 totalSecond = totals[1];
        for (int i = 0; i < result.factors; ++i) {
            const FrequencyRatio ratio = frequencyRatio(input.bufA[std::size_t(i)], input.bufB[std::size_t(i)],
                                                        totalFirst, totalSecond);
            result.factorRatios.push_back(ratio.value);
            result.factorRatioCorrected.push_back(ratio.corrected);
        }
        for (const RiskClusterRow &row : result.summary) {
            const FrequencyRatio ratio = frequencyRatio(row.first, row.second, totalFirst, totalSecond);
            result.clusterRatios.push_back(ratio.value);
            result.clusterRatioCorrected.push_back(ratio.corrected);
        }
    }
    if (!result.stopped && engine.factors() >= 2) {
        result.levelPValues.reserve(std::size_t(engine.factors()) + 1);
        for (int level = 0; level <= engine.factors(); ++level)
            result.levelPValues.push_back(engine.levelPValue(level));
    }
    return result;
}
