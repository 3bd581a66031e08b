#include "bedcounts.h"

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
