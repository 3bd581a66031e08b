#pragma once

#include "recoverycopy.h"

#include <QList>
#include <QStringList>

class QWidget;

// The window's own modal dialogs, and the start of another window, behind
// a seam as UiPrompts is, so that tests answer them without a user.
class AppDialogs
{
public:
    enum class Recovery { Restore, Discard, Later };

    virtual ~AppDialogs() = default;

    // "Recover Documents": what to do with the copies found at start.
    virtual Recovery recoverDocuments(QWidget *parent, const QList<RecoveryCopy> &copies);
    // Edit > Preferences...: false when cancelled; otherwise the interval
    // chosen is in `intervalSeconds`.
    virtual bool editPreferences(QWidget *parent, int *intervalSeconds);
    // Starts another Velmora with these arguments, in a window of its own.
    virtual bool startWindow(const QStringList &arguments);

    // The dialogs in use; by default the real ones.
    static AppDialogs &current();
    // Installs others (not owned; null restores the real dialogs).
    static void install(AppDialogs *dialogs);
};
