#include "mainwindow.h"

#include "resultpictures.h"
#include "spreadsheet.h"

#include <QAction>
#include <QDockWidget>
#include <QMenuBar>
#include <QToolBar>
#include <QUndoStack>

void MainWindow::createActions()
{
    geneInterAction = new QAction(tr("&Gene interaction..."), this);
    geneInterAction->setStatusTip(tr("Test Gene interaction"));
    connect(geneInterAction, SIGNAL(triggered()), this, SLOT(slotMenuGeneInter()));

    hardyWAction = new QAction(tr("Exact &Hardy-Weinberg..."), this);
    hardyWAction->setShortcut(QKeySequence(tr("Ctrl+F6")));
    hardyWAction->setStatusTip(tr("Test Hardy-Weinberg equilibrium"));
    connect(hardyWAction, SIGNAL(triggered()), this, SLOT(slotMenuHardyW()));

    modelsAction = new QAction(tr("Genetic &models..."), this);
    modelsAction->setShortcut(QKeySequence(tr("Ctrl+F5")));
    modelsAction->setStatusTip(tr("Genetic models and odds ratios of a case/control genotype table"));
    connect(modelsAction, SIGNAL(triggered()), this, SLOT(slotMenuModels()));
    metaAction = new QAction(tr("Meta-&analysis..."), this);
    metaAction->setStatusTip(tr("Pool the genotype or exposure counts of several studies"));
    connect(metaAction, SIGNAL(triggered()), this, SLOT(slotMenuMeta()));

    ldAction = new QAction(tr("Two-locus &LD..."), this);
    ldAction->setStatusTip(tr("Linkage disequilibrium of two SNPs from a 3 x 3 table of genotype counts"));
    connect(ldAction, SIGNAL(triggered()), this, SLOT(slotMenuLd()));

    haplotypesAction = new QAction(tr("Haplot&ypes..."), this);
    haplotypesAction->setStatusTip(tr("Haplotype frequencies by EM and their association with case status"));
    connect(haplotypesAction, SIGNAL(triggered()), this, SLOT(slotMenuHaplotypes()));

    clusterAction = new QAction(tr("Ris&k cluster..."), this);
    clusterAction->setShortcut(QKeySequence(tr("Ctrl+F7")));
    clusterAction->setStatusTip(tr("Risk clusterization"));
    connect(clusterAction, SIGNAL(triggered()), this, SLOT(slotMenuCluster()));

    chi2Action = new QAction(tr("&Chi-squared test..."), this);
    chi2Action->setShortcut(QKeySequence(tr("Ctrl+F8")));
    chi2Action->setStatusTip(tr("Calculate chi-squared test"));
    connect(chi2Action, SIGNAL(triggered()), this, SLOT(slotMenuChi2()));

    fisherAction = new QAction(tr("&Fisher 2xN test..."), this);
    fisherAction->setShortcut(QKeySequence(tr("Ctrl+F9")));
    fisherAction->setStatusTip(tr("Calculate Fisher Test"));
    connect(fisherAction, SIGNAL(triggered()), this, SLOT(slotMenuFisher()));

    showResultsAction = resultsDock->toggleViewAction();
    showResultsAction->setCheckable(true);
    showResultsAction->setText(tr("Show &Results"));
    showResultsAction->setStatusTip(tr("Show result window"));
    showResultsAction->setShortcut(QKeySequence(tr("Ctrl+B")));

    newAction = new QAction(tr("&New"), this);
    newAction->setIcon(QIcon(QStringLiteral(":/images/new.png")));
    newAction->setShortcut(QKeySequence::New);
    newAction->setStatusTip(tr("Create a new spreadsheet file"));
    connect(newAction, SIGNAL(triggered()), this, SLOT(newFile()));

    openAction = new QAction(tr("&Open..."), this);
    openAction->setIcon(QIcon(QStringLiteral(":/images/open.png")));
    openAction->setShortcut(QKeySequence::Open);
    openAction->setStatusTip(tr("Open an existing spreadsheet file"));
    connect(openAction, SIGNAL(triggered()), this, SLOT(open()));

    saveAction = new QAction(tr("&Save"), this);
    saveAction->setIcon(QIcon(QStringLiteral(":/images/save.png")));
    saveAction->setShortcut(QKeySequence::Save);
    saveAction->setStatusTip(tr("Save the spreadsheet to disk"));
    connect(saveAction, SIGNAL(triggered()), this, SLOT(save()));

    saveAsAction = new QAction(tr("Save &As..."), this);
    saveAsAction->setStatusTip(tr("Save the spreadsheet under a new name"));
    connect(saveAsAction, SIGNAL(triggered()), this, SLOT(saveAs()));

    for (QAction *&action : recentFileActions) {
        action = new QAction(this);
        action->setVisible(false);
        connect(action, SIGNAL(triggered()), this, SLOT(openRecentFile()));
    }

    exitAction = new QAction(tr("E&xit"), this);
    exitAction->setShortcut(QKeySequence(tr("Ctrl+Q")));
    exitAction->setStatusTip(tr("Exit the application"));
    connect(exitAction, SIGNAL(triggered()), this, SLOT(close()));

    // Greyed, and named after the step they undo or redo, as the history
    // moves (updateUndoActions).
    undoAction = new QAction(tr("&Undo"), this);
    undoAction->setShortcut(QKeySequence::Undo);
    undoAction->setStatusTip(tr("Undo the last change to the cells"));
    connect(undoAction, SIGNAL(triggered()), spreadsheet, SLOT(undo()));

    redoAction = new QAction(tr("&Redo"), this);
    redoAction->setShortcuts({ QKeySequence(tr("Ctrl+Shift+Z")), QKeySequence(tr("Ctrl+Y")) });
    redoAction->setStatusTip(tr("Redo the change last undone"));
    connect(redoAction, SIGNAL(triggered()), spreadsheet, SLOT(redo()));

    QUndoStack *history = spreadsheet->undoStack();
    connect(history, SIGNAL(indexChanged(int)), this, SLOT(updateUndoActions()));
    connect(history, SIGNAL(cleanChanged(bool)), this, SLOT(historyCleanChanged(bool)));
    updateUndoActions();

    cutAction = new QAction(tr("Cu&t"), this);
    cutAction->setIcon(QIcon(QStringLiteral(":/images/cut.png")));
    cutAction->setShortcut(QKeySequence::Cut);
    cutAction->setStatusTip(tr("Cut the current selection's contents to the clipboard"));
    connect(cutAction, SIGNAL(triggered()), spreadsheet, SLOT(cut()));

    copyAction = new QAction(tr("&Copy"), this);
    copyAction->setIcon(QIcon(QStringLiteral(":/images/copy.png")));
    copyAction->setShortcut(QKeySequence::Copy);
    copyAction->setStatusTip(tr("Copy the current selection's contents to the clipboard"));
    connect(copyAction, SIGNAL(triggered()), spreadsheet, SLOT(copy()));

    pasteAction = new QAction(tr("&Paste"), this);
    pasteAction->setIcon(QIcon(QStringLiteral(":/images/paste.png")));
    pasteAction->setShortcut(QKeySequence::Paste);
    pasteAction->setStatusTip(tr("Paste the clipboard's contents into the current selection"));
    connect(pasteAction, SIGNAL(triggered()), spreadsheet, SLOT(paste()));

    deleteAction = new QAction(tr("&Delete"), this);
    deleteAction->setShortcut(QKeySequence::Delete);
    deleteAction->setStatusTip(tr("Delete the current selection's contents"));
    connect(deleteAction, SIGNAL(triggered()), spreadsheet, SLOT(del()));

    selectRowAction = new QAction(tr("&Row"), this);
    selectRowAction->setStatusTip(tr("Select all the cells in the current row"));
    connect(selectRowAction, SIGNAL(triggered()), spreadsheet, SLOT(selectCurrentRow()));

    selectColumnAction = new QAction(tr("&Column"), this);
    selectColumnAction->setStatusTip(tr("Select all the cells in the current column"));
    connect(selectColumnAction, SIGNAL(triggered()), spreadsheet, SLOT(selectCurrentColumn()));

    selectAllAction = new QAction(tr("&All"), this);
    selectAllAction->setShortcut(QKeySequence::SelectAll);
    selectAllAction->setStatusTip(tr("Select all the cells in the spreadsheet"));
    connect(selectAllAction, SIGNAL(triggered()), spreadsheet, SLOT(selectAll()));

    findAction = new QAction(tr("&Find..."), this);
    findAction->setIcon(QIcon(QStringLiteral(":/images/find.png")));
    findAction->setShortcut(QKeySequence::Find);
    findAction->setStatusTip(tr("Find a matching cell"));
    connect(findAction, SIGNAL(triggered()), this, SLOT(find()));

    goToCellAction = new QAction(tr("&Go to Cell..."), this);
    goToCellAction->setIcon(QIcon(QStringLiteral(":/images/gotocell.png")));
    goToCellAction->setShortcut(QKeySequence(tr("Ctrl+G")));
    goToCellAction->setStatusTip(tr("Go to the specified cell"));
    connect(goToCellAction, SIGNAL(triggered()), this, SLOT(goToCell()));

    recalculateAction = new QAction(tr("&Recalculate"), this);
    recalculateAction->setShortcut(QKeySequence(tr("F9")));
    recalculateAction->setStatusTip(tr("Recalculate all the spreadsheet's formulas"));
    connect(recalculateAction, SIGNAL(triggered()), spreadsheet, SLOT(recalculate()));

    sortAction = new QAction(tr("&Sort..."), this);
    sortAction->setStatusTip(tr("Sort the selected cells or all the cells"));
    connect(sortAction, SIGNAL(triggered()), this, SLOT(sort()));

    showGridAction = new QAction(tr("&Show Grid"), this);
    showGridAction->setCheckable(true);
    showGridAction->setChecked(spreadsheet->showGrid());
    showGridAction->setStatusTip(tr("Show or hide the spreadsheet's grid"));
    connect(showGridAction, SIGNAL(toggled(bool)), spreadsheet, SLOT(setShowGrid(bool)));

    autoRecalcAction = new QAction(tr("&Auto-Recalculate"), this);
    autoRecalcAction->setCheckable(true);
    autoRecalcAction->setChecked(spreadsheet->isAutoRecalculate());
    autoRecalcAction->setShortcut(QKeySequence(tr("Ctrl+R")));
    autoRecalcAction->setStatusTip(tr("Switch auto-recalculation on or off"));
    connect(autoRecalcAction, SIGNAL(toggled(bool)), spreadsheet, SLOT(setAutoRecalculate(bool)));

    createHelpActions();

    createResultsActions();
}

void MainWindow::updateUndoActions()
{
    const QUndoStack *history = spreadsheet->undoStack();
    const QString undoText = history->undoText();
    const QString redoText = history->redoText();
    undoAction->setText(undoText.isEmpty() ? tr("&Undo") : tr("&Undo %1").arg(undoText));
    redoAction->setText(redoText.isEmpty() ? tr("&Redo") : tr("&Redo %1").arg(redoText));
    undoAction->setEnabled(history->canUndo());
    redoAction->setEnabled(history->canRedo());
}

// Undoing back to the state last saved (or loaded) takes the modified mark
// away; leaving it in either direction brings the mark back.
void MainWindow::historyCleanChanged(bool clean)
{
    // Every change re-checks the title: only a real one is made.
    if (isWindowModified() == clean)
        setWindowModified(!clean);
}

void MainWindow::createMenus()
{
    fileMenu = menuBar()->addMenu(tr("&File"));
    fileMenu->addAction(newAction);
    fileMenu->addAction(openAction);
    fileMenu->addAction(saveAction);
    fileMenu->addAction(saveAsAction);
    separatorAction = fileMenu->addSeparator();
    for (QAction *action : recentFileActions)
        fileMenu->addAction(action);
    fileMenu->addSeparator();
    fileMenu->addAction(exitAction);

    editMenu = menuBar()->addMenu(tr("&Edit"));
    editMenu->addAction(undoAction);
    editMenu->addAction(redoAction);
    editMenu->addSeparator();
    editMenu->addAction(cutAction);
    editMenu->addAction(copyAction);
    editMenu->addAction(pasteAction);
    editMenu->addAction(deleteAction);
    selectSubMenu = editMenu->addMenu(tr("&Select"));
    selectSubMenu->addAction(selectRowAction);
    selectSubMenu->addAction(selectColumnAction);
    selectSubMenu->addAction(selectAllAction);
    editMenu->addSeparator();
    editMenu->addAction(findAction);
    editMenu->addAction(goToCellAction);

    viewMenu = menuBar()->addMenu(tr("&View"));
    viewMenu->addAction(showResultsAction);
    viewMenu->addAction(showGridAction);
    viewMenu->addAction(autoRecalcAction);
    viewMenu->addAction(resultPictures->showAction());

    analyseMenu = menuBar()->addMenu(tr("&Analyse"));
    analyseMenu->addAction(geneInterAction);
    analyseMenu->addAction(fisherAction);
    analyseMenu->addAction(chi2Action);
    analyseMenu->addAction(clusterAction);
    analyseMenu->addAction(hardyWAction);
    analyseMenu->addAction(modelsAction);
    analyseMenu->addAction(metaAction);
    analyseMenu->addAction(ldAction);
    analyseMenu->addAction(haplotypesAction);
    analyseMenu->addSeparator();
    analyseMenu->addAction(recalculateAction);
    analyseMenu->addAction(sortAction);

    resultsMenu = menuBar()->addMenu(tr("&Results"));
    resultsMenu->addAction(copyResultsAction);
    resultsMenu->addAction(saveResultsAction);
    resultsMenu->addSeparator();
    resultsMenu->addAction(clearResultsAction);
    resultsMenu->addAction(undoClearResultsAction);
    resultsMenu->addSeparator();
    resultsMenu->addAction(resultPictures->saveAction());

    menuBar()->addSeparator();

    helpMenu = menuBar()->addMenu(tr("&Help"));
    helpMenu->addAction(userGuideAction);
    helpMenu->addAction(methodsAction);
    helpMenu->addSeparator();
    helpMenu->addAction(aboutQtAction);
    helpMenu->addAction(aboutAction);
}

void MainWindow::createContextMenu()
{
    spreadsheet->addAction(cutAction);
    spreadsheet->addAction(copyAction);
    spreadsheet->addAction(pasteAction);
    spreadsheet->setContextMenuPolicy(Qt::ActionsContextMenu);

    // The Results window offers the commands of the Results menu, on the
    // report and on the white space below it alike.
    auto *rule = new QAction(this);
    rule->setSeparator(true);
    auto *pictureRule = new QAction(this);
    pictureRule->setSeparator(true);
    resultsView->addActions({ copyResultsAction, saveResultsAction, rule, clearResultsAction,
                              undoClearResultsAction, pictureRule, resultPictures->saveAction() });
}

void MainWindow::createToolBars()
{
    fileToolBar = addToolBar(tr("&File"));
    fileToolBar->setObjectName(QStringLiteral("fileToolBar"));
    fileToolBar->addAction(newAction);
    fileToolBar->addAction(openAction);
    fileToolBar->addAction(saveAction);

    editToolBar = addToolBar(tr("&Edit"));
    editToolBar->setObjectName(QStringLiteral("editToolBar"));
    editToolBar->addAction(cutAction);
    editToolBar->addAction(copyAction);
    editToolBar->addAction(pasteAction);
    editToolBar->addSeparator();
    editToolBar->addAction(findAction);
    editToolBar->addAction(goToCellAction);
}
