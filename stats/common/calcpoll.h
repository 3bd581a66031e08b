#pragma once

#include <QLoggingCategory>

class QCoreApplication;

// Process-wide state of a running calculation. Everything runs on the GUI
// thread; the command-line tool sets the stop flag from its signal handler,
// hence the volatile int.
extern QCoreApplication *calcApplication;
extern volatile int calcStopFlag;
extern int calcProgressValue;

// Called by the engines at every unit of work: lets the GUI handle pending
// events (at most every few milliseconds, so that a poll with nothing due is
// cheap) and returns the stop flag, 0 to go on and nonzero to stop.
int pollCalcEvents();

// Sets calcProgressValue; batch runs set it from several threads at once.
inline void setCalcProgressValue(int value)
{
    __atomic_store_n(&calcProgressValue, value, __ATOMIC_RELAXED);
}

// The engines' diagnostics (debug level): a category, so that a run that
// filters them out pays one flag test per message instead of formatting it.
Q_DECLARE_LOGGING_CATEGORY(lcCalc)

// Called at every poll when set (tests: the progress value as the engines
// leave it at each unit of work).
using CalcPollObserver = void (*)();
extern CalcPollObserver calcPollObserver;

// Forces the next poll to process events at once (tests, and the start of a
// progress display).
void resetCalcPollClock();

// Work done by the engines on the calling thread, in their own units (a
// partial table settled, a list element carried or merged, a step of a
// tail's walk): a count that, unlike time, comes out the same on every run,
// thread and machine load for the same table.
extern thread_local quint64 calcWorkDone;
inline void countCalcWork(quint64 units)
{
    calcWorkDone += units;
}

// A cap on the work of the runs on the calling thread: once more than
// `units` units of work have been counted, the next poll on this thread,
// and every one after it, returns nonzero (the engine stops as if stopped
// by the user) until the allowance ends. A batch that must give the same
// bytes every time decides with it, rather than with a clock, when an exact
// run is too long. Allowances do not nest.
class CalcWorkAllowance final
{
public:
    explicit CalcWorkAllowance(quint64 units);
    ~CalcWorkAllowance();

    CalcWorkAllowance(const CalcWorkAllowance &) = delete;
    CalcWorkAllowance &operator=(const CalcWorkAllowance &) = delete;

    // Whether a poll was refused: the run stopped for want of allowance.
    bool exhausted() const;
    // Work counted since the allowance began.
    quint64 workUsed() const;
};

// Whether the calculation on this thread should stop: the stop flag, or an
// exhausted allowance (for code that reads the flag besides polling).
bool calcStopRequested();
