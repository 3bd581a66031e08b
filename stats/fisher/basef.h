#pragma once

#include "longpath.h"
#include "membudget.h"
#include "shortpath.h"
#include "subsetsp.h"

#include <QtGlobal>

#include <chrono>
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
// Memory: everything a run holds is counted against a MemoryBudget taken at
// construction; a run that would pass it, or whose allocation fails, ends
// with status 11 and frees its lists.
template <typename T>
class basef
{
public:
    static constexpr int kMaxColumns = 100;

    // capacity: the grand total. status: 0 = ready; 3 = a buffer could not
    // be allocated or would not fit the memory budget (checked before the
    // large buffers are allocated).
    basef(int capacity, int &status);
    virtual ~basef();
    basef(const basef &) = delete;
    basef &operator=(const basef &) = delete;

    // Runs the test on the first row x and the column totals c (N columns).
    // 0 = pValue written; 1 = bad input or the start mode refused; 2 = the
    // mode of a later stage refused; 10 = stopped by the user; 11 = out of
    // memory; 12 = a scaled length left the 32-bit range (approximate).
    int run(const int *x, const int *c, int N, double &pValue);

    double scale = 1.0;

    // Test and benchmark hooks. The faithful shortest-path search is the
    // reference of the fast two-row one; they give the same value.
    void setFaithfulShortestPath(bool on) { m_faithfulSP = on; }
    // Whether lengths that sameLength() finds equal share one element.
    void setJoinEqualLengths(bool on) { m_combine = on; }
    const MemoryBudget &budget() const { return m_budget; }
    // Called after each stage with every next node that holds a list.
    using StageHook = std::function<void(int k, int key, const std::vector<T> &list)>;
    void setStageHook(StageHook hook) { m_stageHook = std::move(hook); }
    qint64 peakListElements() const { return m_peakElements; }

protected:
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
    // One arc from current node cur to next node nxt at stage k; count is
    // the number of leading entries known to be wholly significant. 0 =
    // go on; 2 = out of memory; 3 = scaled length out of range.
    virtual int processLink(int k, int cur, int nxt, qint64 &count) = 0;

    double lnC(int a, int b) const { return m_lf[size_t(a)] - m_lf[size_t(b)] - m_lf[size_t(a - b)]; }

    // Makes room for extra more elements at the end of the next node's
    // list and notes where the new run starts; false when the budget or
    // the allocator refuses.
    bool beginRun(int nxt, qint64 extra);

    int m_spActive = 0;
    bool m_combine = true;
    int m_N = 0;
    int m_m = 0;
    int m_n = 0;
    int m_cols[kMaxColumns + 1] = {};
    int m_first[kMaxColumns + 1] = {};
    int m_mode[kMaxColumns + 1] = {};
    node *m_cur = nullptr;
    node *m_next = nullptr;
    double m_observed = 0.0;
    double m_logDenominator = 0.0;
    // Long double: a run may add 10^8 and more terms.
    long double m_p = 0.0L;

private:
    int initNodes();
    int runStages();
    int processNode(int k, int index, int smallestNext);
    int prepareShortest(int k, qint64 nk, int nextCount);
    int mergeRuns(int nextCount);
    int mergeNode(node &nd, const qint64 *starts, int runCount);
    bool memoryLow();
    void freeList(std::vector<T> &list);
    void freeAllLists();

    int m_capacity = 0;
    MemoryBudget m_budget;
    std::vector<double> m_lf;
    std::unique_ptr<node[]> m_bufferA;
    std::unique_ptr<node[]> m_bufferB;
    std::unique_ptr<longpath> m_modeFinder;
    std::unique_ptr<shortpath> m_shortest;
    std::unique_ptr<subsetsp> m_subsetSP;
    qint64 m_subsetBytes = 0;
    bool m_faithfulSP = false;
    StageHook m_stageHook;

    // Starts of the runs appended this stage, in arrival order: (next node
    // index, offset in its list).
    std::vector<std::pair<int, qint64>> m_runs;
    std::vector<T> m_mergeBuffer;
    qint64 m_listElements = 0;
    qint64 m_peakElements = 0;
    std::chrono::steady_clock::time_point m_nextMemoryCheck{};
};
