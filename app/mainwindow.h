#pragma once

#include "resultsview.h"
#include "runcontext.h"
#include "runreport.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QStringList>

#include <functional>

class AboutDialog;
class Autosaver;
class FindDialog;
class HelpWindow;
class QAction;
class QCloseEvent;
class QShowEvent;
class QDockWidget;
class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QTimer;
class QToolBar;
class ResultPictures;
class SelDialog;
class Spreadsheet;
struct RecoveryCopy;
struct TestInput;

// The one top-level window: the grid, the Results dock, the actions, menus
// and toolbars, the status bar with the calculation controls, and the test
// selection dialog. Its code is split by concern over the mainwindow*.cpp
// files.
class MainWindow final : public QMainWindow
{
    Q_OBJECT

public:
    MainWindow();

    // Starts (maximum >= 1) or ends (below 1) the progress display.
    void showCalcProgress(int maximum);
    // Appends one report entry to the Results window, with a line of
    // context when given; returns the entry's index.
    int appendResult(const QString &message, int isError, const QString &context = QString());
    void showResultsWindow();
    // Flips auto-recalculation through its action; see the cluster driver.
    bool toggleAutoRecalcByShortcut(bool force);

    // The frame of every test run: marks the calculation as running, runs
    // it with the progress display at hand, ends the display and appends
    // the report, with the context that slotCalc noted for it.
    void runAndReport(const std::function<RunReport(const ProgressDisplay &)> &run);

    // True between the start and the end of a progress display, and while a
    // test without one runs.
    bool isCalculating() const { return calcRunning; }
    // Esc stops a run at once within this many milliseconds of its start,
    // and asks first after them (tests set it).
    void setStopQuestionDelay(int milliseconds) { stopQuestionAfterMs = milliseconds; }
    // Where the seed of each Monte Carlo run and haplotype analysis comes
    // from: a fresh one per run, unless a test fixes it so that a check on
    // the 99% interval cannot fail by chance.
    void setSeedSource(std::function<quint64()> source) { seedSource = std::move(source); }

    Spreadsheet *sheet() const { return spreadsheet; }
    SelDialog *selectionDialog() const { return selDialog; }

    // Opens the document named on the command line (the first argument
    // after the program's name), if any.
    void openArguments(const QStringList &arguments);

    // Recovery (mainwindowrecovery.cpp). The document's file, empty when
    // untitled, and whether Save asks for a name (a table opened from text).
    const QString &currentFile() const { return curFile; }
    bool saveAsksName() const { return saveAsksForName; }
    // Opens a recovery copy as the document, modified and bound to its
    // original path; false, with the reader's message, when it cannot be
    // read.
    bool restoreRecoveryCopy(const RecoveryCopy &copy);
    Autosaver *autosave() const { return autosaver; }

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

signals:
    void signalTestRange();

private slots:
    void slotMenuGeneInter();
    void slotMenuHardyW();
    void slotMenuCluster();
    void slotMenuChi2();
    void slotMenuFisher();
    void slotMenuModels();
    void slotMenuMeta();
    void slotMenuLd();
    void slotMenuHaplotypes();
    void slotProgress();
    void slotStopCalc();
    void escapeStop();
    void slotCalc();
    void newFile();
    void open();
    bool save();
    bool saveAs();
    void find();
    void goToCell();
    void sort();
    void about();
    void showUserGuide();
    void showMethods();
    void showLicence();
    void openRecentFile();
    void updateStatusBar();
    void spreadsheetModified();
    void copyResults();
    void saveResults();
    void clearResults();
    void undoClearResults();
    void updateUndoActions();
    void historyCleanChanged(bool clean);

private:
    // Window and status bar.
    void createResultsDock();
    void createStatusBar();
    // What a long run can say while its share of the work is unknown.
    void updateActivity();
    // Actions and menus.
    void createActions();
    void createMenus();
    void createContextMenu();
    void createToolBars();
    // The Results menu's commands.
    void createResultsActions();
    void updateResultsActions();
    bool writeResults(const QString &fileName);
    // Documents and settings.
    void readSettings();
    void writeSettings();
    bool okToContinue();
    bool loadFile(const QString &fileName);
    bool saveFile(const QString &fileName);
    void setCurrentFile(const QString &fileName);
    void updateRecentFileActions();
    // The document shown: its file's name, or "Untitled".
    QString documentName() const;
    QString strippedName(const QString &fullFileName);
    // The folder the file dialogs start in, and the one to remember.
    QString dialogFolder() const;
    static QString documentsFolder();
    void rememberFolder(const QString &fileName);
    QString withDefaultSuffix(const QString &fileName, const QString &suffix);
    // Where Save As starts: the last folder, or for a table opened from
    // text, a document of the same name beside it.
    QString saveAsStart() const;
    // Desktop integration.
    void placeForFirstStart();
    void openDroppedFile(const QString &fileName);
    // Autosave and Edit > Preferences....
    void createAutosave();
    void editPreferences();
    // Calculation control.
    void createSelDialog();
    bool refuseWhileCalculating();
    void openTestDialog(int kind);
    void runFisher();
    void runChi2();
    void runCluster();
    void runHardyW();
    void runGeneInter();
    void runModels();
    void runMeta();
    void runLd();
    void runHaplotypes();
    void runMonteCarlo(int kind, const TestInput &input);
    // Help.
    void createHelpActions();
    HelpWindow *helpWindow();

    QTimer *calcTimer = nullptr;
    SelDialog *selDialog = nullptr;
    QDockWidget *resultsDock = nullptr;
    ResultsView *resultsView = nullptr;
    QLabel *calcSpacer = nullptr;
    QLabel *activityLabel = nullptr;
    QPushButton *stopButton = nullptr;
    // Esc during a run: as Stop, after a question once the run is long.
    QAction *stopAction = nullptr;
    QProgressBar *progressBar = nullptr;
    Spreadsheet *spreadsheet = nullptr;
    FindDialog *findDialog = nullptr;
    QLabel *locationLabel = nullptr;
    QLabel *formulaLabel = nullptr;
    QStringList recentFiles;
    QString curFile;
    enum { MaxRecentFiles = 5 };
    QAction *recentFileActions[MaxRecentFiles] = {};
    QAction *separatorAction = nullptr;
    QString lastFolder;
    // The document came from a text table: Save asks for a name and type
    // instead of writing the text file back unasked.
    bool saveAsksForName = false;
    // The report as it was before the last Clear, until the next entry.
    QList<ResultsView::Entry> clearedResults;
    // The run that slotCalc starts, for its entry's context line.
    RunContext pendingRun;
    // The running test's picture, set by its driver, drawn under its entry.
    std::shared_ptr<const pictures::Picture> pendingPicture;
    // Further pictures of the same entry (a meta-analysis draws several).
    std::vector<std::shared_ptr<const pictures::Picture>> pendingMorePictures;
    ResultPictures *resultPictures = nullptr;
    // Set when the stored state gave the Results window its height.
    bool windowStateRestored = false;
    bool firstShow = true;
    HelpWindow *help = nullptr;
    AboutDialog *aboutDialog = nullptr;

    QMenu *fileMenu = nullptr;
    QMenu *editMenu = nullptr;
    QMenu *selectSubMenu = nullptr;
    QMenu *analyseMenu = nullptr;
    QMenu *viewMenu = nullptr;
    QMenu *helpMenu = nullptr;
    QMenu *resultsMenu = nullptr;
    QToolBar *fileToolBar = nullptr;
    QToolBar *editToolBar = nullptr;

    QAction *geneInterAction = nullptr;
    QAction *hardyWAction = nullptr;
    QAction *clusterAction = nullptr;
    QAction *chi2Action = nullptr;
    QAction *fisherAction = nullptr;
    QAction *modelsAction = nullptr;
    QAction *metaAction = nullptr;
    QAction *ldAction = nullptr;
    QAction *haplotypesAction = nullptr;
    QAction *showResultsAction = nullptr;
    QAction *newAction = nullptr;
    QAction *openAction = nullptr;
    QAction *saveAction = nullptr;
    QAction *saveAsAction = nullptr;
    QAction *exitAction = nullptr;
    QAction *undoAction = nullptr;
    QAction *redoAction = nullptr;
    QAction *cutAction = nullptr;
    QAction *copyAction = nullptr;
    QAction *pasteAction = nullptr;
    QAction *deleteAction = nullptr;
    QAction *selectRowAction = nullptr;
    QAction *selectColumnAction = nullptr;
    QAction *selectAllAction = nullptr;
    QAction *findAction = nullptr;
    QAction *goToCellAction = nullptr;
    QAction *recalculateAction = nullptr;
    QAction *sortAction = nullptr;
    QAction *showGridAction = nullptr;
    QAction *autoRecalcAction = nullptr;
    QAction *aboutAction = nullptr;
    QAction *userGuideAction = nullptr;
    QAction *methodsAction = nullptr;
    QAction *aboutQtAction = nullptr;
    QAction *copyResultsAction = nullptr;
    QAction *saveResultsAction = nullptr;
    QAction *clearResultsAction = nullptr;
    QAction *undoClearResultsAction = nullptr;

    Autosaver *autosaver = nullptr;
    QAction *preferencesAction = nullptr;

    QElapsedTimer runClock;
    int stopQuestionAfterMs = 3000;
    std::function<quint64()> seedSource; // empty: a fresh seed per run
    bool calcRunning = false;
    bool closeAfterRun = false;
    bool stopQuestionOpen = false;
};
