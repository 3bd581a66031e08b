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
    // The count of a cell that holds nothing but a few ASCII digits, read
    // without building its text, as text().toInt() would read it; false
    // leaves the cell to hasItem() and text().
    virtual bool plainCount(int row, int column, int &value) const
    {
        Q_UNUSED(row);
        Q_UNUSED(column);
        Q_UNUSED(value);
        return false;
    }
};
