// Random, mutated and oversized text tables fed to the stream reader, under
// the sanitizers: it must never crash or hang, must give the same tables
// whatever pieces the input arrives in, must agree with a plain whole-text
// reading of tab-separated text, must keep within the grid's bounds and
// allocate in proportion to its input, never to what the input claims; and
// what the writer produces must read back as the rows it was given.
#include "allocationtracking.h"
#include "textdevices.h"
#include "texttablewriter.h"

#include <QtTest>

#include <random>

namespace {

using Rows = std::vector<QStringList>;

// What a whole-text reading of tab-separated text gives: its tables in the
// form of describeTables(), and the line of a field or line too long (0
// for none).
std::pair<QString, qint64> referenceTabTables(const QByteArray &bytes)
{
    // fromUtf8 drops a byte-order mark at the start itself.
    const QString text = QString::fromUtf8(bytes);
    QStringList lines = text.split(u'\n');
    if (text.isEmpty() || text.endsWith(u'\n'))
        lines.removeLast();
    QStringList out;
    QStringList rows;
    int first = 0;
    const auto endTable = [&] {
        if (!rows.isEmpty())
            out.append(QString::number(first) + u':' + rows.join(u'/'));
        rows.clear();
    };
    for (int i = 0; i < lines.size(); ++i) {
        QString line = lines.at(i);
        bool tooLong = line.size() > TextTableReader::MaxLineLength;
        if (line.endsWith(u'\r'))
            line.chop(1);
        const QStringList fields = line.split(u'\t');
        for (const QString &field : fields)
            tooLong = tooLong || field.size() > GridSize::MaxTextLength;
        if (tooLong)
            return {out.join(QStringLiteral("//")), i + 1};
        if (line.count(u' ') == line.size()) {
            endTable();
            continue;
        }
        if (rows.isEmpty())
            first = i + 1;
        if (rows.size() < GridSize::Rows)
            rows.append(fields.mid(0, GridSize::Columns).join(u'|'));
    }
    endTable();
    return {out.join(QStringLiteral("//")), 0};
}

class Generator final
{
public:
    explicit Generator(quint32 seed) : rng(seed) {}

    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); }

    // Bytes drawn mostly from what tables are made of.
    QByteArray tableBytes(int maxLength)
    {
        static const char *const pool[] = {
            "\t", ",", "\n", "\r", "\r\n", "\"", "\"\"", " ", "  ", std::string_view("\0", 1).data(),
            "1", "23", "=A1*2", "x", "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\xA7\xAC", "\xEF\xBB\xBF",
            "\xE2\x82", "\x80", "\xFF", "\n\n", "'=1"};
        QByteArray bytes;
        const int n = below(maxLength + 1);
        while (bytes.size() < n) {
            const int pick = below(int(std::size(pool)) + 4);
            if (pick >= int(std::size(pool)))
                bytes += char(below(256));
            else if (pick == 9)
                bytes += '\0';
            else
                bytes += pool[pick];
        }
        return bytes;
    }

    // A field that a cell may hold, with everything that needs care.
    QString field()
    {
        static const char16_t pool[] = {u'1', u'=', u'A', u' ', u'\t', u'\n', u'\r', u',', u'"', u'\'',
                                        0xFEFF, 0, u'\u00e9'};
        QString text;
        const int n = below(5) == 0 ? 0 : below(8);
        for (int i = 0; i < n; ++i) {
            const int pick = below(int(std::size(pool)) + 1);
            if (pick < int(std::size(pool)))
                text.append(QChar(pool[pick]));
            else if (below(8) == 0)
                text.append(QChar(below(2) ? 0xD83E : 0xDDEC));  // half a pair
            else
                text.append(QStringLiteral("\U0001F9EC"));
        }
        return text;
    }

    Rows rows()
    {
        Rows result(std::size_t(1 + below(6)));
        for (QStringList &row : result) {
            const int width = below(5);
            for (int c = 0; c < width; ++c)
                row.append(field());
        }
        return result;
    }

    // Damage to a text table: bytes changed, cut or repeated, and fields or
    // lines stretched to either side of the limits.
    QByteArray mutate(QByteArray bytes)
    {
        if (bytes.isEmpty())
            return tableBytes(64);
        const int at = below(int(bytes.size()));
        switch (below(7)) {
        case 0:
            bytes[at] = char(below(256));
            break;
        case 1:
            bytes.truncate(at);
            break;
        case 2:
            bytes.insert(at, bytes.mid(below(int(bytes.size()))));
            break;
        case 3: // a field around the longest
            bytes.insert(at, QByteArray(GridSize::MaxTextLength - 2 + below(5), char("x\0 \""[below(4)])));
            break;
        case 4: // a line of many separators
            bytes.insert(at, QByteArray(GridSize::Columns + below(2000), below(2) ? '\t' : ','));
            break;
        case 5: // many rows
            bytes.insert(at, QByteArray(GridSize::Rows - 3 + below(8), '\n').replace("\n", "1\t\n"));
            break;
        default:
            bytes.insert(at, tableBytes(40));
            break;
        }
        return bytes;
    }

private:
    std::mt19937 rng;
};

} // namespace

class TestTextTableFuzz final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void randomAndDamagedTables();
    void writtenRowsReadBack();
    void linesAroundTheLongest();
};

void TestTextTableFuzz::initTestCase()
{
#ifdef VELMORA_TRACK_ALLOCATIONS
    allocations::install();
#endif
}

void TestTextTableFuzz::randomAndDamagedTables()
{
    constexpr int kCases = 6000;
    Generator gen(20240612);
    int tables = 0;
    int refused = 0;
    for (int i = 0; i < kCases; ++i) {
        QByteArray bytes = gen.tableBytes(gen.below(8) == 0 ? 3000 : 200);
        for (int m = gen.below(3); m > 0; --m)
            bytes = gen.mutate(bytes);
        const FieldSeparator separator = gen.below(2) ? FieldSeparator::Tab : FieldSeparator::Comma;
        const QString context = QStringLiteral("case %1, %2 bytes: %3")
                                    .arg(i)
                                    .arg(bytes.size())
                                    .arg(QString::fromLatin1(bytes.left(48).toHex()));

#ifdef VELMORA_TRACK_ALLOCATIONS
        allocations::start();
#endif
        TrickleDevice whole(bytes, 1 << 30);
        TextTableReader reader(whole, separator, QStringLiteral("fuzz"));
        TextTable table;
        QStringList described;
        qint64 lastLine = 0;
        const qint64 lines = bytes.count('\n') + 1;
        while (reader.next(table)) {
            ++tables;
            if (table.firstLine() <= lastLine || table.firstLine() > lines || table.rowCount() < 1
                || table.rowCount() > GridSize::Rows || table.columnCount() > GridSize::Columns)
                QFAIL(qPrintable(QStringLiteral("table out of bounds; ") + context));
            for (int r = 0; r < table.rowCount(); ++r) {
                if (table.fieldCount(r) > table.columnCount())
                    QFAIL(qPrintable(QStringLiteral("row wider than its table; ") + context));
                for (int c = 0; c < table.fieldCount(r); ++c) {
                    if (table.field(r, c).size() > GridSize::MaxTextLength)
                        QFAIL(qPrintable(QStringLiteral("field too long; ") + context));
                }
            }
            lastLine = table.firstLine();
            QStringList rows;
            for (int r = 0; r < table.rowCount(); ++r)
                rows.append(table.rowFields(r).join(u'|'));
            described.append(QString::number(table.firstLine()) + u':' + rows.join(u'/'));
        }
        const QString tablesRead = described.join(QStringLiteral("//"));
        if (reader.failed()) {
            ++refused;
            if (reader.errorLine() < 1 || reader.errorLine() > lines)
                QFAIL(qPrintable(QStringLiteral("error names line %1; ").arg(reader.errorLine()) + context));
            described.append(u'!' + reader.errorString());
        }
#ifdef VELMORA_TRACK_ALLOCATIONS
        allocations::stop();
        // The chunk, its decoding and one table of the input's characters.
        if (allocations::largest > 4 * size_t(bytes.size()) + (1u << 20))
            QFAIL(qPrintable(QStringLiteral("allocation of %1 bytes; ").arg(allocations::largest.load()) + context));
#endif
        const QString result = described.join(QStringLiteral("//"));

        // The same tables, arriving in pieces.
        const qint64 piece = bytes.size() < 400 ? 1 + gen.below(3) : 1 + gen.below(5000);
        const QString trickled = describeTables(bytes, separator, piece);
        if (trickled != result)
            QFAIL(qPrintable(QStringLiteral("pieces of %1 read differently; ").arg(piece) + context));
        if (separator == FieldSeparator::Tab
            && referenceTabTables(bytes) != std::make_pair(tablesRead, reader.errorLine()))
            QFAIL(qPrintable(QStringLiteral("differs from a whole-text reading; ") + context));
    }
    qInfo("%d tables read, %d inputs refused", tables, refused);
    QVERIFY(tables > kCases);
    QVERIFY(refused > kCases / 50);
}

// Rows of awkward fields: what the writer accepts reads back the same, and
// what it refuses has the reason it gives.
void TestTextTableFuzz::writtenRowsReadBack()
{
    Generator gen(20240613);
    int written = 0;
    for (int i = 0; i < 4000; ++i) {
        const Rows rows = gen.rows();
        for (FieldSeparator separator : {FieldSeparator::Tab, FieldSeparator::Comma}) {
            QString text;
            const TextTableWrite result = formatTextTable(rows, separator, text);
            if (!result.ok()) {
                const QString &field = rows[std::size_t(result.row)].at(result.column);
                const bool breaks = field.contains(u'\t') || field.contains(u'\n') || field.contains(u'\r');
                const bool expected = result.problem == TextTableWrite::Problem::TabOrLineBreak
                                          ? separator == FieldSeparator::Tab && breaks
                                          : result.problem == TextTableWrite::Problem::LoneSurrogate
                                                && !field.isValidUtf16();
                if (!expected)
                    QFAIL(qPrintable(QStringLiteral("case %1: a field refused for no reason").arg(i)));
                continue;
            }
            ++written;
            QBuffer buffer;
            buffer.setData(text.toUtf8());
            buffer.open(QIODevice::ReadOnly);
            TextTableReader reader(buffer, separator, QStringLiteral("written"));
            TextTable table;
            const bool any = reader.next(table);
            // Rows compared up to their last non-empty field; a text of
            // empty rows only is no table.
            Rows expected = rows;
            for (QStringList &row : expected) {
                while (!row.isEmpty() && row.last().isEmpty())
                    row.removeLast();
            }
            const bool allEmpty = std::all_of(expected.begin(), expected.end(),
                                              [](const QStringList &row) { return row.isEmpty(); });
            if (!any) {
                if (!allEmpty && !text.isEmpty())
                    QFAIL(qPrintable(QStringLiteral("case %1: no table read back").arg(i)));
                continue;
            }
            Rows back;
            for (int r = 0; r < table.rowCount(); ++r) {
                QStringList row = table.rowFields(r);
                while (!row.isEmpty() && row.last().isEmpty())
                    row.removeLast();
                back.push_back(row);
            }
            TextTable more;
            if (back != expected || reader.next(more) || reader.failed())
                QFAIL(qPrintable(QStringLiteral("case %1 read back differently: ").arg(i) + text.toHtmlEscaped()));
        }
    }
    QVERIFY(written > 2000);
}

// Lines of separators and fields of every length near the limits, in
// pieces that cut them anywhere: refused exactly past the limits.
void TestTextTableFuzz::linesAroundTheLongest()
{
    Generator gen(20240614);
    for (int i = 0; i < 12; ++i) {
        const bool tab = i % 2 == 0;
        const qsizetype length = TextTableReader::MaxLineLength - 2 + gen.below(5);
        const QByteArray line = QByteArray("7\n") + QByteArray(length, tab ? '\t' : ',') + "\n";
        const QString described = describeTables(line, tab ? FieldSeparator::Tab : FieldSeparator::Comma,
                                                 1 + gen.below(100000));
        const bool refused = described.contains(u'!');
        QCOMPARE(refused, length > TextTableReader::MaxLineLength);
        if (refused)
            QVERIFY(described.contains(QStringLiteral("!Line 2 is longer")));
    }
    for (int i = 0; i < 40; ++i) {
        const qsizetype length = GridSize::MaxTextLength - 3 + gen.below(6);
        const char fill = "x\0 \""[gen.below(4)];
        const bool csv = gen.below(2) == 0;
        QByteArray field(length, fill);
        if (csv && fill == '"')
            field = '"' + field.replace("\"", "\"\"") + '"';
        const QByteArray text = "1\n" + field + (gen.below(2) ? "\r\n" : "");
        const QString described = describeTables(text, csv ? FieldSeparator::Comma : FieldSeparator::Tab,
                                                 1 + gen.below(70000));
        QCOMPARE(described.contains(QStringLiteral("!Line 2 holds a field")), length > GridSize::MaxTextLength);
    }
}

QTEST_APPLESS_MAIN(TestTextTableFuzz)
#include "test_texttable_fuzz.moc"
