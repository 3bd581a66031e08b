#pragma once

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QString>

// One document's recovery copy as the recovery folder holds it: the *.sp
// copy and the record beside it (the original's path, the time of the
// copy). A copy that cannot be trusted says why in `damage`.
struct RecoveryCopy
{
    Q_DECLARE_TR_FUNCTIONS(RecoveryCopy)

public:
    // Names every file of this copy in the folder: "<stem>.lock",
    // "<stem>.json", "<stem>.<n>.sp".
    QString stem;
    // Empty for an untitled document.
    QString originalPath;
    QDateTime savedAt;
    // The document came from a text table: Save asks for a name and type.
    bool asksForName = false;
    // The *.sp copy itself; empty when the record does not name one.
    QString copyFile;
    // Why the copy cannot be restored; empty when it can.
    QString damage;

    bool isDamaged() const { return !damage.isEmpty(); }
    QString displayName() const
    {
        return originalPath.isEmpty() ? tr("Untitled") : QFileInfo(originalPath).fileName();
    }
};
