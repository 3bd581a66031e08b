#pragma once

#include <QStringList>

#include <vector>

namespace pictures {

// One axis of a plot: its range, on a linear or a log10 scale, and ticks
// at round values with their labels.
class Axis final
{
public:
    enum class Scale { Linear, Log10 };

    Axis() = default;

    // About targetTicks ticks at 1, 2, 2.5 or 5 times a power of ten; the
    // range is widened to the outer ticks.
    static Axis linear(double low, double high, int targetTicks);
    // Ticks at powers of ten (every n-th over a long range), with 2 and 5
    // between them, or more, where that gives fewer than three; low and
    // high are kept (> 0).
    static Axis log10(double low, double high, int targetTicks);

    // The same axis running the other way: high where low was.
    Axis reversed() const
    {
        Axis axis = *this;
        axis.m_reversed = !m_reversed;
        return axis;
    }

    double low() const { return m_low; }
    double high() const { return m_high; }
    Scale scale() const { return m_scale; }
    const std::vector<double> &ticks() const { return m_ticks; }
    const QStringList &labels() const { return m_labels; }

    // The place of value between `from` (where low lies) and `to` (high);
    // not clamped.
    double map(double value, double from, double to) const;

private:
    double m_low = 0.0;
    double m_high = 1.0;
    Scale m_scale = Scale::Linear;
    bool m_reversed = false;
    std::vector<double> m_ticks;
    QStringList m_labels;
};

// A number as a tick label: no trailing zeros, exponent form beyond
// 10^-4 .. 10^6.
QString tickLabel(double value, int decimals);

} // namespace pictures
