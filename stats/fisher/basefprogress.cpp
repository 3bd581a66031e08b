// The progress of the network. A stage's own work is known when it starts
// (its nodes' list elements and arcs), its merge's while its nodes are done
// (the elements they carry), and the next stage's is foreseen from that:
// its lists hold what this stage carries, and it carries as many times more
// as this one did.
#include "basef.h"

#include "calcactivity.h"
#include "calcpoll.h"

#include <algorithm>

namespace {

// The foreseen growth of the next stage, at most this many times its lists:
// a few small lists that carry much are no guide to many large ones, and
// the last stages are summed from the other side (tailsum) for less.
constexpr double kMaxGrowth = 16.0;

} // namespace

template <typename T>
void basef<T>::startStageProgress(int k, int curCount, bool tail)
{
    m_progressStage = k;
    m_progressTail = tail;
    m_stageEntries = 0.0;
    m_nodesDone = 0.0;
    m_nodesLeft = 0.0;
    m_mergeLeft = -1.0;
    m_carried = 0.0;
    qint64 active = 0;
    for (int i = 0; i < curCount; ++i) {
        const node &nd = m_cur[i];
        if (nd.entryCount == 0 && k != m_N)
            continue;
        ++active;
        m_stageEntries += double(nd.entryCount);
        m_nodesLeft += nodeWork(i);
    }
    // Stages count from the first (all N columns left); the tail sums the
    // remaining columns at once, so it is the last.
    const int stage = m_N - k + 1;
    calcActivity.setStage(stage, tail ? stage : m_N, CalcActivity::Nodes, active);
    calcActivity.setMemory(m_budget.used(), m_budget.limit());
}

template <typename T>
double basef<T>::nodeWork(int index) const
{
    const node &nd = m_cur[index];
    if (m_progressTail)
        return double(nd.entryCount) + double(std::max<qint64>(0, m_tailListed[size_t(index)]));
    return double(nd.entryCount) + double(nd.maxNextKey - nd.minNextKey + 1);
}

template <typename T>
void basef<T>::startMergeProgress()
{
    // After the stage with three columns left the lists are kept and only
    // summed; else the carried elements are merged.
    m_mergeLeft = m_progressStage == 3 && !m_elementwise ? m_stageEntries : m_carried;
    m_nodesLeft = 0.0;
    qint64 lists = 0;
    for (const runList &runs : m_nextRuns)
        lists += runs.empty() ? 0 : 1;
    calcActivity.setStage(m_N - m_progressStage + 1, m_N, CalcActivity::Merge, lists);
}

template <typename T>
void basef<T>::noteWork(double work)
{
    countCalcWork(quint64(work));
    if (m_mergeLeft < 0.0) {
        m_nodesDone += work;
        m_nodesLeft = std::max(0.0, m_nodesLeft - work);
    } else {
        m_mergeLeft = std::max(0.0, m_mergeLeft - work);
    }
    m_progress.advance(work, stageWorkLeft());
    calcActivity.setMemory(m_budget.used(), m_budget.limit());
}

template <typename T>
double basef<T>::stageWorkLeft() const
{
    if (m_progressTail)
        return m_nodesLeft;
    const int k = m_progressStage;
    double carried = m_carried;
    double merge = m_mergeLeft;
    if (merge < 0.0) {
        // Foreseen from the nodes done: they carried this much so far.
        const double done = m_nodesDone / (m_nodesDone + m_nodesLeft);
        carried = done > 0.0 ? m_carried / done : 0.0;
        merge = k == 3 && !m_elementwise ? m_stageEntries : carried;
    }
    double next = 0.0;
    if (k - 1 >= 3)
        next = carried * (1.0 + std::min(kMaxGrowth, carried / std::max(1.0, m_stageEntries)));
    else if (k - 1 == 2)
        next = carried;  // its arcs only sum what it holds
    return m_nodesLeft + merge + next;
}

// Defined here, used by basef.cpp and basefmerge.cpp.
template void basef<path>::startStageProgress(int, int, bool);
template void basef<exactpath>::startStageProgress(int, int, bool);
template void basef<path>::startMergeProgress();
template void basef<exactpath>::startMergeProgress();
template double basef<path>::nodeWork(int) const;
template double basef<exactpath>::nodeWork(int) const;
template void basef<path>::noteWork(double);
template void basef<exactpath>::noteWork(double);
