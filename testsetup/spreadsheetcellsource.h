#pragma once

#include "cellsource.h"

#include <QTableWidget>

// The checks' view of a grid widget: an item's displayed text, as the grid
// shows it. An item whose text is empty (erased in the editor) is an empty
// cell, as it looks.
class SpreadsheetCellSource final : public CellSource
{
public:
    explicit SpreadsheetCellSource(const QTableWidget *table) : table(table) {}

    bool hasItem(int row, int column) const override
    {
        const QTableWidgetItem *item = table->item(row, column);
        return item && !item->data(Qt::EditRole).toString().isEmpty();
    }

    QString text(int row, int column) const override
    {
        const QTableWidgetItem *item = table->item(row, column);
        return item ? item->data(Qt::DisplayRole).toString() : QString();
    }

private:
    const QTableWidget *table;
};
