#include "membudget.h"

#include <QFile>

#include <algorithm>

namespace {

qint64 runLimitOverride = 0;

// What we assume when /proc/meminfo cannot be read.
constexpr qint64 kFallbackAvailable = qint64(1) << 30;

} // namespace

MemoryBudget::MemoryBudget() : m_limit(defaultRunLimit()) {}

MemoryBudget::MemoryBudget(qint64 limitBytes) : m_limit(std::max<qint64>(0, limitBytes)) {}

bool MemoryBudget::reserve(qint64 bytes)
{
    if (bytes < 0 || bytes > m_limit - m_used)
        return false;
    m_used += bytes;
    m_peak = std::max(m_peak, m_used);
    return true;
}

void MemoryBudget::release(qint64 bytes)
{
    m_used = std::max<qint64>(0, m_used - bytes);
}

qint64 MemoryBudget::availablePhysicalMemory()
{
    QFile file(QStringLiteral("/proc/meminfo"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return -1;
    // procfs files report size 0, so atEnd() is true before the first read:
    // read the whole (small) file at once instead.
    const QByteArray text = file.read(qint64(1) << 16);
    for (const QByteArray &line : text.split('\n')) {
        if (!line.startsWith("MemAvailable:"))
            continue;
        const QList<QByteArray> parts = line.simplified().split(' ');
        if (parts.size() < 2)
            return -1;
        bool ok = false;
        const qint64 kib = parts.at(1).toLongLong(&ok);
        return ok && kib >= 0 ? kib * 1024 : -1;
    }
    return -1;
}

qint64 MemoryBudget::defaultRunLimit()
{
    if (runLimitOverride > 0)
        return runLimitOverride;
    qint64 available = availablePhysicalMemory();
    if (available <= 0)
        available = kFallbackAvailable;
    // Leave a quarter to the rest of the system and the allocator's slack.
    return available / 4 * 3;
}

void MemoryBudget::setRunLimitOverride(qint64 bytes)
{
    runLimitOverride = std::max<qint64>(0, bytes);
}
