#include "basef.h"

#include "calcpoll.h"
#include "logfactorial.h"
#include "path.h"

#include <QDebug>

#include <algorithm>
#include <cmath>
#include <new>

namespace {

constexpr qint64 kMiB = qint64(1) << 20;

// A node is started only while more than this much physical memory is
// available (the reading is taken at most every kMemoryCheckInterval:
// /proc/meminfo costs tens of microseconds and a stage may hold 10^5 nodes).
constexpr qint64 kLowMemoryMiB = 10;
constexpr auto kMemoryCheckInterval = std::chrono::milliseconds(100);

// A merge of this many elements polls for a stop once.
constexpr qint64 kMergePollStride = qint64(1) << 20;

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
            if (m_runStage) {
                for (const carriedRun &run : m_nodeRuns[size_t(i)])
                    nd.entryCount += run.end - run.begin;
            }
            smallest = std::min(smallest, nd.minNextKey);
            largest = std::max(largest, nd.maxNextKey);
        }

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
        m_runs.clear();
        m_recordRuns = !m_elementwise && k == 3;
        if (m_recordRuns)
            m_nodeRuns.assign(size_t(nextCount), {});
        for (int i = 0; i < curCount; ++i) {
            if (m_cur[i].entryCount != 0 || k == m_N) {
                const int s = processNode(k, i, smallest);
                if (s != 0)
                    return s + 9;
            }
            // Nothing reads this list again (unless runs refer to it); free
            // it now rather than when the buffer is reused.
            if (!m_recordRuns)
                freeList(m_cur[i].past);
        }
        if (m_runStage) {
            dropCarriedLists();
            m_runStage = false;
        }
        if (m_recordRuns) {
            const int kept = keepCarriedLists(curCount);
            if (kept != 0)
                return kept + 9;
            m_recordRuns = false;
            m_runStage = true;
        }
        if (m_subsetBytes > 0) {
            m_subsetSP->clear();
            m_budget.release(m_subsetBytes);
            m_subsetBytes = 0;
        }
        const int merged = mergeRuns(nextCount);
        if (merged != 0)
            return merged + 9;
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
    std::vector<carriedRun> *runs = m_runStage ? &m_nodeRuns[size_t(index)] : nullptr;
    auto link = [&](int key, qint64 &count) {
        return runs ? carriedLink(k, index, key - smallestNext) : processLink(k, index, key - smallestNext, count);
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
bool basef<T>::addCarriedRun(int nxt, int cur, qint64 begin, qint64 end, double shift, qint64 step)
{
    std::vector<carriedRun> &runs = m_nodeRuns[size_t(nxt)];
    if (runs.size() == runs.capacity()) {
        const qint64 bytes = qint64(std::max<size_t>(4, runs.capacity())) * qint64(sizeof(carriedRun));
        if (!m_budget.reserve(bytes))
            return false;
        m_keptBytes += bytes;
        runs.reserve(std::max<size_t>(4, 2 * runs.capacity()));
    }
    runs.push_back(carriedRun{cur, begin, end, shift, step, 0, 0});
    return true;
}

// After the k = 3 stage: its lists stay, with their cumulative sums, for
// the runs of the k = 2 stage to refer to.
template <typename T>
int basef<T>::keepCarriedLists(int curCount)
{
    m_kept.assign(size_t(curCount), {});
    m_keptSums.assign(size_t(curCount), {});
    m_keptRef.assign(size_t(curCount), 0.0);
    for (int i = 0; i < curCount; ++i)
        m_kept[size_t(i)].swap(m_cur[i].past);
    for (int i = 0; i < curCount; ++i) {
        const std::vector<T> &list = m_kept[size_t(i)];
        if (list.empty())
            continue;
        const qint64 bytes = (qint64(list.size()) + 1) * qint64(sizeof(long double));
        if (!m_budget.reserve(bytes))
            return 2;
        m_keptBytes += bytes;
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
void basef<T>::dropCarriedLists()
{
    for (std::vector<T> &list : m_kept)
        freeList(list);
    m_kept.clear();
    m_keptSums.clear();
    m_keptSums.shrink_to_fit();
    m_keptRef.clear();
    m_nodeRuns.clear();
    m_nodeRuns.shrink_to_fit();
    m_budget.release(m_keptBytes);
    m_keptBytes = 0;
}

// One arc of the k = 2 stage over a node whose list is a set of runs: the
// same prefixes as in the merged list (the test is monotone in the length,
// and equal lengths pass or fail together), summed per run.
template <typename T>
int basef<T>::carriedLink(int k, int cur, int nxt)
{
    const node &from = m_cur[cur];
    const node &to = m_next[nxt];
    const double a = lnC(m_cols[k - 1], from.key - to.key);
    const double base = a + to.total - m_logDenominator;
    const double longest = to.longest;
    const double observed = m_observed;
    long double p = m_p;
    for (carriedRun &run : m_nodeRuns[size_t(cur)]) {
        const T *e = m_kept[size_t(run.source)].data();
        const T *from = e + run.begin + run.counted;
        const T *passed = std::partition_point(from, e + run.end, [&](const T &x) {
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
bool basef<T>::beginRun(int nxt, qint64 extra)
{
    std::vector<T> &list = m_next[nxt].past;
    const qint64 size = qint64(list.size());
    const qint64 capacity = qint64(list.capacity());
    if (size + extra > capacity) {
        // Grow by half at least, so that many small runs do not copy the
        // list over and over.
        const qint64 wanted = std::max(size + extra, capacity + capacity / 2);
        if (!m_budget.reserve((wanted - capacity) * qint64(sizeof(T))))
            return false;
        try {
            list.reserve(size_t(wanted));
        } catch (const std::bad_alloc &) {
            m_budget.release((wanted - capacity) * qint64(sizeof(T)));
            return false;
        }
    }
    if (size > 0)
        m_runs.emplace_back(nxt, size);
    m_listElements += extra;
    m_peakElements = std::max(m_peakElements, m_listElements);
    return true;
}

// Brings every next node's runs into one ascending list (earlier runs first
// among equal lengths), joining equal lengths into one element.
template <typename T>
int basef<T>::mergeRuns(int nextCount)
{
    if (m_runs.empty())
        return 0;
    // Group the run starts by node, keeping their arrival order.
    std::vector<int> firstRun(size_t(nextCount) + 1, 0);
    for (const auto &run : m_runs)
        ++firstRun[size_t(run.first) + 1];
    for (int i = 0; i < nextCount; ++i)
        firstRun[size_t(i) + 1] += firstRun[size_t(i)];
    std::vector<qint64> starts(m_runs.size());
    {
        std::vector<int> fill(firstRun.begin(), firstRun.end() - 1);
        for (const auto &run : m_runs)
            starts[size_t(fill[size_t(run.first)]++)] = run.second;
    }
    m_runs.clear();
    m_runs.shrink_to_fit();

    std::vector<qint64> nodeStarts;
    for (int i = 0; i < nextCount; ++i) {
        const int extraRuns = firstRun[size_t(i) + 1] - firstRun[size_t(i)];
        if (extraRuns == 0)
            continue;
        nodeStarts.assign(1, 0);
        nodeStarts.insert(nodeStarts.end(), starts.begin() + firstRun[size_t(i)],
                          starts.begin() + firstRun[size_t(i) + 1]);
        const int s = mergeNode(m_next[i], nodeStarts.data(), int(nodeStarts.size()));
        if (s != 0)
            return s;
    }
    return 0;
}

template <typename T>
int basef<T>::mergeNode(node &nd, const qint64 *starts, int runCount)
{
    std::vector<T> &list = nd.past;
    const qint64 size = qint64(list.size());
    const qint64 bytes = size * qint64(sizeof(T));
    if (!m_budget.reserve(bytes))
        return 2;
    try {
        m_mergeBuffer.reserve(size_t(size));
    } catch (const std::bad_alloc &) {
        m_budget.release(bytes);
        return 2;
    }

    std::vector<qint64> bounds(starts, starts + runCount);
    bounds.push_back(size);
    std::vector<qint64> nextBounds;
    std::vector<T> *src = &list;
    std::vector<T> *dst = &m_mergeBuffer;
    const bool combine = m_combine;
    qint64 sincePoll = 0;
    // Pairwise passes, each halving the number of runs; the output never
    // outgrows the input, so neither buffer reallocates.
    while (bounds.size() > 2) {
        dst->clear();
        nextBounds.assign(1, 0);
        const size_t runs = bounds.size() - 1;
        for (size_t r = 0; r < runs; r += 2) {
            const T *a = src->data() + bounds[r];
            const T *aEnd = src->data() + bounds[r + 1];
            const T *b = aEnd;
            const T *bEnd = r + 1 < runs ? src->data() + bounds[r + 2] : aEnd;
            const size_t runStart = dst->size();
            auto put = [&](const T &e) {
                if (combine && dst->size() > runStart && sameLength(dst->back(), e))
                    dst->back().weight += e.weight;
                else
                    dst->push_back(e);
            };
            while (a != aEnd && b != bEnd) {
                if (lengthBefore(*b, *a))
                    put(*b++);
                else
                    put(*a++);
            }
            while (a != aEnd)
                put(*a++);
            while (b != bEnd)
                put(*b++);
            nextBounds.push_back(qint64(dst->size()));
            sincePoll += bounds[std::min(r + 2, runs)] - bounds[r];
            if (sincePoll >= kMergePollStride) {
                sincePoll = 0;
                if (pollCalcEvents())
                    return 1;  // the scratch buffer is freed with the lists
            }
        }
        bounds.swap(nextBounds);
        std::swap(src, dst);
    }
    m_listElements -= size - qint64(src->size());
    if (src != &list) {
        // The list takes over the scratch storage (counted above) and its
        // own storage is freed.
        const qint64 oldBytes = qint64(list.capacity()) * qint64(sizeof(T));
        list.swap(m_mergeBuffer);
        std::vector<T>().swap(m_mergeBuffer);
        m_budget.release(oldBytes);
    } else {
        std::vector<T>().swap(m_mergeBuffer);
        m_budget.release(bytes);
    }
    return 0;
}

template <typename T>
void basef<T>::freeList(std::vector<T> &list)
{
    m_listElements -= qint64(list.size());
    m_budget.release(qint64(list.capacity()) * qint64(sizeof(T)));
    std::vector<T>().swap(list);
}

template <typename T>
void basef<T>::freeAllLists()
{
    for (int i = 0; i <= m_capacity; ++i) {
        freeList(m_bufferA[size_t(i)].past);
        freeList(m_bufferB[size_t(i)].past);
    }
    // A merge stopped halfway leaves its scratch buffer (counted at the
    // size of its list).
    const qint64 scratch = qint64(m_mergeBuffer.capacity()) * qint64(sizeof(T));
    std::vector<T>().swap(m_mergeBuffer);
    m_budget.release(scratch);
    m_runs.clear();
    m_runs.shrink_to_fit();
    dropCarriedLists();
    m_runStage = false;
    m_recordRuns = false;
    m_budget.release(qint64(m_sums.capacity()) * qint64(sizeof(long double)));
    std::vector<long double>().swap(m_sums);
    m_sumsNode = -1;
    if (m_subsetBytes > 0) {
        m_subsetSP->clear();
        m_budget.release(m_subsetBytes);
        m_subsetBytes = 0;
    }
}

template class basef<path>;
template class basef<exactpath>;
