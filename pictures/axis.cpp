#include "axis.h"

#include <algorithm>
#include <cmath>

namespace pictures {

QString tickLabel(double value, int decimals)
{
    if (value == 0.0)
        return QStringLiteral("0");
    const double magnitude = std::fabs(value);
    if (magnitude >= 1e6 || magnitude < 1e-4)
        return QString::number(value, 'g', 3);
    return QString::number(value, 'f', std::max(0, decimals));
}

Axis Axis::linear(double low, double high, int targetTicks)
{
    Axis axis;
    if (!std::isfinite(low) || !std::isfinite(high)) {
        low = 0.0;
        high = 1.0;
    }
    if (high < low)
        std::swap(low, high);
    if (high - low <= 1e-12 * std::max(1.0, std::fabs(high))) {
        // One value: a range around it.
        const double pad = std::max(1.0, std::fabs(high) * 0.1);
        low = low == 0.0 ? 0.0 : low - pad;
        high += pad;
    }
    const double raw = (high - low) / std::max(1, targetTicks);
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    const double mantissa = raw / power;
    double step = power;
    int decimals = int(-std::floor(std::log10(power)));
    if (mantissa > 5.0) {
        step = 10.0 * power;
        --decimals;
    } else if (mantissa > 2.5) {
        step = 5.0 * power;
    } else if (mantissa > 2.0) {
        step = 2.5 * power;
        ++decimals;
    } else if (mantissa > 1.0) {
        step = 2.0 * power;
    }
    const double first = std::floor(low / step + 1e-9);
    const double last = std::ceil(high / step - 1e-9);
    axis.m_low = first * step;
    axis.m_high = last * step;
    for (double k = first; k <= last + 0.5; k += 1.0) {
        const double value = k * step;
        axis.m_ticks.push_back(value);
        axis.m_labels.append(tickLabel(std::fabs(value) < step * 1e-9 ? 0.0 : value, decimals));
    }
    return axis;
}

Axis Axis::log10(double low, double high, int targetTicks)
{
    Axis axis;
    axis.m_scale = Scale::Log10;
    if (!(low > 0.0) || !std::isfinite(low))
        low = 0.1;
    if (!(high > low) || !std::isfinite(high))
        high = low * 10.0;
    axis.m_low = low;
    axis.m_high = high;
    const int firstDecade = int(std::floor(std::log10(low)));
    const int lastDecade = int(std::ceil(std::log10(high)));
    const int decades = std::max(1, lastDecade - firstDecade);
    const int every = std::max(1, (decades + std::max(1, targetTicks) - 1) / std::max(1, targetTicks));
    // The powers of ten alone, or with more steps between them where the
    // range holds fewer than three of them: the sparsest that gives three.
    static const std::vector<double> steps[] = {{1.0}, {1.0, 2.0, 5.0}, {1.0, 1.5, 2.0, 3.0, 5.0, 7.0}};
    for (const std::vector<double> &mantissas : steps) {
        axis.m_ticks.clear();
        axis.m_labels.clear();
        for (int d = firstDecade; d <= lastDecade; ++d) {
            const double power = std::pow(10.0, d);
            if (mantissas.size() == 1 && (d - firstDecade) % every != 0)
                continue;
            for (const double mantissa : mantissas) {
                const double value = mantissa * power;
                if (value < low * (1.0 - 1e-9) || value > high * (1.0 + 1e-9))
                    continue;
                axis.m_ticks.push_back(value);
                axis.m_labels.append(tickLabel(value, std::max(0, -d + (mantissa == 1.5 ? 1 : 0))));
            }
        }
        if (axis.m_ticks.size() >= 3)
            break;
    }
    return axis;
}

double Axis::map(double value, double from, double to) const
{
    double share = 0.0;
    if (m_scale == Scale::Log10)
        share = (std::log10(value) - std::log10(m_low)) / (std::log10(m_high) - std::log10(m_low));
    else
        share = (value - m_low) / (m_high - m_low);
    if (m_reversed)
        share = 1.0 - share;
    return from + share * (to - from);
}

} // namespace pictures
