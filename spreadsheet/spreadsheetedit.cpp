// Clipboard, delete, find and sort of the grid.
#include "spreadsheet.h"

#include "cell.h"
#include "rowcompare.h"
#include "uiprompts.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>

#include <algorithm>

namespace {

// The widest clipboard row accepted, counted from the selection's left
// column. Deliberately not the grid's 26 columns: fields beyond Z are dropped
// silently, only absurdly wide rows are refused.
constexpr int kMaxPasteWidth = 999;

} // namespace

void Spreadsheet::cut()
{
    copy();
    deleteSelection(tr("Cut"));
}

void Spreadsheet::copy()
{
    const QTableWidgetSelectionRange range = selectionRange();
    QString str;
    for (int i = 0; i < range.rowCount(); ++i) {
        if (i > 0)
            str += u'\n';
        for (int j = 0; j < range.columnCount(); ++j) {
            if (j > 0)
                str += u'\t';
            str += cellFormula(range.topRow() + i, range.leftColumn() + j);
        }
    }
    QApplication::clipboard()->setText(str);
}

void Spreadsheet::paste()
{
    const QTableWidgetSelectionRange range = selectionRange();
    const QString str = QApplication::clipboard()->text();
    const QStringList rows = str.split(u'\n', Qt::KeepEmptyParts, Qt::CaseSensitive);
    const int numRows = int(rows.size());
    const int numColumns = int(rows.first().count(u'\t')) + 1;

    const bool singleCell = range.rowCount() * range.columnCount() == 1;
    if (!singleCell && (range.rowCount() != numRows || range.columnCount() != numColumns)) {
        UiPrompts::current().information(this, tr("Velmora"),
            tr("The information cannot be pasted because the copy and paste areas aren't the "
               "same size."));
        return;
    }

    // Tables copied from other programs end with a line feed. Placed at a
    // single cell, the empty row after it would blank the cell below the
    // block, which the user never chose; it is not data, so it is left out.
    const int rowsToPaste
        = singleCell && numRows > 1 && rows.last().isEmpty() ? numRows - 1 : numRows;

    // The whole paste is one step of the history, written in one batch.
    CellChanges changes;
    for (int i = 0; i < rowsToPaste; ++i) {
        const QStringList columns = rows.at(i).split(u'\t', Qt::KeepEmptyParts, Qt::CaseSensitive);
        if (columns.size() + range.leftColumn() > kMaxPasteWidth) {
            // The rows before this one stay pasted.
            if (!changes.empty())
                pushChanges(tr("Paste"), std::move(changes));
            UiPrompts::current().information(this, tr("Velmora"),
                tr("The information cannot be pasted because the copy has to many columns"));
            return;
        }
        // Ragged rows are skipped whole rather than half pasted.
        if (columns.size() < numColumns)
            continue;
        const int row = range.topRow() + i;
        if (row >= RowCount)
            continue;
        for (int j = 0; j < numColumns; ++j) {
            const int column = range.leftColumn() + j;
            if (column < ColumnCount)
                recordChange(changes, row, column, true, columns.at(j));
        }
    }
    pushChanges(tr("Paste"), std::move(changes));
}

void Spreadsheet::del()
{
    deleteSelection(tr("Delete"));
}

void Spreadsheet::deleteSelection(const QString &name)
{
    CellChanges changes;
    const QList<QTableWidgetSelectionRange> ranges = selectedRanges();
    for (const QTableWidgetSelectionRange &range : ranges) {
        for (int row = range.topRow(); row <= range.bottomRow(); ++row) {
            for (int column = range.leftColumn(); column <= range.rightColumn(); ++column) {
                if (item(row, column))
                    recordChange(changes, row, column, false, QString());
            }
        }
    }
    // Nothing to delete: no step, no change announced.
    if (!changes.empty())
        pushChanges(name, std::move(changes));
}

void Spreadsheet::findNext(const QString &str, Qt::CaseSensitivity cs)
{
    int row = currentRow();
    int column = currentColumn() + 1;
    // Without a current cell the search starts at A1 instead of at row -1.
    if (row < 0) {
        row = 0;
        column = 0;
    }
    while (row < RowCount) {
        while (column < ColumnCount) {
            if (cellText(row, column).contains(str, cs)) {
                clearSelection();
                setCurrentCell(row, column);
                activateWindow();
                return;
            }
            ++column;
        }
        column = 0;
        ++row;
    }
    UiPrompts::current().beep();
}

void Spreadsheet::findPrevious(const QString &str, Qt::CaseSensitivity cs)
{
    int row = currentRow();
    int column = currentColumn() - 1;
    while (row >= 0) {
        while (column >= 0) {
            if (cellText(row, column).contains(str, cs)) {
                clearSelection();
                setCurrentCell(row, column);
                activateWindow();
                return;
            }
            --column;
        }
        column = ColumnCount - 1;
        --row;
    }
    UiPrompts::current().beep();
}

void Spreadsheet::sortSelection(const RowCompare &compare)
{
    const QTableWidgetSelectionRange range = sortRange();
    // An empty grid and no selection: nothing to sort, nothing modified.
    if (range.rowCount() <= 0 || range.columnCount() <= 0)
        return;

    QList<QStringList> rows;
    rows.reserve(range.rowCount());
    for (int i = 0; i < range.rowCount(); ++i) {
        QStringList row;
        row.reserve(range.columnCount());
        for (int j = 0; j < range.columnCount(); ++j)
            row.append(cellFormula(range.topRow() + i, range.leftColumn() + j));
        rows.append(row);
    }

    std::stable_sort(rows.begin(), rows.end(), compare);

    // An empty text that lands on an empty position creates no item there:
    // a sort that moves nothing leaves the grid as it was.
    CellChanges changes;
    for (int i = 0; i < range.rowCount(); ++i) {
        const QStringList &row = rows.at(i);
        for (int j = 0; j < range.columnCount(); ++j) {
            const int r = range.topRow() + i;
            const int c = range.leftColumn() + j;
            recordChange(changes, r, c, !row.at(j).isEmpty() || item(r, c), row.at(j));
        }
    }

    // Nothing moved: nothing to undo, nothing modified.
    if (changes.empty())
        return;
    pushChanges(tr("Sort"), std::move(changes));
    // The rows sorted stay selected, also where one clicked cell stood for
    // its table, so that a test dialog opened next checks them.
    clearSelection();
    setRangeSelected(range, true);
}

void Spreadsheet::closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint)
{
    // Enter closes the editor with SubmitModelCache; Tab and Escape keep
    // their own moves.
    const bool entered = hint == QAbstractItemDelegate::SubmitModelCache;
    QTableWidget::closeEditor(editor, entered ? QAbstractItemDelegate::NoHint : hint);
    if (entered)
        moveAfterEnter(QApplication::keyboardModifiers() & Qt::ShiftModifier);
}

void Spreadsheet::keyPressEvent(QKeyEvent *event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const Qt::KeyboardModifiers others = event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
    if (enter && !others && state() != EditingState) {
        moveAfterEnter(event->modifiers().testFlag(Qt::ShiftModifier));
        event->accept();
        return;
    }
    QTableWidget::keyPressEvent(event);
}

void Spreadsheet::moveAfterEnter(bool up)
{
    const int row = currentRow();
    const int column = currentColumn();
    if (row < 0 || column < 0)
        return;
    const QTableWidgetSelectionRange block = selectionRange();
    if (block.rowCount() * block.columnCount() > 1) {
        // The block is what a test dialog checks: it stays selected, and
        // Enter walks its cells column by column.
        int r = row;
        int c = column;
        if (block.topRow() <= row && row <= block.bottomRow() && block.leftColumn() <= column
            && column <= block.rightColumn()) {
            r += up ? -1 : 1;
            if (r > block.bottomRow()) {
                r = block.topRow();
                c = c < block.rightColumn() ? c + 1 : block.leftColumn();
            } else if (r < block.topRow()) {
                r = block.bottomRow();
                c = c > block.leftColumn() ? c - 1 : block.rightColumn();
            }
        } else {
            r = qBound(0, r + (up ? -1 : 1), RowCount - 1);
        }
        selectionModel()->setCurrentIndex(model()->index(r, c), QItemSelectionModel::NoUpdate);
        return;
    }
    setCurrentCell(qBound(0, row + (up ? -1 : 1), RowCount - 1), column);
}
