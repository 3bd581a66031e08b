#pragma once

#include <QString>

#include <vector>

// One position's content before and after an edit. A position without an
// item and one whose item holds the empty text read the same, but they are
// kept apart so that undoing gives back exactly the grid that was.
struct CellChange
{
    int row = 0;
    int column = 0;
    bool hadItem = false;
    bool hasItem = false;
    QString before;
    QString after;
};

using CellChanges = std::vector<CellChange>;
