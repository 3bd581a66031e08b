#pragma once

#include "recoverycopy.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QList>
#include <QString>

#include <map>
#include <memory>
#include <set>

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
// record naming a complete copy. No other name is the store's: a user's
// own file in the folder is never read, offered nor deleted.
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
    // Whether `path` is the folder or lies in it (through links too).
    bool covers(const QString &path) const;

    // A stem for a new document's copies; nothing is written yet.
    QString newStem();
    // Writes the document as the copy of `stem`, taking its lock first.
    // False, with the reason, when the folder cannot take it; the previous
    // copy, if any, stays valid.
    bool writeCopy(const QString &stem, const QByteArray &document, const QString &originalPath,
                   bool asksForName, QString *reason);
    // Deletes the files of a copy this store holds (or has claimed in a
    // folder it cannot write) and lets go of its lock. A stem it does not
    // hold is left alone. False when a file of the copy could not be deleted.
    bool remove(const QString &stem);
    bool holds(const QString &stem) const;

    // Takes the lock of every copy whose owner has gone and reads it; damaged
    // copies are listed too, with their damage. Oldest first. In a folder
    // that cannot be written, where no lock can be taken, the copies whose
    // lock names no running process are read without one.
    QList<RecoveryCopy> claimStale();
    // Takes the lock of one copy, waiting up to `timeoutMs` for it (another
    // instance hands it over); in a folder that cannot be written, as
    // claimStale does.
    bool claim(const QString &stem, int timeoutMs);
    // Whether copies can be written in the folder (or it can be made);
    // false with the system's words.
    bool writable(QString *reason) const;
    // Lets go of a copy's lock, keeping its files for the next start.
    void release(const QString &stem);
    // A copy's record, with the copy checked against it.
    RecoveryCopy read(const QString &stem) const;

private:
    bool lock(const QString &stem, int timeoutMs, QString *reason);
    bool lockedByLiveOwner(const QString &stem) const;
    QString path(const QString &name) const;

    QString folderPath;
    QString session;
    int documents = 0;
    quint64 generation = 0;
    std::map<QString, std::unique_ptr<QLockFile>> locks;
    // Copies claimed without a lock, in a folder that cannot be written.
    std::set<QString> unlocked;
    // The copy file each of this instance's own stems has written last.
    std::map<QString, QString> written;
};
