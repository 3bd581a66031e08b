#include "autosaver.h"

#include "mainwindow.h"
#include "recoverystore.h"
#include "spreadsheet.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QLoggingCategory>
#include <QSettings>
#include <QStatusBar>

#include <algorithm>

// What each copy costs (debug level): QT_LOGGING_RULES="velmora.autosave.debug=true".
Q_LOGGING_CATEGORY(lcAutosave, "velmora.autosave", QtInfoMsg)

namespace {

// The user counts as idle after this long without a change to the grid...
constexpr int kQuietMs = 1000;
// ...but steady typing holds a copy back only so many times: a copy costs
// a few milliseconds, far less than losing the work.
constexpr int kMaxPostpones = 5;

const QString kIntervalKey = QStringLiteral("autosave/intervalSeconds");

QSettings velmoraSettings()
{
    return QSettings(QStringLiteral("Orvanta"), QStringLiteral("Velmora"));
}

} // namespace

Autosaver::Autosaver(MainWindow *window, RecoveryStore &store)
    : QObject(window)
    , window(window)
    , store(store)
    , ownStem(store.newStem())
{
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, this, &Autosaver::timeout);
    connect(window->sheet(), &Spreadsheet::contentChanged, this, &Autosaver::changed);
    window->installEventFilter(this);
    sinceChange.start();
    settingsChanged();
}

Autosaver::~Autosaver()
{
    store.release(ownStem);
    if (!adoptedStem.isEmpty())
        store.release(adoptedStem);
}

int Autosaver::intervalSetting()
{
    bool ok = false;
    const int seconds = velmoraSettings().value(kIntervalKey, kDefaultInterval).toInt(&ok);
    // An unreadable value keeps autosave on: only a deliberate 0 turns it off.
    if (!ok || seconds < 0)
        return kDefaultInterval;
    return std::min(seconds, kMaxInterval);
}

void Autosaver::setIntervalSetting(int seconds)
{
    velmoraSettings().setValue(kIntervalKey, std::clamp(seconds, 0, kMaxInterval));
}

void Autosaver::settingsChanged()
{
    intervalMs = intervalSetting() * 1000;
    if (intervalMs == 0)
        timer.stop();
    else if (timer.isActive())
        timer.start(intervalMs);
    else
        arm();
}

void Autosaver::changed()
{
    sinceChange.restart();
    arm();
}

void Autosaver::arm()
{
    if (intervalMs > 0 && !timer.isActive() && window->isWindowModified()) {
        postponed = 0;
        timer.start(intervalMs);
    }
}

bool Autosaver::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == window && event->type() == QEvent::ModifiedChange) {
        if (window->isWindowModified()) {
            arm();
        } else {
            // Saved, undone to the saved state, or replaced by New or Open.
            timer.stop();
            removeCopies();
        }
    }
    return QObject::eventFilter(watched, event);
}

void Autosaver::timeout()
{
    if (!window->isWindowModified())
        return;
    const qint64 quiet = sinceChange.elapsed();
    if (quiet < kQuietMs && postponed < kMaxPostpones) {
        ++postponed;
        timer.start(int(kQuietMs - quiet));
        return;
    }
    postponed = 0;
    // A refused copy is tried again an interval later, change or not.
    if (!writeNow())
        timer.start(intervalMs);
}

bool Autosaver::writeNow()
{
    QElapsedTimer cost;
    cost.start();
    QString reason;
    const QByteArray document = window->sheet()->documentBytes();
    if (!store.writeCopy(ownStem, document, window->currentFile(), window->saveAsksName(),
                         &reason)) {
        tellCannotWrite(reason);
        return false;
    }
    qCDebug(lcAutosave) << "copy of" << document.size() << "bytes written in"
                        << cost.nsecsElapsed() / 1e6 << "ms";
    failureShown = false;
    if (!adoptedStem.isEmpty()) {
        store.remove(adoptedStem);
        adoptedStem.clear();
    }
    return true;
}

void Autosaver::tellCannotWrite(const QString &reason)
{
    // Not during a run: a status-bar message hides the progress display.
    // The next attempt after the run says it.
    if (failureShown || window->isCalculating())
        return;
    failureShown = true;
    window->statusBar()->showMessage(tr("Autosave cannot write a recovery copy in %1: %2")
                                         .arg(QDir::toNativeSeparators(store.folder()), reason),
                                     10000);
}

void Autosaver::documentClosed()
{
    timer.stop();
    removeCopies();
}

void Autosaver::adopt(const QString &stem)
{
    adoptedStem = stem;
    writeNow();
}

bool Autosaver::hasCopy() const
{
    return store.holds(ownStem);
}

void Autosaver::removeCopies()
{
    store.remove(ownStem);
    if (!adoptedStem.isEmpty()) {
        store.remove(adoptedStem);
        adoptedStem.clear();
    }
}
