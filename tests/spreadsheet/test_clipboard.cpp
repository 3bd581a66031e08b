// Cut, copy, paste and delete of blocks through the system clipboard.
#include "editprompts.h"
#include "spreadsheet.h"

#include <QApplication>
#include <QClipboard>
#include <QSignalSpy>
#include <QtTest>

Q_DECLARE_METATYPE(QTableWidgetSelectionRange)

namespace {

const QString kSameSize = QStringLiteral(
    "The information cannot be pasted because the copy and paste areas aren't the same size.");
const QString kTooManyColumns
    = QStringLiteral("The information cannot be pasted because the copy has to many columns");

void select(Spreadsheet &sheet, int top, int left, int bottom, int right)
{
    sheet.clearSelection();
    sheet.setRangeSelected(QTableWidgetSelectionRange(top, left, bottom, right), true);
}

void setClipboard(const QString &text)
{
    QApplication::clipboard()->setText(text);
}

QString clipboardText()
{
    return QApplication::clipboard()->text();
}

// A1 = 1, B1 = =A1*2, A2 = x, B2 empty.
void fillExample(Spreadsheet &sheet)
{
    sheet.setCellFormula(0, 0, QStringLiteral("1"));
    sheet.setCellFormula(0, 1, QStringLiteral("=A1*2"));
    sheet.setCellFormula(1, 0, QStringLiteral("x"));
}

int itemCount(const Spreadsheet &sheet)
{
    int n = 0;
    for (int row = 0; row < sheet.rowCount(); ++row)
        for (int column = 0; column < sheet.columnCount(); ++column)
            n += sheet.item(row, column) ? 1 : 0;
    return n;
}

} // namespace

class TestClipboard final : public QObject
{
    Q_OBJECT

private slots:
    void copyGivesFormulaTexts();
    void copyWithoutSelection();
    void pasteAtOneCellKeepsReferences();
    void pasteIntoSameSizeSelection();
    void sizeRefused_data();
    void sizeRefused();
    void trailingLineFeedAtOneCell();
    void tooManyColumns();
    void raggedRowsSkipped();
    void beyondTheGridDropped();
    void emptyClipboard();
    void cutCopiesThenDeletes();
    void delWithoutItems();
    void delRecalculates();
};

void TestClipboard::copyGivesFormulaTexts()
{
    Spreadsheet sheet;
    fillExample(sheet);
    select(sheet, 0, 0, 1, 1);
    sheet.copy();
    QCOMPARE(clipboardText(), QStringLiteral("1\t=A1*2\nx\t"));
}

void TestClipboard::copyWithoutSelection()
{
    Spreadsheet sheet;
    fillExample(sheet);
    sheet.clearSelection();
    setClipboard(QStringLiteral("before"));
    sheet.copy();
    QCOMPARE(clipboardText(), QString());
}

void TestClipboard::pasteAtOneCellKeepsReferences()
{
    Spreadsheet sheet;
    fillExample(sheet);
    select(sheet, 0, 0, 1, 1);
    sheet.copy();

    select(sheet, 4, 3, 4, 3); // D5
    QSignalSpy modified(&sheet, SIGNAL(modified()));
    sheet.paste();
    QCOMPARE(sheet.cellFormula(4, 3), QStringLiteral("1"));
    QCOMPARE(sheet.cellFormula(4, 4), QStringLiteral("=A1*2"));
    QCOMPARE(sheet.cellText(4, 4), QStringLiteral("2")); // still A1, not D5
    QCOMPARE(sheet.cellFormula(5, 3), QStringLiteral("x"));
    QVERIFY(sheet.item(5, 4) != nullptr); // the empty field is written too
    QCOMPARE(sheet.cellFormula(5, 4), QString());
    QVERIFY(!modified.isEmpty());
    // The selection stays where it was.
    QCOMPARE(sheet.selectionRange().topRow(), 4);
    QCOMPARE(sheet.selectionRange().rowCount(), 1);
    QCOMPARE(sheet.selectionRange().columnCount(), 1);
}

void TestClipboard::pasteIntoSameSizeSelection()
{
    Spreadsheet sheet;
    sheet.setCellFormula(2, 2, QStringLiteral("old"));
    setClipboard(QStringLiteral("a\t=1+1\n\td"));
    select(sheet, 2, 2, 3, 3); // C3:D4
    sheet.paste();
    QCOMPARE(sheet.cellFormula(2, 2), QStringLiteral("a"));
    QCOMPARE(sheet.cellText(2, 3), QStringLiteral("2"));
    QCOMPARE(sheet.cellFormula(3, 2), QString());
    QCOMPARE(sheet.cellFormula(3, 3), QStringLiteral("d"));
    QCOMPARE(itemCount(sheet), 4);
}

void TestClipboard::sizeRefused_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QTableWidgetSelectionRange>("selection");

    QTest::newRow("2x2 block, 2x3 selection")
        << QStringLiteral("a\tb\nc\td") << QTableWidgetSelectionRange(0, 0, 1, 2);
    QTest::newRow("2x2 block, 3x2 selection")
        << QStringLiteral("a\tb\nc\td") << QTableWidgetSelectionRange(0, 0, 2, 1);
    // The empty row after a final line feed counts.
    QTest::newRow("line feed at the end, real size")
        << QStringLiteral("a\tb\nc\td\n") << QTableWidgetSelectionRange(0, 0, 1, 1);
    QTest::newRow("one column, line feed at the end")
        << QStringLiteral("a\nb\n") << QTableWidgetSelectionRange(0, 0, 1, 0);
    QTest::newRow("nothing selected") << QStringLiteral("a") << QTableWidgetSelectionRange();
}

void TestClipboard::sizeRefused()
{
    QFETCH(QString, text);
    QFETCH(QTableWidgetSelectionRange, selection);

    EditPrompts prompts;
    Spreadsheet sheet;
    sheet.setCellFormula(0, 0, QStringLiteral("keep"));
    sheet.clearSelection();
    if (selection.rowCount() > 0)
        sheet.setRangeSelected(selection, true);
    setClipboard(text);

    QSignalSpy modified(&sheet, SIGNAL(modified()));
    sheet.paste();
    QCOMPARE(prompts.messages, QStringList { kSameSize });
    QCOMPARE(prompts.titles, QStringList { QStringLiteral("Velmora") });
    QCOMPARE(modified.count(), 0);
    QCOMPARE(sheet.cellFormula(0, 0), QStringLiteral("keep"));
    QCOMPARE(itemCount(sheet), 1);
}

void TestClipboard::trailingLineFeedAtOneCell()
{
    EditPrompts prompts;
    Spreadsheet sheet;
    // The cell just below each block holds something of the user's.
    sheet.setCellFormula(3, 1, QStringLiteral("below"));
    sheet.setCellFormula(3, 4, QStringLiteral("below"));

    setClipboard(QStringLiteral("5\n6\n"));
    select(sheet, 1, 1, 1, 1); // B2
    sheet.paste();
    QCOMPARE(sheet.cellFormula(1, 1), QStringLiteral("5"));
    QCOMPARE(sheet.cellFormula(2, 1), QStringLiteral("6"));
    QCOMPARE(sheet.cellFormula(3, 1), QStringLiteral("below"));

    // A wider block: the empty last row is ragged and skipped anyway.
    setClipboard(QStringLiteral("7\t8\n9\t10\n"));
    select(sheet, 1, 4, 1, 4); // E2
    sheet.paste();
    QCOMPARE(sheet.cellFormula(2, 5), QStringLiteral("10"));
    QCOMPARE(sheet.cellFormula(3, 4), QStringLiteral("below"));
    QVERIFY(sheet.item(3, 5) == nullptr);
    QVERIFY(prompts.messages.isEmpty());
}

void TestClipboard::tooManyColumns()
{
    // 999 fields from column B: one more than any row may have.
    QStringList wide;
    for (int i = 0; i < 999; ++i)
        wide << QString::number(i);
    const QString wideRow = wide.join(u'\t');

    // The reference run: the rows before the wide one, pasted alone.
    Spreadsheet reference;
    setClipboard(QStringLiteral("a\tb"));
    select(reference, 0, 1, 0, 1);
    QSignalSpy referenceModified(&reference, SIGNAL(modified()));
    reference.paste();

    EditPrompts prompts;
    Spreadsheet sheet;
    setClipboard(QStringLiteral("a\tb\n") + wideRow + QStringLiteral("\nc\td"));
    select(sheet, 0, 1, 0, 1); // B1
    QSignalSpy modified(&sheet, SIGNAL(modified()));
    sheet.paste();
    QCOMPARE(prompts.messages, QStringList { kTooManyColumns });
    QCOMPARE(prompts.titles, QStringList { QStringLiteral("Velmora") });
    // The first row stays pasted; nothing after the wide row is.
    QCOMPARE(sheet.cellFormula(0, 1), QStringLiteral("a"));
    QCOMPARE(sheet.cellFormula(0, 2), QStringLiteral("b"));
    QCOMPARE(itemCount(sheet), 2);
    // The rows pasted before the refusal are announced once, as a paste of
    // those rows alone is.
    QCOMPARE(modified.count(), referenceModified.count());

    // From column A the same row is just wide enough: A to Z are written,
    // the rest dropped without a word.
    prompts.messages.clear();
    Spreadsheet fits;
    setClipboard(wideRow);
    select(fits, 0, 0, 0, 0);
    fits.paste();
    QVERIFY(prompts.messages.isEmpty());
    QCOMPARE(fits.cellFormula(0, 25), QStringLiteral("25"));
    QCOMPARE(itemCount(fits), 26);
}

void TestClipboard::raggedRowsSkipped()
{
    EditPrompts prompts;
    Spreadsheet sheet;
    sheet.setCellFormula(2, 2, QStringLiteral("keep")); // C3, in the ragged row
    setClipboard(QStringLiteral("1\t2\t3\n4\t5\n6\t7\t8\t9"));
    select(sheet, 1, 1, 1, 1); // B2
    sheet.paste();
    QCOMPARE(sheet.cellFormula(1, 1), QStringLiteral("1"));
    QCOMPARE(sheet.cellFormula(1, 3), QStringLiteral("3"));
    QVERIFY(sheet.item(2, 1) == nullptr);
    QCOMPARE(sheet.cellFormula(2, 2), QStringLiteral("keep"));
    QCOMPARE(sheet.cellFormula(3, 1), QStringLiteral("6"));
    QCOMPARE(sheet.cellFormula(3, 3), QStringLiteral("8"));
    QVERIFY(sheet.item(3, 4) == nullptr); // fields beyond the first row's width
    QCOMPARE(itemCount(sheet), 7);
    QVERIFY(prompts.messages.isEmpty());
}

void TestClipboard::beyondTheGridDropped()
{
    EditPrompts prompts;
    Spreadsheet sheet;
    setClipboard(QStringLiteral("p\tq\tr"));
    select(sheet, 0, 24, 0, 24); // Y1
    sheet.paste();
    QCOMPARE(sheet.cellFormula(0, 24), QStringLiteral("p"));
    QCOMPARE(sheet.cellFormula(0, 25), QStringLiteral("q"));
    QCOMPARE(itemCount(sheet), 2);

    setClipboard(QStringLiteral("u\nv\nw"));
    select(sheet, 997, 0, 997, 0); // A998
    sheet.paste();
    QCOMPARE(sheet.cellFormula(997, 0), QStringLiteral("u"));
    QCOMPARE(sheet.cellFormula(998, 0), QStringLiteral("v"));
    QCOMPARE(itemCount(sheet), 4);
    QCOMPARE(sheet.rowCount(), 999);
    QVERIFY(prompts.messages.isEmpty());
}

void TestClipboard::emptyClipboard()
{
    EditPrompts prompts;
    Spreadsheet sheet;
    sheet.setCellFormula(4, 4, QStringLiteral("old"));
    QApplication::clipboard()->clear();
    QCOMPARE(clipboardText(), QString());
    select(sheet, 4, 4, 4, 4);
    QSignalSpy modified(&sheet, SIGNAL(modified()));
    sheet.paste();
    QVERIFY(sheet.item(4, 4) != nullptr);
    QCOMPARE(sheet.cellFormula(4, 4), QString());
    QVERIFY(!modified.isEmpty());
    QVERIFY(prompts.messages.isEmpty());
}

void TestClipboard::cutCopiesThenDeletes()
{
    Spreadsheet sheet;
    fillExample(sheet);
    sheet.setCellFormula(2, 0, QStringLiteral("outside"));
    select(sheet, 0, 0, 1, 1);
    QSignalSpy modified(&sheet, SIGNAL(modified()));
    sheet.cut();
    QCOMPARE(clipboardText(), QStringLiteral("1\t=A1*2\nx\t"));
    QCOMPARE(modified.count(), 1);
    QVERIFY(sheet.item(0, 0) == nullptr);
    QVERIFY(sheet.item(0, 1) == nullptr);
    QVERIFY(sheet.item(1, 0) == nullptr);
    QCOMPARE(sheet.cellFormula(2, 0), QStringLiteral("outside"));
    QCOMPARE(sheet.selectionRange().rowCount(), 2);
    QCOMPARE(sheet.selectionRange().columnCount(), 2);

    // The cut block comes back whole at another cell.
    select(sheet, 9, 9, 9, 9);
    sheet.paste();
    QCOMPARE(sheet.cellFormula(9, 10), QStringLiteral("=A1*2"));
    QCOMPARE(sheet.cellText(9, 10), QStringLiteral("0"));
}

void TestClipboard::delWithoutItems()
{
    Spreadsheet sheet;
    sheet.setCellFormula(5, 5, QStringLiteral("outside"));
    select(sheet, 0, 0, 3, 3);
    QSignalSpy modified(&sheet, SIGNAL(modified()));
    sheet.del();
    QCOMPARE(modified.count(), 0);
    sheet.clearSelection();
    sheet.del();
    QCOMPARE(modified.count(), 0);
    QCOMPARE(itemCount(sheet), 1);
}

void TestClipboard::delRecalculates()
{
    Spreadsheet sheet;
    QVERIFY(sheet.isAutoRecalculate());
    sheet.setCellFormula(0, 0, QStringLiteral("5"));
    sheet.setCellFormula(0, 2, QStringLiteral("=A1+1"));
    QCOMPARE(sheet.cellText(0, 2), QStringLiteral("6"));
    select(sheet, 0, 0, 1, 1);
    QSignalSpy modified(&sheet, SIGNAL(modified()));
    sheet.del();
    QCOMPARE(modified.count(), 1);
    QCOMPARE(sheet.cellText(0, 2), QStringLiteral("1"));
}

QTEST_MAIN(TestClipboard)
#include "test_clipboard.moc"
