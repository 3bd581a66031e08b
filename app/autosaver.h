#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

class MainWindow;
class RecoveryStore;

// Keeps a recovery copy of the window's document while it has unsaved
// changes: the first change arms a timer of the autosave interval; when it
// fires and the user has paused, the grid is written as a copy into the
// recovery store. The window's own file is never written. The copy goes
// once the document is clean again (saved, undone to its saved state,
// replaced by New or Open) or closed without saving.
//
// The timer fires inside the engines' event polls too, so a long test
// does not hold the copy back; a copy only reads the grid, which a run
// never changes.
class Autosaver final : public QObject
{
    Q_OBJECT

public:
    Autosaver(MainWindow *window, RecoveryStore &store);
    // Lets go of the copy's lock, keeping the copy: a document destroyed
    // without the user's word is offered again at the next start.
    ~Autosaver() override;

    // The interval in seconds from the settings (autosave/intervalSeconds):
    // 60 when unset or unreadable, 0 for off.
    static int intervalSetting();
    static void setIntervalSetting(int seconds);
    static constexpr int kDefaultInterval = 60;
    static constexpr int kMaxInterval = 24 * 60 * 60;

    // Takes a changed interval setting into use.
    void settingsChanged();
    // Writes the copy now; false when the folder refused it.
    bool writeNow();
    // Says in the status bar that copies cannot be written, and where; once
    // per run of failures, as a failed write does.
    void tellCannotWrite(const QString &reason);
    // The user closed the window, saving or not: the copy goes.
    void documentClosed();
    // The document was restored from another instance's copy, whose files
    // are deleted once this document's own copy replaces them or the
    // document no longer needs one.
    void adopt(const QString &stem);

    const QString &stem() const { return ownStem; }
    bool hasCopy() const;
    bool isArmed() const { return timer.isActive(); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void changed();
    void timeout();
    void arm();
    void removeCopies();

    MainWindow *window;
    RecoveryStore &store;
    QString ownStem;
    QString adoptedStem;
    QTimer timer;
    QElapsedTimer sinceChange;
    int intervalMs = kDefaultInterval * 1000;
    int postponed = 0;
    bool dirty = false;
    // One status-bar message per run of failed writes, not one a minute.
    bool failureShown = false;
};
