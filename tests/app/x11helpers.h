#pragma once

// Real key and mouse events for the X11 tests (run_x11.sh): sent by xdotool
// through XTEST, so that they arrive as a user's do, not through Qt's own
// event queue.

#include <QAbstractItemView>
#include <QApplication>
#include <QPoint>
#include <QRect>
#include <QProcess>
#include <QString>
#include <QTest>
#include <QWidget>

namespace x11 {

// One xdotool command line ("mousemove --sync 10 20 click 1"); false when
// it fails.
inline bool xdotool(const QString &command)
{
    return QProcess::execute(QStringLiteral("xdotool"), command.split(u' ')) == 0;
}

inline QString at(const QPoint &point)
{
    return QStringLiteral("mousemove --sync %1 %2").arg(point.x()).arg(point.y());
}

// The centre of a cell of a grid, on the screen.
inline QPoint cellCentre(const QAbstractItemView *view, int row, int column)
{
    return view->viewport()->mapToGlobal(view->visualRect(view->model()->index(row, column)).center());
}

inline bool click(const QPoint &point)
{
    return xdotool(at(point) + QStringLiteral(" click 1"));
}

// A block dragged with the mouse, from its first cell to its last.
inline bool drag(const QAbstractItemView *view, int top, int left, int bottom, int right)
{
    return xdotool(at(cellCentre(view, top, left)) + QStringLiteral(" mousedown 1 ") + at(cellCentre(view, bottom, right))
                   + QStringLiteral(" mouseup 1"));
}

// The part of a block the view shows, on the screen.
inline QRect blockOnScreen(const QAbstractItemView *view, int top, int left, int bottom, int right)
{
    const QRect shown = view->visualRect(view->model()->index(top, left))
                            .united(view->visualRect(view->model()->index(bottom, right)))
                            .intersected(view->viewport()->rect());
    return QRect(view->viewport()->mapToGlobal(shown.topLeft()), shown.size());
}

// Keys for `window`: it gets the keyboard first, as a window manager
// would give it (without one nobody does, and a focus change still on its
// way may take it back: it must stay). Each key waits `delay` ms.
inline bool keys(QWidget *window, const QString &sequence, int delay = 60)
{
    for (int attempt = 0; attempt < 5; ++attempt) {
        window->activateWindow();
        if (!QTest::qWaitForWindowActive(window))
            continue;
        QTest::qWait(100);
        if (window->isActiveWindow())
            return xdotool(QStringLiteral("key --delay %1 ").arg(delay) + sequence);
    }
    return false;
}

// Whether a window manager runs (run_x11.sh --wm).
inline bool windowManager()
{
    return !qEnvironmentVariableIsEmpty("VELMORA_X11_WM");
}

} // namespace x11
