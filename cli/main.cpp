#include "fullcli.h"
#include "genotypemain.h"

// The front of velmora-cli: genotype files run on Qt Core alone, so a run
// on a file of a few megabytes does not spend most of its time loading
// Qt Widgets and Gui; everything else runs in the full tool's module.
int main(int argc, char **argv)
{
    if (const std::optional<int> status = genotypeMain(argc, argv))
        return *status;
    return runFullCli(argc, argv);
}
