#include "hwexact.h"

#include "calcpoll.h"
#include "hwbounds.h"
#include "logfactorial.h"
#include "membudget.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <functional>
#include <new>

namespace {

// Scores this close (relative) belong to tables that differ only by
// rounding, or so little that the threshold's 1e-10 cannot tell them apart.
constexpr double kMergeTolerance = 1e-12;
constexpr double kThresholdTolerance = 1e-10;
// Scores are sums of log factorials as large as ln(N!), each a few ulps
// off: beyond N ~ 10^6 their rounding outgrows the 1e-10 above, and the
// observed table itself would fall past its own threshold. The threshold
// widens by a bound on that rounding (per summed term, relative to the
// largest magnitude a score can reach).
constexpr double kRoundingPerTerm = 4 * DBL_EPSILON;
// The foreseen growth of the stage after next, at most this many times the
// next one: a small stage that forms much is no guide to a large one, and
// the last stages settle more than they form.
constexpr double kMaxGrowth = 64.0;
// Work between two polls (a settled choice counts one, plus one for each
// partial table it touches): one node of a large table can take seconds,
// and Stop must answer within a moment.
constexpr quint64 kWorkPerPoll = 16384;
// A node's scores are merged again once they have doubled, but not for
// fewer than this many (sorting tiny vectors over and over costs more).
constexpr size_t kMinMergeSize = 4096;

// Counts are held in ints; 2N beyond this would overflow the sums of counts
// and is far beyond any log table that fits in memory anyway.
constexpr qint64 kMaxAlleleCopies = INT_MAX / 4;

template <typename Item>
bool growList(std::vector<Item> &list, MemoryBudget *budget, qint64 *charged)
{
    if (list.size() < list.capacity())
        return true;
    const size_t newCapacity = std::max<size_t>(16, list.capacity() * 2);
    const qint64 extra = static_cast<qint64>((newCapacity - list.capacity()) * sizeof(Item));
    if (!budget->reserve(extra))
        return false;
    try {
        list.reserve(newCapacity);
    } catch (const std::bad_alloc &) {
        budget->release(extra);
        return false;
    }
    *charged += extra;
    return true;
}

template <typename Item>
void freeList(std::vector<Item> &list, MemoryBudget *budget, qint64 *charged)
{
    std::vector<Item>().swap(list);  // the items give back their own memory
    budget->release(*charged);
    *charged = 0;
}

// Index of the last entry with score <= limit, -1 when none.
ptrdiff_t lastAtOrBelow(const hwscore *scores, size_t count, double limit)
{
    const hwscore *it = std::upper_bound(scores, scores + count, limit,
                                         [](double l, const hwscore &e) { return l < e.score; });
    return (it - scores) - 1;
}

} // namespace

hwexact::hwexact(int *status, int K, const int *table, double *P, MemoryBudget *budget)
    : m_ownBudget(budget ? nullptr : new MemoryBudget()),
      m_budget(budget ? budget : m_ownBudget.get()),
      m_currentIndex(m_budget),
      m_nextIndex(m_budget),
      m_tailIndex(m_budget),
      m_prefixWeight(m_budget)
{
    const int result = run(K, table, P);
    if (status)
        *status = result;
}

hwexact::~hwexact()
{
    releaseAll();
}

qint64 hwexact::peakMemory() const
{
    return m_budget->peak();
}

void hwexact::releaseAll()
{
    freeList(m_current, m_budget, &m_currentCharged);
    freeList(m_next, m_budget, &m_nextCharged);
    freeList(m_tails, m_budget, &m_tailsCharged);
    m_currentIndex.clear();
    m_nextIndex.clear();
    m_tailIndex.clear();
    m_prefixWeight.freeAll();
    std::vector<double>().swap(m_lnFact);
    m_budget->release(m_lnFactCharged);
    m_lnFactCharged = 0;
}

void hwexact::halt(int status)
{
    throw Halt{status};
}

int hwexact::run(int K, const int *table, double *P)
{
    try {
        const int setUpStatus = setUp(K, table);
        if (setUpStatus != Finished) {
            releaseAll();
            return setUpStatus;
        }
        // The root stage holds one node.
        if (!m_currentIndex.reset(K, m_alleleCounts.data(), false))
            halt(OutOfMemory);
        bool added = false;
        if (m_currentIndex.findOrAdd(m_alleleCounts.data(), &added) != 0
            || !growList(m_current, m_budget, &m_currentCharged))
            halt(OutOfMemory);
        m_current.emplace_back(m_budget);
        m_current[0].remaining = static_cast<int>(2 * m_N);
        if (!m_current[0].scores.push_back(hwscore{0.0, 1.0}))
            halt(OutOfMemory);

        m_progress.start(K * kProgressPerStage);
        for (int k = K; k >= 1; --k) {
            m_k = k;
            if (k - 1 >= 3 && !m_nextIndex.reset(k - 1, m_alleleCounts.data()))
                halt(OutOfMemory);
            if (k - 1 == 2 && !m_tailIndex.reset(2, m_alleleCounts.data()))
                halt(OutOfMemory);
            // The stage's work, for the progress value: per node, its
            // partial tables times the ways to place its last allele.
            m_stageUnits = 0.0;
            for (size_t ordinal = 0; ordinal < m_current.size(); ++ordinal)
                m_stageUnits += nodeUnits(static_cast<qint64>(ordinal));
            m_unitsDone = 0.0;
            m_nextUnits = 0.0;
            for (size_t ordinal = 0; ordinal < m_current.size(); ++ordinal) {
                m_nodeUnits = nodeUnits(static_cast<qint64>(ordinal));
                m_nodeShown = 0.0;
                if (pollCalcEvents())
                    halt(Stopped);
                processNode(static_cast<qint64>(ordinal));
                showProgress(1.0);
                m_unitsDone += m_nodeUnits;
            }
            // The next stage's nodes become the current ones.
            freeList(m_current, m_budget, &m_currentCharged);
            freeList(m_tails, m_budget, &m_tailsCharged);
            m_tailIndex.clear();
            m_current.swap(m_next);
            std::swap(m_currentCharged, m_nextCharged);
            std::swap(m_currentIndex, m_nextIndex);
            m_nextIndex.clear();
        }
        m_progress.finish();
    } catch (const Halt &stop) {
        releaseAll();
        return stop.status;
    } catch (const std::bad_alloc &) {
        releaseAll();
        return OutOfMemory;
    }
    // Terms rounded up can sum a little past 1 when every table counts.
    *P = std::min(1.0, m_P.value());
    releaseAll();
    return Finished;
}

int hwexact::setUp(int K, const int *table)
{
    if (K < 2 || !table)
        return BadInput;
    m_K = K;
    qint64 homozygotes = 0;
    std::vector<qint64> alleles(static_cast<size_t>(K), 0);
    for (int i = 0; i < K; ++i) {
        for (int j = i; j < K; ++j) {
            const qint64 n = table[i * K + j];
            if (n < 0)
                return BadInput;
            m_N += n;
            if (i == j) {
                homozygotes += n;
                alleles[static_cast<size_t>(i)] += 2 * n;
            } else {
                alleles[static_cast<size_t>(i)] += n;
                alleles[static_cast<size_t>(j)] += n;
            }
        }
    }
    if (2 * m_N > kMaxAlleleCopies)
        return OutOfMemory;

    // The log table is the first large allocation: a table too big for the
    // budget stops here, before anything else is taken.
    const qint64 tableSize = std::max<qint64>(2 * m_N, 2) + 1;  // ln 2 is always needed
    const qint64 tableBytes = tableSize * static_cast<qint64>(sizeof(double));
    if (!m_budget->reserve(tableBytes))
        return OutOfMemory;
    m_lnFactCharged = tableBytes;
    if (!fillLogFactorials(m_lnFact, tableSize - 1))
        return OutOfMemory;
    const double *lnFact = m_lnFact.data();
    m_ln2 = lnFact[2];

    m_alleleCounts.resize(static_cast<size_t>(K));
    for (int i = 0; i < K; ++i)
        m_alleleCounts[static_cast<size_t>(i)] = static_cast<int>(alleles[static_cast<size_t>(i)]);
    std::sort(m_alleleCounts.begin(), m_alleleCounts.end(), std::greater<int>());

    m_C = lnFact[2 * m_N] - lnFact[m_N];
    for (const int c : m_alleleCounts)
        m_C -= lnFact[c];
    double observed = m_ln2 * static_cast<double>(m_N - homozygotes);
    for (int i = 0; i < K; ++i)
        for (int j = i; j < K; ++j)
            observed -= lnFact[table[i * K + j]];
    // No table's score sums terms larger in all than ln(N!) + N ln 2.
    const double magnitude = lnFact[m_N] + m_ln2 * static_cast<double>(m_N);
    const double terms = static_cast<double>((K + 2) * (K + 2));
    m_threshold = observed + kThresholdTolerance + kRoundingPerTerm * terms * magnitude;

    m_child.assign(static_cast<size_t>(K), 0);
    m_prefixSum.assign(static_cast<size_t>(K) + 1, 0);
    return Finished;
}

void hwexact::mergeScores(hwnode &node)
{
    hwscore *scores = node.scores.data();
    const size_t count = node.scores.size();
    std::sort(scores, scores + count,
              [](const hwscore &a, const hwscore &b) { return a.score < b.score; });
    size_t out = 0;
    for (size_t i = 0; i < count; ++i) {
        if (out > 0) {
            hwscore &group = scores[out - 1];
            const double scale = std::max(std::fabs(group.score), std::fabs(scores[i].score));
            if (scores[i].score - group.score <= kMergeTolerance * scale) {
                group.weight += scores[i].weight * std::exp(scores[i].score - group.score);
                continue;
            }
        }
        scores[out++] = scores[i];
    }
    node.scores.truncate(out);
    node.mergedSize = out;
}

void hwexact::processNode(qint64 ordinal)
{
    hwnode &node = m_current[static_cast<size_t>(ordinal)];
    mergeScores(node);
    m_scoreCount = node.scores.size();
    countCalcWork(m_scoreCount + 1);
    if (m_scoreCount == 0)
        return;
    m_scores = node.scores.data();

    // Running weights of the ascending scores, each scaled to its own score
    // so that neither overflow nor underflow of the sum can occur.
    if (!m_prefixWeight.resize(m_scoreCount))
        halt(OutOfMemory);
    double running = 0.0;
    for (size_t i = 0; i < m_scoreCount; ++i) {
        if (i > 0)
            running *= std::exp(m_scores[i - 1].score - m_scores[i].score);
        running += m_scores[i].weight;
        m_prefixWeight[i] = running;
    }

    m_counts = m_currentIndex.key(ordinal);
    const int last = m_k - 1;
    m_lastCount = m_counts[last];
    for (int j = 0; j < last; ++j)
        m_prefixSum[static_cast<size_t>(j) + 1] = m_prefixSum[static_cast<size_t>(j)] + m_counts[j];
    const int others = m_prefixSum[static_cast<size_t>(last)];
    const double *lnFact = m_lnFact.data();

    // Copies of the last allele beyond what the others can pair with must
    // form homozygotes.
    const int hLow = std::max(0, (m_lastCount - others + 1) / 2);
    const double choices = static_cast<double>(m_lastCount / 2 - hLow + 1);
    for (int h = hLow; h <= m_lastCount / 2; ++h) {
        m_shareBase = static_cast<double>(h - hLow) / choices;
        m_shareWidth = 1.0 / choices;
        showProgress(m_shareBase);
        const int hets = m_lastCount - 2 * h;
        enumerateLevel(last - 1, hets, m_ln2 * hets - lnFact[h]);
    }
    node.scores.freeAll();
}

// Spreads the left heterozygous copies of the allele taken out over alleles
// j, j - 1, ..., 0; allele 0 takes whatever is left.
void hwexact::enumerateLevel(int j, int left, double score)
{
    const double *lnFact = m_lnFact.data();
    if (j == 0) {
        if (left > m_counts[0])
            return;
        m_child[0] = m_counts[0] - left;
        settle(m_child.data(), score - lnFact[left]);
        return;
    }
    // The alleles below j must be able to take the rest.
    const int lower = std::max(0, left - m_prefixSum[static_cast<size_t>(j)]);
    const int upper = std::min(m_counts[j], left);
    if (j == 1) {
        for (int x = lower; x <= upper; ++x) {
            m_child[1] = m_counts[1] - x;
            m_child[0] = m_counts[0] - (left - x);
            settle(m_child.data(), score - lnFact[x] - lnFact[left - x]);
        }
        return;
    }
    // A node can take minutes: while its choices are coarse enough to tell,
    // the share of them done moves the progress value.
    const double base = m_shareBase;
    const double width = m_shareWidth / static_cast<double>(upper - lower + 1);
    const bool coarse = width > 1e-6;
    for (int x = lower; x <= upper; ++x) {
        if (coarse) {
            m_shareBase = base + width * (x - lower);
            m_shareWidth = width;
            showProgress(m_shareBase);
        }
        m_child[static_cast<size_t>(j)] = m_counts[j] - x;
        enumerateLevel(j - 1, left - x, score - lnFact[x]);
    }
    m_shareBase = base;
    m_shareWidth = width * static_cast<double>(upper - lower + 1);
}

// The work of a node, roughly: (1 + its partial tables) times its choices.
double hwexact::nodeUnits(qint64 ordinal) const
{
    const hwnode &node = m_current[static_cast<size_t>(ordinal)];
    const double choices = node.choices > 0.0 ? node.choices : choiceCount(m_currentIndex.key(ordinal), m_k);
    return (1.0 + static_cast<double>(node.scores.size())) * choices;
}

// The ways to spread the c copies of a node's last allele over its k - 1
// partners, roughly: C(c + k - 2, k - 2), and no more than the product of
// the partners' room (good enough to weigh nodes against each other).
double hwexact::choiceCount(const int *counts, int k)
{
    const int c = counts[k - 1];
    double spread = 1.0;
    double room = 1.0 + c / 2;
    for (int i = 1; i <= k - 2; ++i) {
        spread *= static_cast<double>(c + i) / i;
        room *= 1.0 + std::min(counts[i], c);
    }
    return std::max(1.0, std::min(spread, room));
}

// Moves the value by the part of the current node newly done, against what
// is left of the stage and the next stage as foreseen: what its nodes hold
// so far, in proportion to the share of this stage done (and, when a stage
// with nodes follows it, as many times more again, as stages grow).
void hwexact::showProgress(double nodeShare)
{
    const double shown = nodeShare * m_nodeUnits;
    if (!(shown > m_nodeShown))
        return;
    const double work = shown - m_nodeShown;
    m_nodeShown = shown;
    const double done = std::max(1e-3, (m_unitsDone + shown) / m_stageUnits);
    double next = m_nextUnits / done;
    if (m_k - 2 >= 3)
        next *= 1.0 + std::min(kMaxGrowth, next / m_stageUnits);
    m_progress.advance(work, std::max(0.0, m_stageUnits - m_unitsDone - shown) + next);
}

void hwexact::pollInside(quint64 work)
{
    countCalcWork(work);
    m_work += work;
    if (m_work < kWorkPerPoll)
        return;
    m_work = 0;
    if (pollCalcEvents())
        halt(Stopped);
}

void hwexact::settle(const int *childCounts, double columnScore)
{
    pollInside(1);
    switch (m_k - 1) {
    case 1:
        settleFinal(childCounts[0], columnScore);
        break;
    case 2:
        settleTail(childCounts, columnScore);
        break;
    default:
        settleNode(childCounts, columnScore);
        break;
    }
}

// One allele left: its copies form homozygotes, a single completion.
void hwexact::settleFinal(int lastCount, double columnScore)
{
    const double completion = -m_lnFact[static_cast<size_t>(lastCount / 2)];
    const ptrdiff_t counted =
        lastAtOrBelow(m_scores, m_scoreCount, m_threshold - columnScore - completion);
    if (counted >= 0)
        m_P.add(m_prefixWeight[static_cast<size_t>(counted)]
                * std::exp(m_scores[counted].score + columnScore + completion - m_C));
}

void hwexact::settleTail(const int *childCounts, double columnScore)
{
    bool added = false;
    const qint64 ordinal = m_tailIndex.findOrAdd(childCounts, &added);
    if (ordinal < 0)
        halt(OutOfMemory);
    if (added) {
        if (!growList(m_tails, m_budget, &m_tailsCharged))
            halt(OutOfMemory);
        m_tails.emplace_back(m_budget);
        if (!m_tails.back().build(childCounts[0], childCounts[1], m_lnFact.data()))
            halt(OutOfMemory);
        // A tail's row is work too, and long rows may follow one another.
        pollInside(static_cast<quint64>(m_tails.back().size()));
    }
    const hwtail &tail = m_tails[static_cast<size_t>(ordinal)];
    const double limit = m_threshold - columnScore;
    // Partial tables whose every completion counts.
    const ptrdiff_t certain = lastAtOrBelow(m_scores, m_scoreCount, limit - tail.maxScore());
    if (certain >= 0)
        m_P.add(m_prefixWeight[static_cast<size_t>(certain)]
                * std::exp(m_scores[certain].score + columnScore + tail.logWeight() - m_C));
    // Past the last that some completion can count for, none does.
    const ptrdiff_t possible = lastAtOrBelow(m_scores, m_scoreCount, limit - tail.minScore());
    if (possible > certain)
        pollInside(static_cast<quint64>(possible - certain));
    for (ptrdiff_t i = certain + 1; i <= possible; ++i) {
        const double v = m_scores[i].score;
        const double sum = tail.tailSum(limit - v);
        if (sum > 0.0)
            m_P.add(m_scores[i].weight * sum
                    * std::exp(v + columnScore + tail.maxScore() - m_C));
    }
}

void hwexact::settleNode(const int *childCounts, double columnScore)
{
    // A look-up hashes and compares the node's counts, and in an index of
    // millions of nodes waits on memory. The weights of this function's
    // work (3/4 a unit per count looked up and per 2^16 nodes indexed, 12
    // units and 1/12 per pair of counts for a new node, 9/4 per partial
    // table carried) were fitted to the CPU time of tables of 3 to 28
    // alleles (bench_exactbudget): a settled choice, the unit, is cheap
    // beside them, and counted alone it let many-allele tables run 2 to
    // 20 times past their limit.
    const int width = m_k - 1;
    pollInside((static_cast<quint64>(width) + static_cast<quint64>(m_nextIndex.size() >> 16)) * 3 / 4);
    bool added = false;
    const qint64 ordinal = m_nextIndex.findOrAdd(childCounts, &added);
    if (ordinal < 0)
        halt(OutOfMemory);
    if (added) {
        if (!growList(m_next, m_budget, &m_nextCharged))
            halt(OutOfMemory);
        m_next.emplace_back(m_budget);
        hwnode &fresh = m_next.back();
        const double *lnFact = m_lnFact.data();
        for (int j = 0; j < width; ++j)
            fresh.remaining += childCounts[j];
        fresh.choices = choiceCount(childCounts, width);
        m_nextUnits += fresh.choices;
        fresh.logWeight = hwCompletionLogWeight(childCounts, width, lnFact);
        // The total weight also bounds the largest single completion.
        fresh.maxScore = std::min(hwMaxScoreBound(childCounts, width, lnFact), fresh.logWeight);
        fresh.minScore = hwMinScoreBound(childCounts, width, lnFact);
        pollInside(12 + static_cast<quint64>(width * width / 12));
    }
    hwnode &child = m_next[static_cast<size_t>(ordinal)];
    const double limit = m_threshold - columnScore;
    const ptrdiff_t certain = lastAtOrBelow(m_scores, m_scoreCount, limit - child.maxScore);
    if (certain >= 0)
        m_P.add(m_prefixWeight[static_cast<size_t>(certain)]
                * std::exp(m_scores[certain].score + columnScore + child.logWeight - m_C));
    const ptrdiff_t possible = lastAtOrBelow(m_scores, m_scoreCount, limit - child.minScore);
    if (possible > certain)
        pollInside(static_cast<quint64>(possible - certain) * 9 / 4);
    for (ptrdiff_t i = certain + 1; i <= possible; ++i) {
        if (!child.scores.push_back(hwscore{m_scores[i].score + columnScore, m_scores[i].weight}))
            halt(OutOfMemory);
    }
    if (possible > certain)
        m_nextUnits += child.choices * static_cast<double>(possible - certain);
    // Merge equal scores as they pile up, so a node holds about as many
    // entries as it has distinct scores.
    if (child.scores.size() >= std::max(kMinMergeSize, 2 * child.mergedSize)) {
        const size_t before = child.scores.size();
        mergeScores(child);
        m_nextUnits -= child.choices * static_cast<double>(before - child.scores.size());
    }
}
