// The Help menu: the User Guide, the Methods and Citations and the licence
// in the help window, About Qt, and the About box.
#include "mainwindow.h"

#include "aboutdialog.h"
#include "helpwindow.h"

#include <QAction>
#include <QApplication>

static void initHelp()
{
    // The help lives in a static library: register it explicitly.
    Q_INIT_RESOURCE(help);
}

void MainWindow::createHelpActions()
{
    initHelp();
    userGuideAction = new QAction(tr("&User Guide"), this);
    userGuideAction->setShortcut(QKeySequence::HelpContents);
    userGuideAction->setStatusTip(tr("Show how to use Velmora, with pictures"));
    connect(userGuideAction, SIGNAL(triggered()), this, SLOT(showUserGuide()));

    methodsAction = new QAction(tr("&Methods and Citations"), this);
    methodsAction->setStatusTip(tr("Show the method of each test and the references to cite"));
    connect(methodsAction, SIGNAL(triggered()), this, SLOT(showMethods()));

    aboutQtAction = new QAction(tr("About &Qt"), this);
    aboutQtAction->setStatusTip(tr("Show the Qt library's About box"));
    connect(aboutQtAction, &QAction::triggered, qApp, &QApplication::aboutQt);

    aboutAction = new QAction(tr("&About..."), this);
    aboutAction->setStatusTip(tr("Show the application's About box"));
    connect(aboutAction, SIGNAL(triggered()), this, SLOT(about()));
}

HelpWindow *MainWindow::helpWindow()
{
    if (!help)
        help = new HelpWindow(this);
    return help;
}

void MainWindow::showUserGuide()
{
    helpWindow()->showPage(HelpWindow::Guide);
}

void MainWindow::showMethods()
{
    helpWindow()->showPage(HelpWindow::Methods);
}

void MainWindow::showLicence()
{
    helpWindow()->showPage(HelpWindow::Licence);
}

void MainWindow::about()
{
    if (!aboutDialog) {
        aboutDialog = new AboutDialog(this);
        connect(aboutDialog, &AboutDialog::helpRequested, this, [this](const QString &page) {
            if (page == QLatin1String("guide"))
                showUserGuide();
            else if (page == QLatin1String("methods"))
                showMethods();
            else
                showLicence();
        });
    }
    aboutDialog->show();
    aboutDialog->raise();
    aboutDialog->activateWindow();
}
