#include "variantcodes.h"

#include <algorithm>
#include <cstring>

namespace {

inline const char *fieldEnd(const char *p, const char *end)
{
    const void *tab = std::memchr(p, '\t', std::size_t(end - p));
    return tab ? static_cast<const char *>(tab) : end;
}

inline bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// One GT value [p, e), checked before: its code. Three or more alleles, or
// any allele missing, make a missing call (never haploid), as in the counts
// of a test.
quint8 genotypeCode(const char *p, const char *e)
{
    if (p < e && (*p == '/' || *p == '|'))
        ++p;
    int alleles[2] = {-1, -1};
    int ploidy = 0;
    bool missing = false;
    bool phased = false;
    while (p < e) {
        int value = -1;
        if (*p == '.') {
            missing = true;
            ++p;
        } else {
            value = 0;
            // Only zero or not matters; the size was checked.
            for (; p < e && isDigit(*p); ++p)
                value = value != 0 || *p != '0' ? 1 : 0;
        }
        if (ploidy < 2)
            alleles[ploidy] = value;
        ++ploidy;
        if (p < e) {
            phased = phased || *p == '|';
            ++p;
        }
    }
    if (missing || ploidy > 2)
        return callcode::kMissing;
    if (ploidy == 1)
        return callcode::haploid(alleles[0]);
    return callcode::diploid(alleles[0], alleles[1], phased);
}

} // namespace

void VariantCodes::tallyFlags()
{
    missing = haploid = diploid = phased = 0;
    for (const quint8 code : calls) {
        if (callcode::missing(code)) {
            ++missing;
        } else if (code & callcode::kHaploid) {
            ++haploid;
        } else {
            ++diploid;
            phased += (code & callcode::kPhased) ? 1 : 0;
        }
    }
}

QString VariantCodes::label() const
{
    QString out = QStringLiteral("%1:%2").arg(QString::fromUtf8(identity.chrom)).arg(identity.pos);
    if (identity.id != ".")
        out += QStringLiteral(" (%1)").arg(QString::fromUtf8(identity.id));
    return out;
}

void vcfLineCodes(const char *line, qsizetype size, int samples, const qint8 *groupOf, std::vector<quint8> &calls)
{
    calls.clear();
    const char *end = line + size;
    while (end > line && (end[-1] == '\r' || end[-1] == '\n'))
        --end;
    const char *p = line;
    for (int f = 0; f < 8 && p < end; ++f)
        p = fieldEnd(p, end) + 1;
    const char *format = p;
    const char *formatEnd = p < end ? fieldEnd(p, end) : end;
    int gtIndex = -1;
    for (const char *k = format; k <= formatEnd && gtIndex < 0;) {
        const void *colon = std::memchr(k, ':', std::size_t(formatEnd - k));
        const char *ke = colon ? static_cast<const char *>(colon) : formatEnd;
        if (ke - k == 2 && k[0] == 'G' && k[1] == 'T')
            gtIndex = int(std::count(format, k, ':'));
        k = ke + 1;
    }
    p = formatEnd + 1;
    for (int s = 0; s < samples && p <= end; ++s) {
        const char *fe = p < end ? fieldEnd(p, end) : end;
        if (groupOf[s] >= 0) {
            // The usual call first: one-digit alleles, GT alone or first.
            if (gtIndex == 0 && fe - p == 3 && isDigit(p[0]) && (p[1] == '/' || p[1] == '|') && isDigit(p[2])) {
                calls.push_back(callcode::diploid(p[0] != '0', p[2] != '0', p[1] == '|'));
            } else {
                const char *g = p;
                for (int skip = 0; skip < gtIndex && g <= fe; ++skip) {
                    const void *colon = std::memchr(g, ':', std::size_t(fe - g));
                    g = colon ? static_cast<const char *>(colon) + 1 : fe + 1;
                }
                if (gtIndex < 0 || g > fe) {
                    calls.push_back(callcode::kMissing);
                } else {
                    const void *colon = std::memchr(g, ':', std::size_t(fe - g));
                    calls.push_back(genotypeCode(g, colon ? static_cast<const char *>(colon) : fe));
                }
            }
        }
        p = fe + 1;
    }
}

void bedCodes(const uchar *bytes, int samples, const qint8 *groupOf, std::vector<quint8> &calls)
{
    // .bed code to ALT copies: A1 is ALT.
    static constexpr quint8 kCopies[4] = {2, callcode::kMissing, 1, 0};
    calls.clear();
    for (int s = 0; s < samples; ++s) {
        if (groupOf[s] >= 0)
            calls.push_back(kCopies[(bytes[s >> 2] >> (2 * (s & 3))) & 3]);
    }
}
