#include "vcfline.h"

#include "bedcounts.h"

#include <algorithm>
#include <cstring>
#include <immintrin.h>
#include <vector>

namespace {

// Positions beyond htslib's range are not positions of any genome.
constexpr qint64 kMaxPosition = qint64(1) << 62;

// The end of the tab-separated field that starts at p.
inline const char *fieldEnd(const char *p, const char *end)
{
    const void *tab = std::memchr(p, '\t', std::size_t(end - p));
    return tab ? static_cast<const char *>(tab) : end;
}

bool readPosition(const char *p, const char *e, qint64 *pos)
{
    if (p == e)
        return false;
    qint64 value = 0;
    for (; p < e; ++p) {
        if (*p < '0' || *p > '9')
            return false;
        if (value > kMaxPosition / 10)
            return false;
        value = value * 10 + (*p - '0');
    }
    *pos = value;
    return true;
}

inline bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

enum class Call { Diploid, Haploid, Missing, Bad };

// One GT value [p, e): alleles separated by '/' or '|', each '.' or an
// index below `alleles`; a leading phase mark is allowed.
Call parseGenotype(const char *p, const char *e, int alleles, int *a, int *b, QString *why)
{
    if (p < e && (*p == '/' || *p == '|'))
        ++p;
    int ploidy = 0;
    bool missing = false;
    for (;;) {
        if (p == e) {
            *why = QStringLiteral("an allele of a genotype is empty");
            return Call::Bad;
        }
        int value = -1;
        if (*p == '.') {
            missing = true;
            ++p;
        } else if (isDigit(*p)) {
            const char *digits = p;
            qint64 v = 0;
            for (; p < e && isDigit(*p); ++p)
                v = v < kMaxPosition / 10 ? v * 10 + (*p - '0') : kMaxPosition;
            if (v >= alleles) {
                *why = QStringLiteral("a genotype names allele %1, but the record has %2 alleles")
                           .arg(QString::fromLatin1(digits, p - digits))
                           .arg(alleles);
                return Call::Bad;
            }
            value = int(v);
        } else {
            *why = QStringLiteral("a genotype holds \"%1\"").arg(QString::fromLatin1(p, 1));
            return Call::Bad;
        }
        if (ploidy == 0)
            *a = value;
        else if (ploidy == 1)
            *b = value;
        ++ploidy;
        if (p == e)
            break;
        if (*p != '/' && *p != '|') {
            *why = QStringLiteral("a genotype holds \"%1\"").arg(QString::fromLatin1(p, 1));
            return Call::Bad;
        }
        ++p;
    }
    if (missing || ploidy > 2)
        return Call::Missing;
    return ploidy == 2 ? Call::Diploid : Call::Haploid;
}

// PLINK's 2-bit code of a biallelic call (0 hom REF, 1 missing, 2 het,
// 3 hom ALT) from its alleles ('0', '1' or '.'); -1 for anything else.
inline int callCode(char a, char separator, char b)
{
    if ((separator != '/' && separator != '|') || (a != '0' && a != '1' && a != '.')
        || (b != '0' && b != '1' && b != '.'))
        return -1;
    if (a == '.' || b == '.')
        return 1;
    const int alt = (a - '0') + (b - '0');
    return alt == 0 ? 0 : alt == 1 ? 2 : 3;
}

// Eight calls of four bytes ("a/b" and its tab) at a time: one compare per
// kind of byte, then the alleles' bits gathered into the codes. Returns the
// calls packed, or false at the first chunk that is not of that form.
__attribute__((target("avx2,bmi2"))) bool packChunks(const char *p, int chunks, uchar *out)
{
    const __m256i zero = _mm256_set1_epi8('0'), one = _mm256_set1_epi8('1'), dot = _mm256_set1_epi8('.');
    const __m256i slash = _mm256_set1_epi8('/'), pipe = _mm256_set1_epi8('|'), tab = _mm256_set1_epi8('\t');
    constexpr quint32 kAlleles = 0x55555555u, kSeparators = 0x22222222u, kTabs = 0x88888888u;
    for (int c = 0; c < chunks; ++c) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p + 32 * c));
        const quint32 ones = quint32(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v, one)));
        const quint32 dots = quint32(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v, dot)));
        const quint32 zeros = quint32(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v, zero)));
        const quint32 separators = quint32(
            _mm256_movemask_epi8(_mm256_or_si256(_mm256_cmpeq_epi8(v, slash), _mm256_cmpeq_epi8(v, pipe))));
        const quint32 tabs = quint32(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v, tab)));
        if (((ones | dots | zeros) & kAlleles) != kAlleles || (separators & kSeparators) != kSeparators
            || (tabs & kTabs) != kTabs)
            return false;
        const quint32 a = _pext_u32(ones, 0x11111111u), b = _pext_u32(ones, 0x44444444u);
        const quint32 missing = _pext_u32(dots, 0x11111111u) | _pext_u32(dots, 0x44444444u);
        const quint32 low = (a & b) | missing, high = (a | b) & ~missing;
        const quint32 codes = _pdep_u32(low, 0x5555u) | _pdep_u32(high, 0xaaaau);
        out[2 * c] = uchar(codes);
        out[2 * c + 1] = uchar(codes >> 8);
    }
    return true;
}

const bool kPackInChunks = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi2");

// The calls of a biallelic record of GT alone, each "a/b" or "a|b" with
// a and b in {0, 1, .} and a tab between them, as PLINK's packed codes;
// false if any call is of another form.
bool packCalls(const char *p, int samples, uchar *out)
{
    // A chunk reads its eight calls' tabs: the last call has none.
    int s = 0;
    if (kPackInChunks && samples > 8) {
        const int chunks = (samples - 1) / 8;
        if (!packChunks(p, chunks, out))
            return false;
        s = 8 * chunks;
    }
    std::fill(out + s / 4, out + (samples + 3) / 4, uchar(0));
    for (; s < samples; ++s) {
        const char *q = p + 4 * qsizetype(s);
        const int code = callCode(q[0], q[1], q[2]);
        if (code < 0 || (s + 1 < samples && q[3] != '\t'))
            return false;
        out[s / 4] = uchar(out[s / 4] | (code << (2 * (s % 4))));
    }
    return true;
}

} // namespace

qint64 vcfLinePosition(const char *line, qsizetype size)
{
    const char *end = line + size;
    const char *p = fieldEnd(line, end);
    if (p == end)
        return -1;
    ++p;
    qint64 pos = 0;
    return readPosition(p, fieldEnd(p, end), &pos) ? pos : -1;
}

// The message for a record whose columns do not match the header's.
QString columnCount(qint64 found, qint64 expected)
{
    return QStringLiteral("%1 columns, %2 expected").arg(found).arg(expected);
}

bool decodeVcfLine(const char *line, qsizetype size, int samples, const qint8 *groupOf, int groups,
                   GenotypeTally &tally, VariantIdentity &identity, QString *why, const BedCounter *packed)
{
    const char *end = line + size;
    while (end > line && (end[-1] == '\r' || end[-1] == '\n'))
        --end;
    const int fixed = samples > 0 ? 9 : 8;
    const auto columnsFrom = [end](const char *q, qint64 before) {
        // Columns from q (the start of one) to the end of the line.
        qint64 n = before + 1;
        for (q = fieldEnd(q, end); q < end; q = fieldEnd(q + 1, end))
            ++n;
        return n;
    };
    const char *fields[9];
    const char *ends[9];
    for (int f = 0; f < fixed; ++f) {
        if (f > 0 && ends[f - 1] == end) {
            *why = columnCount(f, fixed + samples);
            return false;
        }
        fields[f] = f == 0 ? line : ends[f - 1] + 1;
        ends[f] = fieldEnd(fields[f], end);
    }
    if (samples == 0 && ends[7] != end) {
        *why = columnCount(columnsFrom(ends[7] + 1, 8), 8);
        return false;
    }
    if (fields[0] == ends[0]) {
        *why = QStringLiteral("CHROM is empty");
        return false;
    }
    qint64 pos = 0;
    if (!readPosition(fields[1], ends[1], &pos)) {
        *why = QStringLiteral("POS \"%1\" is not a position").arg(QString::fromUtf8(fields[1], ends[1] - fields[1]));
        return false;
    }
    if (fields[3] == ends[3]) {
        *why = QStringLiteral("REF is empty");
        return false;
    }
    setBytes(identity.chrom, fields[0], ends[0] - fields[0]);
    identity.pos = pos;
    setBytes(identity.id, fields[2], ends[2] - fields[2]);
    setBytes(identity.ref, fields[3], ends[3] - fields[3]);
    const char *alt = fields[4];
    const qsizetype altSize = ends[4] - alt;
    if (altSize == 0) {
        *why = QStringLiteral("ALT is empty");
        return false;
    }
    if (altSize == 1 && *alt == '.') {
        identity.alts.clear();
    } else {
        identity.alts.resize(qsizetype(std::count(alt, ends[4], ',')) + 1);
        const char *from = alt;
        for (QByteArray &one : identity.alts) {
            const void *comma = std::memchr(from, ',', std::size_t(ends[4] - from));
            const char *to = comma ? static_cast<const char *>(comma) : ends[4];
            if (to == from) {
                *why = QStringLiteral("ALT \"%1\" has an empty allele").arg(QString::fromUtf8(alt, altSize));
                return false;
            }
            setBytes(one, from, to - from);
            from = to + 1;
        }
    }
    const int alleles = 1 + int(identity.alts.size());
    tally.reset(alleles, groups);
    if (samples == 0)
        return true;
    if (ends[8] == end) {
        *why = columnCount(9, 9 + samples);
        return false;
    }

    // Where GT stands among the FORMAT keys: first by the standard, but
    // read wherever it is.
    int gtIndex = -1;
    for (const char *k = fields[8], *stop = ends[8]; k <= stop && gtIndex < 0;) {
        const void *colon = std::memchr(k, ':', std::size_t(stop - k));
        const char *ke = colon ? static_cast<const char *>(colon) : stop;
        if (ke - k == 2 && k[0] == 'G' && k[1] == 'T')
            gtIndex = int(std::count(fields[8], k, ':'));
        k = ke + 1;
    }

    const char *p = ends[8] + 1;
    // The usual record of a biallelic site with GT alone: its calls packed
    // as PLINK's codes and counted by group 32 at a time, as a .bed's are.
    if (packed && packed->samples() == samples && alleles == 2 && ends[8] - fields[8] == 2 && gtIndex == 0
        && end - p == 4 * qsizetype(samples) - 1) {
        thread_local std::vector<uchar> bytes;
        bytes.resize(std::size_t(packed->bytesPerVariant()));
        if (packCalls(p, samples, bytes.data())) {
            BedCounter::Codes codes[GenotypeTally::kMaxGroups];
            packed->count(bytes.data(), codes);
            for (int g = 0; g < groups; ++g) {
                tally.addGenotypes(g, 0, 0, codes[g][0]);
                tally.addGenotypes(g, 0, 1, codes[g][2]);
                tally.addGenotypes(g, 1, 1, codes[g][3]);
                tally.addMissing(codes[g][1]);
            }
            return true;
        }
    }
    for (int s = 0; s < samples; ++s) {
        const int group = groupOf[s];
        const char *fe = nullptr;
        // The usual call: one-digit alleles, GT alone or first.
        if (gtIndex == 0 && end - p >= 3 && isDigit(p[0]) && (p[1] == '/' || p[1] == '|') && isDigit(p[2])
            && (end - p == 3 || p[3] == '\t') && p[0] - '0' < alleles && p[2] - '0' < alleles) {
            if (group >= 0)
                tally.addDiploid(group, p[0] - '0', p[2] - '0');
            fe = p + 3;
        } else {
            fe = fieldEnd(p, end);
            if (fe == p) {
                *why = QStringLiteral("the column of sample %1 is empty").arg(s + 1);
                return false;
            }
            // GT's subfield; trailing keys may be dropped, which leaves GT
            // missing for this sample.
            const char *g = p;
            for (int skip = 0; skip < gtIndex && g <= fe; ++skip) {
                const void *colon = std::memchr(g, ':', std::size_t(fe - g));
                g = colon ? static_cast<const char *>(colon) + 1 : fe + 1;
            }
            if (gtIndex < 0 || g > fe) {
                if (group >= 0)
                    tally.addMissing();
            } else {
                const void *colon = std::memchr(g, ':', std::size_t(fe - g));
                const char *ge = colon ? static_cast<const char *>(colon) : fe;
                int a = 0, b = 0;
                QString bad;
                const Call call = parseGenotype(g, ge, alleles, &a, &b, &bad);
                if (call == Call::Bad) {
                    *why = QStringLiteral("sample %1: %2").arg(s + 1).arg(bad);
                    return false;
                }
                if (group >= 0) {
                    if (call == Call::Diploid)
                        tally.addDiploid(group, a, b);
                    else if (call == Call::Haploid)
                        tally.addHaploid();
                    else
                        tally.addMissing();
                }
            }
        }
        if (fe == end && s + 1 < samples) {
            *why = columnCount(9 + s + 1, 9 + samples);
            return false;
        }
        if (fe != end && s + 1 == samples) {
            *why = columnCount(columnsFrom(fe + 1, 9 + samples), 9 + samples);
            return false;
        }
        p = fe + 1;
    }
    return true;
}
