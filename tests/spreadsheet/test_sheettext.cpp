// Text tables as whole documents of the grid: what opens, what is refused
// with the grid left alone, and what is written.
#include "editprompts.h"
#include "spreadsheet.h"
#include "texttable.h"

#include <QFile>
#include <QTemporaryDir>
#include <QUndoStack>
#include <QtTest>

namespace {

QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return QString();
    return path;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The formula texts of the non-empty positions, "B3=text", row by row.
QStringList cells(const Spreadsheet &sheet)
{
    QStringList list;
    for (int row = 0; row < Spreadsheet::RowCount; ++row)
        for (int column = 0; column < Spreadsheet::ColumnCount; ++column)
            if (sheet.item(row, column))
                list << QChar(u'A' + column) + QString::number(row + 1) + u'=' + sheet.cellFormula(row, column);
    return list;
}

} // namespace

class TestSheetText final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void reads_data();
    void reads();
    void refusalsLeaveTheGrid_data();
    void refusalsLeaveTheGrid();
    void writes_data();
    void writes();
    void tabSeparatedRefusesTabsAndLineBreaks_data();
    void tabSeparatedRefusesTabsAndLineBreaks();
    void roundTripThroughBothSeparators();

private:
    QTemporaryDir dir;
};

void TestSheetText::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(dir.isValid());
}

void TestSheetText::reads_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("csv, quoted comma, quote and line break")
        << QStringLiteral("a.csv") << QByteArray("1,\"x, \"\"y\"\"\"\r\n=A1*2,\"two\nlines\"\n")
        << QStringList { QStringLiteral("A1=1"), QStringLiteral("B1=x, \"y\""), QStringLiteral("A2==A1*2"),
                         QStringLiteral("B2=two\nlines") };
    // An empty field leaves no cell: a triangle stays a triangle.
    QTest::newRow("tsv with empty fields")
        << QStringLiteral("b.tsv") << QByteArray("10\t5\n\t3\n")
        << QStringList { QStringLiteral("A1=10"), QStringLiteral("B1=5"), QStringLiteral("B2=3") };
    QTest::newRow("txt is tab-separated, byte-order mark dropped")
        << QStringLiteral("c.txt") << QByteArray("\xEF\xBB\xBFG\xC3\xB6\t1,5\n")
        << QStringList { QStringLiteral("A1=G\u00f6"), QStringLiteral("B1=1,5") };
    QTest::newRow("empty file is an empty grid") << QStringLiteral("d.csv") << QByteArray()
                                                 << QStringList();
}

void TestSheetText::reads()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, expected);
    EditPrompts prompts;
    Spreadsheet sheet;
    sheet.setCellFormula(50, 5, QStringLiteral("before"));
    sheet.setRangeSelected(QTableWidgetSelectionRange(50, 5, 50, 5), true);
    sheet.del(); // a step that the load takes away
    QCOMPARE(sheet.undoStack()->count(), 1);

    const QString path = writeFile(dir, name, bytes);
    const FieldSeparator separator
        = name.endsWith(QLatin1String(".csv")) ? FieldSeparator::Comma : FieldSeparator::Tab;
    QVERIFY(sheet.readTextTable(path, separator));
    QCOMPARE(cells(sheet), expected);
    QVERIFY(prompts.messages.isEmpty());
    QCOMPARE(sheet.undoStack()->count(), 0);
    QCOMPARE(sheet.currentRow(), 0);
    QCOMPARE(sheet.currentColumn(), 0);
}

void TestSheetText::refusalsLeaveTheGrid_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("message"); // %1 is the file's path
    QTest::newRow("two tables")
        << QByteArray("1\t2\n\n3\t4\n")
        << QStringLiteral("%1 holds 2 tables separated by empty lines; a document holds one");
    QTest::newRow("27 columns")
        << QByteArray(QByteArray("1\t").repeated(26) + "27\n")
        << QStringLiteral("The table (line 1) does not fit the grid: it reaches 1 rows and 27 columns, "
                          "the grid has 999 and 26");
    QTest::newRow("1000 rows") << QByteArray("1\n").repeated(1000)
                               << QStringLiteral("The table (line 1) does not fit the grid: it reaches "
                                                 "1000 rows and 1 columns, the grid has 999 and 26");
    QTest::newRow("field longer than a cell")
        << QByteArray("ok\n" + QByteArray(40000, 'x') + "\n")
        << QStringLiteral("%1: Line 2 holds a field of more than 32767 characters, more than a cell "
                          "holds.");
}

void TestSheetText::refusalsLeaveTheGrid()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, message);
    EditPrompts prompts;
    Spreadsheet sheet;
    sheet.setCellFormula(0, 0, QStringLiteral("kept"));
    const QString path = writeFile(dir, QStringLiteral("refused.tsv"), bytes);
    QVERIFY(!sheet.readTextTable(path, FieldSeparator::Tab));
    QCOMPARE(prompts.messages, QStringList { message.contains(u'%') ? message.arg(path) : message });
    QCOMPARE(prompts.titles, QStringList { QStringLiteral("Velmora") });
    QCOMPARE(cells(sheet), QStringList { QStringLiteral("A1=kept") });

    prompts.messages.clear();
    const QString absent = dir.filePath(QStringLiteral("absent.csv"));
    QVERIFY(!sheet.readTextTable(absent, FieldSeparator::Comma));
    QVERIFY(prompts.messages.value(0).startsWith(QStringLiteral("Cannot read file ") + absent));
    QCOMPARE(cells(sheet), QStringList { QStringLiteral("A1=kept") });
}

void TestSheetText::writes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("expected");
    // From A1 to the last non-empty row and column; each row ends after its
    // last non-empty field, an empty row keeps one separator.
    QTest::newRow("csv") << QStringLiteral("w.csv")
                         << QByteArray(",,\"a,b\"\n,\n1,=A1*2,\"say \"\"hi\"\"\"\n");
    QTest::newRow("tsv") << QStringLiteral("w.tsv")
                         << QByteArray("\t\ta,b\n\t\n1\t=A1*2\tsay \"hi\"\n");
    QTest::newRow("txt") << QStringLiteral("w.txt")
                         << QByteArray("\t\ta,b\n\t\n1\t=A1*2\tsay \"hi\"\n");
}

void TestSheetText::writes()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, expected);
    EditPrompts prompts;
    Spreadsheet sheet;
    sheet.setCellFormula(0, 2, QStringLiteral("a,b"));
    sheet.setCellFormula(2, 0, QStringLiteral("1"));
    sheet.setCellFormula(2, 1, QStringLiteral("=A1*2"));
    sheet.setCellFormula(2, 2, QStringLiteral("say \"hi\""));
    const QString path = dir.filePath(name);
    const FieldSeparator separator
        = name.endsWith(QLatin1String(".csv")) ? FieldSeparator::Comma : FieldSeparator::Tab;
    QVERIFY(sheet.writeTextTable(path, separator));
    QCOMPARE(readFile(path), expected);
    QVERIFY(prompts.messages.isEmpty());
}

void TestSheetText::tabSeparatedRefusesTabsAndLineBreaks_data()
{
    QTest::addColumn<QString>("formula");
    QTest::newRow("tab") << QStringLiteral("a\tb");
    QTest::newRow("line feed") << QStringLiteral("two\nlines");
    QTest::newRow("carriage return") << QStringLiteral("a\rb");
}

// Refused, naming the cell and the type that can hold it; nothing is
// written, and an older file of that name stays.
void TestSheetText::tabSeparatedRefusesTabsAndLineBreaks()
{
    QFETCH(QString, formula);
    EditPrompts prompts;
    Spreadsheet sheet;
    sheet.setCellFormula(0, 0, QStringLiteral("1"));
    sheet.setCellFormula(3, 1, formula);
    const QString path = writeFile(dir, QStringLiteral("old.tsv"), "old\n");
    QVERIFY(!sheet.writeTextTable(path, FieldSeparator::Tab));
    QCOMPARE(prompts.messages.size(), 1);
    QCOMPARE(prompts.messages.first(),
             QStringLiteral("Cannot write file %1:\ncell B4 holds a tab or a line break, which a "
                            "tab-separated file (.tsv, .txt) cannot hold; use .csv instead.")
                 .arg(path));
    QCOMPARE(readFile(path), QByteArray("old\n"));

    const QString csv = dir.filePath(QStringLiteral("fine.csv"));
    QVERIFY(sheet.writeTextTable(csv, FieldSeparator::Comma));
    Spreadsheet back;
    QVERIFY(back.readTextTable(csv, FieldSeparator::Comma));
    QCOMPARE(cells(back), cells(sheet));
}

// What the grid writes, it reads back the same: spaces, quotes, commas,
// other scripts, formulas and the grid's far corner.
void TestSheetText::roundTripThroughBothSeparators()
{
    Spreadsheet sheet;
    sheet.setCellFormula(1, 0, QStringLiteral("=B3*2"));
    sheet.setCellFormula(1, 1, QStringLiteral("'quoted \"text\", with comma"));
    sheet.setCellFormula(1, 3, QStringLiteral(" "));
    sheet.setCellFormula(4, 2, QStringLiteral("Gr\u00f6\u00dfe \u20ac"));
    sheet.setCellFormula(998, 25, QStringLiteral("=A2+1"));
    for (const FieldSeparator separator : { FieldSeparator::Tab, FieldSeparator::Comma }) {
        const QString path = dir.filePath(separator == FieldSeparator::Tab ? QStringLiteral("r.tsv")
                                                                           : QStringLiteral("r.csv"));
        QVERIFY(sheet.writeTextTable(path, separator));
        Spreadsheet back;
        QVERIFY(back.readTextTable(path, separator));
        QCOMPARE(cells(back), cells(sheet));
    }
}

QTEST_MAIN(TestSheetText)
#include "test_sheettext.moc"
