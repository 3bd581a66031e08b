// The tool's own text handling: range texts, JSON numbers and plain-text
// messages.
#include "blockrun.h"
#include "cellblock.h"
#include "jsonline.h"

#include <QtTest>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>

class TestCliText final : public QObject
{
    Q_OBJECT

private slots:
    void ranges_data();
    void ranges();
    void jsonNumbersReadBack();
    void jsonStrings();
    void jsonBytes_data();
    void jsonBytes();
    void plainMessages();
};

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

// A line's bytes are its text in UTF-8, whatever the characters; a lone
// surrogate, which UTF-8 cannot hold, becomes '?'.
void TestCliText::jsonBytes_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("quoted");

    QTest::newRow("ascii") << QStringLiteral("t.tsv") << QByteArray("\"t.tsv\"");
    QTest::newRow("escapes") << QStringLiteral("a\"\\\x01\x7f") << QByteArray("\"a\\\"\\\\\\u0001\x7f\"");
    QTest::newRow("latin-1") << QStringLiteral("caf\u00e9.tsv") << QByteArray("\"caf\xc3\xa9.tsv\"");
    QTest::newRow("euro, pair") << QStringLiteral("\u20ac\U0001F600\t") << QByteArray("\"\xe2\x82\xac\xf0\x9f\x98\x80\\t\"");
    QTest::newRow("lone surrogates") << QString(QChar(0xd800)) + u'a' + QChar(0xdc00) << QByteArray("\"?a?\"");
}

void TestCliText::jsonBytes()
{
    QFETCH(QString, value);
    QFETCH(QByteArray, quoted);
    JsonLine line;
    line.add("f", value).addNumber("p", 0.25);
    QByteArray bytes("x\n");
    line.writeLine(bytes);
    QCOMPARE(bytes, "x\n{\"f\":" + quoted + ",\"p\":0.25}\n");
    QCOMPARE(line.text().toUtf8() + '\n', bytes.mid(2));
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
