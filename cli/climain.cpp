#include "calcpoll.h"
#include "clicommands.h"
#include "gridfeeder.h"
#include "progressline.h"
#include "qqcommand.h"
#include "spreadsheet.h"
#include "standardoutput.h"
#include "stderrprompts.h"

#include <QApplication>
#include <QLoggingCategory>

#include <csignal>
#include <cstdio>
#include <memory>
#include <unistd.h>

namespace {

// Ctrl+C: the running engine sees the flag at its next poll. The handler
// is reset by the first signal, so a second Ctrl+C ends the process at once
// (for a run that does not poll).
void onInterrupt(int)
{
    calcStopFlag = 1;
}

void installInterruptHandler()
{
    struct sigaction action = {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
}

void printError(const QString &message)
{
    const QByteArray text = (QStringLiteral("velmora-cli: ") + message + u'\n').toUtf8();
    std::fwrite(text.constData(), 1, std::size_t(text.size()), stderr);
}

// Warnings reach standard error with the tool's name; diagnostics below
// that are dropped by the filter rules before they get here.
void printMessage(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    // The offscreen platform's notice about a missing runtime folder says
    // nothing about the user's data.
    if (type == QtWarningMsg && message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR")))
        return;
    printError(message);
}

// The last word on standard output: whatever is still buffered must reach
// it, or the run has failed, whatever its blocks gave.
int finishOutput(int status)
{
    if (StandardOutput::flush())
        return status;
    printError(StandardOutput::failureMessage());
    return ExitFailed;
}

} // namespace

int cliMain(int argc, char **argv)
{
    StandardOutput::guardDescriptors();
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const CliParse parse = parseCommandLine(arguments);
    if (!parse.ok) {
        printError(parse.error);
        const QByteArray usage = usageText().toUtf8();
        std::fwrite(usage.constData(), 1, std::size_t(usage.size()), stderr);
        return ExitUsage;
    }
    if (parse.options.command == CliOptions::Command::Help) {
        StandardOutput::write(usageText().toUtf8());
        return finishOutput(ExitOk);
    }

    // A batch writes a line per table: into a file or a pipe in large
    // blocks rather than the default few kilobytes (a terminal keeps its
    // line buffering, and the tool flushes before it ends).
    static char outputBuffer[1 << 20];
    if (!::isatty(STDOUT_FILENO))
        std::setvbuf(stdout, outputBuffer, _IOFBF, sizeof outputBuffer);

    // The grid is a widget: it needs an application, never a screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The engines' and checks' diagnostics belong to the application's
    // debug log; here they would bury the results.
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false\n*.info=false"));
    qInstallMessageHandler(printMessage);
    // The application object sees no argument of ours, so none can be taken
    // for a Qt option. It is made with the grid, when a document, a formula
    // or text first needs one; a batch of plain counts runs without either.
    int qtArgc = 1;
    char *qtArgv[] = {argv[0], nullptr};
    std::unique_ptr<QApplication> application;
    std::unique_ptr<Spreadsheet> sheet;
    // calcApplication stays null: polls only read the stop flag.

    // Pictures are drawn with the application's fonts: the application is
    // made before any thread starts.
    if (!parse.options.plot.isEmpty())
        application = std::make_unique<QApplication>(qtArgc, qtArgv);

    StderrPrompts prompts;
    UiPrompts::install(&prompts);
    int status = ExitOk;
    {
        GridFeeder feeder(
            [&]() -> Spreadsheet & {
                if (!sheet) {
                    if (!application)
                        application = std::make_unique<QApplication>(qtArgc, qtArgv);
                    sheet = std::make_unique<Spreadsheet>();
                }
                return *sheet;
            },
            prompts);
        installInterruptHandler();
        switch (parse.options.command) {
        case CliOptions::Command::Test: {
            ProgressLine progress(::isatty(STDERR_FILENO) != 0, parse.options.testName);
            status = runTestCommand(parse.options, feeder, progress);
            break;
        }
        case CliOptions::Command::Values:
            status = runValuesCommand(parse.options, feeder);
            break;
        case CliOptions::Command::Convert:
            status = runConvertCommand(parse.options, feeder, prompts);
            break;
        case CliOptions::Command::Qq:
            status = runQqCommand(parse.options);
            break;
        case CliOptions::Command::Help:
            break;
        }
    }
    sheet.reset();
    UiPrompts::install(nullptr);
    return finishOutput(status);
}
