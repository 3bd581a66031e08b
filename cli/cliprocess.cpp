#include "cliprocess.h"

#include "calcpoll.h"
#include "clicommands.h"
#include "standardoutput.h"

#include <QByteArray>
#include <QLoggingCategory>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

void onInterrupt(int)
{
    calcStopFlag = 1;
}

void printMessage(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    // The offscreen platform's notice about a missing runtime folder says
    // nothing about the user's data.
    if (type == QtWarningMsg && message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR")))
        return;
    cliprocess::printError(message);
}

} // namespace

void cliprocess::printError(const QString &message)
{
    const QByteArray text = (QStringLiteral("velmora-cli: ") + message + u'\n').toUtf8();
    std::fwrite(text.constData(), 1, std::size_t(text.size()), stderr);
    std::fflush(stderr);
}

void cliprocess::installMessageHandler()
{
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false\n*.info=false"));
    qInstallMessageHandler(printMessage);
}

void cliprocess::installInterruptHandler()
{
    struct sigaction action = {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
}

void cliprocess::bufferStandardOutput()
{
    static char buffer[1 << 20];
    if (!::isatty(STDOUT_FILENO))
        std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
}

int cliprocess::finishOutput(int status)
{
    if (StandardOutput::flush())
        return status;
    printError(StandardOutput::failureMessage());
    return ExitFailed;
}
