#pragma once

#include "gridsize.h"
#include "texttable.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QString>
#include <QStringDecoder>

class QIODevice;

// Reads the tables of a text file one at a time, in chunks, so that a batch
// of any length never sits in memory at once and an endless or hostile
// input costs no more than one table of the grid's size.
//
// Rows end at line feeds (a carriage return before one is dropped); fields
// are split at tabs, or at commas with the usual double-quote quoting, where
// a quoted field may hold commas, quotes ("") and line breaks. A line holding
// nothing but spaces separates tables; a line of separators alone is a row
// of empty fields. The text is UTF-8; a byte-order mark at its start is
// dropped. A field longer than a cell holds, or a line far longer than the
// grid's columns can hold, stops the reading with a message naming the line.
class TextTableReader final
{
    Q_DECLARE_TR_FUNCTIONS(TextTableReader)

public:
    // Bytes asked of the device at a time.
    static constexpr qint64 ChunkBytes = 64 * 1024;
    // Every column of the grid holding the longest field, quoted, with each
    // character a doubled quote, and its separator: no table line the grid
    // can hold is longer.
    static constexpr qsizetype MaxLineLength = qsizetype(GridSize::Columns) * (2 * GridSize::MaxTextLength + 3);

    // Reads `device`, which is open; `name` is the file's name in messages.
    TextTableReader(QIODevice &device, FieldSeparator separator, const QString &name);

    // Fills `table` with the next table. False at the end of the input, or
    // when the reading stopped on an error (failed() tells).
    bool next(TextTable &table);

    bool failed() const { return !error.isEmpty(); }
    // Why the reading stopped, naming the line; empty when it did not.
    QString errorString() const { return error; }
    // The 1-based line the error names; 0 for a failed read.
    qint64 errorLine() const { return badLine; }
    // Tables handed out so far.
    qint64 tablesRead() const { return tables; }

private:
    enum class Record { Row, Blank, End, Error };

    Record readTabRecord(TextTable &table);
    Record readCsvRecord(TextTable &table);
    // Ends a record after its last field: at the line feed (stepped over)
    // or the end of the input; a blank line separates tables.
    Record endRecord(TextTable &table, bool atLineFeed, bool blank);

    // The character at the reading position; false at the end of the input
    // or after a failed read.
    bool peek(QChar &c);
    bool fill();
    // Steps over the character at the reading position, counting it in the
    // line's length.
    bool consume();
    // Counts characters in the line's length; false past the longest line.
    bool lengthen(qsizetype count);

    void beginRow(TextTable &table);
    void beginField(TextTable &table);
    bool append(TextTable &table, QChar c);
    bool append(TextTable &table, const QChar *data, qsizetype count);
    bool endField(TextTable &table);
    void endRow(TextTable &table);
    void dropRow(TextTable &table);

    bool failLine(const QString &message);
    bool failLongField();

    QIODevice &device;
    const FieldSeparator separator;
    const QString name;
    QStringDecoder decoder;

    QByteArray raw;           // bytes read, a character cut by the chunk's end carried over
    qsizetype carried = 0;
    bool inputEnded = false;
    bool bomChecked = false;
    QString buffer;           // decoded characters
    qsizetype pos = 0;        // reading position in buffer

    qint64 line = 1;          // line of the reading position
    qint64 tables = 0;
    QString error;
    qint64 badLine = 0;

    // The record being read.
    qint64 recordLine = 1;
    qsizetype recordLength = 0;
    qint64 rowsSeen = 0;      // rows of the current table, kept or not
    bool keepRow = false;
    int column = 0;
    qsizetype rowText = 0;    // where the row starts in the table
    std::size_t rowFields = 0;
    CellBlock rowUsed;        // the table's block before the row
    qsizetype fieldStart = 0;
};
