// The tool's own text handling: tables from tab- and comma-separated text,
// the writer that convert uses, range texts, JSON numbers and plain-text
// messages.
#include "blockrun.h"
#include "cellblock.h"
#include "jsonline.h"
#include "texttable.h"

#include <QtTest>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>

Q_DECLARE_METATYPE(FieldSeparator)

namespace {

using Rows = std::vector<QStringList>;

// Tables written as "a|b/c|d" with "//" between tables: | between fields,
// / between rows.
QString describe(const std::vector<TextTable> &tables)
{
    QStringList out;
    for (const TextTable &table : tables) {
        QStringList rows;
        for (const QStringList &row : table.rows)
            rows.append(row.join(u'|'));
        out.append(QString::number(table.firstLine) + u':' + rows.join(u'/'));
    }
    return out.join(QStringLiteral("//"));
}

} // namespace

class TestCliText final : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void writerRoundTrip_data();
    void writerRoundTrip();
    void writerRefusesTabsInTsv();
    void ranges_data();
    void ranges();
    void jsonNumbersReadBack();
    void jsonStrings();
    void plainMessages();
};

void TestCliText::parse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<FieldSeparator>("separator");
    QTest::addColumn<QString>("tables");

    const auto tab = FieldSeparator::Tab;
    const auto comma = FieldSeparator::Comma;
    QTest::newRow("tsv rows and fields") << QStringLiteral("1\t2\n3\t4\n") << tab << QStringLiteral("1:1|2/3|4");
    QTest::newRow("tsv crlf") << QStringLiteral("1\t2\r\n3\t4\r\n") << tab << QStringLiteral("1:1|2/3|4");
    QTest::newRow("tsv no final newline") << QStringLiteral("1\t2") << tab << QStringLiteral("1:1|2");
    QTest::newRow("tsv blank lines separate")
        << QStringLiteral("\n1\n\n  \n\r\n2\t\n3\n\n") << tab << QStringLiteral("2:1//6:2|/3");
    QTest::newRow("tsv tab-only line is a row") << QStringLiteral("1\n\t\n2") << tab << QStringLiteral("1:1/|/2");
    QTest::newRow("tsv keeps quotes and commas") << QStringLiteral("\"a,b\"\t'x") << tab
                                                 << QStringLiteral("1:\"a,b\"|'x");
    QTest::newRow("csv plain") << QStringLiteral("1,2\n3,4") << comma << QStringLiteral("1:1|2/3|4");
    QTest::newRow("csv quoted comma and quote")
        << QStringLiteral("\"a,b\",\"say \"\"hi\"\"\"\n") << comma << QStringLiteral("1:a,b|say \"hi\"");
    QTest::newRow("csv quoted line break is one field")
        << QStringLiteral("\"two\nlines\",x\n\n5") << comma << QStringLiteral("1:two\nlines|x//4:5");
    QTest::newRow("csv crlf outside quotes only")
        << QStringLiteral("\"a\r\nb\",c\r\nd,e\r\n") << comma << QStringLiteral("1:a\r\nb|c/d|e");
    QTest::newRow("csv empty fields") << QStringLiteral(",,3\n,\n") << comma << QStringLiteral("1:||3/|");
    QTest::newRow("csv text after closing quote") << QStringLiteral("\"a\"b,c") << comma
                                                  << QStringLiteral("1:ab|c");
    QTest::newRow("csv open quote runs to the end") << QStringLiteral("\"a,b\n\nc") << comma
                                                    << QStringLiteral("1:a,b\n\nc");
    QTest::newRow("csv blank separator") << QStringLiteral("1\n \n2") << comma << QStringLiteral("1:1//3:2");
    QTest::newRow("empty text") << QString() << tab << QString();
}

void TestCliText::parse()
{
    QFETCH(QString, text);
    QFETCH(FieldSeparator, separator);
    QFETCH(QString, tables);
    QCOMPARE(describe(parseTextTables(text, separator)), tables);
}

void TestCliText::writerRoundTrip_data()
{
    QTest::addColumn<FieldSeparator>("separator");
    QTest::addColumn<QString>("rowsText");  // rows by "/", fields by "|"

    for (FieldSeparator separator : {FieldSeparator::Tab, FieldSeparator::Comma}) {
        const char *name = separator == FieldSeparator::Tab ? "tsv" : "csv";
        QTest::addRow("%s plain", name) << separator << QStringLiteral("1|2|=A1+B1/x||y");
        QTest::addRow("%s empty rows inside and first", name) << separator << QStringLiteral("/1//|2");
        QTest::addRow("%s lone spaces", name) << separator << QStringLiteral(" /  | /x");
        QTest::addRow("%s quotes and commas", name)
            << separator << QStringLiteral("\"q\"|a,b|'=1,2|\"");
        QTest::addRow("%s unicode", name) << separator << QStringLiteral("Größe|ÅÆ|\u20ac");
    }
    QTest::newRow("csv line breaks") << FieldSeparator::Comma
                                     << QStringLiteral("a\nb|c\r\nd|e\r/\tf|\r");
}

// What convert writes reads back as one table with the same fields (rows
// compared up to their last non-empty field).
void TestCliText::writerRoundTrip()
{
    QFETCH(FieldSeparator, separator);
    QFETCH(QString, rowsText);
    Rows rows;
    for (const QString &row : rowsText.split(u'/'))
        rows.push_back(row.split(u'|'));

    QString text;
    QVERIFY(formatTextTable(rows, separator, text));
    const std::vector<TextTable> tables = parseTextTables(text, separator);
    QCOMPARE(int(tables.size()), 1);
    const Rows &back = tables.front().rows;
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

void TestCliText::writerRefusesTabsInTsv()
{
    for (const QString &bad : {QStringLiteral("a\tb"), QStringLiteral("a\nb"), QStringLiteral("a\r")}) {
        const Rows rows = {{QStringLiteral("1")}, {QStringLiteral("2"), QStringLiteral("3"), bad}};
        QString text;
        int row = -1, column = -1;
        QVERIFY(!formatTextTable(rows, FieldSeparator::Tab, text, &row, &column));
        QCOMPARE(row, 1);
        QCOMPARE(column, 2);
        QVERIFY(formatTextTable(rows, FieldSeparator::Comma, text));
    }
}

void TestCliText::ranges_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("normalised");  // empty: refused

    QTest::newRow("plain") << QStringLiteral("B2:D7") << QStringLiteral("B2:D7");
    QTest::newRow("lower case") << QStringLiteral("b2:d7") << QStringLiteral("B2:D7");
    QTest::newRow("corners reversed") << QStringLiteral("D7:B2") << QStringLiteral("B2:D7");
    QTest::newRow("one cell") << QStringLiteral("Z999:Z999") << QStringLiteral("Z999:Z999");
    QTest::newRow("row 0") << QStringLiteral("A0:B2") << QString();
    QTest::newRow("row 1000") << QStringLiteral("A1:B1000") << QString();
    QTest::newRow("leading zero") << QStringLiteral("A01:B2") << QString();
    QTest::newRow("two letters") << QStringLiteral("AA1:B2") << QString();
    QTest::newRow("single corner") << QStringLiteral("A1") << QString();
    QTest::newRow("spaces") << QStringLiteral("A1 :B2") << QString();
}

void TestCliText::ranges()
{
    QFETCH(QString, text);
    QFETCH(QString, normalised);
    const std::optional<CellBlock> block = CellBlock::parse(text);
    QCOMPARE(block.has_value(), !normalised.isEmpty());
    if (block)
        QCOMPARE(block->text(), normalised);
}

// Every finite double written for "p" parses back to the same bits; what
// JSON cannot hold becomes null.
void TestCliText::jsonNumbersReadBack()
{
    std::mt19937_64 random(20240607);
    std::vector<double> values = {0.0, -0.0, 1.0, 0.372998, 5e-324, 2.2250738585072014e-308,
                                  std::numeric_limits<double>::max(), 0.1, 1e21, 1e-7,
                                  0.005994005994005999};
    for (int i = 0; i < 20000; ++i) {
        const quint64 bits = random();
        double value = 0;
        std::memcpy(&value, &bits, sizeof value);
        if (std::isfinite(value))
            values.push_back(value);
    }
    // P-values live in [0, 1].
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int i = 0; i < 20000; ++i)
        values.push_back(unit(random) * std::pow(10.0, -double(i % 300)));

    for (double value : values) {
        const QByteArray text = JsonLine::number(value).toLatin1();
        const double back = std::strtod(text.constData(), nullptr);
        QVERIFY2(std::memcmp(&back, &value, sizeof value) == 0, text.constData());
        // Valid JSON: the parser of Qt accepts it as a number.
        const QJsonDocument doc = QJsonDocument::fromJson("[" + text + "]");
        QVERIFY2(doc.isArray() && doc.array().at(0).isDouble(), text.constData());
    }
    QCOMPARE(JsonLine::number(std::nan("")), QStringLiteral("null"));
    QCOMPARE(JsonLine::number(HUGE_VAL), QStringLiteral("null"));
    QCOMPARE(JsonLine::number(-HUGE_VAL), QStringLiteral("null"));
}

void TestCliText::jsonStrings()
{
    const QString nasty = QStringLiteral("a\"b\\c\nd\te\x01\u00e9");
    JsonLine line;
    line.add("s", nasty).add("n", 3).addNull("z").addNumber("x", 0.5);
    const QJsonDocument doc = QJsonDocument::fromJson(line.text().toUtf8());
    QVERIFY(doc.isObject());
    QCOMPARE(doc.object().value(QStringLiteral("s")).toString(), nasty);
    QCOMPARE(doc.object().value(QStringLiteral("n")).toInt(), 3);
    QVERIFY(doc.object().value(QStringLiteral("z")).isNull());
    QVERIFY(!line.text().contains(u'\n'));
    QVERIFY(line.text().startsWith(QStringLiteral("{\"s\":")));
}

void TestCliText::plainMessages()
{
    QCOMPARE(plainText(QStringLiteral("<font color=\"red\"> wrong Range</font>")),
             QStringLiteral("wrong Range"));
    QCOMPARE(plainText(QStringLiteral("<br />Program is stopped by user")),
             QStringLiteral("Program is stopped by user"));
    QCOMPARE(plainText(QStringLiteral("<br />a &lt;b&gt; &amp; c<br/>d")), QStringLiteral("a <b> & c d"));
    QCOMPARE(plainText(QString()), QString());
}

QTEST_APPLESS_MAIN(TestCliText)
#include "test_clitext.moc"
