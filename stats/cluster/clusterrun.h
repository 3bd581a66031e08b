#pragma once

#include "riskclust.h"
#include "runreport.h"
#include "testinput.h"

#include <vector>

// One risk-cluster run as the main window and the command-line tool need it:
// the report entry and the figures behind it.
struct ClusterRun : RunReport
{
    bool stopped = false;
    int factors = 0;                     // K; 0 for a block with neither dimension 2
    int clusters = 0;                    // the reported number of clusters; 0 without a result
    std::vector<int> engineOrder;        // input indexes of the factors in report order
    std::vector<int> clusterOfFactor;    // 1-based cluster per factor, input order
    std::vector<double> levelPValues;    // indexed by the number of clusters 0..K; NaN where none
    std::vector<RiskClusterRow> summary; // one row per reported cluster
    // For the picture, on a log scale: each factor's frequency ratio (input
    // order) and each cluster's, as frequencyRatio() gives them.
    std::vector<double> factorRatios;
    std::vector<bool> factorRatioCorrected;
    std::vector<double> clusterRatios;
    std::vector<bool> clusterRatioCorrected;
};

// The ratio of a group's frequency in the second sample to its frequency
// in the first, (second / total second) / (first / total first), as the
// report's frequencies ratio; a zero count in either sample is replaced by
// 0.5 (corrected), so that every ratio has a place on a log scale.
struct FrequencyRatio
{
    double value = 0.0;
    bool corrected = false;
};
FrequencyRatio frequencyRatio(qint64 first, qint64 second, qint64 totalFirst, qint64 totalSecond);

// Runs the clusterization of a checked block: progress(K - 1) before the
// engine and progress(-1) after it (neither for a block with no dimension
// 2), then hands back the message for the Results window. A stopped run has
// an empty message and isError set, a bad block "<br />Selection error".
// Automatic recalculation is the caller's business: switch it off before
// this call and back on after it, before the report is appended.
ClusterRun runRiskCluster(const TestInput &input, const ProgressDisplay &progress);
