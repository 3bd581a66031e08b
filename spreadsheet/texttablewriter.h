#pragma once

#include "texttable.h"

#include <QString>
#include <QStringList>

#include <vector>

// The outcome of writing rows as a text table: the first cell (0-based
// position) that such a file cannot carry so that it reads back the same.
struct TextTableWrite
{
    enum class Problem {
        None,
        TabOrLineBreak,   // a tab-separated field cannot hold a tab, line feed or carriage return
        TooLong,          // longer than a text table's field may be
        LoneSurrogate     // UTF-8 cannot encode it
    };

    Problem problem = Problem::None;
    int row = 0;
    int column = 0;

    bool ok() const { return problem == Problem::None; }
};

// Writes rows as a text table that TextTableReader reads back as one table
// with the same fields. Each row ends after its last non-empty field; a row
// that would read as a blank line gets a trailing separator. `out` is
// complete only when the result is ok().
TextTableWrite formatTextTable(const std::vector<QStringList> &rows, FieldSeparator separator,
                               QString &out);
