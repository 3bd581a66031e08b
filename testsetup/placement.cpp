#include "placement.h"

#include <algorithm>

namespace {

// Far enough that the block's border and the dialog's frame do not touch.
constexpr int kGap = 8;

int clampInto(int start, int length, int low, int high)
{
    return std::max(low, std::min(start, high - length + 1));
}

} // namespace

QRect placeBeside(const QRect &block, const QSize &size, const QRect &screen)
{
    const int w = size.width();
    const int h = size.height();
    const int top = clampInto(block.top(), h, screen.top(), screen.bottom());
    const int left = clampInto(block.left(), w, screen.left(), screen.right());
    const QRect sides[] = {
        QRect(block.right() + 1 + kGap, top, w, h),   // right
        QRect(left, block.bottom() + 1 + kGap, w, h), // below
        QRect(block.left() - kGap - w, top, w, h),    // left
        QRect(left, block.top() - kGap - h, w, h),    // above
    };
    for (const QRect &side : sides) {
        if (screen.contains(side))
            return side;
    }
    // No side has room: the one that leaves most of the block in view.
    QRect best;
    qint64 bestHidden = -1;
    for (QRect side : sides) {
        side.moveLeft(clampInto(side.left(), w, screen.left(), screen.right()));
        side.moveTop(clampInto(side.top(), h, screen.top(), screen.bottom()));
        const QRect hidden = side.intersected(block);
        const qint64 area = hidden.isEmpty() ? 0 : qint64(hidden.width()) * hidden.height();
        if (bestHidden < 0 || area < bestHidden) {
            best = side;
            bestHidden = area;
        }
    }
    return best;
}
