#pragma once

#include <QtGlobal>

#include <array>
#include <vector>

// Counts the 2-bit genotype codes of one variant of a PLINK 1 .bed
// (variant-major: four samples a byte, the first in the low bits) by the
// samples' groups. Codes: 0 homozygous for the .bim's first allele (A1),
// 1 missing, 2 heterozygous, 3 homozygous for the second (A2).
//
// Each byte is looked up in a table of its four codes' counts, after a
// mask has set the codes of samples outside the group to 0; those are
// taken off code 0 afterwards. So a variant costs a table look-up per byte
// and group, never a step per sample.
class BedCounter final
{
public:
    using Codes = std::array<qint64, 4>;

    // groupOf: one entry per sample (-1 left out), each below `groups`.
    void setGroups(const std::vector<qint8> &groupOf, int groups);

    int samples() const { return m_samples; }
    qsizetype bytesPerVariant() const { return (qsizetype(m_samples) + 3) / 4; }

    // out[g]: the codes of group g's samples in `bytes` (bytesPerVariant()).
    void count(const uchar *bytes, Codes *out) const;

private:
    int m_samples = 0;
    int m_groups = 1;
    std::vector<std::vector<uchar>> m_masks;   // per group, per byte
    std::vector<bool> m_whole;                 // a group that every sample of every byte is in
    std::vector<qint64> m_outside;             // per group: the positions its mask clears
};
