#include "mainwindow.h"

#include "recoverystore.h"
#include "resultpictures.h"
#include "spreadsheet.h"
#include "textdocument.h"
#include "uiprompts.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QUndoStack>

namespace {

QSettings velmoraSettings()
{
    return QSettings(QStringLiteral("Orvanta"), QStringLiteral("Velmora"));
}

// Everything Open reads first: the first type is the one the dialog shows.
QString openFilters()
{
    return MainWindow::tr("Spreadsheet files and text tables (*.sp *.csv *.tsv *.txt)") + QStringLiteral(";;")
        + MainWindow::tr("Spreadsheet files (*.sp)") + QStringLiteral(";;")
        + MainWindow::tr("Text tables (*.csv *.tsv *.txt)");
}

// The document first: a type the user picks, never one taken unasked.
QString saveFilters()
{
    return MainWindow::tr("Spreadsheet files (*.sp)") + QStringLiteral(";;")
        + MainWindow::tr("Comma-separated values (*.csv)") + QStringLiteral(";;")
        + MainWindow::tr("Tab-separated values (*.tsv)") + QStringLiteral(";;")
        + MainWindow::tr("Text files, tab-separated (*.txt)");
}

} // namespace

void MainWindow::newFile()
{
    if (okToContinue()) {
        spreadsheet->clearSheet();
        setCurrentFile(QString());
        resultsView->markDocument(documentName());
    }
}

void MainWindow::open()
{
    if (okToContinue()) {
        const QString fileName = UiPrompts::current().openFileName(
            this, tr("Open Spreadsheet"), dialogFolder(), openFilters());
        if (!fileName.isEmpty()) {
            rememberFolder(fileName);
            loadFile(fileName);
        }
    }
}

bool MainWindow::save()
{
    if (curFile.isEmpty() || saveAsksForName)
        return saveAs();
    return saveFile(curFile);
}

bool MainWindow::saveAs()
{
    QString fileName = UiPrompts::current().saveFileName(
        this, tr("Save Spreadsheet"), saveAsStart(), saveFilters());
    if (fileName.isEmpty())
        return false;
    rememberFolder(fileName);
    // A document saved as "mine" would be invisible to Open's filter.
    fileName = withDefaultSuffix(fileName, QStringLiteral("sp"));
    if (fileName.isEmpty())
        return false;
    return saveFile(fileName);
}

void MainWindow::openRecentFile()
{
    if (okToContinue()) {
        if (auto *action = qobject_cast<QAction *>(sender()))
            loadFile(action->data().toString());
    }
}

bool MainWindow::okToContinue()
{
    if (!isWindowModified())
        return true;
    const QMessageBox::StandardButton answer = UiPrompts::current().warning(this, tr("Velmora"),
        tr("The document %1 has been modified.\nDo you want to save your changes?").arg(documentName()),
        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    if (answer == QMessageBox::Yes)
        return save();
    return answer == QMessageBox::No;
}

bool MainWindow::loadFile(const QString &fileName)
{
    const bool text = TextDocument::isTextTableName(fileName);
    const bool loaded = text
        ? spreadsheet->readTextTable(fileName, TextDocument::separatorFor(fileName))
        : spreadsheet->readSheet(fileName);
    if (!loaded) {
        statusBar()->showMessage(tr("Loading canceled"), 2000);
        return false;
    }
    setCurrentFile(fileName);
    // A copy opened from the recovery folder is saved elsewhere, by name.
    saveAsksForName = text || RecoveryStore::shared().covers(fileName);
    resultsView->markDocument(documentName());
    statusBar()->showMessage(tr("File loaded"), 2000);
    return true;
}

bool MainWindow::saveFile(const QString &fileName)
{
    // The name's suffix decides the type: the user chose it in Save As.
    const bool saved = TextDocument::isTextTableName(fileName)
        ? spreadsheet->writeTextTable(fileName, TextDocument::separatorFor(fileName))
        : spreadsheet->writeSheet(fileName);
    if (!saved) {
        statusBar()->showMessage(tr("Saving canceled"), 2000);
        return false;
    }
    spreadsheet->undoStack()->setClean();
    setCurrentFile(fileName);
    statusBar()->showMessage(tr("File saved"), 2000);
    return true;
}

void MainWindow::setCurrentFile(const QString &fileName)
{
    curFile = fileName;
    saveAsksForName = false;
    if (!curFile.isEmpty()) {
        rememberFolder(curFile);
        recentFiles.removeAll(curFile);
        recentFiles.prepend(curFile);
        updateRecentFileActions();
    }
    setWindowTitle(tr("%1[*] - %2").arg(documentName(), tr("Velmora")));
    // After the title, which holds the mark's placeholder.
    setWindowModified(false);
}

QString MainWindow::documentName() const
{
    return curFile.isEmpty() ? tr("Untitled") : QFileInfo(curFile).fileName();
}

QString MainWindow::strippedName(const QString &fullFileName)
{
    return QFileInfo(fullFileName).fileName();
}

QString MainWindow::dialogFolder() const
{
    if (!lastFolder.isEmpty() && QFileInfo(lastFolder).isDir())
        return lastFolder;
    return documentsFolder();
}

QString MainWindow::documentsFolder()
{
    // Not the working folder: started from a desktop menu, that is
    // wherever the session began.
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QFileInfo(documents).isDir())
        return documents;
    return QDir::homePath();
}

QString MainWindow::saveAsStart() const
{
    // Never among the recovery copies (a damaged one opened from there
    // last): a document saved there could be taken for one.
    const RecoveryStore &recovery = RecoveryStore::shared();
    if (!saveAsksForName)
        return recovery.covers(dialogFolder()) ? documentsFolder() : dialogFolder();
    const QFileInfo table(curFile);
    const QString folder = recovery.covers(table.absolutePath()) ? documentsFolder() : table.absolutePath();
    return QDir(folder).filePath(table.completeBaseName() + QStringLiteral(".sp"));
}

void MainWindow::rememberFolder(const QString &fileName)
{
    lastFolder = QFileInfo(fileName).absolutePath();
}

// The file dialog confirmed replacing the name it returned, not the name
// with the suffix added, so a clash with that one is asked about here.
QString MainWindow::withDefaultSuffix(const QString &fileName, const QString &suffix)
{
    if (!QFileInfo(fileName).suffix().isEmpty())
        return fileName;
    const QString named
        = fileName.endsWith(u'.') ? QString(fileName + suffix) : QString(fileName + u'.' + suffix);
    if (!QFileInfo::exists(named))
        return named;
    const QMessageBox::StandardButton answer = UiPrompts::current().warning(this, tr("Velmora"),
        tr("%1 already exists.\nDo you want to replace it?").arg(QDir::toNativeSeparators(named)),
        QMessageBox::Yes | QMessageBox::No);
    return answer == QMessageBox::Yes ? named : QString();
}

void MainWindow::updateRecentFileActions()
{
    recentFiles.removeIf([](const QString &file) { return !QFile::exists(file); });
    for (int j = 0; j < MaxRecentFiles; ++j) {
        if (j < recentFiles.count()) {
            const QString text = tr("&%1 %2").arg(j + 1).arg(strippedName(recentFiles[j]));
            recentFileActions[j]->setText(text);
            recentFileActions[j]->setData(recentFiles[j]);
            recentFileActions[j]->setVisible(true);
        } else {
            recentFileActions[j]->setVisible(false);
        }
    }
    separatorAction->setVisible(!recentFiles.isEmpty());
}

void MainWindow::readSettings()
{
    QSettings settings = velmoraSettings();
    if (!restoreGeometry(settings.value(QStringLiteral("geometry")).toByteArray()))
        placeForFirstStart();
    windowStateRestored = restoreState(settings.value(QStringLiteral("windowState")).toByteArray());
    recentFiles = settings.value(QStringLiteral("recentFiles")).toStringList();
    updateRecentFileActions();
    showGridAction->setChecked(settings.value(QStringLiteral("showGrid"), true).toBool());
    autoRecalcAction->setChecked(settings.value(QStringLiteral("autoRecalc"), true).toBool());
    lastFolder = settings.value(QStringLiteral("lastFolder")).toString();
    resultPictures->readSettings(settings);
}

void MainWindow::writeSettings()
{
    QSettings settings = velmoraSettings();
    settings.setValue(QStringLiteral("geometry"), saveGeometry());
    // The toolbars and the height of the Results window.
    settings.setValue(QStringLiteral("windowState"), saveState());
    settings.setValue(QStringLiteral("recentFiles"), recentFiles);
    settings.setValue(QStringLiteral("showGrid"), showGridAction->isChecked());
    settings.setValue(QStringLiteral("autoRecalc"), autoRecalcAction->isChecked());
    settings.setValue(QStringLiteral("lastFolder"), lastFolder);
    resultPictures->writeSettings(settings);
}
