#include "threadshortfall.h"

#include <QDebug>
#include <QString>

#include <atomic>

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
