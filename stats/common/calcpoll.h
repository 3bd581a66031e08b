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
