#pragma once

#include "compensatedsum.h"
#include "countedvector.h"
#include "hwnode.h"
#include "hwnodeindex.h"
#include "hwtail.h"
#include "workprogress.h"

#include <QtGlobal>

#include <memory>
#include <vector>

class MemoryBudget;

// The exact test of Hardy-Weinberg equilibrium for one locus with K alleles.
// P is the total probability of all genotype tables with the observed allele
// counts whose score is at most that of the observed table (+1e-10).
//
// The alleles are taken out one per stage, from the smallest count up;
// partial tables that leave the same counts share a node (found through a
// hwnodeindex), and partial tables whose scores agree to 1e-12 relative
// share one entry with a weight. Each partial table is settled the moment
// it is formed, against bounds on what its completions can add: when every
// completion counts its whole weight goes to P at once, when none does it is
// dropped, and only the undecided rest is kept for the next stage. Once two
// alleles are left, the completions form one log-concave row (hwtail) and
// are counted directly, so no node of the last stages holds any scores.
// P is summed with compensation.
//
// The whole computation runs in the constructor (on the calling thread,
// polling pollCalcEvents() before each node and during its enumeration).
// Everything it holds is counted against a MemoryBudget; beyond it the run
// ends with OutOfMemory and gives everything back. table is K x K,
// row-major; only the upper triangle and diagonal are read.
class hwexact final
{
public:
    enum Status {
        Finished = 0,
        Stopped = 1,
        BadInput = 2,
        OutOfMemory = 11
    };

    // calcProgressValue runs from 0 to K * kProgressPerStage, with the share
    // of the work done (as estimated: stages differ by orders of magnitude,
    // so the value is not tied to them); fine enough to move within a
    // stage that takes hours.
    static constexpr int kProgressPerStage = 100000;

    hwexact(int *status, int K, const int *table, double *P, MemoryBudget *budget = nullptr);
    ~hwexact();

    hwexact(const hwexact &) = delete;
    hwexact &operator=(const hwexact &) = delete;

    // Most bytes held at once during the run, as counted against the budget.
    qint64 peakMemory() const;

private:
    struct Halt {
        int status;
    };

    int run(int K, const int *table, double *P);
    int setUp(int K, const int *table);
    void releaseAll();
    void processNode(qint64 ordinal);
    void mergeScores(hwnode &node);
    void enumerateLevel(int j, int left, double score);
    void settle(const int *childCounts, double columnScore);
    void settleFinal(int lastCount, double columnScore);
    void settleTail(const int *childCounts, double columnScore);
    void settleNode(const int *childCounts, double columnScore);
    void pollInside(quint64 work);
    void showProgress(double nodeShare);
    double nodeUnits(qint64 ordinal) const;
    static double choiceCount(const int *counts, int k);
    [[noreturn]] void halt(int status);

    std::unique_ptr<MemoryBudget> m_ownBudget;
    MemoryBudget *m_budget;

    int m_K = 0;
    int m_k = 0;               // alleles still unprocessed in the current stage
    qint64 m_N = 0;
    std::vector<int> m_alleleCounts;
    std::vector<double> m_lnFact;      // ln(i!), i = 0..2N
    qint64 m_lnFactCharged = 0;
    double m_ln2 = 0.0;
    double m_C = 0.0;
    double m_threshold = 0.0;
    CompensatedSum m_P;

    // Nodes of the current and the next stage, with their indexes.
    std::vector<hwnode> m_current;
    std::vector<hwnode> m_next;
    qint64 m_currentCharged = 0;
    qint64 m_nextCharged = 0;
    qint64 m_tailsCharged = 0;
    hwnodeindex m_currentIndex;
    hwnodeindex m_nextIndex;
    // Two-allele completions of the next stage, when it leaves two alleles.
    std::vector<hwtail> m_tails;
    hwnodeindex m_tailIndex;

    // Enumeration of one node.
    const int *m_counts = nullptr;     // the node's counts
    int m_lastCount = 0;               // copies of the allele taken out
    std::vector<int> m_child;          // counts left after the choice
    std::vector<int> m_prefixSum;      // sum of counts below each level
    const hwscore *m_scores = nullptr; // the node's entries, ascending
    size_t m_scoreCount = 0;
    CountedVector<double> m_prefixWeight; // sum_{i<=j} w_i exp(v_i - v_j)
    quint64 m_work = 0;                // since the last poll
    // Progress: the work of the stage (per node, its choices times its
    // partial tables), of the nodes done, of the current node and the part
    // of it shown; and of the next stage's nodes as far as they are formed.
    workprogress m_progress;
    double m_stageUnits = 1.0;
    double m_unitsDone = 0.0;
    double m_nodeUnits = 0.0;
    double m_nodeShown = 0.0;
    double m_nextUnits = 0.0;
    double m_shareBase = 0.0;          // of the node's choices, before the current one
    double m_shareWidth = 1.0;         // of the node's choices, the current one's
};
