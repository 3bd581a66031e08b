#include "mainwindow.h"

#include "spreadsheet.h"
#include "uiprompts.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace {

QSettings velmoraSettings()
{
    return QSettings(QStringLiteral("Orvanta"), QStringLiteral("Velmora"));
}

} // namespace

void MainWindow::newFile() {}

void MainWindow::open() {}

bool MainWindow::save()
{
    return false;
}

bool MainWindow::saveAs()
{
    return false;
}

void MainWindow::about() {}

void MainWindow::openRecentFile() {}

bool MainWindow::okToContinue()
{
    if (!isWindowModified())
        return true;
    const QMessageBox::StandardButton answer = UiPrompts::current().warning(
        this, tr("Velmora"), tr("The document has been modified.\nDo you want to save your changes?"),
        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    if (answer == QMessageBox::Yes)
        return save();
    return answer == QMessageBox::No;
}

bool MainWindow::loadFile(const QString &fileName)
{
    Q_UNUSED(fileName);
    return false;
}

bool MainWindow::saveFile(const QString &fileName)
{
    Q_UNUSED(fileName);
    return false;
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
