#pragma once

#include "varianttable.h"

#include <QtGlobal>

#include <vector>

// The calls of one variant, counted as they are read: diploid calls by
// genotype (the two alleles in either order, phase ignored) and group, and
// the missing and haploid calls. toTable() then drops the alleles without
// copies and lays the counts out for a test.
class GenotypeTally final
{
public:
    // More alleles than this are not counted; such a variant is rejected.
    static constexpr int kMaxAlleles = 64;
    // Groups: 1 (everyone, Hardy-Weinberg), 2 (cases and controls), or
    // two per stratum (its cases, then its controls), as many as a sample's
    // qint8 group can name in pairs.
    static constexpr int kMaxGroups = 126;
    enum Group { Case = 0, Control = 1 };

    // Starts a variant with `alleles` alleles and `groups` groups. With more
    // than kMaxAlleles alleles, calls are only checked, not counted.
    void reset(int alleles, int groups);

    int alleleCount() const { return m_alleles; }
    bool counting() const { return m_counting; }

    // a, b in [0, alleleCount()); group in [0, groups).
    void addDiploid(int group, int a, int b)
    {
        // Two alleles, the usual case: the genotype is a + b, counted in
        // two alternating sets, so that a run of equal calls does not wait
        // on one counter.
        if (m_alleles == 2) {
            m_flip ^= 1;
            ++m_pairs[group][m_flip][a + b];
            return;
        }
        if (!m_counting)
            return;
        const int lo = a < b ? a : b;
        const int hi = a < b ? b : a;
        ++m_counts[(std::size_t(group) * std::size_t(m_alleles) + std::size_t(lo)) * std::size_t(m_alleles)
                   + std::size_t(hi)];
    }
    void addGenotypes(int group, int a, int b, qint64 count);
    void addMissing(qint64 count = 1) { m_missing += count; }
    void addHaploid(qint64 count = 1) { m_haploid += count; }

    // The variant's table for `layout`, or its reason for rejection.
    void toTable(TableLayout layout, VariantTable &table) const;

private:
    qint64 count(int group, int lo, int hi) const
    {
        const qint64 pairs = m_alleles == 2 ? m_pairs[group][0][lo + hi] + m_pairs[group][1][lo + hi] : 0;
        return pairs + m_counts[(std::size_t(group) * std::size_t(m_alleles) + std::size_t(lo)) * std::size_t(m_alleles)
                                + std::size_t(hi)];
    }

    int m_alleles = 0;
    int m_groups = 1;
    bool m_counting = true;
    std::vector<qint64> m_counts;   // groups x alleles x alleles, lo <= hi used
    // Two alleles: by group, set and a + b; the groups in use come first,
    // so that a variant clears only theirs.
    qint64 m_pairs[kMaxGroups][2][3] = {};
    int m_flip = 0;
    qint64 m_missing = 0;
    qint64 m_haploid = 0;
};
