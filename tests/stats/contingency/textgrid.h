#pragma once

#include "cellsource.h"

#include <QMap>
#include <QPair>

// Displayed texts of grid cells, for the report echoes.
class TextGrid final : public CellSource
{
public:
    void set(int row, int column, const QString &text) { m_cells.insert({row, column}, text); }
    bool hasItem(int row, int column) const override { return m_cells.contains({row, column}); }
    QString text(int row, int column) const override { return m_cells.value({row, column}); }

private:
    QMap<QPair<int, int>, QString> m_cells;
};
