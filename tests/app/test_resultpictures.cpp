// The pictures of the Results window, driven through the real window: each
// test's run leaves its picture under its entry (none for gene
// interaction), View > Pictures in Results hides and shows them and is
// remembered, the context menu's Save Picture As writes each type by its
// name and starts in the folder used last, and a double click opens the
// picture in a window of its own that saves at its own size.
#include "documentprompts.h"
#include "mainwindow.h"
#include "picturepainter.h"
#include "picturewindow.h"
#include "resultpictures.h"
#include "seldialog.h"
#include "windowtesthelpers.h"

#include <QCheckBox>
#include <QContextMenuEvent>
#include <QDockWidget>
#include <QMenu>
#include <QPushButton>
#include <QPointer>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextFrame>
#include <QAbstractTextDocumentLayout>
#include <QTextLayout>
#include <QSettings>
#include <QSpinBox>
#include <QStandardPaths>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QtTest>

#include <utility>

namespace {

const QString kShow = QStringLiteral("&Pictures in Results");
const QString kSave = QStringLiteral("Save &Picture As...");

// Runs a test on a block; by simulation when samples are given.
void runTest(MainWindow &window, const QString &menuText, int top, int left, int bottom, int right,
             const QString &samples = QString())
{
    QVERIFY(windowtest::trigger(window, menuText));
    window.sheet()->clearSelection();
    window.sheet()->setRangeSelected(QTableWidgetSelectionRange(top, left, bottom, right), true);
    QVERIFY(window.selectionDialog()->okButton->isEnabled());
    if (!samples.isEmpty()) {
        SelDialog *dialog = window.selectionDialog();
        QTest::mouseClick(dialog->monteCarloCheck, Qt::LeftButton);
        dialog->samplesSpin->selectAll();
        QTest::keyClicks(dialog->samplesSpin, samples);
    }
    QTest::mouseClick(window.selectionDialog()->okButton, Qt::LeftButton);
}

// Gives the Results pane a height and waits until its animation has ended.
void resizeResults(MainWindow &window, int height)
{
    auto *dock = window.findChild<QDockWidget *>();
    window.resizeDocks({dock}, {height}, Qt::Vertical);
    int last = -1;
    QTRY_VERIFY(std::exchange(last, dock->height()) == dock->height() && last > height * 4 / 5);
}

// The size the newest picture takes in the pane's layout.
QSizeF laidOutPicture(const ResultsView *view)
{
    const QTextDocument *document = view->document();
    const QTextCursor found = document->find(QString(QChar::ObjectReplacementCharacter), document->characterCount(),
                                             QTextDocument::FindBackward);
    if (found.isNull())
        return QSizeF();
    const int position = found.selectionStart();
    const QTextBlock block = document->findBlock(position);
    const QTextLine line = block.layout()->lineForTextPosition(position - block.position());
    const qreal width = line.cursorToX(position + 1 - block.position()) - line.cursorToX(position - block.position());
    return QSizeF(width, line.ascent());
}

// A point of the pane over the newest picture, scrolled into view.
QPoint pictureSpot(ResultsView *view)
{
    for (int tries = 0; tries < 20; ++tries) {
        for (int y = 2; y < view->viewport()->height(); y += 6)
            if (view->pictureAt(QPoint(80, y), nullptr, nullptr))
                return QPoint(80, y);
        view->verticalScrollBar()->setValue(view->verticalScrollBar()->value() + view->viewport()->height() / 2);
    }
    return QPoint(-1, -1);
}

// Right-clicks at `pos` and triggers the item `text` of the menu that pops
// up; whether it was there and enabled.
bool chooseFromContextMenu(QWidget *widget, const QPoint &pos, const QString &text)
{
    bool chosen = false;
    QTimer reader;
    reader.setInterval(10);
    QObject::connect(&reader, &QTimer::timeout, [&] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu)
            return;
        reader.stop();
        QAction *found = nullptr;
        for (QAction *action : menu->actions())
            if (action->text() == text && action->isEnabled())
                found = action;
        menu->close();
        if (found) {
            chosen = true;
            found->trigger();
        }
    });
    reader.start();
    QContextMenuEvent event(QContextMenuEvent::Mouse, pos, widget->mapToGlobal(pos));
    QApplication::sendEvent(widget, &event);
    return chosen;
}

} // namespace

class TestResultPictures final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void eachTestDrawsItsPicture_data();
    void eachTestDrawsItsPicture();
    void picturesInResultsHidesAndIsRemembered();
    void saveFromTheContextMenu();
    void doubleClickOpensItsWindow();
    void picturesFollowThePanesSize();
    void togglingKeepsTheReadersPlace_data();
    void togglingKeepsTheReadersPlace();

private:
    QTemporaryDir settingsDir;
    QTemporaryDir files;
};

void TestResultPictures::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(settingsDir.isValid() && files.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
}

void TestResultPictures::eachTestDrawsItsPicture_data()
{
    QTest::addColumn<QString>("menu");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("columns");
    QTest::addColumn<int>("kind");  // the model's index in pictures::Picture; -1 for none
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("samples");  // Monte Carlo; empty: exact
    QTest::newRow("chi-squared") << QStringLiteral("&Chi-squared test...") << 2 << 3 << 0 << QStringLiteral("Chi-squared test, B2:D3") << QString();
    QTest::newRow("fisher") << QStringLiteral("&Fisher 2xN test...") << 2 << 3 << 0 << QStringLiteral("Fisher 2xN test, B2:D3") << QString();
    QTest::newRow("hardy-weinberg, 2 alleles") << QStringLiteral("Exact &Hardy-Weinberg...") << 2 << 2 << 1
                                               << QStringLiteral("Exact Hardy-Weinberg test, B2:C3") << QString();
    QTest::newRow("hardy-weinberg, 3 alleles") << QStringLiteral("Exact &Hardy-Weinberg...") << 3 << 3 << 2
                                               << QStringLiteral("Exact Hardy-Weinberg test, B2:D4") << QString();
    QTest::newRow("models") << QStringLiteral("Genetic &models...") << 2 << 3 << 4 << QStringLiteral("Genetic models, B2:D3") << QString();
    QTest::newRow("risk clusters") << QStringLiteral("Ris&k cluster...") << 2 << 4 << 5 << QStringLiteral("Risk clusters, B2:E3") << QString();
    QTest::newRow("two-locus LD") << QStringLiteral("Two-locus &LD...") << 3 << 3
                                  << int(pictures::Picture(pictures::LdTriangleModel{}).index()) << QStringLiteral("Two-locus LD, B2:D4") << QString();
    QTest::newRow("gene interaction") << QStringLiteral("&Gene interaction...") << 4 << 2 << -1 << QStringLiteral("") << QString();
    QTest::newRow("monte carlo chi-squared") << QStringLiteral("&Chi-squared test...") << 2 << 3 << 3
                                             << QStringLiteral("Monte Carlo chi-squared test, B2:D3") << QStringLiteral("2000");
    QTest::newRow("monte carlo hardy-weinberg") << QStringLiteral("Exact &Hardy-Weinberg...") << 3 << 3 << 3
                                                << QStringLiteral("Monte Carlo Hardy-Weinberg test, B2:D4") << QStringLiteral("2000");
}

void TestResultPictures::eachTestDrawsItsPicture()
{
    QFETCH(QString, menu);
    QFETCH(int, rows);
    QFETCH(int, columns);
    QFETCH(int, kind);
    QFETCH(QString, title);
    QFETCH(QString, samples);
    MainWindow window;
    window.resize(900, 700);
    window.show();
    // Names beside a risk-cluster block; a triangle for Hardy-Weinberg.
    if (kind == 5) {
        windowtest::fill(window.sheet(), 0, 0, {{nullptr, "F1", "F2", "F3", "F4"}, {"Cases", "12", "30", "5", "9"},
                                                {"Controls", "20", "11", "14", "7"}});
    } else {
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < columns; ++c)
                if (menu != QStringLiteral("Exact &Hardy-Weinberg...") || c >= r)
                    window.sheet()->setCellFormula(1 + r, 1 + c, QString::number(10 + 7 * r + 3 * c + (r * c) % 5));
    }
    runTest(window, menu, 1, 1, rows, columns, samples);
    const ResultsView *view = windowtest::resultsView(window);
    QCOMPARE(view->entries().size(), 1);
    const QList<ResultsView::Picture> &shown = view->entries().last().pictures;
    if (kind < 0) {
        QVERIFY(shown.isEmpty());
        return;
    }
    QCOMPARE(shown.size(), 1);
    QVERIFY(shown.first().model);
    QCOMPARE(int(shown.first().model->index()), kind);
    QCOMPARE(pictures::pictureTitle(*shown.first().model), title);
    if (!samples.isEmpty()) {
        // Every sample in the histogram's bars or beside its axis.
        const auto &histogram = std::get<pictures::HistogramModel>(*shown.first().model);
        qint64 counted = histogram.below + histogram.above;
        for (const qint64 count : histogram.counts)
            counted += count;
        QCOMPARE(counted, samples.toLongLong());
    }
    if (!samples.isEmpty()) {
        // One form of the count, in the subtitle as in the context line.
        // The estimate is not named as the exact test.
        const QString subtitle = std::visit([](const auto &model) { return model.subtitle; }, *shown.first().model);
        QVERIFY2(subtitle.contains(QStringLiteral("; 2,000 samples, seed ")), qPrintable(subtitle));
        const QString test = menu.contains(QStringLiteral("Hardy")) ? QStringLiteral("Hardy-Weinberg test")
                                                                     : QStringLiteral("Chi-squared test");
        QVERIFY2(view->entries().last().context.startsWith(test + QStringLiteral(", Monte Carlo, 2,000 samples, seed ")),
                 qPrintable(view->entries().last().context));
    }
    // Laid out and drawn at the size that fits the pane.
    const auto *results = window.findChild<ResultPictures *>();
    QCOMPARE(laidOutPicture(view), QSizeF(results->pictureSize()));
    QCOMPARE(view->shownImage(shown.first()).deviceIndependentSize().toSize(), results->pictureSize());
    QVERIFY(results->pictureSize().width() <= view->viewport()->width());
    QVERIFY(results->pictureSize().height() <= view->viewport()->height() * 2 / 3 + 1);
}

void TestResultPictures::picturesInResultsHidesAndIsRemembered()
{
    DocumentPrompts prompts;
    {
        MainWindow window;
        window.show();
        windowtest::fill(window.sheet(), 1, 1, {{"10", "20"}, {"30", "40"}});
        runTest(window, QStringLiteral("&Chi-squared test..."), 1, 1, 2, 2);
        const ResultsView *view = windowtest::resultsView(window);
        QVERIFY(view->html().contains(QStringLiteral("<img src=\"data:image/png;base64,")));
        QAction *show = windowtest::action(window, kShow);
        QVERIFY(show && show->isCheckable() && show->isChecked());
        const QPoint spot = pictureSpot(windowtest::resultsView(window));
        QVERIFY(spot.x() >= 0);
        show->trigger();
        QVERIFY(!view->html().contains(QStringLiteral("<img")));
        QCOMPARE(view->entries().last().pictures.size(), 1);
        // Hidden, a picture is not offered for saving either.
        QVERIFY(!chooseFromContextMenu(view->viewport(), spot, kSave));
        prompts.buttonAnswers.enqueue(QMessageBox::No);  // the block typed is not kept
        QVERIFY(window.close());
    }
    MainWindow again;
    QVERIFY(!windowtest::action(again, kShow)->isChecked());
    windowtest::action(again, kShow)->trigger();
    QVERIFY(again.close());
}

void TestResultPictures::saveFromTheContextMenu()
{
    DocumentPrompts prompts;
    MainWindow window;
    window.resize(900, 800);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    resizeResults(window, 500);
    windowtest::fill(window.sheet(), 1, 1, {{"45", "72", "33"}, {"60", "55", "20"}});
    runTest(window, QStringLiteral("&Chi-squared test..."), 1, 1, 2, 3);
    ResultsView *view = windowtest::resultsView(window);
    const QPoint spot = pictureSpot(view);
    QVERIFY(spot.x() >= 0);

    // By the name's extension; a name without one is a PNG.
    for (const char *name : {"bars.svg", "bars", "bars.pdf", "bars.gif"})
        prompts.fileAnswers.enqueue(files.filePath(QString::fromLatin1(name)));
    for (int i = 0; i < 4; ++i)
        QVERIFY(chooseFromContextMenu(view->viewport(), spot, kSave));
    QCOMPARE(prompts.unplanned, 0);
    QVERIFY(QSvgRenderer(files.filePath(QStringLiteral("bars.svg"))).isValid());
    QCOMPARE(QImage(files.filePath(QStringLiteral("bars.png"))).size(), QSize(1200, 800));
    QFile pdf(files.filePath(QStringLiteral("bars.pdf")));
    QVERIFY(pdf.open(QIODevice::ReadOnly) && pdf.readAll().startsWith("%PDF-"));
    QVERIFY(!QFile::exists(files.filePath(QStringLiteral("bars.gif"))));
    // From the keyboard: the picture in view.
    prompts.fileAnswers.enqueue(files.filePath(QStringLiteral("by-key.svg")));
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, Qt::Key_P, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(QSvgRenderer(files.filePath(QStringLiteral("by-key.svg"))).isValid());
    QCOMPARE(prompts.kinds().join(u' '), QStringLiteral("save save save save warning save"));
    // The first dialog proposes the title as the name; later ones start in
    // the folder used last.
    QVERIFY(prompts.asked.at(0).text.contains(QStringLiteral("chi-squared-test-b2-d3.png|")));
    QVERIFY(prompts.asked.at(1).text.startsWith(files.path() + u'/'));
    QVERIFY(prompts.asked.at(0).text.contains(QStringLiteral("*.svg")));

    // Results > Save As: the HTML page carries the picture itself, as it is
    // shown; plain text leaves it out.
    prompts.fileAnswers.enqueue(files.filePath(QStringLiteral("report.html")));
    prompts.fileAnswers.enqueue(files.filePath(QStringLiteral("report.txt")));
    for (int i = 0; i < 2; ++i)
        QVERIFY(windowtest::trigger(window, QStringLiteral("&Save Results As...")));
    const QString page = QString::fromUtf8(windowtest::fileBytes(files.filePath(QStringLiteral("report.html"))));
    const QString prefix = QStringLiteral("<img src=\"data:image/png;base64,");
    const qsizetype at = page.indexOf(prefix) + prefix.size();
    QVERIFY(at > prefix.size());
    const QByteArray png = QByteArray::fromBase64(page.mid(at, page.indexOf(u'"', at) - at).toLatin1());
    // Shown at the pane's size, drawn large enough to read when enlarged.
    const QSize shown = window.findChild<ResultPictures *>()->pictureSize();
    const QImage embedded = QImage::fromData(png, "PNG");
    QVERIFY(embedded.width() >= std::max(600, shown.width()));
    QCOMPARE(embedded.height(), qRound(embedded.width() * double(shown.height()) / shown.width()));
    QVERIFY(page.contains(QStringLiteral("\" width=\"%1\" height=\"%2\"").arg(shown.width()).arg(shown.height())));
    const QByteArray text = windowtest::fileBytes(files.filePath(QStringLiteral("report.txt")));
    QVERIFY(text.contains("Chi-squared") && !text.contains("<img") && !text.contains("\xef\xbf\xbc"));
}

void TestResultPictures::doubleClickOpensItsWindow()
{
    DocumentPrompts prompts;
    MainWindow window;
    window.resize(900, 800);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    resizeResults(window, 500);
    windowtest::fill(window.sheet(), 1, 1, {{"300", "500"}, {nullptr, "200"}});
    runTest(window, QStringLiteral("Exact &Hardy-Weinberg..."), 1, 1, 2, 2);
    ResultsView *view = windowtest::resultsView(window);
    const QPoint spot = pictureSpot(view);
    QVERIFY(spot.x() >= 0);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, spot);
    auto *opened = window.findChild<PictureWindow *>();
    QVERIFY(opened && opened->isVisible());
    QCOMPARE(opened->windowTitle(), QStringLiteral("Exact Hardy-Weinberg test, B2:C3"));
    QCOMPARE(opened->picture(), view->entries().last().pictures.first().model);
    opened->resize(700, 420);
    QVERIFY(!opened->grab().isNull());
    // Saved from its own menu at its own shape.
    prompts.fileAnswers.enqueue(files.filePath(QStringLiteral("ternary.png")));
    QCOMPARE(opened->actions().size(), 1);
    opened->actions().first()->trigger();
    QCOMPARE(QImage(files.filePath(QStringLiteral("ternary.png"))).size(), QSize(1400, 840));
    QCOMPARE(opened->actions().first()->shortcut(), QKeySequence(QKeySequence::Save));
    // Esc closes it, as Ctrl+W does.
    QApplication::setActiveWindow(opened);
    QVERIFY(QTest::qWaitForWindowActive(opened));
    QPointer<PictureWindow> closing(opened);
    QTest::keyClick(opened, Qt::Key_Escape);
    QTRY_VERIFY(!closing);
}

// The pane made taller and shorter under a report with tables: the picture
// is laid out anew at each size, below the report's last table and lines,
// never over them.
void TestResultPictures::picturesFollowThePanesSize()
{
    MainWindow window;
    window.resize(860, 760);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    windowtest::fill(window.sheet(), 1, 1, {{"98", "412", "490"}, {"62", "358", "580"}});
    runTest(window, QStringLiteral("Genetic &models..."), 1, 1, 2, 3);
    ResultsView *view = windowtest::resultsView(window);
    QCOMPARE(view->entries().last().pictures.size(), 1);
    for (const int height : {560, 250, 420}) {
        // While the pane's edge moves the picture's line is laid out at the
        // size the picture is drawn at, never drawn larger than its line.
        window.resizeDocks({window.findChild<QDockWidget *>()}, {height}, Qt::Vertical);
        QCoreApplication::processEvents();
        QCOMPARE(laidOutPicture(view), QSizeF(view->pictureSize()));
        resizeResults(window, height);
        QTRY_COMPARE(laidOutPicture(view), QSizeF(view->pictureSize()));
        QVERIFY(view->pictureSize().height() <= view->viewport()->height() * 2 / 3 + 1);
        // Below every table and the lines after them.
        QTextDocument *document = view->document();
        const QTextCursor picture = document->find(QString(QChar::ObjectReplacementCharacter), document->characterCount(),
                                                   QTextDocument::FindBackward);
        const QTextCursor footnote = document->find(QStringLiteral("cond. MLE: conditional"), 0);
        QVERIFY(!picture.isNull() && !footnote.isNull());
        const qreal pictureTop = view->cursorRect(picture).top();
        QVERIFY(pictureTop > view->cursorRect(footnote).bottom() - 2);
        for (QTextFrame *frame : document->rootFrame()->childFrames())
            QVERIFY(document->documentLayout()->frameBoundingRect(frame).bottom() - view->verticalScrollBar()->value()
                    <= pictureTop);
    }
}

// View > Pictures in Results, off and on again, with the reader somewhere
// in the middle of twelve entries: the entry at the top of the pane stays
// there, whether its text or its picture was at the top.
void TestResultPictures::togglingKeepsTheReadersPlace_data()
{
    QTest::addColumn<bool>("inPicture");
    QTest::newRow("its text at the top") << false;
    QTest::newRow("its picture at the top") << true;
}

void TestResultPictures::togglingKeepsTheReadersPlace()
{
    QFETCH(bool, inPicture);
    MainWindow window;
    window.resize(900, 800);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto *results = window.findChild<ResultPictures *>();
    pictures::ContingencyModel bars;
    bars.title = QStringLiteral("bars");
    bars.groups = {QStringLiteral("B"), QStringLiteral("C")};
    bars.series = {QStringLiteral("Row 2")};
    bars.observed = bars.expected = {3.0, 4.0};
    bars.residual = {0.0, 0.0};
    const auto model = std::make_shared<const pictures::Picture>(bars);
    for (int i = 0; i < 12; ++i)
        results->attach(window.appendResult(QStringLiteral("<br />run %1 headline<br />a<br />b").arg(i), 0), model);
    ResultsView *view = windowtest::resultsView(window);
    const auto top = [view](int run) {
        return view->cursorRect(view->document()->find(QStringLiteral("run %1 headline").arg(run))).top();
    };
    QScrollBar *bar = view->verticalScrollBar();
    const int line = view->fontMetrics().lineSpacing();
    // Run 5's headline just below the top, or the middle of its picture at
    // the top: then run 6's headline is half a picture and two lines down.
    bar->setValue(bar->value() + top(inPicture ? 6 : 5) - (inPicture ? results->pictureSize().height() / 2 + 2 * line : line));
    const int before = top(5);
    QVERIFY(top(5) < view->viewport()->height() && top(6) > 0);
    QAction *show = windowtest::action(window, kShow);
    for (int round = 0; round < 2; ++round) {
        show->trigger();
        if (inPicture) {
            QVERIFY2(top(5) <= 0 && top(6) > 0, qPrintable(QStringLiteral("%1 %2").arg(top(5)).arg(top(6))));
        } else {
            QVERIFY2(qAbs(top(5) - before) <= 1, qPrintable(QStringLiteral("%1 %2").arg(top(5)).arg(before)));
        }
    }
    QVERIFY(show->isChecked());
}

QTEST_MAIN(TestResultPictures)
#include "test_resultpictures.moc"
