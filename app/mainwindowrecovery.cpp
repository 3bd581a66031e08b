// Autosave's place in the window: the autosaver, Edit > Preferences... and
// a document restored from a recovery copy.
#include "mainwindow.h"

#include "appdialogs.h"
#include "autosaver.h"
#include "recoverystore.h"
#include "spreadsheet.h"

#include <QAction>
#include <QMenu>
#include <QStatusBar>
#include <QUndoStack>

void MainWindow::createAutosave()
{
    autosaver = new Autosaver(this, RecoveryStore::shared());

    preferencesAction = new QAction(tr("Pr&eferences..."), this);
    preferencesAction->setMenuRole(QAction::PreferencesRole);
    preferencesAction->setStatusTip(tr("Change the autosave interval"));
    connect(preferencesAction, &QAction::triggered, this, &MainWindow::editPreferences);
    editMenu->addSeparator();
    editMenu->addAction(preferencesAction);
}

void MainWindow::editPreferences()
{
    int seconds = Autosaver::intervalSetting();
    if (!AppDialogs::current().editPreferences(this, &seconds))
        return;
    Autosaver::setIntervalSetting(seconds);
    autosaver->settingsChanged();
}

bool MainWindow::restoreRecoveryCopy(const RecoveryCopy &copy)
{
    if (!spreadsheet->readSheet(copy.copyFile))
        return false;
    setCurrentFile(copy.originalPath);
    saveAsksForName = copy.asksForName;
    // The history's start is not what the file holds: undoing back to it
    // must not take the modified mark away.
    spreadsheet->undoStack()->resetClean();
    setWindowModified(true);
    autosaver->adopt(copy.stem);
    statusBar()->showMessage(tr("Document recovered"), 2000);
    return true;
}
