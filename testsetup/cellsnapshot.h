#pragma once

#include "cellsource.h"

#include <QHash>

// A grid as one check saw it: every position is read from the live grid
// once, on first use, and keeps that reading. A run that echoes the block
// from here shows exactly the numbers its check read, whatever the grid
// holds by then. Once detached, a position never read counts as empty.
class CellSnapshot final : public CellSource
{
public:
    CellSnapshot() = default;
    explicit CellSnapshot(const CellSource *live) : live(live) {}

    bool hasItem(int row, int column) const override { return reading(row, column).hasItem; }
    QString text(int row, int column) const override { return reading(row, column).text; }

    // Stops reading the live grid.
    void detach() { live = nullptr; }

private:
    struct Reading
    {
        bool hasItem = false;
        QString text;
    };

    const Reading &reading(int row, int column) const;

    const CellSource *live = nullptr;
    mutable QHash<quint64, Reading> readings;
};
