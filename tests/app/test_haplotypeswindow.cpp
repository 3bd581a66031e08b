// Haplotypes in the window: the dialog's options and verdicts, the report
// with the figures the engine gives for the same block, and the picture
// of paired bars and odds ratios under the entry.
#include "haplotypesrun.h"
#include "mainwindow.h"
#include "resultsview.h"
#include "seldialog.h"
#include "spreadsheet.h"
#include "windowtesthelpers.h"

#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

namespace {

const QString kMenu = QStringLiteral("Haplot&ypes...");
const QString kGood = QStringLiteral("<font color=\"green\"> All is good</font>");

// 60 individuals, three SNPs as allele pairs under their names in row 1,
// the status in column E: haplotypes C-A-T and T-G-G mostly, the second
// commoner in cases.
void fillBlock(Spreadsheet *sheet)
{
    sheet->setCellFormula(0, 1, QStringLiteral("rs11"));
    sheet->setCellFormula(0, 2, QStringLiteral("rs12"));
    sheet->setCellFormula(0, 3, QStringLiteral("rs13"));
    const char *first[3] = {"C", "A", "T"};
    const char *second[3] = {"T", "G", "G"};
    for (int i = 0; i < 60; ++i) {
        const bool isCase = i < 30;
        // Copies of the second haplotype: cases 0, 1, 2 in turn; controls
        // mostly none; every seventh individual recombinant at rs13.
        const int copies = isCase ? i % 3 : (i % 4 == 0 ? 1 : 0);
        for (int j = 0; j < 3; ++j) {
            QString a = QString::fromLatin1(copies >= 1 ? second[j] : first[j]);
            QString b = QString::fromLatin1(copies >= 2 ? second[j] : first[j]);
            if (j == 2 && i % 7 == 3)
                b = QString::fromLatin1(a == u"T" ? "G" : "T");
            sheet->setCellFormula(1 + i, 1 + j, a + u'/' + b);
        }
        sheet->setCellFormula(1 + i, 4, QString::fromLatin1(isCase ? "case" : "control"));
    }
}

void select(MainWindow &window, int top, int left, int bottom, int right)
{
    window.sheet()->clearSelection();
    window.sheet()->setRangeSelected(QTableWidgetSelectionRange(top, left, bottom, right), true);
}

} // namespace

class TestHaplotypesWindow final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void dialogReportAndPicture();
};

void TestHaplotypesWindow::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void TestHaplotypesWindow::dialogReportAndPicture()
{
    MainWindow window;
    window.setSeedSource([] { return quint64(20261210); });
    window.resize(900, 700);
    window.show();
    fillBlock(window.sheet());
    QVERIFY(windowtest::trigger(window, kMenu));
    SelDialog *dialog = window.selectionDialog();
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Haplotypes"));
    QVERIFY(dialog->haplotypeBox->isVisible());
    QVERIFY(!dialog->confLevelBox->isVisible());
    QCOMPARE(dialog->startsSpin->value(), 20);
    QCOMPARE(dialog->permutationsSpin->value(), 1000);
    QCOMPARE(dialog->rareSpin->value(), 0.01);

    // Without the status column the last SNP is read as one.
    select(window, 1, 1, 60, 3);
    QCOMPARE(dialog->messageLabel->text(),
             QStringLiteral("<font color=\"red\">Cell D2: the last column says case or control (or 2 and 1)</font>"));
    QVERIFY(!dialog->okButton->isEnabled());
    select(window, 1, 1, 60, 4);
    QCOMPARE(dialog->messageLabel->text(), kGood);

    dialog->permutationsSpin->selectAll();
    QTest::keyClicks(dialog->permutationsSpin, QStringLiteral("200"));
    QCOMPARE(dialog->input.permutations, qint64(200));
    QStringList options = dialog->optionSummary();
    QCOMPARE(options, windowtest::strings({"20 starts", "200 permutations", "rare below 0.01"}));
    const TestInput input = dialog->input;
    QTest::mouseClick(dialog->okButton, Qt::LeftButton);

    // The engine on the same block with the window's seed: the report
    // matches it to the digit.
    const HaplotypesRun engine = runHaplotypesTest(input, 20261210, {});
    QCOMPARE(engine.status, 0);
    const QString message = windowtest::lastMessage(window);
    QVERIFY2(message.contains(QStringLiteral("<br />Haplotypes of 3 SNPs (rs11, rs12, rs13), global test <b>P-VALUE = %1</b>")
                                  .arg(QString::number(engine.figures.p, 'g', 6))),
             qPrintable(message));
    QVERIFY(message.contains(QStringLiteral("<br />60 individuals: 30 cases, 30 controls")));
    QVERIFY(message.contains(QStringLiteral("200 permutations, seed 20261210")));
    const HaplotypeEntry &top = engine.figures.entries.front();
    QVERIFY(message.contains(QStringLiteral("<tr><td>%1</td><td>%2</td>")
                                 .arg(haplotypeName(top, engine.labels, 3), QString::number(top.freq, 'f', 4))));
    // The grey line states the options and the seed.
    const QString html = windowtest::reportHtml(window);
    QVERIFY(html.contains(QStringLiteral("Haplotypes, 20 starts, 200 permutations, rare below 0.01, seed 20261210")));

    const QList<ResultsView::Picture> &shown = windowtest::resultsView(window)->entries().last().pictures;
    QCOMPARE(shown.size(), 1);
    const auto &model = std::get<pictures::HaplotypeModel>(*shown.first().model);
    QCOMPARE(model.rows.size(), engine.figures.entries.size());
    for (std::size_t e = 0; e < model.rows.size(); ++e) {
        const HaplotypeEntry &entry = engine.figures.entries[e];
        QCOMPARE(model.rows[e].label, entry.rare ? QStringLiteral("rare (%1)").arg(entry.pooled)
                                                 : haplotypeName(entry, engine.labels, 3));
        QVERIFY(std::fabs(model.cases[e] - entry.freqCases) <= 1e-9);
        QVERIFY(std::fabs(model.controls[e] - entry.freqControls) <= 1e-9);
        // The same ratio, infinite or missing where the engine's is.
        const double ratio = model.rows[e].estimate;
        QVERIFY(ratio == entry.oddsRatio || (std::isnan(ratio) && std::isnan(entry.oddsRatio))
                || std::fabs(ratio - entry.oddsRatio) <= 1e-9 * entry.oddsRatio);
    }
    QCOMPARE(model.rows.front().label, QStringLiteral("CAT"));

    // The next opening offers the defaults again.
    QVERIFY(windowtest::trigger(window, kMenu));
    QCOMPARE(dialog->permutationsSpin->value(), 1000);
}

QTEST_MAIN(TestHaplotypesWindow)
#include "test_haplotypeswindow.moc"
