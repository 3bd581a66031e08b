#include "appdialogs.h"

#include "preferencesdialog.h"
#include "recoverydialog.h"
#include "recoverystore.h"

#include <QCoreApplication>
#include <QProcess>

namespace {
AppDialogs *installed = nullptr;
} // namespace

AppDialogs::Recovery AppDialogs::recoverDocuments(QWidget *parent,
                                                  const QList<RecoveryCopy> &copies)
{
    RecoveryDialog dialog(copies, RecoveryStore::shared().folder(), parent);
    dialog.exec();
    return dialog.choice();
}

bool AppDialogs::editPreferences(QWidget *parent, int *intervalSeconds)
{
    PreferencesDialog dialog(*intervalSeconds, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    *intervalSeconds = dialog.intervalSeconds();
    return true;
}

bool AppDialogs::startWindow(const QStringList &arguments)
{
    return QProcess::startDetached(QCoreApplication::applicationFilePath(), arguments);
}

AppDialogs &AppDialogs::current()
{
    static AppDialogs real;
    return installed ? *installed : real;
}

void AppDialogs::install(AppDialogs *dialogs)
{
    installed = dialogs;
}
