#pragma once

#include "expterm.h"
#include "longpath.h"
#include "membudget.h"
#include "path.h"
#include "shortpath.h"
#include "subsetsp.h"
#include "tailsum.h"
#include "workprogress.h"

#include <QtGlobal>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

// The network algorithm of Mehta and Patel for the Fisher exact test of a
// 2xN table. Columns are processed from the smallest total to the largest;
// the nodes of a stage are keyed by the first-row total still to be placed.
// Every node keeps the lengths of the undecided partial tables that reach it
// (its past list, ascending); for each arc the derived class adds the wholly
// significant ones to the P-value and carries the rest forward. T is the
// list element: exactpath (dfex) or path (dfish).
//
// What an arc carries is noted as a run of its node's list; at the end of
// the stage each next node's runs are merged, once, into its list. The
// stage with two columns left is never carried from, so its lists are not
// built: its arcs sum the runs directly. Once the completions of the
// remaining columns are fewer than the elements held, the network stops
// there and pairs each node's list with its sorted completions (tailsum).
//
// Thresholds: a table counts when its length is at most the observed
// length plus a tie tolerance. Where the lengths carried are rounded down
// (approximate variant), a rounded length L' stands for a true one in
// [L', L' + error]; so a group is summed early only when it surely counts
// (at the observed length less the largest error), tables are dropped only
// when they surely do not count, and at the end each table counts into the
// sure sum or only into the sum at the observed length: the true P-value
// lies between lowerBound() and upperBound().
//
// Memory: everything a run holds is counted against a MemoryBudget taken at
// construction; a run that would pass it, or whose allocation fails, ends
// with status 11 and frees its lists.
template <typename T>
class basef
{
public:
    static constexpr int kMaxColumns = 100;
    // A merge or a sweep over this many elements polls for a stop once.
    static constexpr qint64 kMergePollStride = qint64(1) << 20;
    // The progress display's maximum is N times this: fine enough that the
    // value moves within a stage, which may take most of a run.
    static constexpr int kProgressPerColumn = 10000;

    // capacity: the grand total. status: 0 = ready; 3 = a buffer could not
    // be allocated or would not fit the memory budget (checked before the
    // large buffers are allocated).
    basef(int capacity, int &status);
    virtual ~basef();
    basef(const basef &) = delete;
    basef &operator=(const basef &) = delete;

    // Runs the test on the first row x and the column totals c (N columns).
    // 0 = pValue written (the sum of the tables whose carried length is at
    // most the observed one: the P-value where lengths are exact); 1 = bad
    // input or the start mode refused; 2 = the mode of a later stage
    // refused; 10 = stopped by the user; 11 = out of memory; 12 = a scaled
    // length left the 64-bit range (approximate).
    int run(const int *x, const int *c, int N, double &pValue);

    // After a successful run: the P-value lies in [lowerBound, upperBound]
    // (both the P-value itself where lengths are exact).
    double lowerBound() const { return double(m_p); }
    double upperBound() const;
    // The largest error of a rounded length in the last run's final sums.
    double finalPathError() const;

    // How far above the observed length a table still ties with it: 1e-10,
    // or more where the lengths are so large (n in the millions) that the
    // rounding of their sums exceeds that. magnitude: the sum of ln c_j!
    // over the columns, which bounds every term of every length.
    static double tieTolerance(double magnitude, int N);

    double scale = 1.0;

    // Test and benchmark hooks. The faithful shortest-path search is the
    // reference of the fast two-row one; they give the same value.
    void setFaithfulShortestPath(bool on) { m_faithfulSP = on; }
    // Shortest-path pruning at every stage with k > 1, or only at
    // 1 < k < N - 2 (default). Pruning earlier keeps fewer elements but
    // changes which runs of the approximate variant meet status 12.
    void setPruneAllStages(bool on) { m_pruneAllStages = on; }
    // Adds every wholly significant element on every arc, one term at a
    // time, instead of per arc from cumulative sums, and builds the lists
    // of the stage with two columns left (same terms, same order; the
    // reference of the grouped sums).
    void setElementwiseSums(bool on) { m_elementwise = on; }
    // Whether lists may be merged through an array indexed by length
    // (approximate) or by a counting sort into buckets of length (exact);
    // else always through the tree of losers.
    void setDenseMerge(bool on) { m_denseAllowed = on; }
    // Whether lengths that sameLength() finds equal share one element.
    void setJoinEqualLengths(bool on) { m_combine = on; }
    // Where the last columns are summed by listing the completions of each
    // node (tailsum): -1 (default) where that costs less than carrying the
    // lists on; 0 never; k >= 1 from the stage with k columns left on.
    void setTailColumns(int k) { m_tailColumns = k; }
    const MemoryBudget &budget() const { return m_budget; }
    // Called after each stage with every next node that holds a list.
    using StageHook = std::function<void(int k, int key, const std::vector<T> &list)>;
    void setStageHook(StageHook hook) { m_stageHook = std::move(hook); }
    qint64 peakListElements() const { return m_peakElements; }

protected:
    // The leading entries of a list known to count on an arc: surely (sure),
    // and at the observed length itself (maybe, only on final arcs).
    struct prefix
    {
        qint64 sure = 0;
        qint64 maybe = 0;
    };

    struct node
    {
        std::vector<T> past;   // ascending
        qint64 entryCount = 0;
        int key = 0;
        int maxNextKey = 0;
        int minNextKey = 0;
        int modeX = 0;
        double longest = 0.0;
        double shortest = 0.0;
        double total = 0.0;
    };

    // Puts the start path into the start node.
    virtual void initPath() = 0;
    // One arc from current node cur to next node nxt at stage k; count
    // holds the leading entries known to be wholly significant. 0 = go on;
    // 2 = out of memory; 3 = scaled length out of range.
    virtual int processLink(int k, int cur, int nxt, prefix &count) = 0;
    // The length of an element in its list, and as carried by run (the
    // same sums that the carried copy holds).
    virtual double ownLength(const T &e) const = 0;
    virtual double carriedLength(const T &e, const carriedRun &run) const = 0;
    // The largest amount by which a length with this many rounded arcs can
    // fall short of the true one: 0 where lengths are exact.
    virtual double pathError(int roundedArcs) const
    {
        Q_UNUSED(roundedArcs);
        return 0.0;
    }

    // Adds the wholly significant prefix of the current node's list for one
    // arc (a: the arc's length, base: a + next total - log denominator):
    // the first count.sure elements, then those with length + a + longest
    // at most the sure threshold; on a final arc (longest is the one
    // completion left) also the longer prefix that counts at the observed
    // length, into the maybe sum. False when the budget refuses the sums.
    template <typename Length>
    bool addSignificant(int cur, prefix &count, double a, double base, double longest, bool final, Length length);

    // The part of an arc that both variants share: adds the wholly
    // significant prefix of cur's list (addSignificant) and finds the
    // elements to carry to nxt, begin..end-1; while shortest-path pruning is
    // on, those no completion through the arc can count (a suffix, as the
    // list ascends) are left out. 0 = carry them; 1 = nothing to carry; 2 =
    // no room for the sums.
    struct arcCut
    {
        double a = 0.0;  // the arc's length
        qint64 begin = 0;
        qint64 end = 0;
    };
    template <typename Length>
    int cutArc(int k, int cur, int nxt, prefix &count, Length length, arcCut &cut);

    // Notes that elements begin..end-1 of node cur's list go to next node
    // nxt; false when the budget refuses.
    bool carry(int nxt, int cur, qint64 begin, qint64 end, double shift, qint64 step);

    double lnC(int a, int b) const { return m_lf[size_t(a)] - m_lf[size_t(b)] - m_lf[size_t(a - b)]; }

    int m_spActive = 0;
    int m_N = 0;
    int m_m = 0;
    int m_n = 0;
    int m_cols[kMaxColumns + 1] = {};
    int m_first[kMaxColumns + 1] = {};
    int m_mode[kMaxColumns + 1] = {};
    node *m_cur = nullptr;
    node *m_next = nullptr;
    double m_observed = 0.0;      // observed length plus the tie tolerance
    double m_observedSure = 0.0;  // less the largest error of a rounded length
    bool m_twoThresholds = false;
    double m_logDenominator = 0.0;
    // Long double: a run may add 10^8 and more terms. m_p: the tables that
    // surely count; m_pMaybe: those that count at the observed length but
    // might not with their true length.
    long double m_p = 0.0L;
    long double m_pMaybe = 0.0L;
    int m_finalStage = 0;  // columns left where the final sums were made

private:
    using runList = std::vector<carriedRun>;

    int initNodes();
    int runStages();
    int processNode(int k, int index, int smallestNext);
    int runLink(int k, int cur, int nxt);
    int prepareShortest(int k, qint64 nk, int nextCount);
    bool useTail(int k, int curCount);
    void setTailCuts(const node &nd);
    int runTail(int k, int curCount);
    // The merges (basefmerge.cpp).
    int mergeStage(int curCount, int nextCount);
    int mergeInto(std::vector<T> &out, const runList &runs);
    int mergeDense(std::vector<T> &out, const runList &runs);
    template <typename Put>
    int mergeBuckets(const runList &runs, qint64 total, Put &put);
    void freeMergeBuffers();
    int keepListsForRuns(int curCount);
    bool reserveList(std::vector<T> &list, qint64 capacity);
    bool growSums(qint64 size);
    bool memoryLow();
    void freeList(std::vector<T> &list);
    void freeRuns(std::vector<runList> &runs, qint64 &bytes);
    void freeKeptLists();
    void freeAllLists();
    // Progress (basefprogress.cpp).
    void startStageProgress(int k, int curCount, bool tail);
    void startMergeProgress();
    double nodeWork(int index) const;
    void noteWork(double work);
    double stageWorkLeft() const;

    int m_capacity = 0;
    MemoryBudget m_budget;
    std::vector<double> m_lf;
    std::unique_ptr<node[]> m_bufferA;
    std::unique_ptr<node[]> m_bufferB;
    std::unique_ptr<longpath> m_modeFinder;
    std::unique_ptr<shortpath> m_shortest;
    std::unique_ptr<subsetsp> m_subsetSP;
    std::unique_ptr<tailsum> m_tail;
    qint64 m_tailBytes = 0;
    std::vector<qint64> m_tailListed;  // per node, from the counting walks
    qint64 m_subsetBytes = 0;

    bool m_faithfulSP = false;
    bool m_pruneAllStages = false;
    bool m_elementwise = false;
    bool m_combine = true;
    bool m_denseAllowed = true;
    int m_tailColumns = -1;
    StageHook m_stageHook;

    // Runs carried this stage, per next node; and, at the stage with two
    // columns left, the runs that stand for the current nodes' lists, with
    // the lists (and their cumulative sums) that they point into.
    std::vector<runList> m_nextRuns;
    qint64 m_nextRunBytes = 0;
    std::vector<runList> m_curRuns;
    qint64 m_curRunBytes = 0;
    std::vector<std::vector<T>> m_kept;
    std::vector<std::vector<long double>> m_keptSums;
    std::vector<double> m_keptRef;
    qint64 m_keptSumBytes = 0;

    // Cumulative sums of W exp(L - ref) over the list of node m_sumsNode.
    std::vector<long double> m_sums;
    double m_sumsRef = 0.0;
    int m_sumsNode = -1;

    // The block of weights of mergeDense and which of them are set; zero
    // between merges, kept for the run.
    std::vector<double> m_block;
    std::vector<quint64> m_blockBits;
    std::vector<T> m_scratch;  // a block of mergeBuckets

    qint64 m_listElements = 0;
    qint64 m_peakElements = 0;

    // The work of the current stage, in list elements and arcs: what is
    // left of its nodes (or of the tail's), of its merge, and the elements
    // carried so far, from which the merge and the next stage are foreseen.
    workprogress m_progress;
    int m_progressStage = 0;
    bool m_progressTail = false;
    double m_stageEntries = 0.0;
    double m_nodesDone = 0.0;
    double m_nodesLeft = 0.0;
    double m_mergeLeft = -1.0;  // -1 until the merge starts
    double m_carried = 0.0;
    std::chrono::steady_clock::time_point m_nextMemoryCheck{};
};

template <typename T>
template <typename Length>
int basef<T>::cutArc(int k, int cur, int nxt, prefix &count, Length length, arcCut &cut)
{
    const node &from = m_cur[cur];
    const node &to = m_next[nxt];
    const double a = lnC(m_cols[k - 1], from.key - to.key);
    cut.a = a;
    if (!addSignificant(cur, count, a, a + to.total - m_logDenominator, to.longest, k == 2, length))
        return 2;
    if (k == 2 || count.sure >= from.entryCount)
        return 1;
    const T *e = from.past.data();
    cut.begin = count.sure;
    cut.end = from.entryCount;
    if (m_spActive) {
        const double shortest = to.shortest;
        const double observed = m_observed;
        cut.end = std::partition_point(e + cut.begin, e + cut.end,
                                       [&](const T &x) { return !(length(x) + a + shortest > observed); })
                  - e;
    }
    return cut.end == cut.begin ? 1 : 0;
}

template <typename T>
template <typename Length>
bool basef<T>::addSignificant(int cur, prefix &count, double a, double base, double longest, bool final,
                              Length length)
{
    const node &from = m_cur[cur];
    const T *e = from.past.data();
    const qint64 entries = from.entryCount;
    const double sure = m_observedSure;
    const double observed = m_observed;
    const bool maybe = final && m_twoThresholds;
    if (m_elementwise) {
        long double p = m_p;
        long double q = m_pMaybe;
        qint64 i = 0;
        for (; i < count.sure; ++i)
            p += e[i].weight * std::exp(length(e[i]) + base);
        for (; i < entries && length(e[i]) + a + longest <= sure; ++i)
            p += e[i].weight * std::exp(length(e[i]) + base);
        count.sure = i;
        if (maybe) {
            for (; i < entries && length(e[i]) + a + longest <= observed; ++i)
                q += e[i].weight * std::exp(length(e[i]) + base);
            count.maybe = i;
        }
        m_p = p;
        m_pMaybe = q;
        return true;
    }

    qint64 i = count.sure;
    while (i < entries && length(e[i]) + a + longest <= sure)
        ++i;
    qint64 j = i;
    if (maybe) {
        j = std::max(j, count.maybe);
        while (j < entries && length(e[j]) + a + longest <= observed)
            ++j;
        count.maybe = j;
    }
    count.sure = i;
    if (j == 0)
        return true;
    if (m_sumsNode != cur) {
        // Built once per node, on its first counted arc; relative to the
        // longest element, so every term is at most its weight.
        if (!growSums(entries + 1))
            return false;
        const double ref = length(e[entries - 1]);
        long double sum = 0.0L;
        m_sums[0] = 0.0L;
        for (qint64 k = 0; k < entries; ++k) {
            const double d = length(e[k]) - ref;
            sum += e[k].weight * expTerm(d);
            m_sums[size_t(k + 1)] = sum;
        }
        m_sumsRef = ref;
        m_sumsNode = cur;
    }
    const long double factor = std::exp((long double)base + (long double)m_sumsRef);
    m_p += factor * m_sums[size_t(i)];
    if (j > i)
        m_pMaybe += factor * (m_sums[size_t(j)] - m_sums[size_t(i)]);
    return true;
}
