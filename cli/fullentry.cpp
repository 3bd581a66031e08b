#include "clicommands.h"
#include "fullcli.h"

#include <QtGlobal>

// The full tool's entry point, which the front finds by name.
extern "C" Q_DECL_EXPORT int velmoraCliMain(int argc, char **argv)
{
    return cliMain(argc, argv);
}
