#include "mainwindow.h"

#include "autosaver.h"
#include "spreadsheet.h"
#include "uiprompts.h"

#include <QCloseEvent>
#include <QDockWidget>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
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
    setWindowTitle(tr("Velmora"));
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

    resultsLabel = new QLabel(resultsDock);
    resultsLabel->setAlignment(Qt::AlignTop);
    resultsLabel->setTextInteractionFlags(Qt::TextBrowserInteraction);
    resultsLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    resultsLabel->setScaledContents(true);
    resultsLabel->setStyleSheet(QStringLiteral("QLabel { background-color: white }"));

    resultsScroll = new QScrollArea;
    resultsScroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    resultsScroll->setWidget(resultsLabel);
    resultsScroll->setStyleSheet(QStringLiteral("QScrollArea { background: white }"));

    resultsDock->setWidget(resultsScroll);
    addDockWidget(Qt::BottomDockWidgetArea, resultsDock);
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

    statusBar()->addWidget(locationLabel);
    statusBar()->addWidget(formulaLabel);
    statusBar()->addWidget(calcSpacer);
    statusBar()->addWidget(stopButton);
    statusBar()->addWidget(progressBar);

    connect(spreadsheet, SIGNAL(currentCellChanged(int,int,int,int)), this,
            SLOT(updateStatusBar()));
    connect(spreadsheet, SIGNAL(modified()), this, SLOT(spreadsheetModified()));
    connect(stopButton, SIGNAL(clicked()), this, SLOT(slotStopCalc()));
    updateStatusBar();
}

void MainWindow::updateStatusBar()
{
    locationLabel->setText(spreadsheet->currentCellName());
    formulaLabel->setText(spreadsheet->currentCellFormula());
}

void MainWindow::spreadsheetModified()
{
    // Once is enough: every call re-checks the title, and Qt warns for each
    // while the start-up title has no "[*]" placeholder.
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
        const QMessageBox::StandardButton answer = UiPrompts::current().warning(this,
            tr("Velmora"), tr("A test is running. Stop it and close?"),
            QMessageBox::Yes | QMessageBox::No);
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
