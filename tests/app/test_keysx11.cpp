// The keys of a working day under a real X server (run_x11.sh, with and
// without a window manager), all through real key and mouse events: Enter
// in the test dialog presses OK and never Cancel, whatever came before; the
// dialog steps aside when the block grows under it, unless moved by hand;
// Go to Cell hands the grid the keyboard; Enter moves down from a cell that
// is not being edited; Esc stops a run, asking first once it has gone on.
#include "calcpoll.h"
#include "mainwindow.h"
#include "seldialog.h"
#include "windowtesthelpers.h"
#include "x11helpers.h"

#include <QDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>
#include <QtTest>

#include <utility>

using x11::blockOnScreen;
using x11::click;
using x11::drag;

namespace {

const QString kGood = QStringLiteral("<font color=\"green\"> All is good</font>");
const QString kWrongRange = QStringLiteral("<font color=\"red\"> wrong Range</font>");

// A stand-in engine that works until it is stopped.
RunReport untilStopped(const ProgressDisplay &progress)
{
    progress(10);
    while (!pollCalcEvents()) {
    }
    RunReport report;
    report.status = 1;
    report.isError = 1;
    report.message = QStringLiteral("<br />Program is stopped by user");
    return report;
}

} // namespace

class TestKeysX11 final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void enterPressesOkNeverCancel();
    void dialogStepsAsideAsTheBlockGrows();
    void goToCellTakesTheKeyboard();
    void enterMovesDownFromACellNotBeingEdited();
    void escapeStopsARun_data();
    void escapeStopsARun();

private:
    MainWindow *window = nullptr;
};

void TestKeysX11::initTestCase()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("needs a real X server (run_x11.sh)");
    QStandardPaths::setTestModeEnabled(true);
    calcApplication = QCoreApplication::instance();
}

void TestKeysX11::init()
{
    window = new MainWindow;
    window->setGeometry(QRect(QPoint(20, 40), QSize(1200, 800)));
    window->show();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    QTest::qWait(100);
}

void TestKeysX11::cleanup()
{
    delete window;
    window = nullptr;
}

// The day's sequence: a run with OK clicked, a single cell refused and the
// dialog left with Esc, the block again: OK has the default ring and Enter
// runs the test; so on every later opening, after a gene-interaction run.
void TestKeysX11::enterPressesOkNeverCancel()
{
    Spreadsheet *sheet = window->sheet();
    const ResultsView *view = windowtest::resultsView(*window);
    SelDialog *dialog = window->selectionDialog();
    for (int row = 0; row < 2; ++row) {
        QVERIFY(click(x11::cellCentre(sheet, row, 0)));
        QTRY_COMPARE(sheet->currentCellName(), QStringLiteral("A%1").arg(row + 1));
        QVERIFY(x11::keys(window, row == 0 ? QStringLiteral("1 0 Tab 2 0 Return") : QStringLiteral("3 0 Tab 4 0 Return")));
        QTRY_VERIFY2(!sheet->cellFormula(row, 1).isEmpty(), qPrintable(sheet->currentCellName()));
    }
    QCOMPARE(windowtest::rangeFormulas(sheet, 0, 0, 3, 3), windowtest::strings({"10,20,", "30,40,", ",,"}));

    QVERIFY(drag(sheet, 0, 0, 1, 1));
    QTRY_COMPARE(sheet->selectionRange().rowCount(), 2);
    QVERIFY(x11::keys(window, QStringLiteral("ctrl+F8")));
    QTRY_VERIFY(dialog->isVisible());
    QTRY_COMPARE(dialog->messageLabel->text(), kGood);
    // Where the window manager has put it, once it has the keyboard.
    QTRY_VERIFY(dialog->isActiveWindow());
    QVERIFY(click(dialog->okButton->mapToGlobal(dialog->okButton->rect().center())));
    QTRY_COMPARE(view->entries().size(), 1);

    QVERIFY(click(x11::cellCentre(sheet, 0, 0)));
    QVERIFY(x11::keys(window, QStringLiteral("ctrl+F8")));
    QTRY_VERIFY(dialog->isVisible());
    QTRY_COMPARE(dialog->messageLabel->text(), kWrongRange);
    QVERIFY(!dialog->okButton->isEnabled());
    QVERIFY(x11::keys(dialog, QStringLiteral("Escape")));
    QTRY_VERIFY2(!dialog->isVisible(), QApplication::focusWidget() ? QApplication::focusWidget()->metaObject()->className()
                                                                      : "no focus");

    // Four more openings on good blocks, each ended with Enter alone; the
    // third is a gene-interaction run, the fourth a chi-squared after it.
    for (int row = 2; row < 4; ++row)
        for (int column = 0; column < 2; ++column)
            sheet->setCellFormula(row, column, QString::number(5 + row + column));
    const struct
    {
        int bottom;
        const char *keys;
    } openings[] = {{1, "ctrl+F8"}, {1, "ctrl+F8"}, {3, "alt+a g"}, {1, "ctrl+F8"}};
    int entries = 1;
    for (const auto &opening : openings) {
        QVERIFY(drag(sheet, 0, 0, opening.bottom, 1));
        QTRY_COMPARE(sheet->selectionRange().rowCount(), opening.bottom + 1);
        QVERIFY(x11::keys(window, QString::fromLatin1(opening.keys)));
        QTRY_VERIFY(dialog->isVisible());
        QTRY_COMPARE(dialog->messageLabel->text(), kGood);
        QVERIFY(dialog->okButton->isDefault());
        const QList<QPushButton *> buttons = dialog->findChildren<QPushButton *>();
        for (const QPushButton *button : buttons)
            QVERIFY2(button == dialog->okButton || !button->isDefault(), qPrintable(button->text()));
        QVERIFY(x11::keys(dialog, QStringLiteral("Return")));
        ++entries;
        QTRY_COMPARE(view->entries().size(), entries);
        QVERIFY(!dialog->isVisible());
    }
}

// formulas-allelic.sp: F8 alone, Ctrl+F8, then Shift+Right and Shift+Down
// in the grid: the dialog moves beside F8:G9 instead of covering G8:G9.
// Moved by hand, it stays where the user put it.
void TestKeysX11::dialogStepsAsideAsTheBlockGrows()
{
    window->openArguments({QStringLiteral(VELMORA_SOURCE_DIR "/examples/formulas-allelic.sp")});
    Spreadsheet *sheet = window->sheet();
    SelDialog *dialog = window->selectionDialog();
    QTest::qWait(100);
    QVERIFY(click(x11::cellCentre(sheet, 7, 5)));
    QTRY_COMPARE(sheet->currentCellName(), QStringLiteral("F8"));
    QVERIFY(x11::keys(window, QStringLiteral("ctrl+F8")));
    QTRY_VERIFY(dialog->isVisible());
    QTRY_VERIFY(!dialog->frameGeometry().intersects(blockOnScreen(sheet, 7, 5, 7, 5)));
    // The dialog as placed covers G8, the cell the block grows into.
    QVERIFY(dialog->frameGeometry().intersects(blockOnScreen(sheet, 7, 5, 8, 6)));

    QVERIFY(x11::keys(window, QStringLiteral("shift+Right shift+Down")));
    QTRY_COMPARE(dialog->rangeEdit->text(), QStringLiteral("F8:G9"));
    QTRY_VERIFY(!dialog->frameGeometry().intersects(blockOnScreen(sheet, 7, 5, 8, 6)));
    QCOMPARE(dialog->messageLabel->text(), kGood);

    // Dragged over the grid by the user (as a window manager moves it).
    const QRect block = blockOnScreen(sheet, 7, 5, 8, 6);
    const QPoint chosen(block.right() + 40, block.top() + 10);
    const QPoint placed = dialog->pos();
    QVERIFY(x11::xdotool(QStringLiteral("windowmove %1 %2 %3").arg(dialog->winId()).arg(chosen.x()).arg(chosen.y())));
    QPoint last;
    QTRY_VERIFY(std::exchange(last, dialog->pos()) == dialog->pos() && dialog->pos() != placed);
    const QPoint left = dialog->pos();
    QVERIFY(dialog->frameGeometry().intersects(blockOnScreen(sheet, 7, 5, 8, 8)));
    QVERIFY(x11::keys(window, QStringLiteral("shift+Right shift+Right")));
    QTRY_COMPARE(dialog->rangeEdit->text(), QStringLiteral("F8:I9"));
    QTest::qWait(300);
    QCOMPARE(dialog->pos(), left);
}

// From the Results text: Ctrl+G, E9, Enter, then 5 and Enter: the 5 is in
// E9. Again, and Shift+arrows select from E9.
void TestKeysX11::goToCellTakesTheKeyboard()
{
    Spreadsheet *sheet = window->sheet();
    ResultsView *view = windowtest::resultsView(*window);
    for (int i = 0; i < 3; ++i)
        window->appendResult(QStringLiteral("<br />an earlier run"), 0);
    for (int round = 0; round < 2; ++round) {
        QVERIFY(click(view->viewport()->mapToGlobal(view->viewport()->rect().center())));
        QTRY_VERIFY(view->hasFocus());
        // Typed into the modal Go to Cell from its own event loop; keys gone
        // astray end in a failure, not in a hang.
        windowtest::ModalAnswer answer([](QWidget *modal) {
            for (int attempt = 0; attempt < 3 && modal->isVisible(); ++attempt)
                if (x11::keys(modal, QStringLiteral("E 9 Return")))
                    (void)QTest::qWaitFor([modal] { return !modal->isVisible(); }, 2000);
            if (auto *dialog = qobject_cast<QDialog *>(modal); dialog && dialog->isVisible())
                dialog->reject();
        });
        QVERIFY(x11::keys(window, QStringLiteral("ctrl+g")));
        QTRY_VERIFY(answer.answered);
        QTRY_COMPARE(sheet->currentCellName(), QStringLiteral("E9"));
        // The grid has the keyboard as soon as the window has it.
        QTRY_COMPARE(window->focusWidget(), static_cast<QWidget *>(sheet));
        if (round == 0) {
            QVERIFY(x11::keys(window, QStringLiteral("5 Return")));
            QTRY_COMPARE(sheet->cellFormula(8, 4), QStringLiteral("5"));
            QCOMPARE(sheet->currentCellName(), QStringLiteral("E10"));
        } else {
            QVERIFY(x11::keys(window, QStringLiteral("shift+Right shift+Down")));
            QTRY_COMPARE(sheet->selectionRange().rowCount(), 2);
            const QTableWidgetSelectionRange range = sheet->selectionRange();
            QCOMPARE(QStringList({sheet->model()->headerData(range.leftColumn(), Qt::Horizontal).toString(),
                                  QString::number(range.topRow() + 1), QString::number(range.columnCount())}),
                     QStringList({QStringLiteral("E"), QStringLiteral("9"), QStringLiteral("2")}));
        }
    }
}

// Enter and Shift+Enter move as they do after typing: down, up; inside a
// selected block, to its next cell, the block staying selected.
void TestKeysX11::enterMovesDownFromACellNotBeingEdited()
{
    Spreadsheet *sheet = window->sheet();
    QVERIFY(click(x11::cellCentre(sheet, 1, 1)));
    QTRY_COMPARE(sheet->currentCellName(), QStringLiteral("B2"));
    const struct
    {
        const char *keys;
        const char *current;
    } steps[] = {{"7 Return", "B3"}, {"Return", "B4"}, {"shift+Return", "B3"}, {"8 Return", "B4"},
                 {"Up Up shift+Right shift+Down", "C3"}, {"Return", "B2"}, {"Return", "B3"}, {"Return", "C2"},
                 {"shift+Return", "B3"}};
    for (const auto &step : steps) {
        QVERIFY(x11::keys(window, QString::fromLatin1(step.keys)));
        QTRY_COMPARE(sheet->currentCellName(), QString::fromLatin1(step.current));
    }
    QCOMPARE(sheet->cellFormula(1, 1), QStringLiteral("7"));
    QCOMPARE(sheet->cellFormula(2, 1), QStringLiteral("8"));
    QCOMPARE(sheet->selectionRange().rowCount(), 2);
    QCOMPARE(sheet->selectionRange().columnCount(), 2);
    QCOMPARE(sheet->selectionRange().topRow(), 1);
}

void TestKeysX11::escapeStopsARun_data()
{
    QTest::addColumn<int>("askAfterMs");
    QTest::addColumn<QStringList>("answers");  // to each question, in turn
    QTest::newRow("early: at once") << 600000 << QStringList();
    QTest::newRow("late: asked, No keeps it, Yes stops it") << 0 << windowtest::strings({"n", "y"});
}

void TestKeysX11::escapeStopsARun()
{
    QFETCH(int, askAfterMs);
    QFETCH(QStringList, answers);
    window->setStopQuestionDelay(askAfterMs);
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));

    // Each step runs inside the run's polls (or its question's own event
    // loop): an Esc whenever every Esc so far has had its answer, an answer
    // to the question an Esc brought.
    QStringList asked;
    int escapes = 0;
    bool finished = false;
    QTimer steps;
    connect(&steps, &QTimer::timeout, this, [&] {
        if (!window->isCalculating())
            return;
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (box && asked.size() < escapes && asked.size() < answers.size()) {
            asked << box->text();
            QVERIFY(x11::keys(box, answers.at(asked.size() - 1)));
        } else if (!box && escapes == asked.size() && escapes < std::max(1, int(answers.size()))) {
            ++escapes;
            QVERIFY(x11::keys(window, QStringLiteral("Escape")));
        }
    });
    steps.start(100);
    QTimer::singleShot(0, this, [&] {
        window->runAndReport(untilStopped);
        finished = true;
    });
    QTRY_VERIFY_WITH_TIMEOUT(finished, 30000);
    steps.stop();

    QCOMPARE(asked.size(), answers.size());
    for (const QString &question : std::as_const(asked))
        QCOMPARE(question, QStringLiteral("Stop the running test?"));
    QCOMPARE(escapes, std::max(1, int(answers.size())));
    QVERIFY(windowtest::lastMessage(*window).contains(QStringLiteral("Program is stopped by user")));
    QVERIFY(!window->isCalculating());
}

QTEST_MAIN(TestKeysX11)
#include "test_keysx11.moc"
