#pragma once

#include "cellblock.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <vector>

enum class FieldSeparator { Tab, Comma };

// One table of a text file, as a TextTableReader hands it out: its rows of
// fields, each field a cell's formula text, the first field belonging in
// A1. The fields live back to back in one string, so that a table costs a
// few allocations however many fields it has, and moving it is cheap.
//
// Only what the grid can hold is kept: rows past the grid's last row and
// fields past its last column are dropped, but a non-empty one still counts
// in usedBlock(), so that a table too large for the grid is told apart.
class TextTable final
{
public:
    // 1-based line of the file where the table starts.
    int firstLine() const { return line; }

    // Kept rows, and the most fields any kept row has.
    int rowCount() const { return int(rowEnds.size()); }
    int columnCount() const { return width; }
    int fieldCount(int row) const;
    // Empty beyond the row's fields.
    QStringView field(int row, int column) const;
    QStringList rowFields(int row) const;

    // The bounding box of the non-empty fields, those outside the grid
    // included.
    const CellBlock &usedBlock() const { return used; }
    bool fitsGrid() const;

    void clear();

private:
    friend class TextTableReader;

    qsizetype fieldBegin(qsizetype index) const { return index == 0 ? 0 : fieldEnds[std::size_t(index - 1)]; }
    qsizetype rowBegin(int row) const { return row == 0 ? 0 : rowEnds[std::size_t(row - 1)]; }

    int line = 1;
    QString text;                        // every kept field, back to back
    std::vector<qsizetype> fieldEnds;    // where each kept field ends in text
    std::vector<qsizetype> rowEnds;      // the number of kept fields up to each row's end
    int width = 0;
    CellBlock used;
};
