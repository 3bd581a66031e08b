// The grid's history: every kind of edit is one step that undo and redo
// replay exactly, in one batch, with the change announced once.
#include "celleditcommand.h"
#include "celltyping.h"
#include "editprompts.h"
#include "rowcompare.h"
#include "spreadsheet.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUndoStack>
#include <QtTest>

#include <functional>

namespace {

using celltyping::typeInto;
using Edit = std::function<void(Spreadsheet &)>;

void select(Spreadsheet &sheet, int top, int left, int bottom, int right)
{
    sheet.clearSelection();
    sheet.setRangeSelected(QTableWidgetSelectionRange(top, left, bottom, right), true);
}

// Every position's content, "-" for a position without an item, so that an
// item holding the empty text and no item at all are told apart.
QStringList snapshot(const Spreadsheet &sheet)
{
    QStringList cells;
    for (int row = 0; row < Spreadsheet::RowCount; ++row) {
        for (int column = 0; column < Spreadsheet::ColumnCount; ++column) {
            if (sheet.item(row, column))
                cells << QStringLiteral("%1,%2=%3").arg(row).arg(column).arg(sheet.cellFormula(row, column));
        }
    }
    return cells;
}

// A2:C4 with numbers, a text, a formula and an item holding the empty text.
void fillExample(Spreadsheet &sheet)
{
    const char *rows[3][3] = { { "3", "b", "=A2+1" }, { "1", "a", "" }, { "2", "", "x" } };
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            if (*rows[r][c] || (r == 1 && c == 2))
                sheet.setCellFormula(1 + r, c, QString::fromUtf8(rows[r][c]));
}

RowCompare byFirstColumn()
{
    RowCompare compare;
    compare.keyColumn[0] = 0;
    return compare;
}

QString fullGridBlock()
{
    QStringList rows;
    for (int row = 0; row < Spreadsheet::RowCount; ++row) {
        QStringList fields;
        for (int column = 0; column < Spreadsheet::ColumnCount; ++column)
            fields << QString::number(row * 100 + column);
        rows << fields.join(u'\t');
    }
    return rows.join(u'\n');
}

} // namespace

Q_DECLARE_METATYPE(Edit)

class TestUndo final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void eachEditIsOneStep_data();
    void eachEditIsOneStep();
    void editsThatChangeNothing();
    void partialPasteIsOneStep();
    void fullGridPasteUndoneInOneBatch();
    void undoRecalculatesAsAnEdit();
    void undoShowsTheChangedBlock();
    void openEditorIsUndoneFirst();
    void newAndLoadedGridsHaveNoHistory();
    void newEditDropsTheRedoSteps();
};

void TestUndo::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void TestUndo::eachEditIsOneStep_data()
{
    QTest::addColumn<Edit>("edit");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("cells"); // positions the step changes

    QTest::newRow("typing into a filled cell")
        << Edit([](Spreadsheet &s) { typeInto(&s, 1, 0, QStringLiteral("42")); })
        << QStringLiteral("Typing in A2") << 1;
    QTest::newRow("typing into an empty cell")
        << Edit([](Spreadsheet &s) { typeInto(&s, 7, 4, QStringLiteral("=A2*2")); })
        << QStringLiteral("Typing in E8") << 1;
    QTest::newRow("erasing a cell in its editor")
        << Edit([](Spreadsheet &s) { typeInto(&s, 1, 1, QString()); })
        << QStringLiteral("Typing in B2") << 1;
    // B2:C3 over b, =A2+1, a and the empty item: the empty item gets "y".
    QTest::newRow("paste")
        << Edit([](Spreadsheet &s) {
               QApplication::clipboard()->setText(QStringLiteral("p\tq\nr\ty"));
               select(s, 1, 1, 2, 2);
               s.paste();
           })
        << QStringLiteral("Paste") << 4;
    QTest::newRow("cut")
        << Edit([](Spreadsheet &s) {
               select(s, 1, 0, 2, 2);
               s.cut();
           })
        << QStringLiteral("Cut") << 6;
    QTest::newRow("delete")
        << Edit([](Spreadsheet &s) {
               select(s, 2, 0, 3, 2);
               s.del();
           })
        << QStringLiteral("Delete") << 5;
    // Rows 3, 1, 2 become 1, 2, 3; the empty texts move as texts.
    QTest::newRow("sort")
        << Edit([](Spreadsheet &s) {
               select(s, 1, 0, 3, 2);
               s.sortSelection(byFirstColumn());
           })
        << QStringLiteral("Sort") << 9;
}

void TestUndo::eachEditIsOneStep()
{
    QFETCH(Edit, edit);
    QFETCH(QString, name);
    QFETCH(int, cells);
    EditPrompts prompts;
    Spreadsheet sheet;
    sheet.show();
    fillExample(sheet);
    const QStringList before = snapshot(sheet);

    edit(sheet);
    const QStringList after = snapshot(sheet);
    QVERIFY(after != before);
    QUndoStack *history = sheet.undoStack();
    QCOMPARE(history->count(), 1);
    QCOMPARE(history->undoText(), name);
    QVERIFY(!history->canRedo());
    QVERIFY(prompts.messages.isEmpty());
    // The step holds the changed positions only.
    QCOMPARE(static_cast<const CellEditCommand *>(history->command(0))->cellCount(), cells);

    // Undo and redo replay the grid exactly, each announced once.
    QSignalSpy modified(&sheet, SIGNAL(modified()));
    QSignalSpy content(&sheet, SIGNAL(contentChanged()));
    sheet.undo();
    QCOMPARE(snapshot(sheet), before);
    QCOMPARE(modified.count(), 1);
    QCOMPARE(content.count(), 1);
    QCOMPARE(history->redoText(), name);
    QVERIFY(!history->canUndo());
    sheet.redo();
    QCOMPARE(snapshot(sheet), after);
    QCOMPARE(modified.count(), 2);
    QCOMPARE(content.count(), 2);
    sheet.undo();
    QCOMPARE(snapshot(sheet), before);
}

// No step where nothing changes: committing a cell's own text, leaving an
// empty cell's editor empty, deleting empty cells, a sort that moves
// nothing (which is not announced either).
void TestUndo::editsThatChangeNothing()
{
    Spreadsheet sheet;
    sheet.show();
    fillExample(sheet);
    typeInto(&sheet, 1, 0, QStringLiteral("3"));
    typeInto(&sheet, 20, 20, QString());
    QCOMPARE(sheet.item(20, 20), nullptr);
    select(sheet, 10, 10, 12, 12);
    sheet.del();
    sheet.cut();
    QCOMPARE(sheet.undoStack()->count(), 0);

    select(sheet, 2, 0, 3, 2); // already in order
    const QStringList before = snapshot(sheet);
    QSignalSpy modified(&sheet, SIGNAL(modified()));
    sheet.sortSelection(byFirstColumn());
    QCOMPARE(snapshot(sheet), before);
    QCOMPARE(modified.count(), 0);
    QCOMPARE(sheet.undoStack()->count(), 0);
}

// A paste stopped by a row that is too wide keeps the rows before it, as
// one step, announced once.
void TestUndo::partialPasteIsOneStep()
{
    EditPrompts prompts;
    Spreadsheet sheet;
    QStringList wide;
    for (int i = 0; i < 999; ++i)
        wide << QString::number(i);
    QApplication::clipboard()->setText(QStringLiteral("a\tb\nc\td\n") + wide.join(u'\t'));
    select(sheet, 0, 1, 0, 1);
    QSignalSpy modified(&sheet, SIGNAL(modified()));
    sheet.paste();
    QCOMPARE(prompts.messages.size(), 1);
    QCOMPARE(modified.count(), 1);
    QCOMPARE(snapshot(sheet).size(), 4);
    QCOMPARE(sheet.undoStack()->count(), 1);
    sheet.undo();
    QVERIFY(snapshot(sheet).isEmpty());

    // Refused at the first row: nothing pasted, no step.
    QApplication::clipboard()->setText(wide.join(u'\t'));
    sheet.undoStack()->clear();
    sheet.paste();
    QCOMPARE(sheet.undoStack()->count(), 0);
}

// The largest step there is: every position of the grid. Its undo writes
// all of them in one batch: one recalculation, one announcement.
void TestUndo::fullGridPasteUndoneInOneBatch()
{
    Spreadsheet sheet;
    sheet.show();
    sheet.setCellFormula(500, 3, QStringLiteral("old"));
    QApplication::clipboard()->setText(fullGridBlock());
    sheet.setCurrentCell(0, 0);
    QSignalSpy modified(&sheet, SIGNAL(modified()));
    sheet.paste();
    QCOMPARE(modified.count(), 1);
    QCOMPARE(sheet.cellFormula(998, 25), QStringLiteral("99825"));

    QSignalSpy content(&sheet, SIGNAL(contentChanged()));
    const quint64 generation = sheet.recalcGeneration();
    sheet.undo();
    QCOMPARE(content.count(), 1);
    QCOMPARE(modified.count(), 2);
    QCOMPARE(sheet.recalcGeneration(), generation + 1);
    QCOMPARE(snapshot(sheet), QStringList { QStringLiteral("500,3=old") });
    sheet.redo();
    QCOMPARE(sheet.cellFormula(500, 3), QStringLiteral("50003"));
    QCOMPARE(snapshot(sheet).size(), Spreadsheet::RowCount * Spreadsheet::ColumnCount);
}

// Formulas that read an undone cell follow it as after any edit; with
// auto-recalculation off they wait for Recalculate, as after any edit.
void TestUndo::undoRecalculatesAsAnEdit()
{
    Spreadsheet sheet;
    sheet.show();
    sheet.setCellFormula(0, 0, QStringLiteral("5"));
    sheet.setCellFormula(0, 1, QStringLiteral("=A1*10"));
    QCOMPARE(sheet.cellText(0, 1), QStringLiteral("50"));
    typeInto(&sheet, 0, 0, QStringLiteral("7"));
    QCOMPARE(sheet.cellText(0, 1), QStringLiteral("70"));
    sheet.undo();
    QCOMPARE(sheet.cellText(0, 1), QStringLiteral("50"));

    sheet.setAutoRecalculate(false);
    sheet.redo();
    QCOMPARE(sheet.cellFormula(0, 0), QStringLiteral("7"));
    QCOMPARE(sheet.cellText(0, 1), QStringLiteral("50"));
    sheet.recalculate();
    QCOMPARE(sheet.cellText(0, 1), QStringLiteral("70"));
}

// The grid scrolls to where an undone step changed it, and keeps its
// selection and current cell: the selection is a test's input.
void TestUndo::undoShowsTheChangedBlock()
{
    Spreadsheet sheet;
    sheet.resize(400, 300);
    sheet.show();
    QApplication::clipboard()->setText(QStringLiteral("1\t2\n3\t4"));
    sheet.setCurrentCell(600, 20);
    sheet.paste();
    sheet.setCurrentCell(4, 2);
    select(sheet, 4, 2, 6, 3);
    QVERIFY(!sheet.viewport()->rect().intersects(sheet.visualItemRect(sheet.item(600, 20))));
    sheet.undo();
    QCOMPARE(sheet.item(600, 20), nullptr);
    QVERIFY(sheet.viewport()->rect().contains(sheet.visualRect(sheet.model()->index(600, 20))));
    QCOMPARE(sheet.currentRow(), 4);
    QCOMPARE(sheet.currentColumn(), 2);
    const QTableWidgetSelectionRange range = sheet.selectionRange();
    QCOMPARE(range.topRow(), 4);
    QCOMPARE(range.bottomRow(), 6);
    QCOMPARE(range.rightColumn(), 3);
}

// Undo with a cell's editor still open drops what was typed there, as
// Escape would, and undoes nothing else; Redo keeps it.
void TestUndo::openEditorIsUndoneFirst()
{
    Spreadsheet sheet;
    sheet.show();
    typeInto(&sheet, 0, 0, QStringLiteral("1"));
    const QModelIndex b1 = sheet.model()->index(0, 1);
    sheet.setCurrentCell(0, 1);
    sheet.edit(b1);
    QTest::keyClicks(sheet.indexWidget(b1), QStringLiteral("typed"));
    sheet.undo();
    QVERIFY(!sheet.indexWidget(b1));
    QCOMPARE(sheet.item(0, 1), nullptr);
    QCOMPARE(sheet.cellFormula(0, 0), QStringLiteral("1"));
    QCOMPARE(sheet.undoStack()->count(), 1);

    sheet.edit(b1);
    QTest::keyClicks(sheet.indexWidget(b1), QStringLiteral("kept"));
    sheet.redo();
    QCOMPARE(sheet.cellFormula(0, 1), QStringLiteral("kept"));
    QCOMPARE(sheet.undoStack()->undoText(), QStringLiteral("Typing in B1"));
}

void TestUndo::newAndLoadedGridsHaveNoHistory()
{
    QTemporaryDir dir;
    EditPrompts prompts;
    Spreadsheet sheet;
    sheet.show();
    typeInto(&sheet, 0, 0, QStringLiteral("1"));
    const QString path = dir.filePath(QStringLiteral("doc.sp"));
    QVERIFY(sheet.writeSheet(path));
    QCOMPARE(sheet.undoStack()->count(), 1);

    // A failed load leaves the grid, and its history, as they were.
    QVERIFY(!sheet.readSheet(dir.filePath(QStringLiteral("absent.sp"))));
    QCOMPARE(sheet.undoStack()->count(), 1);
    QVERIFY(sheet.readSheet(path));
    QCOMPARE(sheet.undoStack()->count(), 0);
    QVERIFY(sheet.undoStack()->isClean());

    typeInto(&sheet, 0, 0, QStringLiteral("2"));
    sheet.clearSheet();
    QCOMPARE(sheet.undoStack()->count(), 0);
    QVERIFY(!sheet.undoStack()->canUndo());
}

void TestUndo::newEditDropsTheRedoSteps()
{
    Spreadsheet sheet;
    sheet.show();
    typeInto(&sheet, 0, 0, QStringLiteral("1"));
    typeInto(&sheet, 0, 0, QStringLiteral("2"));
    sheet.undo();
    QCOMPARE(sheet.undoStack()->redoText(), QStringLiteral("Typing in A1"));
    typeInto(&sheet, 1, 0, QStringLiteral("3"));
    QVERIFY(!sheet.undoStack()->canRedo());
    sheet.undo();
    sheet.undo();
    QVERIFY(snapshot(sheet).isEmpty());
}

QTEST_MAIN(TestUndo)
#include "test_undo.moc"
