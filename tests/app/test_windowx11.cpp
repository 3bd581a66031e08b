// The window as a user meets it under a real X server (run_x11.sh starts
// Xvfb at 1280 x 900): blocks selected with the mouse, tests and Sort
// opened from the keyboard, all through real key and mouse events sent by
// xdotool (XTEST), not through Qt's own event queue. Checks what only a
// real server shows: where the test dialog opens, where the Results pane
// scrolls, what Sort of one clicked cell does to the document.
#include "calcpoll.h"
#include "mainwindow.h"
#include "seldialog.h"
#include "sortdialog.h"
#include "windowtesthelpers.h"
#include "x11helpers.h"

#include <QCheckBox>
#include <QDockWidget>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTimer>
#include <QUndoStack>
#include <QtTest>

using x11::at;
using x11::cellCentre;
using x11::xdotool;

class TestWindowX11 final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void dialogBesideBlockAndAnswerInView();
    void sortOfOneClickedCell();

private:
    MainWindow *window = nullptr;
};

void TestWindowX11::initTestCase()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("needs a real X server (run_x11.sh)");
    QStandardPaths::setTestModeEnabled(true);
    calcApplication = QCoreApplication::instance();
}

void TestWindowX11::init()
{
    window = new MainWindow;
    window->setGeometry(QRect(QPoint(20, 20), QSize(1200, 820)));
    window->show();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
}

void TestWindowX11::cleanup()
{
    delete window;
    window = nullptr;
}

// The 9 x 9 Hardy-Weinberg table of the first day: dragged with the mouse,
// Ctrl+F6, Monte Carlo ticked with a click, the samples typed, Enter. The
// dialog opens beside the block, inside the screen; the report's first
// line, with the P-value, is at the top of the Results pane.
void TestWindowX11::dialogBesideBlockAndAnswerInView()
{
    Spreadsheet *sheet = window->sheet();
    // Earlier results above: the pane has to scroll to the new one.
    for (int i = 0; i < 12; ++i)
        window->appendResult(QStringLiteral("<br />an earlier run"), 0);
    // C4:K12, the upper triangle and the diagonal filled.
    for (int i = 0; i < 9; ++i)
        for (int j = i; j < 9; ++j)
            sheet->setCellFormula(3 + i, 2 + j, QString::number((i + 2 * j) % 5 + (i == j ? 4 : 1)));
    QTest::qWait(100);
    QVERIFY(xdotool(at(cellCentre(sheet, 3, 2)) + QStringLiteral(" mousedown 1 ") + at(cellCentre(sheet, 11, 10))
                    + QStringLiteral(" mouseup 1")));
    QTRY_COMPARE(sheet->selectedRanges().size(), 1);
    QTRY_COMPARE(sheet->selectedRanges().first().rowCount(), 9);
    QVERIFY(xdotool(QStringLiteral("key ctrl+F6")));
    SelDialog *dialog = window->selectionDialog();
    QTRY_VERIFY(dialog->isVisible());
    QTRY_VERIFY(dialog->isActiveWindow());
    QCOMPARE(dialog->rangeEdit->text(), QStringLiteral("C4:K12"));

    // Beside the block (the part the grid shows), all of it on the screen.
    const QRect first = sheet->visualRect(sheet->model()->index(3, 2));
    const QRect shown = first.united(sheet->visualRect(sheet->model()->index(11, 10))).intersected(sheet->viewport()->rect());
    const QRect block(sheet->viewport()->mapToGlobal(shown.topLeft()), shown.size());
    QTRY_VERIFY(!dialog->frameGeometry().intersects(block));
    QVERIFY(dialog->screen()->availableGeometry().contains(dialog->frameGeometry()));

    QVERIFY(xdotool(at(dialog->monteCarloCheck->mapToGlobal(QPoint(8, 8))) + QStringLiteral(" click 1")));
    QTRY_VERIFY(dialog->monteCarloCheck->isChecked());
    QVERIFY(xdotool(at(dialog->samplesSpin->mapToGlobal(QPoint(20, 8))) + QStringLiteral(" click 1")));
    QVERIFY(xdotool(QStringLiteral("key --delay 50 ctrl+a 2 0 0 0")));
    QTRY_COMPARE(dialog->samplesSpin->value(), 2000);
    QVERIFY(xdotool(QStringLiteral("key Return")));
    QTRY_COMPARE_WITH_TIMEOUT(windowtest::resultsView(*window)->entries().size(), 13, 60000);
    QTRY_VERIFY(!window->isCalculating());

    ResultsView *view = windowtest::resultsView(*window);
    QVERIFY2(windowtest::lastMessage(*window).contains(QStringLiteral("P-VALUE")),
             qPrintable(windowtest::lastMessage(*window)));
    // Scrolled to the new entry: its rule at the top, or, where the entry is
    // shorter than the pane, the whole of it in view down to the end.
    QScrollBar *bar = view->verticalScrollBar();
    QVERIFY(bar->maximum() > 0);
    const QTextCursor rule = view->document()->find(QString(57, u'_'), view->document()->characterCount(),
                                                    QTextDocument::FindBackward);
    const QTextCursor pValue = view->document()->find(QStringLiteral("P-VALUE"));
    const int ruleTop = view->cursorRect(rule).top();
    QVERIFY2(ruleTop >= 0, qPrintable(QString::number(ruleTop)));
    QVERIFY(ruleTop < view->fontMetrics().lineSpacing() * 2 || bar->value() == bar->maximum());
    QVERIFY(view->cursorRect(pValue).bottom() < view->viewport()->height());
    QCOMPARE(view->horizontalScrollBar()->maximum(), 0);
}

// The risk-cluster example: a click on B2, Alt+A then S, Enter. Sort takes
// the table around B2 without its names row and says so, by B, the clicked
// cell's column; the rows are sorted, the document marked, one step to
// undo, the rows selected. A click on E3, whose column is in order already,
// and the same again moves nothing: no second step.
void TestWindowX11::sortOfOneClickedCell()
{
    window->openArguments({QStringLiteral(VELMORA_SOURCE_DIR "/examples/risk-cluster.sp")});
    Spreadsheet *sheet = window->sheet();
    QCOMPARE(sheet->cellFormula(1, 0), QStringLiteral("Patients"));
    QVERIFY(!window->isWindowModified());
    QTest::qWait(100);

    // The Sort dialog is modal: answered from its own event loop.
    QString named;
    QString key;
    bool answered = false;
    QTimer answer;
    connect(&answer, &QTimer::timeout, this, [&] {
        auto *sort = qobject_cast<SortDialog *>(QApplication::activeModalWidget());
        if (!sort || answered)
            return;
        answered = true;
        named = sort->rangeLabel->text();
        key = sort->primaryColumnCombo->currentText();
        // Without a window manager nobody hands the new window the focus.
        // A Return that goes astray ends in a failure, not in a hang.
        for (int attempt = 0; attempt < 3 && sort->isVisible(); ++attempt) {
            sort->activateWindow();
            if (QTest::qWaitForWindowActive(sort) && xdotool(QStringLiteral("key Return")))
                (void)QTest::qWaitFor([sort] { return !sort->isVisible(); }, 2000);
        }
        if (sort->isVisible())
            sort->reject();
    });
    answer.start(100);

    QVERIFY(xdotool(at(cellCentre(sheet, 1, 1)) + QStringLiteral(" click 1")));
    QTRY_COMPARE(sheet->currentCellName(), QStringLiteral("B2"));
    QVERIFY(xdotool(QStringLiteral("key --delay 50 alt+a s")));
    QTRY_VERIFY(answered);
    QVERIFY2(named.contains(QStringLiteral("A2:G3")), qPrintable(named));
    QCOMPARE(key, QStringLiteral("B"));
    QTRY_COMPARE(sheet->cellFormula(1, 0), QStringLiteral("Controls"));
    QCOMPARE(sheet->cellFormula(2, 0), QStringLiteral("Patients"));
    QCOMPARE(sheet->cellFormula(0, 1), QStringLiteral("Smoking"));
    QVERIFY(window->isWindowModified());
    QVERIFY(window->windowTitle().startsWith(QStringLiteral("risk-cluster.sp[*]")));
    QCOMPARE(sheet->undoStack()->count(), 1);
    QCOMPARE(sheet->selectionRange().rowCount(), 2);
    QCOMPARE(sheet->selectionRange().columnCount(), 7);

    answered = false;
    QVERIFY(xdotool(at(cellCentre(sheet, 2, 4)) + QStringLiteral(" click 1")));
    QTRY_COMPARE(sheet->currentCellName(), QStringLiteral("E3"));
    QVERIFY(xdotool(QStringLiteral("key --delay 50 alt+a s")));
    QTRY_VERIFY(answered);
    QCOMPARE(key, QStringLiteral("E"));
    QTest::qWait(200);
    QCOMPARE(sheet->undoStack()->count(), 1);
    QCOMPARE(sheet->cellFormula(1, 0), QStringLiteral("Controls"));

    // Back with Ctrl+Z: the document as it was opened, not modified. (The
    // window gets the keyboard back as a window manager would give it.)
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    QVERIFY(xdotool(QStringLiteral("key ctrl+z")));
    QTRY_COMPARE(sheet->cellFormula(1, 0), QStringLiteral("Patients"));
    QVERIFY(!window->isWindowModified());
    // Nothing is asked on the way out: the window is deleted, not closed.
}

QTEST_MAIN(TestWindowX11)
#include "test_windowx11.moc"
