#pragma once

#include <QRect>

// Where a dialog of `size` (its frame) goes so that it leaves `block` in
// view, all in screen coordinates: right of the block, top edges level; or,
// where the screen has no room there, below it, left edges level; then left
// of it, then above it. Along the other axis the dialog is moved only as
// far as the screen requires. Where no side has room, the side with the most
// room, kept inside the screen.
QRect placeBeside(const QRect &block, const QSize &size, const QRect &screen);
