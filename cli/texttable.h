#pragma once

#include "cellblock.h"

#include <QString>
#include <QStringList>

#include <vector>

// One table of a text file: its rows of fields, each field a cell's
// formula text, the first field belonging in A1.
struct TextTable
{
    int firstLine = 1;              // 1-based line of the file where it starts
    std::vector<QStringList> rows;

    // The bounding box of the non-empty fields, as grid positions.
    CellBlock usedBlock() const;
};

enum class FieldSeparator { Tab, Comma };

// Splits a text into tables. Rows end at line feeds (a carriage return
// before one is dropped); fields are split at tabs, or at commas with the
// usual double-quote quoting, where a quoted field may hold commas, quotes
// ("") and line breaks. A line holding nothing but spaces separates tables;
// a line of separators alone is a row of empty fields.
std::vector<TextTable> parseTextTables(const QString &text, FieldSeparator separator);

// Writes rows as a text table that parseTextTables reads back as one table
// with the same fields. Each row ends after its last non-empty field; a row
// that would read as a blank line gets a trailing separator. A tab-separated
// field cannot hold a tab, a line feed or a carriage return: false, with
// the 0-based position of the first such field in badRow, badColumn.
bool formatTextTable(const std::vector<QStringList> &rows, FieldSeparator separator, QString &out,
                     int *badRow = nullptr, int *badColumn = nullptr);
