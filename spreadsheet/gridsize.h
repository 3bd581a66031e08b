#pragma once

#include <QtGlobal>

// The size of the grid and of what it can hold, for the code that reads
// and writes its contents without a widget.
namespace GridSize {

constexpr int Rows = 999;
constexpr int Columns = 26;

// The longest cell text that files carry: what the grid's cell editor (a
// line edit, 32,767 characters at most) can take. A longer field in a text
// table is no value anyone typed; refusing it bounds what one table holds.
constexpr int MaxTextLength = 32767;

// The largest document the grid can use: the magic number and every cell
// holding a text of the longest length (a record is 8 bytes and two per
// character). A larger file is refused before it is read.
constexpr qint64 MaxDocumentBytes = 4 + qint64(Rows) * Columns * (8 + 2 * qint64(MaxTextLength));

} // namespace GridSize
