// The merges of the network: at the end of a stage the runs carried to each
// next node become its list.
#include "basef.h"

#include "calcactivity.h"
#include "calcpoll.h"

#include <QtAlgorithms>

#include <algorithm>
#include <limits>
#include <new>
#include <type_traits>

namespace {

// The approximate variant merges block by block through an array indexed by
// length; a block's weights (256 KiB) stay in the second-level cache.
constexpr qint64 kBlock = qint64(1) << 15;
constexpr qint64 kBlockBytes = kBlock * qint64(sizeof(double)) + kBlock / 64 * qint64(sizeof(quint64));
// The exact variant's merge sorts this many buckets at a time.
constexpr qint64 kBuckets = qint64(1) << 14;

} // namespace

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
            double merged = 0.0;
            for (const carriedRun &run : runs)
                merged += double(run.end - run.begin);
            noteWork(merged);
            calcActivity.step();
            // Between lists too: a stage of many small lists shows its
            // merges moving and stops at once.
            if (pollCalcEvents())
                return 1;
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
    } else if (const int s = mergeDense(out, runs); s >= 0) {
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
int basef<T>::mergeDense(std::vector<T> &out, const runList &runs)
{
    if constexpr (!std::is_same_v<T, path>) {
        Q_UNUSED(out);
        Q_UNUSED(runs);
        return -1;
    } else {
        if (!m_combine || !m_denseAllowed)
            return -1;
        qint64 low = std::numeric_limits<qint64>::max();
        for (const carriedRun &run : runs)
            low = std::min(low, qint64(m_cur[run.source].past[size_t(run.begin)].value) + run.step);
        if (m_block.empty()) {
            const qint64 bytes = kBlockBytes;
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
                    out.push_back(path{low + blockStart + v, weights[v]});
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

template <typename T>
void basef<T>::freeMergeBuffers()
{
    if (!m_block.empty()) {
        m_budget.release(kBlockBytes);
        std::vector<double>().swap(m_block);
        std::vector<quint64>().swap(m_blockBits);
    }
}

// Defined here, used by basef.cpp.
template int basef<path>::mergeStage(int, int);
template int basef<exactpath>::mergeStage(int, int);
template void basef<path>::freeMergeBuffers();
template void basef<exactpath>::freeMergeBuffers();
