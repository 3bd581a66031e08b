#pragma once

// The name of the module that holds the full tool, and its entry point.
#define VELMORA_CLI_FULL_MODULE "velmora-cli-full.so"
#define VELMORA_CLI_FULL_ENTRY "velmoraCliMain"

// Runs the full tool (documents, text tables, pictures: Qt Widgets and Gui)
// from its module, loaded now: beside this program (a build tree) or in
// ../lib/velmora (an installed one). A module that cannot be loaded is told
// on standard error, with exit status 1.
int runFullCli(int argc, char **argv);
