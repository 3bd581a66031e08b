#include "threadshortfall.h"

#include <QDebug>
#include <QFile>
#include <QString>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <limits>
#include <pthread.h>
#include <sys/resource.h>

namespace {

// What glibc reserves for the heap of each thread's arena on 64 bits.
constexpr qint64 kArenaBytes = qint64(64) << 20;

// The address space the process maps now: VmSize of /proc/self/status.
qint64 addressSpaceInUse()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (int line = 0; line < 100; ++line) {
        const QByteArray text = status.readLine(256);
        if (text.isEmpty())
            break;
        if (text.startsWith("VmSize:"))
            return text.mid(7).trimmed().split(' ').value(0).toLongLong() * 1024;
    }
    return -1;
}

qint64 defaultStackBytes()
{
    pthread_attr_t attr;
    std::size_t size = std::size_t(8) << 20;
    if (pthread_getattr_default_np(&attr) == 0) {
        pthread_attr_getstacksize(&attr, &size);
        pthread_attr_destroy(&attr);
    }
    return qint64(size);
}

} // namespace

void noteThreadShortfall(int working, int asked, const std::system_error &error)
{
    static std::atomic<bool> said{false};
    if (said.exchange(true))
        return;
    qWarning().noquote() << QStringLiteral("only %1 of %2 threads could be started (%3); going on with %1")
                                .arg(working)
                                .arg(asked)
                                .arg(QString::fromLocal8Bit(error.code().message().c_str()));
}

int threadsWithinAddressSpace(int wanted, qint64 limitBytes, qint64 usedBytes, qint64 perThreadBytes)
{
    if (wanted <= 0 || limitBytes <= 0 || perThreadBytes <= 0)
        return std::max(wanted, 0);
    const qint64 spare = std::max<qint64>(limitBytes - std::max<qint64>(usedBytes, 0), 0) / 2;
    return int(std::min<qint64>(wanted, spare / perThreadBytes));
}

int threadsWithinAddressSpace(int wanted)
{
    rlimit limit{};
    if (wanted <= 0 || ::getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return std::max(wanted, 0);
    const qint64 used = addressSpaceInUse();
    // Unknown use: the limit alone.
    const qint64 bytes = qint64(std::min<rlim_t>(limit.rlim_cur, rlim_t(std::numeric_limits<qint64>::max())));
    return threadsWithinAddressSpace(wanted, bytes, std::max<qint64>(used, 0),
                                     defaultStackBytes() + kArenaBytes);
}
