#include "runcontext.h"

#include <QCoreApplication>

QDateTime (*RunContext::clock)() = nullptr;

QDateTime RunContext::now()
{
    return clock ? clock() : QDateTime::currentDateTime();
}

QString RunContext::text() const
{
    if (isEmpty())
        return QString();
    const QString what = QStringList(QStringList{test} + options).join(QStringLiteral(", "));
    // ISO order: unambiguous in every locale, and sorts as text.
    return QCoreApplication::translate("MainWindow", "%1; %2 of %3; %4")
        .arg(what, range, document, started.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
}
