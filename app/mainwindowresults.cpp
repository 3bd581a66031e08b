#include "mainwindow.h"

#include "reporttext.h"
#include "resultpictures.h"
#include "runreport.h"
#include "safefilewriter.h"
#include "uiprompts.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMimeData>
#include <QStatusBar>

int MainWindow::appendResult(const QString &message, int isError, const QString &context)
{
    // Shown first, so that the pane scrolls at the size it will have.
    showResultsWindow();
    const int entry = resultsView->appendResult(message, isError, context);
    // A new entry ends the chance to bring back a cleared report.
    clearedResults.clear();
    updateResultsActions();
    return entry;
}

void MainWindow::showResultsWindow()
{
    if (showResultsAction->isChecked())
        return;
    if (!QApplication::instance())
        return;
    QKeyEvent press(QEvent::KeyPress, Qt::Key_B, Qt::ControlModifier, QStringLiteral("B"));
    QApplication::sendEvent(this, &press);
    // A key press reaches the shortcut only in an active window; the
    // action gives the same result everywhere else.
    if (!showResultsAction->isChecked())
        showResultsAction->trigger();
}

void MainWindow::createResultsActions()
{
    // The grid's keys with Shift: the same commands for the Results.
    copyResultsAction = new QAction(tr("&Copy Results"), this);
    copyResultsAction->setShortcut(QKeySequence(tr("Ctrl+Shift+C")));
    copyResultsAction->setStatusTip(
        tr("Copy the selected part of the results, or all of them, to the clipboard"));
    connect(copyResultsAction, SIGNAL(triggered()), this, SLOT(copyResults()));

    saveResultsAction = new QAction(tr("&Save Results As..."), this);
    saveResultsAction->setShortcut(QKeySequence(tr("Ctrl+Shift+S")));
    saveResultsAction->setStatusTip(tr("Save the results as an HTML page or as plain text"));
    connect(saveResultsAction, SIGNAL(triggered()), this, SLOT(saveResults()));

    clearResultsAction = new QAction(tr("C&lear Results"), this);
    clearResultsAction->setShortcut(QKeySequence(tr("Ctrl+Shift+Del")));
    clearResultsAction->setStatusTip(tr("Remove every entry from the Results window"));
    connect(clearResultsAction, SIGNAL(triggered()), this, SLOT(clearResults()));

    undoClearResultsAction = new QAction(tr("&Undo Clear Results"), this);
    undoClearResultsAction->setStatusTip(tr("Bring back the results that Clear removed"));
    connect(undoClearResultsAction, SIGNAL(triggered()), this, SLOT(undoClearResults()));

    resultPictures = new ResultPictures(resultsView, this);
    updateResultsActions();
}

void MainWindow::updateResultsActions()
{
    const bool hasReport = !resultsView->isEmpty();
    copyResultsAction->setEnabled(hasReport);
    saveResultsAction->setEnabled(hasReport);
    clearResultsAction->setEnabled(hasReport);
    undoClearResultsAction->setEnabled(!clearedResults.isEmpty());
    resultPictures->updateSaveAction();
}

void MainWindow::copyResults()
{
    if (resultsView->isEmpty())
        return;
    auto *data = new QMimeData;
    const QString selected = resultsView->selectedPlainText();
    if (!selected.isEmpty()) {
        data->setText(selected);
    } else {
        const QString report = resultsView->html();
        data->setHtml(report);
        data->setText(reporttext::plainText(report));
    }
    QGuiApplication::clipboard()->setMimeData(data);
    statusBar()->showMessage(tr("Results copied"), 2000);
}

void MainWindow::saveResults()
{
    if (resultsView->isEmpty())
        return;
    QString fileName = UiPrompts::current().saveFileName(this, tr("Save Results"), dialogFolder(),
        tr("HTML files (*.html *.htm);;Text files (*.txt)"));
    if (fileName.isEmpty())
        return;
    rememberFolder(fileName);
    fileName = withDefaultSuffix(fileName, QStringLiteral("html"));
    if (fileName.isEmpty())
        return;
    if (writeResults(fileName))
        statusBar()->showMessage(tr("Results saved"), 2000);
    else
        statusBar()->showMessage(tr("Saving canceled"), 2000);
}

bool MainWindow::writeResults(const QString &fileName)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    const bool plain = suffix == QLatin1String("txt") || suffix == QLatin1String("text");
    const QString report = resultsView->html();
    const QByteArray bytes
        = (plain ? reporttext::plainText(report) : reporttext::htmlPage(report)).toUtf8();
    // As documents are written: never half a file, never over a FIFO or a
    // device, through symbolic links.
    QString reason;
    if (SafeFileWriter::write(fileName, bytes, &reason))
        return true;
    UiPrompts::current().warning(this, tr("Velmora"),
        tr("Cannot write file %1:\n%2.").arg(QDir::toNativeSeparators(fileName), reason),
        QMessageBox::Ok);
    return false;
}

void MainWindow::clearResults()
{
    if (resultsView->isEmpty())
        return;
    clearedResults = resultsView->takeEntries();
    updateResultsActions();
}

void MainWindow::undoClearResults()
{
    if (clearedResults.isEmpty())
        return;
    resultsView->restoreEntries(clearedResults);
    clearedResults.clear();
    updateResultsActions();
}
