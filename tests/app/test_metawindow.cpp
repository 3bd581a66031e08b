// Meta-analysis in the window: the dialog's verdicts on the blocks it is
// offered, the effect allele named by column (and swapped by the dialog's
// choice, which inverts every odds ratio), the compact Results entry with
// its Hardy-Weinberg and allele marks and the methods in its grey line,
// and the forest (subgroups as blocks), funnel and leave-one-out pictures
// drawn under it.
#include "examplecatalog.h"
#include "mainwindow.h"
#include "metaplots.h"
#include "resultsview.h"
#include "seldialog.h"
#include "spreadsheet.h"
#include "windowtesthelpers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QtTest>

using windowtest::fill;

namespace {

const QString kGood = QStringLiteral("<font color=\"green\"> All is good</font>");

void select(MainWindow &window, int top, int left, int bottom, int right)
{
    window.sheet()->clearSelection();
    window.sheet()->setRangeSelected(QTableWidgetSelectionRange(top, left, bottom, right), true);
}

// Fourteen studies (examples/meta-analysis.sp) from A2, ancestry in H;
// Gomez 2011's controls are far from equilibrium, and Kato 2015 ...
void fillStudies(Spreadsheet *sheet)
{
    for (const examples::Example &example : examples::all()) {
        if (QByteArray(example.file) != "meta-analysis.sp")
            continue;
        // The example's rows below its header, from A2 as in the document.
        for (std::size_t r = 1; r < example.cells.size(); ++r)
            for (std::size_t c = 0; c < example.cells[r].size(); ++c)
                sheet->setCellFormula(int(r), int(c), QString::fromUtf8(example.cells[r][c]));
    }
}

// The allelic row's first odds ratio (Mantel-Haenszel) in the entry.
double allelicMh(const QString &html)
{
    const qsizetype at = html.indexOf(QStringLiteral("<td>Allelic</td><td>14</td><td>"));
    if (at < 0)
        return qQNaN();
    const qsizetype from = at + 31;
    return html.mid(from, html.indexOf(u' ', from) - from).toDouble();
}

} // namespace

class TestMetaWindow final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void checkMessages_data();
    void checkMessages();
    void effectColumnSwapsEveryRatio();
    void reportAndPictures();
};

void TestMetaWindow::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

// The dialog's part: the shape, the subgroup box, OK. Each refusal of the
// block itself is in test_checks.
void TestMetaWindow::checkMessages_data()
{
    QTest::addColumn<QList<int>>("block");  // top, left, bottom, right
    QTest::addColumn<bool>("subgroups");
    QTest::addColumn<QString>("message");
    QTest::newRow("genotypes") << QList<int>{1, 1, 14, 6} << false << kGood;
    QTest::newRow("with subgroups") << QList<int>{1, 1, 14, 6} << true << kGood;
    QTest::newRow("exposure") << QList<int>{20, 1, 22, 4} << false << kGood;
    QTest::newRow("one study") << QList<int>{1, 1, 1, 6} << false
                               << QStringLiteral("<font color=\"red\">A meta-analysis needs 2 studies or more</font>");
    QTest::newRow("five columns") << QList<int>{1, 1, 14, 5} << false << QStringLiteral("<font color=\"red\"> wrong Range</font>");
    QTest::newRow("no subgroup") << QList<int>{20, 1, 22, 4} << true
                                 << QStringLiteral("<font color=\"red\">Study Y1 (row 21) has no subgroup in column F</font>");
}

// The verdict follows the selection and the subgroup box; OK only for a
// block that passes.
void TestMetaWindow::checkMessages()
{
    QFETCH(QList<int>, block);
    QFETCH(bool, subgroups);
    QFETCH(QString, message);
    MainWindow window;
    window.show();
    Spreadsheet *sheet = window.sheet();
    fillStudies(sheet);
    fill(sheet, 20, 0, {{"Y1", "10", "20", "12", "25"}, {"Y2", "8", "30", "5", "33"}, {"Y3", "0", "14", "2", "16"}});
    QVERIFY(windowtest::trigger(window, QStringLiteral("Meta-&analysis...")));
    SelDialog *dialog = window.selectionDialog();
    QVERIFY(dialog->metaSubgroupCheck->isVisible());
    dialog->metaSubgroupCheck->setChecked(subgroups);
    select(window, block[0], block[1], block[2], block[3]);
    QTRY_COMPARE(dialog->messageLabel->text(), message);
    QCOMPARE(dialog->okButton->isEnabled(), message == kGood);
}

// The dialog names the counted column by letter; choosing the other
// homozygote column counts the other allele, so every pooled odds ratio
// becomes its reciprocal.
void TestMetaWindow::effectColumnSwapsEveryRatio()
{
    MainWindow window;
    window.show();
    fillStudies(window.sheet());
    QVERIFY(windowtest::trigger(window, QStringLiteral("Meta-&analysis...")));
    SelDialog *dialog = window.selectionDialog();
    select(window, 1, 1, 14, 6);
    QCOMPARE(dialog->metaEffectCombo->itemText(0), QStringLiteral("Effect allele: the one counted by columns D and G"));
    QCOMPARE(dialog->metaEffectCombo->itemText(1), QStringLiteral("Effect allele: the one counted by columns B and E"));
    dialog->metaModelCombo->setCurrentIndex(1);  // allelic
    QTest::mouseClick(dialog->okButton, Qt::LeftButton);
    const double counted = allelicMh(windowtest::lastMessage(window));
    QVERIFY(windowtest::lastMessage(window).contains(QStringLiteral("counted by columns D and G")));

    QVERIFY(windowtest::trigger(window, QStringLiteral("Meta-&analysis...")));
    QCOMPARE(dialog->metaEffectCombo->currentIndex(), 0);  // offered afresh
    dialog->metaModelCombo->setCurrentIndex(1);
    dialog->metaEffectCombo->setCurrentIndex(1);
    QTRY_COMPARE(dialog->messageLabel->text(), kGood);
    QTest::mouseClick(dialog->okButton, Qt::LeftButton);
    const double other = allelicMh(windowtest::lastMessage(window));
    QVERIFY(windowtest::lastMessage(window).contains(QStringLiteral("counted by columns B and E")));
    QVERIFY2(counted > 1.2 && std::fabs(counted * other - 1.0) < 2e-3, qPrintable(QString::number(counted * other)));
}

// All models: one row each in a report that fits the pane, the HWE and
// allele flags, the methods in the grey line; a forest plot per model
// (subgroups as blocks with their diamonds), then the funnel and
// leave-one-out plots of the first.
void TestMetaWindow::reportAndPictures()
{
    MainWindow window;
    window.show();
    fillStudies(window.sheet());
    QVERIFY(windowtest::trigger(window, QStringLiteral("Meta-&analysis...")));
    SelDialog *dialog = window.selectionDialog();
    dialog->metaSubgroupCheck->setChecked(true);
    select(window, 1, 1, 14, 6);
    QTRY_COMPARE(dialog->messageLabel->text(), kGood);
    QTest::mouseClick(dialog->okButton, Qt::LeftButton);

    const QString text = windowtest::lastMessage(window);
    QVERIFY(text.contains(QStringLiteral("Meta-analysis of 14 studies, 95% confidence level")));
    QVERIFY2(text.contains(QStringLiteral("Controls out of Hardy-Weinberg equilibrium (P &lt; 0.05): Gomez 2011")), qPrintable(text));
    for (const char *model : {"Allelic", "Dominant", "Recessive", "Overdominant", "Heterozygote (1 vs 0)",
                              "Homozygote (2 vs 0)"})
        QVERIFY(text.contains(QStringLiteral("<td>%1</td><td>14</td>").arg(QLatin1String(model))));
    const ResultsView *view = windowtest::resultsView(window);
    const ResultsView::Entry &entry = view->entries().last();
    QVERIFY2(entry.context.contains(QStringLiteral("Meta-analysis")) && entry.context.contains(QStringLiteral("REML")),
             qPrintable(entry.context));

    QCOMPARE(entry.pictures.size(), 8);
    for (int i = 0; i < 6; ++i)
        QVERIFY(std::holds_alternative<pictures::MetaForestModel>(*entry.pictures.at(i).model));
    const auto &forest = std::get<pictures::MetaForestModel>(*entry.pictures.at(0).model);
    // Two ancestry blocks, each a heading, its studies and its diamond,
    // then the fixed and the random diamond with its prediction interval.
    int headings = 0, diamonds = 0, studies = 0;
    for (const pictures::MetaForestRow &row : forest.rows) {
        headings += row.kind == pictures::MetaForestRow::Kind::Heading;
        diamonds += row.kind == pictures::MetaForestRow::Kind::Diamond;
        studies += row.kind == pictures::MetaForestRow::Kind::Study;
    }
    QCOMPARE(headings, 2);
    QCOMPARE(studies, 14);
    QCOMPARE(diamonds, 4);
    QVERIFY(forest.rows.back().predictionLow > 0.0 && forest.rows.back().predictionHigh > forest.rows.back().high);
    QVERIFY(forest.footer.join(u' ').contains(QStringLiteral("Subgroup differences")));
    // Squares' areas follow the weights.
    const pictures::MetaForestLayout layout =
        pictures::layoutMetaForest(forest, QRectF(0, 0, 900, 700), window.font());
    double ratio = -1.0;
    for (std::size_t i = 0; i < forest.rows.size(); ++i) {
        if (forest.rows[i].kind != pictures::MetaForestRow::Kind::Study)
            continue;
        const QRectF square = layout.squares[i];
        const double r = square.width() * square.height() / forest.rows[i].weight;
        if (ratio < 0.0)
            ratio = r;
        else if (square.width() > 3.5)
            QVERIFY2(std::fabs(r / ratio - 1.0) < 1e-6, qPrintable(forest.rows[i].label));
    }
    const auto &funnel = std::get<pictures::FunnelModel>(*entry.pictures.at(6).model);
    QVERIFY(funnel.points.size() >= 14);
    QVERIFY(std::get<pictures::MetaForestModel>(*entry.pictures.at(7).model).title.contains(QStringLiteral("leave-one-out")));
    QTRY_COMPARE(view->horizontalScrollBar()->maximum(), 0);
}

QTEST_MAIN(TestMetaWindow)
#include "test_metawindow.moc"
