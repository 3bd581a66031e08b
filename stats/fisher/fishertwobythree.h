#pragma once

#include <QtGlobal>

// The exact Fisher P of a 2 x 3 table summed directly, row by row of the
// count a of its most unequal column A (whose count has the fewest likely
// values); in each row the count b of column B fixes the table. Every row
// is log-concave in b, so the tables that count (no heavier than the
// observed one) form two tails about a heavier middle. Each tail is carried
// from row to row whole, by the identity of drawing one more (or one fewer)
// individual into columns B and C: the tail of the next row is the tail of
// this one times a ratio, plus its innermost term, with no subtraction. Only
// the few tables where a tail's boundary moves are weighed, so a row costs a
// handful of steps rather than the width of its middle. A row the carry
// cannot reach (no heavier middle, a tail cut by the edge of the support, or
// a tail that lost too much to removals) is walked afresh from its mode.
class fishertwobythree final
{
public:
    enum Status {
        Finished = 0,
        Stopped = 10
    };

    // First row x and column totals c of a table that fishersmall qualifies;
    // P and, when asked, Lancaster's mid-p, written on Finished only.
    static int pValue(const int *x, const int *c, double *P, double *midP);
};
