#include "lnfactorial.h"

#include "logfactorial.h"

#include <algorithm>
#include <cmath>
#include <new>

bool lnfactorial::init(qint64 n)
{
    if (n < 0)
        return false;
    if (!fillLogFactorials(m_table, std::clamp(n, kMinTableSize - 1, kTableSize - 1)))
        return false;
    const size_t size = size_t(std::min(n, kScaledSize - 1)) + 1;
    try {
        m_mantissa.resize(size);
        m_inverse.resize(size);
        m_exponent.resize(size);
        m_reciprocal.clear();
        if (n < kScaledSize) {
            // Past n: a walk's start divides by the total + 2, and its first
            // steps look a few values beyond the ends of the support.
            m_reciprocal.resize(size + 16);
            m_reciprocal[0] = 0.0;
            for (size_t k = 1; k < m_reciprocal.size(); ++k)
                m_reciprocal[k] = 1.0 / double(k);
        }
    } catch (const std::bad_alloc &) {
        return false;
    }
    // A running product in double-double: each step is exact to 2^-104
    // (fma gives the rounding error of hi * k), so the stored mantissas are
    // correctly rounded but for a drift far below their last place; fma is
    // correctly rounded everywhere, so the tables are the same on every
    // machine.
    double hi = 1.0;  // k! / 2^scale = hi + lo
    double lo = 0.0;
    int scale = 0;
    for (size_t k = 0; k < size; ++k) {
        if (k > 1) {
            const double factor = double(k);
            const double product = hi * factor;
            const double error = std::fma(hi, factor, -product);
            const double tail = lo * factor + error;
            hi = product + tail;
            lo = tail - (hi - product);
        }
        int shift = 0;
        hi = std::frexp(hi, &shift);
        lo = std::ldexp(lo, -shift);
        scale += shift;
        m_mantissa[k] = hi;
        m_inverse[k] = 1.0 / hi;
        m_exponent[k] = scale;
    }
    return true;
}

double lnfactorial::ratioFromLogs(qint64 a, qint64 b, qint64 c, qint64 d, qint64 e, qint64 f, qint64 g,
                                  qint64 h, qint64 i, int twos) const
{
    const lnfactorial &lf = *this;
    return std::exp(lf(a) + lf(b) + lf(c) + lf(d) - lf(e) - lf(f) - lf(g) - lf(h) - lf(i)
                    + double(twos) * 0.69314718055994530942);
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
