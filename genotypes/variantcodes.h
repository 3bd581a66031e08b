#pragma once

#include "varianttable.h"

#include <QString>

#include <vector>

// The call of one individual at one variant, in a byte: the low two bits
// hold the copies of ALT (0, 1, 2) or kMissing; the flags say how the call
// was written. A haploid call holds 0 or 1 copies; a call with any allele
// missing, or of three or more alleles, is missing, as in the counts of a
// test. A multi-allelic record counts the copies of every ALT together (its
// callers refuse it anyway).
namespace callcode {
constexpr quint8 kCopiesMask = 3;
constexpr quint8 kMissing = 3;
constexpr quint8 kPhased = 4;     // a diploid call written with '|'
constexpr quint8 kFirstAlt = 8;   // phased: the first haplotype carries ALT
constexpr quint8 kHaploid = 16;   // one allele

inline int copies(quint8 code) { return code & kCopiesMask; }
inline bool missing(quint8 code) { return (code & kCopiesMask) == kMissing; }
// The ALT copies of a diploid call written phased, by haplotype.
inline int firstAlt(quint8 code) { return (code & kFirstAlt) ? 1 : 0; }
inline int secondAlt(quint8 code) { return copies(code) - firstAlt(code); }

// The code of a diploid call of alleles a and b (-1: missing), as written.
inline quint8 diploid(int a, int b, bool phased)
{
    if (a < 0 || b < 0)
        return kMissing;
    quint8 code = quint8((a != 0) + (b != 0));
    if (phased)
        code |= quint8(kPhased | (a != 0 ? kFirstAlt : 0));
    return code;
}
inline quint8 haploid(int a)
{
    return a < 0 ? kMissing : quint8(kHaploid | (a != 0 ? 1 : 0));
}
} // namespace callcode

// One variant's identity and the call of every sample in use, in the
// file's sample order: what LD and haplotypes read, where a test of one
// variant reads counts.
struct VariantCodes
{
    VariantIdentity identity;
    qint64 ordinal = 0;          // 1-based among the records read
    std::vector<quint8> calls;   // callcode bytes, one per sample in use
    int missing = 0;             // missing calls
    int haploid = 0;             // calls of one allele
    int diploid = 0;             // diploid calls made (not missing)
    int phased = 0;              // of them, written phased

    bool multiAllelic() const { return identity.alts.size() > 1; }
    // Whether every diploid call made is written phased.
    bool allPhased() const { return diploid > 0 && phased == diploid; }
    // Counts the calls' kinds after `calls` was filled.
    void tallyFlags();
    // "CHROM:POS (ID)" for messages.
    QString label() const;
};

// The calls of a VCF record line's samples in use (groupOf[s] >= 0), as
// codes; the line has been checked by decodeVcfLine, so that every GT it
// holds is well formed.
void vcfLineCodes(const char *line, qsizetype size, int samples, const qint8 *groupOf, std::vector<quint8> &calls);

// The calls of a .bed variant's samples in use: 2-bit codes, four samples a
// byte, the first in the low bits (0 hom A1 = ALT, 1 missing, 2 het, 3 hom
// A2 = REF).
void bedCodes(const uchar *bytes, int samples, const qint8 *groupOf, std::vector<quint8> &calls);
