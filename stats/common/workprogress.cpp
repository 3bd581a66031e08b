#include "workprogress.h"

#include "calcpoll.h"

#include <algorithm>

void workprogress::start(int maximum)
{
    m_maximum = std::max(1, maximum);
    m_share = std::clamp(double(calcProgressValue) / double(m_maximum), 0.0, 1.0);
}

void workprogress::advance(double work, double left)
{
    if (!(work > 0.0))
        return;
    // A negative or non-finite estimate would move the value back or past
    // the end: what is left is then taken to be nothing more than the work.
    const double rest = left >= 0.0 && left < 1e300 ? left : 0.0;
    m_share += (1.0 - m_share) * (work / (work + rest));
    // The end is shown by finish() only: short of it by one step at most.
    const int value = std::min(m_maximum - 1, int(m_share * m_maximum));
    if (value > calcProgressValue)
        calcProgressValue = value;
}

void workprogress::finish()
{
    m_share = 1.0;
    calcProgressValue = m_maximum;
}
