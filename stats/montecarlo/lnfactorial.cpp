#include "lnfactorial.h"

#include "logfactorial.h"

#include <algorithm>
#include <cmath>

bool lnfactorial::init(qint64 n)
{
    if (n < 0)
        return false;
    return fillLogFactorials(m_table, std::clamp(n, kMinTableSize - 1, kTableSize - 1));
}

double lnfactorial::stirling(qint64 k)
{
    // ln k! = k ln k - k + ln(2 pi k) / 2 + 1/(12k) - 1/(360k^3) + ...; the
    // next term is below 1e-37 for the k that reach here.
    const double x = static_cast<double>(k);
    const double inverse = 1.0 / x;
    const double inverse2 = inverse * inverse;
    constexpr double halfLog2Pi = 0.91893853320467274178;
    return x * std::log(x) - x + 0.5 * std::log(x) + halfLog2Pi
           + inverse * (1.0 / 12.0 - inverse2 * (1.0 / 360.0 - inverse2 / 1260.0));
}
