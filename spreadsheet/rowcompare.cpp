#include "rowcompare.h"

#include <cmath>

namespace {

// Where a text stands among the others: empty, a number (as the grid reads
// a plain number: the whole text, no NUL), or any other text.
struct SortKey
{
    int rank;
    double value;
};

SortKey keyOf(const QString &text)
{
    if (text.isEmpty())
        return {0, 0.0};
    bool ok = false;
    const double value = text.contains(QChar(u'\0')) ? 0.0 : text.toDouble(&ok);
    // "nan" and "inf" read as numbers but have no place among them.
    if (ok && std::isfinite(value))
        return {1, value};
    return {2, 0.0};
}

// Negative, zero or positive as a goes before, with or after b.
int compareTexts(const QString &a, const QString &b, bool numbersByValue)
{
    if (numbersByValue) {
        const SortKey x = keyOf(a);
        const SortKey y = keyOf(b);
        if (x.rank != y.rank)
            return x.rank < y.rank ? -1 : 1;
        if (x.rank == 1)
            return x.value < y.value ? -1 : (y.value < x.value ? 1 : 0);
    }
    return a < b ? -1 : (b < a ? 1 : 0);
}

} // namespace

bool RowCompare::operator()(const QStringList &row1, const QStringList &row2) const
{
    for (int k = 0; k < KeyCount; ++k) {
        const int column = keyColumn[k];
        // A key outside the rows cannot come from the dialog, whose boxes list
        // only the range's columns; it is ignored rather than read past the end.
        if (column < 0 || column >= row1.size() || column >= row2.size())
            continue;
        const int order = compareTexts(row1.at(column), row2.at(column), numbersByValue);
        if (order == 0)
            continue;
        return isAscending[k] ? order < 0 : order > 0;
    }
    return false;
}
