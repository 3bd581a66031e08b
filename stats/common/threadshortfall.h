#pragma once

#include <system_error>

// A run that cannot start every thread it asked for (a process or memory
// limit of the system) goes on with the threads it has, never aborts. This
// says so once per process, as a warning (velmora-cli prints it on standard
// error, the window logs it): "only W of A threads could be started (the
// system's words); going on with W". working counts the calling thread when
// it works too.
void noteThreadShortfall(int working, int asked, const std::system_error &error);
