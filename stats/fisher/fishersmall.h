#pragma once

#include <QtGlobal>

class centralratios;

// The exact Fisher test of a 2 x 2 or 2 x 3 table summed directly, for the
// tables that need no network: every table with the observed margins is
// weighed against the observed one by ratios of neighbouring binomial
// coefficients. A 2 x 2 family is one log-concave row, walked outwards from
// the observed table until the rest provably cannot change P; a 2 x 3 table
// is a stack of such rows (fishertwobythree). No per-table log-factorial
// table is built. Gives the P-value of dfex<double> on the same table, ties
// included (a table counts when its probability is at most the observed
// one's times 1 + 1e-10, plus the rounding of the ratios).
class fishersmall final
{
public:
    enum Status {
        Finished = 0,
        Stopped = 10   // Stop pressed (polled only in very long sums)
    };

    // Whether the first row x with column totals c (N columns, grand total
    // total) is a 2 x 2 or 2 x 3 table with every column total at least 1,
    // 0 <= x[j] <= c[j] and the totals adding up.
    static bool qualifies(const int *x, const int *c, int N, qint64 total);

    // P of a table that qualifies(), and when asked Lancaster's mid-p (the
    // tables that tie with the observed one, by the tolerance of P, count
    // half); written on Finished only.
    static int pValue(const int *x, const int *c, int N, double *P, double *midP = nullptr);
    // The same for the 2 x 2 table whose family the ratios describe.
    static int pValue(const centralratios &ratios, double *P, double *midP = nullptr);
};
