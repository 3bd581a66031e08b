#include "clicommands.h"
#include "fullcli.h"
#include "genotypemain.h"

#include <cstdio>
#include <new>

// The front of velmora-cli: genotype files run on Qt Core alone, so a run
// on a file of a few megabytes does not spend most of its time loading
// Qt Widgets and Gui; everything else runs in the full tool's module.
int main(int argc, char **argv)
{
    try {
        if (const std::optional<int> status = genotypeMain(argc, argv))
            return *status;
        return runFullCli(argc, argv);
    } catch (const std::bad_alloc &) {
        // Under a memory or address-space limit: a message and status 1,
        // never an abort. The lines written so far stay written. No QString
        // here: there may be no memory for one.
        std::fflush(stdout);
        std::fputs("velmora-cli: out of memory: the run needs more than the system's limits allow\n", stderr);
        return ExitFailed;
    }
}
