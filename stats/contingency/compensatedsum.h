#pragma once

#include <cmath>

// Neumaier's compensated sum: many small terms added to a larger total keep
// their contribution instead of being rounded away one by one.
class CompensatedSum final
{
public:
    void add(double x)
    {
        const double t = m_sum + x;
        if (std::fabs(m_sum) >= std::fabs(x))
            m_compensation += (m_sum - t) + x;
        else
            m_compensation += (x - t) + m_sum;
        m_sum = t;
    }

    double value() const { return m_sum + m_compensation; }

private:
    double m_sum = 0.0;
    double m_compensation = 0.0;
};
