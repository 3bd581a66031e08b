#pragma once

#include <QStringList>

// The sort criteria that the sort dialog hands to the grid: up to three keys,
// each a column of the sorted range and a direction, and how numbers
// compare. Answers whether one row of formula texts goes before another.
class RowCompare final
{
public:
    static constexpr int KeyCount = 3;

    bool operator()(const QStringList &row1, const QStringList &row2) const;

    // Offsets from the range's left column; index 0 is the primary key, -1
    // leaves a key unused.
    int keyColumn[KeyCount] = { -1, -1, -1 };
    bool isAscending[KeyCount] = { true, true, true };
    // Ascending: empty cells, then numbers by value, then texts in UTF-16
    // order (formulas among them, by their text). Off: every text in UTF-16
    // order, numbers included ("100" before "45" before "9"), as documents
    // sorted before may rely on.
    bool numbersByValue = false;
};
