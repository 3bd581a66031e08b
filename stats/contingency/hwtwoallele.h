#pragma once

#include <QtGlobal>

// The exact Hardy-Weinberg test of a locus with two alleles: homA and homB
// homozygotes, het heterozygotes. With the allele counts fixed the
// heterozygote count alone determines the table, and its distribution is
// log-concave, so P is summed from the observed table outwards by the ratio
// of neighbouring tables (2 heterozygotes more or fewer); no table of log
// factorials is built, and a run costs a few hundred steps at n = 2,000.
// Gives the same P-value as hwexact on the same table, ties included.
class hwtwoallele final
{
public:
    enum Status {
        Finished = 0,
        Stopped = 1,   // Stop pressed (polled only in very long walks)
        BadInput = 2   // a negative count
    };

    // Writes P, and when asked Lancaster's mid-p (half the weight of the
    // tables that tie with the observed one, with the tolerance of P), on
    // Finished only.
    static int pValue(qint64 homA, qint64 het, qint64 homB, double *P, double *midP = nullptr);

    // The K x K upper-triangular table (row-major) if at most two of its
    // alleles occur: their homozygote and heterozygote counts; false when
    // more alleles occur or a count is negative.
    static bool fromTable(int K, const int *table, qint64 *homA, qint64 *het, qint64 *homB);
};
