#include "subsetsp.h"

#include <algorithm>
#include <functional>
#include <limits>
#include <new>

namespace {

// reach |= reach << shift, over the bits 0..size-1 (bits past size stay 0
// because no subset sum exceeds the total).
void orShifted(std::vector<uint64_t> &reach, int shift)
{
    const int words = int(reach.size());
    const int wordShift = shift / 64;
    const int bitShift = shift % 64;
    for (int w = words - 1; w >= wordShift; --w) {
        uint64_t moved = reach[size_t(w - wordShift)] << bitShift;
        if (bitShift != 0 && w - wordShift - 1 >= 0)
            moved |= reach[size_t(w - wordShift - 1)] >> (64 - bitShift);
        reach[size_t(w)] |= moved;
    }
}

std::vector<int> distinctTotals(int C, const int *cols)
{
    std::vector<int> totals(cols, cols + C);
    std::sort(totals.begin(), totals.end(), std::greater<int>());
    totals.erase(std::unique(totals.begin(), totals.end()), totals.end());
    return totals;
}

} // namespace

qint64 subsetsp::bytesNeeded(int C, const int *cols)
{
    qint64 sum = 0;
    for (int j = 0; j < C; ++j)
        sum += cols[j];
    const qint64 words = sum / 64 + 1;
    return qint64(distinctTotals(C, cols).size()) * words * qint64(sizeof(uint64_t));
}

qint64 subsetsp::prepare(int C, const int *cols)
{
    clear();
    qint64 sum = 0;
    for (int j = 0; j < C; ++j)
        sum += cols[j];
    m_sum = int(sum);
    const size_t words = size_t(sum / 64 + 1);
    try {
        for (int total : distinctTotals(C, cols)) {
            excluded set{total, std::vector<uint64_t>(words, 0)};
            set.bits[0] = 1;
            bool skipped = false;
            for (int j = 0; j < C; ++j) {
                if (!skipped && cols[j] == total) {
                    skipped = true;
                    continue;
                }
                orShifted(set.bits, cols[j]);
            }
            m_sets.push_back(std::move(set));
        }
    } catch (const std::bad_alloc &) {
        clear();
        return -1;
    }
    return qint64(m_sets.size()) * qint64(words) * qint64(sizeof(uint64_t));
}

void subsetsp::clear()
{
    m_sets.clear();
    m_sets.shrink_to_fit();
    m_sum = 0;
}

int subsetsp::lastSetAtOrBelow(const std::vector<uint64_t> &bits, int x)
{
    int w = x / 64;
    uint64_t word = bits[size_t(w)];
    const int bit = x % 64;
    if (bit != 63)
        word &= (uint64_t(1) << (bit + 1)) - 1;
    while (word == 0) {
        if (--w < 0)
            return -1;
        word = bits[size_t(w)];
    }
    return w * 64 + 63 - __builtin_clzll(word);
}

int subsetsp::firstSetAtOrAbove(const std::vector<uint64_t> &bits, int x, int limit)
{
    const int words = int(bits.size());
    int w = x / 64;
    uint64_t word = bits[size_t(w)] & (~uint64_t(0) << (x % 64));
    while (word == 0) {
        if (++w >= words || w * 64 > limit)
            return -1;
        word = bits[size_t(w)];
    }
    const int found = w * 64 + __builtin_ctzll(word);
    return found <= limit ? found : -1;
}

double subsetsp::shortest(int r) const
{
    double best = std::numeric_limits<double>::infinity();
    if (r < 0 || r > m_sum)
        return best;
    for (const excluded &set : m_sets) {
        const int s = set.total;
        // The column left out takes t = r - R, 0 <= t <= s; ln C(s, t) falls
        // toward both ends, so only the smallest and the largest t matter.
        const int below = lastSetAtOrBelow(set.bits, r);
        if (below >= 0 && r - below <= s)
            best = std::min(best, lnC(s, r - below));
        const int above = firstSetAtOrAbove(set.bits, std::max(0, r - s), r);
        if (above >= 0)
            best = std::min(best, lnC(s, r - above));
    }
    return best;
}
