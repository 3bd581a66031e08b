#include "calcpoll.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <chrono>

QCoreApplication *calcApplication = nullptr;
volatile int calcStopFlag = 0;
int calcProgressValue = 0;
CalcPollObserver calcPollObserver = nullptr;

Q_LOGGING_CATEGORY(lcCalc, "velmora.calc")

namespace {

using Clock = std::chrono::steady_clock;

// Events are handled at most this often: a Stop click or a repaint waits
// no longer than a frame, and the many polls in between cost a clock read.
constexpr auto kPollInterval = std::chrono::milliseconds(4);

Clock::time_point nextProcessing{};

} // namespace

int pollCalcEvents()
{
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
