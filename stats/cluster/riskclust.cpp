#include "riskclust.h"

#include "calcpoll.h"
#include "chi2.h"
#include "runreport.h"

#include <QCoreApplication>
#include <QLoggingCategory>

#include <algorithm>
#include <cmath>

namespace {

// Off by default: with a thousand factors the per-level lines would cost
// more than the clustering itself.
Q_LOGGING_CATEGORY(lcCluster, "velmora.cluster", QtInfoMsg)

double xlogx(double x)
{
    return x > 0 ? x * std::log(x) : 0.0;
}

} // namespace

double clusterLogLikelihood(qint64 x, qint64 y)
{
    const double dx = double(x);
    const double dy = double(y);
    return xlogx(dx) + xlogx(dy) - xlogx(dx + dy);
}

double clusterDistance(qint64 a, qint64 b, qint64 c, qint64 d)
{
    // Sums in doubles: cluster counts may exceed what an int product holds.
    const double da = double(a), db = double(b), dc = double(c), dd = double(d);
    const double row1 = da + db, row2 = dc + dd;
    const double col1 = da + dc, col2 = db + dd;
    if (row1 == 0 || row2 == 0 || col1 == 0 || col2 == 0)
        return 0;
    const double n = row1 + row2;
    const double observed[4] = {da, db, dc, dd};
    const double expected[4] = {row1 * col1 / n, row1 * col2 / n, row2 * col1 / n, row2 * col2 / n};
    double sum = 0;
    for (int i = 0; i < 4; ++i) {
        const double diff = observed[i] - expected[i];
        sum += diff * diff / expected[i];
    }
    return sum;
}

int riskclust::factorCount(const TestInput &input)
{
    if (input.nRows == 2)
        return input.nCols;
    if (input.nCols == 2)
        return input.nRows;
    return 0;
}

void riskclust::run(const TestInput &input, int &status, QString &report)
{
    m_stopped = false;
    m_best = 0;
    m_failedLevels = 0;
    m_pValueError.clear();
    m_summary.clear();
    report.clear();

    if (!readInput(input)) {
        status = kStatusFailed;
        report = QCoreApplication::translate("riskclust", "<br />Selection error");
        return;
    }
    orderFactors();
    buildClusters();

    m_pValues.assign(std::size_t(m_k) + 1, qQNaN());
    double bestP = qQNaN();
    for (int level = m_k; level >= 2; --level) {
        if (pollCalcEvents() != 0) {
            m_stopped = true;
            m_best = 0;
            status = kStatusFailed;
            return;
        }
        if (level < m_k)
            mergeClosestPair(level);

        // Proportional clusters give G = 0 exactly; rounding may leave a
        // tiny negative value, which the chi-squared tail does not take.
        const double g = std::max(0.0, levelStatistic());
        QString error;
        const double p = chi2PValue(g, level, &error);
        qCDebug(lcCluster) << "level" << level << "G=" << g << "P=" << p;
        if (std::isnan(p)) {
            // The level is left out of the choice; the report says so.
            ++m_failedLevels;
            if (m_pValueError.isEmpty())
                m_pValueError = error;
        } else {
            m_pValues[std::size_t(level)] = reportedProbability(p);
            // Equal values keep the larger number of clusters.
            if (std::isnan(bestP) || p < bestP) {
                bestP = p;
                m_best = level;
                recordBestAssignment();
            }
        }
        calcProgressValue = m_k - level + 1;
    }

    if (m_best == 0) {
        status = kStatusNoPValue;
        report = QStringLiteral("<br />") + m_pValueError.toHtmlEscaped();
        return;
    }
    buildSummary();
    report = buildReport();
    status = kStatusOk;
}

bool riskclust::readInput(const TestInput &input)
{
    m_k = factorCount(input);
    const std::vector<int> &totals = input.nRows == 2 ? input.bufC : input.bufD;
    if (m_k < 2 || std::size_t(m_k) > input.bufA.size() || std::size_t(m_k) > input.bufB.size()
        || totals.size() < 2 || input.factorNames.size() < m_k || input.sampleNames.size() < 2)
        return false;
    m_totalE = totals[0];
    m_totalF = totals[1];

    m_factors.clear();
    m_factors.reserve(std::size_t(m_k));
    qint64 sumE = 0, sumF = 0;
    for (int i = 0; i < m_k; ++i) {
        const Factor factor{i, input.bufA[std::size_t(i)], input.bufB[std::size_t(i)]};
        if (factor.e < 0 || factor.f < 0 || factor.e + factor.f < 1)
            return false;
        sumE += factor.e;
        sumF += factor.f;
        m_factors.push_back(factor);
    }
    // The totals must be the sums of the counts, or G is meaningless.
    if (sumE != m_totalE || sumF != m_totalF || m_totalE < 1 || m_totalF < 1)
        return false;

    m_factorNames = input.factorNames.mid(0, m_k);
    m_sampleNames = input.sampleNames.mid(0, 2);
    m_totalTerm = -clusterLogLikelihood(m_totalE, m_totalF);
    return true;
}

void riskclust::orderFactors()
{
    std::vector<Factor> noFirst, both, noSecond;
    for (const Factor &factor : m_factors) {
        if (factor.e == 0)
            noFirst.push_back(factor);
        else if (factor.f > 0)
            both.push_back(factor);
        else
            noSecond.push_back(factor);
    }
    // Stable, so that factors of equal ratio keep their input order.
    std::stable_sort(noFirst.begin(), noFirst.end(),
                     [](const Factor &x, const Factor &y) { return x.f > y.f; });
    std::stable_sort(both.begin(), both.end(), [](const Factor &x, const Factor &y) {
        return double(x.e) / double(x.f) < double(y.e) / double(y.f);
    });
    std::stable_sort(noSecond.begin(), noSecond.end(),
                     [](const Factor &x, const Factor &y) { return x.e < y.e; });
    m_factors = std::move(noFirst);
    m_factors.insert(m_factors.end(), both.begin(), both.end());
    m_factors.insert(m_factors.end(), noSecond.begin(), noSecond.end());
}

void riskclust::buildClusters()
{
    m_clusters.assign(std::size_t(m_k), Cluster{});
    for (int j = 0; j < m_k; ++j) {
        Cluster &cluster = m_clusters[std::size_t(j)];
        const Factor &factor = m_factors[std::size_t(j)];
        cluster.firstPosition = j;
        cluster.e = factor.e;
        cluster.f = factor.f;
        cluster.logLikelihood = clusterLogLikelihood(factor.e, factor.f);
        cluster.prev = j - 1;
        cluster.next = j + 1 < m_k ? j + 1 : -1;
    }
    for (int j = 0; j + 1 < m_k; ++j) {
        Cluster &cluster = m_clusters[std::size_t(j)];
        const Cluster &next = m_clusters[std::size_t(j) + 1];
        cluster.distance = clusterDistance(cluster.e, cluster.f, next.e, next.f);
        qCDebug(lcCluster) << " i=" << j << " r1=" << cluster.e << " r2=" << cluster.f
                           << " chi2dist=" << cluster.distance;
    }
    m_head = 0;
}

void riskclust::mergeClosestPair(int level)
{
    int closest = -1;
    double smallest = 0;
    for (int i = m_head; m_clusters[std::size_t(i)].next != -1; i = m_clusters[std::size_t(i)].next) {
        // Strictly smaller: on ties the first pair wins.
        if (closest == -1 || m_clusters[std::size_t(i)].distance < smallest) {
            closest = i;
            smallest = m_clusters[std::size_t(i)].distance;
        }
    }
    Cluster &merged = m_clusters[std::size_t(closest)];
    const Cluster &absorbed = m_clusters[std::size_t(merged.next)];
    merged.e += absorbed.e;
    merged.f += absorbed.f;
    merged.next = absorbed.next;
    merged.logLikelihood = clusterLogLikelihood(merged.e, merged.f);
    if (merged.next != -1) {
        Cluster &next = m_clusters[std::size_t(merged.next)];
        next.prev = closest;
        merged.distance = clusterDistance(merged.e, merged.f, next.e, next.f);
    } else {
        merged.distance = 0;
    }
    if (merged.prev != -1) {
        Cluster &prev = m_clusters[std::size_t(merged.prev)];
        prev.distance = clusterDistance(prev.e, prev.f, merged.e, merged.f);
    }
    qCDebug(lcCluster) << "number of clusters=" << level << " merged at position"
                       << merged.firstPosition << " dist=" << smallest;
}

double riskclust::levelStatistic() const
{
    double sum = 0;
    for (int i = m_head; i != -1; i = m_clusters[std::size_t(i)].next)
        sum += m_clusters[std::size_t(i)].logLikelihood;
    return 2 * (sum + m_totalTerm);
}

void riskclust::recordBestAssignment()
{
    m_bestAssignment.assign(std::size_t(m_k), 0);
    int number = 0;
    for (int i = m_head; i != -1; i = m_clusters[std::size_t(i)].next) {
        ++number;
        const Cluster &cluster = m_clusters[std::size_t(i)];
        const int end = cluster.next == -1 ? m_k : m_clusters[std::size_t(cluster.next)].firstPosition;
        for (int j = cluster.firstPosition; j < end; ++j)
            m_bestAssignment[std::size_t(j)] = number;
    }
}

double riskclust::levelPValue(int clusters) const
{
    if (clusters < 0 || std::size_t(clusters) >= m_pValues.size())
        return qQNaN();
    return m_pValues[std::size_t(clusters)];
}

std::vector<int> riskclust::engineOrder() const
{
    std::vector<int> order;
    order.reserve(m_factors.size());
    for (const Factor &factor : m_factors)
        order.push_back(factor.index);
    return order;
}

std::vector<int> riskclust::clusterOfFactor() const
{
    if (m_best == 0)
        return {};
    std::vector<int> clusters(std::size_t(m_k), 0);
    for (int j = 0; j < m_k; ++j)
        clusters[std::size_t(m_factors[std::size_t(j)].index)] = m_bestAssignment[std::size_t(j)];
    return clusters;
}
