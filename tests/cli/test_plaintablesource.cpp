// Plain-count tables run from their text exactly as from the grid: the same
// check verdicts, messages, P-values and lines, for every test, with the
// tables that the grid itself must evaluate told apart.
#include "blockrun.h"
#include "gridfeeder.h"
#include "plaintablesource.h"
#include "spreadsheet.h"
#include "spreadsheetcellsource.h"
#include "stderrprompts.h"
#include "testinput.h"
#include "texttablereader.h"

#include <QBuffer>
#include <QtTest>

#include <random>

namespace {

// The tables of a text, as the tool reads them.
std::vector<TextTable> tablesOf(const QByteArray &text)
{
    QBuffer buffer;
    buffer.setData(text);
    buffer.open(QIODevice::ReadOnly);
    TextTableReader reader(buffer, FieldSeparator::Tab, QStringLiteral("t.tsv"));
    std::vector<TextTable> tables;
    for (TextTable table; reader.next(table);)
        tables.push_back(table);
    return tables;
}

TestSettings settingsFor(int kind, const char *name)
{
    TestSettings settings;
    settings.kind = kind;
    settings.name = QString::fromLatin1(name);
    return settings;
}

} // namespace

class TestPlainTableSource final : public QObject
{
    Q_OBJECT

private slots:
    void plainCounts_data();
    void plainCounts();
    void plainTables_data();
    void plainTables();
    void sameLinesAsTheGrid_data();
    void sameLinesAsTheGrid();
    void randomTablesSameAsTheGrid();
};

void TestPlainTableSource::plainCounts_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<bool>("plain");

    QTest::newRow("zero") << QStringLiteral("0") << true;
    QTest::newRow("count") << QStringLiteral("2147483647") << true;
    QTest::newRow("15 digits") << QStringLiteral("999999999999999") << true;
    // The grid shows 10^15 and beyond in exponent form.
    QTest::newRow("16 digits") << QStringLiteral("1000000000000000") << false;
    QTest::newRow("leading zero") << QStringLiteral("007") << false;
    QTest::newRow("double zero") << QStringLiteral("00") << false;
    QTest::newRow("sign") << QStringLiteral("+5") << false;
    QTest::newRow("negative") << QStringLiteral("-5") << false;
    QTest::newRow("space") << QStringLiteral(" 5") << false;
    QTest::newRow("trailing space") << QStringLiteral("5 ") << false;
    QTest::newRow("point") << QStringLiteral("5.0") << false;
    QTest::newRow("exponent") << QStringLiteral("5e2") << false;
    QTest::newRow("formula") << QStringLiteral("=5") << false;
    QTest::newRow("quoted text") << QStringLiteral("'5") << false;
    QTest::newRow("arabic-indic digit") << QStringLiteral("\u0665") << false;
    QTest::newRow("empty") << QString() << false;
}

void TestPlainTableSource::plainCounts()
{
    QFETCH(QString, field);
    QFETCH(bool, plain);
    QCOMPARE(PlainTableSource::isPlainCount(field), plain);
}

void TestPlainTableSource::plainTables_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("plain");

    QTest::newRow("genotypes") << QByteArray("10\t5\n\t3\n") << true;
    QTest::newRow("empty row") << QByteArray("10\t5\n\t\n3\t4\n") << true;
    QTest::newRow("one formula") << QByteArray("10\t=2+3\n\t3\n") << false;
    QTest::newRow("text") << QByteArray("10\tfive\n\t3\n") << false;
    QTest::newRow("spaced") << QByteArray("10\t 5\n\t3\n") << false;
    // A table the grid cannot hold is refused through the grid's path.
    QTest::newRow("27 columns") << QByteArray(QByteArray("1\t").repeated(26) + "1\n") << false;
}

void TestPlainTableSource::plainTables()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, plain);
    const std::vector<TextTable> tables = tablesOf(text);
    QCOMPARE(tables.size(), std::size_t(1));
    QCOMPARE(PlainTableSource::isPlain(tables.front()), plain);
}

void TestPlainTableSource::sameLinesAsTheGrid_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("report");

    const struct
    {
        int kind;
        const char *name;
    } tests[] = {{TestHardyW, "hwe"}, {TestFisher, "fisher"}, {TestChi2, "chi2"},
                 {TestGeneInter, "interact"}, {TestCluster, "cluster"}, {TestModels, "models"}};
    const char *tables[] = {
        "216\t949\n\t835\n",           // two alleles
        "10\t5\t0\n\t3\t2\n\t\t4\n",   // three alleles: a network
        "0\t0\n\t835\n",               // an allele in no genotype
        "10\t5\n7\t3\n",               // a count below the diagonal
        "10\t\n\t3\n",                 // an empty cell
        "107\t480\t413\n109\t469\t422\n",
        "0\t480\t413\n0\t469\t422\n",  // an empty genotype column
        "5\t0\n0\t5\n",
        "12\t7\n3\t9\n4\t6\n8\t2\n",   // 4 x 2
        "1\t2\t3\t4\n5\t6\t7\t8\n",
        "2147483647\t1\n1\t1\n",       // counts too large
        "999999999\t0\t2\n1\t3\t1\n",  // the longest count read without its text
        "3\t0\n0\t0\n",                // a row and a column of zeros
        "1\t2\t3\n4\t5\t6\n7\t8\t9\n", // cluster names are counts too
    };
    for (const auto &test : tests) {
        for (const char *table : tables) {
            for (bool report : {false, true}) {
                QTest::addRow("%s %s%s", test.name, QByteArray(table).replace('\t', ' ').replace('\n', '/').constData(),
                              report ? " report" : "")
                    << test.kind << QByteArray(test.name) << QByteArray(table) << report;
            }
        }
    }
}

void TestPlainTableSource::sameLinesAsTheGrid()
{
    QFETCH(int, kind);
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, text);
    QFETCH(bool, report);

    Spreadsheet sheet;
    StderrPrompts prompts;
    GridFeeder feeder(sheet, prompts);
    const SpreadsheetCellSource grid(&sheet);
    TestSettings settings = settingsFor(kind, name.constData());
    settings.report = report;

    const TextTable table = tablesOf(text).front();
    QVERIFY(PlainTableSource::isPlain(table));
    QString error;
    QVERIFY(feeder.place(table, &error));
    const CellBlock used = table.usedBlock();
    const CellBlock block = kind == TestCluster ? used.withoutNames() : used;
    // Escapes and characters beyond ASCII in the name of every line.
    const BlockPlace place{QStringLiteral("t\u00e9\u20ac \"q\".tsv"), 3};

    const BlockOutcome fromGrid = runBlock(grid, block, settings, place, ProgressDisplay());
    TestInput input;
    const BlockOutcome fromText =
        runBlock(PlainTableSource(table), block, settings, place, ProgressDisplay(), input, BlockThread::Main);
    QCOMPARE(fromText.line, fromGrid.line);
    QCOMPARE(fromText.ok, fromGrid.ok);

    // A worker runs it the same, or leaves it to the main thread.
    const BlockOutcome onWorker =
        runBlock(PlainTableSource(table), block, settings, place, ProgressDisplay(), input, BlockThread::Worker);
    if (!onWorker.deferred)
        QCOMPARE(onWorker.line, fromGrid.line);
    // Its line written straight as bytes, after what the buffer holds.
    QByteArray lines("before\n");
    const BlockOutcome intoBytes = runBlock(PlainTableSource(table), block, settings, place, ProgressDisplay(),
                                            input, BlockThread::Worker, &lines);
    if (!intoBytes.deferred) {
        QVERIFY(intoBytes.line.isEmpty());
        QCOMPARE(lines, "before\n" + (fromGrid.line + u'\n').toUtf8());
    }
}

// Random two-allele and 2 x 3 genotype tables, zeros included, run from
// the text and from the grid by one reused input record.
void TestPlainTableSource::randomTablesSameAsTheGrid()
{
    Spreadsheet sheet;
    StderrPrompts prompts;
    GridFeeder feeder(sheet, prompts);
    const SpreadsheetCellSource grid(&sheet);
    std::mt19937 random(20261208);
    std::uniform_int_distribution<int> count(0, 60);
    TestInput input;
    for (int i = 0; i < 300; ++i) {
        const bool hwe = i % 2 == 0;
        const TestSettings settings = hwe ? settingsFor(TestHardyW, "hwe") : settingsFor(TestFisher, "fisher");
        QByteArray text;
        if (hwe)
            text = QByteArray::number(count(random)) + '\t' + QByteArray::number(count(random)) + "\n\t"
                   + QByteArray::number(count(random)) + '\n';
        else
            for (int r = 0; r < 2; ++r)
                text += QByteArray::number(count(random)) + '\t' + QByteArray::number(count(random) / 6) + '\t'
                        + QByteArray::number(count(random)) + '\n';
        const TextTable table = tablesOf(text).front();
        QString error;
        QVERIFY(feeder.place(table, &error));
        const BlockPlace place{QStringLiteral("t.tsv"), i + 1};
        const BlockOutcome fromGrid = runBlock(grid, table.usedBlock(), settings, place, ProgressDisplay());
        const BlockOutcome fromText = runBlock(PlainTableSource(table), table.usedBlock(), settings, place,
                                               ProgressDisplay(), input, BlockThread::Worker);
        QVERIFY2(!fromText.deferred, text.constData());
        QCOMPARE(fromText.line, fromGrid.line);
    }
}

QTEST_MAIN(TestPlainTableSource)
#include "test_plaintablesource.moc"
