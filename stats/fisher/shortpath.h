#pragma once

// The shortest path from a node to the end of the network, found by a
// depth-first search over greedy fillings of a table with the given row and
// column totals (the search of Mehta and Patel's network algorithm, written
// for general tables). All stacks are allocated once, for the largest case.
class shortpath final
{
public:
    static constexpr int kMaxRows = 100;
    static constexpr int kMaxColumns = 100;

    // lf is the shared log-factorial table, valid up to the grand total.
    explicit shortpath(const double *lf);
    ~shortpath();
    shortpath(const shortpath &) = delete;
    shortpath &operator=(const shortpath &) = delete;

    // Smallest sum of ln C over the columns of a table with these margins:
    // R row totals (2 here) and C column totals (1..100, in descending order),
    // all totals summing alike. Returns NaN for counts outside the limits.
    double getSP(int R, const int *rows, int C, const int *cols);

private:
    struct level
    {
        int rows[kMaxRows];
        int cols[kMaxColumns];
        int nRows;
        int nCols;
        int branch;     // the last branch taken, 1-based
        int branches;   // the branch limit M
        bool byRows;    // the branching dimension
        double y;       // partial sum of lf over the cells filled so far
    };

    static constexpr int kLevels = kMaxRows + kMaxColumns + 1;

    double maxFilling(int R, const int *rowsDesc, int C, const int *colsDesc);
    void openLevel(level &lv) const;

    const double *m_lf;
    level *m_stack;
    int m_cols[kMaxColumns];
};
