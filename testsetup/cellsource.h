#pragma once

#include <QString>

// What the checks and the report echoes read of a grid: whether a position
// holds an item, and the item's displayed text (a formula's computed value,
// or "####").
class CellSource
{
public:
    virtual ~CellSource() = default;
    virtual bool hasItem(int row, int column) const = 0;
    virtual QString text(int row, int column) const = 0;
};
