#include "rowcompare.h"

bool RowCompare::operator()(const QStringList &row1, const QStringList &row2) const
{
    for (int k = 0; k < KeyCount; ++k) {
        const int column = keyColumn[k];
        // A key outside the rows cannot come from the dialog, whose boxes list
        // only the range's columns; it is ignored rather than read past the end.
        if (column < 0 || column >= row1.size() || column >= row2.size())
            continue;
        const QString &a = row1.at(column);
        const QString &b = row2.at(column);
        if (a == b)
            continue;
        // Plain UTF-16 order: numbers sort as text, as the user typed them.
        return isAscending[k] ? a < b : b < a;
    }
    return false;
}
