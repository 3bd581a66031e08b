#include "bedcounts.h"

#include <cstring>

namespace {

// For each byte, its four codes' counts in 16-bit lanes (code c in lane c).
struct CodeTable
{
    quint64 lanes[256];

    CodeTable()
    {
        for (int byte = 0; byte < 256; ++byte) {
            quint64 v = 0;
            for (int k = 0; k < 4; ++k)
                v += quint64(1) << (16 * ((byte >> (2 * k)) & 3));
            lanes[byte] = v;
        }
    }
};

const CodeTable kTable;

// A lane holds at most 4 per byte: 16383 bytes fill it no further than 65532.
constexpr qsizetype kBytesPerFlush = 16383;

// Where the processor counts bits in one instruction, 32 codes at a time
// (about three times the table's speed): a code's low bit is set for codes
// 1 and 3, its high bit for 2 and 3. Code 0 is what is left.
__attribute__((target("popcnt"))) BedCounter::Codes countByBits(const uchar *bytes, const uchar *mask, qsizetype size)
{
    constexpr quint64 kLow = 0x5555555555555555ull;
    qint64 c1 = 0, c2 = 0, c3 = 0;
    const auto add = [&](quint64 word) {
        const quint64 low = word & kLow;
        const quint64 high = (word >> 1) & kLow;
        c1 += __builtin_popcountll(low & ~high);
        c2 += __builtin_popcountll(high & ~low);
        c3 += __builtin_popcountll(low & high);
    };
    qsizetype i = 0;
    for (; i + 8 <= size; i += 8) {
        quint64 word, m = ~quint64(0);
        std::memcpy(&word, bytes + i, 8);
        if (mask)
            std::memcpy(&m, mask + i, 8);
        add(word & m);
    }
    if (i < size) {
        quint64 word = 0, m = 0;
        std::memcpy(&word, bytes + i, std::size_t(size - i));
        if (mask)
            std::memcpy(&m, mask + i, std::size_t(size - i));
        else
            m = ~quint64(0);
        add(word & m);
    }
    return {4 * qint64(size) - c1 - c2 - c3, c1, c2, c3};
}

const bool kHasPopcnt = __builtin_cpu_supports("popcnt");

} // namespace

void BedCounter::setGroups(const std::vector<qint8> &groupOf, int groups)
{
    m_samples = int(groupOf.size());
    m_groups = groups;
    const qsizetype bytes = bytesPerVariant();
    m_masks.assign(std::size_t(groups), std::vector<uchar>(std::size_t(bytes), 0));
    m_outside.assign(std::size_t(groups), 0);
    m_whole.assign(std::size_t(groups), false);
    std::vector<qint64> members(std::size_t(groups), 0);
    for (int s = 0; s < m_samples; ++s) {
        const int g = groupOf[std::size_t(s)];
        if (g < 0 || g >= groups)
            continue;
        m_masks[std::size_t(g)][std::size_t(s / 4)] |= uchar(3u << (2 * (s % 4)));
        ++members[std::size_t(g)];
    }
    for (int g = 0; g < groups; ++g) {
        m_outside[std::size_t(g)] = 4 * qint64(bytes) - members[std::size_t(g)];
        m_whole[std::size_t(g)] = members[std::size_t(g)] == 4 * qint64(bytes);
    }
}

void BedCounter::count(const uchar *bytes, Codes *out) const
{
    const qsizetype size = bytesPerVariant();
    for (int g = 0; g < m_groups; ++g) {
        const uchar *mask = m_masks[std::size_t(g)].data();
        const bool whole = m_whole[std::size_t(g)];
        if (kHasPopcnt) {
            Codes codes = countByBits(bytes, whole ? nullptr : mask, size);
            codes[0] -= m_outside[std::size_t(g)];
            out[g] = codes;
            continue;
        }
        Codes codes = {0, 0, 0, 0};
        for (qsizetype from = 0; from < size; from += kBytesPerFlush) {
            const qsizetype to = qMin(size, from + kBytesPerFlush);
            quint64 sum = 0;
            if (whole) {
                for (qsizetype i = from; i < to; ++i)
                    sum += kTable.lanes[bytes[i]];
            } else {
                for (qsizetype i = from; i < to; ++i)
                    sum += kTable.lanes[bytes[i] & mask[i]];
            }
            for (int c = 0; c < 4; ++c)
                codes[std::size_t(c)] += qint64((sum >> (16 * c)) & 0xffff);
        }
        codes[0] -= m_outside[std::size_t(g)];
        out[g] = codes;
    }
}
