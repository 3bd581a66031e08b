#pragma once

#include <QString>

// What every run of the tool sets up, whatever it runs: its messages on
// standard error under its name, Ctrl+C, standard output in large blocks,
// and the last flush, which decides the exit status.
namespace cliprocess {

// "velmora-cli: " and the message on standard error, at once (standard
// error has nobody to tell of its own failures).
void printError(const QString &message);

// Warnings reach standard error with the tool's name; debug and info
// messages of the engines and checks are dropped.
void installMessageHandler();

// Ctrl+C sets the stop flag that the engines poll; a second one ends the
// process at once (for a run that does not poll).
void installInterruptHandler();

// A batch writes a line per table or variant: into a file or a pipe in
// large blocks rather than the default few kilobytes (a terminal keeps its
// line buffering).
void bufferStandardOutput();

// Whatever is still buffered must reach standard output, or the run has
// failed, whatever its status was.
int finishOutput(int status);

} // namespace cliprocess
