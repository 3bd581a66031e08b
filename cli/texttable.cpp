#include "texttable.h"

namespace {

bool isBlank(QStringView line)
{
    for (QChar c : line) {
        if (c != u' ')
            return false;
    }
    return true;
}

// One row as read, before the rows are grouped into tables.
struct Record
{
    int line = 1;
    bool blank = false;
    QStringList fields;
};

std::vector<Record> readTabRecords(const QString &text)
{
    std::vector<Record> records;
    int lineNumber = 1;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf(u'\n', start);
        const qsizetype next = end < 0 ? text.size() : end + 1;
        if (end < 0)
            end = text.size();
        QStringView line = QStringView(text).mid(start, end - start);
        if (line.endsWith(u'\r'))
            line.chop(1);
        Record record;
        record.line = lineNumber;
        record.blank = isBlank(line);
        if (!record.blank) {
            for (QStringView field : line.split(u'\t'))
                record.fields.append(field.toString());
        }
        records.push_back(std::move(record));
        ++lineNumber;
        start = next;
    }
    return records;
}

// Comma-separated records with double-quote quoting (RFC 4180), read
// leniently: text after a closing quote joins the field, and a quote left
// open runs to the end of the text.
std::vector<Record> readCsvRecords(const QString &text)
{
    std::vector<Record> records;
    const qsizetype size = text.size();
    int lineNumber = 1;
    qsizetype pos = 0;
    while (pos < size) {
        Record record;
        record.line = lineNumber;

        qsizetype lineEnd = text.indexOf(u'\n', pos);
        if (lineEnd < 0)
            lineEnd = size;
        QStringView line = QStringView(text).mid(pos, lineEnd - pos);
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (isBlank(line)) {
            record.blank = true;
            records.push_back(std::move(record));
            ++lineNumber;
            pos = lineEnd + 1;
            continue;
        }

        QString field;
        bool recordDone = false;
        while (!recordDone) {
            // One field from pos.
            if (pos < size && text.at(pos) == u'"') {
                ++pos;
                while (pos < size) {
                    const QChar c = text.at(pos);
                    if (c == u'"') {
                        if (pos + 1 < size && text.at(pos + 1) == u'"') {
                            field += u'"';
                            pos += 2;
                            continue;
                        }
                        ++pos;
                        break;
                    }
                    if (c == u'\n')
                        ++lineNumber;
                    field += c;
                    ++pos;
                }
            }
            // Unquoted text, or what follows a closing quote.
            while (pos < size) {
                const QChar c = text.at(pos);
                if (c == u',' || c == u'\n')
                    break;
                if (c == u'\r' && (pos + 1 == size || text.at(pos + 1) == u'\n')) {
                    ++pos;
                    continue;
                }
                field += c;
                ++pos;
            }
            record.fields.append(field);
            field.clear();
            if (pos < size && text.at(pos) == u',') {
                ++pos;
                continue;
            }
            // A line feed or the end of the text ends the record.
            if (pos < size) {
                ++pos;
                ++lineNumber;
            }
            recordDone = true;
        }
        records.push_back(std::move(record));
    }
    return records;
}

} // namespace

CellBlock TextTable::usedBlock() const
{
    CellBlock block;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const QStringList &fields = rows[r];
        for (qsizetype c = 0; c < fields.size(); ++c) {
            if (!fields.at(c).isEmpty())
                block.include(int(r), int(c));
        }
    }
    return block;
}

std::vector<TextTable> parseTextTables(const QString &text, FieldSeparator separator)
{
    const std::vector<Record> records =
        separator == FieldSeparator::Tab ? readTabRecords(text) : readCsvRecords(text);
    std::vector<TextTable> tables;
    bool inTable = false;
    for (const Record &record : records) {
        if (record.blank) {
            inTable = false;
            continue;
        }
        if (!inTable) {
            tables.emplace_back();
            tables.back().firstLine = record.line;
            inTable = true;
        }
        tables.back().rows.push_back(record.fields);
    }
    return tables;
}

bool formatTextTable(const std::vector<QStringList> &rows, FieldSeparator separator, QString &out,
                     int *badRow, int *badColumn)
{
    const QChar sep = separator == FieldSeparator::Tab ? QChar(u'\t') : QChar(u',');
    out.clear();
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const QStringList &fields = rows[r];
        qsizetype used = fields.size();
        while (used > 0 && fields.at(used - 1).isEmpty())
            --used;
        QString line;
        for (qsizetype c = 0; c < used; ++c) {
            const QString &field = fields.at(c);
            if (c > 0)
                line += sep;
            const bool special = field.contains(u'\n') || field.contains(u'\r');
            if (separator == FieldSeparator::Tab) {
                if (special || field.contains(u'\t')) {
                    if (badRow)
                        *badRow = int(r);
                    if (badColumn)
                        *badColumn = int(c);
                    return false;
                }
                line += field;
            } else if (special || field.contains(u',') || field.contains(u'"')
                       || (used == 1 && isBlank(field))) {
                // A lone field of spaces would read as a blank line.
                line += u'"' + QString(field).replace(u'"', QStringLiteral("\"\"")) + u'"';
            } else {
                line += field;
            }
        }
        if (isBlank(line))
            line += sep;
        out += line;
        out += u'\n';
    }
    return true;
}
