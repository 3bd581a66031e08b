#pragma once

#include <QtGlobal>

// Memory that one calculation may take. Linux overcommits, so a failed
// allocation comes too late to save the process: the engines count what they
// hold against this budget and end with their memory status beyond it.
class MemoryBudget final
{
public:
    // The budget of one run: derived from the memory available now.
    MemoryBudget();
    explicit MemoryBudget(qint64 limitBytes);

    // Reserves bytes; false (and nothing reserved) when they do not fit.
    bool reserve(qint64 bytes);
    void release(qint64 bytes);

    qint64 limit() const { return m_limit; }
    qint64 used() const { return m_used; }
    qint64 peak() const { return m_peak; }

    // Bytes of physical memory available now (MemAvailable of
    // /proc/meminfo); -1 when it cannot be read.
    static qint64 availablePhysicalMemory();

    // The default limit of a run; a test can override it (0 removes the
    // override).
    static qint64 defaultRunLimit();
    static void setRunLimitOverride(qint64 bytes);

private:
    qint64 m_limit;
    qint64 m_used = 0;
    qint64 m_peak = 0;
};
