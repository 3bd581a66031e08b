#include "recoverystart.h"

#include "appdialogs.h"
#include "autosaver.h"
#include "mainwindow.h"
#include "recoverystore.h"
#include "uiprompts.h"

#include <QDir>
#include <QFileInfo>

namespace {

const QString kRestoreOption = QStringLiteral("--restore");
// Long enough for the starting instance to let go of the copy it hands over.
constexpr int kHandOverWaitMs = 10000;

QString tr(const char *text)
{
    return QCoreApplication::translate("RecoveryStart", text);
}

bool samePath(const QString &a, const QString &b)
{
    return !a.isEmpty() && QFileInfo(a).absoluteFilePath() == QFileInfo(b).absoluteFilePath();
}

void tellKept(MainWindow *window, const RecoveryCopy &copy)
{
    UiPrompts::current().warning(window, tr("Velmora"),
        tr("The recovery copy of %1 cannot be restored.\n%2\nIt is kept in %3.")
            .arg(copy.displayName(), copy.damage,
                 QDir::toNativeSeparators(RecoveryStore::shared().folder())),
        QMessageBox::Ok);
}

// Opens a copy this instance holds in the window; a copy that cannot be read
// is let go, kept for the next start.
bool restoreHere(MainWindow *window, const RecoveryCopy &copy)
{
    if (!copy.isDamaged() && window->restoreRecoveryCopy(copy))
        return true;
    RecoveryStore::shared().release(copy.stem);
    return false;
}

// The instance started by another to restore one copy.
void restoreHandedOver(MainWindow *window, const QString &stem)
{
    RecoveryStore &store = RecoveryStore::shared();
    if (!store.claim(stem, kHandOverWaitMs)) {
        UiPrompts::current().warning(window, tr("Velmora"),
            tr("The recovery copy %1 is in use by another Velmora.").arg(stem), QMessageBox::Ok);
        return;
    }
    const RecoveryCopy copy = store.read(stem);
    if (copy.isDamaged())
        tellKept(window, copy);
    restoreHere(window, copy);
}

void restoreAll(MainWindow *window, const QList<RecoveryCopy> &copies, const QString &argument,
                bool *windowTaken)
{
    RecoveryStore &store = RecoveryStore::shared();
    QList<RecoveryCopy> others;
    for (const RecoveryCopy &copy : copies) {
        if (copy.isDamaged()) {
            // Named in the dialog; kept for the user to decide.
            store.release(copy.stem);
            continue;
        }
        // The window takes the copy of the document it was asked to open,
        // or without one the first copy.
        const bool here = !*windowTaken
            && (argument.isEmpty() ? others.isEmpty() : samePath(copy.originalPath, argument));
        if (here)
            *windowTaken = restoreHere(window, copy);
        else
            others.append(copy);
    }
    for (const RecoveryCopy &copy : std::as_const(others)) {
        store.release(copy.stem);
        if (!AppDialogs::current().startWindow({ kRestoreOption, copy.stem }))
            UiPrompts::current().warning(window, tr("Velmora"),
                tr("Cannot open a window for the recovery copy of %1. It is kept for the next "
                   "start.").arg(copy.displayName()),
                QMessageBox::Ok);
    }
}

} // namespace

void RecoveryStart::run(MainWindow *window, const QStringList &arguments)
{
    // Said once, now, rather than at the first copy a minute into the work.
    QString reason;
    if (!RecoveryStore::shared().writable(&reason))
        window->autosave()->tellCannotWrite(reason);
    if (arguments.value(0) == kRestoreOption) {
        restoreHandedOver(window, arguments.value(1));
        return;
    }
    RecoveryStore &store = RecoveryStore::shared();
    const QList<RecoveryCopy> copies = store.claimStale();
    const QString argument
        = arguments.isEmpty() ? QString() : QFileInfo(arguments.first()).absoluteFilePath();
    bool windowTaken = false;
    while (!copies.isEmpty()) {
        const AppDialogs::Recovery choice = AppDialogs::current().recoverDocuments(window, copies);
        if (choice == AppDialogs::Recovery::Restore) {
            restoreAll(window, copies, argument, &windowTaken);
        } else if (choice == AppDialogs::Recovery::Discard) {
            if (UiPrompts::current().warning(window, tr("Velmora"),
                    tr("Delete the recovery copies? The changes they hold will be lost."),
                    QMessageBox::Yes | QMessageBox::No)
                != QMessageBox::Yes)
                continue;
            bool allGone = true;
            for (const RecoveryCopy &copy : copies)
                allGone = store.remove(copy.stem) && allGone;
            if (!allGone)
                UiPrompts::current().warning(window, tr("Velmora"),
                    tr("Some recovery copies could not be deleted. They stay in %1.")
                        .arg(QDir::toNativeSeparators(store.folder())),
                    QMessageBox::Ok);
        } else {
            for (const RecoveryCopy &copy : copies)
                store.release(copy.stem);
        }
        break;
    }
    if (!windowTaken)
        window->openArguments(arguments);
}
