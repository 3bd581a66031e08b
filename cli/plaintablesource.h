#pragma once

#include "cellsource.h"
#include "texttable.h"

#include <QStringView>

// A text table whose every field is a plain count, read by the checks as
// the grid would show it once placed: a field such as "123" shows exactly
// "123", so the table itself answers for the grid and no cell, formula or
// recalculation is needed. Positions without a field are empty cells.
class PlainTableSource final : public CellSource
{
public:
    explicit PlainTableSource(const TextTable &table) : table(table) {}

    bool hasItem(int row, int column) const override { return !table.field(row, column).isEmpty(); }
    QString text(int row, int column) const override { return table.field(row, column).toString(); }
    bool plainCount(int row, int column, int &value) const override;

    // Digits alone, without a leading zero (but "0"), at most 15 of them:
    // the grid reads such a text as a number and shows it with up to 15
    // significant digits, which gives back the very same text. Anything
    // else (a sign, a space, a point, an exponent, a formula, text) may
    // show otherwise and goes through the grid.
    static bool isPlainCount(QStringView field);

    // Whether every non-empty field of the table is a plain count and the
    // table fits the grid, so that the grid would show the table as it is.
    static bool isPlain(const TextTable &table);

private:
    const TextTable &table;
};
