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
