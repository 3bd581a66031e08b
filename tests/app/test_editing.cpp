// The Edit commands of the main window: clipboard keys, Find, Go to Cell and
// Sort, each through its action and its dialog as the user drives them.
#include "editprompts.h"
#include "finddialog.h"
#include "gotocelldialog.h"
#include "mainwindow.h"
#include "seldialog.h"
#include "windowtesthelpers.h"
#include "sortdialog.h"
#include "spreadsheet.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTimer>
#include <QtTest>

#include <functional>

namespace {

using windowtest::action;
using windowtest::ModalAnswer;

QString locationShown(const MainWindow &window)
{
    return window.statusBar()->findChildren<QLabel *>().at(0)->text();
}

// Answers the Sort dialog: records the columns it offers for the primary
// key, lets `choose` set the keys, and presses OK. Any other modal closes.
std::function<void(QWidget *)> acceptSort(QStringList *offered,
                                          std::function<void(SortDialog *)> choose = {})
{
    return [offered, choose](QWidget *modal) {
        auto *dialog = qobject_cast<SortDialog *>(modal);
        if (!dialog) {
            modal->close();
            return;
        }
        for (int i = 0; i < dialog->primaryColumnCombo->count(); ++i)
            *offered << dialog->primaryColumnCombo->itemText(i);
        if (choose)
            choose(dialog);
        QTest::mouseClick(dialog->okButton, Qt::LeftButton);
    };
}

void clickCell(Spreadsheet *sheet, int row, int column, Qt::KeyboardModifiers modifiers = {})
{
    const QRect rect = sheet->visualItemRect(sheet->item(row, column));
    QTest::mouseClick(sheet->viewport(), Qt::LeftButton, modifiers, rect.center());
}

} // namespace

class TestEditing final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void clipboardKeys();
    void findKeepsItsDialog();
    void goToCell_data();
    void goToCell();
    void goToCellCancelled();
    void sortByOneKey();
    void sortByMoreKeys();
    void sortCancelled();
    void sortWithoutSelection();
    void sortedRowsGoToTheTest();
    void enterMovesOn_data();
    void enterMovesOn();

private:
    MainWindow *window = nullptr;
    Spreadsheet *sheet = nullptr;
    EditPrompts *prompts = nullptr;
};

void TestEditing::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void TestEditing::init()
{
    prompts = new EditPrompts;
    window = new MainWindow;
    window->show();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    sheet = window->sheet();
}

void TestEditing::cleanup()
{
    // Nothing is asked on the way out: the window is deleted, not closed.
    delete window;
    delete prompts;
    window = nullptr;
    sheet = nullptr;
    prompts = nullptr;
}

void TestEditing::clipboardKeys()
{
    sheet->setCellFormula(0, 0, QStringLiteral("1"));
    sheet->setCellFormula(0, 1, QStringLiteral("=A1*2"));
    sheet->setCellFormula(1, 0, QStringLiteral("x"));
    sheet->setCellFormula(1, 1, QStringLiteral("y"));
    clickCell(sheet, 0, 0);
    clickCell(sheet, 1, 1, Qt::ShiftModifier);
    QCOMPARE(sheet->selectionRange().rowCount(), 2);
    QCOMPARE(sheet->selectionRange().columnCount(), 2);

    QTest::keyClick(sheet, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("1\t=A1*2\nx\ty"));

    // Paste into one cell, then delete the original block.
    sheet->setCellFormula(5, 2, QString());
    clickCell(sheet, 5, 2); // C6
    QTest::keyClick(sheet, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(windowtest::rangeFormulas(sheet, 5, 2, 2, 2),
        (QStringList { QStringLiteral("1,=A1*2"), QStringLiteral("x,y") }));

    clickCell(sheet, 0, 0);
    clickCell(sheet, 1, 1, Qt::ShiftModifier);
    QTest::keyClick(sheet, Qt::Key_Delete);
    QVERIFY(sheet->item(0, 0) == nullptr);
    QVERIFY(sheet->item(1, 1) == nullptr);
    QCOMPARE(sheet->cellText(5, 3), QStringLiteral("0")); // =A1*2 with A1 gone

    // Cut moves the pasted block back to A1.
    clickCell(sheet, 5, 2);
    clickCell(sheet, 6, 3, Qt::ShiftModifier);
    QTest::keyClick(sheet, Qt::Key_X, Qt::ControlModifier);
    QVERIFY(sheet->item(5, 2) == nullptr);
    sheet->setCellFormula(0, 0, QString());
    clickCell(sheet, 0, 0);
    QTest::keyClick(sheet, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(windowtest::rangeFormulas(sheet, 0, 0, 2, 2),
        (QStringList { QStringLiteral("1,=A1*2"), QStringLiteral("x,y") }));
    QCOMPARE(sheet->cellText(0, 1), QStringLiteral("2"));
    QVERIFY(window->isWindowModified());
    QVERIFY(prompts->messages.isEmpty());
}

void TestEditing::findKeepsItsDialog()
{
    sheet->setCellFormula(3, 2, QStringLiteral("needle")); // C4
    QVERIFY(window->findChild<FindDialog *>() == nullptr);

    action(*window, QStringLiteral("&Find..."))->trigger();
    auto *dialog = window->findChild<FindDialog *>();
    QVERIFY(dialog);
    QVERIFY(dialog->isVisible());
    auto *text = dialog->findChild<QLineEdit *>(QStringLiteral("lineEdit"));
    auto *find = dialog->findChild<QPushButton *>(QStringLiteral("findButton"));
    QTest::keyClicks(text, QStringLiteral("NEEDLE"));
    QTest::mouseClick(find, Qt::LeftButton);
    QCOMPARE(sheet->currentCellName(), QStringLiteral("C4"));
    QCOMPARE(locationShown(*window), QStringLiteral("C4"));

    // Nothing further on: a beep through the prompts, no message.
    QTest::mouseClick(find, Qt::LeftButton);
    QCOMPARE(prompts->beeps, 1);
    QVERIFY(prompts->messages.isEmpty());

    // Closed and opened again: the same dialog, text kept.
    QTest::mouseClick(
        dialog->findChild<QPushButton *>(QStringLiteral("closeButton")), Qt::LeftButton);
    QVERIFY(!dialog->isVisible());
    action(*window, QStringLiteral("&Find..."))->trigger();
    QCOMPARE(window->findChildren<FindDialog *>().size(), 1);
    QVERIFY(dialog->isVisible());
    QCOMPARE(text->text(), QStringLiteral("NEEDLE"));

    // Backwards through the same connections.
    QTest::keyClick(
        dialog->findChild<QCheckBox *>(QStringLiteral("backwardCheckBox")), Qt::Key_Space);
    sheet->setCurrentCell(998, 25);
    QTest::mouseClick(find, Qt::LeftButton);
    QCOMPARE(sheet->currentCellName(), QStringLiteral("C4"));
}

void TestEditing::goToCell_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::newRow("b12") << QStringLiteral("b12") << 11 << 1;
    QTest::newRow("B12") << QStringLiteral("B12") << 11 << 1;
    QTest::newRow("A1") << QStringLiteral("A1") << 0 << 0;
    QTest::newRow("Z999") << QStringLiteral("Z999") << 998 << 25;
}

void TestEditing::goToCell()
{
    QFETCH(QString, name);
    QFETCH(int, row);
    QFETCH(int, column);

    sheet->setCurrentCell(40, 4);
    bool wasEmpty = false;
    ModalAnswer answer([&](QWidget *modal) {
        auto *dialog = qobject_cast<GoToCellDialog *>(modal);
        if (!dialog) {
            modal->close();
            return;
        }
        wasEmpty = dialog->lineEdit->text().isEmpty();
        QTest::keyClicks(dialog->lineEdit, name);
        QTest::mouseClick(dialog->buttonBox->button(QDialogButtonBox::Ok), Qt::LeftButton);
    });
    action(*window, QStringLiteral("&Go to Cell..."))->trigger();
    QVERIFY(answer.answered);
    QVERIFY(wasEmpty);
    QCOMPARE(sheet->currentRow(), row);
    QCOMPARE(sheet->currentColumn(), column);
    QCOMPARE(locationShown(*window), name.toUpper());
    // One use only: nothing is left behind.
    QVERIFY(window->findChild<GoToCellDialog *>() == nullptr);
}

void TestEditing::goToCellCancelled()
{
    sheet->setCurrentCell(40, 4);
    ModalAnswer answer([](QWidget *modal) {
        if (auto *dialog = qobject_cast<GoToCellDialog *>(modal))
            QTest::keyClicks(dialog->lineEdit, QStringLiteral("C3"));
        QTest::keyClick(modal, Qt::Key_Escape);
    });
    action(*window, QStringLiteral("&Go to Cell..."))->trigger();
    QVERIFY(answer.answered);
    QCOMPARE(sheet->currentCellName(), QStringLiteral("E41"));
}

void TestEditing::sortByOneKey()
{
    // C1:E4 holds three columns; D is the key.
    const QStringList rows { QStringLiteral("1,10,a"), QStringLiteral("2,9,b"),
        QStringLiteral("3,100,c"), QStringLiteral("4,,d") };
    for (int i = 0; i < rows.size(); ++i) {
        const QStringList fields = rows.at(i).split(u',');
        for (int j = 0; j < 3; ++j)
            sheet->setCellFormula(i, 2 + j, fields.at(j));
    }
    sheet->setCellFormula(0, 1, QStringLiteral("outside"));
    sheet->setCurrentCell(0, 2);
    sheet->setRangeSelected(QTableWidgetSelectionRange(0, 2, 3, 4), true);

    QStringList offered;
    ModalAnswer answer(acceptSort(&offered, [](SortDialog *dialog) {
        QTest::keyClick(dialog->primaryColumnCombo, Qt::Key_D);
    }));
    action(*window, QStringLiteral("&Sort..."))->trigger();
    QVERIFY(answer.answered);
    QCOMPARE(
        offered, (QStringList { QStringLiteral("C"), QStringLiteral("D"), QStringLiteral("E") }));
    // "Numbers by value" is ticked: 9 before 10 before 100.
    QCOMPARE(windowtest::rangeFormulas(sheet, 0, 2, 4, 3),
        (QStringList { QStringLiteral("4,,d"), QStringLiteral("2,9,b"), QStringLiteral("1,10,a"),
            QStringLiteral("3,100,c") }));
    QCOMPARE(sheet->cellFormula(0, 1), QStringLiteral("outside"));
    QCOMPARE(sheet->selectionRange().rowCount(), 4);
    QCOMPARE(sheet->selectionRange().columnCount(), 3);
    QCOMPARE(sheet->currentCellName(), QStringLiteral("C1"));
    QVERIFY(window->isWindowModified());
}

void TestEditing::sortByMoreKeys()
{
    // A1:C5: primary A ascending, secondary C descending, tertiary B.
    const QStringList rows { QStringLiteral("x,2,1"), QStringLiteral("y,1,1"),
        QStringLiteral("x,1,1"), QStringLiteral("x,3,2"), QStringLiteral("y,0,0") };
    for (int i = 0; i < rows.size(); ++i) {
        const QStringList fields = rows.at(i).split(u',');
        for (int j = 0; j < 3; ++j)
            sheet->setCellFormula(i, j, fields.at(j));
    }
    sheet->setRangeSelected(QTableWidgetSelectionRange(0, 0, 4, 2), true);

    bool hiddenAtFirst = false;
    ModalAnswer answer([&](QWidget *modal) {
        auto *dialog = qobject_cast<SortDialog *>(modal);
        if (!dialog) {
            modal->close();
            return;
        }
        hiddenAtFirst = !dialog->secondaryGroupBox->isVisible();
        QTest::mouseClick(dialog->moreButton, Qt::LeftButton);
        QTest::keyClick(dialog->secondaryColumnCombo, Qt::Key_C);
        QTest::keyClick(dialog->secondaryOrderCombo, Qt::Key_D);
        QTest::keyClick(dialog->tertiaryColumnCombo, Qt::Key_B);
        // Hidden again, the extra keys still count.
        QTest::mouseClick(dialog->moreButton, Qt::LeftButton);
        QTest::keyClick(dialog->okButton, Qt::Key_Space);
    });
    action(*window, QStringLiteral("&Sort..."))->trigger();
    QVERIFY(answer.answered);
    QVERIFY(hiddenAtFirst);
    QCOMPARE(windowtest::rangeFormulas(sheet, 0, 0, 5, 3),
        (QStringList { QStringLiteral("x,3,2"), QStringLiteral("x,1,1"), QStringLiteral("x,2,1"),
            QStringLiteral("y,1,1"), QStringLiteral("y,0,0") }));
}

void TestEditing::sortCancelled()
{
    sheet->setCellFormula(0, 0, QStringLiteral("b"));
    sheet->setCellFormula(1, 0, QStringLiteral("a"));
    window->setWindowModified(false);
    sheet->setRangeSelected(QTableWidgetSelectionRange(0, 0, 1, 0), true);
    ModalAnswer answer([](QWidget *modal) {
        if (auto *dialog = qobject_cast<SortDialog *>(modal))
            QTest::mouseClick(dialog->cancelButton, Qt::LeftButton);
        else
            modal->close();
    });
    action(*window, QStringLiteral("&Sort..."))->trigger();
    QVERIFY(answer.answered);
    QCOMPARE(
        windowtest::rangeFormulas(sheet, 0, 0, 2, 1), (QStringList { QStringLiteral("b"), QStringLiteral("a") }));
    QVERIFY(!window->isWindowModified());
    QCOMPARE(sheet->selectionRange().rowCount(), 2);
}

// With nothing selected Sort offers the columns of the used block and
// sorts it, as its status tip says; only an empty grid is refused.
// gene-interaction.sp, C2 clicked, sorted descending: by C, the clicked
// cell's column; the rows sorted stay selected, so that the test opened
// next names them. With nothing selected a test names no range at all.
void TestEditing::sortedRowsGoToTheTest()
{
    windowtest::fill(sheet, 0, 0, {{"Gene 1 / gene 2", "Carrier", "Non-carrier"}, {"Cases, carrier", "22", "14"},
                                   {"Cases, non-carrier", "12", "21"}, {"Controls, carrier", "15", "20"},
                                   {"Controls, non-carrier", "18", "13"}});
    sheet->setCurrentCell(1, 2);
    QString key;
    QStringList offered;
    ModalAnswer answer(acceptSort(&offered, [&key](SortDialog *dialog) {
        key = dialog->primaryColumnCombo->currentText();
        dialog->primaryOrderCombo->setCurrentIndex(1);
    }));
    action(*window, QStringLiteral("&Sort..."))->trigger();
    QVERIFY(answer.answered);
    QCOMPARE(key, QStringLiteral("C"));
    QCOMPARE(windowtest::rangeFormulas(sheet, 1, 2, 4, 1),
        (QStringList { QStringLiteral("21"), QStringLiteral("20"), QStringLiteral("14"), QStringLiteral("13") }));
    action(*window, QStringLiteral("&Chi-squared test..."))->trigger();
    SelDialog *dialog = window->selectionDialog();
    QCOMPARE(dialog->rangeEdit->text(), QStringLiteral("A2:C5"));

    sheet->clearSelection();
    QCOMPARE(dialog->rangeEdit->text(), QString());
    QCOMPARE(dialog->messageLabel->text(), QStringLiteral("<font color=\"red\"> wrong Range</font>"));
    QVERIFY(!dialog->okButton->isEnabled());
    dialog->reject();
}

void TestEditing::sortWithoutSelection()
{
    QCOMPARE(action(*window, QStringLiteral("&Sort..."))->statusTip(),
        QStringLiteral("Sort the selected cells or all the cells"));
    sheet->setCellFormula(1, 1, QStringLiteral("b"));
    sheet->setCellFormula(2, 1, QStringLiteral("a"));
    sheet->setCellFormula(2, 2, QStringLiteral("2"));
    window->setWindowModified(false);
    sheet->clearSelection();
    QStringList offered;
    ModalAnswer answer(acceptSort(&offered));
    action(*window, QStringLiteral("&Sort..."))->trigger();
    QVERIFY(answer.answered);
    QVERIFY(prompts->messages.isEmpty());
    QCOMPARE(offered, (QStringList { QStringLiteral("B"), QStringLiteral("C") }));
    QCOMPARE(windowtest::rangeFormulas(sheet, 1, 1, 2, 2),
        (QStringList { QStringLiteral("a,2"), QStringLiteral("b,") }));
    QVERIFY(window->isWindowModified());

    // An empty grid: refused before any dialog opens.
    sheet->clearSheet();
    sheet->clearSelection();
    window->setWindowModified(false);
    ModalAnswer none([](QWidget *modal) { modal->close(); });
    action(*window, QStringLiteral("&Sort..."))->trigger();
    QCoreApplication::processEvents();
    QVERIFY(!none.answered);
    QCOMPARE(prompts->titles, QStringList { QStringLiteral("Velmora") });
    QCOMPARE(prompts->messages,
        QStringList { QStringLiteral("There is nothing to sort: the grid is empty.") });
    QVERIFY(!window->isWindowModified());
}

// Enter after typing moves down a row (Shift+Enter up), as in any
// spreadsheet; inside a selected block it walks the block, which stays
// selected for the test dialog.
void TestEditing::enterMovesOn_data()
{
    QTest::addColumn<bool>("block");  // B2:C3 selected, or only the cell
    QTest::addColumn<QString>("cell");
    QTest::addColumn<bool>("shift");
    QTest::addColumn<QString>("next");
    QTest::newRow("down") << false << "B2" << false << "B3";
    QTest::newRow("up with Shift") << false << "B2" << true << "B1";
    QTest::newRow("down in a block") << true << "B2" << false << "B3";
    QTest::newRow("next column of the block") << true << "B3" << false << "C2";
}

void TestEditing::enterMovesOn()
{
    QFETCH(bool, block);
    QFETCH(QString, cell);
    QFETCH(bool, shift);
    QFETCH(QString, next);
    const int row = cell.mid(1).toInt() - 1;
    const int column = cell.at(0).unicode() - u'A';
    sheet->setCurrentCell(row, column);
    if (block)
        sheet->setRangeSelected(QTableWidgetSelectionRange(1, 1, 2, 2), true);
    QTest::keyClick(sheet, Qt::Key_F2);
    auto *editor = qobject_cast<QLineEdit *>(QApplication::focusWidget());
    QVERIFY(editor);
    QTest::keyClicks(editor, QStringLiteral("5"));
    QTest::keyClick(editor, Qt::Key_Return, shift ? Qt::ShiftModifier : Qt::NoModifier);
    QCoreApplication::sendPostedEvents();
    QCOMPARE(sheet->cellFormula(row, column), QStringLiteral("5"));
    QCOMPARE(sheet->currentCellName(), next);
    const QTableWidgetSelectionRange selected = sheet->selectionRange();
    QCOMPARE(selected.rowCount() * selected.columnCount(), block ? 4 : 1);
}

QTEST_MAIN(TestEditing)
#include "test_editing.moc"
