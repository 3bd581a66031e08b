#pragma once

#include <QtGlobal>

#include <system_error>

// A run that cannot start every thread it asked for (a process or memory
// limit of the system) goes on with the threads it has, never aborts. This
// says so once per process, as a warning (velmora-cli prints it on standard
// error, the window logs it): "only W of A threads could be started (the
// system's words); going on with W". working counts the calling thread when
// it works too.
void noteThreadShortfall(int working, int asked, const std::system_error &error);

// How many of `wanted` new threads the address-space limit (RLIMIT_AS, as
// `ulimit -v` sets it) leaves room for: each costs its stack and, at worst,
// a malloc arena of its own, and half of the room left is kept for the
// run's data. Without that, threads started until the limit refuses one
// would leave no memory for the run (std::bad_alloc, or glibc's fatal error
// when a thread cannot register its thread-local objects). `wanted` when
// there is no limit; 0 when there is no room for one.
int threadsWithinAddressSpace(int wanted);

// The rule, from its numbers: the limit and the address space in use, in
// bytes, and the cost of one thread.
int threadsWithinAddressSpace(int wanted, qint64 limitBytes, qint64 usedBytes, qint64 perThreadBytes);
