#pragma once

#include "variantcodes.h"

#include <QString>

#include <deque>
#include <memory>
#include <vector>

// A variant's calls as bit planes, 64 individuals a word, so that the
// two-locus counts of a pair are a few ANDs and bit counts per word.
class PackedCalls
{
public:
    // The calls of a biallelic variant (haploid calls count as missing).
    explicit PackedCalls(const VariantCodes &codes);

    VariantIdentity identity;
    qint64 ordinal = 0;
    int individuals = 0;
    int typed = 0;          // diploid calls made
    int het = 0;            // of them heterozygous
    int homAlt = 0;         // of them homozygous ALT
    int unphased = 0;       // of them written unphased

    // Planes, words() words each: heterozygous, homozygous ALT, typed; for
    // the phased haplotypes, ALT on the first and on the second haplotype;
    // and the calls written unphased.
    enum Plane { Het, HomAlt, Typed, FirstAlt, SecondAlt, Unphased, kPlanes };
    int words() const { return m_words; }
    const quint64 *plane(Plane p) const { return m_bits.data() + std::size_t(p) * std::size_t(m_words); }

private:
    int m_words = 0;
    std::vector<quint64> m_bits;
};

// The two-locus genotype counts of a pair (individuals typed at both, by
// ALT copies at A down and at B across) and, where no call of theirs is
// written unphased, the counts of their haplotypes 11, 12, 21, 22 (1 REF,
// 2 ALT).
struct PairCounts
{
    qint64 n[3][3] = {};
    bool phased = false;
    qint64 haplotypes[4] = {};
};

void countPair(const PackedCalls &a, const PackedCalls &b, PairCounts *out);

// The variants of a scan in file order, each paired with those after it on
// its chromosome within `span` base pairs. A variant leaves the window once
// no variant still to come can reach it: it is then handed out with its
// partners, so that pairs come out by the first variant, then the second.
class LdWindow final
{
public:
    using Variant = std::shared_ptr<const PackedCalls>;
    struct Departure
    {
        Variant first;
        std::vector<Variant> partners;   // in file order
    };

    explicit LdWindow(qint64 span) : m_span(span) {}

    // Adds the next variant; false, with the reason, when the file is not
    // sorted (a position below the last on its chromosome, or a chromosome
    // that came before). Variants that leave are appended to `out`.
    bool add(const Variant &variant, std::vector<Departure> &out, QString *error);
    // Every variant still held leaves.
    void finish(std::vector<Departure> &out);

    bool empty() const { return m_held.empty(); }
    // The record number of the oldest variant held; -1 when none is.
    qint64 oldestOrdinal() const { return m_held.empty() ? -1 : m_held.front()->ordinal; }

private:
    void depart(std::vector<Departure> &out);

    qint64 m_span;
    std::deque<Variant> m_held;
    std::vector<QByteArray> m_chromsDone;
};
