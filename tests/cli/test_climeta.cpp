// velmora-cli meta: every refusal with its message, the "rejected" status
// of the other table commands and exit status 1, never a figure; the
// degenerate models (no study with the model's exposure, one study, no
// unexposed cases, identical studies) as lines of status 0 whose missing
// figures are null and whose notes say why; a good table's six lines in
// the models' order with the fields velmora-cli documents, each study's
// table under each model checked against its genotype counts; the TSV
// form, refusals included, and one picture per model.
#include "clitestbase.h"

#include <QJsonArray>

using namespace clitest;

namespace {

const QByteArray kGenotypeHeader = "study\tcase0\tcase1\tcase2\tcontrol0\tcontrol1\tcontrol2";
const QByteArray kExposureHeader = "study\tcases_exposed\tcases_unexposed\tcontrols_exposed\tcontrols_unexposed";

// Five studies of two ancestries; Chen has no effect homozygotes among
// its cases.
const QByteArray kGood = kGenotypeHeader
    + "\tsubgroup\tyear\n"
      "Aho\t40\t35\t9\t52\t30\t5\tEUR\t2004\n"
      "Berg\t61\t44\t12\t70\t41\t6\tEUR\t2001\n"
      "Chen\t55\t20\t0\t60\t18\t2\tEAS\t2009\n"
      "Diaz\t33\t30\t8\t45\t28\t4\tEUR\t2012\n"
      "Endo\t70\t25\t3\t81\t22\t1\tEAS\t2007\n";
QByteArray genotypes(const char *rows)
{
    return kGenotypeHeader + '\n' + rows;
}

QByteArray exposures(const char *rows)
{
    return kExposureHeader + '\n' + rows;
}

const char *const kModels[] = {"allelic", "dominant", "recessive", "overdominant", "heterozygote", "homozygote"};

// A value by its path ("reml.hksj.p", "study.0.or", "mh.or_ci.1").
QJsonValue at(const QJsonObject &line, const QString &path)
{
    QJsonValue value = line;
    for (const QString &part : path.split(u'.')) {
        bool index = false;
        const int i = part.toInt(&index);
        value = index ? value.toArray().at(i) : value.toObject().value(part);
    }
    return value;
}

QStringList strings(const QJsonValue &value)
{
    QStringList list;
    for (const QJsonValue &v : value.toArray())
        list << v.toString();
    return list;
}

// The model's table [a, b, c, d] from a study's six counts.
QList<qint64> modelTable(int model, const QList<qint64> &n)
{
    const qint64 c0 = n[0], c1 = n[1], c2 = n[2], k0 = n[3], k1 = n[4], k2 = n[5];
    switch (model) {
    case 0:
        return {2 * c2 + c1, 2 * c0 + c1, 2 * k2 + k1, 2 * k0 + k1};
    case 1:
        return {c1 + c2, c0, k1 + k2, k0};
    case 2:
        return {c2, c0 + c1, k2, k0 + k1};
    case 3:
        return {c1, c0 + c2, k1, k0 + k2};
    case 4:
        return {c1, c0, k1, k0};
    default:
        return {c2, c0, k2, k0};
    }
}

} // namespace

class TestCliMeta final : public CliTestBase
{
    Q_OBJECT

private slots:
    void initTestCase();
    void refusals_data();
    void refusals();
    void degenerateModels_data();
    void degenerateModels();
    void sixModelsInOrder();
    void tsvAndPictures();
};

void TestCliMeta::initTestCase()
{
    QVERIFY(dir.isValid());
}

void TestCliMeta::refusals_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("status");  // empty: a usage error, no line
    QTest::addColumn<QString>("message");
    const QString tsv = QStringLiteral("t.tsv");
    const QString rejected = QStringLiteral("rejected");
    QTest::newRow("one study") << tsv << genotypes("A\t10\t5\t1\t12\t3\t0\n") << QStringList() << 1 << rejected
                               << QStringLiteral("a meta-analysis needs at least 2 studies; the table has 1");
    QTest::newRow("negative count")
        << tsv << genotypes("A\t10\t5\t1\t12\t3\t0\nB\t4\t-1\t1\t5\t3\t1\n") << QStringList() << 1 << rejected
        << QStringLiteral("line 3, study B: case1 is \"-1\", not a count (a whole number of 0 or more)");
    QTest::newRow("fractional count") << tsv << exposures("A\t10\t5\t1\t2.5\nB\t4\t1\t5\t3\n") << QStringList() << 1
                                      << rejected
                                      << QStringLiteral(
                                             "line 2, study A: controls_unexposed is \"2.5\", not a count (a whole "
                                             "number of 0 or more)");
    QTest::newRow("no cases") << tsv << genotypes("A\t10\t5\t1\t12\t3\t0\nB\t0\t0\t0\t5\t3\t1\n") << QStringList() << 1
                              << rejected << QStringLiteral("line 3, study B has no cases");
    QTest::newRow("no controls") << tsv << exposures("A\t10\t5\t0\t0\nB\t4\t1\t5\t3\n") << QStringList() << 1
                                 << rejected << QStringLiteral("line 2, study A has no controls");
    QTest::newRow("bad header") << tsv
                                << QByteArray("study\tcase0\tcase1\tcase2\tcontrol0\tcontrol1\nA\t1\t2\t3\t4\t5\n")
                                << QStringList() << 1 << rejected
                                << QStringLiteral(
                                       "line 1: the header must be \"study case0 case1 case2 control0 control1 "
                                       "control2 [subgroup] [year]\" or \"study cases_exposed cases_unexposed "
                                       "controls_exposed controls_unexposed [subgroup] [year]\"");
    QTest::newRow("unknown column") << tsv
                                    << QByteArray(kExposureHeader + "\tancestry\nA\t10\t5\t1\t2\tX\nB\t4\t1\t5\t3\tY\n")
                                    << QStringList() << 1 << rejected
                                    << QStringLiteral(
                                           "line 1: unknown column \"ancestry\" (after the counts: subgroup, year)");
    QTest::newRow("exposure model on genotypes")
        << tsv << kGood << QStringList{QStringLiteral("--model"), QStringLiteral("exposure")} << 1 << rejected
        << QStringLiteral("--model exposure needs the exposure layout (four counts a study)");
    QTest::newRow("genetic model on exposure")
        << tsv << exposures("A\t10\t5\t1\t2\nB\t4\t1\t5\t3\n")
        << QStringList{QStringLiteral("--model"), QStringLiteral("dominant")} << 1 << rejected
        << QStringLiteral("the exposure layout has one model, exposure");
    // A document's block goes through the window's check (whose every
    // refusal test_checks covers): one refusal shows the wiring.
    QList<std::tuple<int, int, QString>> cells;
    const char *const rows[2][7] = {{"X", "10", "5", "1", "12", "3", "0"}, {"Y", "0", "0", "0", "5", "3", "1"}};
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 7; ++c)
            cells.append({r + 1, c, QString::fromLatin1(rows[r][c])});
    const QByteArray document = documentBytes(cells);
    QTest::newRow("block with no cases") << QStringLiteral("d.sp") << document
                                         << QStringList{QStringLiteral("--range"), QStringLiteral("B2:G3")} << 1
                                         << rejected << QStringLiteral("B2:G3: Study Y (row 3) has no cases");
    QTest::newRow("empty file") << tsv << QByteArray("\n\n") << QStringList() << 1 << QStringLiteral("error")
                                << QStringLiteral("t.tsv holds no table");
    QTest::newRow("unknown model") << tsv << kGood << QStringList{QStringLiteral("--model"), QStringLiteral("additive")}
                                   << 2 << QString()
                                   << QStringLiteral("--model takes allelic, dominant, recessive, overdominant, "
                                                     "heterozygote, homozygote or exposure");
}

// A refusal claims nothing: its status word and message alone, on
// standard error too, and exit status 1 (2 for a usage error, no line).
void TestCliMeta::refusals()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QStringList, options);
    QFETCH(int, exitCode);
    QFETCH(QString, status);
    QFETCH(QString, message);
    write(name, content);  // run in its folder: the messages name the file as given
    const CliRun r = run(QStringList{QStringLiteral("meta")} + options + QStringList{name});
    QCOMPARE(r.exitStatus, QProcess::NormalExit);
    QCOMPARE(r.exitCode, exitCode);
    QVERIFY2(r.err.contains(message.toUtf8()), r.err.constData());
    if (status.isEmpty()) {
        QVERIFY(r.out.isEmpty());
        return;
    }
    QCOMPARE(r.lines().size(), 1);
    const QJsonObject line = r.json();
    QCOMPARE(line.value(QStringLiteral("test")).toString(), QStringLiteral("meta"));
    QCOMPARE(line.value(QStringLiteral("status")).toString(), status);
    QCOMPARE(line.value(QStringLiteral("message")).toString(), message);
    QVERIFY(!line.contains(QStringLiteral("model")) && !line.contains(QStringLiteral("mh")));
}

void TestCliMeta::degenerateModels_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("model");
    QTest::addColumn<int>("studies");
    QTest::addColumn<QStringList>("leftOut");
    QTest::addColumn<QStringList>("notes");
    QTest::addColumn<QStringList>("nulls");
    QTest::addColumn<QStringList>("values");  // "path=value"
    const auto list = [](std::initializer_list<const char *> items) {
        QStringList l;
        for (const char *item : items)
            l << QString::fromUtf8(item);
        return l;
    };
    QTest::newRow("recessive without homozygotes")
        << genotypes("A\t10\t5\t0\t12\t3\t0\nB\t20\t8\t0\t25\t6\t0\nC\t15\t4\t0\t14\t2\t0\n")
        << QStringLiteral("recessive") << 0 << list({"A", "B", "C"})
        << list({"no study has both exposed and unexposed individuals"})
        << list({"study.0.or", "study.0.weight_mh", "mh.or", "mh.p_cmh", "exact.or", "exact.p", "dl.or", "reml.tau2",
               "heterogeneity.q", "heterogeneity.p_zelen", "heterogeneity.zelen_samples", "egger.t", "begg.p",
               "trimfill.k0", "hwe_restricted.dl.or"})
        << list({"study.0.corrected=false"});
    QTest::newRow("recessive in one study")
        << genotypes("A\t10\t5\t2\t12\t3\t0\nB\t20\t8\t0\t25\t6\t0\nC\t15\t4\t0\t14\t2\t0\n")
        << QStringLiteral("recessive") << 1 << list({"B", "C"})
        << list({"heterogeneity needs 2 studies", "Egger, Begg and trim-and-fill need 3 studies"})
        << list({"heterogeneity.q", "heterogeneity.i2", "heterogeneity.p_zelen", "reml.i2", "reml.hksj.p", "egger.p",
               "begg.p", "trimfill.or", "mh.or_ci.0"})
        << list({"mh.or=inf", "exact.or=inf", "exact.or_ci.1=inf", "study.0.corrected=true", "heterogeneity.df=0"});
    QTest::newRow("no unexposed cases")
        << exposures("A\t5\t0\t3\t7\nB\t4\t0\t6\t9\nC\t7\t0\t2\t8\n") << QStringLiteral("exposure") << 3
        << QStringList() << QStringList()
        << list({"study.1.hwe_p", "heterogeneity.breslow_day", "heterogeneity.p_zelen_ci"})
        << list({"mh.or=inf", "exact.or=inf", "study.1.corrected=true", "heterogeneity.p_zelen=1"});
    QTest::newRow("identical studies") << exposures("A\t10\t20\t15\t30\nB\t10\t20\t15\t30\nC\t10\t20\t15\t30\n")
                                       << QStringLiteral("exposure") << 3 << QStringList() << QStringList()
                                       << list({"begg.tau", "begg.p", "egger.t", "reml.hksj.p"})
                                       << list({"heterogeneity.q=0", "heterogeneity.p=1", "heterogeneity.i2=0",
                                              "dl.tau2=0", "heterogeneity.p_zelen=1", "mh.or=1"});
    QTest::newRow("two studies") << exposures("A\t10\t20\t15\t30\nB\t12\t9\t15\t30\n") << QStringLiteral("exposure")
                                 << 2 << QStringList() << list({"Egger, Begg and trim-and-fill need 3 studies"})
                                 << list({"egger.t", "begg.tau", "trimfill.or"}) << list({"heterogeneity.df=1"});
}

// A model that cannot give a figure gives null and says why; the line is
// still a result (status 0), as a models line with an inestimable model is.
void TestCliMeta::degenerateModels()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, model);
    QFETCH(int, studies);
    QFETCH(QStringList, leftOut);
    QFETCH(QStringList, notes);
    QFETCH(QStringList, nulls);
    QFETCH(QStringList, values);
    const QString file = write(QStringLiteral("d.tsv"), content);
    const CliRun r = run({QStringLiteral("meta"), QStringLiteral("--model"), model, file});
    QCOMPARE(r.exitStatus, QProcess::NormalExit);
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.lines().size(), 1);
    QJsonParseError error;
    const QJsonObject line = QJsonDocument::fromJson(r.lines().first(), &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);  // no NaN, no bare inf
    QCOMPARE(line.value(QStringLiteral("status")).toInt(-1), 0);
    QCOMPARE(line.value(QStringLiteral("model")).toString(), model);
    QCOMPARE(line.value(QStringLiteral("studies")).toInt(-1), studies);
    QCOMPARE(strings(line.value(QStringLiteral("left_out"))), leftOut);
    QCOMPARE(strings(line.value(QStringLiteral("notes"))), notes);
    for (const QString &path : nulls)
        QVERIFY2(at(line, path).isNull(), qPrintable(path));
    for (const QString &pair : values) {
        const QString path = pair.section(u'=', 0, 0), want = pair.section(u'=', 1);
        const QJsonValue got = at(line, path);
        const QString shown = got.isBool() ? (got.toBool() ? QStringLiteral("true") : QStringLiteral("false"))
            : got.isString()               ? got.toString()
                                           : QString::number(got.toDouble(qQNaN()), 'g', 12);
        QVERIFY2(shown == want, qPrintable(QStringLiteral("%1: %2, not %3").arg(path, shown, want)));
    }
}

// The six models in order, each with the documented fields, and each
// study's table the model's own cut of its genotype counts.
void TestCliMeta::sixModelsInOrder()
{
    const QString file = write(QStringLiteral("good.tsv"), kGood);
    const CliRun r = run({QStringLiteral("meta"), file});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.lines().size(), 6);
    QStringList fields;
    for (const char *path : {"mh.or", "mh.or_ci", "mh.cmh", "mh.p_cmh", "mh.cmh_cc", "mh.p_cmh_cc", "iv.or", "iv.or_ci",
             "iv.z", "iv.p", "peto.or", "peto.or_ci", "peto.p", "exact.or", "exact.or_ci", "exact.p", "dl.tau2",
             "dl.or", "dl.or_ci", "dl.z", "dl.p", "dl.pi", "reml.tau2", "reml.or", "reml.pi", "reml.tau2_ci", "reml.i2",
             "reml.i2_ci", "reml.h2", "reml.h2_ci", "reml.hksj.or_ci", "reml.hksj.p", "heterogeneity.q",
             "heterogeneity.df", "heterogeneity.p", "heterogeneity.i2", "heterogeneity.h2", "heterogeneity.breslow_day",
             "heterogeneity.p_breslow_day", "heterogeneity.tarone", "heterogeneity.p_tarone", "heterogeneity.p_zelen",
             "egger.t", "egger.df", "egger.p", "begg.tau", "begg.p", "trimfill.k0", "trimfill.side", "trimfill.or",
             "trimfill.or_ci", "hwe_restricted.studies", "hwe_restricted.dl.or", "q_between", "p_between",
             "leave_one_out.4.or", "leave_one_out.4.i2", "subgroups.1.dl.or_ci", "study.4.weight_reml"})
        fields << QString::fromLatin1(path);
    const QList<QList<qint64>> counts = {{40, 35, 9, 52, 30, 5}, {61, 44, 12, 70, 41, 6}, {55, 20, 0, 60, 18, 2},
        {33, 30, 8, 45, 28, 4}, {70, 25, 3, 81, 22, 1}};
    for (int m = 0; m < 6; ++m) {
        const QJsonObject line = r.json(m);
        QCOMPARE(line.value(QStringLiteral("model")).toString(), QLatin1StringView(kModels[m]));
        QCOMPARE(line.value(QStringLiteral("status")).toInt(-1), 0);
        QCOMPARE(line.value(QStringLiteral("studies")).toInt(), 5);
        for (const QString &path : fields)
            QVERIFY2(!at(line, path).isUndefined() && !at(line, path).isNull(),
                qPrintable(QStringLiteral("%1: %2").arg(QLatin1StringView(kModels[m]), path)));
        QCOMPARE(at(line, QStringLiteral("subgroups.0.label")).toString(), QStringLiteral("EUR"));
        QCOMPARE(at(line, QStringLiteral("subgroups.1.label")).toString(), QStringLiteral("EAS"));
        for (int s = 0; s < 5; ++s) {
            const QJsonArray table = at(line, QStringLiteral("study.%1.table").arg(s)).toArray();
            QList<qint64> got;
            for (const QJsonValue &v : table)
                got << qint64(v.toDouble());
            QCOMPARE(got, modelTable(m, counts[s]));
            const double hwe = at(line, QStringLiteral("study.%1.hwe_p").arg(s)).toDouble(-1.0);
            QVERIFY(hwe > 0.0 && hwe <= 1.0);
        }
        // Chen's recessive and homozygote tables have a zero cell.
        QCOMPARE(at(line, QStringLiteral("study.2.corrected")).toBool(), m == 2 || m == 5);
    }
}

// TSV: one header, then one row per line with as many fields, a refused
// table a row too; --plot: one picture per model that has studies.
void TestCliMeta::tsvAndPictures()
{
    const QString file = write(QStringLiteral("two.tsv"), kGood + '\n' + genotypes("A\t1\t2\t3\t4\t5\t6\n"));
    const CliRun tsv = run({QStringLiteral("meta"), QStringLiteral("--format"), QStringLiteral("tsv"), file});
    QCOMPARE(tsv.exitCode, 1);
    const QList<QByteArray> rows = tsv.lines();
    QCOMPARE(rows.size(), 8);
    const QList<QByteArray> header = rows.first().split('\t');
    QCOMPARE(header.mid(0, 8),
        (QList<QByteArray>{"file", "table", "test", "status", "message", "model", "studies", "left_out"}));
    for (int i = 1; i < rows.size(); ++i) {
        const QList<QByteArray> row = rows.at(i).split('\t');
        QCOMPARE(row.size(), header.size());
        QCOMPARE(row.at(header.indexOf("status")), QByteArray(i < 7 ? "0" : "rejected"));
        QCOMPARE(row.at(header.indexOf("model")), QByteArray(i < 7 ? kModels[i - 1] : "NA"));
    }
    QCOMPARE(rows.last().split('\t').at(header.indexOf("message")),
        QByteArray("a meta-analysis needs at least 2 studies; the table has 1"));

    // No effect homozygotes anywhere: the recessive and homozygote models
    // have no study, and no picture.
    const QString sparse = write(QStringLiteral("sparse.tsv"),
        genotypes("A\t10\t5\t0\t12\t3\t0\nB\t20\t8\t0\t25\t6\t0\nC\t15\t4\t0\t14\t2\t0\n"));
    const CliRun plotted = run({QStringLiteral("meta"), QStringLiteral("--plot"), dir.filePath(QStringLiteral("f.png")),
        QStringLiteral("--plot-size"), QStringLiteral("300x200"), sparse});
    QCOMPARE(plotted.exitCode, 0);
    for (int m = 0; m < 6; ++m) {
        QFile picture(dir.filePath(QStringLiteral("f-%1.png").arg(QLatin1StringView(kModels[m]))));
        const bool drawn = m != 2 && m != 5;
        QCOMPARE(picture.exists(), drawn);
        if (drawn)
            QVERIFY(picture.open(QIODevice::ReadOnly) && picture.read(8) == QByteArray("\x89PNG\r\n\x1a\n"));
    }
    const CliRun one = run({QStringLiteral("meta"), QStringLiteral("--model"), QStringLiteral("dominant"),
        QStringLiteral("--plot"), dir.filePath(QStringLiteral("one.svg")), sparse});
    QCOMPARE(one.exitCode, 0);
    QVERIFY(QFile::exists(dir.filePath(QStringLiteral("one.svg"))));
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("one-dominant.svg"))));
}

QTEST_GUILESS_MAIN(TestCliMeta)
#include "test_climeta.moc"
