// velmora-cli as a user runs it: the built executable on files in a
// temporary folder. The P-values are those of the application's reports
// for the same tables (the examples of its documentation), cross-checked by
// tests/cli/cli_reference.py, which enumerates every table with the
// observed margins in exact rational arithmetic; they are compared at the
// six significant digits that a report shows.
#include "clitestbase.h"

#include <QJsonArray>

#include <csignal>
#include <cmath>
#include <sys/resource.h>

using namespace clitest;

class TestCli final : public CliTestBase
{
    Q_OBJECT

private slots:
    void initTestCase();
    void examples_data();
    void examples();
    void documentsAndRanges();
    void inputForms();
    void batchOfGenotypeTables();
    void batchSameForAnyThreads_data();
    void batchSameForAnyThreads();
    void rejectedBlocks();
    void valuesShowsDisplayedTexts();
    void emptyTextsAreEmptyCells();
    void nulMakesText();
    void usageErrors_data();
    void usageErrors();
    void interruptStopsTheRun();
    void interruptStopsTheBatchInOrder();
    void maxMemoryCapsOneRun();
    void monteCarlo_data();
    void monteCarlo();
    void monteCarloSeeds();
    void monteCarloStreamPerTable();

private:
    CliRun interrupt(const QString &file);
};

void TestCli::initTestCase()
{
    QVERIFY(dir.isValid());
    QVERIFY(QFileInfo(QStringLiteral(VELMORA_CLI_PATH)).isExecutable());
}

void TestCli::examples_data()
{
    QTest::addColumn<QString>("test");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("table");
    QTest::addColumn<QString>("pValue");   // as the report shows it
    QTest::addColumn<QString>("range");

    const QStringList none;
    QTest::newRow("chi2") << QStringLiteral("chi2") << none << QByteArray("10\t20\n30\t40\n")
                          << QStringLiteral("0.372998") << QStringLiteral("A1:B2");
    QTest::newRow("chi2 yates") << QStringLiteral("chi2") << QStringList{QStringLiteral("--yates")}
                                << QByteArray("10\t20\n30\t40\n") << QStringLiteral("0.504036")
                                << QStringLiteral("A1:B2");
    // |O - E| below 0.5 is corrected to 0, not past it: R's chisq.test gives
    // P = 0.99999999999903866 (X2 = 1.5e-24, rounding) and P = 1 (X2 = 0).
    QTest::newRow("chi2 yates sparse") << QStringLiteral("chi2") << QStringList{QStringLiteral("--yates")}
                                       << QByteArray("1573\t3\n4\t0\n") << QStringLiteral("1")
                                       << QStringLiteral("A1:B2");
    QTest::newRow("chi2 yates no deviation") << QStringLiteral("chi2") << QStringList{QStringLiteral("--yates")}
                                             << QByteArray("1\t2\n1\t2\n") << QStringLiteral("1")
                                             << QStringLiteral("A1:B2");
    QTest::newRow("chi2 2x3") << QStringLiteral("chi2") << none << QByteArray("12\t5\t7\n3\t9\t14\n")
                              << QStringLiteral("0.0122144") << QStringLiteral("A1:C2");
    QTest::newRow("fisher") << QStringLiteral("fisher") << none << QByteArray("5\t0\t1\n0\t5\t4\n")
                            << QStringLiteral("0.00599401") << QStringLiteral("A1:C2");
    QTest::newRow("hwe 2x2 triangular") << QStringLiteral("hwe") << none << QByteArray("10\t5\n\t3\n")
                                        << QStringLiteral("0.254198") << QStringLiteral("A1:B2");
    QTest::newRow("hwe 3x3") << QStringLiteral("hwe") << none
                             << QByteArray("5\t3\t2\n\t4\t1\n\t\t2\n") << QStringLiteral("0.0494577")
                             << QStringLiteral("A1:C3");
    QTest::newRow("interact") << QStringLiteral("interact") << none
                              << QByteArray("10\t5\n3\t12\n6\t8\n9\t4\n") << QStringLiteral("0.011015")
                              << QStringLiteral("A1:B4");
    QTest::newRow("cluster") << QStringLiteral("cluster") << none
                             << QByteArray("\tF1\tF2\tF3\tF4\nCases\t10\t0\t25\t12\n"
                                           "Controls\t30\t7\t15\t28\n")
                             << QStringLiteral("0.000143397") << QStringLiteral("B2:E3");
}

// JSON and --report give the report's P-value for the same block.
void TestCli::examples()
{
    QFETCH(QString, test);
    QFETCH(QStringList, options);
    QFETCH(QByteArray, table);
    QFETCH(QString, pValue);
    QFETCH(QString, range);

    const QString file = write(test + QStringLiteral(".tsv"), table);
    const CliRun json = run(QStringList{test} + options + QStringList{file});
    QCOMPARE(json.exitCode, 0);
    QCOMPARE(json.lines().size(), 1);
    const QJsonObject result = json.json();
    QCOMPARE(result.value(QStringLiteral("file")).toString(), file);
    QCOMPARE(result.value(QStringLiteral("table")).toInt(), 1);
    QCOMPARE(result.value(QStringLiteral("range")).toString(), range);
    QCOMPARE(result.value(QStringLiteral("test")).toString(), test);
    QCOMPARE(result.value(QStringLiteral("status")).toInt(-1), 0);
    QCOMPARE(sixDigits(result.value(QStringLiteral("p")).toDouble()), pValue);

    const CliRun report = run(QStringList{test, QStringLiteral("--report")} + options + QStringList{file});
    QCOMPARE(report.exitCode, 0);
    QCOMPARE(report.lines().size(), 1);
    const QString entry = QString::fromUtf8(report.lines().first());
    QVERIFY2(entry.startsWith(QStringLiteral("<font size=\"+1\" color=\"darkblue\"><br /><b>___")),
             qPrintable(entry));
    const QString shown = test == u"cluster" ? QStringLiteral("<TD>P-value</TD><TD>%1</TD>").arg(pValue)
                                             : QStringLiteral("P-VALUE = %1</b>").arg(pValue);
    QVERIFY2(entry.contains(shown), qPrintable(entry));

    if (test == u"chi2") {
        // df = 1 for 2 x 2: the tail is erfc(sqrt(x2 / 2)).
        const double x2 = result.value(QStringLiteral("x2")).toDouble();
        const int df = result.value(QStringLiteral("df")).toInt();
        QCOMPARE(df, range == u"A1:C2" ? 2 : 1);
        if (df == 1)
            QVERIFY(std::fabs(std::erfc(std::sqrt(x2 / 2)) - result.value(QStringLiteral("p")).toDouble()) < 1e-12);
        QCOMPARE(result.value(QStringLiteral("yates")).toBool(), options.contains(QStringLiteral("--yates")));
    }
    if (test == u"fisher") {
        QCOMPARE(result.value(QStringLiteral("variant")).toString(), QStringLiteral("exact"));
        QCOMPARE(result.value(QStringLiteral("accuracy")).toInt(-1), 0);
        // Exactly 6/1001 (cli_reference.py); the network sums in doubles.
        QVERIFY(std::fabs(result.value(QStringLiteral("p")).toDouble() - 6.0 / 1001.0) < 1e-15);
        // "variant" names the variant that gave the value: at 1 digit the
        // approximation; at 3 the tables that tie with the observed one
        // weigh more than 10^-3, and the exact variant runs.
        for (const int digits : {1, 3}) {
            const CliRun approximate = run({test, QStringLiteral("--accuracy"), QString::number(digits), file});
            QCOMPARE(approximate.exitCode, 0);
            QCOMPARE(approximate.json().value(QStringLiteral("variant")).toString(),
                     digits == 1 ? QStringLiteral("approximate") : QStringLiteral("exact"));
            QCOMPARE(approximate.json().value(QStringLiteral("accuracy")).toInt(), digits);
            QVERIFY(std::fabs(approximate.json().value(QStringLiteral("p")).toDouble() - 6.0 / 1001.0)
                    < std::pow(10.0, -digits));
        }
    }
    if (test == u"cluster") {
        // The worked example: F2 alone, F1 with F4, F3 alone.
        const QJsonObject clusters = result.value(QStringLiteral("clusters")).toObject();
        QCOMPARE(clusters.value(QStringLiteral("count")).toInt(), 3);
        QCOMPARE(clusters.value(QStringLiteral("of_factor")).toArray(), (QJsonArray{2, 1, 3, 2}));
        QCOMPARE(clusters.value(QStringLiteral("factors")).toArray(),
                 (QJsonArray{QStringLiteral("F1"), QStringLiteral("F2"), QStringLiteral("F3"), QStringLiteral("F4")}));
        QCOMPARE(clusters.value(QStringLiteral("samples")).toArray(),
                 (QJsonArray{QStringLiteral("Cases"), QStringLiteral("Controls")}));
        const QJsonArray summary = clusters.value(QStringLiteral("summary")).toArray();
        QCOMPARE(summary.size(), 3);
        const QJsonObject first = summary.at(0).toObject();
        QCOMPARE(first.value(QStringLiteral("counts")).toArray(), (QJsonArray{0, 7}));
        QCOMPARE(sixDigits(first.value(QStringLiteral("frequencies_ratio")).toDouble()), QStringLiteral("8.225"));
        QVERIFY(first.value(QStringLiteral("frequencies_ratio_corrected")).toBool());
        QCOMPARE(sixDigits(first.value(QStringLiteral("odds_ratio")).toDouble()), QStringLiteral("5.31034"));
        QVERIFY(first.value(QStringLiteral("odds_ratio_corrected")).toBool());
        const QJsonObject second = summary.at(1).toObject();
        QCOMPARE(sixDigits(second.value(QStringLiteral("frequencies_ratio")).toDouble()), QStringLiteral("1.54886"));
        QCOMPARE(sixDigits(second.value(QStringLiteral("odds_ratio")).toDouble()), QStringLiteral("4.39394"));
        QVERIFY(!second.value(QStringLiteral("odds_ratio_corrected")).toBool());
        const QJsonObject last = summary.at(2).toObject();
        QCOMPARE(last.value(QStringLiteral("counts")).toArray(), (QJsonArray{25, 15}));
        QCOMPARE(sixDigits(last.value(QStringLiteral("frequencies_ratio")).toDouble()), QStringLiteral("0.3525"));
        QVERIFY(last.value(QStringLiteral("odds_ratio")).isNull());
    }
}

// A document, several --range blocks, the names around a cluster block,
// and formulas evaluated as in the grid.
void TestCli::documentsAndRanges()
{
    // Chi-squared table at B2:C3 as formulas, a Fisher table at E2:G3.
    const QString doc = write(QStringLiteral("two.sp"), documentBytes({
        {1, 1, QStringLiteral("=5*2")}, {1, 2, QStringLiteral("20")},
        {1, 4, QStringLiteral("5")}, {1, 5, QStringLiteral("0")}, {1, 6, QStringLiteral("1")},
        {2, 1, QStringLiteral("=B2*3")}, {2, 2, QStringLiteral("=(B3+C2)-10")},
        {2, 4, QStringLiteral("0")}, {2, 5, QStringLiteral("5")}, {2, 6, QStringLiteral("4")},
    }));
    CliRun result = run({QStringLiteral("chi2"), QStringLiteral("--range"), QStringLiteral("B2:C3"),
                         QStringLiteral("--range=c3:b2"), doc});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.lines().size(), 2);
    for (int i = 0; i < 2; ++i) {
        QCOMPARE(result.json(i).value(QStringLiteral("range")).toString(), QStringLiteral("B2:C3"));
        QCOMPARE(sixDigits(result.json(i).value(QStringLiteral("p")).toDouble()), QStringLiteral("0.372998"));
    }

    result = run({QStringLiteral("fisher"), QStringLiteral("--range"), QStringLiteral("E2:G3"), doc});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(sixDigits(result.json().value(QStringLiteral("p")).toDouble()), QStringLiteral("0.00599401"));

    // The default block is the bounding box: B2:G3 holds an empty column.
    result = run({QStringLiteral("chi2"), doc});
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(result.json().value(QStringLiteral("range")).toString(), QStringLiteral("B2:G3"));
    QCOMPARE(result.json().value(QStringLiteral("status")).toString(), QStringLiteral("rejected"));
    QCOMPARE(result.json().value(QStringLiteral("message")).toString(), QStringLiteral("Empty cell"));

    // A cluster table with its samples in columns, names in the row above
    // and the column left: the default leaves both out.
    const QString cluster = write(QStringLiteral("cluster.csv"),
                                  "factor,\"cases, all\",controls\nF1,10,30\nF2,0,7\nF3,25,15\nF4,12,28\n");
    result = run({QStringLiteral("cluster"), cluster});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.json().value(QStringLiteral("range")).toString(), QStringLiteral("B2:C5"));
    QCOMPARE(sixDigits(result.json().value(QStringLiteral("p")).toDouble()), QStringLiteral("0.000143397"));
    QCOMPARE(result.json().value(QStringLiteral("clusters")).toObject().value(QStringLiteral("samples")).toArray(),
             (QJsonArray{QStringLiteral("cases, all"), QStringLiteral("controls")}));
}

// Standard input, several files in one call, and a document on standard
// input.
void TestCli::inputForms()
{
    CliRun result = run({QStringLiteral("chi2"), QStringLiteral("-")}, "10\t20\r\n30\t40\r\n");
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.json().value(QStringLiteral("file")).toString(), QStringLiteral("-"));
    QCOMPARE(sixDigits(result.json().value(QStringLiteral("p")).toDouble()), QStringLiteral("0.372998"));

    const QByteArray doc = documentBytes({{0, 0, QStringLiteral("10")}, {0, 1, QStringLiteral("20")},
                                          {1, 0, QStringLiteral("30")}, {1, 1, QStringLiteral("40")}});
    const QString text = write(QStringLiteral("plain.tsv"), "10\t20\n30\t40\n");
    result = run({QStringLiteral("chi2"), text, QStringLiteral("-")}, doc);
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.lines().size(), 2);
    QCOMPARE(result.json(0).value(QStringLiteral("p")).toDouble(), result.json(1).value(QStringLiteral("p")).toDouble());
}

// The batch mode: a thousand two-allele genotype tables in one file, one
// line each, in order, each the P-value of the table run alone.
void TestCli::batchOfGenotypeTables()
{
    QByteArray batch;
    QList<QByteArray> tables;
    for (int i = 0; i < 1000; ++i) {
        const QByteArray table = QByteArray::number(5 + i % 37) + '\t' + QByteArray::number(3 + (i * 7) % 41)
                                 + "\n\t" + QByteArray::number(1 + (i * 13) % 29) + '\n';
        tables.append(table);
        batch += table;
        // One or more empty lines between tables.
        batch += i % 3 == 0 ? "\n\n" : "\n";
    }
    const QString file = write(QStringLiteral("batch.tsv"), batch);
    const CliRun result = run({QStringLiteral("hwe"), file});
    QCOMPARE(result.exitCode, 0);
    const QList<QByteArray> lines = result.lines();
    QCOMPARE(lines.size(), 1000);
    for (int i = 0; i < lines.size(); ++i) {
        const QJsonObject line = QJsonDocument::fromJson(lines.at(i)).object();
        QCOMPARE(line.value(QStringLiteral("table")).toInt(), i + 1);
        QCOMPARE(line.value(QStringLiteral("range")).toString(), QStringLiteral("A1:B2"));
        QCOMPARE(line.value(QStringLiteral("status")).toInt(-1), 0);
        // The engine sums in doubles: a most probable table may come out a
        // few ulps above 1.
        const double p = line.value(QStringLiteral("p")).toDouble();
        QVERIFY(p > 0 && p <= 1 + 1e-12);
    }
    // A table alone in the grid gives the same double as in the batch.
    for (int i : {0, 1, 500, 999}) {
        const CliRun alone = run({QStringLiteral("hwe"), QStringLiteral("-")}, tables.at(i));
        QCOMPARE(alone.json().value(QStringLiteral("p")).toDouble(),
                 QJsonDocument::fromJson(lines.at(i)).object().value(QStringLiteral("p")).toDouble());
    }
}

void TestCli::batchSameForAnyThreads_data()
{
    QTest::addColumn<QString>("test");
    QTest::addColumn<QStringList>("options");
    QTest::newRow("hwe") << QStringLiteral("hwe") << QStringList();
    QTest::newRow("hwe report") << QStringLiteral("hwe") << QStringList{QStringLiteral("--report")};
    QTest::newRow("fisher") << QStringLiteral("fisher") << QStringList();
    QTest::newRow("chi2 range") << QStringLiteral("chi2")
                                << QStringList{QStringLiteral("--range"), QStringLiteral("A1:B2"),
                                               QStringLiteral("--range"), QStringLiteral("A1:C2")};
}

// A few hundred tables of every kind mixed (plain counts, formulas, text,
// refusals, networks, a table wider than the grid): one line per table and
// block, in input order, the same bytes on one thread as on several, and a
// table written with formulas gives what its plain twin gives.
void TestCli::batchSameForAnyThreads()
{
    QFETCH(QString, test);
    QFETCH(QStringList, options);
    const bool hwe = test == u"hwe";
    // A Hardy-Weinberg table, or the 2 x N table of the other tests.
    auto pick = [hwe](const QByteArray &triangle, const QByteArray &twoRows) { return hwe ? triangle : twoRows; };
    QByteArray batch;
    int tables = 0;
    for (int i = 0; i < 300; ++i) {
        const QByteArray a = QByteArray::number(5 + i % 37);
        const QByteArray b = QByteArray::number(3 + (i * 7) % 41);
        const QByteArray c = QByteArray::number(1 + (i * 13) % 29);
        switch (i % 10) {
        case 3:  // the same counts through formulas
            batch += pick("=" + a + "*1\t=A1-" + a + "+" + b + "\n\t=(" + c + ")\n",
                           "=" + a + "\t" + b + "\t=B1\n" + c + "\t=1+1\t" + a + "\n");
            break;
        case 5:  // text in the table
            batch += "x" + a + "\t" + b + "\n\t" + c + "\n";
            break;
        case 6:  // refused: below the diagonal, or an empty column
            batch += pick(a + "\t" + b + "\n1\t" + c + "\n", "0\t" + a + "\t" + b + "\n0\t" + c + "\t1\n");
            break;
        case 7:  // three alleles or columns: more than the quick sums
            batch += pick(a + "\t" + b + "\t2\n\t" + c + "\t1\n\t\t4\n",
                           a + "\t" + b + "\t2\t5\n" + c + "\t1\t4\t3\n");
            break;
        case 9:
            if (i == 99) {  // wider than the grid
                batch += QByteArray("1\t").repeated(30) + "1\n";
                break;
            }
            Q_FALLTHROUGH();
        default:
            batch += pick(a + "\t" + b + "\n\t" + c + "\n", a + "\t" + b + "\t" + a + "\n" + c + "\t" + a + "\t" + b + "\n");
        }
        batch += "\n";
        ++tables;
    }
    const QString file = write(QStringLiteral("mixed.tsv"), batch);
    const int blocks = options.count(QStringLiteral("--range")) > 0 ? options.count(QStringLiteral("--range")) : 1;
    QByteArray first;
    for (const char *threads : {"1", "2", "3"}) {
        const CliRun result = run(QStringList{test, QStringLiteral("--threads"), QString::fromLatin1(threads)}
                                  + options + QStringList{file});
        QCOMPARE(result.exitStatus, QProcess::NormalExit);
        QCOMPARE(result.exitCode, 1);  // some tables are refused
        if (first.isEmpty()) {
            first = result.out;
            QCOMPARE(result.lines().size(), tables * blocks - (blocks - 1));
        } else {
            QCOMPARE(result.out, first);
        }
    }
    if (!options.isEmpty())
        return;
    const CliRun result = run({test, file});
    QCOMPARE(result.out, first);  // every core by default
    const QList<QByteArray> lines = result.lines();
    for (int i = 0; i < lines.size(); ++i) {
        const QJsonObject line = QJsonDocument::fromJson(lines.at(i)).object();
        QCOMPARE(line.value(QStringLiteral("table")).toInt(), i + 1);
    }
    // Table 4 (formulas) has the counts of table 4 written plainly.
    const QByteArray a = QByteArray::number(5 + 3), b = QByteArray::number(3 + 21), c = QByteArray::number(1 + 39 % 29);
    const QByteArray twin = pick(a + "\t" + b + "\n\t" + c + "\n", a + "\t" + b + "\t" + b + "\n" + c + "\t2\t" + a + "\n");
    const CliRun alone = run({test, QStringLiteral("-")}, twin);
    QCOMPARE(result.json(3).value(QStringLiteral("p")).toDouble(), alone.json().value(QStringLiteral("p")).toDouble());
    QVERIFY(!alone.json().value(QStringLiteral("p")).isNull());
}

// A rejected block says why, in the check's words, and the others still
// run; the exit status tells that not all of them did.
void TestCli::rejectedBlocks()
{
    const QString file = write(QStringLiteral("mixed.tsv"),
                               "10\t20\n30\t40\n\n"        // fine
                               "10\tabc\n30\t40\n\n"       // text in a count
                               "10\t=1/0\n30\t40\n\n"      // a formula error shows ####
                               "0\t0\n30\t40\n\n"          // a row of zeros
                               "10\n\n"                    // one cell: no table shape
                               "10\t20\n30\t40\n");        // fine again
    CliRun result = run({QStringLiteral("chi2"), file});
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(result.lines().size(), 6);
    const QStringList expected = {QString(), QStringLiteral("Wrong number"), QStringLiteral("Wrong number"),
                                  QStringLiteral("Sum=0 for row # 1"), QStringLiteral("wrong Range"), QString()};
    for (int i = 0; i < 6; ++i) {
        const QJsonObject line = result.json(i);
        QCOMPARE(line.value(QStringLiteral("table")).toInt(), i + 1);
        if (expected.at(i).isEmpty()) {
            QCOMPARE(line.value(QStringLiteral("status")).toInt(-1), 0);
        } else {
            QCOMPARE(line.value(QStringLiteral("status")).toString(), QStringLiteral("rejected"));
            QCOMPARE(line.value(QStringLiteral("message")).toString(), expected.at(i));
            QVERIFY(line.value(QStringLiteral("p")).isNull());
        }
    }

    // The Hardy-Weinberg check wants the lower triangle empty.
    const QString hwe = write(QStringLiteral("square.tsv"), "10\t5\n0\t3\n");
    result = run({QStringLiteral("hwe"), hwe});
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(result.json().value(QStringLiteral("message")).toString(), QStringLiteral("Left botton nonempty cell"));
    result = run({QStringLiteral("hwe"), QStringLiteral("--report"), hwe});
    QCOMPARE(result.exitCode, 1);
    QVERIFY(result.out.contains("color=\"red\""));
    QVERIFY(result.out.contains("Left botton nonempty cell"));

    // Samples in columns starting in column A leave no room for the factor names.
    const QString cluster = write(QStringLiteral("nonames.tsv"), "cases\tcontrols\n10\t30\n0\t7\n25\t15\n");
    result = run({QStringLiteral("cluster"), QStringLiteral("--range"), QStringLiteral("A2:B4"), cluster});
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(result.json().value(QStringLiteral("message")).toString(), QStringLiteral("Factors has not names"));

    // A table wider than the grid, and a file that is not there.
    QByteArray wide;
    for (int c = 0; c < 27; ++c)
        wide += c ? "\t1" : "1";
    const QString tooWide = write(QStringLiteral("wide.tsv"), wide + '\n' + wide + '\n');
    result = run({QStringLiteral("chi2"), tooWide, dir.filePath(QStringLiteral("missing.tsv"))});
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(result.lines().size(), 2);
    QCOMPARE(result.json(0).value(QStringLiteral("status")).toString(), QStringLiteral("error"));
    QVERIFY(result.json(0).value(QStringLiteral("message")).toString().contains(QStringLiteral("does not fit")));
    QCOMPARE(result.json(1).value(QStringLiteral("status")).toString(), QStringLiteral("error"));
    QVERIFY(result.json(1).value(QStringLiteral("message")).toString().startsWith(QStringLiteral("Cannot read file")));
    QVERIFY(result.err.contains("Cannot read file"));

    // Not a document, though named like one.
    const QString fake = write(QStringLiteral("fake.sp"), "10\t20\n30\t40\n");
    result = run({QStringLiteral("chi2"), fake});
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(result.json().value(QStringLiteral("message")).toString(),
             QStringLiteral("The file %1 is not a Spreadsheet file.").arg(fake));
}

void TestCli::valuesShowsDisplayedTexts()
{
    const QString file = write(QStringLiteral("values.tsv"),
                               "=1+2\t'=x\t=1/0\n\t\t\t\n=A1*2\n\nsecond\n");
    CliRun result = run({QStringLiteral("values"), file});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out, QByteArray("3\t=x\t####\n\t\t\n6\t\t\n\nsecond\n"));

    const QString doc = write(QStringLiteral("values.sp"),
                              documentBytes({{1, 2, QStringLiteral("=2*3")}, {3, 0, QStringLiteral("x")}}));
    result = run({QStringLiteral("values"), doc});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out, QByteArray("\t\t\n\t\t6\n\t\t\nx\t\t\n"));
}

// A record with the empty text (as an erased cell leaves it) is an empty
// cell: a formula reads it as 0, and below the diagonal of a genotype table
// it is no "nonempty cell".
void TestCli::emptyTextsAreEmptyCells()
{
    const QString doc = write(QStringLiteral("erased.sp"),
                              documentBytes({{0, 0, QString()}, {0, 1, QStringLiteral("=A1+1")}}));
    CliRun result = run({QStringLiteral("values"), doc});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out, QByteArray("\t1\n"));

    const QString hwe = write(QStringLiteral("erased-hwe.sp"),
                              documentBytes({{0, 0, QStringLiteral("10")}, {0, 1, QStringLiteral("5")},
                                             {1, 0, QString()}, {1, 1, QStringLiteral("3")}}));
    result = run({QStringLiteral("hwe"), hwe});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.json().value(QStringLiteral("range")).toString(), QStringLiteral("A1:B2"));
    QCOMPARE(result.json().value(QStringLiteral("status")).toInt(-1), 0);
    QCOMPARE(sixDigits(result.json().value(QStringLiteral("p")).toDouble()), QStringLiteral("0.254198"));

    // An empty-text record does not widen the default block either.
    const QString chi2 = write(QStringLiteral("erased-edge.sp"),
                               documentBytes({{0, 0, QStringLiteral("10")}, {0, 1, QStringLiteral("20")},
                                              {1, 0, QStringLiteral("30")}, {1, 1, QStringLiteral("40")},
                                              {5, 5, QString()}}));
    result = run({QStringLiteral("chi2"), chi2});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.json().value(QStringLiteral("range")).toString(), QStringLiteral("A1:B2"));
}

// A cell whose text holds a NUL is text: never a count, and "####" in
// arithmetic, though the number parser would stop at the NUL.
void TestCli::nulMakesText()
{
    const QChar nul(u'\0');
    const QString counts = write(QStringLiteral("nul.sp"),
                                 documentBytes({{0, 0, QStringLiteral("1") + nul + QStringLiteral("9")},
                                                {0, 1, QStringLiteral("20")}, {1, 0, QStringLiteral("30")},
                                                {1, 1, QStringLiteral("40")}}));
    CliRun result = run({QStringLiteral("chi2"), counts});
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(result.json().value(QStringLiteral("status")).toString(), QStringLiteral("rejected"));
    QCOMPARE(result.json().value(QStringLiteral("message")).toString(), QStringLiteral("Wrong number"));

    const QString genotypes = write(QStringLiteral("nul-hwe.sp"),
                                    documentBytes({{0, 0, QStringLiteral("7") + nul + QStringLiteral("abc")},
                                                   {0, 1, QStringLiteral("5")}, {1, 1, QStringLiteral("3")}}));
    result = run({QStringLiteral("hwe"), genotypes});
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(result.json().value(QStringLiteral("message")).toString(), QStringLiteral("Bad number"));

    const QString formulas = write(QStringLiteral("nul-formula.sp"),
                                   documentBytes({{0, 0, QStringLiteral("=1") + nul + QStringLiteral("+5")},
                                                  {0, 1, QStringLiteral("1") + nul + QStringLiteral("9")},
                                                  {0, 2, QStringLiteral("=B1+1")}}));
    result = run({QStringLiteral("values"), formulas});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out, QByteArray("####\t1\0009\t####\n", 14));
}

void TestCli::usageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    const QString file = QStringLiteral("any.tsv");
    QTest::newRow("nothing") << QStringList();
    QTest::newRow("unknown test") << QStringList{QStringLiteral("anova"), file};
    QTest::newRow("no file") << QStringList{QStringLiteral("chi2")};
    QTest::newRow("unknown option") << QStringList{QStringLiteral("chi2"), QStringLiteral("--fast"), file};
    QTest::newRow("bad range") << QStringList{QStringLiteral("chi2"), QStringLiteral("--range"), QStringLiteral("A1-B2"), file};
    QTest::newRow("range past the grid") << QStringList{QStringLiteral("chi2"), QStringLiteral("--range=A1:B1000"), file};
    QTest::newRow("range without value") << QStringList{QStringLiteral("chi2"), file, QStringLiteral("--range")};
    QTest::newRow("yates for fisher") << QStringList{QStringLiteral("fisher"), QStringLiteral("--yates"), file};
    QTest::newRow("accuracy for chi2") << QStringList{QStringLiteral("chi2"), QStringLiteral("--accuracy"), QStringLiteral("2"), file};
    QTest::newRow("accuracy 10") << QStringList{QStringLiteral("fisher"), QStringLiteral("--accuracy=10"), file};
    QTest::newRow("accuracy text") << QStringList{QStringLiteral("fisher"), QStringLiteral("--accuracy"), QStringLiteral("max"), file};
    QTest::newRow("max-memory 0") << QStringList{QStringLiteral("fisher"), QStringLiteral("--max-memory=0"), file};
    QTest::newRow("max-memory text") << QStringList{QStringLiteral("hwe"), QStringLiteral("--max-memory"), QStringLiteral("2G"), file};
    QTest::newRow("monte-carlo for interact") << QStringList{QStringLiteral("interact"), QStringLiteral("--monte-carlo=1000"), file};
    QTest::newRow("monte-carlo 0") << QStringList{QStringLiteral("fisher"), QStringLiteral("--monte-carlo"), QStringLiteral("0"), file};
    QTest::newRow("monte-carlo with accuracy") << QStringList{QStringLiteral("fisher"), QStringLiteral("--monte-carlo=1000"), QStringLiteral("--accuracy=3"), file};
    QTest::newRow("seed without monte-carlo") << QStringList{QStringLiteral("hwe"), QStringLiteral("--seed=4"), file};
    QTest::newRow("negative seed") << QStringList{QStringLiteral("hwe"), QStringLiteral("--monte-carlo=1000"), QStringLiteral("--seed=-4"), file};
    QTest::newRow("seed past 2^53") << QStringList{QStringLiteral("hwe"), QStringLiteral("--monte-carlo=1000"), QStringLiteral("--seed=9007199254740992"), file};
    QTest::newRow("threads 0") << QStringList{QStringLiteral("chi2"), QStringLiteral("--threads"), QStringLiteral("0"), file};
    QTest::newRow("values two files") << QStringList{QStringLiteral("values"), file, file};
    QTest::newRow("convert one file") << QStringList{QStringLiteral("convert"), file};
    QTest::newRow("convert to txt") << QStringList{QStringLiteral("convert"), file, QStringLiteral("out.txt")};
}

void TestCli::usageErrors()
{
    QFETCH(QStringList, arguments);
    const CliRun result = run(arguments);
    QCOMPARE(result.exitStatus, QProcess::NormalExit);
    QCOMPARE(result.exitCode, 2);
    QVERIFY(result.out.isEmpty());
    QVERIFY2(result.err.contains("usage: velmora-cli TEST"), result.err.constData());
}

// Ctrl+C ends the running engine at its next poll: the block is reported
// stopped, the tables after it are not run, and the exit status is 1.
// Starts velmora-cli fisher on `file`, waits until it catches SIGINT and its
// engine has had a moment, sends Ctrl+C and returns what it printed.
CliRun TestCli::interrupt(const QString &file)
{
    QProcess process;
    process.start(QStringLiteral(VELMORA_CLI_PATH), {QStringLiteral("fisher"), file});
    CliRun result;
    if (!process.waitForStarted())
        return result;
    const QString status = QStringLiteral("/proc/%1/status").arg(process.processId());
    bool caught = false;
    for (int i = 0; i < 600 && !caught; ++i) {
        QFile proc(status);
        if (proc.open(QIODevice::ReadOnly)) {
            for (const QByteArray &line : proc.readAll().split('\n')) {
                if (line.startsWith("SigCgt:"))
                    caught = (line.mid(7).trimmed().toULongLong(nullptr, 16) & (1ull << (SIGINT - 1))) != 0;
            }
        }
        if (!caught)
            QTest::qWait(50);
    }
    if (!caught)
        return result;
    QTest::qWait(300);
    if (::kill(pid_t(process.processId()), SIGINT) != 0 || !process.waitForFinished(60000))
        return result;
    result.exitCode = process.exitCode();
    result.exitStatus = process.exitStatus();
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

namespace {

// A 2 x 100 exact Fisher table with large counts runs far longer than the
// tests wait.
QByteArray slowFisherTable()
{
    QByteArray slow;
    for (int i = 0; i < 100; ++i)
        slow += QByteArray::number(20 + (i * 37) % 41) + '\t' + QByteArray::number(20 + (i * 53) % 43) + '\n';
    return slow;
}

} // namespace

void TestCli::interruptStopsTheRun()
{
    const CliRun result = interrupt(write(QStringLiteral("slow.tsv"), slowFisherTable() + "\n5\t0\n0\t5\n"));
    QCOMPARE(result.exitStatus, QProcess::NormalExit);
    QCOMPARE(result.exitCode, 1);
    const QList<QByteArray> lines = result.lines();
    QCOMPARE(lines.size(), 1);
    const QJsonObject line = result.json();
    QCOMPARE(line.value(QStringLiteral("status")).toInt(), 10);
    QVERIFY(line.value(QStringLiteral("stopped")).toBool());
    QCOMPARE(line.value(QStringLiteral("message")).toString(), QStringLiteral("Program is stopped by user"));
    QVERIFY(result.err.contains("stopped"));
}

// Stopped in the middle of a batch run on every core: the tables before the
// stopped one are printed in order, none after it.
void TestCli::interruptStopsTheBatchInOrder()
{
    QByteArray quick;
    for (int i = 0; i < 500; ++i)
        quick += QByteArray::number(i % 7) + '\t' + QByteArray::number(1 + i % 5) + '\n' + QByteArray::number(2 + i % 3)
                 + "\t4\n\n";
    const CliRun result = interrupt(write(QStringLiteral("batch-slow.tsv"), quick + slowFisherTable() + '\n' + quick));
    QCOMPARE(result.exitStatus, QProcess::NormalExit);
    QCOMPARE(result.exitCode, 1);
    const QList<QByteArray> lines = result.lines();
    QCOMPARE(lines.size(), 501);
    for (int i = 0; i < 500; ++i) {
        QCOMPARE(result.json(i).value(QStringLiteral("table")).toInt(), i + 1);
        QCOMPARE(result.json(i).value(QStringLiteral("status")).toInt(-1), 0);
    }
    QCOMPARE(result.json(500).value(QStringLiteral("table")).toInt(), 501);
    QVERIFY(result.json(500).value(QStringLiteral("stopped")).toBool());
    QVERIFY(result.err.contains("stopped"));
}

// --max-memory caps each run: a table that needs far more ends with the
// memory message (status 11), while a small one still runs within the cap.
void TestCli::maxMemoryCapsOneRun()
{
    const QString file = write(QStringLiteral("large-2x8.tsv"),
                               "74\t63\t60\t71\t63\t55\t58\t56\n37\t49\t50\t62\t61\t68\t91\t82\n\n"
                               "5\t0\t1\n0\t5\t4\n");
    const CliRun result = run({QStringLiteral("fisher"), QStringLiteral("--max-memory"), QStringLiteral("8"), file});
    QCOMPARE(result.exitStatus, QProcess::NormalExit);
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(result.lines().size(), 2);
    QCOMPARE(result.json(0).value(QStringLiteral("status")).toInt(), 11);
    QCOMPARE(result.json(0).value(QStringLiteral("message")).toString(), QStringLiteral("Not enouph memory error=11"));
    QCOMPARE(result.json(1).value(QStringLiteral("status")).toInt(), 0);
    QCOMPARE(sixDigits(result.json(1).value(QStringLiteral("p")).toDouble()), QStringLiteral("0.00599401"));
}

void TestCli::monteCarlo_data()
{
    QTest::addColumn<QString>("test");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("table");
    QTest::addColumn<double>("exact");
    QTest::addColumn<QString>("headline");
    // The exact P-values of the same tables (examples above, and the
    // 2 x 2 chi-squared table's 31 tables with its margins).
    const QStringList none;
    QTest::newRow("fisher") << "fisher" << none << QByteArray("5\t0\t1\n0\t5\t4\n") << 0.00599401
                            << "Monte Carlo Fisher 2x3 test";
    QTest::newRow("hwe") << "hwe" << none << QByteArray("10\t5\n\t3\n") << 0.254198
                         << "Monte Carlo Hardy-Weinberg 2x2 test";
    QTest::newRow("chi2") << "chi2" << none << QByteArray("10\t20\n30\t40\n") << 0.504476
                          << "Monte Carlo chi-squared test";
    // Corrected, the observed statistic is 0: every table is as extreme.
    QTest::newRow("chi2 yates sparse") << "chi2" << QStringList{QStringLiteral("--yates")}
                                       << QByteArray("1573\t3\n4\t0\n") << 1.0 << "Monte Carlo chi-squared test";
}

// --monte-carlo B: the fields of the estimate, P = (count + 1) / (B + 1),
// an interval that holds the exact P, and the same line for a seed on one
// thread or two.
void TestCli::monteCarlo()
{
    QFETCH(QString, test);
    QFETCH(QStringList, options);
    QFETCH(QByteArray, table);
    QFETCH(double, exact);
    QFETCH(QString, headline);
    const QString file = write(test + QStringLiteral("-mc.tsv"), table);
    const QStringList arguments = QStringList{test, QStringLiteral("--monte-carlo"), QStringLiteral("30000"),
                                              QStringLiteral("--seed=20240601"), file}
                                  + options;
    const CliRun one = run(arguments + QStringList{QStringLiteral("--threads=1")});
    QCOMPARE(one.exitCode, 0);
    const QJsonObject line = one.json();
    QCOMPARE(line.value(QStringLiteral("status")).toInt(), 0);
    QCOMPARE(line.value(QStringLiteral("method")).toString(), QStringLiteral("monte-carlo"));
    QCOMPARE(line.value(QStringLiteral("samples")).toInt(), 30000);
    QCOMPARE(line.value(QStringLiteral("seed")).toInteger(), qint64(20240601));
    const double p = line.value(QStringLiteral("p")).toDouble();
    const double count = p * 30001.0 - 1.0;
    QVERIFY2(std::fabs(count - std::round(count)) < 1e-6, qPrintable(QString::number(p, 'g', 17)));
    const QJsonArray interval = line.value(QStringLiteral("ci99")).toArray();
    QCOMPARE(interval.size(), 2);
    QVERIFY(interval.at(0).toDouble() <= exact && exact <= interval.at(1).toDouble());
    QCOMPARE(interval.at(0).toDouble() <= count / 30000.0 && count / 30000.0 <= interval.at(1).toDouble(), true);
    QVERIFY(!line.contains(QStringLiteral("variant")));

    const CliRun two = run(arguments + QStringList{QStringLiteral("--threads"), QStringLiteral("2")});
    QCOMPARE(two.out, one.out);

    const CliRun report = run(arguments + QStringList{QStringLiteral("--report")});
    QCOMPARE(report.exitCode, 0);
    QVERIFY2(report.out.contains(headline.toUtf8()), report.out.constData());
    QVERIFY(report.out.contains("30000 samples, seed 20240601)"));
}

// Without --seed each block draws a seed and reports it; given, it repeats.
void TestCli::monteCarloSeeds()
{
    const QString file = write(QStringLiteral("seeds.tsv"), "5\t0\t1\n0\t5\t4\n\n10\t5\n\t3\n");
    const CliRun drawn = run({QStringLiteral("hwe"), QStringLiteral("--monte-carlo=5000"), file});
    QCOMPARE(drawn.lines().size(), 2);
    QCOMPARE(drawn.json(0).value(QStringLiteral("status")).toString(), QStringLiteral("rejected"));
    const QJsonObject line = drawn.json(1);
    QCOMPARE(line.value(QStringLiteral("status")).toInt(), 0);
    QVERIFY(line.value(QStringLiteral("seed")).isDouble());
    const qint64 seed = line.value(QStringLiteral("seed")).toInteger(-1);
    QVERIFY(seed >= 0);
    const CliRun again = run({QStringLiteral("hwe"), QStringLiteral("--monte-carlo=5000"),
                              QStringLiteral("--seed=%1").arg(seed), file});
    QCOMPARE(again.lines().at(1), drawn.lines().at(1));
}

// With one seed every table of a batch, and every block of a table, draws
// a stream of its own: the same table repeated gives other counts, and the
// batch the same bytes again, on any number of threads.
void TestCli::monteCarloStreamPerTable()
{
    const QString file = write(QStringLiteral("same.tsv"), "10\t5\n\t3\n\n10\t5\n\t3\n\n10\t5\n\t3\n\n10\t5\n\t3\n");
    const QStringList arguments{QStringLiteral("hwe"), QStringLiteral("--monte-carlo=20000"), QStringLiteral("--seed=11"), file};
    const CliRun one = run(arguments + QStringList{QStringLiteral("--threads=1")});
    QCOMPARE(one.exitCode, 0);
    QCOMPARE(one.lines().size(), 4);
    QSet<double> pValues;
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(one.json(i).value(QStringLiteral("seed")).toInteger(), qint64(11));
        pValues.insert(one.json(i).value(QStringLiteral("p")).toDouble());
    }
    QCOMPARE(pValues.size(), 4);
    QCOMPARE(run(arguments + QStringList{QStringLiteral("--threads=2")}).out, one.out);
    QCOMPARE(run(arguments).out, one.out);

    // Two blocks of one table; the first is the table's own stream, so a
    // one-table file repeats the batch's first line.
    const QString single = write(QStringLiteral("single.tsv"), "10\t5\n\t3\n");
    const CliRun blocks = run({QStringLiteral("hwe"), QStringLiteral("--monte-carlo=20000"), QStringLiteral("--seed=11"),
                               QStringLiteral("--range=A1:B2"), QStringLiteral("--range=A1:B2"), single});
    QCOMPARE(blocks.lines().size(), 2);
    QCOMPARE(blocks.json(0).value(QStringLiteral("p")), one.json(0).value(QStringLiteral("p")));
    QVERIFY(blocks.json(1).value(QStringLiteral("p")) != one.json(0).value(QStringLiteral("p")));
}

QTEST_GUILESS_MAIN(TestCli)
#include "test_cli.moc"
