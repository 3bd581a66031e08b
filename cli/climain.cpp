#include "calcpoll.h"
#include "clicommands.h"
#include "cliprocess.h"
#include "gridfeeder.h"
#include "metacommand.h"
#include "ldplot.h"
#include "haplotypescommand.h"
#include "progressline.h"
#include "qqcommand.h"
#include "spreadsheet.h"
#include "standardoutput.h"
#include "stderrprompts.h"

#include <QApplication>

#include <memory>
#include <unistd.h>


int cliMain(int argc, char **argv)
{
    StandardOutput::guardDescriptors();
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const CliParse parse = parseCommandLine(arguments);
    if (!parse.ok) {
        cliprocess::printError(parse.error);
        const QByteArray usage = usageText().toUtf8();
        std::fwrite(usage.constData(), 1, std::size_t(usage.size()), stderr);
        return ExitUsage;
    }
    if (parse.options.command == CliOptions::Command::Help) {
        StandardOutput::write(usageText().toUtf8());
        return cliprocess::finishOutput(ExitOk);
    }

    cliprocess::bufferStandardOutput();

    // The grid is a widget: it needs an application, never a screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The engines' and checks' diagnostics belong to the application's
    // debug log; here they would bury the results.
    cliprocess::installMessageHandler();
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
        cliprocess::installInterruptHandler();
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
        case CliOptions::Command::Meta:
            status = runMetaCommand(parse.options, feeder);
            break;
        case CliOptions::Command::Ld: {
            ProgressLine progress(::isatty(STDERR_FILENO) != 0, QStringLiteral("ld"));
            status = runLdCommand(parse.options, progress, ldPlotWriter(parse.options));
            break;
        }
        case CliOptions::Command::Haplotypes: {
            ProgressLine progress(::isatty(STDERR_FILENO) != 0, parse.options.testName);
            status = runHaplotypesCommand(parse.options, progress, haplotypesPlotWriter(parse.options));
            break;
        }
        case CliOptions::Command::Help:
            break;
        }
    }
    sheet.reset();
    UiPrompts::install(nullptr);
    return cliprocess::finishOutput(status);
}
