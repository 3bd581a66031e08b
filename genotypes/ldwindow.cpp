#include "ldwindow.h"

#include <algorithm>

PackedCalls::PackedCalls(const VariantCodes &codes)
    : identity(codes.identity), ordinal(codes.ordinal), individuals(int(codes.calls.size()))
{
    m_words = (individuals + 63) / 64;
    m_bits.assign(std::size_t(kPlanes) * std::size_t(m_words), 0);
    quint64 *planes[kPlanes];
    for (int p = 0; p < kPlanes; ++p)
        planes[p] = m_bits.data() + std::size_t(p) * std::size_t(m_words);
    for (int i = 0; i < individuals; ++i) {
        const quint8 code = codes.calls[std::size_t(i)];
        if (callcode::missing(code) || (code & callcode::kHaploid))
            continue;
        const std::size_t word = std::size_t(i) >> 6;
        const quint64 bit = quint64(1) << (i & 63);
        const int copies = callcode::copies(code);
        planes[Typed][word] |= bit;
        ++typed;
        if (copies == 1) {
            planes[Het][word] |= bit;
            ++het;
        } else if (copies == 2) {
            planes[HomAlt][word] |= bit;
            ++homAlt;
        }
        if (code & callcode::kPhased) {
            if (callcode::firstAlt(code))
                planes[FirstAlt][word] |= bit;
            if (callcode::secondAlt(code))
                planes[SecondAlt][word] |= bit;
        } else {
            planes[Unphased][word] |= bit;
            ++unphased;
        }
    }
}

namespace {

// Bit counts of the whole words of two planes and their ANDs.
__attribute__((target("popcnt"))) inline int count(quint64 v)
{
    return __builtin_popcountll(v);
}

} // namespace

__attribute__((target("popcnt"))) void countPair(const PackedCalls &a, const PackedCalls &b, PairCounts *out)
{
    using P = PackedCalls;
    const int words = std::min(a.words(), b.words());
    const quint64 *ha = a.plane(P::Het), *ta = a.plane(P::HomAlt), *va = a.plane(P::Typed);
    const quint64 *hb = b.plane(P::Het), *tb = b.plane(P::HomAlt), *vb = b.plane(P::Typed);
    qint64 n11 = 0, n12 = 0, n21 = 0, n22 = 0;
    for (int w = 0; w < words; ++w) {
        n11 += count(ha[w] & hb[w]);
        n12 += count(ha[w] & tb[w]);
        n21 += count(ta[w] & hb[w]);
        n22 += count(ta[w] & tb[w]);
    }
    // Row and column sums over the individuals typed at both: where every
    // individual is typed at the other locus, they are the locus' own.
    const bool allA = a.typed == a.individuals, allB = b.typed == b.individuals;
    qint64 n = 0, r1 = a.het, r2 = a.homAlt, s1 = b.het, s2 = b.homAlt;
    if (allA && allB) {
        n = a.individuals;
    } else {
        n = r1 = r2 = s1 = s2 = 0;
        for (int w = 0; w < words; ++w) {
            n += count(va[w] & vb[w]);
            r1 += count(ha[w] & vb[w]);
            r2 += count(ta[w] & vb[w]);
            s1 += count(va[w] & hb[w]);
            s2 += count(va[w] & tb[w]);
        }
    }
    auto &c = out->n;
    c[1][1] = n11;
    c[1][2] = n12;
    c[2][1] = n21;
    c[2][2] = n22;
    c[1][0] = r1 - n11 - n12;
    c[2][0] = r2 - n21 - n22;
    c[0][1] = s1 - n11 - n21;
    c[0][2] = s2 - n12 - n22;
    c[0][0] = n - r1 - r2 - c[0][1] - c[0][2];

    // Haplotypes where no call of the individuals typed at both is unphased.
    out->phased = false;
    const quint64 *ua = a.plane(P::Unphased), *ub = b.plane(P::Unphased);
    bool unphased = false;
    for (int w = 0; w < words && !unphased && (a.unphased > 0 || b.unphased > 0); ++w)
        unphased = ((ua[w] | ub[w]) & va[w] & vb[w]) != 0;
    if (unphased || n == 0)
        return;
    const quint64 *fa = a.plane(P::FirstAlt), *sa = a.plane(P::SecondAlt);
    const quint64 *fb = b.plane(P::FirstAlt), *sb = b.plane(P::SecondAlt);
    qint64 altA = 0, altB = 0, both = 0;
    for (int w = 0; w < words; ++w) {
        const quint64 v = va[w] & vb[w];
        altA += count(fa[w] & v) + count(sa[w] & v);
        altB += count(fb[w] & v) + count(sb[w] & v);
        both += count(fa[w] & fb[w] & v) + count(sa[w] & sb[w] & v);
    }
    out->phased = true;
    out->haplotypes[3] = both;
    out->haplotypes[2] = altA - both;
    out->haplotypes[1] = altB - both;
    out->haplotypes[0] = 2 * n - altA - altB + both;
}

bool LdWindow::add(const Variant &variant, std::vector<Departure> &out, QString *error)
{
    const VariantIdentity &id = variant->identity;
    if (!m_held.empty() && m_held.back()->identity.chrom == id.chrom) {
        const VariantIdentity &last = m_held.back()->identity;
        if (id.pos < last.pos) {
            *error = QStringLiteral("the variants are not sorted by position: %1:%2 comes after %1:%3")
                         .arg(QString::fromUtf8(id.chrom))
                         .arg(id.pos)
                         .arg(last.pos);
            return false;
        }
    } else {
        if (std::find(m_chromsDone.begin(), m_chromsDone.end(), id.chrom) != m_chromsDone.end()) {
            *error = QStringLiteral("the variants are not sorted: chromosome %1 comes back at %1:%2")
                         .arg(QString::fromUtf8(id.chrom))
                         .arg(id.pos);
            return false;
        }
        if (!m_held.empty())
            m_chromsDone.push_back(m_held.back()->identity.chrom);
        while (!m_held.empty())
            depart(out);
    }
    while (!m_held.empty() && id.pos - m_held.front()->identity.pos > m_span)
        depart(out);
    m_held.push_back(variant);
    return true;
}

void LdWindow::finish(std::vector<Departure> &out)
{
    while (!m_held.empty())
        depart(out);
}

void LdWindow::depart(std::vector<Departure> &out)
{
    Departure d;
    d.first = m_held.front();
    m_held.pop_front();
    d.partners.assign(m_held.begin(), m_held.end());
    out.push_back(std::move(d));
}
