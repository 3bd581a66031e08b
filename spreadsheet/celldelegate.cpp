#include "celldelegate.h"

#include "spreadsheet.h"

#include <QMetaProperty>

CellDelegate::CellDelegate(Spreadsheet *sheet) : QStyledItemDelegate(sheet), sheet(sheet) {}

void CellDelegate::setModelData(QWidget *editor, QAbstractItemModel *model,
                                const QModelIndex &index) const
{
    // The editor's user property is what it edits: a line edit's text.
    const QMetaProperty property = editor->metaObject()->userProperty();
    if (!property.isValid()) {
        QStyledItemDelegate::setModelData(editor, model, index);
        return;
    }
    sheet->typeIntoCell(index.row(), index.column(), property.read(editor).toString());
}
