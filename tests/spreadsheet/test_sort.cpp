// Sorting the rows of the selected range, and the Sort dialog's form.
#include "editprompts.h"
#include "rowcompare.h"
#include "sortdialog.h"
#include "spreadsheet.h"

#include <QSignalSpy>
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
    QVERIFY(!modified.isEmpty());
    QVERIFY(sheet.selectedRanges().isEmpty());
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

void TestSort::oneRowRange()
{
    Spreadsheet sheet;
    fillRange(sheet, 4, 1, { QStringLiteral("c,b,a") });
    sheet.setRangeSelected(QTableWidgetSelectionRange(4, 1, 4, 3), true);
    QSignalSpy modified(&sheet, SIGNAL(modified()));
    sheet.sortSelection(makeCompare({ 2, 1, 0 }, QStringLiteral("ddd")));
    QCOMPARE(readRange(sheet, 4, 1, 1, 3), QStringList { QStringLiteral("c,b,a") });
    QVERIFY(!modified.isEmpty());
    QVERIFY(sheet.selectedRanges().isEmpty());
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

    // Tab order: the keys top to bottom, then the buttons.
    dialog.moreButton->setChecked(true);
    const QList<QWidget *> tabOrder { dialog.primaryColumnCombo, dialog.primaryOrderCombo,
        dialog.secondaryColumnCombo, dialog.secondaryOrderCombo, dialog.tertiaryColumnCombo,
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
