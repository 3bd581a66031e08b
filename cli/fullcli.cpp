#include "fullcli.h"

#include "clicommands.h"
#include "cliprocess.h"

#include <QFileInfo>
#include <QStringList>

#include <dlfcn.h>

int runFullCli(int argc, char **argv)
{
    const QString folder = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget().section(u'/', 0, -2);
    const QStringList places = {folder + QStringLiteral("/" VELMORA_CLI_FULL_MODULE),
                                folder + QStringLiteral("/../lib/velmora/" VELMORA_CLI_FULL_MODULE)};
    for (const QString &place : places) {
        if (!QFileInfo::exists(place))
            continue;
        // Never closed: its objects live until the process ends.
        void *module = ::dlopen(QFileInfo(place).canonicalFilePath().toLocal8Bit().constData(), RTLD_NOW | RTLD_LOCAL);
        void *entry = module ? ::dlsym(module, VELMORA_CLI_FULL_ENTRY) : nullptr;
        if (!entry) {
            cliprocess::printError(QStringLiteral("cannot load %1: %2").arg(place, QString::fromLocal8Bit(::dlerror())));
            return ExitFailed;
        }
        return reinterpret_cast<int (*)(int, char **)>(entry)(argc, argv);
    }
    cliprocess::printError(QStringLiteral("cannot find %1 (looked in %2)").arg(QStringLiteral(VELMORA_CLI_FULL_MODULE),
                                                                              places.join(QStringLiteral(", "))));
    return ExitFailed;
}
