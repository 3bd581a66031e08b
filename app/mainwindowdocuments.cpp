#include "mainwindow.h"

#include "spreadsheet.h"
#include "uiprompts.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStatusBar>

namespace {

QSettings velmoraSettings()
{
    return QSettings(QStringLiteral("Orvanta"), QStringLiteral("Velmora"));
}

} // namespace

void MainWindow::newFile()
{
    if (okToContinue()) {
        spreadsheet->clearSheet();
        setCurrentFile(QString());
    }
}

void MainWindow::open()
{
    if (okToContinue()) {
        const QString fileName = UiPrompts::current().openFileName(
            this, tr("Open Spreadsheet"), QStringLiteral("."), tr("Spreadsheet files (*.sp)"));
        if (!fileName.isEmpty())
            loadFile(fileName);
    }
}

bool MainWindow::save()
{
    if (curFile.isEmpty())
        return saveAs();
    return saveFile(curFile);
}

bool MainWindow::saveAs()
{
    const QString fileName = UiPrompts::current().saveFileName(
        this, tr("Save Spreadsheet"), QStringLiteral("."), tr("Spreadsheet files (*.sp)"));
    if (fileName.isEmpty())
        return false;
    return saveFile(fileName);
}

void MainWindow::about()
{
    UiPrompts::current().about(this, tr("About Velmora"),
        tr("<p>version 1.9</p>"
           "<p>Copyright &copy; 2026 Orvanta</p>"
           "<p>Internet: <a href=\"https://www.orvanta.example/\">www.orvanta.example</a></p>"
           "<p>E-mail: <a "
           "href=\"mailto:velmora@orvanta.example\">velmora@orvanta.example</a></p>"));
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
        tr("The document has been modified.\nDo you want to save your changes?"),
        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    if (answer == QMessageBox::Yes)
        return save();
    return answer == QMessageBox::No;
}

bool MainWindow::loadFile(const QString &fileName)
{
    if (!spreadsheet->readSheet(fileName)) {
        statusBar()->showMessage(tr("Loading canceled"), 2000);
        return false;
    }
    setCurrentFile(fileName);
    statusBar()->showMessage(tr("File loaded"), 2000);
    return true;
}

bool MainWindow::saveFile(const QString &fileName)
{
    if (!spreadsheet->writeSheet(fileName)) {
        statusBar()->showMessage(tr("Saving canceled"), 2000);
        return false;
    }
    setCurrentFile(fileName);
    statusBar()->showMessage(tr("File saved"), 2000);
    return true;
}

void MainWindow::setCurrentFile(const QString &fileName)
{
    curFile = fileName;
    setWindowModified(false);
    QString shownName = tr("Untitled");
    if (!curFile.isEmpty()) {
        shownName = strippedName(curFile);
        recentFiles.removeAll(curFile);
        recentFiles.prepend(curFile);
        updateRecentFileActions();
    }
    setWindowTitle(tr("%1[*] - %2").arg(shownName, tr("Velmora")));
}

QString MainWindow::strippedName(const QString &fullFileName)
{
    return QFileInfo(fullFileName).fileName();
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
    restoreGeometry(settings.value(QStringLiteral("geometry")).toByteArray());
    recentFiles = settings.value(QStringLiteral("recentFiles")).toStringList();
    updateRecentFileActions();
    showGridAction->setChecked(settings.value(QStringLiteral("showGrid"), true).toBool());
    autoRecalcAction->setChecked(settings.value(QStringLiteral("autoRecalc"), true).toBool());
}

void MainWindow::writeSettings()
{
    QSettings settings = velmoraSettings();
    settings.setValue(QStringLiteral("geometry"), saveGeometry());
    settings.setValue(QStringLiteral("recentFiles"), recentFiles);
    settings.setValue(QStringLiteral("showGrid"), showGridAction->isChecked());
    settings.setValue(QStringLiteral("autoRecalc"), autoRecalcAction->isChecked());
}
