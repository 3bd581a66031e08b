// The example documents as a new user meets them: each opens, its block
// passes the test dialog's check and the test gives the P-value that the
// README states; the committed files are what the generator writes.
//
// The stated P-values were also computed independently by
// reference_pvalues.py (exact enumeration with fractions, closed-form
// chi-squared tails), which agrees with them to all six printed digits.
#include "calcpoll.h"
#include "clusterrun.h"
#include "contingencyruns.h"
#include "checks.h"
#include "examplecatalog.h"
#include "fisherrun.h"
#include "metarun.h"
#include "ldrun.h"
#include "haplotypesrun.h"
#include "spreadsheet.h"
#include "spreadsheetcellsource.h"
#include "uiprompts.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <map>

namespace {

const QString kSourceDir = QStringLiteral(VELMORA_SOURCE_DIR);

// The P-value of each example as the Results window prints it (six
// significant digits); D' for two-locus LD, which has none. The README's
// table states the same texts.
const std::map<QString, QString> &expectedPValues()
{
    static const std::map<QString, QString> values = {
        {QStringLiteral("chi-squared.sp"), QStringLiteral("0.0369965")},
        {QStringLiteral("fisher-2xn.sp"), QStringLiteral("0.00261269")},
        {QStringLiteral("hardy-weinberg.sp"), QStringLiteral("0.0732548")},
        {QStringLiteral("gene-interaction.sp"), QStringLiteral("0.0373661")},
        {QStringLiteral("risk-cluster.sp"), QStringLiteral("0.00586002")},
        {QStringLiteral("formulas-allelic.sp"), QStringLiteral("0.0108773")},
        {QStringLiteral("two-locus-ld.sp"), QStringLiteral("0.549938")},
        {QStringLiteral("haplotypes.sp"), QStringLiteral("0.00762693")},
        {QStringLiteral("meta-analysis.sp"), QStringLiteral("2.58551e-10")},
    };
    return values;
}

// A failed read must fail the test, not wait for a click on a message box.
class RecordedWarnings final : public UiPrompts
{
public:
    QMessageBox::StandardButton warning(QWidget *, const QString &, const QString &text,
                                        QMessageBox::StandardButtons) override
    {
        last = text;
        return QMessageBox::Ok;
    }
    QString last;
};

// The run's report, its headline figure (the P-value; D' for LD) in pValue.
RunReport runExample(int kind, const TestInput &in, const CellSource &grid)
{
    switch (kind) {
    case TestLd: {
        const LdRun ld = runLdTest(in);
        RunReport report = ld;
        report.pValue = ld.figures.dprime;
        return report;
    }
    case TestChi2:
        return runChi2Test(in, grid);
    case TestFisher:
        return runFisherTest(in, {});
    case TestHardyW:
        return runHardyWeinbergTest(in, {});
    case TestGeneInter:
        return runGeneInteractionTest(in);
    case TestCluster:
        return runRiskCluster(in, {});
    case TestMeta:
        return runMetaAnalysis(in.meta);
    case TestHaplotypes:
        // The global P is the asymptotic one, which no seed changes.
        return runHaplotypesTest(in, 1, {});
    default:
        return {};
    }
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestExamples final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void everyDocumentIsListed();
    void examples_data();
    void examples();
    void documentsAreCurrent();

private:
    RecordedWarnings prompts;
    QString readme;
};

void TestExamples::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    calcApplication = QCoreApplication::instance();
    UiPrompts::install(&prompts);
    readme = QString::fromUtf8(readAll(kSourceDir + QStringLiteral("/README.md")));
    QVERIFY(!readme.isEmpty());
}

void TestExamples::cleanupTestCase()
{
    UiPrompts::install(nullptr);
}

// A document added to examples/ without a catalog entry and a stated value
// would go unchecked.
void TestExamples::everyDocumentIsListed()
{
    QStringList listed;
    for (const examples::Example &e : examples::all()) {
        listed << QString::fromUtf8(e.file);
        QVERIFY2(expectedPValues().count(listed.last()), e.file);
    }
    listed.sort();
    const QStringList present =
        QDir(kSourceDir + QStringLiteral("/examples")).entryList({QStringLiteral("*.sp")}, QDir::Files, QDir::Name);
    QCOMPARE(present, listed);
    QCOMPARE(expectedPValues().size(), size_t(listed.size()));
}

void TestExamples::examples_data()
{
    QTest::addColumn<int>("index");
    for (int i = 0; i < int(examples::all().size()); ++i)
        QTest::newRow(examples::all()[i].file) << i;
}

void TestExamples::examples()
{
    QFETCH(int, index);
    const examples::Example &example = examples::all()[index];
    const QString file = QString::fromUtf8(example.file);
    const QString pValue = expectedPValues().at(file);

    Spreadsheet sheet;
    prompts.last.clear();
    QVERIFY2(sheet.readSheet(kSourceDir + QStringLiteral("/examples/") + file), qPrintable(prompts.last));

    // The record as the dialog fills it from the selection and its options.
    const examples::Block block = examples::parseBlock(QString::fromUtf8(example.block));
    TestInput in;
    in.topRow = block.top;
    in.leftCol = block.left;
    in.nRows = block.bottom - block.top + 1;
    in.nCols = block.right - block.left + 1;
    in.yates = example.yates;
    in.accuracy = example.accuracy;
    in.metaSubgroups = example.subgroups;
    const SpreadsheetCellSource grid(&sheet);
    const CheckResult verdict = checkTestRange(example.kind, grid, in);
    QCOMPARE(verdict.message, QStringLiteral("<font color=\"green\"> All is good</font>"));
    QVERIFY(verdict.ok);
    if (example.yates)
        QVERIFY2(verdict.yatesEnabled && in.yates, "the Yates box must be available for this block");

    const RunReport report = runExample(example.kind, in, grid);
    QCOMPARE(report.isError, 0);
    QCOMPARE(report.status, 0);
    QCOMPARE(QString::number(report.pValue, 'g', 6), pValue);
    // The Results window shows the same text.
    QVERIFY2(report.message.contains(pValue), qPrintable(report.message));

    // The README's row of this example states the same data, block and value.
    const QString fileCell = QStringLiteral("`") + file + QStringLiteral("`");
    const QStringList lines = readme.split(u'\n');
    const auto row = std::find_if(lines.begin(), lines.end(), [&](const QString &line) {
        return line.startsWith(u'|') && line.contains(fileCell);
    });
    QVERIFY2(row != lines.end(), qPrintable(QStringLiteral("README.md has no row for ") + file));
    QVERIFY2(row->contains(QStringLiteral("| ") + QString::fromUtf8(example.title) + QStringLiteral(" |")), qPrintable(*row));
    QVERIFY2(row->contains(QStringLiteral("`") + QString::fromUtf8(example.block) + QStringLiteral("`")), qPrintable(*row));
    QVERIFY2(row->contains(QStringLiteral("| ") + pValue + QStringLiteral(" |")), qPrintable(*row));
    QCOMPARE(row->contains(QStringLiteral("Yates correction")), example.yates);
}

// The committed documents are byte for byte what the generator writes now.
void TestExamples::documentsAreCurrent()
{
    QTemporaryDir out;
    QVERIFY(out.isValid());
    QProcess generator;
    generator.start(QStringLiteral(VELMORA_MAKE_EXAMPLES), {out.path()});
    QVERIFY(generator.waitForFinished(120000));
    QVERIFY2(generator.exitStatus() == QProcess::NormalExit && generator.exitCode() == 0,
             generator.readAllStandardError().constData());
    for (const examples::Example &e : examples::all()) {
        const QString file = QString::fromUtf8(e.file);
        const QByteArray fresh = readAll(out.filePath(file));
        QVERIFY2(!fresh.isEmpty(), e.file);
        QVERIFY2(fresh == readAll(kSourceDir + QStringLiteral("/examples/") + file),
                 qPrintable(file + QStringLiteral(" differs from the generator's output: run velmora_make_examples examples")));
    }
}

QTEST_MAIN(TestExamples)
#include "test_examples.moc"
