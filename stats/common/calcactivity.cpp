#include "calcactivity.h"

#include <QCoreApplication>
#include <QLocale>
#include <QStringList>

#include <algorithm>

CalcActivity calcActivity;

void CalcActivity::reset()
{
    setStage(0, 0, Nodes, 0);
    setMemory(0, 0);
}

void CalcActivity::setStage(int k, int count, Phase p, qint64 items)
{
    stage.store(k, std::memory_order_relaxed);
    stages.store(count, std::memory_order_relaxed);
    phase.store(p, std::memory_order_relaxed);
    done.store(0, std::memory_order_relaxed);
    total.store(items, std::memory_order_relaxed);
}

QString CalcActivity::text() const
{
    // Translated in the main window's context, which shows them.
    const char *context = "MainWindow";
    QStringList parts;
    const int k = stage.load(std::memory_order_relaxed);
    if (k > 0) {
        parts << QCoreApplication::translate(context, "stage %1 of %2").arg(k).arg(stages.load(std::memory_order_relaxed));
        const qint64 count = total.load(std::memory_order_relaxed);
        const qint64 finished = std::min(count, done.load(std::memory_order_relaxed));
        if (count > 0) {
            const char *what = phase.load(std::memory_order_relaxed) == Merge ? "merged %1 of %2 lists" : "node %1 of %2";
            // The node being worked on, counted from 1; all of them once done.
            const qint64 shown = phase.load(std::memory_order_relaxed) == Merge ? finished : std::min(count, finished + 1);
            parts << QCoreApplication::translate(context, what).arg(shown).arg(count);
        }
    }
    const qint64 limit = memoryLimit.load(std::memory_order_relaxed);
    if (limit > 0) {
        const QLocale locale;
        parts << QCoreApplication::translate(context, "memory %1 of %2")
                     .arg(locale.formattedDataSize(memoryUsed.load(std::memory_order_relaxed), 1,
                                                   QLocale::DataSizeTraditionalFormat),
                          locale.formattedDataSize(limit, 1, QLocale::DataSizeTraditionalFormat));
    }
    return parts.join(QStringLiteral(", "));
}
