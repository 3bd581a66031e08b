#include "hwtwoallele.h"

#include "familywalk.h"

namespace {

enum class Sum { Done, Stopped, BeyondRange };

// Count: qint64, or double where every count is below 2^52, so that a
// step converts nothing (the same exact integers, hence the same ratios).
template <typename Real, typename Count>
Sum twoAlleleSums(Count homA, Count het, Count homB, double *P, double *midP)
{
    // Two heterozygotes more take one homozygote of each allele:
    // w(h + 2) / w(h) = 4 aa bb / ((h + 1) (h + 2)), and back again
    // w(h - 2) / w(h) = h (h - 1) / (4 (aa + 1) (bb + 1)).
    FamilySumsOf<Real> sums;
    Count h = het, aa = homA, bb = homB;
    const bool upDone = walkFamilySide(
        [&](quint64) {
            if (aa == 0 || bb == 0)
                return -1.0;
            const double r = 4.0 * double(aa) * double(bb) / (double(h + 1) * double(h + 2));
            h += 2;
            aa -= 1;
            bb -= 1;
            return r;
        },
        sums);
    if (!upDone)
        return Sum::Stopped;
    h = het;
    aa = homA;
    bb = homB;
    const bool downDone = walkFamilySide(
        [&](quint64) {
            if (h < 2)
                return -1.0;
            const double r = double(h) * double(h - 1) / (4.0 * double(aa + 1) * double(bb + 1));
            h -= 2;
            aa += 1;
            bb += 1;
            return r;
        },
        sums);
    if (!downDone)
        return Sum::Stopped;
    if (sums.beyondRange)
        return Sum::BeyondRange;
    *P = familyProbability(sums);
    if (midP)
        *midP = familyMidP(sums);
    return Sum::Done;
}

} // namespace

int hwtwoallele::pValue(qint64 homA, qint64 het, qint64 homB, double *P, double *midP)
{
    if (homA < 0 || het < 0 || homB < 0 || !P)
        return BadInput;
    // In doubles first; in long doubles when the weights leave their range.
    constexpr qint64 kExactInDouble = qint64(1) << 52;
    Sum sum = homA < kExactInDouble && het < kExactInDouble && homB < kExactInDouble
                  ? twoAlleleSums<double>(double(homA), double(het), double(homB), P, midP)
                  : twoAlleleSums<double>(homA, het, homB, P, midP);
    if (sum == Sum::BeyondRange)
        sum = twoAlleleSums<long double>(homA, het, homB, P, midP);
    return sum == Sum::Stopped ? Stopped : Finished;
}

bool hwtwoallele::fromTable(int K, const int *table, qint64 *homA, qint64 *het, qint64 *homB)
{
    if (K < 1 || !table)
        return false;
    // The alleles that occur, at most two.
    int present[2] = {-1, -1};
    int found = 0;
    for (int i = 0; i < K; ++i) {
        bool occurs = false;
        for (int j = 0; j < K; ++j) {
            const int n = j >= i ? table[i * K + j] : table[j * K + i];
            if (n < 0)
                return false;
            occurs = occurs || n > 0;
        }
        if (!occurs)
            continue;
        if (found == 2)
            return false;
        present[found++] = i;
    }
    const int a = present[0];
    const int b = present[1];
    *homA = a >= 0 ? table[a * K + a] : 0;
    *homB = b >= 0 ? table[b * K + b] : 0;
    *het = a >= 0 && b >= 0 ? table[a * K + b] : 0;
    return true;
}
