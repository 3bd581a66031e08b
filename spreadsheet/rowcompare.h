#pragma once

#include <QStringList>

// The sort criteria that the sort dialog hands to the grid: up to three keys,
// each a column of the sorted range and a direction. Answers whether one row
// of formula texts goes before another.
class RowCompare final
{
public:
    static constexpr int KeyCount = 3;

    bool operator()(const QStringList &row1, const QStringList &row2) const;

    // Offsets from the range's left column; index 0 is the primary key, -1
    // leaves a key unused.
    int keyColumn[KeyCount] = { -1, -1, -1 };
    bool isAscending[KeyCount] = { true, true, true };
};
