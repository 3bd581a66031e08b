#pragma once

#include <QColor>

// The colours of every picture: the Okabe-Ito palette, which readers with
// any of the common colour-vision deficiencies tell apart.
namespace pictures::palette {

QColor black();
QColor orange();
QColor skyBlue();
QColor bluishGreen();
QColor yellow();
QColor blue();
QColor vermillion();
QColor reddishPurple();
QColor grey();  // axes' grid and secondary text

// The colour of series `index` (from 0), cycling after eight; yellow, the
// weakest on white, comes last.
QColor series(int index);
// The colour of series `index` of `count`: the eight above while they
// last; beyond eight, where they would repeat, a sequential scale from
// dark blue through green to yellow (viridis), whose steps differ in
// lightness as well as hue, so that no two series share a colour.
QColor series(int index, int count);

// Blue for negative, white at 0, vermillion for positive values, saturated
// at +-limit.
QColor diverging(double value, double limit);

// A residual's text: its sign's colour (vermillion above expected, blue
// below), from grey at 0 to the full colour at 3 and beyond.
QColor residualText(double residual);

} // namespace pictures::palette
