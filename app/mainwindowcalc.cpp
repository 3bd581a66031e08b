#include "mainwindow.h"

#include "calcactivity.h"
#include "calcpoll.h"
#include "resultpictures.h"
#include "seldialog.h"
#include "spreadsheet.h"
#include "uiprompts.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QToolTip>

void MainWindow::createSelDialog()
{
    selDialog = new SelDialog(spreadsheet, this);
    connect(selDialog, SIGNAL(accepted()), this, SLOT(slotCalc()));
}

// A second test started from inside a poll would share the stop flag, the
// progress display and the dialog's input with the running one.
bool MainWindow::refuseWhileCalculating()
{
    if (!calcRunning)
        return false;
    // A tip at the Stop button: a status-bar message would hide the
    // progress display, and a message box would pause the running test.
    QToolTip::showText(stopButton->mapToGlobal(QPoint(0, stopButton->height())),
                       tr("A test is running: stop it or wait for its result"), stopButton);
    return true;
}

void MainWindow::openTestDialog(int kind)
{
    if (refuseWhileCalculating())
        return;
    selDialog->testKind = kind;
    emit signalTestRange();
    selDialog->showForTest();
}

void MainWindow::slotMenuGeneInter()
{
    openTestDialog(TestGeneInter);
}

void MainWindow::slotMenuHardyW()
{
    openTestDialog(TestHardyW);
}

void MainWindow::slotMenuCluster()
{
    openTestDialog(TestCluster);
}

void MainWindow::slotMenuChi2()
{
    openTestDialog(TestChi2);
}

void MainWindow::slotMenuFisher()
{
    openTestDialog(TestFisher);
}

void MainWindow::slotMenuModels()
{
    openTestDialog(TestModels);
}

void MainWindow::slotMenuMeta()
{
    openTestDialog(TestMeta);
}

void MainWindow::slotMenuHaplotypes()
{
    openTestDialog(TestHaplotypes);
}

void MainWindow::slotProgress()
{
    progressBar->setValue(calcProgressValue);
    updateActivity();
}

// Beside the bar, what is known for certain: where a share of the work
// cannot be foreseen, these still move while the run works.
void MainWindow::updateActivity()
{
    const qint64 seconds = runClock.isValid() ? runClock.elapsed() / 1000 : 0;
    const auto twoDigits = [](qint64 value) { return QString::number(value).rightJustified(2, u'0'); };
    QString elapsed = QString::number(seconds / 60) + u':' + twoDigits(seconds % 60);
    if (seconds >= 3600)
        elapsed = QString::number(seconds / 3600) + u':' + twoDigits(seconds / 60 % 60) + u':' + twoDigits(seconds % 60);
    const QString known = calcActivity.text();
    activityLabel->setText(known.isEmpty() ? elapsed : known + QStringLiteral(", ") + elapsed);
}

void MainWindow::slotStopCalc()
{
    calcStopFlag = 1;
}

// Esc as Stop; once the run has gone on for a while, only after a question
// whose default (Enter) keeps it going, so that an Esc meant for something
// else does not throw long work away.
void MainWindow::escapeStop()
{
    if (!calcRunning || calcStopFlag || stopQuestionOpen)
        return;
    if (runClock.isValid() && runClock.elapsed() >= stopQuestionAfterMs) {
        stopQuestionOpen = true;
        const QMessageBox::StandardButton answer = UiPrompts::current().warningWithDefault(this,
            tr("Velmora"), tr("Stop the running test?"), QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        stopQuestionOpen = false;
        if (answer != QMessageBox::Yes || !calcRunning)
            return;
    }
    slotStopCalc();
}

void MainWindow::slotCalc()
{
    if (calcRunning)
        return;
    // Noted before the driver resets the dialog's kind.
    pendingRun = RunContext{selDialog->testTitle(), selDialog->optionSummary(), selDialog->rangeEdit->text(),
                            documentName(), RunContext::now()};
    switch (selDialog->testKind) {
    case TestFisher:
        runFisher();
        break;
    case TestChi2:
        runChi2();
        break;
    case TestCluster:
        runCluster();
        break;
    case TestHardyW:
        runHardyW();
        break;
    case TestGeneInter:
        runGeneInter();
        break;
    case TestModels:
        runModels();
        break;
    case TestMeta:
        runMeta();
        break;
    case TestLd:
        runLd();
        break;
    case TestHaplotypes:
        runHaplotypes();
        break;
    default:
        break;
    }
}

void MainWindow::runAndReport(const std::function<RunReport(const ProgressDisplay &)> &run)
{
    calcRunning = true;
    runClock.start();
    stopAction->setEnabled(true);
    selDialog->setCalculationRunning(true);
    const RunReport report = run([this](int maximum) { showCalcProgress(maximum); });
    if (progressBar->isVisible() || calcTimer->isActive())
        showCalcProgress(-1);
    calcRunning = false;
    stopAction->setEnabled(false);
    selDialog->setCalculationRunning(false);
    const int entry = appendResult(report.message, report.isError, pendingRun.text());
    resultPictures->attach(entry, pendingPicture);
    pendingPicture.reset();
    for (const auto &picture : pendingMorePictures)
        resultPictures->attach(entry, picture);
    pendingMorePictures.clear();
    pendingRun = RunContext();
    if (closeAfterRun) {
        closeAfterRun = false;
        // Deferred: the close asks the save question from the event loop,
        // not from inside the slot that ran the test.
        QTimer::singleShot(0, this, &QWidget::close);
    }
}

void MainWindow::showCalcProgress(int maximum)
{
    if (maximum >= 1) {
        calcStopFlag = 0;
        calcProgressValue = 0;
        progressBar->reset();
        progressBar->setRange(0, maximum);
        calcActivity.reset();
        runClock.start();
        updateActivity();
        calcSpacer->show();
        progressBar->show();
        stopButton->show();
        activityLabel->show();
        calcTimer->start(1000);
        resetCalcPollClock();
    } else {
        calcSpacer->hide();
        stopButton->hide();
        progressBar->hide();
        activityLabel->hide();
        calcTimer->stop();
    }
}

bool MainWindow::toggleAutoRecalcByShortcut(bool force)
{
    if (!force && !autoRecalcAction->isChecked())
        return false;
    const bool before = autoRecalcAction->isChecked();
    if (QApplication::instance()) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_R, Qt::ControlModifier, QStringLiteral("R"));
        QApplication::sendEvent(this, &press);
    }
    // A key press reaches the shortcut only in an active window; the
    // action gives the same result everywhere else.
    if (autoRecalcAction->isChecked() == before)
        autoRecalcAction->trigger();
    return true;
}
