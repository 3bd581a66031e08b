#include "runreport.h"

#include <QCoreApplication>

QString resultsEntry(const QString &message, int isError)
{
    // Translated in the main window's context, which shows them.
    const char *context = "MainWindow";
    QString entry = isError ? QCoreApplication::translate(context, "<font size=\"+1\" color=\"red\">")
                            : QCoreApplication::translate(context, "<font size=\"+1\" color=\"darkblue\">");
    entry += QCoreApplication::translate(
        context, "<br /><b>_________________________________________________________</b>");
    entry += message;
    entry += QCoreApplication::translate(context, "</font>");
    return entry;
}
