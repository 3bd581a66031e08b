#pragma once

#include "recoverycopy.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QList>
#include <QString>

#include <map>
#include <memory>

class QLockFile;

// The recovery folder: one copy per open document, each under a lock
// (QLockFile) that the instance writing it holds for as long as the copy
// exists. A copy whose lock is stale belongs to an instance that ended
// without cleaning up (a crash, a kill, a power cut); a live lock is never
// taken, so one instance never offers nor deletes another's copy.
//
// Files of one copy, all named after its stem: "<stem>.lock", the record
// "<stem>.json" (original path, time, the copy's name, size and SHA-256) and
// the copy "<stem>.<n>.sp". Each write goes to a new copy name and the
// record is replaced after it, so a crash between the two leaves the last
// record naming a complete copy.
class RecoveryStore final
{
    Q_DECLARE_TR_FUNCTIONS(RecoveryStore)

public:
    explicit RecoveryStore(const QString &folder);
    // Lets go of every lock; the copies stay for the next start.
    ~RecoveryStore();
    RecoveryStore(const RecoveryStore &) = delete;
    RecoveryStore &operator=(const RecoveryStore &) = delete;

    // The application's store, in AppLocalDataLocation + "/recovery".
    static RecoveryStore &shared();
    // Installs another store (not owned; null restores the application's).
    static void install(RecoveryStore *store);

    const QString &folder() const { return folderPath; }

    // A stem for a new document's copies; nothing is written yet.
    QString newStem();
    // Writes the document as the copy of `stem`, taking its lock first.
    // False, with the reason, when the folder cannot take it; the previous
    // copy, if any, stays valid.
    bool writeCopy(const QString &stem, const QByteArray &document, const QString &originalPath,
                   bool asksForName, QString *reason);
    // Deletes the files of a copy this store holds and lets go of its lock.
    // A stem it does not hold is left alone.
    void remove(const QString &stem);
    bool holds(const QString &stem) const;

    // Takes the lock of every copy whose owner has gone and reads it; damaged
    // copies are listed too, with their damage. Oldest first.
    QList<RecoveryCopy> claimStale();
    // Takes the lock of one copy, waiting up to `timeoutMs` for it (another
    // instance hands it over).
    bool claim(const QString &stem, int timeoutMs);
    // Lets go of a copy's lock, keeping its files for the next start.
    void release(const QString &stem);
    // A copy's record, with the copy checked against it.
    RecoveryCopy read(const QString &stem) const;

private:
    bool lock(const QString &stem, int timeoutMs, QString *reason);
    QString path(const QString &name) const;

    QString folderPath;
    QString session;
    int documents = 0;
    quint64 generation = 0;
    std::map<QString, std::unique_ptr<QLockFile>> locks;
    // The copy file each of this instance's own stems has written last.
    std::map<QString, QString> written;
};
