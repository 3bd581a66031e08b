#include "mainwindow.h"

#include "runreport.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QScrollArea>

void MainWindow::appendResult(const QString &message, int isError)
{
    QString text = resultsLabel->text();
    text.replace(QStringLiteral("color=\"darkblue\">"), QStringLiteral("color=\"darkgreen\">"));
    text.replace(QStringLiteral("color=\"red\">"), QStringLiteral("color=\"darkgreen\">"));
    text += resultsEntry(message, isError);
    resultsLabel->setText(text);
    resultsLabel->adjustSize();
    const int height = resultsLabel->height();
    showResultsWindow();
    resultsScroll->ensureVisible(0, height, 0, 0);
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
