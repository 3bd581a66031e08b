// The test dialog's verdict follows the grid, not only the selection: every
// change to a cell re-checks the block (once per event-loop pass), OK checks
// once more, and a report always shows the numbers its P-value came from.
#include "checks.h"
#include "contingencyruns.h"
#include "documentprompts.h"
#include "fisherrun.h"
#include "mainwindow.h"
#include "rowcompare.h"
#include "seldialog.h"
#include "sortdialog.h"
#include "spreadsheet.h"
#include "spreadsheetcellsource.h"
#include "windowtesthelpers.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using windowtest::fill;
using windowtest::typeInto;

namespace {

const QString kGood = QStringLiteral("<font color=\"green\"> All is good</font>");
const QString kEmpty = QStringLiteral("<font color=\"red\">Empty cell</font>");
const QString kWrong = QStringLiteral("<font color=\"red\">Wrong number</font>");
const QString kWrongRange = QStringLiteral("<font color=\"red\"> wrong Range</font>");
const QString kBelowDiagonal = QStringLiteral("<font color=\"red\">Left botton nonempty cell</font>");
const QString kRule = QStringLiteral("<br /><b>") + QString(57, u'_') + QStringLiteral("</b>");

void trigger(MainWindow &window, const QString &text)
{
    QVERIFY2(windowtest::trigger(window, text), qPrintable(text));
}

void select(Spreadsheet *sheet, const QTableWidgetSelectionRange &range)
{
    sheet->clearSelection();
    sheet->setRangeSelected(range, true);
}

// Selects the block and opens the test through its menu item.
SelDialog *openTest(MainWindow &window, const QTableWidgetSelectionRange &block, const QString &menuText)
{
    select(window.sheet(), block);
    windowtest::trigger(window, menuText);
    return window.selectionDialog();
}

QString report(const MainWindow &window)
{
    return windowtest::reportHtml(window);
}

int entryCount(const MainWindow &window)
{
    return int(report(window).count(kRule));
}

QString lastMessage(const MainWindow &window)
{
    return windowtest::lastMessage(window);
}

// What a run on the grid as it is now would report: the block checked
// afresh, then the test's engine. An empty message when the check refuses.
struct FreshRun
{
    CheckResult check;
    QString message;
};

FreshRun freshRun(int kind, Spreadsheet *sheet)
{
    const QTableWidgetSelectionRange range = sheet->selectionRange();
    TestInput in;
    in.nCols = range.columnCount();
    in.nRows = range.rowCount();
    in.leftCol = range.leftColumn();
    in.topRow = range.topRow();
    const SpreadsheetCellSource grid(sheet);
    FreshRun fresh;
    fresh.check = checkTestRange(kind, grid, in);
    if (!fresh.check.ok)
        return fresh;
    switch (kind) {
    case TestChi2:
        fresh.message = runChi2Test(in, grid).message;
        break;
    case TestHardyW:
        fresh.message = runHardyWeinbergTest(in, {}).message;
        break;
    case TestFisher:
        fresh.message = runFisherTest(in, {}).message;
        break;
    default:
        break;
    }
    return fresh;
}

// Counts the checks' " value=" debug lines, one per count read.
int valueLines = 0;

void countValueLines(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtDebugMsg && message.contains(QStringLiteral("value=")))
        ++valueLines;
}

} // namespace

class TestRecheck final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void editedCountFollows();
    void everyChangeRechecks_data();
    void everyChangeRechecks();
    void hardyWeinbergBlock();
    void fullGridPasteChecksOnce();
    void randomChangesThenOk();

private:
    QTemporaryDir dir;
};

void TestRecheck::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    // One " value=" line per count read would drown the log.
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    QVERIFY(dir.isValid());
}

// 40 becomes 400 while the chi-squared dialog shows "All is good" for the
// block: OK runs on 400, and the echo and the P-value agree (chi2 and P
// from a separate Pearson computation with erfc, six digits as reported).
void TestRecheck::editedCountFollows()
{
    MainWindow window;
    window.show();
    Spreadsheet *sheet = window.sheet();
    fill(sheet, 0, 0, {{"10", "20"}, {"30", "40"}});
    SelDialog *dialog =
        openTest(window, QTableWidgetSelectionRange(0, 0, 1, 1), QStringLiteral("&Chi-squared test..."));
    QCOMPARE(dialog->messageLabel->text(), kGood);
    QVERIFY(qAbs(dialog->input.chi2Sum - 0.793651) < 1e-6);

    // The verdict follows an edit at once (one event-loop pass).
    typeInto(sheet, 1, 1, QStringLiteral("abc"));
    QCoreApplication::processEvents();
    QCOMPARE(dialog->messageLabel->text(), kWrong);
    QVERIFY(!dialog->okButton->isEnabled());
    typeInto(sheet, 1, 1, QStringLiteral("400"));
    QCoreApplication::processEvents();
    QCOMPARE(dialog->messageLabel->text(), kGood);
    QVERIFY(dialog->okButton->isEnabled());
    QVERIFY(qAbs(dialog->input.chi2Sum - 24.5367294) < 1e-6);

    // Back to 40, checked; then 400 again and OK before the re-check has
    // run: OK checks once more and runs on 400.
    typeInto(sheet, 1, 1, QStringLiteral("40"));
    QCoreApplication::processEvents();
    QVERIFY(qAbs(dialog->input.chi2Sum - 0.793651) < 1e-6);
    typeInto(sheet, 1, 1, QStringLiteral("400"));
    QVERIFY(qAbs(dialog->input.chi2Sum - 0.793651) < 1e-6);
    QTest::mouseClick(dialog->okButton, Qt::LeftButton);
    QCOMPARE(lastMessage(window),
             QStringLiteral("<br />Chi-squared test <b>P-VALUE = 7.29067e-07</b>  for input vectors:"
                            "<br />{ 10, 20 }<br />{ 30, 400 }<br />chi2=24.5367 , df=1"));
}

// Each kind of change to the grid, with the chi-squared dialog open on
// B2:C3: the verdict after one event-loop pass, and (where the selection
// stays) OK pressed before that pass refused by OK's own check.
void TestRecheck::everyChangeRechecks_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("keepsSelection");
    QTest::addColumn<bool>("okAtOnce");
    const struct
    {
        const char *change;
        QString message;
        bool keepsSelection;
    } changes[] = {
        {"edit", kWrong, true},
        {"paste", QStringLiteral("<font color=\"red\">Sum=0 for row # 2</font>"), true},
        {"cut", kEmpty, true},
        {"delete", kEmpty, true},
        {"referenced", kWrong, true},
        {"recalculate", kWrong, true},
        {"open", kWrongRange, false},
        {"new", kWrongRange, false},
    };
    for (const auto &c : changes) {
        QTest::addRow("%s, one pass", c.change) << QString::fromLatin1(c.change) << c.message
                                               << c.keepsSelection << false;
        if (c.keepsSelection)
            QTest::addRow("%s, OK at once", c.change) << QString::fromLatin1(c.change) << c.message
                                                     << c.keepsSelection << true;
    }
}

void TestRecheck::everyChangeRechecks()
{
    QFETCH(QString, change);
    QFETCH(QString, message);
    QFETCH(bool, keepsSelection);
    QFETCH(bool, okAtOnce);
    DocumentPrompts prompts;
    MainWindow window;
    window.show();
    Spreadsheet *sheet = window.sheet();
    // C3 reads E1, outside the block.
    fill(sheet, 1, 1, {{"10", "20"}, {"30", "=E1*2"}});
    sheet->setCellFormula(0, 4, QStringLiteral("20"));
    const QTableWidgetSelectionRange block(1, 1, 2, 2);
    SelDialog *dialog = openTest(window, block, QStringLiteral("&Chi-squared test..."));
    QCOMPARE(dialog->messageLabel->text(), kGood);
    QSignalSpy accepted(dialog, SIGNAL(accepted()));
    const int entries = entryCount(window);

    if (change == u"edit") {
        typeInto(sheet, 1, 2, QStringLiteral("x"));
    } else if (change == u"paste") {
        QApplication::clipboard()->setText(QStringLiteral("0\t0\n3\t4"));
        trigger(window, QStringLiteral("&Paste"));
    } else if (change == u"cut") {
        trigger(window, QStringLiteral("Cu&t"));
    } else if (change == u"delete") {
        trigger(window, QStringLiteral("&Delete"));
    } else if (change == u"referenced") {
        typeInto(sheet, 0, 4, QStringLiteral("x"));
    } else if (change == u"recalculate") {
        trigger(window, QStringLiteral("&Auto-Recalculate"));
        QVERIFY(!sheet->isAutoRecalculate());
        typeInto(sheet, 0, 4, QStringLiteral("x"));
        // Not recalculated: C3 still shows 40, and the re-check says so.
        QCoreApplication::processEvents();
        QCOMPARE(dialog->messageLabel->text(), kGood);
        trigger(window, QStringLiteral("&Recalculate"));
    } else if (change == u"open") {
        Spreadsheet other;
        other.setCellFormula(1, 1, QStringLiteral("x"));
        const QString file = dir.filePath(QStringLiteral("other.sp"));
        QVERIFY(other.writeSheet(file));
        prompts.buttonAnswers.enqueue(QMessageBox::No);
        prompts.fileAnswers.enqueue(file);
        trigger(window, QStringLiteral("&Open..."));
        QCOMPARE(sheet->cellFormula(1, 1), QStringLiteral("x"));
    } else if (change == u"new") {
        prompts.buttonAnswers.enqueue(QMessageBox::No);
        trigger(window, QStringLiteral("&New"));
        QCOMPARE(sheet->cellFormula(1, 1), QString());
    }

    if (okAtOnce) {
        // The re-check is still pending: OK is enabled but refuses.
        QVERIFY(dialog->okButton->isEnabled());
        QTest::mouseClick(dialog->okButton, Qt::LeftButton);
        QCOMPARE(accepted.count(), 0);
        QVERIFY(dialog->isVisible());
        QCOMPARE(dialog->messageLabel->text(), message);
        QVERIFY(!dialog->okButton->isEnabled());
        QCOMPARE(entryCount(window), entries);
    }
    QCoreApplication::processEvents();
    QCOMPARE(dialog->messageLabel->text(), message);
    QVERIFY(!dialog->okButton->isEnabled());

    // Reselected after a change that moved the selection, the block is
    // checked on what the grid holds now.
    if (!keepsSelection) {
        select(sheet, block);
        QCOMPARE(dialog->messageLabel->text(), change == u"open" ? kWrong : kEmpty);
    }
}

// A cell erased in the editor and positions a whole-grid sort passed over
// are empty, below the diagonal and in formulas; a deleted block is no
// longer run.
void TestRecheck::hardyWeinbergBlock()
{
    MainWindow window;
    window.show();
    Spreadsheet *sheet = window.sheet();
    fill(sheet, 1, 1, {{"10", "5"}, {nullptr, "3"}});
    sheet->setCellFormula(6, 1, QStringLiteral("=A1+1"));
    const QTableWidgetSelectionRange block(1, 1, 2, 2);
    SelDialog *dialog = openTest(window, block, QStringLiteral("Exact &Hardy-Weinberg..."));
    QCOMPARE(dialog->messageLabel->text(), kGood);

    typeInto(sheet, 2, 1, QStringLiteral("7"));
    QCoreApplication::processEvents();
    QCOMPARE(dialog->messageLabel->text(), kBelowDiagonal);
    typeInto(sheet, 2, 1, QString());
    QVERIFY(sheet->item(2, 1));
    QCoreApplication::processEvents();
    QCOMPARE(dialog->messageLabel->text(), kGood);

    // Select all and sort through the Sort dialog: nothing moves, no
    // position becomes a cell, and the formula reading A1 still shows 1.
    trigger(window, QStringLiteral("&All"));
    windowtest::ModalAnswer answer([](QWidget *modal) {
        if (auto *sortDialog = qobject_cast<SortDialog *>(modal)) {
            // By column A, empty in every row (not the current cell's).
            sortDialog->primaryColumnCombo->setCurrentIndex(0);
            QTest::mouseClick(sortDialog->okButton, Qt::LeftButton);
        } else {
            modal->close();
        }
    });
    trigger(window, QStringLiteral("&Sort..."));
    QVERIFY(answer.answered);
    QCOMPARE(sheet->cellText(6, 1), QStringLiteral("1"));
    QCOMPARE(sheet->item(0, 0), nullptr);
    QCOMPARE(sheet->item(3, 3), nullptr);
    select(sheet, block);
    QCOMPARE(dialog->messageLabel->text(), kGood);
    QTest::mouseClick(dialog->okButton, Qt::LeftButton);
    QCOMPARE(lastMessage(window),
             QStringLiteral("<br /> Hardy-Weinberg 2x2 test <b>P-VALUE = 0.254198</b>  for input vectors:"
                            "<br /> { 10, 5 }<br /> { 0, 3 }"));

    // The block deleted, then OK at once: refused, nothing runs.
    trigger(window, QStringLiteral("Exact &Hardy-Weinberg..."));
    QCOMPARE(dialog->messageLabel->text(), kGood);
    const int entries = entryCount(window);
    trigger(window, QStringLiteral("&Delete"));
    QTest::mouseClick(dialog->okButton, Qt::LeftButton);
    QCOMPARE(entryCount(window), entries);
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->messageLabel->text(), kEmpty);
}

// A paste of the whole 999 x 26 grid over the selected whole grid sets
// 25,974 cells but checks the block once: the chi-squared check reads each
// count twice, so one check writes exactly 2 x 25,974 debug lines.
void TestRecheck::fullGridPasteChecksOnce()
{
    MainWindow window;
    window.show();
    Spreadsheet *sheet = window.sheet();
    const QString row = QStringList(QList<QString>(Spreadsheet::ColumnCount, QStringLiteral("1"))).join(u'\t');
    QApplication::clipboard()->setText(
        QStringList(QList<QString>(Spreadsheet::RowCount, row)).join(u'\n'));
    trigger(window, QStringLiteral("&All"));
    trigger(window, QStringLiteral("&Chi-squared test..."));
    SelDialog *dialog = window.selectionDialog();
    QCOMPARE(dialog->messageLabel->text(), kEmpty);

    valueLines = 0;
    QLoggingCategory::setFilterRules(QStringLiteral("velmora.checks.debug=true"));
    const QtMessageHandler previous = qInstallMessageHandler(countValueLines);
    trigger(window, QStringLiteral("&Paste"));
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    qInstallMessageHandler(previous);
    QLoggingCategory::setFilterRules(QStringLiteral("velmora.checks.debug=false"));
    QCOMPARE(sheet->cellFormula(998, 25), QStringLiteral("1"));
    QCOMPARE(dialog->messageLabel->text(), kGood);
    QCOMPARE(valueLines, 2 * Spreadsheet::RowCount * Spreadsheet::ColumnCount);
}

// Random edits, pastes, deletions, cuts, sorts and recalculations on a
// small grid while a test dialog is open, then OK: the verdict always
// matches a fresh check, and the report a fresh run on the grid's values.
void TestRecheck::randomChangesThenOk()
{
    MainWindow window;
    window.show();
    Spreadsheet *sheet = window.sheet();
    SelDialog *dialog = window.selectionDialog();
    QRandomGenerator random(20260517);
    const auto pick = [&random](int n) { return int(random.bounded(n)); };
    const auto randomText = [&]() -> QString {
        const int roll = pick(20);
        if (roll < 13)
            return QString::number(pick(25));
        if (roll < 15)
            return QString();
        if (roll < 18)
            return QStringLiteral("=%1%2+%3").arg(QChar(u'A' + pick(5))).arg(pick(5) + 1).arg(pick(3));
        return roll < 19 ? QStringLiteral("abc") : QStringLiteral("-1");
    };
    const auto randomRange = [&]() {
        const int top = pick(5);
        const int left = pick(5);
        return QTableWidgetSelectionRange(top, left, top + pick(5 - top), left + pick(5 - left));
    };

    struct Kind
    {
        int kind;
        QString action;
        QTableWidgetSelectionRange block;
    };
    const QList<Kind> kinds = {
        {TestChi2, QStringLiteral("&Chi-squared test..."), QTableWidgetSelectionRange(1, 1, 2, 3)},
        {TestHardyW, QStringLiteral("Exact &Hardy-Weinberg..."), QTableWidgetSelectionRange(1, 1, 3, 3)},
        {TestFisher, QStringLiteral("&Fisher 2xN test..."), QTableWidgetSelectionRange(1, 1, 2, 3)},
    };

    int runs = 0;
    int refusals = 0;
    for (int trial = 0; trial < 60; ++trial) {
        const Kind &kind = kinds.at(trial % kinds.size());
        sheet->clearSheet();
        for (int r = 0; r < 5; ++r)
            for (int c = 0; c < 5; ++c)
                if (kind.kind != TestHardyW || r <= c)
                    sheet->setCellFormula(r, c, QString::number(1 + pick(9)));
        select(sheet, kind.block);
        trigger(window, kind.action);

        const int changes = 1 + pick(6);
        for (int i = 0; i < changes; ++i) {
            switch (pick(7)) {
            case 0:
            case 1:
                typeInto(sheet, pick(5), pick(5), randomText());
                break;
            case 2: {
                // A block-sized paste over the selected block.
                QStringList rows;
                for (int r = 0; r < kind.block.rowCount(); ++r) {
                    QStringList fields;
                    for (int c = 0; c < kind.block.columnCount(); ++c)
                        fields << randomText();
                    rows << fields.join(u'\t');
                }
                QApplication::clipboard()->setText(rows.join(u'\n'));
                trigger(window, QStringLiteral("&Paste"));
                break;
            }
            case 3:
                select(sheet, randomRange());
                trigger(window, pick(2) ? QStringLiteral("&Delete") : QStringLiteral("Cu&t"));
                select(sheet, kind.block);
                break;
            case 4: {
                select(sheet, randomRange());
                RowCompare compare;
                compare.keyColumn[0] = 0;
                compare.isAscending[0] = pick(2) == 0;
                sheet->sortSelection(compare);
                select(sheet, kind.block);
                break;
            }
            case 5:
                trigger(window, QStringLiteral("&Auto-Recalculate"));
                break;
            default:
                trigger(window, QStringLiteral("&Recalculate"));
                break;
            }
            if (pick(2)) {
                QCoreApplication::processEvents();
                const FreshRun now = freshRun(kind.kind, sheet);
                QCOMPARE(dialog->messageLabel->text(), now.check.message);
                QCOMPARE(dialog->okButton->isEnabled(), now.check.ok);
            }
        }

        // A user presses OK only when it is enabled; a pending re-check
        // may still enable it.
        if (!dialog->okButton->isEnabled())
            QCoreApplication::processEvents();
        const FreshRun fresh = freshRun(kind.kind, sheet);
        const int entries = entryCount(window);
        if (dialog->okButton->isEnabled())
            QTest::mouseClick(dialog->okButton, Qt::LeftButton);
        if (fresh.check.ok) {
            ++runs;
            QCOMPARE(entryCount(window), entries + 1);
            QCOMPARE(lastMessage(window), fresh.message);
            QVERIFY(!dialog->isVisible());
        } else {
            ++refusals;
            QCOMPARE(entryCount(window), entries);
            QCOMPARE(dialog->messageLabel->text(), fresh.check.message);
            QVERIFY(!dialog->okButton->isEnabled());
            dialog->reject();
        }
        if (!sheet->isAutoRecalculate())
            trigger(window, QStringLiteral("&Auto-Recalculate"));
    }
    // Both outcomes occur often enough to mean something.
    QVERIFY2(runs >= 10 && refusals >= 10, qPrintable(QStringLiteral("%1 runs, %2 refusals").arg(runs).arg(refusals)));
}

QTEST_MAIN(TestRecheck)
#include "test_recheck.moc"
