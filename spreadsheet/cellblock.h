#pragma once

#include <QString>

#include <optional>

// A rectangle of grid cells, 0-based and inclusive, as a selection covers
// it; written as the test dialog writes it ("B2:D7").
struct CellBlock
{
    int top = 0;
    int left = 0;
    int bottom = -1;
    int right = -1;

    bool isEmpty() const { return bottom < top || right < left; }
    int rows() const { return isEmpty() ? 0 : bottom - top + 1; }
    int columns() const { return isEmpty() ? 0 : right - left + 1; }

    // "B2:D7"; the empty string for an empty block.
    QString text() const;

    // The name of one cell, such as "D7" (0-based row and column).
    static QString cellName(int row, int column);

    // Reads a range text: a column letter and a row number 1 to 999 at each
    // corner, letters in either case; corners in any order. Nothing for any
    // other text.
    static std::optional<CellBlock> parse(const QString &text);

    // Grows the block to cover (row, column).
    void include(int row, int column);

    // The block without its first row and first column (where the names of
    // a risk-cluster table stand); empty when nothing is left.
    CellBlock withoutNames() const;
};
