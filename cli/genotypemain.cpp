#include "genotypemain.h"

#include "clioptions.h"
#include "cliprocess.h"
#include "genotypecommand.h"
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
    const bool haplotypes = parse.ok && parse.options.command == CliOptions::Command::Haplotypes;
    if (!parse.ok || (parse.options.command != CliOptions::Command::Test && !haplotypes) || !parse.options.genotypes
        || !parse.options.plot.isEmpty())
        return std::nullopt;
    cliprocess::bufferStandardOutput();
    cliprocess::installMessageHandler();
    cliprocess::installInterruptHandler();
    ProgressLine progress(::isatty(STDERR_FILENO) != 0, parse.options.testName);
    if (haplotypes)
        return cliprocess::finishOutput(runHaplotypesCommand(parse.options, progress));
    return cliprocess::finishOutput(runGenotypeCommand(parse.options, progress));
}
