#include "mainwindow.h"

#include "autosaver.h"
#include "spreadsheet.h"
#include "uiprompts.h"

#include <QAction>
#include <QCloseEvent>
#include <QDockWidget>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QStatusBar>
#include <QTimer>

static void initImages()
{
    // The icons live in a static library: register them explicitly.
    Q_INIT_RESOURCE(images);
}

MainWindow::MainWindow()
{
    initImages();
    spreadsheet = new Spreadsheet;
    spreadsheet->setStyleSheet(
        QStringLiteral("QTableWidget {selection-background-color: lightblue; selection-color: black}"));
    setCentralWidget(spreadsheet);

    createResultsDock();
    createActions();
    createMenus();
    createContextMenu();
    createToolBars();
    createStatusBar();

    readSettings();

    findDialog = nullptr;

    setWindowIcon(QIcon(QStringLiteral(":/images/icon.png")));
    setCurrentFile(QString());
    setUnifiedTitleAndToolBarOnMac(true);
    // Documents dropped from a file manager open here.
    setAcceptDrops(true);

    createSelDialog();
    createAutosave();

    calcTimer = new QTimer(this);
    connect(calcTimer, SIGNAL(timeout()), this, SLOT(slotProgress()));
}

void MainWindow::createResultsDock()
{
    resultsDock = new QDockWidget(tr("Results"), this);
    resultsDock->setObjectName(QStringLiteral("resultsDock"));
    resultsDock->setAllowedAreas(Qt::BottomDockWidgetArea);
    resultsDock->setFeatures(QDockWidget::DockWidgetClosable);

    resultsView = new ResultsView(resultsDock);
    resultsDock->setWidget(resultsView);
    addDockWidget(Qt::BottomDockWidgetArea, resultsDock);
}

void MainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!firstShow)
        return;
    firstShow = false;
    // At the first start the Results window takes a third of the height,
    // room for a whole report; later the split is as the user left it.
    if (!windowStateRestored)
        resizeDocks({resultsDock}, {height() / 3}, Qt::Vertical);
}

void MainWindow::createStatusBar()
{
    locationLabel = new QLabel(QStringLiteral(" W999 "));
    locationLabel->setAlignment(Qt::AlignHCenter);
    locationLabel->setMinimumSize(locationLabel->sizeHint());
    const int h = locationLabel->sizeHint().height();

    formulaLabel = new QLabel;
    formulaLabel->setIndent(3);

    calcSpacer = new QLabel;
    calcSpacer->setMinimumWidth(2 * h);
    calcSpacer->hide();

    stopButton = new QPushButton;
    stopButton->setMaximumSize(h, h);
    stopButton->setStyleSheet(QStringLiteral("QPushButton {background-color: red}"));
    stopButton->setToolTip(tr("Stop Calculating"));
    stopButton->hide();

    progressBar = new QProgressBar;
    progressBar->setToolTip(tr("Calculation Progress"));
    progressBar->setRange(0, 100);
    progressBar->setFixedSize(6 * h, h);
    progressBar->setTextVisible(false);
    progressBar->setStyleSheet(
        QStringLiteral("QProgressBar {selection-background-color: rgb(128,255,128)}"));
    progressBar->hide();

    activityLabel = new QLabel;
    activityLabel->setToolTip(tr("What the running test has done so far"));
    activityLabel->hide();

    statusBar()->addWidget(locationLabel);
    statusBar()->addWidget(formulaLabel);
    statusBar()->addWidget(calcSpacer);
    statusBar()->addWidget(stopButton);
    statusBar()->addWidget(progressBar);
    statusBar()->addWidget(activityLabel, 1);

    connect(spreadsheet, SIGNAL(currentCellChanged(int,int,int,int)), this,
            SLOT(updateStatusBar()));
    connect(spreadsheet, SIGNAL(modified()), this, SLOT(spreadsheetModified()));
    connect(stopButton, SIGNAL(clicked()), this, SLOT(slotStopCalc()));
    // On the window, for every widget in it; enabled only while a test
    // runs, so that Esc keeps its other uses the rest of the time.
    stopAction = new QAction(tr("Stop the Test"), this);
    stopAction->setShortcut(QKeySequence(Qt::Key_Escape));
    stopAction->setEnabled(false);
    connect(stopAction, SIGNAL(triggered()), this, SLOT(escapeStop()));
    addAction(stopAction);
    updateStatusBar();
}

void MainWindow::updateStatusBar()
{
    locationLabel->setText(spreadsheet->currentCellName());
    formulaLabel->setText(spreadsheet->currentCellFormula());
}

void MainWindow::spreadsheetModified()
{
    // Once is enough: every call re-checks the title.
    if (!isWindowModified())
        setWindowModified(true);
    updateStatusBar();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // A close that arrives inside a poll would leave the calculation
    // running on a dying window. Ask before stopping it, so that a user who
    // changes their mind keeps the run; once it has ended, the deferred
    // close asks the save question.
    if (calcRunning) {
        event->ignore();
        if (closeAfterRun || stopQuestionOpen)
            return;
        stopQuestionOpen = true;
        // No by default: Enter must not end a long run.
        const QMessageBox::StandardButton answer = UiPrompts::current().warningWithDefault(this,
            tr("Velmora"), tr("A test is running. Stop it and close?"),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        stopQuestionOpen = false;
        if (answer != QMessageBox::Yes)
            return;
        if (calcRunning) {
            slotStopCalc();
            closeAfterRun = true;
        } else {
            QTimer::singleShot(0, this, &QWidget::close);
        }
        return;
    }
    if (okToContinue()) {
        // Saved, or closed without saving as the user chose: no copy stays.
        autosaver->documentClosed();
        writeSettings();
        event->accept();
    } else {
        event->ignore();
    }
}
