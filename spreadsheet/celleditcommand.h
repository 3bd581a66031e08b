#pragma once

#include "cellblock.h"
#include "cellchange.h"

#include <QUndoCommand>

class Spreadsheet;

// One step of the grid's history: the cells one edit changed (typing, paste,
// cut, delete, sort), each with its text before and after. Undo and redo
// write them back in one batch, so the grid recalculates and announces the
// change once, however many cells the step holds.
class CellEditCommand final : public QUndoCommand
{
public:
    CellEditCommand(Spreadsheet *sheet, const QString &name, CellChanges changes);

    void undo() override;
    void redo() override;

    int cellCount() const { return int(changes.size()); }

private:
    Spreadsheet *sheet;
    CellChanges changes;
    CellBlock block;     // the changed cells' bounding box, shown after undo and redo
    bool done = false;   // the first redo is the edit itself, made where the user looks
};
