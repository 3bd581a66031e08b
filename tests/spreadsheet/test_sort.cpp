// Sorting the rows of the selected range, and the Sort dialog's form.
#include "cellblock.h"
#include "editprompts.h"
#include "rowcompare.h"
#include "sortdialog.h"
#include "spreadsheet.h"

#include <QSignalSpy>
#include <QUndoStack>
#include <QtTest>

namespace {

// Rows are written "a,b,c": one text per column, empty texts allowed.
void fillRange(Spreadsheet &sheet, int top, int left, const QStringList &rows)
{
    for (int i = 0; i < rows.size(); ++i) {
        const QStringList fields = rows.at(i).split(u',', Qt::KeepEmptyParts);
        for (int j = 0; j < fields.size(); ++j)
            if (!fields.at(j).isEmpty())
                sheet.setCellFormula(top + i, left + j, fields.at(j));
    }
}

QStringList readRange(const Spreadsheet &sheet, int top, int left, int rowCount, int columnCount)
{
    QStringList rows;
    for (int i = 0; i < rowCount; ++i) {
        QStringList fields;
        for (int j = 0; j < columnCount; ++j)
            fields << sheet.cellFormula(top + i, left + j);
        rows << fields.join(u',');
    }
    return rows;
}

// "a" ascending, "d" descending, per key.
RowCompare makeCompare(const QList<int> &keys, const QString &orders)
{
    RowCompare compare;
    for (int k = 0; k < RowCompare::KeyCount; ++k) {
        compare.keyColumn[k] = keys.value(k, -1);
        compare.isAscending[k] = k >= orders.size() || orders.at(k) == u'a';
    }
    return compare;
}

// The next widget that Tab reaches, skipping labels and group boxes.
QWidget *nextTabStop(QWidget *widget)
{
    QWidget *next = widget->nextInFocusChain();
    while (next != widget && !(next->focusPolicy() & Qt::TabFocus))
        next = next->nextInFocusChain();
    return next;
}

constexpr int kTop = 1; // row 2
constexpr int kLeft = 2; // column C

} // namespace

class TestSort final : public QObject
{
    Q_OBJECT

private slots:
    void sortRows_data();
    void sortRows();
    void emptyPositionsStayEmpty();
    void formulasMoveAsText();
    void oneRowRange();
    void numbersByValue_data();
    void numbersByValue();
    void oneCellSortsItsRegion_data();
    void oneCellSortsItsRegion();
    void nothingSelectedSortsUsedBlock();
    void dialogForm();
    void columnSpan();
    void moreShowsTheExtraKeys();
};

void TestSort::sortRows_data()
{
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<QString>("orders");
    QTest::addColumn<QStringList>("sorted");

    QTest::newRow("text order of numbers")
        << QStringList { QStringLiteral("10"), QStringLiteral("9"), QStringLiteral("100") }
        << QList<int> { 0 } << QStringLiteral("a")
        << QStringList { QStringLiteral("10"), QStringLiteral("100"), QStringLiteral("9") };
    // UTF-16 order: "" < "-" < digits < "=" < upper case < lower case.
    QTest::newRow("code unit order")
        << QStringList { QStringLiteral("b"), QStringLiteral("B"), QStringLiteral(""),
               QStringLiteral("1"), QStringLiteral("=A1+1"), QStringLiteral("-1") }
        << QList<int> { 0 } << QStringLiteral("a")
        << QStringList { QStringLiteral(""), QStringLiteral("-1"), QStringLiteral("1"),
               QStringLiteral("=A1+1"), QStringLiteral("B"), QStringLiteral("b") };
    QTest::newRow("secondary decides")
        << QStringList { QStringLiteral("a,2"), QStringLiteral("b,1"), QStringLiteral("a,1") }
        << QList<int> { 0, 1 } << QStringLiteral("aa")
        << QStringList { QStringLiteral("a,1"), QStringLiteral("a,2"), QStringLiteral("b,1") };
    QTest::newRow("tertiary decides")
        << QStringList { QStringLiteral("a,x,2"), QStringLiteral("a,y,0"), QStringLiteral("a,x,1") }
        << QList<int> { 0, 1, 2 } << QStringLiteral("aaa")
        << QStringList { QStringLiteral("a,x,1"), QStringLiteral("a,x,2"),
               QStringLiteral("a,y,0") };
    QTest::newRow("descending secondary only")
        << QStringList { QStringLiteral("b,1"), QStringLiteral("a,1"), QStringLiteral("b,3"),
               QStringLiteral("a,2") }
        << QList<int> { 0, 1 } << QStringLiteral("ad")
        << QStringList { QStringLiteral("a,2"), QStringLiteral("a,1"), QStringLiteral("b,3"),
               QStringLiteral("b,1") };
    QTest::newRow("stable ascending")
        << QStringList { QStringLiteral("b,1"), QStringLiteral("a,1"), QStringLiteral("b,2"),
               QStringLiteral("a,2"), QStringLiteral("b,3") }
        << QList<int> { 0 } << QStringLiteral("a")
        << QStringList { QStringLiteral("a,1"), QStringLiteral("a,2"), QStringLiteral("b,1"),
               QStringLiteral("b,2"), QStringLiteral("b,3") };
    QTest::newRow("stable descending")
        << QStringList { QStringLiteral("b,1"), QStringLiteral("a,1"), QStringLiteral("b,2"),
               QStringLiteral("a,2"), QStringLiteral("b,3") }
        << QList<int> { 0 } << QStringLiteral("d")
        << QStringList { QStringLiteral("b,1"), QStringLiteral("b,2"), QStringLiteral("b,3"),
               QStringLiteral("a,1"), QStringLiteral("a,2") };
    QTest::newRow("all keys equal keep order")
        << QStringList { QStringLiteral("k,k,k,3"), QStringLiteral("k,k,k,1"),
               QStringLiteral("k,k,k,2") }
        << QList<int> { 2, 1, 0 } << QStringLiteral("dad")
        << QStringList { QStringLiteral("k,k,k,3"), QStringLiteral("k,k,k,1"),
               QStringLiteral("k,k,k,2") };
    QTest::newRow("middle column of the range")
        << QStringList { QStringLiteral("1,c,9"), QStringLiteral("2,a,8"), QStringLiteral("3,b,7") }
        << QList<int> { 1 } << QStringLiteral("a")
        << QStringList { QStringLiteral("2,a,8"), QStringLiteral("3,b,7"),
               QStringLiteral("1,c,9") };
    QTest::newRow("no secondary, tertiary used")
        << QStringList { QStringLiteral("a,z,2"), QStringLiteral("a,y,1") }
        << QList<int> { 0, -1, 2 } << QStringLiteral("aaa")
        << QStringList { QStringLiteral("a,y,1"), QStringLiteral("a,z,2") };
}

void TestSort::sortRows()
{
    QFETCH(QStringList, rows);
    QFETCH(QList<int>, keys);
    QFETCH(QString, orders);
    QFETCH(QStringList, sorted);

    const int columns = int(rows.first().count(u',')) + 1;
    Spreadsheet sheet;
    fillRange(sheet, kTop, kLeft, rows);
    // Neighbours of the range on every side stay where they are.
    sheet.setCellFormula(kTop - 1, kLeft, QStringLiteral("above"));
    sheet.setCellFormula(kTop + int(rows.size()), kLeft, QStringLiteral("below"));
    sheet.setCellFormula(kTop, kLeft - 1, QStringLiteral("left"));
    sheet.setCellFormula(kTop, kLeft + columns, QStringLiteral("right"));
    sheet.setCurrentCell(7, 7);
    sheet.clearSelection();
    sheet.setRangeSelected(
        QTableWidgetSelectionRange(kTop, kLeft, kTop + int(rows.size()) - 1, kLeft + columns - 1),
        true);

    QSignalSpy modified(&sheet, SIGNAL(modified()));
    sheet.sortSelection(makeCompare(keys, orders));
    QCOMPARE(readRange(sheet, kTop, kLeft, int(rows.size()), columns), sorted);
    QCOMPARE(sheet.cellFormula(kTop - 1, kLeft), QStringLiteral("above"));
    QCOMPARE(sheet.cellFormula(kTop + int(rows.size()), kLeft), QStringLiteral("below"));
    QCOMPARE(sheet.cellFormula(kTop, kLeft - 1), QStringLiteral("left"));
    QCOMPARE(sheet.cellFormula(kTop, kLeft + columns), QStringLiteral("right"));
    // A sort that moves nothing changes nothing; either way the rows stay
    // selected.
    QCOMPARE(!modified.isEmpty(), sorted != rows);
    QCOMPARE(sheet.selectedRanges().size(), 1);
    QCOMPARE(sheet.selectedRanges().first().rowCount(), int(rows.size()));
    QCOMPARE(sheet.selectedRanges().first().columnCount(), columns);
    QCOMPARE(sheet.currentRow(), 7);
    QCOMPARE(sheet.currentColumn(), 7);
}

// Empty texts land on empty positions without creating items: a sort
// that moves nothing leaves the grid as it was, and a formula that reads
// an emptied position still reads an empty cell.
void TestSort::emptyPositionsStayEmpty()
{
    Spreadsheet sheet;
    fillRange(sheet, 0, 0, { QStringLiteral("b,"), QStringLiteral(",x"), QStringLiteral("a,") });
    QCOMPARE(sheet.item(1, 0), nullptr);
    sheet.setRangeSelected(QTableWidgetSelectionRange(0, 0, 2, 1), true);
    sheet.sortSelection(makeCompare({ 0 }, QStringLiteral("a")));
    QCOMPARE(readRange(sheet, 0, 0, 3, 2),
        (QStringList { QStringLiteral(",x"), QStringLiteral("a,"), QStringLiteral("b,") }));
    // B3 was empty and receives an empty text: still no item.
    QCOMPARE(sheet.item(2, 1), nullptr);
    QCOMPARE(sheet.cellText(0, 0), QString());

    // The whole grid, all rows equal on the key: nothing moves, no item is
    // made, and B3's formula keeps reading A1 as empty.
    Spreadsheet whole;
    whole.setCellFormula(2, 1, QStringLiteral("=A1+1"));
    whole.selectAll();
    whole.sortSelection(makeCompare({ 0 }, QStringLiteral("a")));
    QCOMPARE(whole.cellText(2, 1), QStringLiteral("1"));
    int items = 0;
    for (int row = 0; row < Spreadsheet::RowCount; ++row)
        for (int column = 0; column < Spreadsheet::ColumnCount; ++column)
            items += whole.item(row, column) != nullptr;
    QCOMPARE(items, 1);
}

void TestSort::formulasMoveAsText()
{
    Spreadsheet sheet;
    sheet.setCellFormula(0, 5, QStringLiteral("7")); // F1
    fillRange(sheet, 0, 0, { QStringLiteral("z,=F1*2"), QStringLiteral("a,1") });
    sheet.setRangeSelected(QTableWidgetSelectionRange(0, 0, 1, 1), true);
    sheet.sortSelection(makeCompare({ 0 }, QStringLiteral("a")));
    QCOMPARE(sheet.cellFormula(1, 1), QStringLiteral("=F1*2"));
    QCOMPARE(sheet.cellText(1, 1), QStringLiteral("14"));
}

// A sort that moves nothing changes nothing: no signal, no step, so the
// document is not marked and Undo offers nothing.
void TestSort::oneRowRange()
{
    Spreadsheet sheet;
    fillRange(sheet, 4, 1, { QStringLiteral("c,b,a") });
    sheet.undoStack()->setClean();
    sheet.clearSelection();
    sheet.setRangeSelected(QTableWidgetSelectionRange(4, 1, 4, 3), true);
    QSignalSpy modified(&sheet, SIGNAL(modified()));
    sheet.sortSelection(makeCompare({ 2, 1, 0 }, QStringLiteral("ddd")));
    QCOMPARE(readRange(sheet, 4, 1, 1, 3), QStringList { QStringLiteral("c,b,a") });
    QCOMPARE(modified.count(), 0);
    QVERIFY(sheet.undoStack()->isClean());
    QCOMPARE(sheet.undoStack()->count(), 0);
    QCOMPARE(sheet.selectedRanges().size(), 1);
}

// "Numbers by value": empty cells, then numbers in the order of their
// values, then texts (formulas among them) in UTF-16 order; unticked, the
// plain text order of before.
void TestSort::numbersByValue_data()
{
    QTest::addColumn<QString>("column");  // one cell per row, "|" between rows
    QTest::addColumn<bool>("byValue");
    QTest::addColumn<QString>("orders");
    QTest::addColumn<QString>("sorted");
    QTest::newRow("by value") << "100|45|9" << true << "a" << "9|45|100";
    QTest::newRow("as text") << "100|45|9" << false << "a" << "100|45|9";
    QTest::newRow("descending") << "9|100|45" << true << "d" << "100|45|9";
    QTest::newRow("numbers before texts")
        << "b|10|=A1|-1.5|a|1e2|nan|9" << true << "a" << "-1.5|9|10|1e2|=A1|a|b|nan";
    QTest::newRow("equal values keep their order") << "1.0|0|1|01" << true << "a" << "0|1.0|1|01";
    QTest::newRow("texts reversed too") << "a|3|b|1" << true << "d" << "b|a|3|1";
}

void TestSort::numbersByValue()
{
    QFETCH(QString, column);
    QFETCH(bool, byValue);
    QFETCH(QString, orders);
    QFETCH(QString, sorted);
    const QStringList rows = column.split(u'|');
    Spreadsheet sheet;
    fillRange(sheet, 0, 0, rows);
    sheet.setRangeSelected(QTableWidgetSelectionRange(0, 0, int(rows.size()) - 1, 0), true);
    RowCompare compare = makeCompare({ 0 }, orders);
    compare.numbersByValue = byValue;
    sheet.sortSelection(compare);
    QCOMPARE(readRange(sheet, 0, 0, int(rows.size()), 1).join(u'|'), sorted);
}

// One selected cell stands for the table around it: the block of
// non-empty rows and columns that touches it, diagonals included, up to an
// empty row and column on each side.
void TestSort::oneCellSortsItsRegion_data()
{
    QTest::addColumn<QStringList>("rows");  // from A1
    QTest::addColumn<QPoint>("cell");       // column, row
    QTest::addColumn<QString>("region");
    const QStringList cluster { QStringLiteral(",F1,F2,F3"), QStringLiteral("Cases,10,0,25"),
        QStringLiteral("Controls,30,7,15"), QStringLiteral(","), QStringLiteral(",,,,,x") };
    // The first row names the columns: it stays where it is.
    QTest::newRow("the table and its names") << cluster << QPoint(1, 1) << "A2:D3";
    QTest::newRow("from a name") << cluster << QPoint(0, 2) << "A2:D3";
    QTest::newRow("a cell alone") << cluster << QPoint(5, 4) << "F5:F5";
    QTest::newRow("an empty cell beside") << cluster << QPoint(4, 3) << "A2:F5";
    QTest::newRow("names only: no header")
        << QStringList { QStringLiteral("b,x"), QStringLiteral("a,y") } << QPoint(0, 0) << "A1:B2";
    QTest::newRow("numbers on top: no header")
        << QStringList { QStringLiteral("1,x"), QStringLiteral("2,y") } << QPoint(1, 1) << "A1:B2";
    QTest::newRow("diagonal neighbour")
        << QStringList { QStringLiteral("1"), QStringLiteral(",2"), QStringLiteral(",,3") } << QPoint(0, 0)
        << "A1:C3";
    QTest::newRow("empty, nothing near") << QStringList { QStringLiteral("1") } << QPoint(5, 5) << "F6:F6";
}

void TestSort::oneCellSortsItsRegion()
{
    QFETCH(QStringList, rows);
    QFETCH(QPoint, cell);
    QFETCH(QString, region);
    Spreadsheet sheet;
    fillRange(sheet, 0, 0, rows);
    sheet.setCurrentCell(cell.y(), cell.x());
    const QTableWidgetSelectionRange range = sheet.sortRange();
    const CellBlock block { range.topRow(), range.leftColumn(), range.bottomRow(), range.rightColumn() };
    QCOMPARE(block.text(), region);
}

// With nothing selected the used block is sorted: the smallest block that
// holds every non-empty cell, wherever it lies.
void TestSort::nothingSelectedSortsUsedBlock()
{
    Spreadsheet sheet;
    fillRange(sheet, 3, 2, { QStringLiteral("c,3,"), QStringLiteral("a,1,"), QStringLiteral(",,z") });
    // An erased cell outside the data does not widen the block.
    sheet.setCellFormula(10, 10, QStringLiteral("gone"));
    sheet.setCellFormula(10, 10, QString());
    sheet.clearSelection();
    const QTableWidgetSelectionRange used = sheet.usedRange();
    QCOMPARE(used.topRow(), 3);
    QCOMPARE(used.leftColumn(), 2);
    QCOMPARE(used.bottomRow(), 5);
    QCOMPARE(used.rightColumn(), 4);
    QSignalSpy modified(&sheet, SIGNAL(modified()));
    sheet.sortSelection(makeCompare({ 0 }, QStringLiteral("a")));
    QCOMPARE(readRange(sheet, 3, 2, 3, 3),
        (QStringList { QStringLiteral(",,z"), QStringLiteral("a,1,"), QStringLiteral("c,3,") }));
    QVERIFY(!modified.isEmpty());

    // An empty grid without a selection: nothing to sort, nothing modified.
    Spreadsheet empty;
    empty.clearSelection();
    QCOMPARE(empty.usedRange().rowCount(), 0);
    QSignalSpy untouched(&empty, SIGNAL(modified()));
    empty.sortSelection(makeCompare({ 0 }, QStringLiteral("a")));
    QCOMPARE(untouched.count(), 0);
}

void TestSort::dialogForm()
{
    SortDialog dialog(nullptr);
    QCOMPARE(dialog.objectName(), QStringLiteral("SortDialog"));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Sort"));
    QCOMPARE(dialog.layout(), dialog.gridLayout);
    QCOMPARE(dialog.layout()->sizeConstraint(), QLayout::SetFixedSize);
    QCOMPARE(dialog.primaryGroupBox->title(), QStringLiteral("&Primary Key"));
    QCOMPARE(dialog.secondaryGroupBox->title(), QStringLiteral("&Secondary Key"));
    QCOMPARE(dialog.tertiaryGroupBox->title(), QStringLiteral("&Tertiary Key"));
    QCOMPARE(dialog.okButton->text(), QStringLiteral("OK"));
    QVERIFY(dialog.okButton->isDefault());
    QCOMPARE(dialog.cancelButton->text(), QStringLiteral("Cancel"));
    QCOMPARE(dialog.moreButton->text(), QStringLiteral("&More"));
    QVERIFY(dialog.moreButton->isCheckable());

    const QList<QComboBox *> orders { dialog.primaryOrderCombo, dialog.secondaryOrderCombo,
        dialog.tertiaryOrderCombo };
    for (QComboBox *combo : orders) {
        QCOMPARE(combo->count(), 2);
        QCOMPARE(combo->itemText(0), QStringLiteral("Ascending"));
        QCOMPARE(combo->itemText(1), QStringLiteral("Descending"));
    }
    const QList<QLabel *> columnLabels { dialog.primaryColumnLabel, dialog.secondaryColumnLabel,
        dialog.tertiaryColumnLabel };
    for (QLabel *label : columnLabels) {
        QVERIFY(Qt::mightBeRichText(label->text()));
        QVERIFY(label->text().contains(QStringLiteral("<p>Column:</p>")));
    }
    QVERIFY(dialog.primaryOrderLabel->text().contains(QStringLiteral("<p>Order:</p>")));

    QVERIFY(dialog.numbersCheck->isChecked());
    dialog.setRange(QStringLiteral("A1:G3"));
    QVERIFY(dialog.rangeLabel->text().contains(QStringLiteral("A1:G3")));

    // Tab order: the keys top to bottom, then the buttons.
    dialog.moreButton->setChecked(true);
    const QList<QWidget *> tabOrder { dialog.primaryColumnCombo, dialog.primaryOrderCombo,
        dialog.numbersCheck, dialog.secondaryColumnCombo, dialog.secondaryOrderCombo, dialog.tertiaryColumnCombo,
        dialog.tertiaryOrderCombo, dialog.okButton, dialog.cancelButton, dialog.moreButton };
    for (int i = 0; i + 1 < tabOrder.size(); ++i)
        QCOMPARE(nextTabStop(tabOrder.at(i)), tabOrder.at(i + 1));
}

void TestSort::columnSpan()
{
    SortDialog dialog(nullptr);
    // All columns at first; only the extra keys offer "None".
    QCOMPARE(dialog.primaryColumnCombo->count(), 26);
    QCOMPARE(dialog.primaryColumnCombo->itemText(0), QStringLiteral("A"));
    QCOMPARE(dialog.secondaryColumnCombo->count(), 27);
    QCOMPARE(dialog.secondaryColumnCombo->itemText(0), QStringLiteral("None"));
    QCOMPARE(dialog.tertiaryColumnCombo->itemText(26), QStringLiteral("Z"));

    dialog.setColumnSpan(QChar(u'C'), QChar(u'E'));
    const QStringList columns { QStringLiteral("C"), QStringLiteral("D"), QStringLiteral("E") };
    QStringList primary, secondary, tertiary;
    for (int i = 0; i < dialog.primaryColumnCombo->count(); ++i)
        primary << dialog.primaryColumnCombo->itemText(i);
    for (int i = 0; i < dialog.secondaryColumnCombo->count(); ++i)
        secondary << dialog.secondaryColumnCombo->itemText(i);
    for (int i = 0; i < dialog.tertiaryColumnCombo->count(); ++i)
        tertiary << dialog.tertiaryColumnCombo->itemText(i);
    QCOMPARE(primary, columns);
    QCOMPARE(secondary, QStringList { QStringLiteral("None") } + columns);
    QCOMPARE(tertiary, secondary);
    QCOMPARE(dialog.primaryColumnCombo->minimumSize(), dialog.secondaryColumnCombo->sizeHint());
}

void TestSort::moreShowsTheExtraKeys()
{
    SortDialog dialog(nullptr);
    dialog.show();
    QVERIFY(!dialog.secondaryGroupBox->isVisible());
    QVERIFY(!dialog.tertiaryGroupBox->isVisible());
    const int smallHeight = dialog.height();

    QTest::mouseClick(dialog.moreButton, Qt::LeftButton);
    QVERIFY(dialog.secondaryGroupBox->isVisible());
    QVERIFY(dialog.tertiaryGroupBox->isVisible());
    QTRY_VERIFY(dialog.height() > smallHeight);

    QTest::mouseClick(dialog.moreButton, Qt::LeftButton);
    QVERIFY(!dialog.secondaryGroupBox->isVisible());
    QTRY_COMPARE(dialog.height(), smallHeight);
}

QTEST_MAIN(TestSort)
#include "test_sort.moc"
