// Takes the README's pictures from the real main window, headless: opens the
// example documents through File > Open, selects their blocks, runs the
// tests through the Analyse menu and the test dialog, and grabs the widgets.
//
//   velmora_screenshots OUTPUT_DIR EXAMPLES_DIR
//
// The font and style are pinned (DejaVu Sans 9 pt, Fusion) so that the
// pictures come out the same on every machine that has the font.
#include "calcpoll.h"
#include "examplecatalog.h"
#include "mainwindow.h"
#include "plotshots.h"
#include "recoverydialog.h"
#include "resultsview.h"
#include "runcontext.h"
#include "seldialog.h"
#include "sortdialog.h"
#include "spreadsheet.h"
#include "uiprompts.h"

#include <QAction>
#include <QCheckBox>
#include <QSpinBox>
#include <QApplication>
#include <QDir>
#include <QDockWidget>
#include <QFontDatabase>
#include <QFontInfo>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QStyleFactory>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>

namespace {

const QSize kWindowSize(860, 560);
const int kResultsHeight = 150;

// Answers File > Open with the document to show; discards changes when a
// new document replaces a modified one; prints anything else.
class ScriptedPrompts final : public UiPrompts
{
public:
    QString nextFile;

    QMessageBox::StandardButton warning(QWidget *, const QString &, const QString &text,
                                        QMessageBox::StandardButtons buttons) override
    {
        if (buttons & QMessageBox::No)
            return QMessageBox::No;
        std::fprintf(stderr, "%s\n", qPrintable(text));
        ++failures;
        return QMessageBox::Ok;
    }
    QMessageBox::StandardButton information(QWidget *, const QString &, const QString &text) override
    {
        std::fprintf(stderr, "%s\n", qPrintable(text));
        return QMessageBox::Ok;
    }
    QString openFileName(QWidget *, const QString &, const QString &, const QString &) override
    {
        return nextFile;
    }
    void beep() override {}

    int failures = 0;
};

class Shooter final
{
public:
    Shooter(const QString &outDir, const QString &examplesDir) : out(outDir), examples(examplesDir)
    {
        UiPrompts::install(&prompts);
    }
    ~Shooter() { UiPrompts::install(nullptr); }

    int failures() const { return prompts.failures + errors; }

    // A fresh window of the fixed size, with the example opened and its
    // block selected.
    std::unique_ptr<MainWindow> openExample(const examples::Example &example)
    {
        auto window = std::make_unique<MainWindow>();
        window->resize(kWindowSize);
        window->show();
        // After the first start's own split has settled.
        settle();
        // Room for a whole chi-squared report below the grid.
        window->resizeDocks({resultsDock(*window)}, {kResultsHeight}, Qt::Vertical);
        prompts.nextFile = examples.filePath(QString::fromUtf8(example.file));
        if (QAction *open = action(*window, QStringLiteral("&Open...")))
            open->trigger();
        select(*window, example);
        settle();
        return window;
    }

    void select(MainWindow &window, const examples::Example &example)
    {
        const examples::Block b = examples::parseBlock(QString::fromUtf8(example.block));
        Spreadsheet *sheet = window.sheet();
        sheet->setCurrentCell(b.top, b.left);
        sheet->clearSelection();
        sheet->setRangeSelected(QTableWidgetSelectionRange(b.top, b.left, b.bottom, b.right), true);
    }

    // Opens the example's test from the Analyse menu, with its options set.
    SelDialog *openTest(MainWindow &window, const examples::Example &example)
    {
        static const char *const menuItems[] = {"&Fisher 2xN test...", "&Chi-squared test...", "Ris&k cluster...",
                                                "Exact &Hardy-Weinberg...", "&Gene interaction..."};
        if (QAction *test = action(window, QString::fromUtf8(menuItems[example.kind])))
            test->trigger();
        SelDialog *dialog = window.selectionDialog();
        if (example.yates)
            dialog->yatesCheck->setChecked(true);
        dialog->accuracySpin->setValue(example.accuracy);
        settle();
        return dialog;
    }

    void runTest(MainWindow &window, const examples::Example &example)
    {
        SelDialog *dialog = openTest(window, example);
        if (!dialog->okButton->isEnabled()) {
            std::fprintf(stderr, "%s: the check refuses %s\n", example.file, example.block);
            ++errors;
        }
        dialog->okButton->click();
        settle();
    }

    // The grid's top-left corner down to the example's table, headers
    // included.
    void shootTable(MainWindow &window, const examples::Example &example, const QString &name)
    {
        Spreadsheet *sheet = window.sheet();
        int columns = 0;
        for (const auto &row : example.cells)
            columns = qMax(columns, int(row.size()));
        // A long block (one row per individual) shows its first rows.
        const int rows = qMin(int(example.cells.size()), 9);
        const int width = sheet->verticalHeader()->width() + sheet->columnViewportPosition(columns - 1)
            + sheet->columnWidth(columns - 1) + 2 * sheet->frameWidth();
        const int height = sheet->horizontalHeader()->height() + sheet->rowViewportPosition(rows - 1)
            + sheet->rowHeight(rows - 1) + 2 * sheet->frameWidth();
        save(sheet->grab(QRect(0, 0, width, height)), name);
    }

    // The window with a menu open over it at a point of the window, as the
    // screen shows it.
    static QPixmap withMenu(QWidget &window, QMenu &menu, const QPoint &at)
    {
        menu.popup(window.mapToGlobal(at));
        settle();
        QPixmap shot = window.grab();
        QPainter painter(&shot);
        painter.drawPixmap(window.mapFromGlobal(menu.pos()), menu.grab());
        painter.end();
        menu.hide();
        return shot;
    }

    // The window with one of the menu bar's menus pulled down, its title
    // highlighted.
    QPixmap withMenuBarMenu(MainWindow &window, const QString &title)
    {
        QMenuBar *bar = window.menuBar();
        const QList<QAction *> menus = bar->actions();
        for (QAction *item : menus) {
            if (item->text() != title || !item->menu())
                continue;
            bar->setActiveAction(item);
            settle();
            QPixmap shot = window.grab();
            QPainter painter(&shot);
            painter.drawPixmap(window.mapFromGlobal(item->menu()->pos()), item->menu()->grab());
            painter.end();
            item->menu()->hide();
            settle();
            return shot;
        }
        std::fprintf(stderr, "no menu %s\n", qPrintable(title));
        ++errors;
        return QPixmap();
    }

    // The Results window with its context menu, as a right click near its
    // top left shows it.
    QPixmap withResultsContextMenu(MainWindow &window)
    {
        QDockWidget *dock = resultsDock(window);
        auto *view = dock->findChild<ResultsView *>();
        if (!view || view->actions().isEmpty()) {
            std::fprintf(stderr, "the Results window has no context menu\n");
            ++errors;
            return QPixmap();
        }
        // The menu a right click builds from the window's actions.
        QMenu menu;
        menu.addActions(view->actions());
        const QPoint click = view->mapTo(&window, QPoint(220, 12));
        return withMenu(window, menu, click).copy(dock->geometry());
    }

    void save(const QPixmap &pixmap, const QString &name)
    {
        const QString path = out.filePath(name + QStringLiteral(".png"));
        if (pixmap.isNull() || !pixmap.save(path, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            ++errors;
            return;
        }
        std::printf("%s\n", qPrintable(QDir::toNativeSeparators(path)));
    }

    static void settle()
    {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }

    static QDockWidget *resultsDock(const MainWindow &window)
    {
        return window.findChild<QDockWidget *>(QStringLiteral("resultsDock"));
    }

    static QAction *action(const MainWindow &window, const QString &text)
    {
        const QList<QAction *> actions = window.findChildren<QAction *>();
        for (QAction *a : actions)
            if (a->text() == text)
                return a;
        std::fprintf(stderr, "no action %s\n", qPrintable(text));
        return nullptr;
    }

private:
    ScriptedPrompts prompts;
    QDir out;
    QDir examples;
    int errors = 0;
};

const examples::Example &exampleNamed(const char *file)
{
    for (const examples::Example &e : examples::all())
        if (qstrcmp(e.file, file) == 0)
            return e;
    std::fprintf(stderr, "no example %s\n", file);
    std::abort();
}

QString baseName(const examples::Example &e)
{
    return QString::fromUtf8(e.file).chopped(3);
}

void takeAll(Shooter &shooter)
{
    // The walk-through: the chi-squared example from selection to report.
    const examples::Example &chi2 = exampleNamed("chi-squared.sp");
    {
        auto window = shooter.openExample(chi2);
        shooter.save(window->grab(), QStringLiteral("window-block"));
        SelDialog *dialog = shooter.openTest(*window, chi2);
        shooter.save(dialog->grab(), QStringLiteral("dialog-chi-squared"));
        dialog->okButton->click();
        Shooter::settle();
        shooter.save(window->grab(), QStringLiteral("window-results"));
        // What can be done with the report: the Results menu, and the same
        // commands on a right click.
        shooter.save(shooter.withMenuBarMenu(*window, QStringLiteral("&Results")),
                     QStringLiteral("menu-results"));
        shooter.save(shooter.withResultsContextMenu(*window), QStringLiteral("results-context-menu"));
    }

    // The Edit menu after a count was typed: Undo names the step.
    {
        auto window = shooter.openExample(chi2);
        window->sheet()->typeIntoCell(1, 1, QStringLiteral("50"));
        Shooter::settle();
        shooter.save(shooter.withMenuBarMenu(*window, QStringLiteral("&Edit")), QStringLiteral("menu-edit"));
    }

    // The question at the start after a crash: a copy to restore, and one
    // that cannot be read.
    {
        RecoveryCopy study;
        study.originalPath = QStringLiteral("/home/ana/study.sp");
        study.savedAt = QDateTime(QDate(2026, 3, 14), QTime(15, 42, 7));
        RecoveryCopy cut;
        cut.savedAt = QDateTime(QDate(2026, 3, 12), QTime(11, 5, 31));
        const QString folder = QStringLiteral("~/.local/share/Orvanta/Velmora/recovery");
        cut.copyFile = folder + QStringLiteral("/5e0c9a1b-1.12.sp");
        cut.damage = QStringLiteral("The copy is truncated.");
        RecoveryDialog dialog({ study, cut }, folder);
        dialog.show();
        Shooter::settle();
        shooter.save(dialog.grab(), QStringLiteral("dialog-recover-documents"));
    }

    // The Fisher dialog with its accuracy setting.
    {
        const examples::Example &fisher = exampleNamed("fisher-2xn.sp");
        auto window = shooter.openExample(fisher);
        shooter.save(shooter.openTest(*window, fisher)->grab(), QStringLiteral("dialog-fisher-2xn"));
    }

    // A refused block: something typed below the diagonal of a
    // Hardy-Weinberg table.
    {
        const examples::Example &hw = exampleNamed("hardy-weinberg.sp");
        auto window = shooter.openExample(hw);
        window->sheet()->setCellFormula(2, 1, QStringLiteral("25"));
        shooter.select(*window, hw);
        shooter.save(shooter.openTest(*window, hw)->grab(), QStringLiteral("dialog-refused"));
    }

    // The risk clusterization report, whose two tables need the room.
    {
        const examples::Example &cluster = exampleNamed("risk-cluster.sp");
        auto window = shooter.openExample(cluster);
        shooter.runTest(*window, cluster);
        QDockWidget *dock = Shooter::resultsDock(*window);
        window->resize(kWindowSize.width(), 820);
        window->resizeDocks({dock}, {560}, Qt::Vertical);
        Shooter::settle();
        shooter.save(dock->grab(), QStringLiteral("results-risk-cluster"));
    }

    // The genetic models of one SNP, typed into a new document: the report's
    // tables need the room.
    {
        auto window = std::make_unique<MainWindow>();
        window->resize(kWindowSize.width(), 760);
        window->show();
        Spreadsheet *sheet = window->sheet();
        const char *const cells[3][4] = {
            {"", "A/A", "A/G", "G/G"}, {"Cases", "98", "412", "490"}, {"Controls", "62", "358", "580"}};
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 4; ++c)
                if (*cells[r][c])
                    sheet->setCellFormula(r, c, QString::fromUtf8(cells[r][c]));
        if (QAction *models = Shooter::action(*window, QStringLiteral("Genetic &models...")))
            models->trigger();
        sheet->setCurrentCell(1, 1);
        sheet->clearSelection();
        sheet->setRangeSelected(QTableWidgetSelectionRange(1, 1, 2, 3), true);
        Shooter::settle();
        window->selectionDialog()->okButton->click();
        QDockWidget *dock = Shooter::resultsDock(*window);
        window->resizeDocks({dock}, {560}, Qt::Vertical);
        Shooter::settle();
        shooter.save(dock->grab(), QStringLiteral("results-models"));
    }

    // The Analyse menu, and Sort of one clicked cell: the dialog names the
    // table around it, its names row left out.
    {
        const examples::Example &cluster = exampleNamed("risk-cluster.sp");
        auto window = shooter.openExample(cluster);
        shooter.save(shooter.withMenuBarMenu(*window, QStringLiteral("&Analyse")), QStringLiteral("menu-analyse"));
        window->sheet()->setCurrentCell(1, 1);
        const QTableWidgetSelectionRange range = window->sheet()->sortRange();
        SortDialog sort(window.get());
        sort.setColumnSpan(QChar(u'A' + range.leftColumn()), QChar(u'A' + range.rightColumn()));
        sort.setRange(QStringLiteral("%1%2:%3%4")
                          .arg(QChar(u'A' + range.leftColumn()))
                          .arg(range.topRow() + 1)
                          .arg(QChar(u'A' + range.rightColumn()))
                          .arg(range.bottomRow() + 1));
        sort.show();
        Shooter::settle();
        shooter.save(sort.grab(), QStringLiteral("dialog-sort"));
    }

    // The block each test expects, as the examples lay it out.
    for (const examples::Example &e : examples::all()) {
        auto window = shooter.openExample(e);
        shooter.shootTable(*window, e, QStringLiteral("block-") + baseName(e));
    }
}

QtMessageHandler defaultHandler = nullptr;

// The engines' diagnostics would bury the list of pictures written.
void dropDebugLines(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type == QtDebugMsg)
        return;
    if (defaultHandler)
        defaultHandler(type, context, text);
    else
        std::fprintf(stderr, "%s\n", qPrintable(text));
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The window reads and writes the user's settings: keep them out of the
    // pictures, and the pictures out of them.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    defaultHandler = qInstallMessageHandler(dropDebugLines);
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR EXAMPLES_DIR\n", argv[0]);
        return 2;
    }
    calcApplication = &app;
    // Every report's context line shows this time, so that the pictures
    // stay the same from run to run.
    RunContext::clock = [] { return QDateTime(QDate(2026, 5, 4), QTime(10, 30)); };
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    const QFont font(QStringLiteral("DejaVu Sans"), 9);
    if (QFontInfo(font).family() != font.family())
        std::fprintf(stderr, "warning: DejaVu Sans is missing; the pictures will differ from the committed ones\n");
    QApplication::setFont(font);

    const QString outDir = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(outDir)) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    Shooter shooter(outDir, QString::fromLocal8Bit(argv[2]));
    takeAll(shooter);
    const int plotFailures = takePlots(outDir, QString::fromLocal8Bit(argv[2]));
    return shooter.failures() + plotFailures == 0 ? 0 : 1;
}
