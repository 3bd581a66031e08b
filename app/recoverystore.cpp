#include "recoverystore.h"

#include "gridsize.h"
#include "safefilewriter.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QSysInfo>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

// A lock file holds a process id and two names; anything larger is not one.
constexpr qint64 kMaxLockBytes = 4 * 1024;

// The names this store writes, and no others: the lock "<stem>.lock", the
// record "<stem>.json", the copies "<stem>.<n>.sp", and the temporary file
// of a write of either ("<name>.XXXXXX"). A stem is the session's number in
// hex and the document's. Whatever else a user keeps in the folder is never
// read, offered nor deleted.
const QRegularExpression &ownName()
{
    static const QRegularExpression shape(QStringLiteral(
        "^([0-9a-f]{1,16}-[0-9]{1,9})\\.(lock|json|[0-9]{1,19}\\.sp)(\\.[A-Za-z0-9]{6})?$"));
    return shape;
}

bool isStem(const QString &stem)
{
    static const QRegularExpression shape(QStringLiteral("^[0-9a-f]{1,16}-[0-9]{1,9}$"));
    return shape.match(stem).hasMatch();
}

// The stem of a file this store wrote; empty for any other name.
QString stemOf(const QString &name)
{
    const QRegularExpressionMatch match = ownName().match(name);
    return match.hasMatch() ? match.captured(1) : QString();
}

// A copy the store wrote: "<stem>.<n>.sp" itself, not a temporary file.
bool isCopyName(const QString &name)
{
    const QRegularExpressionMatch match = ownName().match(name);
    return match.hasMatch() && match.captured(2).endsWith(QStringLiteral(".sp")) && match.captured(3).isEmpty();
}

enum class Kind { Missing, Regular, Other };

// What a name in the folder is, without following a link.
Kind kindOf(const QString &path, qint64 maxBytes)
{
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return Kind::Missing;
    return S_ISREG(info.st_mode) && info.st_size <= maxBytes ? Kind::Regular : Kind::Other;
}

// Opens a file of the folder if it is a regular file of at most `maxBytes`:
// the store writes nothing else there, and a FIFO would block the open, a
// link to a device never end. The kind is checked on the open file, so a
// name swapped in between cannot slip through.
Kind openRegular(QFile &file, const QString &path, qint64 maxBytes)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? Kind::Missing : Kind::Other;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > maxBytes
        || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return Kind::Other;
    }
    return Kind::Regular;
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

bool RecoveryStore::covers(const QString &place) const
{
    const auto real = [](const QString &p) {
        const QString canonical = QFileInfo(p).canonicalFilePath();
        return canonical.isEmpty() ? QDir::cleanPath(QFileInfo(p).absoluteFilePath()) : canonical;
    };
    const QString folder = real(folderPath);
    const QString candidate = real(place);
    return candidate == folder || candidate.startsWith(folder + u'/');
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
    // QLockFile reads a lock it finds to the end of its first line: a FIFO
    // or a link to a device in its place would hang it.
    if (kindOf(path(stem + kLockSuffix), kMaxLockBytes) == Kind::Other) {
        *reason = tr("The lock file is not a regular file");
        return false;
    }
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

bool RecoveryStore::remove(const QString &stem)
{
    const auto held = locks.find(stem);
    const bool unlockedClaim = unlocked.erase(stem) != 0;
    if (held == locks.end() && !unlockedClaim)
        return true;
    // The stem's own files: the record, its copies (older ones a crash
    // left), the temporary file of a write it interrupted; the lock last.
    bool allGone = true;
    const QStringList names = QDir(folderPath).entryList(
        { stem + QStringLiteral(".*") }, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : names)
        if (stemOf(name) == stem && name != stem + kLockSuffix)
            allGone = QFile::remove(path(name)) && allGone;
    written.erase(stem);
    if (held != locks.end()) {
        held->second->unlock();
        locks.erase(held);
    }
    return allGone;
}

void RecoveryStore::release(const QString &stem)
{
    written.erase(stem);
    locks.erase(stem);
    unlocked.erase(stem);
}

bool RecoveryStore::claim(const QString &stem, int timeoutMs)
{
    if (!isStem(stem))
        return false;
    QString reason;
    if (writable(&reason))
        return lock(stem, timeoutMs, &reason);
    // Nobody can take a lock in a folder that cannot be written: a copy is
    // read without one, unless its lock names a process still running.
    if (lockedByLiveOwner(stem))
        return false;
    unlocked.insert(stem);
    return true;
}

bool RecoveryStore::writable(QString *reason) const
{
    // The folder, or where it would be made.
    QString place = folderPath;
    while (!QFileInfo::exists(place) && QFileInfo(place).dir().path() != place)
        place = QFileInfo(place).dir().path();
    if (!QFileInfo(place).isDir()) {
        *reason = QString::fromLocal8Bit(std::strerror(ENOTDIR));
        return false;
    }
    if (::access(QFile::encodeName(place).constData(), W_OK | X_OK) != 0) {
        *reason = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    return true;
}

bool RecoveryStore::lockedByLiveOwner(const QString &stem) const
{
    const QString lockPath = path(stem + kLockSuffix);
    switch (kindOf(lockPath, kMaxLockBytes)) {
    case Kind::Missing:
        return false;
    case Kind::Other:
        return true;
    case Kind::Regular:
        break;
    }
    qint64 pid = 0;
    QString host;
    QString application;
    if (!QLockFile(lockPath).getLockInfo(&pid, &host, &application))
        return false;
    // Another machine's process cannot be asked: its lock holds, as
    // QLockFile would have it.
    if (!host.isEmpty() && host != QSysInfo::machineHostName())
        return true;
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
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
        if (name == stem + kRecordSuffix || isCopyName(name))
            withContent.insert(stem);
    }
    QList<RecoveryCopy> copies;
    for (const QString &stem : std::as_const(stems)) {
        if (holds(stem) || unlocked.count(stem) != 0 || !claim(stem, 0))
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
    QFile recordFile;
    const Kind recordKind = openRegular(recordFile, path(stem + kRecordSuffix), kMaxRecordBytes);
    if (recordKind == Kind::Missing) {
        // The copy of a first write whose record was never written.
        const QStringList candidates
            = QDir(folderPath).entryList({ stem + QStringLiteral(".*.sp") }, QDir::Files | QDir::System);
        for (const QString &name : candidates) {
            if (isCopyName(name) && stemOf(name) == stem) {
                copy.copyFile = path(name);
                break;
            }
        }
        copy.damage = tr("Its record is missing.");
        return copy;
    }
    const QJsonObject record = recordKind == Kind::Regular
        ? QJsonDocument::fromJson(recordFile.read(kMaxRecordBytes)).object()
        : QJsonObject();
    const QString copyName = record.value(QStringLiteral("copy")).toString();
    copy.originalPath = record.value(QStringLiteral("original")).toString();
    copy.savedAt = QDateTime::fromString(
        record.value(QStringLiteral("saved")).toString(), Qt::ISODateWithMs);
    copy.asksForName = record.value(QStringLiteral("asksForName")).toBool();
    // The record names a copy of its own stem in this folder, nothing else:
    // a damaged record must not point a restore or a deletion elsewhere.
    if (stemOf(copyName) != stem || !isCopyName(copyName) || !copy.savedAt.isValid()) {
        copy.damage = tr("Its record is damaged.");
        return copy;
    }
    copy.copyFile = path(copyName);
    QFile data;
    const Kind dataKind = openRegular(data, copy.copyFile, GridSize::MaxDocumentBytes);
    if (dataKind != Kind::Regular) {
        copy.damage = dataKind == Kind::Missing ? tr("The copy is missing.") : tr("The copy is damaged.");
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
