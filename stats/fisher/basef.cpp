#include "basef.h"

#include "calcpoll.h"
#include "logfactorial.h"

#include <QDebug>
#include <QtAlgorithms>

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <type_traits>

namespace {

constexpr qint64 kMiB = qint64(1) << 20;

// A node is started only while more than this much physical memory is
// available (the reading is taken at most every kMemoryCheckInterval:
// /proc/meminfo costs tens of microseconds and a stage may hold 10^5 nodes).
constexpr qint64 kLowMemoryMiB = 10;
constexpr auto kMemoryCheckInterval = std::chrono::milliseconds(100);

// Below e^-700 double underflows; long double keeps the term.
long double expTerm(double d)
{
    return d > -700.0 ? (long double)std::exp(d) : std::exp((long double)d);
}

// A merge of this many elements polls for a stop once.
constexpr qint64 kMergePollStride = qint64(1) << 20;

// The approximate variant merges block by block through an array indexed by
// length; a block's weights (256 KiB) stay in the second-level cache.
constexpr qint64 kBlock = qint64(1) << 15;
// The exact variant's merge sorts this many buckets at a time.
constexpr qint64 kBuckets = qint64(1) << 14;

} // namespace

template <typename T>
basef<T>::basef(int capacity, int &status)
{
    status = 3;
    if (capacity < 0)
        return;
    m_capacity = capacity;
    // The node buffers and the table grow with the grand total: refuse a
    // total they cannot fit before allocating any of them.
    const qint64 nodes = qint64(capacity) + 1;
    const qint64 fixedBytes = 2 * nodes * qint64(sizeof(node)) + (qint64(capacity) + 1) * qint64(sizeof(double));
    if (!m_budget.reserve(fixedBytes))
        return;
    try {
        if (!fillLogFactorials(m_lf, capacity))
            return;
        m_bufferA.reset(new node[size_t(nodes)]);
        m_bufferB.reset(new node[size_t(nodes)]);
        m_modeFinder = std::make_unique<longpath>(m_lf.data(), capacity);
        m_shortest = std::make_unique<shortpath>(m_lf.data());
        m_subsetSP = std::make_unique<subsetsp>(m_lf.data());
        m_tail = std::make_unique<tailsum>(m_lf.data());
    } catch (const std::bad_alloc &) {
        m_bufferA.reset();
        m_bufferB.reset();
        m_lf.clear();
        m_lf.shrink_to_fit();
        return;
    }
    status = 0;
}

template <typename T>
basef<T>::~basef() = default;

template <typename T>
int basef<T>::run(const int *x, const int *c, int N, double &pValue)
{
    if (!m_bufferA || !x || !c || N < 1 || N > kMaxColumns)
        return 1;
    m_N = N;
    std::copy(c, c + N, m_cols);
    std::copy(x, x + N, m_first);
    int status = 1;
    try {
        status = initNodes() == 0 ? runStages() : 1;
    } catch (const std::bad_alloc &) {
        status = 11;
    }
    freeAllLists();
    if (status == 0)
        pValue = double(m_p);
    return status;
}

template <typename T>
int basef<T>::initNodes()
{
    m_m = 0;
    m_n = 0;
    std::pair<int, int> pairs[kMaxColumns];
    for (int j = 0; j < m_N; ++j)
        pairs[j] = {m_cols[j], m_first[j]};
    std::stable_sort(pairs, pairs + m_N,
                     [](const std::pair<int, int> &a, const std::pair<int, int> &b) { return a.first > b.first; });
    qint64 n = 0;
    qint64 m = 0;
    for (int j = 0; j < m_N; ++j) {
        m_cols[j] = pairs[j].first;
        m_first[j] = pairs[j].second;
        // A negative count would index the table below zero.
        if (m_cols[j] < m_first[j] || m_first[j] < 0) {
            qDebug() << "Error: column sum < row value";
            return -1;
        }
        n += m_cols[j];
        m += m_first[j];
    }
    if (n > m_capacity) {
        qDebug() << "initNodes longpath error=" << 2;
        return -1;
    }
    m_n = int(n);
    m_m = int(m);

    m_cur = m_bufferA.get();
    m_next = m_bufferB.get();
    node &start = m_cur[0];
    freeList(start.past);
    start.key = m_m;
    start.entryCount = 1;

    const int code = m_modeFinder->getMode(m_N, m_m, m_cols, m_mode);
    if (code != 0) {
        qDebug() << "initNodes longpath error=" << code;
        return -1;
    }
    start.modeX = m_mode[m_N - 1];

    m_observed = 0.0;
    for (int j = 0; j < m_N; ++j)
        m_observed += lnC(m_cols[j], m_first[j]);
    initPath();
    m_budget.reserve(qint64(start.past.capacity()) * qint64(sizeof(T)));
    m_listElements = qint64(start.past.size());
    m_peakElements = m_listElements;
    m_observed += 1e-10;
    m_logDenominator = lnC(m_n, m_m);
    m_p = 0.0L;
    return 0;
}

template <typename T>
int basef<T>::runStages()
{
    int k = m_N;
    qint64 nk = m_n;
    bool runStage = false;  // the current lists are m_curRuns
    while (k >= 1) {
        const int ck = m_cols[k - 1];

        // a. The current stage and the key range of the next one.
        const int lo = int(std::max<qint64>(0, m_m - (m_n - nk)));
        const int hi = int(std::min<qint64>(m_m, nk));
        const int curCount = hi - lo + 1;
        int smallest = m_m;
        int largest = 0;
        for (int i = 0; i < curCount; ++i) {
            node &nd = m_cur[i];
            nd.minNextKey = std::max(0, nd.key - ck);
            nd.maxNextKey = int(std::min<qint64>(nd.key, nk - ck));
            nd.entryCount = qint64(nd.past.size());
            if (runStage) {
                for (const carriedRun &run : m_curRuns[size_t(i)])
                    nd.entryCount += run.end - run.begin;
            }
            smallest = std::min(smallest, nd.minNextKey);
            largest = std::max(largest, nd.maxNextKey);
        }

        // The last columns, summed from the other side when that is cheaper.
        if (!runStage && useTail(k, curCount))
            return runTail(k, curCount);

        // b. The next stage's nodes, empty.
        const int nextCount = largest - smallest + 1;
        for (int i = 0; i < nextCount; ++i) {
            node &nd = m_next[i];
            nd.key = smallest + i;
            freeList(nd.past);
            nd.entryCount = 0;
        }

        // c, d. Modes, longest paths and totals of the next nodes.
        if (k >= 2) {
            const int code = m_modeFinder->getMode(k - 1, smallest, m_cols, m_mode);
            if (code != 0) {
                qDebug() << "getModeDN longpath error=" << code;
                return 2;
            }
            const int rest = int(nk - ck);
            for (int i = 0; i < nextCount; ++i) {
                node &nd = m_next[i];
                nd.modeX = m_mode[k - 2];
                double longest = 0.0;
                for (int j = 0; j < k - 1; ++j)
                    longest += lnC(m_cols[j], m_mode[j]);
                nd.longest = longest;
                nd.total = lnC(rest, nd.key);
                if (i + 1 < nextCount)
                    longpath::stepUp(k - 1, m_cols, m_mode);
            }
        } else {
            m_next[0].longest = 0.0;
            m_next[0].total = 0.0;
        }

        // e. Shortest-path pruning, for 1 < k < N - 2 (the search over
        // fillings was too costly for more); every stage k > 1 on request.
        m_spActive = (1 < k && (m_pruneAllStages || k < m_N - 2)) ? 1 : 0;
        if (m_spActive) {
            const int code = prepareShortest(k, nk, nextCount);
            if (code != 0)
                return code;
        }

        // f. Every node that still has undecided partial tables.
        freeRuns(m_nextRuns, m_nextRunBytes);
        m_nextRuns.resize(size_t(nextCount));
        for (int i = 0; i < curCount; ++i) {
            if (m_cur[i].entryCount != 0 || k == m_N) {
                const int s = processNode(k, i, smallest);
                if (s != 0)
                    return s + 9;
            }
        }
        if (m_subsetBytes > 0) {
            m_subsetSP->clear();
            m_budget.release(m_subsetBytes);
            m_subsetBytes = 0;
        }

        // The carried runs become the next lists; those of the stage with
        // two columns left are only summed, so they stay runs.
        if (runStage) {
            freeKeptLists();
            freeRuns(m_curRuns, m_curRunBytes);
            runStage = false;
        }
        if (k == 3 && !m_elementwise) {
            const int s = keepListsForRuns(curCount);
            if (s != 0)
                return s + 9;
            runStage = true;
        } else {
            const int s = mergeStage(curCount, nextCount);
            if (s != 0)
                return s + 9;
        }
        if (m_stageHook) {
            for (int i = 0; i < nextCount; ++i) {
                if (!m_next[i].past.empty())
                    m_stageHook(k, m_next[i].key, m_next[i].past);
            }
        }

        // g. Next stage.
        std::swap(m_cur, m_next);
        calcProgressValue = m_N - k + 1;
        nk -= ck;
        --k;
    }
    return 0;
}

// The walk over the completions of a node costs about a pass over as many
// list elements as it takes steps; carrying the lists on costs a pass per
// arc for each stage left. The walks are counted first, and the tail is
// taken when all of them together take no more steps than there are
// elements in the stage's lists.
template <typename T>
bool basef<T>::useTail(int k, int curCount)
{
    if (m_elementwise || m_tailColumns == 0 || k > tailsum::kMaxColumns)
        return false;
    const bool forced = m_tailColumns > 0;
    if (forced ? k > m_tailColumns : k < 3)
        return false;
    qint64 elements = 0;
    for (int i = 0; i < curCount; ++i)
        elements += m_cur[i].entryCount;
    const qint64 bytes = tailsum::bytesNeeded(k, m_cols);
    if (!forced && bytes > elements * qint64(sizeof(T)))
        return false;
    if (!m_budget.reserve(bytes))
        return false;
    if (!m_tail->prepare(k, m_cols)) {
        m_budget.release(bytes);
        return false;
    }
    m_tailBytes = bytes;
    m_tailListed.assign(size_t(curCount), -1);
    if (forced)
        return true;
    qint64 steps = 0;
    for (int i = 0; i < curCount && steps <= elements; ++i) {
        const node &nd = m_cur[i];
        if (nd.entryCount == 0)
            continue;
        setTailCuts(nd);
        steps += m_tail->steps(nd.key, elements - steps, m_tailListed[size_t(i)]);
        if (m_tail->stopped() || pollCalcEvents())
            break;  // the stage itself sees the stop at once
    }
    if (steps <= elements && !m_tail->stopped() && !calcStopFlag)
        return true;
    m_budget.release(m_tailBytes);
    m_tailBytes = 0;
    return false;
}

template <typename T>
void basef<T>::setTailCuts(const node &nd)
{
    m_tail->setCuts(m_observed - ownLength(nd.past.back()), m_observed - ownLength(nd.past.front()));
}

// Every node of the stage with k columns left: its past list (ascending)
// against the completions of its key. A partial table of length L and a
// completion of length f make a table that counts when L + f <= observed:
// the completions that count with every past are one sum, and of the listed
// ones (sorted) those that count form a prefix that shrinks as L grows.
template <typename T>
int basef<T>::runTail(int k, int curCount)
{
    int status = 0;
    for (int i = 0; i < curCount && status == 0; ++i) {
        node &nd = m_cur[i];
        if (nd.entryCount == 0 && k != m_N)
            continue;
        if (pollCalcEvents()) {
            status = 10;
            break;
        }
        if (memoryLow()) {
            status = 11;
            break;
        }
        setTailCuts(nd);
        qint64 listed = m_tailListed[size_t(i)];
        if (listed < 0)
            m_tail->steps(nd.key, std::numeric_limits<qint64>::max(), listed);
        const qint64 bytes = tailsum::listBytes(listed);
        if (!m_budget.reserve(bytes)) {
            status = 11;
            break;
        }
        if (m_tail->stopped() || !m_tail->build(nd.key, listed) || m_tail->stopped()) {
            status = m_tail->stopped() ? 10 : 11;
            m_tail->clear();
            m_budget.release(bytes);
            break;
        }
        const std::vector<double> &f = m_tail->lengths();
        const std::vector<long double> &sums = m_tail->sums();
        const long double every = m_tail->everyMass();
        const double everyShift = m_tail->everyReference() - m_logDenominator;
        const double listShift = m_tail->listReference() - m_logDenominator;
        size_t j = f.size();
        long double p = m_p;
        qint64 sincePoll = 0;
        for (const T &e : nd.past) {
            const double length = ownLength(e);
            const double room = m_observed - length;
            while (j > 0 && f[j - 1] > room)
                --j;
            if (j == 0 && every == 0.0L)
                break;
            long double term = 0.0L;
            if (every != 0.0L)
                term += expTerm(length + everyShift) * every;
            if (j > 0)
                term += expTerm(length + listShift) * sums[j];
            p += e.weight * term;
            if (++sincePoll >= kMergePollStride) {
                sincePoll = 0;
                if (pollCalcEvents()) {
                    status = 10;
                    break;
                }
            }
        }
        m_p = p;
        m_tail->clear();
        m_budget.release(bytes);
        freeList(nd.past);
    }
    m_budget.release(m_tailBytes);
    m_tailBytes = 0;
    if (status == 0)
        calcProgressValue = m_N;
    return status;
}

template <typename T>
int basef<T>::prepareShortest(int k, qint64 nk, int nextCount)
{
    const int rest = int(nk - m_cols[k - 1]);
    if (m_faithfulSP) {
        for (int i = 0; i < nextCount; ++i) {
            node &nd = m_next[i];
            const int rows[2] = {nd.key, rest - nd.key};
            nd.shortest = m_shortest->getSP(2, rows, k - 1, m_cols);
        }
        return 0;
    }
    const qint64 bytes = subsetsp::bytesNeeded(k - 1, m_cols);
    if (!m_budget.reserve(bytes))
        return 11;
    if (m_subsetSP->prepare(k - 1, m_cols) < 0) {
        m_budget.release(bytes);
        return 11;
    }
    m_subsetBytes = bytes;
    for (int i = 0; i < nextCount; ++i)
        m_next[i].shortest = m_subsetSP->shortest(m_next[i].key);
    return 0;
}

template <typename T>
int basef<T>::processNode(int k, int index, int smallestNext)
{
    if (pollCalcEvents())
        return 1;
    if (memoryLow())
        return 2;
    m_sumsNode = -1;
    const node &nd = m_cur[index];
    const int modeNext = nd.key - nd.modeX;
    runList *runs = index < int(m_curRuns.size()) && !m_curRuns[size_t(index)].empty() ? &m_curRuns[size_t(index)]
                                                                                        : nullptr;
    auto link = [&](int key, qint64 &count) {
        return runs ? runLink(k, index, key - smallestNext) : processLink(k, index, key - smallestNext, count);
    };
    qint64 count = 0;
    int s = link(modeNext, count);
    if (s != 0)
        return s;
    const qint64 saved = count;
    if (runs) {
        for (carriedRun &run : *runs)
            run.saved = run.counted;
    }
    for (int key = modeNext + 1; key <= nd.maxNextKey; ++key) {
        if (pollCalcEvents())
            return 1;
        s = link(key, count);
        if (s != 0)
            return s;
    }
    count = saved;
    if (runs) {
        for (carriedRun &run : *runs)
            run.counted = run.saved;
    }
    for (int key = modeNext - 1; key >= nd.minNextKey; --key) {
        if (pollCalcEvents())
            return 1;
        s = link(key, count);
        if (s != 0)
            return s;
    }
    return 0;
}

// One arc of the stage with two columns left, over a node whose list is a
// set of runs: the same prefixes as in the merged list (the test is
// monotone in the length, and equal lengths pass or fail together), summed
// per run from the cumulative sums of the lists the runs point into.
template <typename T>
int basef<T>::runLink(int k, int cur, int nxt)
{
    const node &source = m_cur[cur];
    const node &to = m_next[nxt];
    const double a = lnC(m_cols[k - 1], source.key - to.key);
    const double base = a + to.total - m_logDenominator;
    const double longest = to.longest;
    const double observed = m_observed;
    long double p = m_p;
    for (carriedRun &run : m_curRuns[size_t(cur)]) {
        const T *e = m_kept[size_t(run.source)].data();
        const T *passed = std::partition_point(e + run.begin + run.counted, e + run.end, [&](const T &x) {
            return carriedLength(x, run) + a + longest <= observed;
        });
        run.counted = std::max(run.counted, qint64(passed - e) - run.begin);
        if (run.counted == 0)
            continue;
        const std::vector<long double> &sums = m_keptSums[size_t(run.source)];
        const long double mass = sums[size_t(run.begin + run.counted)] - sums[size_t(run.begin)];
        p += std::exp((long double)base + (long double)run.shift + (long double)m_keptRef[size_t(run.source)]) * mass;
    }
    m_p = p;
    return 0;
}

template <typename T>
bool basef<T>::memoryLow()
{
    const auto now = std::chrono::steady_clock::now();
    if (now < m_nextMemoryCheck)
        return false;
    m_nextMemoryCheck = now + kMemoryCheckInterval;
    const qint64 available = MemoryBudget::availablePhysicalMemory();
    if (available < 0)
        return false;  // no information: the budget still holds
    const qint64 mib = available / kMiB;
    return mib >= 1 && mib < kLowMemoryMiB;
}

template <typename T>
bool basef<T>::carry(int nxt, int cur, qint64 begin, qint64 end, double shift, qint64 step)
{
    runList &runs = m_nextRuns[size_t(nxt)];
    if (runs.size() == runs.capacity()) {
        const size_t grown = std::max<size_t>(4, 2 * runs.capacity());
        const qint64 bytes = qint64(grown - runs.capacity()) * qint64(sizeof(carriedRun));
        if (!m_budget.reserve(bytes))
            return false;
        m_nextRunBytes += bytes;
        runs.reserve(grown);
    }
    runs.push_back(carriedRun{cur, begin, end, shift, step, 0, 0});
    return true;
}

// Merges each next node's runs into its list, and frees every current list
// after the last next node that reads it.
template <typename T>
int basef<T>::mergeStage(int curCount, int nextCount)
{
    std::vector<int> lastReader(static_cast<size_t>(curCount), -1);
    for (int j = 0; j < nextCount; ++j) {
        for (const carriedRun &run : m_nextRuns[size_t(j)])
            lastReader[size_t(run.source)] = j;
    }
    std::vector<std::vector<int>> freedAfter(static_cast<size_t>(nextCount));
    for (int i = 0; i < curCount; ++i) {
        if (lastReader[size_t(i)] < 0)
            freeList(m_cur[i].past);
        else
            freedAfter[size_t(lastReader[size_t(i)])].push_back(i);
    }
    for (int j = 0; j < nextCount; ++j) {
        const runList &runs = m_nextRuns[size_t(j)];
        if (!runs.empty()) {
            const int s = mergeInto(m_next[j].past, runs);
            if (s != 0)
                return s;
        }
        for (int i : freedAfter[size_t(j)])
            freeList(m_cur[i].past);
    }
    freeRuns(m_nextRuns, m_nextRunBytes);
    return 0;
}

// One pass over the runs (each ascending), smallest length first and, among
// equal lengths, the earlier run first; lengths that sameLength() joins
// become one element.
template <typename T>
int basef<T>::mergeInto(std::vector<T> &out, const runList &runs)
{
    qint64 total = 0;
    for (const carriedRun &run : runs)
        total += run.end - run.begin;
    // Joining may shrink the list many times over: start modestly, grow by
    // doubling, and give back a large surplus at the end.
    constexpr qint64 kFirstCapacity = qint64(1) << 20;
    if (!reserveList(out, runs.size() == 1 ? total : std::min(total, kFirstCapacity)))
        return 2;
    const bool combine = m_combine;
    qint64 sincePoll = 0;
    auto put = [&](const T &e) -> bool {
        if (combine && !out.empty() && sameLength(out.back(), e)) {
            out.back().weight += e.weight;
            return true;
        }
        if (out.size() == out.capacity() && !reserveList(out, 2 * qint64(out.capacity())))
            return false;
        out.push_back(e);
        return true;
    };

    if (runs.size() == 1) {
        const carriedRun &run = runs.front();
        const T *e = m_cur[run.source].past.data();
        for (qint64 i = run.begin; i < run.end; ++i)
            out.push_back(carriedElement(e[i], run));
    } else if (const int s = mergeDense(out, runs, total); s >= 0) {
        if (s != 0)
            return s;
    } else if (const int b = mergeBuckets(runs, total, put); b >= 0) {
        if (b != 0)
            return b;
    } else {
        // A tree of losers over the runs' heads: one comparison per level
        // for each element.
        const int K = int(runs.size());
        int leaves = 1;
        while (leaves < K)
            leaves <<= 1;
        std::vector<T> head(runs.size());
        std::vector<qint64> next(runs.size());
        for (int r = 0; r < K; ++r) {
            const carriedRun &run = runs[size_t(r)];
            head[size_t(r)] = carriedElement(m_cur[run.source].past[size_t(run.begin)], run);
            next[size_t(r)] = run.begin + 1;
        }
        std::vector<char> done(static_cast<size_t>(leaves), 0);
        for (int r = K; r < leaves; ++r)
            done[size_t(r)] = 1;
        auto beats = [&](int a, int b) {
            if (done[size_t(a)])
                return false;
            if (done[size_t(b)])
                return true;
            if (lengthBefore(head[size_t(a)], head[size_t(b)]))
                return true;
            if (lengthBefore(head[size_t(b)], head[size_t(a)]))
                return false;
            return a < b;
        };
        std::vector<int> loser(static_cast<size_t>(leaves), 0);
        std::vector<int> winner(2 * size_t(leaves));
        for (int r = 0; r < leaves; ++r)
            winner[size_t(leaves + r)] = r;
        for (int n = leaves - 1; n >= 1; --n) {
            const int a = winner[2 * size_t(n)];
            const int b = winner[2 * size_t(n) + 1];
            winner[size_t(n)] = beats(a, b) ? a : b;
            loser[size_t(n)] = beats(a, b) ? b : a;
        }
        int top = winner[1];
        while (!done[size_t(top)]) {
            if (!put(head[size_t(top)]))
                return 2;
            const carriedRun &run = runs[size_t(top)];
            qint64 &at = next[size_t(top)];
            if (at < run.end)
                head[size_t(top)] = carriedElement(m_cur[run.source].past[size_t(at++)], run);
            else
                done[size_t(top)] = 1;
            for (int n = (leaves + top) >> 1; n >= 1; n >>= 1) {
                if (beats(loser[size_t(n)], top))
                    std::swap(loser[size_t(n)], top);
            }
            if (++sincePoll >= kMergePollStride) {
                sincePoll = 0;
                if (pollCalcEvents())
                    return 1;
            }
        }
    }
    if (out.capacity() > out.size() + out.size() / 4) {
        const qint64 before = qint64(out.capacity());
        out.shrink_to_fit();
        m_budget.release((before - qint64(out.capacity())) * qint64(sizeof(T)));
    }
    m_listElements += qint64(out.size());
    m_peakElements = std::max(m_peakElements, m_listElements);
    return 0;
}

// The exact variant's lengths are doubles: each is given the bucket
// floor((length - lowest) * scale), about one per element, and the runs are
// distributed, one block of buckets at a time, by a counting sort; each
// bucket (a few elements) is then sorted stably. Buckets ascend with the
// length and the runs are distributed in order, so the elements come out in
// exactly the order of the tree of losers: ascending, the earlier run first
// among equal lengths. -1 when this does not apply.
template <typename T>
template <typename Put>
int basef<T>::mergeBuckets(const runList &runs, qint64 total, Put &put)
{
    if constexpr (!std::is_same_v<T, exactpath>) {
        Q_UNUSED(runs);
        Q_UNUSED(total);
        Q_UNUSED(put);
        return -1;
    } else {
        if (!m_denseAllowed)
            return -1;
        auto head = [&](size_t r, qint64 i) { return carriedElement(m_cur[runs[r].source].past[size_t(i)], runs[r]).value; };
        double low = std::numeric_limits<double>::max();
        double high = std::numeric_limits<double>::lowest();
        for (size_t r = 0; r < runs.size(); ++r) {
            low = std::min(low, head(r, runs[r].begin));
            high = std::max(high, head(r, runs[r].end - 1));
        }
        const qint64 lastBucket = std::min<qint64>(total, qint64(1) << 30);
        const double scale = high > low ? double(lastBucket) / (high - low) : 0.0;
        auto bucketOf = [&](double v) { return std::min(lastBucket, qint64((v - low) * scale)); };

        const qint64 bytes = (kBuckets + 1) * qint64(sizeof(qint64));
        if (!m_budget.reserve(bytes))
            return 2;
        std::vector<qint64> start;
        std::vector<qint64> at(runs.size());
        std::vector<qint64> stop(runs.size());
        try {
            start.assign(size_t(kBuckets) + 1, 0);
        } catch (const std::bad_alloc &) {
            m_budget.release(bytes);
            return 2;
        }
        for (size_t r = 0; r < runs.size(); ++r)
            at[r] = runs[r].begin;
        qint64 scratchBytes = 0;
        int status = 0;
        qint64 sincePoll = 0;
        for (;;) {
            qint64 first = std::numeric_limits<qint64>::max();
            for (size_t r = 0; r < runs.size(); ++r) {
                if (at[r] < runs[r].end)
                    first = std::min(first, bucketOf(head(r, at[r])));
            }
            if (first == std::numeric_limits<qint64>::max())
                break;
            const qint64 blockStart = first - first % kBuckets;
            // Count per bucket, then place in run order.
            std::fill(start.begin(), start.end(), 0);
            qint64 inBlock = 0;
            for (size_t r = 0; r < runs.size(); ++r) {
                qint64 i = at[r];
                for (; i < runs[r].end; ++i) {
                    const qint64 b = bucketOf(head(r, i)) - blockStart;
                    if (b >= kBuckets)
                        break;
                    ++start[size_t(b) + 1];
                }
                stop[r] = i;
                inBlock += i - at[r];
            }
            for (qint64 b = 0; b < kBuckets; ++b)
                start[size_t(b) + 1] += start[size_t(b)];
            if (qint64(m_scratch.size()) < inBlock) {
                const qint64 more = (inBlock - qint64(m_scratch.size())) * qint64(sizeof(T));
                if (!m_budget.reserve(more)) {
                    status = 2;
                    break;
                }
                scratchBytes += more;
                m_scratch.resize(size_t(inBlock));
            }
            for (size_t r = 0; r < runs.size(); ++r) {
                const T *e = m_cur[runs[r].source].past.data();
                for (qint64 i = at[r]; i < stop[r]; ++i) {
                    const T moved = carriedElement(e[i], runs[r]);
                    m_scratch[size_t(start[size_t(bucketOf(moved.value) - blockStart)]++)] = moved;
                }
                at[r] = stop[r];
            }
            // start[b] is now the end of bucket b.
            qint64 from = 0;
            for (qint64 b = 0; b < kBuckets && status == 0; ++b) {
                const qint64 to = start[size_t(b)];
                T *bucket = m_scratch.data() + from;
                const qint64 size = to - from;
                if (size > 1) {
                    auto before = [](const T &a, const T &c) { return lengthBefore(a, c); };
                    if (size <= 16) {
                        for (qint64 i = 1; i < size; ++i) {
                            const T moving = bucket[i];
                            qint64 j = i;
                            for (; j > 0 && before(moving, bucket[j - 1]); --j)
                                bucket[j] = bucket[j - 1];
                            bucket[j] = moving;
                        }
                    } else {
                        std::stable_sort(bucket, bucket + size, before);
                    }
                }
                for (qint64 i = 0; i < size; ++i) {
                    if (!put(bucket[i])) {
                        status = 2;
                        break;
                    }
                }
                from = to;
            }
            if (status != 0)
                break;
            sincePoll += inBlock;
            if (sincePoll >= kMergePollStride) {
                sincePoll = 0;
                if (pollCalcEvents()) {
                    status = 1;
                    break;
                }
            }
        }
        std::vector<T>().swap(m_scratch);
        m_budget.release(bytes + scratchBytes);
        return status;
    }
}

// The approximate variant's lengths are integers: the runs are added, one
// block of lengths at a time, into an array indexed by length (in arrival
// order, as the cursor insertion would), and each block is read out in
// ascending order. The runs ascend, so each is read once, front to back.
// -1 when this does not apply.
template <typename T>
int basef<T>::mergeDense(std::vector<T> &out, const runList &runs, qint64 total)
{
    if constexpr (!std::is_same_v<T, path>) {
        Q_UNUSED(out);
        Q_UNUSED(runs);
        Q_UNUSED(total);
        return -1;
    } else {
        if (!m_combine || !m_denseAllowed)
            return -1;
        Q_UNUSED(total);
        qint64 low = std::numeric_limits<qint64>::max();
        for (const carriedRun &run : runs)
            low = std::min(low, qint64(m_cur[run.source].past[size_t(run.begin)].value) + run.step);
        if (m_block.empty()) {
            const qint64 bytes = kBlock * qint64(sizeof(double)) + kBlock / 64 * qint64(sizeof(quint64));
            if (!m_budget.reserve(bytes))
                return 2;
            try {
                m_block.assign(size_t(kBlock), 0.0);
                m_blockBits.assign(size_t(kBlock / 64), 0);
            } catch (const std::bad_alloc &) {
                m_block.clear();
                m_budget.release(bytes);
                return 2;
            }
        }
        double *weights = m_block.data();
        quint64 *bits = m_blockBits.data();
        std::vector<qint64> at(runs.size());
        for (size_t r = 0; r < runs.size(); ++r)
            at[r] = runs[r].begin;
        qint64 sincePoll = 0;
        for (;;) {
            // The block of the smallest length not yet taken.
            qint64 next = std::numeric_limits<qint64>::max();
            for (size_t r = 0; r < runs.size(); ++r) {
                if (at[r] < runs[r].end)
                    next = std::min(next, m_cur[runs[r].source].past[size_t(at[r])].value + runs[r].step - low);
            }
            if (next == std::numeric_limits<qint64>::max())
                break;
            const qint64 blockStart = next & ~(kBlock - 1);
            for (size_t r = 0; r < runs.size(); ++r) {
                const carriedRun &run = runs[r];
                const path *e = m_cur[run.source].past.data();
                const qint64 offset = run.step - low - blockStart;
                qint64 i = at[r];
                for (; i < run.end; ++i) {
                    const qint64 v = e[i].value + offset;
                    if (v >= kBlock)
                        break;
                    weights[v] += e[i].weight;
                    bits[v >> 6] |= quint64(1) << (v & 63);
                }
                sincePoll += i - at[r];
                at[r] = i;
            }
            for (qint64 w = 0; w < kBlock / 64; ++w) {
                quint64 word = bits[w];
                if (word == 0)
                    continue;
                bits[w] = 0;
                while (word != 0) {
                    const qint64 v = w * 64 + qCountTrailingZeroBits(word);
                    word &= word - 1;
                    if (out.size() == out.capacity() && !reserveList(out, 2 * qint64(out.capacity()))) {
                        std::fill(weights, weights + kBlock, 0.0);
                        std::fill(bits, bits + kBlock / 64, 0);
                        return 2;
                    }
                    out.push_back(path{qint32(low + blockStart + v), weights[v]});
                    weights[v] = 0.0;
                }
            }
            if (sincePoll >= kMergePollStride) {
                sincePoll = 0;
                if (pollCalcEvents())
                    return 1;
            }
        }
        return 0;
    }
}

// After the stage with three columns left: its lists stay, with their
// cumulative sums, for the runs of the next stage to point into.
template <typename T>
int basef<T>::keepListsForRuns(int curCount)
{
    m_curRuns.swap(m_nextRuns);
    std::swap(m_curRunBytes, m_nextRunBytes);
    m_kept.assign(size_t(curCount), {});
    m_keptSums.assign(size_t(curCount), {});
    m_keptRef.assign(size_t(curCount), 0.0);
    std::vector<bool> read(size_t(curCount), false);
    for (const runList &runs : m_curRuns) {
        for (const carriedRun &run : runs)
            read[size_t(run.source)] = true;
    }
    for (int i = 0; i < curCount; ++i) {
        if (!read[size_t(i)]) {
            freeList(m_cur[i].past);
            continue;
        }
        std::vector<T> &list = m_kept[size_t(i)];
        list.swap(m_cur[i].past);
        const qint64 bytes = (qint64(list.size()) + 1) * qint64(sizeof(long double));
        if (!m_budget.reserve(bytes))
            return 2;
        m_keptSumBytes += bytes;
        std::vector<long double> &sums = m_keptSums[size_t(i)];
        sums.resize(list.size() + 1);
        const double ref = ownLength(list.back());
        long double sum = 0.0L;
        sums[0] = 0.0L;
        for (size_t j = 0; j < list.size(); ++j) {
            const double d = ownLength(list[j]) - ref;
            sum += list[j].weight * (d > -700.0 ? (long double)std::exp(d) : std::exp((long double)d));
            sums[j + 1] = sum;
        }
        m_keptRef[size_t(i)] = ref;
        if (pollCalcEvents())
            return 1;
    }
    return 0;
}

template <typename T>
bool basef<T>::reserveList(std::vector<T> &list, qint64 capacity)
{
    const qint64 before = qint64(list.capacity());
    if (capacity <= before)
        return true;
    if (!m_budget.reserve((capacity - before) * qint64(sizeof(T))))
        return false;
    try {
        list.reserve(size_t(capacity));
    } catch (const std::bad_alloc &) {
        m_budget.release((capacity - before) * qint64(sizeof(T)));
        return false;
    }
    return true;
}

template <typename T>
bool basef<T>::growSums(qint64 size)
{
    const qint64 capacity = qint64(m_sums.capacity());
    if (size > capacity) {
        const qint64 wanted = std::max(size, capacity + capacity / 2);
        if (!m_budget.reserve((wanted - capacity) * qint64(sizeof(long double))))
            return false;
        m_sums.reserve(size_t(wanted));
    }
    if (qint64(m_sums.size()) < size)
        m_sums.resize(size_t(size));
    return true;
}

template <typename T>
void basef<T>::freeList(std::vector<T> &list)
{
    m_listElements -= qint64(list.size());
    m_budget.release(qint64(list.capacity()) * qint64(sizeof(T)));
    std::vector<T>().swap(list);
}

template <typename T>
void basef<T>::freeRuns(std::vector<runList> &runs, qint64 &bytes)
{
    std::vector<runList>().swap(runs);
    m_budget.release(bytes);
    bytes = 0;
}

template <typename T>
void basef<T>::freeKeptLists()
{
    for (std::vector<T> &list : m_kept)
        freeList(list);
    m_kept.clear();
    std::vector<std::vector<long double>>().swap(m_keptSums);
    m_keptRef.clear();
    m_budget.release(m_keptSumBytes);
    m_keptSumBytes = 0;
}

template <typename T>
void basef<T>::freeAllLists()
{
    for (int i = 0; i <= m_capacity; ++i) {
        freeList(m_bufferA[size_t(i)].past);
        freeList(m_bufferB[size_t(i)].past);
    }
    freeKeptLists();
    freeRuns(m_nextRuns, m_nextRunBytes);
    freeRuns(m_curRuns, m_curRunBytes);
    m_budget.release(qint64(m_sums.capacity()) * qint64(sizeof(long double)));
    std::vector<long double>().swap(m_sums);
    m_sumsNode = -1;
    if (!m_block.empty()) {
        m_budget.release(kBlock * qint64(sizeof(double)) + kBlock / 64 * qint64(sizeof(quint64)));
        std::vector<double>().swap(m_block);
        std::vector<quint64>().swap(m_blockBits);
    }
    if (m_subsetBytes > 0) {
        m_subsetSP->clear();
        m_budget.release(m_subsetBytes);
        m_subsetBytes = 0;
    }
}

template class basef<path>;
template class basef<exactpath>;
