#include "basef.h"

#include "calcactivity.h"
#include "calcpoll.h"
#include "expterm.h"
#include "logfactorial.h"

#include <QDebug>

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
        pValue = double(m_p + m_pMaybe);
    return status;
}

template <typename T>
double basef<T>::finalPathError() const
{
    return pathError(std::max(0, m_N - m_finalStage));
}

// Every weight summed was exp(rounded length + exact rest), short of the
// true one by at most the factor exp(finalPathError()).
template <typename T>
double basef<T>::upperBound() const
{
    return double((m_p + m_pMaybe) * std::exp((long double)finalPathError()));
}

// Each ln C is three table entries (each within an ulp or two of ln k!) and
// a length sums N of them: the difference of two lengths that are equal in
// exact arithmetic stays below (8 + 2N) ulps of the magnitude. Below
// 1e-10 at every grand total up to some thousands, so the tolerance keeps
// its meaning (and its value) there.
template <typename T>
double basef<T>::tieTolerance(double magnitude, int N)
{
    return std::max(1e-10, (8.0 + 2.0 * N) * std::numeric_limits<double>::epsilon() * magnitude);
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
            qCDebug(lcCalc) << "Error: column sum < row value";
            return -1;
        }
        n += m_cols[j];
        m += m_first[j];
    }
    if (n > m_capacity) {
        qCDebug(lcCalc) << "initNodes longpath error=" << 2;
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
        qCDebug(lcCalc) << "initNodes longpath error=" << code;
        return -1;
    }
    start.modeX = m_mode[m_N - 1];

    m_observed = 0.0;
    double magnitude = 0.0;
    for (int j = 0; j < m_N; ++j) {
        m_observed += lnC(m_cols[j], m_first[j]);
        magnitude += m_lf[size_t(m_cols[j])];
    }
    initPath();
    m_budget.reserve(qint64(start.past.capacity()) * qint64(sizeof(T)));
    m_listElements = qint64(start.past.size());
    m_peakElements = m_listElements;
    const double tolerance = tieTolerance(magnitude, m_N);
    m_observed += tolerance;
    // Early sums and the sure final sums use the observed length less the
    // largest error of a carried length (at most N - 2 rounded arcs), and a
    // little more for the rounding of the sums compared.
    const double error = pathError(std::max(0, m_N - 2));
    m_twoThresholds = error > 0.0;
    m_observedSure = m_twoThresholds ? m_observed - error - tolerance / 8 : m_observed;
    m_logDenominator = lnC(m_n, m_m);
    m_p = 0.0L;
    m_pMaybe = 0.0L;
    m_finalStage = std::min(m_N, 2);
    return 0;
}

template <typename T>
int basef<T>::runStages()
{
    int k = m_N;
    qint64 nk = m_n;
    bool runStage = false;  // the current lists are m_curRuns
    m_progress.start(m_N * kProgressPerColumn);
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
        if (!runStage && useTail(k, curCount)) {
            startStageProgress(k, curCount, true);
            return runTail(k, curCount);
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
                qCDebug(lcCalc) << "getModeDN longpath error=" << code;
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
        startStageProgress(k, curCount, false);
        qint64 nodesDone = 0;
        for (int i = 0; i < curCount; ++i) {
            if (m_cur[i].entryCount != 0 || k == m_N) {
                const double work = nodeWork(i);
                const int s = processNode(k, i, smallest);
                if (s != 0)
                    return s + 9;
                noteWork(work);
                calcActivity.setDone(++nodesDone);
            }
        }
        startMergeProgress();
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
    if (steps <= elements && !m_tail->stopped() && !calcStopRequested())
        return true;
    m_budget.release(m_tailBytes);
    m_tailBytes = 0;
    return false;
}

template <typename T>
void basef<T>::setTailCuts(const node &nd)
{
    m_tail->setCuts(m_observedSure - ownLength(nd.past.back()), m_observed - ownLength(nd.past.front()));
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
        if (listed < 0) {
            m_tail->steps(nd.key, std::numeric_limits<qint64>::max(), listed);
            if (m_tail->stopped()) {
                status = 10;
                break;
            }
        }
        const qint64 bytes = tailsum::listBytes(listed);
        if (!m_budget.reserve(bytes)) {
            status = 11;
            break;
        }
        const bool built = m_tail->build(nd.key, listed);
        if (!built || m_tail->stopped()) {
            status = built ? 10 : 11;
            m_tail->clear();
            m_budget.release(bytes);
            break;
        }
        const std::vector<double> &f = m_tail->lengths();
        const std::vector<long double> &sums = m_tail->sums();
        const long double every = m_tail->everyMass();
        const double everyShift = m_tail->everyReference() - m_logDenominator;
        const double listShift = m_tail->listReference() - m_logDenominator;
        // j: the listed completions that count surely with e, jm: those
        // that count at the observed length.
        size_t j = f.size();
        size_t jm = f.size();
        long double p = m_p;
        long double q = m_pMaybe;
        qint64 sincePoll = 0;
        for (const T &e : nd.past) {
            const double length = ownLength(e);
            const double room = m_observedSure - length;
            while (j > 0 && f[j - 1] > room)
                --j;
            if (m_twoThresholds) {
                const double roomMaybe = m_observed - length;
                while (jm > 0 && f[jm - 1] > roomMaybe)
                    --jm;
            } else {
                jm = j;
            }
            if (jm == 0 && every == 0.0L)
                break;
            if (jm > j)
                q += e.weight * expTerm(length + listShift) * (sums[jm] - sums[j]);
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
        m_pMaybe = q;
        m_tail->clear();
        m_budget.release(bytes);
        const double work = nodeWork(i);
        freeList(nd.past);
        noteWork(work);
        calcActivity.step();
    }
    m_budget.release(m_tailBytes);
    m_tailBytes = 0;
    m_finalStage = k;
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
    auto link = [&](int key, prefix &count) {
        return runs ? runLink(k, index, key - smallestNext) : processLink(k, index, key - smallestNext, count);
    };
    prefix count;
    int s = link(modeNext, count);
    if (s != 0)
        return s;
    const prefix saved = count;
    if (runs) {
        for (carriedRun &run : *runs) {
            run.saved = run.counted;
            run.savedMaybe = run.countedMaybe;
        }
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
        for (carriedRun &run : *runs) {
            run.counted = run.saved;
            run.countedMaybe = run.savedMaybe;
        }
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
    const double sure = m_observedSure;
    const double observed = m_observed;
    long double p = m_p;
    long double q = m_pMaybe;
    for (carriedRun &run : m_curRuns[size_t(cur)]) {
        const T *e = m_kept[size_t(run.source)].data();
        const T *passed = std::partition_point(e + run.begin + run.counted, e + run.end, [&](const T &x) {
            return carriedLength(x, run) + a + longest <= sure;
        });
        run.counted = std::max(run.counted, qint64(passed - e) - run.begin);
        qint64 counted = run.counted;
        if (m_twoThresholds) {
            const qint64 from = std::max(run.counted, run.countedMaybe);
            const T *maybe = std::partition_point(e + run.begin + from, e + run.end, [&](const T &x) {
                return carriedLength(x, run) + a + longest <= observed;
            });
            run.countedMaybe = std::max(from, qint64(maybe - e) - run.begin);
            counted = run.countedMaybe;
        }
        if (counted == 0)
            continue;
        const std::vector<long double> &sums = m_keptSums[size_t(run.source)];
        const long double factor =
            std::exp((long double)base + (long double)run.shift + (long double)m_keptRef[size_t(run.source)]);
        const long double start = sums[size_t(run.begin)];
        const long double surely = sums[size_t(run.begin + run.counted)];
        p += factor * (surely - start);
        if (counted > run.counted)
            q += factor * (sums[size_t(run.begin + counted)] - surely);
    }
    m_p = p;
    m_pMaybe = q;
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
    runs.push_back(carriedRun{cur, begin, end, shift, step, 0, 0, 0, 0});
    m_carried += double(end - begin);
    return true;
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
    calcActivity.total.store(qint64(std::count(read.begin(), read.end(), true)), std::memory_order_relaxed);
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
            sum += list[j].weight * expTerm(d);
            sums[j + 1] = sum;
        }
        m_keptRef[size_t(i)] = ref;
        noteWork(double(list.size()));
        calcActivity.step();
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
    freeMergeBuffers();
    if (m_subsetBytes > 0) {
        m_subsetSP->clear();
        m_budget.release(m_subsetBytes);
        m_subsetBytes = 0;
    }
}

template class basef<path>;
template class basef<exactpath>;
