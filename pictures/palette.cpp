#include "palette.h"

#include <algorithm>
#include <cmath>

namespace pictures::palette {

QColor black() { return QColor(0x00, 0x00, 0x00); }
QColor orange() { return QColor(0xE6, 0x9F, 0x00); }
QColor skyBlue() { return QColor(0x56, 0xB4, 0xE9); }
QColor bluishGreen() { return QColor(0x00, 0x9E, 0x73); }
QColor yellow() { return QColor(0xF0, 0xE4, 0x42); }
QColor blue() { return QColor(0x00, 0x72, 0xB2); }
QColor vermillion() { return QColor(0xD5, 0x5E, 0x00); }
QColor reddishPurple() { return QColor(0xCC, 0x79, 0xA7); }
QColor grey() { return QColor(0x80, 0x80, 0x80); }

QColor series(int index)
{
    static const QColor colours[] = {blue(), orange(), bluishGreen(), vermillion(),
                                     reddishPurple(), skyBlue(), black(), yellow()};
    constexpr int count = int(sizeof colours / sizeof colours[0]);
    return colours[((index % count) + count) % count];
}

namespace {

QColor mix(const QColor &from, const QColor &to, double share)
{
    const double s = std::clamp(share, 0.0, 1.0);
    return QColor::fromRgbF(float(from.redF() + (to.redF() - from.redF()) * s),
                            float(from.greenF() + (to.greenF() - from.greenF()) * s),
                            float(from.blueF() + (to.blueF() - from.blueF()) * s));
}

} // namespace

QColor series(int index, int count)
{
    if (count <= 8)
        return series(index);
    // Viridis at its ninths; the scale ends short of its palest yellow,
    // which is hard to see on white.
    static const QColor stops[] = {QColor(0x44, 0x01, 0x54), QColor(0x47, 0x2C, 0x7A), QColor(0x3B, 0x51, 0x8B),
                                   QColor(0x2C, 0x71, 0x8E), QColor(0x21, 0x90, 0x8C), QColor(0x27, 0xAD, 0x81),
                                   QColor(0x5C, 0xC8, 0x63), QColor(0xAA, 0xDC, 0x32), QColor(0xDD, 0xE3, 0x18)};
    constexpr int last = int(sizeof stops / sizeof stops[0]) - 1;
    const double at = std::clamp(double(index) / double(count - 1), 0.0, 1.0) * last;
    const int low = std::min(int(at), last - 1);
    return mix(stops[low], stops[low + 1], at - low);
}

QColor diverging(double value, double limit)
{
    if (std::isnan(value) || !(limit > 0.0))
        return QColor(0xF0, 0xF0, 0xF0);
    const double share = std::fabs(value) / limit;
    return mix(Qt::white, value < 0.0 ? blue() : vermillion(), share);
}

QColor residualText(double residual)
{
    if (std::isnan(residual))
        return grey();
    return mix(QColor(0x60, 0x60, 0x60), residual < 0.0 ? blue() : vermillion(), std::fabs(residual) / 3.0);
}

} // namespace pictures::palette
