#include "calcpoll.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <chrono>

QCoreApplication *calcApplication = nullptr;
volatile int calcStopFlag = 0;
int calcProgressValue = 0;
CalcPollObserver calcPollObserver = nullptr;

// Debug lines off unless QT_LOGGING_RULES turns them on.
Q_LOGGING_CATEGORY(lcCalc, "velmora.calc", QtInfoMsg)

namespace {

using Clock = std::chrono::steady_clock;

// Events are handled at most this often: a Stop click or a repaint waits
// no longer than a frame, and the many polls in between cost a clock read.
constexpr auto kPollInterval = std::chrono::milliseconds(4);

Clock::time_point nextProcessing{};

// The allowance of the calling thread.
struct Allowance
{
    bool active = false;
    bool exhausted = false;
    quint64 start = 0;    // calcWorkDone when it began
    quint64 limit = 0;
};

thread_local Allowance threadAllowance;

} // namespace

thread_local quint64 calcWorkDone = 0;

CalcWorkAllowance::CalcWorkAllowance(quint64 units)
{
    threadAllowance = Allowance{true, false, calcWorkDone, units};
}

CalcWorkAllowance::~CalcWorkAllowance()
{
    threadAllowance = Allowance{};
}

bool CalcWorkAllowance::exhausted() const
{
    return threadAllowance.exhausted;
}

quint64 CalcWorkAllowance::workUsed() const
{
    return calcWorkDone - threadAllowance.start;
}

bool calcStopRequested()
{
    return calcStopFlag != 0 || threadAllowance.exhausted;
}

int pollCalcEvents()
{
    Allowance &allowance = threadAllowance;
    if (allowance.active && (allowance.exhausted || calcWorkDone - allowance.start > allowance.limit)) {
        allowance.exhausted = true;
        return 1;
    }
    if (calcPollObserver)
        calcPollObserver();
    if (calcApplication) {
        const auto now = Clock::now();
        if (now >= nextProcessing) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            nextProcessing = Clock::now() + kPollInterval;
        }
    }
    return calcStopFlag;
}

void resetCalcPollClock()
{
    nextProcessing = Clock::time_point{};
}
