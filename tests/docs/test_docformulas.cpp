// The formulas the Methods and Citations page and the User Guide state
// where a method changed: both say the same, and the program computes what
// they say. Read from the sources the help is built from.
#include "checks.h"
#include "contingencyruns.h"
#include "fakegrid.h"

#include <QFile>
#include <QRegularExpression>
#include <QtTest>

namespace {

QString sourceText(const char *path)
{
    QFile file(QStringLiteral(VELMORA_SOURCE_DIR "/") + QString::fromLatin1(path));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// Line breaks inside a paragraph are spaces.
QString flowed(const QString &markdown)
{
    QString text = markdown;
    text.replace(QRegularExpression(QStringLiteral("\\s+")), QStringLiteral(" "));
    return text;
}

QString six(double value)
{
    return QString::number(value, 'g', 6);
}

} // namespace

class TestDocFormulas final : public QObject
{
    Q_OBJECT

private slots:
    void pagesAgree_data();
    void pagesAgree();
    void programComputesWhatTheySay_data();
    void programComputesWhatTheySay();
};

// Each row: a pattern whose first group is the formula or figure; both
// pages must state it, and state the same.
void TestDocFormulas::pagesAgree_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::newRow("Yates: what is taken from |O - E|")
        << QStringLiteral("\\|O - E\\| (?:is )?reduced by (min\\(0\\.5, \\|O - E\\|\\)) before it is squared");
    QTest::newRow("Yates: 2 x 2 only") << QStringLiteral("\"Yates correction\" (?:can be ticked for a )?\\(?(2 x 2)");
    QTest::newRow("Yates: as R does") << QStringLiteral("(R's `chisq.test` and scipy)");
    QTest::newRow("the old formula's sparse table")
        << QStringLiteral("(1573, 3 / 4, 0 gave P = [0-9.e+-]+ where the correction gives [0-9]+(?:\\.[0-9]+)?)");
}

void TestDocFormulas::pagesAgree()
{
    QFETCH(QString, pattern);
    const QRegularExpression expression(pattern);
    const QRegularExpressionMatch readme = expression.match(flowed(sourceText("README.md")));
    const QRegularExpressionMatch methods = expression.match(flowed(sourceText("docs/methods.md")));
    QVERIFY2(readme.hasMatch(), "README.md");
    QVERIFY2(methods.hasMatch(), "docs/methods.md");
    QCOMPARE(methods.captured(1), readme.captured(1));
    // The formula before the mend is stated as the past, never as the rule.
    QVERIFY(!flowed(sourceText("docs/methods.md")).contains(QStringLiteral("0.5 is taken from every |O - E| before")));
}

// The tables the pages give as examples, through the dialog's check and
// the run: the statistic and P as the pages print them.
void TestDocFormulas::programComputesWhatTheySay_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("pattern");  // groups: the X^2 (optional) and P stated
    QTest::newRow("sparse table, corrected")
        << QStringLiteral("A1:1573,3|4,0") << QStringLiteral("1573, 3 / 4, 0 gave P = [0-9.e+-]+ where the correction gives ()([0-9]+(?:\\.[0-9]+)?)");
    QTest::newRow("every |O - E| above 0.5")
        << QStringLiteral("A1:10,20|30,40")
        << QStringLiteral("10, 20 / 30, 40 still gives X2 = ([0-9]+\\.[0-9]+) and P = ([0-9]+\\.[0-9]+)");
}

void TestDocFormulas::programComputesWhatTheySay()
{
    QFETCH(QString, table);
    QFETCH(QString, pattern);
    const QRegularExpressionMatch stated = QRegularExpression(pattern).match(flowed(sourceText("README.md")));
    QVERIFY(stated.hasMatch());
    const FakeGrid grid(table);
    TestInput input;
    input.nRows = 2;
    input.nCols = 2;
    input.yates = true;
    QVERIFY(checkTestRange(TestChi2, grid, input).ok);
    QVERIFY(input.yates);
    const Chi2Run run = runChi2Test(input, grid);
    QCOMPARE(run.status, 0);
    if (!stated.captured(1).isEmpty())
        QCOMPARE(six(run.x2), stated.captured(1));
    QCOMPARE(six(run.pValue), stated.captured(2));
}

QTEST_MAIN(TestDocFormulas)
#include "test_docformulas.moc"
