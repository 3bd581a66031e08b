#include "exactbudget.h"

#include "testinput.h"

#include <algorithm>
#include <cmath>

namespace exactbudget {

quint64 unitsFor(int testKind, double seconds)
{
    const double rate = testKind == TestFisher ? kFisherUnitsPerSecond : kHardyWeinbergUnitsPerSecond;
    // Rounded down: 0 s is no exact work at all.
    return quint64(std::floor(std::max(0.0, seconds) * rate));
}

qint64 memoryShare(double seconds, qint64 maxMemoryBytes)
{
    if (maxMemoryBytes > 0)
        return maxMemoryBytes;
    return std::max(kMinMemory, qint64(std::max(0.0, seconds) * double(kMemoryPerSecond)));
}

} // namespace exactbudget
