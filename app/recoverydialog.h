#pragma once

#include "appdialogs.h"

#include <QDialog>

// "Recover Documents": the copies that instances which ended without
// cleaning up left behind, each with its document's name and the time of
// the copy; a copy that cannot be read is named with the reason and the
// file that is kept in `folder`. Restore (the default), Discard or Later;
// closing the dialog is Later.
class RecoveryDialog final : public QDialog
{
    Q_OBJECT

public:
    RecoveryDialog(const QList<RecoveryCopy> &copies, const QString &folder,
                   QWidget *parent = nullptr);

    AppDialogs::Recovery choice() const { return chosen; }

    // The texts of a copy's row: document, time, state.
    static QStringList rowTexts(const RecoveryCopy &copy);

private:
    AppDialogs::Recovery chosen = AppDialogs::Recovery::Later;
};
