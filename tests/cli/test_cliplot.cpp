// velmora-cli's pictures: --plot writes the table's picture as its
// extension asks, a batch one file per line of output in a folder, an
// unwritable target is refused in the system's words; qq prints the
// genomic-control lambda (against R: median(qchisq(p, 1, lower.tail =
// FALSE)) / qchisq(0.5, 1)) and refuses input that would draw a misleading
// plot, with status 1 and nothing drawn.
#include "clitestbase.h"

#include <QDir>
#include <QImage>

using namespace clitest;

namespace {

QStringList words(const char *text)
{
    return QString::fromLatin1(text).split(u' ');
}

} // namespace

class TestCliPlot final : public CliTestBase
{
    Q_OBJECT

private slots:
    void initTestCase();
    void onePictureInEachFormat_data();
    void onePictureInEachFormat();
    void batchWritesOneFilePerLine();
    void unwritableTargets();
    void qqPrintsLambda();
    void qqTakesEveryP_data();
    void qqTakesEveryP();
    void qqRefusesBadInput_data();
    void qqRefusesBadInput();
    void usageErrors_data();
    void usageErrors();
};

void TestCliPlot::initTestCase()
{
    QVERIFY(dir.isValid());
}

void TestCliPlot::onePictureInEachFormat_data()
{
    QTest::addColumn<QString>("test");
    QTest::addColumn<QByteArray>("table");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("starts");
    const QByteArray chi2 = "45\t72\t33\n60\t55\t20\n";
    QTest::newRow("chi2 png") << QStringLiteral("chi2") << chi2 << QStringLiteral("chi2.png") << QStringList() << QByteArray("\x89PNG");
    QTest::newRow("fisher svg") << QStringLiteral("fisher") << QByteArray("5\t0\t1\n0\t5\t4\n") << QStringLiteral("fisher.svg") << QStringList()
                                << QByteArray("<?xml");
    QTest::newRow("hwe pdf") << QStringLiteral("hwe") << QByteArray("10\t5\n\t3\n") << QStringLiteral("hwe.PDF") << QStringList() << QByteArray("%PDF-");
    QTest::newRow("hwe 3 alleles") << QStringLiteral("hwe") << QByteArray("10\t5\t3\n\t8\t4\n\t\t6\n") << QStringLiteral("hwe3.png") << QStringList()
                                   << QByteArray("\x89PNG");
    QTest::newRow("monte carlo svg") << QStringLiteral("chi2") << chi2 << QStringLiteral("mc.svg")
                                     << QStringList{QStringLiteral("--monte-carlo"), QStringLiteral("5000")} << QByteArray("<?xml");
    QTest::newRow("models") << QStringLiteral("models") << QByteArray("30\t50\t20\n45\t45\t10\n")
                            << QStringLiteral("models.png") << QStringList() << QByteArray("\x89PNG");
    QTest::newRow("cluster sized") << QStringLiteral("cluster") << QByteArray("\tF1\tF2\tF3\tF4\nCases\t10\t20\t5\t0\nControls\t12\t8\t15\t9\n")
                                   << QStringLiteral("cluster.png") << QStringList{QStringLiteral("--plot-size"), QStringLiteral("900x500")}
                                   << QByteArray("\x89PNG");
}

void TestCliPlot::onePictureInEachFormat()
{
    QFETCH(QString, test);
    QFETCH(QByteArray, table);
    QFETCH(QString, out);
    QFETCH(QStringList, options);
    QFETCH(QByteArray, starts);
    const QString input = write(test + QStringLiteral(".tsv"), table);
    const CliRun result = run(QStringList{test, input, QStringLiteral("--plot"), out} + options);
    QVERIFY2(result.exitCode == 0, result.err.constData());
    QCOMPARE(result.json().value(QStringLiteral("status")).toInt(-1), 0);
    QFile file(dir.filePath(out));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.startsWith(starts));
    if (starts.startsWith("\x89PNG"))
        QCOMPARE(QImage::fromData(bytes).size(), options.isEmpty() ? QSize(1200, 800) : QSize(900, 500));
    // A Monte Carlo run draws its histogram, not the table's bars.
    QCOMPARE(bytes.contains("Monte Carlo"), options.contains(QStringLiteral("--monte-carlo")));
    // No folder for a single table.
    QVERIFY(!QFileInfo(dir.filePath(out.left(out.lastIndexOf(u'.')))).exists());
}

// Three tables, the second refused: table-1 and table-3, in the folder the
// name without its extension gives; a document with two ranges alike.
void TestCliPlot::batchWritesOneFilePerLine()
{
    const QString input = write(QStringLiteral("batch.tsv"), "10\t20\n30\t40\n\n1\tx\n2\t3\n\n5\t9\n7\t1\n");
    const CliRun result = run({QStringLiteral("chi2"), input, QStringLiteral("--plot"), QStringLiteral("many/run.svg")},
                              {}, [this](QProcess &) { QDir(dir.path()).mkdir(QStringLiteral("many")); });
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(result.lines().size(), 3);
    const QDir folder(dir.filePath(QStringLiteral("many/run")));
    QCOMPARE(folder.entryList(QDir::Files, QDir::Name),
             (QStringList{QStringLiteral("table-1.svg"), QStringLiteral("table-3.svg")}));
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("many/run.svg"))));
    // The same bytes whatever the number of threads.
    const QByteArray first = [&] {
        QFile file(folder.filePath(QStringLiteral("table-3.svg")));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    QCOMPARE(run({QStringLiteral("chi2"), input, QStringLiteral("--threads"), QStringLiteral("1"), QStringLiteral("--plot"),
                  QStringLiteral("many/run.svg")}).exitCode, 1);
    QFile again(folder.filePath(QStringLiteral("table-3.svg")));
    QVERIFY(again.open(QIODevice::ReadOnly));
    QCOMPARE(again.readAll(), first);
}

void TestCliPlot::unwritableTargets()
{
    const QString input = write(QStringLiteral("one.tsv"), "10\t20\n30\t40\n");
    CliRun result = run({QStringLiteral("chi2"), input, QStringLiteral("--plot"), QStringLiteral("absent/plot.png")});
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(result.err.contains("No such file or directory"), result.err.constData());
    QCOMPARE(result.lines().size(), 1);
    // A file where the batch's folder would go.
    const QString batch = write(QStringLiteral("two.tsv"), "10\t20\n30\t40\n\n5\t9\n7\t1\n");
    write(QStringLiteral("taken"), "x");
    result = run({QStringLiteral("chi2"), batch, QStringLiteral("--plot"), QStringLiteral("taken.png")});
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(result.err.contains("Not a directory"), result.err.constData());
    QCOMPARE(result.lines().size(), 2);

    // The batch's folder is the one named and nowhere else: not the folder
    // above when the name has nothing before its extension, not where a
    // link in its place leads.
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("outside")) && QDir(dir.path()).mkdir(QStringLiteral("above")));
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("outside")), dir.filePath(QStringLiteral("link"))));
    for (const char *target : {"link.png", "above/.png"}) {
        result = run({QStringLiteral("chi2"), batch, QStringLiteral("--plot"), QLatin1StringView(target)});
        QCOMPARE(result.exitCode, 1);
        QCOMPARE(result.err.count('\n'), 1);
        QCOMPARE(result.lines().size(), 2);
    }
    QCOMPARE(QDir(dir.filePath(QStringLiteral("outside"))).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
    QCOMPARE(QDir(dir.filePath(QStringLiteral("above"))).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
}

void TestCliPlot::qqPrintsLambda()
{
    QByteArray lines;
    const double p[] = {0.5, 0.01, 0.2, 0.7, 0.03, 0.9, 1.0, 0.04};
    int table = 0;
    for (const double value : p)
        lines += QStringLiteral("{\"file\":\"x\",\"table\":%1,\"test\":\"hwe\",\"status\":0,\"p\":%2}\n")
                     .arg(++table)
                     .arg(value, 0, 'g', 17)
                     .toUtf8();
    lines += "{\"file\":\"x\",\"table\":9,\"test\":\"hwe\",\"status\":\"rejected\",\"p\":null,\"message\":\"Empty cell\"}\n\n";
    const QString input = write(QStringLiteral("p.jsonl"), lines);
    const CliRun result = run({QStringLiteral("qq"), input, QStringLiteral("--plot"), QStringLiteral("qq.png")});
    QVERIFY2(result.exitCode == 0, result.err.constData());
    QCOMPARE(result.out, QByteArray("lambda 2.305059\n"));
    QVERIFY(result.err.contains("1 lines without status 0"));
    QCOMPARE(QImage(dir.filePath(QStringLiteral("qq.png"))).size(), QSize(1200, 800));
    // From standard input, without a picture.
    QCOMPARE(run({QStringLiteral("qq"), QStringLiteral("-")}, lines).out, QByteArray("lambda 2.305059\n"));
}

// Every P counts, 0 (a P below the smallest double) and those where the
// quantile's search once failed (0.87) among them. R: median(qchisq(p, 1,
// lower.tail = FALSE)) / qchisq(0.5, 1); the first row's P are those of
// chi2 on 100000 0 / 0 100000, 10 20 / 30 40 and 12 20 / 30 41.
void TestCliPlot::qqTakesEveryP_data()
{
    QTest::addColumn<QList<QByteArray>>("pValues");
    QTest::addColumn<QByteArray>("lambda");
    QTest::newRow("P = 0") << QList<QByteArray>{"0", "0.3729984836134872", "0.64960847088966445"}
                           << QByteArray("lambda 1.744531\n");
    QTest::newRow("underflow") << QList<QByteArray>{"1e-400", "0.3729984836134872", "0.64960847088966445"}
                               << QByteArray("lambda 1.744531\n");
    QTest::newRow("0.87") << QList<QByteArray>{"0.87"} << QByteArray("lambda 0.058874\n");
    QTest::newRow("near 0.9") << QList<QByteArray>{"0.87", "0.93", "0.95", "0.91"} << QByteArray("lambda 0.022524\n");
    QTest::newRow("median at 0") << QList<QByteArray>{"0", "0.5", "0"} << QByteArray("lambda inf\n");
}

void TestCliPlot::qqTakesEveryP()
{
    QFETCH(QList<QByteArray>, pValues);
    QFETCH(QByteArray, lambda);
    QByteArray lines;
    for (const QByteArray &p : pValues)
        lines += "{\"status\":0,\"p\":" + p + "}\n";
    const QString input = write(QStringLiteral("every.jsonl"), lines);
    const CliRun result = run({QStringLiteral("qq"), input, QStringLiteral("--plot"), QStringLiteral("every.png")});
    QVERIFY2(result.exitCode == 0, result.err.constData());
    QCOMPARE(result.out, lambda);
    QCOMPARE(QImage(dir.filePath(QStringLiteral("every.png"))).size(), QSize(1200, 800));
}

void TestCliPlot::qqRefusesBadInput_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QByteArray>("message");
    const QByteArray good = "{\"status\":0,\"p\":0.5}\n";
    QTest::newRow("empty") << QByteArray() << QByteArray("holds no P-value");
    QTest::newRow("no status 0") << QByteArray("{\"status\":\"rejected\",\"p\":null}\n") << QByteArray("holds no P-value");
    QTest::newRow("negative") << good + "{\"status\":0,\"p\":-0.1}\n" << QByteArray("not a probability");
    QTest::newRow("above 1") << good + "{\"status\":0,\"p\":1.5}\n" << QByteArray("not a probability");
    QTest::newRow("no P") << good + "{\"status\":0,\"p\":null}\n" << QByteArray("line 2 has status 0 but no P-value");
    QTest::newRow("not JSON") << good + "lambda 1.03\n" << QByteArray("line 2 is not a JSON object");
    QTest::newRow("cut short") << good + "{\"status\":0,\"p\":0.5\n" << QByteArray("line 2 is not a JSON object");
    QTest::newRow("trailing") << good + "{\"status\":0,\"p\":0.5} x\n" << QByteArray("line 2 is not a JSON object");
    QTest::newRow("deep") << good + QByteArray(300, '[') << QByteArray("line 2 is not a JSON object");
}

void TestCliPlot::qqRefusesBadInput()
{
    QFETCH(QByteArray, content);
    QFETCH(QByteArray, message);
    const QString input = write(QStringLiteral("bad.jsonl"), content);
    QFile::remove(dir.filePath(QStringLiteral("bad.png")));
    const CliRun result = run({QStringLiteral("qq"), input, QStringLiteral("--plot"), QStringLiteral("bad.png")});
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(result.err.contains(message), result.err.constData());
    QVERIFY(result.out.isEmpty());
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("bad.png"))));
}

void TestCliPlot::usageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("interact") << words("interact x.tsv --plot a.png") << QByteArray("--plot applies to");
    QTest::newRow("extension") << words("chi2 x.tsv --plot a.gif") << QByteArray(".png, .svg or .pdf");
    QTest::newRow("size alone") << words("chi2 x.tsv --plot-size 800x600") << QByteArray("with --plot only");
    QTest::newRow("size") << words("chi2 x.tsv --plot a.png --plot-size 800") << QByteArray("WIDTHxHEIGHT");
    QTest::newRow("genotypes") << words("hwe x.vcf --plot a.png") << QByteArray("--plot applies to tables, not to genotype files");
    QTest::newRow("qq two files") << words("qq a.jsonl b.jsonl") << QByteArray("qq takes one FILE");
}

void TestCliPlot::usageErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, message);
    const CliRun result = run(arguments);
    QCOMPARE(result.exitCode, 2);
    QVERIFY2(result.err.contains(message), result.err.constData());
}

QTEST_GUILESS_MAIN(TestCliPlot)
#include "test_cliplot.moc"
