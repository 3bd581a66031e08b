// Two-locus LD in the window: the dialog's verdicts on a 3 x 3 block, and
// the report of a run with its figures as the engine gives them (every
// root listed where the cubic has three), Copy keeping its tables.
#include "ldrun.h"
#include "mainwindow.h"
#include "reporttext.h"
#include "seldialog.h"
#include "spreadsheet.h"
#include "windowtesthelpers.h"

#include <QClipboard>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QtTest>

using windowtest::fill;

namespace {

const QString kGood = QStringLiteral("<font color=\"green\"> All is good</font>");

QString red(const char *text)
{
    return QStringLiteral("<font color=\"red\">") + QString::fromLatin1(text) + QStringLiteral("</font>");
}

void select(MainWindow &window, int top, int left, int bottom, int right)
{
    window.sheet()->clearSelection();
    window.sheet()->setRangeSelected(QTableWidgetSelectionRange(top, left, bottom, right), true);
}

} // namespace

class TestLdWindow final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void checkMessages_data();
    void checkMessages();
    void reportOfARun_data();
    void reportOfARun();
};

void TestLdWindow::checkMessages_data()
{
    QTest::addColumn<QList<int>>("block");  // top, left, bottom, right
    QTest::addColumn<QString>("message");
    QTest::newRow("3 x 3") << QList<int>{1, 1, 3, 3} << kGood;
    QTest::newRow("2 x 3") << QList<int>{1, 1, 2, 3} << red(" wrong Range");
    QTest::newRow("one allele down") << QList<int>{5, 1, 7, 3} << red("One allele at the locus of the rows");
}

void TestLdWindow::checkMessages()
{
    QFETCH(QList<int>, block);
    QFETCH(QString, message);
    MainWindow window;
    window.show();
    Spreadsheet *sheet = window.sheet();
    fill(sheet, 1, 1, {{"2", "1", "6"}, {"0", "34", "1"}, {"1", "7", "8"}});
    fill(sheet, 5, 1, {{"0", "0", "0"}, {"0", "0", "0"}, {"4", "5", "6"}});
    QVERIFY(windowtest::trigger(window, QStringLiteral("Two-locus &LD...")));
    SelDialog *dialog = window.selectionDialog();
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Two-locus LD"));
    select(window, block[0], block[1], block[2], block[3]);
    QCOMPARE(dialog->messageLabel->text(), message);
    QCOMPARE(dialog->okButton->isEnabled(), message == kGood);
}

void TestLdWindow::reportOfARun_data()
{
    QTest::addColumn<QStringList>("counts");  // rows of the block, cells by commas
    QTest::addColumn<int>("roots");
    QTest::newRow("three roots") << QStringList{QStringLiteral("2,1,6"), QStringLiteral("0,34,1"), QStringLiteral("1,7,8")} << 3;
    QTest::newRow("no double heterozygotes") << QStringList{QStringLiteral("10,5,2"), QStringLiteral("4,0,3"), QStringLiteral("1,2,8")} << 1;
}

void TestLdWindow::reportOfARun()
{
    QFETCH(QStringList, counts);
    QFETCH(int, roots);
    MainWindow window;
    window.show();
    twolocus::Counts table;
    for (int r = 0; r < 3; ++r) {
        const QStringList cells = counts.at(r).split(u',');
        for (int c = 0; c < 3; ++c) {
            window.sheet()->setCellFormula(1 + r, 1 + c, cells.at(c));
            table.n[r][c] = cells.at(c).toLongLong();
        }
    }
    QVERIFY(windowtest::trigger(window, QStringLiteral("Two-locus &LD...")));
    select(window, 1, 1, 3, 3);
    QCOMPARE(window.selectionDialog()->messageLabel->text(), kGood);
    QTest::mouseClick(window.selectionDialog()->okButton, Qt::LeftButton);

    twolocus::Figures f;
    QCOMPARE(twolocus::estimate(table, &f), twolocus::Status::Ok);
    QCOMPARE(int(f.roots.size()), roots);
    const QString text = windowtest::lastMessage(window);
    const auto six = [](double v) { return QString::number(v, 'g', 6); };
    QVERIFY2(text.contains(QStringLiteral("<b>D' = %1</b> (95% likelihood bounds %2 to %3), r<sup>2</sup> = %4, D = %5, LOD = %6")
                               .arg(six(f.dprime), six(f.dprimeLow), six(f.dprimeHigh), six(f.r2), six(f.d), six(f.lod))),
             qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("Locus A: rows 2 to 4 of the block")));
    QVERIFY(text.contains(QStringLiteral("columns B to D")));
    if (roots > 1) {
        QVERIFY(text.contains(QStringLiteral("The cubic for the double heterozygotes has 3 roots")));
        for (const twolocus::Root &root : f.roots)
            QVERIFY(text.contains(QStringLiteral("<td>") + QString::number(root.loglik, 'f', 4) + QStringLiteral("</td>")));
    } else {
        QVERIFY(text.contains(QStringLiteral("One root of the cubic in the valid range")));
    }
    // Copy gives the plain text a row per line.
    windowtest::trigger(window, QStringLiteral("&Copy Results"));
    const QString plain = QGuiApplication::clipboard()->mimeData()->text();
    QVERIFY2(plain.contains(QStringLiteral("Frequency\t") + six(f.haplotypes[0]) + u'\t' + six(f.haplotypes[1])), qPrintable(plain));
}

QTEST_MAIN(TestLdWindow)
#include "test_ldwindow.moc"
