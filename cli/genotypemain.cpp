#include "genotypemain.h"

#include "clioptions.h"
#include "cliprocess.h"
#include "genotypecommand.h"
#include "ldcommand.h"
#include "haplotypescommand.h"
#include "progressline.h"
#include "standardoutput.h"

#include <QStringList>

#include <unistd.h>

std::optional<int> genotypeMain(int argc, char **argv)
{
    StandardOutput::guardDescriptors();
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const CliParse parse = parseCommandLine(arguments);
    // A wrong command line is told by the full tool, with its usage.
    const CliOptions::Command command = parse.ok ? parse.options.command : CliOptions::Command::Help;
    if (!parse.ok
        || (command != CliOptions::Command::Test && command != CliOptions::Command::Ld
            && command != CliOptions::Command::Haplotypes)
        || !parse.options.genotypes || !parse.options.plot.isEmpty())
        return std::nullopt;
    cliprocess::bufferStandardOutput();
    cliprocess::installMessageHandler();
    cliprocess::installInterruptHandler();
    if (command == CliOptions::Command::Ld) {
        ProgressLine progress(::isatty(STDERR_FILENO) != 0, QStringLiteral("ld"));
        return cliprocess::finishOutput(runLdCommand(parse.options, progress));
    }
    ProgressLine progress(::isatty(STDERR_FILENO) != 0, parse.options.testName);
    if (command == CliOptions::Command::Haplotypes)
        return cliprocess::finishOutput(runHaplotypesCommand(parse.options, progress));
    return cliprocess::finishOutput(runGenotypeCommand(parse.options, progress));
}
