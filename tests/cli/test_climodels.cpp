// velmora-cli models: its JSON fields and nothing else, "inf"
// and null where a figure is infinite or missing, the confidence level,
// refused blocks, the report, and the same lines from the grid and from
// plain counts, on any number of threads.
#include "clitestbase.h"

#include <QJsonArray>

using namespace clitest;

namespace {

QStringList keys(const QJsonObject &object)
{
    return object.keys();  // sorted
}

QStringList sorted(std::initializer_list<const char *> names)
{
    QStringList list;
    for (const char *name : names)
        list << QString::fromLatin1(name);
    list.sort();
    return list;
}

} // namespace

class TestCliModels final : public CliTestBase
{
    Q_OBJECT

private slots:
    void initTestCase();
    void fields();
    void infinityAndDegenerateModels();
    void correctedOddsRatios_data();
    void correctedOddsRatios();
    void confidenceLevel();
    void refusedAndReport();
    void usageErrors_data();
    void usageErrors();
    void sameLinesEveryWay();
};

void TestCliModels::initTestCase()
{
    QVERIFY(dir.isValid());
}

// A SNP of PLINK's --simulate, as --model printed it (GENO 106/429/465 in
// cases, 104/443/453 in controls): PLINK's figures to its four digits.
void TestCliModels::fields()
{
    const CliRun r = run({QStringLiteral("models"), QStringLiteral("-")}, "106\t429\t465\n104\t443\t453\n");
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.lines().size(), 1);
    const QJsonObject o = r.json();
    QCOMPARE(keys(o), sorted({"file", "table", "range", "test", "status", "effect_homozygote_column", "allele_freq",
                              "hwe_controls", "genotypic", "trend", "allelic", "dominant", "recessive",
                              "overdominant", "codominant", "log_additive"}));
    QVERIFY(r.lines().first().startsWith(
        "{\"file\":\"-\",\"table\":1,\"range\":\"A1:C2\",\"test\":\"models\",\"status\":0,\"effect_homozygote_column\":1,"
        "\"allele_freq\":{\"cases\":0.3205,\"controls\":0.3255},\"hwe_controls\":{\"p\":"));
    const QStringList twoByTwo =
        sorted({"chi2", "p_chi2", "p_exact", "p_midp", "or", "or_ci", "or_corrected", "or_cmle", "or_cmle_ci"});
    for (const char *model : {"allelic", "dominant", "recessive", "overdominant"})
        QCOMPARE(keys(o[QLatin1String(model)].toObject()), twoByTwo);
    QCOMPARE(keys(o[QStringLiteral("genotypic")].toObject()), sorted({"chi2", "df", "p_chi2", "p_exact", "p_midp"}));
    QCOMPARE(keys(o[QStringLiteral("trend")].toObject()), sorted({"chi2", "p_chi2"}));
    QCOMPARE(keys(o[QStringLiteral("codominant")].toObject()),
             sorted({"or_het", "or_het_ci", "or_het_corrected", "or_hom", "or_hom_ci", "or_hom_corrected"}));
    QCOMPARE(keys(o[QStringLiteral("log_additive")].toObject()), sorted({"or", "or_ci", "p_lrt"}));

    const auto at = [&o](const char *model, const char *field) {
        return sixDigits(o[QLatin1String(model)].toObject()[QLatin1String(field)].toDouble()).left(6);
    };
    // --model: GENO 0.8185, TREND 0.7357, ALLELIC 0.7353, DOM 0.5903, REC 0.884;
    // fisher: 0.8192, 0.7609, 0.6216, 0.9419; fisher-midp: 0.8174, 0.7354, 0.5906, 0.8844.
    QCOMPARE(at("genotypic", "p_chi2"), QStringLiteral("0.8184"));
    QCOMPARE(at("genotypic", "p_exact"), QStringLiteral("0.8191"));
    QCOMPARE(at("genotypic", "p_midp"), QStringLiteral("0.8173"));
    QCOMPARE(at("trend", "p_chi2"), QStringLiteral("0.7356"));
    QCOMPARE(at("allelic", "p_exact"), QStringLiteral("0.7608"));
    QCOMPARE(at("recessive", "p_midp"), QStringLiteral("0.8843"));
    QCOMPARE(o[QStringLiteral("genotypic")].toObject()[QStringLiteral("df")].toInt(), 2);
    // --assoc --ci 0.95: OR 0.9774, L95 0.8561, U95 1.116.
    const QJsonObject allelic = o[QStringLiteral("allelic")].toObject();
    QCOMPARE(sixDigits(allelic[QStringLiteral("or")].toDouble()), QStringLiteral("0.977394"));
    QCOMPARE(sixDigits(allelic[QStringLiteral("or_ci")].toArray()[0].toDouble()), QStringLiteral("0.856064"));
    QCOMPARE(sixDigits(allelic[QStringLiteral("or_ci")].toArray()[1].toDouble()), QStringLiteral("1.11592"));
}

// Cases carrying more effect alleles than every control: "inf" for the
// infinite estimates and limits, null for what the model does not give;
// the columns reversed name the other column and change nothing else.
void TestCliModels::infinityAndDegenerateModels()
{
    const CliRun r = run({QStringLiteral("models"), QStringLiteral("-")}, "0\t10\t5\n7\t3\t0\n\n5\t10\t0\n0\t3\t7\n");
    QCOMPARE(r.exitCode, 0);
    const QByteArray line = r.lines().at(0);
    QVERIFY(line.contains("\"or_cmle\":\"inf\",\"or_cmle_ci\":[4.013106740"));
    QVERIFY(line.contains("\"log_additive\":{\"or\":\"inf\",\"or_ci\":[null,null],\"p_lrt\":9.52059474"));
    QVERIFY(!line.contains(":nan") && !line.contains("[nan") && !line.contains(",nan") && !line.contains("NaN"));
    QCOMPARE(r.json(0)[QStringLiteral("effect_homozygote_column")].toInt(), 3);
    QCOMPARE(r.json(1)[QStringLiteral("effect_homozygote_column")].toInt(), 1);
    QByteArray reversed = r.lines().at(1);
    reversed.replace("\"table\":2", "\"table\":1").replace("\"effect_homozygote_column\":1",
                                                           "\"effect_homozygote_column\":3");
    QCOMPARE(reversed, line);

    // No effect homozygotes: the recessive model is null, the genotypic
    // one the 2 x 2 of the other genotypes (R: chisq.test(correct = FALSE)
    // gives X-squared = 27.63818678).
    const CliRun none = run({QStringLiteral("models"), QStringLiteral("-")}, "51\t43\t0\n22\t92\t0\n");
    QCOMPARE(none.exitCode, 0);
    QVERIFY(none.lines().first().contains(
        "\"recessive\":{\"chi2\":null,\"p_chi2\":null,\"p_exact\":null,\"p_midp\":null,\"or\":null,"
        "\"or_ci\":[null,null],\"or_corrected\":null,\"or_cmle\":null,\"or_cmle_ci\":[null,null]}"));
    QVERIFY(none.lines().first().contains("\"genotypic\":{\"chi2\":27.638186"));
    QCOMPARE(none.json()[QStringLiteral("genotypic")].toObject()[QStringLiteral("df")].toInt(), 1);
}

// Which Woolf odds ratios had 0.5 added to every cell, beside each one.
void TestCliModels::correctedOddsRatios_data()
{
    QTest::addColumn<QByteArray>("table");
    QTest::addColumn<QStringList>("corrected");  // model.field, the rest false
    QTest::newRow("none") << QByteArray("106\t429\t465\n104\t443\t453\n") << QStringList();
    // Allelic 18 0 / 0 18: (18.5 x 18.5) / (0.5 x 0.5) = 1369.
    QTest::newRow("separated") << QByteArray("0\t0\t9\n9\t0\t0\n")
                               << QStringList{QStringLiteral("allelic.or_corrected"),
                                              QStringLiteral("dominant.or_corrected"),
                                              QStringLiteral("recessive.or_corrected"),
                                              QStringLiteral("codominant.or_hom_corrected")};
    QTest::newRow("one zero cell") << QByteArray("0\t10\t5\n7\t3\t0\n")
                                   << QStringList{QStringLiteral("dominant.or_corrected"),
                                                  QStringLiteral("recessive.or_corrected"),
                                                  QStringLiteral("codominant.or_het_corrected"),
                                                  QStringLiteral("codominant.or_hom_corrected")};
}

void TestCliModels::correctedOddsRatios()
{
    QFETCH(QByteArray, table);
    QFETCH(QStringList, corrected);
    const CliRun r = run({QStringLiteral("models"), QStringLiteral("-")}, table);
    QCOMPARE(r.exitCode, 0);
    const QJsonObject o = r.json();
    QStringList got;
    for (const char *model : {"allelic", "dominant", "recessive", "overdominant", "codominant"}) {
        const QJsonObject m = o[QLatin1String(model)].toObject();
        for (auto it = m.begin(); it != m.end(); ++it) {
            if (!it.key().endsWith(QStringLiteral("_corrected")))
                continue;
            // null exactly where the model has no odds ratio.
            const QString ratio = it.key().chopped(int(qstrlen("_corrected")));
            QVERIFY2(it.value().isBool() == !m[ratio].isNull(), qPrintable(it.key()));
            if (it.value().toBool())
                got << QLatin1String(model) + u'.' + it.key();
        }
    }
    QCOMPARE(got, corrected);
    if (table.startsWith("0\t0"))
        QCOMPARE(o[QStringLiteral("allelic")].toObject()[QStringLiteral("or")].toDouble(), 1369.0);
}

// The level reaches every interval and no P-value.
void TestCliModels::confidenceLevel()
{
    const QByteArray table("106\t429\t465\n104\t443\t453\n");
    const QJsonObject at95 = run({QStringLiteral("models"), QStringLiteral("-")}, table).json();
    const QJsonObject at99 = run({QStringLiteral("models"), QStringLiteral("--conf-level=0.99"), QStringLiteral("-")},
                                 table).json();
    QCOMPARE(at99[QStringLiteral("genotypic")], at95[QStringLiteral("genotypic")]);
    for (const char *key : {"or_ci", "or_cmle_ci"}) {
        const QJsonArray wide = at99[QStringLiteral("allelic")].toObject()[QLatin1String(key)].toArray();
        const QJsonArray narrow = at95[QStringLiteral("allelic")].toObject()[QLatin1String(key)].toArray();
        QVERIFY(wide[0].toDouble() < narrow[0].toDouble() && wide[1].toDouble() > narrow[1].toDouble());
    }
    // R 4.2.2: fisher.test(conf.level = 0.99) on the allelic table gives
    // 0.8192739 to 1.1660106, good to about 1e-4.
    const QJsonArray exact = at99[QStringLiteral("allelic")].toObject()[QStringLiteral("or_cmle_ci")].toArray();
    QVERIFY(qAbs(exact[0].toDouble() / 0.8192739 - 1.0) < 1e-4);
    QVERIFY(qAbs(exact[1].toDouble() / 1.1660106 - 1.0) < 1e-4);
}

// A refused block says why and claims no success; --report gives the
// Results window's entry with its tables.
void TestCliModels::refusedAndReport()
{
    const CliRun refused = run({QStringLiteral("models"), QStringLiteral("-")},
                               "0\t0\t7\n0\t0\t9\n\n1\t2\n3\t4\n\n1\t2\t3\n0\t0\t0\n");
    QCOMPARE(refused.exitCode, 1);
    const QStringList messages = {QStringLiteral("Fewer than two alleles"), QStringLiteral("wrong Range"),
                                  QStringLiteral("Sum=0 for row # 2")};
    for (int i = 0; i < 3; ++i) {
        const QJsonObject o = refused.json(i);
        QCOMPARE(o[QStringLiteral("status")].toString(), QStringLiteral("rejected"));
        QCOMPARE(o[QStringLiteral("message")].toString(), messages.at(i));
        QVERIFY(!o.contains(QStringLiteral("p")) && !o.contains(QStringLiteral("allelic")));
    }

    const CliRun report = run({QStringLiteral("models"), QStringLiteral("--report"), QStringLiteral("-")},
                              "51\t43\t0\n22\t92\t0\n");
    QCOMPARE(report.exitCode, 0);
    const QByteArray entry = report.lines().first();
    QVERIFY(entry.contains("Genetic models, 95% confidence level"));
    QVERIFY(entry.contains("<table"));
    QVERIFY(entry.contains("<br />Recessive: no effect homozygotes in cases or controls"));
}

void TestCliModels::usageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("error");
    QTest::newRow("level for chi2") << QStringList{QStringLiteral("chi2"), QStringLiteral("--conf-level=0.9"),
                                                   QStringLiteral("-")}
                                    << QStringLiteral("--conf-level applies to models, cmh and meta");
    const QString range = QStringLiteral("--conf-level takes a level above 0 and at most 0.999999 (such as 0.95)");
    for (const char *level : {"1", "0", "95", "0.9999999", "x", "nan", "-0.5"})
        QTest::newRow(level) << QStringList{QStringLiteral("models"), QStringLiteral("--conf-level"),
                                            QString::fromLatin1(level), QStringLiteral("-")}
                             << range;
}

void TestCliModels::usageErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, error);
    const CliRun r = run(arguments, "1\t2\t3\n4\t5\t6\n");
    QCOMPARE(r.exitCode, 2);
    QVERIFY(r.out.isEmpty());
    QVERIFY2(r.err.contains(error.toUtf8()), r.err.constData());
}

// Plain counts run on the workers, a table with a formula through the grid:
// the same lines either way, on one thread or three, in the tables' order.
void TestCliModels::sameLinesEveryWay()
{
    QByteArray plain, viaGrid;
    for (int i = 0; i < 60; ++i) {
        const QByteArray cases = QByteArray::number(3 * i + 1) + '\t' + QByteArray::number(50 + i) + '\t'
                                 + QByteArray::number(100 - i) + '\n';
        const QByteArray controls = QByteArray::number(i % 7) + '\t' + QByteArray::number(60) + '\t'
                                    + QByteArray::number(90 + i % 11) + '\n';
        plain += cases + controls + '\n';
        viaGrid += "=" + cases.left(cases.indexOf('\t')) + "+0" + cases.mid(cases.indexOf('\t')) + controls + '\n';
    }
    const QString plainFile = write(QStringLiteral("plain.tsv"), plain);
    const QString gridFile = write(QStringLiteral("grid.tsv"), viaGrid);
    const CliRun one = run({QStringLiteral("models"), QStringLiteral("--threads=1"), plainFile});
    const CliRun three = run({QStringLiteral("models"), QStringLiteral("--threads=3"), plainFile});
    CliRun grid = run({QStringLiteral("models"), QStringLiteral("--threads=2"), gridFile});
    QCOMPARE(one.exitCode, 0);
    QCOMPARE(one.lines().size(), 60);
    QCOMPARE(three.out, one.out);
    grid.out.replace("grid.tsv", "plain.tsv");
    QCOMPARE(grid.out, one.out);
}

QTEST_GUILESS_MAIN(TestCliModels)
#include "test_climodels.moc"
