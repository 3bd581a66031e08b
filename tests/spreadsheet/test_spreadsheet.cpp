// The grid: size, headers, names, cell access, change signals.
#include "spreadsheet.h"

#include <QSignalSpy>
#include <QtTest>

class TestSpreadsheet final : public QObject
{
    Q_OBJECT

private slots:
    void newGrid();
    void emptyPositions();
    void outsideTheGrid();
    void currentCellName_data();
    void currentCellName();
    void selectionRange();
    void modifiedSignal();
    void clearSheetKeepsFlag();
    void everyCellFreshAfterChange();
};

void TestSpreadsheet::newGrid()
{
    Spreadsheet sheet;
    QCOMPARE(sheet.rowCount(), 999);
    QCOMPARE(sheet.columnCount(), 26);
    QCOMPARE(sheet.horizontalHeaderItem(0)->text(), QStringLiteral("A"));
    QCOMPARE(sheet.horizontalHeaderItem(25)->text(), QStringLiteral("Z"));
    QCOMPARE(sheet.model()->headerData(998, Qt::Vertical).toString(), QStringLiteral("999"));
    QCOMPARE(sheet.currentCellName(), QStringLiteral("A1"));
    QVERIFY(sheet.isAutoRecalculate());
    QCOMPARE(sheet.selectionMode(), QAbstractItemView::ContiguousSelection);
}

void TestSpreadsheet::emptyPositions()
{
    Spreadsheet sheet;
    QCOMPARE(sheet.cellText(5, 5), QString());
    QCOMPARE(sheet.cellFormula(5, 5), QString());
    sheet.setCellFormula(5, 5, QStringLiteral("=1/0"));
    QCOMPARE(sheet.cellText(5, 5), QStringLiteral("####"));
    QCOMPARE(sheet.cellFormula(5, 5), QStringLiteral("=1/0"));
}

void TestSpreadsheet::outsideTheGrid()
{
    Spreadsheet sheet;
    QSignalSpy spy(&sheet, SIGNAL(modified()));
    sheet.setCellFormula(999, 0, QStringLiteral("1"));
    sheet.setCellFormula(0, 26, QStringLiteral("1"));
    sheet.setCellFormula(-1, 0, QStringLiteral("1"));
    QCOMPARE(spy.count(), 0);
    QCOMPARE(sheet.rowCount(), 999);
    QCOMPARE(sheet.columnCount(), 26);
}

void TestSpreadsheet::currentCellName_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("name");
    QTest::newRow("B12") << 11 << 1 << "B12";
    QTest::newRow("Z999") << 998 << 25 << "Z999";
    QTest::newRow("A1") << 0 << 0 << "A1";
}

void TestSpreadsheet::currentCellName()
{
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(QString, name);
    Spreadsheet sheet;
    sheet.setCellFormula(row, column, QStringLiteral("=1+1"));
    sheet.setCurrentCell(row, column);
    QCOMPARE(sheet.currentCellName(), name);
    QCOMPARE(sheet.currentCellFormula(), QStringLiteral("=1+1"));
}

void TestSpreadsheet::selectionRange()
{
    Spreadsheet sheet;
    sheet.clearSelection();
    QTableWidgetSelectionRange none = sheet.selectionRange();
    QCOMPARE(none.topRow(), -1);
    QCOMPARE(none.leftColumn(), -1);
    QCOMPARE(none.rowCount(), 0);
    QCOMPARE(none.columnCount(), 0);

    sheet.setRangeSelected(QTableWidgetSelectionRange(1, 1, 6, 3), true);
    const QTableWidgetSelectionRange range = sheet.selectionRange();
    QCOMPARE(range.topRow(), 1);
    QCOMPARE(range.rightColumn(), 3);
    QCOMPARE(range.rowCount(), 6);
}

void TestSpreadsheet::modifiedSignal()
{
    Spreadsheet sheet;
    QSignalSpy spy(&sheet, SIGNAL(modified()));
    sheet.setCellFormula(0, 0, QStringLiteral("1"));
    QVERIFY(spy.count() >= 1);
    const int before = spy.count();
    sheet.setCellFormula(0, 0, QStringLiteral("2"));
    QCOMPARE(spy.count(), before + 1);
    // Typing into the editor arrives through the model.
    sheet.model()->setData(sheet.model()->index(3, 3), QStringLiteral("=A1*2"), Qt::EditRole);
    QCOMPARE(sheet.cellText(3, 3), QStringLiteral("4"));
    QVERIFY(spy.count() > before + 1);
}

void TestSpreadsheet::clearSheetKeepsFlag()
{
    Spreadsheet sheet;
    sheet.setAutoRecalculate(false);
    sheet.setCellFormula(4, 4, QStringLiteral("x"));
    sheet.setCurrentCell(4, 4);
    sheet.clearSheet();
    QVERIFY(!sheet.item(4, 4));
    QCOMPARE(sheet.currentCellName(), QStringLiteral("A1"));
    QVERIFY(!sheet.isAutoRecalculate());
    QCOMPARE(sheet.horizontalHeaderItem(2)->text(), QStringLiteral("C"));
}

// After any change with auto-recalculation on, every value read is fresh,
// however far it is from the change.
void TestSpreadsheet::everyCellFreshAfterChange()
{
    Spreadsheet sheet;
    sheet.setCellFormula(0, 0, QStringLiteral("1"));
    sheet.setCellFormula(500, 10, QStringLiteral("=A1+C3"));
    sheet.setCellFormula(2, 2, QStringLiteral("=A1*100"));
    QCOMPARE(sheet.cellText(500, 10), QStringLiteral("101"));
    sheet.setCellFormula(0, 0, QStringLiteral("2"));
    QCOMPARE(sheet.cellText(500, 10), QStringLiteral("202"));
}

QTEST_MAIN(TestSpreadsheet)
#include "test_spreadsheet.moc"
