#include "shortpath.h"

#include <QtNumeric>

#include <algorithm>
#include <functional>

namespace {

// Removes entry i of a descending list of count entries.
void removeAt(int *list, int &count, int i)
{
    std::copy(list + i + 1, list + count, list + i);
    --count;
}

// Gives entry i the smaller total value and moves it down so that the list
// stays descending.
void lowerAt(int *list, int count, int i, int value)
{
    while (i + 1 < count && list[i + 1] > value) {
        list[i] = list[i + 1];
        ++i;
    }
    list[i] = value;
}

} // namespace

shortpath::shortpath(const double *lf) : m_lf(lf), m_stack(new level[kLevels]) {}

shortpath::~shortpath()
{
    delete[] m_stack;
}

double shortpath::getSP(int R, const int *rows, int C, const int *cols)
{
    if (R < 1 || R > kMaxRows || C < 1 || C > kMaxColumns)
        return qQNaN();
    int rowsDesc[kMaxRows];
    std::copy(rows, rows + R, rowsDesc);
    std::sort(rowsDesc, rowsDesc + R, std::greater<int>());
    std::copy(cols, cols + C, m_cols);
    std::sort(m_cols, m_cols + C, std::greater<int>());

    double sumCols = 0.0;
    for (int j = 0; j < C; ++j)
        sumCols += m_lf[m_cols[j]];
    return sumCols - maxFilling(R, rowsDesc, C, m_cols);
}

// The largest sum of lf over the cells of a table with these margins.
double shortpath::maxFilling(int R, const int *rowsDesc, int C, const int *colsDesc)
{
    if (C == 1) {
        double sum = 0.0;
        for (int i = 0; i < R; ++i)
            sum += m_lf[rowsDesc[i]];
        return sum;
    }
    if (R == 2 && C == 2) {
        const int r1 = rowsDesc[1];
        const int r2 = rowsDesc[0];
        const int s1 = colsDesc[1];
        const int s2 = colsDesc[0];
        if (s2 < r2)
            return m_lf[s2] + m_lf[r1] + m_lf[r2 - s2];
        return m_lf[r2] + m_lf[s1] + m_lf[s2 - r2];
    }
    if (R == 1) {
        double sum = 0.0;
        for (int j = 0; j < C; ++j)
            sum += m_lf[colsDesc[j]];
        return sum;
    }

    double amx = 0.0;
    level &top = m_stack[0];
    std::copy(rowsDesc, rowsDesc + R, top.rows);
    std::copy(colsDesc, colsDesc + C, top.cols);
    top.nRows = R;
    top.nCols = C;
    top.y = 0.0;
    openLevel(top);

    // Every level has at least two rows and two columns, so each filling
    // removes a row or a column and the depth stays below R + C.
    int depth = 0;
    while (depth >= 0) {
        level &lv = m_stack[depth];
        const int *list = lv.byRows ? lv.rows : lv.cols;
        int next = lv.branch + 1;
        while (next <= lv.branches && next > 1 && list[next - 1] >= list[next - 2])
            ++next;
        if (next > lv.branches) {
            --depth;
            continue;
        }
        lv.branch = next;

        level &child = m_stack[depth + 1];
        std::copy(lv.rows, lv.rows + lv.nRows, child.rows);
        std::copy(lv.cols, lv.cols + lv.nCols, child.cols);
        child.nRows = lv.nRows;
        child.nCols = lv.nCols;
        const int ri = lv.byRows ? next - 1 : 0;
        const int ci = lv.byRows ? 0 : next - 1;
        const int irt = child.rows[ri];
        const int ict = child.cols[ci];
        double y = lv.y + m_lf[std::min(irt, ict)];
        if (irt == ict) {
            removeAt(child.rows, child.nRows, ri);
            removeAt(child.cols, child.nCols, ci);
        } else if (irt > ict) {
            removeAt(child.cols, child.nCols, ci);
            lowerAt(child.rows, child.nRows, ri, irt - ict);
        } else {
            removeAt(child.rows, child.nRows, ri);
            lowerAt(child.cols, child.nCols, ci, ict - irt);
        }

        if (child.nRows == 1) {
            for (int j = 0; j < child.nCols; ++j)
                y += m_lf[child.cols[j]];
            amx = std::max(amx, y);
        } else if (child.nCols == 1) {
            for (int i = 0; i < child.nRows; ++i)
                y += m_lf[child.rows[i]];
            amx = std::max(amx, y);
        } else {
            child.y = y;
            openLevel(child);
            ++depth;
        }
    }
    return amx;
}

// Chooses the branching dimension and the number of branches of a level.
void shortpath::openLevel(level &lv) const
{
    const int ir1 = lv.rows[0];
    const int ic1 = lv.cols[0];
    if (ir1 > ic1) {
        lv.byRows = lv.nRows < lv.nCols;
        lv.branches = lv.byRows ? lv.nRows : lv.nCols - 1;
    } else if (ir1 < ic1) {
        lv.byRows = lv.nRows <= lv.nCols;
        lv.branches = lv.byRows ? lv.nRows - 1 : lv.nCols;
    } else {
        lv.byRows = lv.nRows <= lv.nCols;
        lv.branches = lv.byRows ? lv.nRows - 1 : lv.nCols - 1;
    }
    lv.branch = 0;
}
