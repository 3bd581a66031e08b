// The grid's history: edits become steps of the undo stack, and each step
// writes its cells in one batch.
#include "spreadsheet.h"

#include "cellblock.h"
#include "celleditcommand.h"

#include <QUndoStack>

void Spreadsheet::recordChange(CellChanges &changes, int row, int column, bool present,
                               const QString &text) const
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return;
    const bool had = item(row, column) != nullptr;
    const QString before = cellFormula(row, column);
    if (had == present && (!present || before == text))
        return;
    changes.push_back({ row, column, had, present, before, present ? text : QString() });
}

void Spreadsheet::pushChanges(const QString &name, CellChanges changes)
{
    // The stack runs the step's first redo, which makes the edit.
    history->push(new CellEditCommand(this, name, std::move(changes)));
}

void Spreadsheet::applyChanges(const CellChanges &changes, ChangeSide side)
{
    const bool after = side == ChangeSide::After;
    ++batchDepth;
    for (const CellChange &change : changes) {
        if (after ? change.hasItem : change.hadItem) {
            setCellFormula(change.row, change.column, after ? change.after : change.before);
        } else {
            // Taken before it is deleted: an item deleted in place makes the
            // model search every position for it.
            delete takeItem(change.row, change.column);
        }
    }
    --batchDepth;
    somethingChanged();
}

void Spreadsheet::showChangedBlock(const CellBlock &block)
{
    // Scrolled to, not selected: the selection is what the open test
    // dialog checks, and an undo must not take it away.
    if (!block.isEmpty())
        scrollTo(model()->index(block.top, block.left));
}

void Spreadsheet::typeIntoCell(int row, int column, const QString &text)
{
    // Leaving an empty cell's editor without typing creates no cell.
    if (!item(row, column) && text.isEmpty())
        return;
    CellChanges changes;
    recordChange(changes, row, column, true, text);
    if (changes.empty())
        return;
    pushChanges(tr("Typing in %1").arg(CellBlock::cellName(row, column)), std::move(changes));
}

QWidget *Spreadsheet::openEditor() const
{
    if (state() != EditingState)
        return nullptr;
    return indexWidget(currentIndex());
}

void Spreadsheet::undo()
{
    if (QWidget *editor = openEditor()) {
        closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
        return;
    }
    history->undo();
}

void Spreadsheet::redo()
{
    if (QWidget *editor = openEditor()) {
        commitData(editor);
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
    history->redo();
}
