#include "clicommands.h"

int main(int argc, char **argv)
{
    return cliMain(argc, argv);
}
