#include "texttablereader.h"

#include <QIODevice>

#include <algorithm>
#include <climits>
#include <cstring>

namespace {

// The length of the bytes that end on a whole UTF-8 character: a lead byte
// among the last three whose character needs more bytes than are there
// starts the part to carry over. Invalid bytes count as whole, so that they
// are decoded (as replacement characters) where they stand.
qsizetype wholeCharacters(const char *data, qsizetype size)
{
    for (qsizetype i = size - 1; i >= 0 && i >= size - 3; --i) {
        const auto byte = uchar(data[i]);
        if ((byte & 0xC0) == 0x80)
            continue;  // a continuation byte: look further back
        const qsizetype needed = byte >= 0xF0 && byte <= 0xF7 ? 4
                               : byte >= 0xE0 && byte <= 0xEF ? 3
                               : byte >= 0xC0 && byte <= 0xDF ? 2
                                                              : 1;
        return size - i < needed ? i : size;
    }
    return size;
}

bool isBlank(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c == u' '; });
}

} // namespace

TextTableReader::TextTableReader(QIODevice &device, FieldSeparator separator, const QString &name)
    : device(device), separator(separator), name(name),
      // Stateless: each chunk ends on a whole character, and the byte-order
      // mark is dropped here, at the start of the input only.
      decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom)
{
    raw.resize(ChunkBytes + 4);
}

bool TextTableReader::fill()
{
    while (pos >= buffer.size()) {
        if (inputEnded || failed())
            return false;
        buffer.resize(0);
        pos = 0;
        const qint64 got = device.read(raw.data() + carried, ChunkBytes);
        if (got < 0) {
            error = tr("Cannot read file %1:\n%2.").arg(name, device.errorString());
            return false;
        }
        const qsizetype size = carried + qsizetype(got);
        // At the end of the input a cut character is decoded as it is.
        const qsizetype whole = got == 0 ? size : wholeCharacters(raw.constData(), size);
        inputEnded = got == 0;
        // UTF-8 never takes fewer bytes than UTF-16 code units.
        buffer.resize(whole);
        const QChar *end = decoder.appendToBuffer(buffer.data(), QByteArrayView(raw.constData(), whole));
        buffer.resize(end - buffer.constData());
        carried = size - whole;
        std::memmove(raw.data(), raw.constData() + whole, std::size_t(carried));
        if (!bomChecked && !buffer.isEmpty()) {
            bomChecked = true;
            if (buffer.at(0) == QChar(0xFEFF))
                pos = 1;
        }
    }
    return true;
}

bool TextTableReader::peek(QChar &c)
{
    if (pos >= buffer.size() && !fill())
        return false;
    c = buffer.at(pos);
    return true;
}

bool TextTableReader::failLine(const QString &message)
{
    error = message;
    badLine = recordLine;
    return false;
}

bool TextTableReader::lengthen(qsizetype count)
{
    if (count > MaxLineLength - recordLength) {
        return failLine(tr("Line %1 is longer than %2 characters, far more than the %3 columns of "
                           "the grid can hold.")
                            .arg(recordLine)
                            .arg(MaxLineLength)
                            .arg(GridSize::Columns));
    }
    recordLength += count;
    return true;
}

bool TextTableReader::consume()
{
    ++pos;
    return lengthen(1);
}

bool TextTableReader::append(TextTable &table, const QChar *data, qsizetype count)
{
    // One character of room beyond the longest field: a tab-separated line's
    // carriage return is dropped only at the line's end.
    if (table.text.size() - fieldStart + count > GridSize::MaxTextLength + 1)
        return failLongField();
    table.text.append(data, count);
    return true;
}

bool TextTableReader::failLongField()
{
    return failLine(tr("Line %1 holds a field of more than %2 characters, more than a cell holds.")
                        .arg(recordLine)
                        .arg(GridSize::MaxTextLength));
}

bool TextTableReader::append(TextTable &table, QChar c)
{
    return append(table, &c, 1);
}

void TextTableReader::beginRow(TextTable &table)
{
    recordLine = line;
    recordLength = 0;
    column = 0;
    keepRow = rowsSeen < GridSize::Rows;
    rowText = table.text.size();
    rowFields = table.fieldEnds.size();
    rowUsed = table.used;
}

void TextTableReader::beginField(TextTable &table)
{
    fieldStart = table.text.size();
}

bool TextTableReader::endField(TextTable &table)
{
    if (table.text.size() - fieldStart > GridSize::MaxTextLength)
        return failLongField();
    if (table.text.size() > fieldStart) {
        // Past int's range the row is far outside the grid anyway.
        table.used.include(int(std::min<qint64>(rowsSeen, 1 << 30)), column);
    }
    if (keepRow && column < GridSize::Columns)
        table.fieldEnds.push_back(table.text.size());
    else
        table.text.resize(fieldStart);
    ++column;
    return true;
}

void TextTableReader::endRow(TextTable &table)
{
    if (rowsSeen == 0)
        table.line = int(std::min<qint64>(recordLine, INT_MAX));
    if (keepRow) {
        table.rowEnds.push_back(qsizetype(table.fieldEnds.size()));
        table.width = std::max(table.width, int(table.fieldEnds.size() - rowFields));
    }
    ++rowsSeen;
}

void TextTableReader::dropRow(TextTable &table)
{
    table.text.resize(rowText);
    table.fieldEnds.resize(rowFields);
    table.used = rowUsed;
}

TextTableReader::Record TextTableReader::endRecord(TextTable &table, bool atLineFeed, bool blank)
{
    if (atLineFeed) {
        ++pos;
        ++line;
    }
    if (blank) {
        dropRow(table);
        return Record::Blank;
    }
    endRow(table);
    return Record::Row;
}

TextTableReader::Record TextTableReader::readTabRecord(TextTable &table)
{
    QChar c;
    if (!peek(c))
        return failed() ? Record::Error : Record::End;
    beginRow(table);
    for (;;) {
        beginField(table);
        bool atSeparator = false;
        // Whole runs of ordinary characters at a time.
        while (pos < buffer.size() || fill()) {
            const QChar *data = buffer.constData();
            qsizetype end = pos;
            while (end < buffer.size() && data[end] != u'\t' && data[end] != u'\n')
                ++end;
            if (!lengthen(end - pos) || !append(table, data + pos, end - pos))
                return Record::Error;
            pos = end;
            if (end < buffer.size()) {
                atSeparator = true;
                c = data[end];
                break;
            }
        }
        if (failed())
            return Record::Error;
        if (atSeparator && c == u'\t') {
            if (!consume() || !endField(table))
                return Record::Error;
            continue;
        }
        // The end of the line, or of the input.
        if (table.text.size() > fieldStart && table.text.back() == u'\r')
            table.text.chop(1);
        const bool blank = column == 0 && isBlank(QStringView(table.text).mid(fieldStart));
        if (!endField(table))
            return Record::Error;
        return endRecord(table, atSeparator, blank);
    }
}

TextTableReader::Record TextTableReader::readCsvRecord(TextTable &table)
{
    QChar c;
    if (!peek(c))
        return failed() ? Record::Error : Record::End;
    beginRow(table);
    bool blank = true;  // so far one unquoted field of spaces
    for (;;) {
        beginField(table);
        if (peek(c) && c == u'"') {
            blank = false;
            if (!consume())
                return Record::Error;
            // A quote left open runs to the end of the input.
            while (peek(c)) {
                if (!consume())
                    return Record::Error;
                if (c == u'"') {
                    QChar next;
                    if (!peek(next) || next != u'"')
                        break;
                    if (!consume())
                        return Record::Error;
                } else if (c == u'\n') {
                    ++line;
                }
                if (!append(table, c))
                    return Record::Error;
            }
        }
        // Unquoted text, or text after a closing quote, which joins the
        // field.
        while (peek(c) && c != u',' && c != u'\n') {
            if (!consume())
                return Record::Error;
            if (c == u'\r') {
                QChar next;
                if (!peek(next) || next == u'\n')
                    continue;  // a line end's carriage return
            }
            blank = blank && c == u' ';
            if (!append(table, c))
                return Record::Error;
        }
        if (failed() || !endField(table))
            return Record::Error;
        if (peek(c) && c == u',') {
            blank = false;
            if (!consume())
                return Record::Error;
            continue;
        }
        if (failed())
            return Record::Error;
        return endRecord(table, pos < buffer.size(), blank);
    }
}

bool TextTableReader::next(TextTable &table)
{
    table.clear();
    rowsSeen = 0;
    if (failed())
        return false;
    for (;;) {
        const Record record = separator == FieldSeparator::Tab ? readTabRecord(table) : readCsvRecord(table);
        switch (record) {
        case Record::Row:
            break;
        case Record::Blank:
            if (rowsSeen > 0) {
                ++tables;
                return true;
            }
            break;
        case Record::End:
            if (rowsSeen > 0) {
                ++tables;
                return true;
            }
            return false;
        case Record::Error:
            table.clear();
            return false;
        }
    }
}
