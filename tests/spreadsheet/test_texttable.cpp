// Text tables: what the reader makes of tab- and comma-separated text,
// whole or trickling in, where it stops a hostile input, and what the writer
// produces for it to read back.
#include "textdevices.h"
#include "texttablewriter.h"

#include <QtTest>

Q_DECLARE_METATYPE(FieldSeparator)

namespace {

using Rows = std::vector<QStringList>;

constexpr auto kTab = FieldSeparator::Tab;
constexpr auto kComma = FieldSeparator::Comma;

// The rows of the only table of `text`, or none when it holds another
// number of tables or an error.
Rows onlyTable(const QString &text, FieldSeparator separator)
{
    QBuffer buffer;
    buffer.setData(text.toUtf8());
    buffer.open(QIODevice::ReadOnly);
    TextTableReader reader(buffer, separator, QStringLiteral("input"));
    TextTable table;
    Rows rows;
    if (!reader.next(table))
        return rows;
    for (int row = 0; row < table.rowCount(); ++row)
        rows.push_back(table.rowFields(row));
    TextTable more;
    if (reader.next(more) || reader.failed())
        return Rows();
    return rows;
}

QString fieldError(int line)
{
    return QStringLiteral("!Line %1 holds a field of more than 32767 characters, more than a cell holds.")
        .arg(line);
}

} // namespace

class TestTextTable final : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void limits_data();
    void limits();
    void gridBounds();
    void endlessInputStops_data();
    void endlessInputStops();
    void batchIsReadAsItGoes();
    void failedReadIsTold();
    void writerRoundTrip_data();
    void writerRoundTrip();
    void writerRefusals();
    void leadingByteOrderMarkSurvives();
};

void TestTextTable::parse_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<FieldSeparator>("separator");
    QTest::addColumn<QString>("tables");

    QTest::newRow("tsv rows and fields") << QByteArray("1\t2\n3\t4\n") << kTab << QStringLiteral("1:1|2/3|4");
    QTest::newRow("tsv crlf") << QByteArray("1\t2\r\n3\t4\r\n") << kTab << QStringLiteral("1:1|2/3|4");
    QTest::newRow("tsv no final newline") << QByteArray("1\t2") << kTab << QStringLiteral("1:1|2");
    QTest::newRow("tsv carriage return at the end of the input") << QByteArray("1\t2\r") << kTab
                                                                 << QStringLiteral("1:1|2");
    QTest::newRow("tsv carriage return inside a field") << QByteArray("1\r2\t\r\r\n") << kTab
                                                        << QStringLiteral("1:1\r2|\r");
    QTest::newRow("tsv blank lines separate")
        << QByteArray("\n1\n\n  \n\r\n2\t\n3\n\n") << kTab << QStringLiteral("2:1//6:2|/3");
    QTest::newRow("tsv tab-only line is a row") << QByteArray("1\n\t\n2") << kTab << QStringLiteral("1:1/|/2");
    QTest::newRow("tsv keeps quotes and commas") << QByteArray("\"a,b\"\t'x") << kTab
                                                 << QStringLiteral("1:\"a,b\"|'x");
    QTest::newRow("csv plain") << QByteArray("1,2\n3,4") << kComma << QStringLiteral("1:1|2/3|4");
    QTest::newRow("csv quoted comma and quote")
        << QByteArray("\"a,b\",\"say \"\"hi\"\"\"\n") << kComma << QStringLiteral("1:a,b|say \"hi\"");
    QTest::newRow("csv quoted line break is one field")
        << QByteArray("\"two\nlines\",x\n\n5") << kComma << QStringLiteral("1:two\nlines|x//4:5");
    QTest::newRow("csv crlf outside quotes only")
        << QByteArray("\"a\r\nb\",c\r\nd,e\r\n") << kComma << QStringLiteral("1:a\r\nb|c/d|e");
    QTest::newRow("csv carriage returns") << QByteArray("a\r\r\n \r \n\"\r\"\r") << kComma
                                          << QStringLiteral("1:a\r/ \r /\r");
    QTest::newRow("csv empty fields") << QByteArray(",,3\n,\n") << kComma << QStringLiteral("1:||3/|");
    QTest::newRow("csv quoted spaces are a row") << QByteArray("1\n\"  \"\n2") << kComma
                                                 << QStringLiteral("1:1/  /2");
    QTest::newRow("csv text after closing quote") << QByteArray("\"a\"b,c") << kComma
                                                  << QStringLiteral("1:ab|c");
    QTest::newRow("csv open quote runs to the end") << QByteArray("\"a,b\n\nc") << kComma
                                                    << QStringLiteral("1:a,b\n\nc");
    QTest::newRow("csv blank separator") << QByteArray("1\n \n2") << kComma << QStringLiteral("1:1//3:2");
    QTest::newRow("empty text") << QByteArray() << kTab << QString();
    QTest::newRow("only blank lines") << QByteArray("\n \r\n\n") << kComma << QString();
    QTest::newRow("byte-order mark dropped") << QByteArray("\xEF\xBB\xBF" "1\t2") << kTab
                                             << QStringLiteral("1:1|2");
    QTest::newRow("only the first mark is one") << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBFx\n\xEF\xBB\xBFy")
                                                << kTab << QStringLiteral("1:\uFEFFx/\uFEFFy");
    QTest::newRow("NUL kept in its field") << QByteArray("1\0009\t2", 5) << kTab
                                           << QStringLiteral("1:1") + QChar(0) + QStringLiteral("9|2");
    QTest::newRow("other scripts") << QByteArray("Gr\xC3\xB6\xC3\x9F" "e\t\xE2\x82\xAC\t\xF0\x9F\xA7\xAC") << kTab
                                   << QStringLiteral("1:Größe|\u20ac|\U0001F9EC");
    // As QString::fromUtf8 decodes them: a replacement for each byte of a
    // cut character.
    QTest::newRow("invalid UTF-8 replaced") << QByteArray("\xFF" "1\t\xE2\x82\n\x80") << kTab
                                            << QStringLiteral("1:\uFFFD1|\uFFFD\uFFFD/\uFFFD");
    QTest::newRow("cut character at the end") << QByteArray("x\t\xE2\x82") << kTab
                                              << QStringLiteral("1:x|\uFFFD\uFFFD");
}

// The same tables whether the input arrives whole or byte by byte.
void TestTextTable::parse()
{
    QFETCH(QByteArray, text);
    QFETCH(FieldSeparator, separator);
    QFETCH(QString, tables);
    QCOMPARE(describeTables(text, separator, 1 << 20), tables);
    QCOMPARE(describeTables(text, separator, 1), tables);
    QCOMPARE(describeTables(text, separator, 3), tables);
}

void TestTextTable::limits_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<FieldSeparator>("separator");
    QTest::addColumn<QString>("tables");  // fields of 'x' written as their length

    const QByteArray longest(GridSize::MaxTextLength, 'x');
    const QByteArray tooLong(GridSize::MaxTextLength + 1, 'x');
    const QString kept = QString::number(GridSize::MaxTextLength);
    QTest::newRow("longest field") << longest + "\t1\n" << kTab << QStringLiteral("1:%1|1").arg(kept);
    QTest::newRow("longest field and crlf") << longest + "\r\n" << kTab << QStringLiteral("1:%1").arg(kept);
    QTest::newRow("longest field, csv") << "1\n\"" + longest + "\"\r\n" << kComma
                                        << QStringLiteral("1:1/%1").arg(kept);
    QTest::newRow("field too long") << tooLong << kTab << fieldError(1);
    QTest::newRow("field too long, csv") << "\"" + tooLong + "\"" << kComma << fieldError(1);
    QTest::newRow("too long after a table") << "1\t2\n\n3\n" + tooLong + "\n4\n" << kTab
                                            << QStringLiteral("1:1|2//") + fieldError(4);
    QTest::newRow("named where its record starts") << "1\n\"a\nb\n" + tooLong << kComma
                                                   << fieldError(2);
    QTest::newRow("blank line too long") << QByteArray(GridSize::MaxTextLength + 1, ' ') << kTab
                                         << fieldError(1);
    QTest::newRow("line of tabs at the limit")
        << QByteArray(TextTableReader::MaxLineLength, '\t') << kTab
        << QStringLiteral("1:") + QString(GridSize::Columns - 1, u'|');
    QTest::newRow("line of tabs too long")
        << "1\n" + QByteArray(TextTableReader::MaxLineLength + 1, '\t') << kTab
        << QStringLiteral("!Line 2 is longer than %1 characters, far more than the 26 columns of "
                          "the grid can hold.").arg(TextTableReader::MaxLineLength);
    QTest::newRow("line of commas too long")
        << QByteArray(TextTableReader::MaxLineLength + 1, ',') << kComma
        << QStringLiteral("!Line 1 is longer than %1 characters, far more than the 26 columns of "
                          "the grid can hold.").arg(TextTableReader::MaxLineLength);
}

void TestTextTable::limits()
{
    QFETCH(QByteArray, text);
    QFETCH(FieldSeparator, separator);
    QFETCH(QString, tables);
    // Runs of x written as their length, for a readable comparison.
    const auto shorten = [](const QString &raw) -> QString {
        static const QRegularExpression run(QStringLiteral("x+"));
        QString shown;
        qsizetype at = 0;
        for (const QRegularExpressionMatch &match : run.globalMatch(raw)) {
            shown += raw.mid(at, match.capturedStart() - at) + QString::number(match.capturedLength());
            at = match.capturedEnd();
        }
        return shown + raw.mid(at);
    };
    QCOMPARE(shorten(describeTables(text, separator, 1 << 20)), tables);
    // Chunks that end inside fields and lines.
    QCOMPARE(shorten(describeTables(text, separator, TextTableReader::ChunkBytes - 7)), tables);
}

// What lies outside the grid is not kept, but a non-empty field there still
// tells that the table does not fit.
void TestTextTable::gridBounds()
{
    const auto read = [](const QByteArray &text) {
        QBuffer buffer;
        buffer.setData(text);
        buffer.open(QIODevice::ReadOnly);
        TextTableReader reader(buffer, kTab, QStringLiteral("input"));
        TextTable table;
        reader.next(table);
        return table;
    };

    QByteArray rows;
    for (int i = 0; i < 1200; ++i)
        rows += "\t\n";
    TextTable table = read(rows);
    QCOMPARE(table.rowCount(), GridSize::Rows);
    QVERIFY(table.usedBlock().isEmpty());
    QVERIFY(table.fitsGrid());

    table = read(rows + "\t5\n");
    QCOMPARE(table.rowCount(), GridSize::Rows);
    QCOMPARE(table.usedBlock().text(), QStringLiteral("B1201:B1201"));
    QVERIFY(!table.fitsGrid());

    QByteArray wide = "\t1";
    for (int column = 2; column < 40; ++column)
        wide += '\t';
    table = read(wide + '\n');
    QCOMPARE(table.fieldCount(0), GridSize::Columns);
    QCOMPARE(table.columnCount(), GridSize::Columns);
    QVERIFY(table.fitsGrid());
    QCOMPARE(table.usedBlock().text(), QStringLiteral("B1:B1"));
    QCOMPARE(table.field(0, 1), u"1");
    QVERIFY(table.field(0, 30).isEmpty());
    QVERIFY(table.field(5, 0).isEmpty());

    table = read(wide + "27\n");
    QVERIFY(!table.fitsGrid());
    QCOMPARE(table.usedBlock().right, 39);
}

void TestTextTable::endlessInputStops_data()
{
    QTest::addColumn<QByteArray>("prefix");
    QTest::addColumn<QByteArray>("pattern");
    QTest::addColumn<FieldSeparator>("separator");
    QTest::addColumn<int>("line");

    const QByteArray none;
    QTest::newRow("zeros") << none << QByteArray(1, '\0') << kTab << 1;
    QTest::newRow("zeros, csv") << none << QByteArray(1, '\0') << kComma << 1;
    QTest::newRow("fields") << none << QByteArray("12\t") << kTab << 1;
    QTest::newRow("tabs") << none << QByteArray("\t") << kTab << 1;
    QTest::newRow("quote left open") << QByteArray("1\n\"") << QByteArray("a\n") << kComma << 2;
    QTest::newRow("doubled quotes") << none << QByteArray("\"\"") << kComma << 1;
    QTest::newRow("commas") << none << QByteArray("a,") << kComma << 1;
    QTest::newRow("spaces") << QByteArray("1\n\n") << QByteArray(" ") << kTab << 3;
    QTest::newRow("multibyte") << none << QByteArray("\xE2\x82\xAC") << kTab << 1;
}

// An input without end is refused after about one line of the grid, never
// read on until memory runs out.
void TestTextTable::endlessInputStops()
{
    QFETCH(QByteArray, prefix);
    QFETCH(QByteArray, pattern);
    QFETCH(FieldSeparator, separator);
    QFETCH(int, line);
    TrickleDevice device(pattern, 1 << 20, true, prefix);
    TextTableReader reader(device, separator, QStringLiteral("endless"));
    TextTable table;
    // A table before the endless line comes out first.
    if (prefix.startsWith('1') && line == 3)
        QVERIFY(reader.next(table));
    QVERIFY(!reader.next(table));
    QVERIFY(reader.failed());
    QCOMPARE(reader.errorLine(), line);
    QVERIFY(reader.errorString().startsWith(QStringLiteral("Line %1 ").arg(line)));
    // Two characters of input for each of a line's: the doubled quotes.
    QVERIFY2(device.served() <= 2 * TextTableReader::MaxLineLength + 2 * TextTableReader::ChunkBytes,
             qPrintable(QString::number(device.served())));
    QVERIFY(!reader.next(table));
}

// A batch is read a chunk at a time: the first of 100,000 tables comes out
// before the input is read much further.
void TestTextTable::batchIsReadAsItGoes()
{
    constexpr int kTables = 100000;
    QByteArray batch;
    for (int i = 0; i < kTables; ++i)
        batch += QByteArray::number(i) + "\t1\n\t2\n\n";
    TrickleDevice device(batch, 1 << 30);
    TextTableReader reader(device, kTab, QStringLiteral("batch"));
    TextTable table;
    QVERIFY(reader.next(table));
    QVERIFY(device.served() <= TextTableReader::ChunkBytes);
    int count = 1;
    while (reader.next(table)) {
        if (count % 9973 == 0) {
            QCOMPARE(table.firstLine(), 3 * count + 1);
            QCOMPARE(table.field(0, 0), QString::number(count));
            QCOMPARE(table.usedBlock().text(), QStringLiteral("A1:B2"));
        }
        ++count;
    }
    QVERIFY(!reader.failed());
    QCOMPARE(count, kTables);
    QCOMPARE(reader.tablesRead(), kTables);
}

// A device that fails after its first bytes: the tables before the failure
// come out, then the reading stops with the system's words.
void TestTextTable::failedReadIsTold()
{
    class FailingDevice final : public QIODevice
    {
    public:
        FailingDevice() { open(QIODevice::ReadOnly | QIODevice::Unbuffered); }
        bool isSequential() const override { return true; }

    protected:
        qint64 readData(char *data, qint64 maxSize) override
        {
            if (served) {
                setErrorString(QStringLiteral("Input/output error"));
                return -1;
            }
            served = true;
            const QByteArray first("1\t2\n\n3");
            const qint64 n = std::min<qint64>(maxSize, first.size());
            std::memcpy(data, first.constData(), std::size_t(n));
            return n;
        }
        qint64 writeData(const char *, qint64) override { return -1; }

    private:
        bool served = false;
    } device;
    QCOMPARE(describeTables(device, kTab),
             QStringLiteral("1:1|2//!Cannot read file input:\nInput/output error."));
}

void TestTextTable::writerRoundTrip_data()
{
    QTest::addColumn<FieldSeparator>("separator");
    QTest::addColumn<QString>("rowsText");  // rows by "/", fields by "|"

    for (FieldSeparator separator : {kTab, kComma}) {
        const char *name = separator == kTab ? "tsv" : "csv";
        QTest::addRow("%s plain", name) << separator << QStringLiteral("1|2|=A1+B1/x||y");
        QTest::addRow("%s empty rows inside and first", name) << separator << QStringLiteral("/1//|2");
        QTest::addRow("%s lone spaces", name) << separator << QStringLiteral(" /  | /x");
        QTest::addRow("%s quotes and commas", name)
            << separator << QStringLiteral("\"q\"|a,b|'=1,2|\"");
        QTest::addRow("%s unicode", name) << separator << QStringLiteral("Größe|ÅÆ|\u20ac|\U0001F9EC");
        QTest::addRow("%s marks and NULs", name)
            << separator << QStringLiteral("\uFEFF|\uFEFFa/b\uFEFF|") + QChar(0) + QStringLiteral("|1") + QChar(0);
    }
    QTest::newRow("csv line breaks") << kComma << QStringLiteral("a\nb|c\r\nd|e\r/\tf|\r");
}

// What convert writes reads back as one table with the same fields (rows
// compared up to their last non-empty field).
void TestTextTable::writerRoundTrip()
{
    QFETCH(FieldSeparator, separator);
    QFETCH(QString, rowsText);
    Rows rows;
    for (const QString &row : rowsText.split(u'/'))
        rows.push_back(row.split(u'|'));

    QString text;
    QVERIFY(formatTextTable(rows, separator, text).ok());
    const Rows back = onlyTable(text, separator);
    QCOMPARE(back.size(), rows.size());
    for (std::size_t r = 0; r < rows.size(); ++r) {
        QStringList expected = rows[r];
        QStringList actual = back[r];
        while (!expected.isEmpty() && expected.last().isEmpty())
            expected.removeLast();
        while (!actual.isEmpty() && actual.last().isEmpty())
            actual.removeLast();
        QCOMPARE(actual, expected);
    }
}

// A cell that a text file cannot carry unchanged is named, never written
// altered.
void TestTextTable::writerRefusals()
{
    using Problem = TextTableWrite::Problem;
    const QString loneHigh = QStringLiteral("a") + QChar(0xD800);
    const QString longest(GridSize::MaxTextLength, u'x');
    const struct {
        QString field;
        Problem tsv;
        Problem csv;
    } cases[] = {
        {QStringLiteral("a\tb"), Problem::TabOrLineBreak, Problem::None},
        {QStringLiteral("a\nb"), Problem::TabOrLineBreak, Problem::None},
        {QStringLiteral("a\r"), Problem::TabOrLineBreak, Problem::None},
        {longest, Problem::None, Problem::None},
        {longest + u'x', Problem::TooLong, Problem::TooLong},
        {loneHigh, Problem::LoneSurrogate, Problem::LoneSurrogate},
        {QString(QChar(0xDC00)), Problem::LoneSurrogate, Problem::LoneSurrogate},
        {QStringLiteral("\U0001F9EC"), Problem::None, Problem::None},
    };
    for (const auto &c : cases) {
        const Rows rows = {{QStringLiteral("1")}, {QStringLiteral("2"), QStringLiteral("3"), c.field}};
        for (FieldSeparator separator : {kTab, kComma}) {
            QString text;
            const TextTableWrite written = formatTextTable(rows, separator, text);
            const Problem expected = separator == kTab ? c.tsv : c.csv;
            QCOMPARE(written.problem, expected);
            if (!written.ok()) {
                QCOMPARE(written.row, 1);
                QCOMPARE(written.column, 2);
            }
        }
    }
}

// The reader drops a byte-order mark, so a first cell that starts with
// U+FEFF is written after a mark of its own; elsewhere it needs none.
void TestTextTable::leadingByteOrderMarkSurvives()
{
    for (FieldSeparator separator : {kTab, kComma}) {
        const Rows rows = {{QStringLiteral("\uFEFF1"), QStringLiteral("\uFEFF")}, {QStringLiteral("\uFEFF")}};
        QString text;
        QVERIFY(formatTextTable(rows, separator, text).ok());
        QVERIFY(text.startsWith(QStringLiteral("\uFEFF\uFEFF1")));
        QCOMPARE(text.count(QChar(0xFEFF)), 4);
        const Rows back = onlyTable(text, separator);
        QCOMPARE(back.size(), rows.size());
        QCOMPARE(back[0], rows[0]);
        QCOMPARE(back[1], rows[1]);

        const Rows plain = {{QStringLiteral("1"), QStringLiteral("\uFEFF")}};
        QVERIFY(formatTextTable(plain, separator, text).ok());
        QVERIFY(text.startsWith(u'1'));
    }
}

QTEST_APPLESS_MAIN(TestTextTable)
#include "test_texttable.moc"
