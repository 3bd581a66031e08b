#include "recoverystore.h"

#include "safefilewriter.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QRandomGenerator>
#include <QSet>
#include <QStandardPaths>

#include <algorithm>

namespace {

RecoveryStore *installed = nullptr;

const QString kLockSuffix = QStringLiteral(".lock");
const QString kRecordSuffix = QStringLiteral(".json");
// A record is a few hundred bytes; anything far larger is not one.
constexpr qint64 kMaxRecordBytes = 64 * 1024;

QByteArray sha256(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

// The stem a folder entry belongs to: its name up to the first dot.
QString stemOf(const QString &name)
{
    return name.section(u'.', 0, 0);
}

QString lockReason(QLockFile::LockError error)
{
    switch (error) {
    case QLockFile::PermissionError:
        return RecoveryStore::tr("Permission denied");
    case QLockFile::LockFailedError:
        return RecoveryStore::tr("The copy is locked by another instance");
    default:
        return RecoveryStore::tr("Cannot create a lock file");
    }
}

} // namespace

RecoveryStore::RecoveryStore(const QString &folder)
    : folderPath(QDir::cleanPath(folder))
    , session(QString::number(QRandomGenerator::system()->generate64(), 16))
{
}

RecoveryStore::~RecoveryStore() = default;

RecoveryStore &RecoveryStore::shared()
{
    if (installed)
        return *installed;
    static RecoveryStore store(
        QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation)
        + QStringLiteral("/recovery"));
    return store;
}

void RecoveryStore::install(RecoveryStore *store)
{
    installed = store;
}

QString RecoveryStore::path(const QString &name) const
{
    return folderPath + u'/' + name;
}

QString RecoveryStore::newStem()
{
    return session + u'-' + QString::number(++documents);
}

bool RecoveryStore::holds(const QString &stem) const
{
    return locks.count(stem) != 0;
}

bool RecoveryStore::lock(const QString &stem, int timeoutMs, QString *reason)
{
    if (holds(stem))
        return true;
    auto file = std::make_unique<QLockFile>(path(stem + kLockSuffix));
    // Never stale by age: an instance may keep a document open for days.
    // Only an owner that no longer runs leaves a stale lock.
    file->setStaleLockTime(0);
    if (!file->tryLock(timeoutMs)) {
        *reason = lockReason(file->error());
        return false;
    }
    locks[stem] = std::move(file);
    return true;
}

bool RecoveryStore::writeCopy(const QString &stem, const QByteArray &document,
                              const QString &originalPath, bool asksForName, QString *reason)
{
    if (!QDir().mkpath(folderPath)) {
        *reason = tr("Cannot create the folder");
        return false;
    }
    if (!lock(stem, 0, reason))
        return false;
    const QString copyName = stem + u'.' + QString::number(++generation) + QStringLiteral(".sp");
    if (!SafeFileWriter::write(path(copyName), document, reason))
        return false;

    QJsonObject record;
    record[QStringLiteral("original")] = originalPath;
    record[QStringLiteral("saved")]
        = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
    record[QStringLiteral("asksForName")] = asksForName;
    record[QStringLiteral("copy")] = copyName;
    record[QStringLiteral("size")] = double(document.size());
    record[QStringLiteral("sha256")] = QString::fromLatin1(sha256(document));
    if (!SafeFileWriter::write(path(stem + kRecordSuffix), QJsonDocument(record).toJson(),
                               reason)) {
        QFile::remove(path(copyName));
        return false;
    }
    // Only now is the previous copy unnamed by the record.
    const QString previous = written[stem];
    written[stem] = copyName;
    if (!previous.isEmpty())
        QFile::remove(path(previous));
    return true;
}

void RecoveryStore::remove(const QString &stem)
{
    const auto held = locks.find(stem);
    if (held == locks.end())
        return;
    // Every file of the stem: older copies a crash left, the temporary file
    // of a write it interrupted; the lock last.
    const QStringList names = QDir(folderPath).entryList(
        { stem + QStringLiteral(".*") }, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : names)
        if (stemOf(name) == stem && name != stem + kLockSuffix)
            QFile::remove(path(name));
    written.erase(stem);
    held->second->unlock();
    locks.erase(held);
}

void RecoveryStore::release(const QString &stem)
{
    written.erase(stem);
    locks.erase(stem);
}

bool RecoveryStore::claim(const QString &stem, int timeoutMs)
{
    QString reason;
    return !stem.isEmpty() && !stem.contains(u'/') && !stem.contains(u'.')
        && lock(stem, timeoutMs, &reason);
}

QList<RecoveryCopy> RecoveryStore::claimStale()
{
    const QStringList names
        = QDir(folderPath).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    QSet<QString> stems;
    QSet<QString> withContent;
    for (const QString &name : names) {
        const QString stem = stemOf(name);
        if (stem.isEmpty())
            continue;
        stems.insert(stem);
        if (name.endsWith(kRecordSuffix) || name.endsWith(QStringLiteral(".sp")))
            withContent.insert(stem);
    }
    QList<RecoveryCopy> copies;
    for (const QString &stem : std::as_const(stems)) {
        if (holds(stem) || !claim(stem, 0))
            continue;
        // A lock, or the temporary file of a first write, and nothing to
        // recover: what a crash before the first copy leaves.
        if (!withContent.contains(stem)) {
            remove(stem);
            continue;
        }
        copies.append(read(stem));
    }
    std::sort(copies.begin(), copies.end(), [](const RecoveryCopy &a, const RecoveryCopy &b) {
        return a.savedAt < b.savedAt || (a.savedAt == b.savedAt && a.stem < b.stem);
    });
    return copies;
}

RecoveryCopy RecoveryStore::read(const QString &stem) const
{
    RecoveryCopy copy;
    copy.stem = stem;
    QFile recordFile(path(stem + kRecordSuffix));
    if (!recordFile.open(QIODevice::ReadOnly)) {
        // The copy of a first write whose record was never written.
        const QStringList orphans
            = QDir(folderPath).entryList({ stem + QStringLiteral(".*.sp") }, QDir::Files);
        if (!orphans.isEmpty())
            copy.copyFile = path(orphans.first());
        copy.damage = tr("Its record is missing.");
        return copy;
    }
    const QJsonObject record = QJsonDocument::fromJson(recordFile.read(kMaxRecordBytes)).object();
    const QString copyName = record.value(QStringLiteral("copy")).toString();
    copy.originalPath = record.value(QStringLiteral("original")).toString();
    copy.savedAt = QDateTime::fromString(
        record.value(QStringLiteral("saved")).toString(), Qt::ISODateWithMs);
    copy.asksForName = record.value(QStringLiteral("asksForName")).toBool();
    // The record names a file of its own stem in this folder, nothing else:
    // a damaged record must not point a restore or a deletion elsewhere.
    if (stemOf(copyName) != stem || !copyName.endsWith(QStringLiteral(".sp"))
        || copyName.contains(u'/') || !copy.savedAt.isValid()) {
        copy.damage = tr("Its record is damaged.");
        return copy;
    }
    copy.copyFile = path(copyName);
    QFile data(copy.copyFile);
    if (!data.open(QIODevice::ReadOnly)) {
        copy.damage = tr("The copy is missing.");
        return copy;
    }
    const qint64 size = qint64(record.value(QStringLiteral("size")).toDouble(-1));
    if (data.size() < size) {
        copy.damage = tr("The copy is truncated.");
        return copy;
    }
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (data.size() != size || !hash.addData(&data)
        || hash.result().toHex() != record.value(QStringLiteral("sha256")).toString().toLatin1())
        copy.damage = tr("The copy is damaged.");
    return copy;
}
