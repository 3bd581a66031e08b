#pragma once

// A time cap for one run of a Fisher engine in the benchmark programs: an
// alarm sets the stop flag that the engines poll, so a run that cannot
// finish ends with status 10 instead of taking the machine.

#include "calcpoll.h"

#include <csignal>
#include <sys/time.h>

namespace fisherbench {

inline void onCapAlarm(int)
{
    calcStopFlag = 1;
}

inline void armCap(int seconds)
{
    calcStopFlag = 0;
    std::signal(SIGALRM, onCapAlarm);
    itimerval timer{};
    timer.it_value.tv_sec = seconds;
    setitimer(ITIMER_REAL, &timer, nullptr);
}

inline void disarmCap()
{
    itimerval timer{};
    setitimer(ITIMER_REAL, &timer, nullptr);
    calcStopFlag = 0;
}

} // namespace fisherbench
