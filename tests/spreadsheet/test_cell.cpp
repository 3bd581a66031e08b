// Formula evaluation: values, display texts and alignment of Cell.
#include "cell.h"
#include "spreadsheet.h"

#include <QtTest>

namespace {

constexpr int kRight = int(Qt::AlignRight | Qt::AlignVCenter);
constexpr int kLeft = int(Qt::AlignLeft | Qt::AlignVCenter);

// "A1=abc;B3=7" puts those formulas into the grid.
void setUp(Spreadsheet &sheet, const QString &cells)
{
    const QStringList assignments = cells.split(u';', Qt::SkipEmptyParts);
    for (const QString &assignment : assignments) {
        const qsizetype eq = assignment.indexOf(u'=');
        const QString name = assignment.left(eq);
        const int column = name.at(0).unicode() - u'A';
        const int row = name.mid(1).toInt() - 1;
        sheet.setCellFormula(row, column, assignment.mid(eq + 1));
    }
}

} // namespace

class TestCell final : public QObject
{
    Q_OBJECT

private slots:
    void formula_data();
    void formula();
    void circularReferences();
    void autoRecalculationOff();
    void longChain_data();
    void longChain();
    void deepNesting_data();
    void deepNesting();
    void nulIsText_data();
    void nulIsText();
    void cloneKeepsState();
};

void TestCell::formula_data()
{
    QTest::addColumn<QString>("others");
    QTest::addColumn<QString>("formula");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("alignment");

    const QString none;
    QTest::newRow("number") << none << "12" << "12" << kRight;
    QTest::newRow("text") << none << "12abc" << "12abc" << kLeft;
    QTest::newRow("empty") << none << "" << "" << kLeft;
    QTest::newRow("apostrophe number") << none << "'123" << "123" << kLeft;
    QTest::newRow("apostrophe alone") << none << "'" << "" << kLeft;
    QTest::newRow("apostrophe formula") << none << "'=1+2" << "=1+2" << kLeft;
    QTest::newRow("equals alone") << none << "=" << "####" << kRight;
    QTest::newRow("unary plus") << none << "=+1" << "####" << kRight;
    QTest::newRow("double minus") << none << "=--1" << "####" << kRight;
    QTest::newRow("negated product") << none << "=-2*3" << "-6" << kRight;
    QTest::newRow("negated factor") << none << "=2*-3" << "-6" << kRight;
    QTest::newRow("minus negative") << none << "=2--3" << "5" << kRight;
    QTest::newRow("negated group") << none << "=-(1+2)" << "-3" << kRight;
    QTest::newRow("group") << none << "=2*(3+4)" << "14" << kRight;
    QTest::newRow("left assoc div") << none << "=8/2/2" << "2" << kRight;
    QTest::newRow("left assoc sub") << none << "=1-2-3" << "-4" << kRight;
    QTest::newRow("div by zero") << none << "=1/0" << "####" << kRight;
    QTest::newRow("zero by zero") << none << "=0/0" << "####" << kRight;
    QTest::newRow("div by group zero") << none << "=1/(2-2)" << "####" << kRight;
    QTest::newRow("stray paren") << none << "=1)" << "####" << kRight;
    QTest::newRow("juxtaposition") << none << "=2(3)" << "####" << kRight;
    QTest::newRow("open paren") << none << "=(1" << "####" << kRight;
    QTest::newRow("two open parens") << none << "=((1+2" << "####" << kRight;
    QTest::newRow("Z999 unset") << none << "=Z999" << "0" << kRight;
    QTest::newRow("exponent") << none << "=1e3" << "1000" << kRight;
    QTest::newRow("leading point") << none << "=.5" << "0.5" << kRight;
    QTest::newRow("negative exponent") << none << "=1.5e-3" << "####" << kRight;
    QTest::newRow("AA1") << none << "=AA1" << "####" << kRight;
    QTest::newRow("A0") << none << "=A0" << "####" << kRight;
    QTest::newRow("A01") << none << "=A01" << "####" << kRight;
    QTest::newRow("A1000") << none << "=A1000" << "####" << kRight;
    QTest::newRow("A1B2") << none << "=A1B2" << "####" << kRight;
    QTest::newRow("lower-case ref") << "B3=7" << "=b3" << "7" << kRight;
    QTest::newRow("string ref") << "A1=abc" << "=A1" << "abc" << kLeft;
    QTest::newRow("string ref in parens") << "A1=abc" << "=(A1)" << "abc" << kLeft;
    QTest::newRow("unset ref") << none << "=A1" << "0" << kRight;
    QTest::newRow("string arithmetic") << "A1=abc" << "=A1+1" << "####" << kRight;
    QTest::newRow("negated string") << "A1=abc" << "=-A1" << "####" << kRight;
    QTest::newRow("spaces") << none << "= 1 + 2" << "3" << kRight;
    QTest::newRow("space in ref") << "A1=5" << "=A 1" << "5" << kRight;
    QTest::newRow("space in number") << none << "=1 000" << "1000" << kRight;
    QTest::newRow("tab stays") << none << "=1\t+2" << "####" << kRight;
    QTest::newRow("ref to error") << "A1==1/0" << "=A1*2" << "####" << kRight;
    QTest::newRow("ref arithmetic") << "A1=4;B1==A1*10" << "=B1/A1" << "10" << kRight;
    QTest::newRow("fifteen digits") << none << "=0.1+0.2" << "0.3" << kRight;
    QTest::newRow("third") << none << "=1/3" << "0.333333333333333" << kRight;
    QTest::newRow("empty token") << none << "=1+" << "####" << kRight;
    QTest::newRow("number with blanks") << none << " 12 " << "12" << kRight;
    QTest::newRow("unicode letters") << none << "=\u00e91" << "####" << kRight;
    // An item whose text was erased reads as the empty position it looks
    // like: 0 in a formula, not an empty string that makes sums "####".
    QTest::newRow("erased cell in a sum") << "A1=" << "=A1+1" << "1" << kRight;
    QTest::newRow("erased cell alone") << "A1=" << "=A1" << "0" << kRight;
    QTest::newRow("erased cell subtracted") << "A1=" << "=2-A1" << "2" << kRight;
    QTest::newRow("blank is no erased cell") << "A1= " << "=A1+1" << "####" << kRight;
}

void TestCell::formula()
{
    QFETCH(QString, others);
    QFETCH(QString, formula);
    QFETCH(QString, shown);
    QFETCH(int, alignment);

    Spreadsheet sheet;
    setUp(sheet, others);
    sheet.setCellFormula(4, 2, formula);
    QCOMPARE(sheet.cellText(4, 2), shown);
    QCOMPARE(sheet.item(4, 2)->data(Qt::TextAlignmentRole).toInt(), alignment);
    QCOMPARE(sheet.cellFormula(4, 2), formula);
}

void TestCell::circularReferences()
{
    Spreadsheet sheet;
    sheet.setCellFormula(0, 0, QStringLiteral("=A1"));
    QCOMPARE(sheet.cellText(0, 0), QStringLiteral("####"));

    sheet.setCellFormula(1, 0, QStringLiteral("=B2"));
    sheet.setCellFormula(1, 1, QStringLiteral("=A2+1"));
    QCOMPARE(sheet.cellText(1, 0), QStringLiteral("####"));
    QCOMPARE(sheet.cellText(1, 1), QStringLiteral("####"));
    // Read from the other end after a change: the same.
    sheet.recalculate();
    QCOMPARE(sheet.cellText(1, 1), QStringLiteral("####"));
    QCOMPARE(sheet.cellText(1, 0), QStringLiteral("####"));

    // A cell that only depends on a cycle is invalid; one beside it is not.
    sheet.setCellFormula(2, 0, QStringLiteral("=A2*0+1"));
    sheet.setCellFormula(2, 1, QStringLiteral("=5"));
    QCOMPARE(sheet.cellText(2, 0), QStringLiteral("####"));
    QCOMPARE(sheet.cellText(2, 1), QStringLiteral("5"));

    // Breaking the cycle brings the values back.
    sheet.setCellFormula(1, 0, QStringLiteral("1"));
    QCOMPARE(sheet.cellText(1, 1), QStringLiteral("2"));
    QCOMPARE(sheet.cellText(2, 0), QStringLiteral("1"));
}

void TestCell::autoRecalculationOff()
{
    Spreadsheet sheet;
    sheet.setAutoRecalculate(false);
    sheet.setCellFormula(0, 0, QStringLiteral("1"));
    sheet.setCellFormula(0, 1, QStringLiteral("=A1*10"));
    QCOMPARE(sheet.cellText(0, 1), QStringLiteral("10"));
    sheet.setCellFormula(0, 0, QStringLiteral("2"));
    QCOMPARE(sheet.cellText(0, 0), QStringLiteral("2"));
    QCOMPARE(sheet.cellText(0, 1), QStringLiteral("10"));
    sheet.recalculate();
    QCOMPARE(sheet.cellText(0, 1), QStringLiteral("20"));

    sheet.setCellFormula(0, 0, QStringLiteral("3"));
    QCOMPARE(sheet.cellText(0, 1), QStringLiteral("20"));
    sheet.setAutoRecalculate(true); // recalculates at once
    QCOMPARE(sheet.cellText(0, 1), QStringLiteral("30"));
    sheet.setCellFormula(0, 0, QStringLiteral("4"));
    QCOMPARE(sheet.cellText(0, 1), QStringLiteral("40"));
}

void TestCell::longChain_data()
{
    QTest::addColumn<bool>("fromEnd");
    QTest::newRow("read from the end") << true;
    QTest::newRow("read from the start") << false;
}

// Each cell references the one filled before it, through all 25,974
// positions, column by column.
void TestCell::longChain()
{
    QFETCH(bool, fromEnd);
    Spreadsheet sheet;
    QString previous;
    for (int column = 0; column < Spreadsheet::ColumnCount; ++column) {
        for (int row = 0; row < Spreadsheet::RowCount; ++row) {
            const QString name = QChar(u'A' + column) + QString::number(row + 1);
            sheet.setCellFormula(row, column,
                                 previous.isEmpty() ? QStringLiteral("1")
                                                    : QStringLiteral("=") + previous + QStringLiteral("+1"));
            previous = name;
        }
    }
    if (fromEnd) {
        QCOMPARE(sheet.cellText(998, 25), QStringLiteral("25974"));
        QCOMPARE(sheet.cellText(0, 0), QStringLiteral("1"));
    } else {
        for (int column = 0; column < Spreadsheet::ColumnCount; ++column)
            for (int row = 0; row < Spreadsheet::RowCount; ++row)
                QCOMPARE(sheet.cellText(row, column).toInt(), column * 999 + row + 1);
    }
    // A change at the start reaches the end.
    sheet.setCellFormula(0, 0, QStringLiteral("101"));
    QCOMPARE(sheet.cellText(998, 25), QStringLiteral("26074"));
}

void TestCell::deepNesting_data()
{
    QTest::addColumn<QString>("formula");
    QTest::addColumn<QString>("shown");
    QTest::newRow("100,000 open parens")
        << QStringLiteral("=") + QString(100000, u'(') + QStringLiteral("1") << "####";
    QString negations;
    for (int i = 0; i < 30000; ++i)
        negations += QStringLiteral("-(");
    QTest::newRow("30,000 -( units") << QStringLiteral("=") + negations + QStringLiteral("1") << "####";
    QTest::newRow("balanced 30,000") << QStringLiteral("=") + QString(30000, u'(') + QStringLiteral("1")
                                             + QString(30000, u')')
                                      << "####";
    QTest::newRow("moderate nesting")
        << QStringLiteral("=") + QString(200, u'(') + QStringLiteral("7") + QString(200, u')') << "7";
}

void TestCell::deepNesting()
{
    QFETCH(QString, formula);
    QFETCH(QString, shown);
    Spreadsheet sheet;
    sheet.setCellFormula(0, 0, formula);
    QCOMPARE(sheet.cellText(0, 0), shown);
}

// A NUL is no end of the text: a cell holding one is text, never a number,
// and a formula holding one is "####" rather than its part before the NUL.
void TestCell::nulIsText_data()
{
    QTest::addColumn<QString>("others");
    QTest::addColumn<QString>("formula");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("alignment");

    const QChar nul(u'\0');
    const QString none;
    const QString oneNulNine = QStringLiteral("1") + nul + QStringLiteral("9");
    const QString sevenNulAbc = QStringLiteral("7") + nul + QStringLiteral("abc");
    QTest::newRow("digits around a NUL") << none << oneNulNine << oneNulNine << kLeft;
    QTest::newRow("number then NUL then text") << none << sevenNulAbc << sevenNulAbc << kLeft;
    QTest::newRow("NUL alone") << none << QString(nul) << QString(nul) << kLeft;
    QTest::newRow("formula with a NUL") << none << QStringLiteral("=1") + nul + QStringLiteral("+5")
                                        << "####" << kRight;
    QTest::newRow("formula ending in a NUL") << none << QStringLiteral("=2*3") + nul << "####" << kRight;
    QTest::newRow("sum over a NUL text") << QStringLiteral("A1=") + oneNulNine << "=A1+1" << "####"
                                         << kRight;
    QTest::newRow("reference to a NUL text") << QStringLiteral("A1=") + oneNulNine << "=A1" << oneNulNine
                                             << kLeft;
    // The reference after the NUL must still not make a cycle look valid.
    QTest::newRow("NUL before a reference back") << QStringLiteral("A1==1") + nul + QStringLiteral("+C5")
                                                 << "=A1" << "####" << kRight;
}

void TestCell::nulIsText()
{
    formula();
}

void TestCell::cloneKeepsState()
{
    Cell cell;
    cell.setFormulaText(QStringLiteral("=2*3"));
    QCOMPARE(cell.text(), QStringLiteral("6"));
    QScopedPointer<QTableWidgetItem> copy(cell.clone());
    auto *copied = dynamic_cast<Cell *>(copy.data());
    QVERIFY(copied);
    QCOMPARE(copied->formulaText(), QStringLiteral("=2*3"));
    QVERIFY(!copied->isDirty());
    QCOMPARE(copied->computedValue().toDouble(), 6.0);
}

QTEST_MAIN(TestCell)
#include "test_cell.moc"
