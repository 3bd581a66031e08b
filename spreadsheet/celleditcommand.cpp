#include "celleditcommand.h"

#include "spreadsheet.h"

CellEditCommand::CellEditCommand(Spreadsheet *sheet, const QString &name, CellChanges changes)
    : QUndoCommand(name), sheet(sheet), changes(std::move(changes))
{
    for (const CellChange &change : this->changes)
        block.include(change.row, change.column);
}

void CellEditCommand::undo()
{
    sheet->applyChanges(changes, Spreadsheet::ChangeSide::Before);
    sheet->showChangedBlock(block);
}

void CellEditCommand::redo()
{
    sheet->applyChanges(changes, Spreadsheet::ChangeSide::After);
    // Stepping through the history shows where each step changed the grid;
    // the edit itself is made where the user is looking.
    if (done)
        sheet->showChangedBlock(block);
    done = true;
}
