#pragma once

#include <QStyledItemDelegate>

class Spreadsheet;

// Hands what the user typed into a cell's editor to the grid as one edit,
// so that it becomes a step of the grid's history instead of a write behind
// its back.
class CellDelegate final : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit CellDelegate(Spreadsheet *sheet);

    void setModelData(QWidget *editor, QAbstractItemModel *model,
                      const QModelIndex &index) const override;

private:
    Spreadsheet *sheet;
};
