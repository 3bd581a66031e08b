#pragma once

#include "testinput.h"

#include <QString>
#include <QStringList>
#include <QtNumeric>

#include <vector>

// One cluster of the reported level: its counts in the two samples and the
// ratios of the second table. A negative ratio marks a zero count that was
// replaced by 0.5; it is printed in parentheses.
struct RiskClusterRow
{
    qint64 first = 0;
    qint64 second = 0;
    double frequenciesRatio = 0;
    double oddsRatio = qQNaN();  // against the next cluster; NaN for the last
};

// Risk clusterization: the factors of a two-sample table, ordered by the
// ratio of their counts, are merged level by level (always the adjacent pair
// with the smallest 2x2 chi-squared) and each number of clusters gets the
// P-value of its G test against the two samples. The level with the smallest
// P-value is reported. Created for one run on the GUI thread; polls the
// calculation events once per level.
class riskclust final
{
public:
    static constexpr int kStatusOk = 0;
    // A block with neither dimension 2 (or otherwise unusable), or a stop.
    static constexpr int kStatusFailed = 1;
    // No level got a P-value (the incomplete gamma did not converge).
    static constexpr int kStatusNoPValue = 2;

    // The number of factors of a block: the dimension that is not 2 (with
    // the samples in rows when both are); 0 when neither dimension is 2.
    static int factorCount(const TestInput &input);

    // Runs the levels and builds the report. status receives 0 for success,
    // kStatusFailed for a bad block (report "<br />Selection error") or a
    // stop (empty report), kStatusNoPValue with the error text as report.
    // Everything needed is copied out of input before the first poll, so a
    // check that rewrites it while events are processed does not matter.
    void run(const TestInput &input, int &status, QString &report);

    bool stopped() const { return m_stopped; }
    int factors() const { return m_k; }
    // Number of clusters of the reported level; 0 without a result.
    int bestLevel() const { return m_best; }
    // P-value of the level with the given number of clusters (2..K); NaN
    // when it could not be computed or the level was not reached.
    double levelPValue(int clusters) const;
    // Input indexes of the factors in engine order.
    std::vector<int> engineOrder() const;
    // 1-based cluster of every factor at the reported level, in input order.
    std::vector<int> clusterOfFactor() const;
    const std::vector<RiskClusterRow> &summary() const { return m_summary; }

private:
    struct Factor
    {
        int index = 0;
        qint64 e = 0;
        qint64 f = 0;
    };
    // Element of the doubly linked cluster list (links are vector indexes).
    struct Cluster
    {
        int firstPosition = 0;
        qint64 e = 0;
        qint64 f = 0;
        double distance = 0;  // to the next cluster
        double logLikelihood = 0;
        int prev = -1;
        int next = -1;
    };

    bool readInput(const TestInput &input);
    void orderFactors();
    void buildClusters();
    void mergeClosestPair(int level);
    double levelStatistic() const;
    void recordBestAssignment();
    void buildSummary();
    QString buildReport() const;

    int m_k = 0;
    qint64 m_totalE = 0;
    qint64 m_totalF = 0;
    double m_totalTerm = 0;
    QStringList m_factorNames;
    QStringList m_sampleNames;
    std::vector<Factor> m_factors;  // engine order after orderFactors()
    std::vector<Cluster> m_clusters;
    int m_head = -1;
    std::vector<double> m_pValues;         // indexed by the number of clusters
    std::vector<int> m_bestAssignment;     // 1-based cluster per engine position
    std::vector<RiskClusterRow> m_summary;
    int m_best = 0;
    int m_failedLevels = 0;
    QString m_pValueError;
    bool m_stopped = false;
};

// LL(x, y) = x ln x + y ln y - (x + y) ln(x + y), a zero count contributing
// nothing.
double clusterLogLikelihood(qint64 x, qint64 y);

// Pearson chi-squared (no continuity correction) of the 2x2 table with rows
// (a, b) and (c, d); 0 when a row or column sums to 0.
double clusterDistance(qint64 a, qint64 b, qint64 c, qint64 d);
