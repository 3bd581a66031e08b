// Undo and redo in the main window: Edit > Undo and Redo name the step and
// grey out when there is none, the modified mark follows the saved state,
// New and Open start an empty history, and the open test dialog re-checks.
#include "documentprompts.h"
#include "mainwindow.h"
#include "seldialog.h"
#include "sortdialog.h"
#include "spreadsheet.h"
#include "windowtesthelpers.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUndoStack>
#include <QtTest>

#include <functional>

using windowtest::action;
using windowtest::typeInto;

namespace {

using Edit = std::function<void(MainWindow &)>;

const QString kGood = QStringLiteral("<font color=\"green\"> All is good</font>");
const QString kWrong = QStringLiteral("<font color=\"red\">Wrong number</font>");

void trigger(MainWindow &window, const QString &text)
{
    QVERIFY2(windowtest::trigger(window, text), qPrintable(text));
}

void select(Spreadsheet *sheet, int top, int left, int bottom, int right)
{
    sheet->clearSelection();
    sheet->setRangeSelected(QTableWidgetSelectionRange(top, left, bottom, right), true);
}

QAction *undoAction(const MainWindow &window)
{
    return window.menuBar()->actions().at(1)->menu()->actions().at(0);
}

QAction *redoAction(const MainWindow &window)
{
    return window.menuBar()->actions().at(1)->menu()->actions().at(1);
}

} // namespace

Q_DECLARE_METATYPE(Edit)

class TestUndoWindow final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void editMenu();
    void eachEditThroughTheWindow_data();
    void eachEditThroughTheWindow();
    void keysUndoAndRedo();
    void modifiedMarkFollowsSavedState();
    void newAndOpenStartEmptyHistory();
    void testDialogRechecksAfterUndo();
    void undoneEditSavesTheSameBytes();

private:
    QTemporaryDir dir;
};

void TestUndoWindow::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(dir.isValid());
}

// Undo and Redo lead the Edit menu, greyed on a new window; Redo answers
// both of its usual keys.
void TestUndoWindow::editMenu()
{
    MainWindow window;
    QCOMPARE(undoAction(window)->text(), QStringLiteral("&Undo"));
    QCOMPARE(redoAction(window)->text(), QStringLiteral("&Redo"));
    QVERIFY(!undoAction(window)->isEnabled());
    QVERIFY(!redoAction(window)->isEnabled());
    QCOMPARE(undoAction(window)->shortcuts(), QList<QKeySequence> { QKeySequence(QKeySequence::Undo) });
    QCOMPARE(redoAction(window)->shortcuts(),
             (QList<QKeySequence> { QKeySequence(QStringLiteral("Ctrl+Shift+Z")),
                                    QKeySequence(QStringLiteral("Ctrl+Y")) }));
}

void TestUndoWindow::eachEditThroughTheWindow_data()
{
    QTest::addColumn<Edit>("edit");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("after"); // B2:C3

    QTest::newRow("typing") << Edit([](MainWindow &w) { typeInto(w.sheet(), 2, 2, QStringLiteral("7")); })
                            << QStringLiteral("Typing in C3") << windowtest::strings({ "10,20", "30,7" });
    QTest::newRow("paste") << Edit([](MainWindow &w) {
        QApplication::clipboard()->setText(QStringLiteral("1\t2\n3\t4"));
        select(w.sheet(), 1, 1, 2, 2);
        trigger(w, QStringLiteral("&Paste"));
    }) << QStringLiteral("Paste") << windowtest::strings({ "1,2", "3,4" });
    QTest::newRow("cut") << Edit([](MainWindow &w) {
        select(w.sheet(), 1, 1, 1, 2);
        trigger(w, QStringLiteral("Cu&t"));
    }) << QStringLiteral("Cut") << windowtest::strings({ ",", "30,40" });
    QTest::newRow("delete") << Edit([](MainWindow &w) {
        select(w.sheet(), 1, 2, 2, 2);
        trigger(w, QStringLiteral("&Delete"));
    }) << QStringLiteral("Delete") << windowtest::strings({ "10,", "30," });
    // Descending on the first column, through the real dialog.
    QTest::newRow("sort") << Edit([](MainWindow &w) {
        select(w.sheet(), 1, 1, 2, 2);
        windowtest::ModalAnswer answer([](QWidget *modal) {
            auto *dialog = qobject_cast<SortDialog *>(modal);
            if (!dialog) {
                modal->close();
                return;
            }
            dialog->primaryOrderCombo->setCurrentIndex(1);
            QTest::mouseClick(dialog->okButton, Qt::LeftButton);
        });
        trigger(w, QStringLiteral("&Sort..."));
        QVERIFY(answer.answered);
    }) << QStringLiteral("Sort") << windowtest::strings({ "30,40", "10,20" });
}

void TestUndoWindow::eachEditThroughTheWindow()
{
    QFETCH(Edit, edit);
    QFETCH(QString, name);
    QFETCH(QStringList, after);
    DocumentPrompts prompts;
    MainWindow window;
    window.show();
    Spreadsheet *sheet = window.sheet();
    windowtest::fill(sheet, 1, 1, { { "10", "20" }, { "30", "40" } });
    const QStringList before = windowtest::rangeFormulas(sheet, 1, 1, 2, 2);

    edit(window);
    QCOMPARE(windowtest::rangeFormulas(sheet, 1, 1, 2, 2), after);
    QCOMPARE(sheet->undoStack()->count(), 1);
    QCOMPARE(undoAction(window)->text(), QStringLiteral("&Undo ") + name);
    QVERIFY(undoAction(window)->isEnabled());
    QCOMPARE(redoAction(window)->text(), QStringLiteral("&Redo"));
    QVERIFY(!redoAction(window)->isEnabled());

    undoAction(window)->trigger();
    QCOMPARE(windowtest::rangeFormulas(sheet, 1, 1, 2, 2), before);
    QCOMPARE(undoAction(window)->text(), QStringLiteral("&Undo"));
    QVERIFY(!undoAction(window)->isEnabled());
    QCOMPARE(redoAction(window)->text(), QStringLiteral("&Redo ") + name);
    QVERIFY(redoAction(window)->isEnabled());

    redoAction(window)->trigger();
    QCOMPARE(windowtest::rangeFormulas(sheet, 1, 1, 2, 2), after);
    QCOMPARE(prompts.unplanned, 0);
}

// The shortcuts as keys pressed in the grid: Ctrl+Z, Ctrl+Shift+Z, Ctrl+Y.
void TestUndoWindow::keysUndoAndRedo()
{
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    Spreadsheet *sheet = window.sheet();
    sheet->setFocus();
    typeInto(sheet, 0, 0, QStringLiteral("5"));
    typeInto(sheet, 0, 0, QStringLiteral("6"));
    QTest::keyClick(sheet, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(sheet->cellFormula(0, 0), QStringLiteral("5"));
    QTest::keyClick(sheet, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(sheet->item(0, 0), nullptr);
    QTest::keyClick(sheet, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(sheet->cellFormula(0, 0), QStringLiteral("5"));
    QTest::keyClick(sheet, Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(sheet->cellFormula(0, 0), QStringLiteral("6"));
}

// The mark goes when the grid is back where it was saved, in either
// direction, and comes back when it leaves that state.
void TestUndoWindow::modifiedMarkFollowsSavedState()
{
    DocumentPrompts prompts;
    MainWindow window;
    window.show();
    Spreadsheet *sheet = window.sheet();
    const QString path = dir.filePath(QStringLiteral("mark.sp"));
    prompts.fileAnswers.enqueue(path);
    trigger(window, QStringLiteral("Save &As..."));
    QVERIFY(!window.isWindowModified());

    typeInto(sheet, 0, 0, QStringLiteral("1"));
    QVERIFY(window.isWindowModified());
    QVERIFY(window.windowTitle().startsWith(QStringLiteral("mark.sp")));
    undoAction(window)->trigger();
    QVERIFY(!window.isWindowModified());
    redoAction(window)->trigger();
    QVERIFY(window.isWindowModified());

    // Saved with the step done: undoing it now modifies, redoing cleans.
    trigger(window, QStringLiteral("&Save"));
    QVERIFY(!window.isWindowModified());
    QVERIFY(sheet->undoStack()->isClean());
    undoAction(window)->trigger();
    QVERIFY(window.isWindowModified());
    redoAction(window)->trigger();
    QVERIFY(!window.isWindowModified());

    // A new step after undoing past the save can never come back to it.
    undoAction(window)->trigger();
    typeInto(sheet, 1, 0, QStringLiteral("2"));
    QVERIFY(window.isWindowModified());
    undoAction(window)->trigger();
    QVERIFY(window.isWindowModified());
    QCOMPARE(prompts.unplanned, 0);
}

void TestUndoWindow::newAndOpenStartEmptyHistory()
{
    DocumentPrompts prompts;
    MainWindow window;
    window.show();
    Spreadsheet *sheet = window.sheet();
    typeInto(sheet, 0, 0, QStringLiteral("1"));
    const QString path = dir.filePath(QStringLiteral("history.sp"));
    prompts.fileAnswers.enqueue(path);
    trigger(window, QStringLiteral("&Save"));
    typeInto(sheet, 0, 0, QStringLiteral("2"));

    // An Open that fails keeps the grid and its history.
    prompts.buttonAnswers.enqueue(QMessageBox::No);
    prompts.fileAnswers.enqueue(dir.filePath(QStringLiteral("absent.sp")));
    trigger(window, QStringLiteral("&Open..."));
    QCOMPARE(sheet->undoStack()->count(), 2);
    QVERIFY(undoAction(window)->isEnabled());

    prompts.buttonAnswers.enqueue(QMessageBox::No);
    prompts.fileAnswers.enqueue(path);
    trigger(window, QStringLiteral("&Open..."));
    QCOMPARE(sheet->cellFormula(0, 0), QStringLiteral("1"));
    QCOMPARE(sheet->undoStack()->count(), 0);
    QVERIFY(!undoAction(window)->isEnabled());
    QCOMPARE(undoAction(window)->text(), QStringLiteral("&Undo"));

    typeInto(sheet, 0, 0, QStringLiteral("3"));
    undoAction(window)->trigger();
    QVERIFY(redoAction(window)->isEnabled());
    trigger(window, QStringLiteral("&New"));
    QCOMPARE(sheet->undoStack()->count(), 0);
    QVERIFY(!undoAction(window)->isEnabled());
    QVERIFY(!redoAction(window)->isEnabled());
    QVERIFY(!window.isWindowModified());
    QCOMPARE(prompts.unplanned, 0);
}

// The chi-squared dialog open on A1:B2 follows the undone and redone edit
// as it follows the edit itself.
void TestUndoWindow::testDialogRechecksAfterUndo()
{
    MainWindow window;
    window.show();
    Spreadsheet *sheet = window.sheet();
    windowtest::fill(sheet, 0, 0, { { "10", "20" }, { "30", "40" } });
    select(sheet, 0, 0, 1, 1);
    trigger(window, QStringLiteral("&Chi-squared test..."));
    SelDialog *dialog = window.selectionDialog();
    QCOMPARE(dialog->messageLabel->text(), kGood);

    typeInto(sheet, 1, 1, QStringLiteral("abc"));
    QCoreApplication::processEvents();
    QCOMPARE(dialog->messageLabel->text(), kWrong);
    undoAction(window)->trigger();
    QCoreApplication::processEvents();
    QCOMPARE(dialog->messageLabel->text(), kGood);
    QVERIFY(dialog->okButton->isEnabled());
    redoAction(window)->trigger();
    QCoreApplication::processEvents();
    QCOMPARE(dialog->messageLabel->text(), kWrong);
    QVERIFY(!dialog->okButton->isEnabled());
}

// A count typed and undone, then saved: the file is the one opened, byte
// for byte.
void TestUndoWindow::undoneEditSavesTheSameBytes()
{
    DocumentPrompts prompts;
    const QString path = dir.filePath(QStringLiteral("same.sp"));
    {
        MainWindow first;
        windowtest::fill(first.sheet(), 1, 1, { { "45", "72", "33" }, { "=B2+1", "x", nullptr } });
        prompts.fileAnswers.enqueue(path);
        trigger(first, QStringLiteral("&Save"));
    }
    const QByteArray original = windowtest::fileBytes(path);
    QVERIFY(original.size() > 4);

    MainWindow window;
    window.show();
    window.openArguments({ path });
    typeInto(window.sheet(), 2, 3, QStringLiteral("12"));
    select(window.sheet(), 2, 2, 2, 2); // and C3's "x" deleted too
    trigger(window, QStringLiteral("&Delete"));
    QVERIFY(window.isWindowModified());
    undoAction(window)->trigger();
    undoAction(window)->trigger();
    QVERIFY(!window.isWindowModified());
    trigger(window, QStringLiteral("&Save"));
    QCOMPARE(windowtest::fileBytes(path), original);
    QCOMPARE(prompts.unplanned, 0);
}

QTEST_MAIN(TestUndoWindow)
#include "test_undowindow.moc"
