// velmora-cli cmh on genotype files: the fixture's figures against PLINK
// 1.9's --bd --within in all four forms, multi-allelic sites split per ALT
// with their tables counted again here from the calls, the same bytes for
// any thread count and chunking, and every refusal of the strata named.
#include "../cli/clitestbase.h"
#include "genotypefiles.h"

#include <QJsonArray>

#include <array>
#include <random>

using namespace clitest;
using namespace genotypefiles;

namespace {

// plink1.9 --bfile fixture --bd --within fix.clst --ci 0.95, the first 57
// samples in strata a, b, c, a, b, ... by line and the last three in none: A1, CHISQ, P, OR, L95, U95, CHISQ_BD, P_BD.
const char *const kPlinkBd[24][8] = {
    {"T", "0.0347", "0.8522", "1.111", "0.3683", "3.354", "1.918", "0.3832"},
    {"C", "5.181", "0.02283", "3.111", "1.141", "8.487", "2.211", "0.331"},
    {"T", "0.06054", "0.8056", "1.11", "0.4843", "2.546", "1.707", "0.4259"},
    {"G", "0.04455", "0.8328", "0.8829", "0.2804", "2.78", "1.907", "0.3854"},
    {"T", "0.1751", "0.6756", "1.179", "0.5479", "2.537", "1.584", "0.4529"},
    {"T", "0.9905", "0.3196", "0.6761", "0.313", "1.46", "2.487", "0.2883"},
    {"G", "5.204", "0.02254", "0.4029", "0.185", "0.8774", "0.3326", "0.8468"},
    {"C", "8.161", "0.00428", "3.653", "1.463", "9.118", "2.522", "0.2833"},
    {"T", "3.658", "0.0558", "3.297", "0.9386", "11.58", "2.203", "0.3324"},
    {"T", "1.75", "0.1859", "0.6003", "0.2819", "1.278", "2.075", "0.3544"},
    {"A", "0.3098", "0.5778", "1.369", "0.4596", "4.075", "0.1047", "0.949"},
    {"T", "0.2648", "0.6069", "0.7178", "0.2009", "2.565", "1.941", "0.379"},
    {"T", "3.244", "0.07167", "2.017", "0.9395", "4.328", "2.239", "0.3265"},
    {"T", "0.7448", "0.3881", "0.6699", "0.2713", "1.654", "0.8028", "0.6694"},
    {"G", "1.639", "0.2004", "0.4686", "0.1458", "1.506", "0.901", "0.6373"},
    {"C", "3.871", "0.04911", "2.293", "1", "5.255", "1.849", "0.3966"},
    {"G", "6.524", "0.01064", "0.2725", "0.0972", "0.7637", "2.148", "0.3417"},
    {"A", "0.06159", "0.804", "0.902", "0.3941", "2.065", "5.787", "0.05537"},
    {"G", "0.1214", "0.7275", "1.219", "0.4008", "3.709", "2.584", "0.2747"},
    {"G", "0.2599", "0.6102", "0.8217", "0.388", "1.74", "1.436", "0.4877"},
    {"A", "4.463", "0.03464", "0.2921", "0.08886", "0.9599", "6.552", "0.03779"},
    {"T", "1.769", "0.1835", "1.725", "0.7745", "3.843", "1.833", "0.3999"},
    {"T", "1.532", "0.2158", "1.631", "0.7573", "3.513", "0.2956", "0.8626"},
    {"G", "0.8637", "0.3527", "1.502", "0.6418", "3.516", "0.4303", "0.8064"},
};

QList<QJsonObject> objects(const CliRun &run)
{
    QList<QJsonObject> out;
    for (const QByteArray &line : run.lines())
        out << QJsonDocument::fromJson(line).object();
    return out;
}

double number(const QJsonObject &line, const char *path)
{
    const QStringList parts = QString::fromLatin1(path).split(u'.');
    QJsonValue value = line.value(parts.first());
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const bool index = parts.at(i).at(0).isDigit();
        value = index ? value.toArray().at(parts.at(i).toInt()) : value.toObject().value(parts.at(i));
    }
    return value.toDouble();
}

// A multi-allelic VCF of two strata and its calls, to count again: per
// variant, per sample, the two alleles (-1: missing).
struct Calls
{
    int alts = 0;
    std::vector<std::array<int, 2>> calls;
};

QByteArray multiAllelicVcf(std::vector<Calls> *variants, int samples)
{
    std::mt19937 rng(41);
    QByteArray vcf = "##fileformat=VCFv4.2\n##contig=<ID=2>\n##FORMAT=<ID=GT,Number=1,Type=String,Description=\"Genotype\">\n#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT";
    for (int s = 0; s < samples; ++s)
        vcf += "\ts" + QByteArray::number(s);
    vcf += '\n';
    // Allele weights: the last ALT of the first variant is never called.
    const std::vector<std::vector<int>> weights = {{6, 3, 2, 0}, {1, 1, 1}, {2, 7, 1, 1}, {8, 1}, {1, 9, 9}};
    for (std::size_t v = 0; v < weights.size(); ++v) {
        Calls c;
        c.alts = int(weights[v].size()) - 1;
        vcf += "2\t" + QByteArray::number(100 + int(v)) + "\tm" + QByteArray::number(int(v)) + "\tA\t"
               + QByteArray("C,G,T").left(2 * c.alts - 1) + "\t.\t.\t.\tGT";
        std::discrete_distribution<int> allele(weights[v].begin(), weights[v].end());
        for (int s = 0; s < samples; ++s) {
            if (std::uniform_int_distribution<int>(0, 9)(rng) == 0) {
                vcf += "\t./.";
                c.calls.push_back({-1, -1});
                continue;
            }
            const int a = allele(rng), b = allele(rng);
            vcf += '\t' + QByteArray::number(a) + '/' + QByteArray::number(b);
            c.calls.push_back({a, b});
        }
        vcf += '\n';
        variants->push_back(c);
    }
    return vcf;
}

} // namespace

class TestCliCmh final : public CliTestBase
{
    Q_OBJECT

private slots:
    void initTestCase();
    void plink_data();
    void plink();
    void multiAllelic_data();
    void multiAllelic();
    void sameBytes_data();
    void sameBytes();
    void refused_data();
    void refused();

private:
    QString at(const char *name) const { return dir.filePath(QLatin1StringView(name)); }
    std::vector<Calls> multi;
    static constexpr int kMultiSamples = 80;
};

void TestCliCmh::initTestCase()
{
    QVERIFY(dir.isValid());
    QVERIFY(copyFixture(dir.path()));
    QVERIFY(compressAndConvert(at("fixture.vcf"), at("fixture.vcf.gz"), at("fixture.bcf")));
    QFile fam(at("fixture.fam"));
    QVERIFY(fam.open(QIODevice::ReadOnly));
    QByteArray pheno, strata = "FID IID CLUSTER\n";
    int line = 0;
    for (const QByteArray &text : fam.readAll().split('\n')) {
        const QList<QByteArray> f = text.simplified().split(' ');
        if (f.size() < 6)
            continue;
        pheno += f[0] + '_' + f[1] + ' ' + f[5] + '\n';
        if (++line <= 57)
            strata += f[0] + ' ' + f[1] + ' ' + "cab"[line % 3] + '\n';
    }
    write(QStringLiteral("pheno.txt"), pheno);
    write(QStringLiteral("strata.txt"), strata);
    write(QStringLiteral("multi.vcf"), multiAllelicVcf(&multi, kMultiSamples));
    QByteArray multiPheno, multiStrata;
    for (int s = 0; s < kMultiSamples; ++s) {
        multiPheno += "s" + QByteArray::number(s) + (s % 2 ? " 1\n" : " 2\n");
        multiStrata += "s" + QByteArray::number(s) + (s < kMultiSamples / 2 ? " x\n" : " y\n");
    }
    write(QStringLiteral("multi.pheno"), multiPheno);
    write(QStringLiteral("multi.strata"), multiStrata);
}

void TestCliCmh::plink_data()
{
    QTest::addColumn<QString>("file");
    for (const char *name : {"fixture.bed", "fixture.vcf", "fixture.vcf.gz", "fixture.bcf"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

// Every SNP's CMH chi-squared and P, Mantel-Haenszel OR and interval and
// Breslow-Day chi-squared and P to PLINK's 4 digits, for PLINK's A1; the
// samples without a stratum counted out.
void TestCliCmh::plink()
{
    QFETCH(QString, file);
    QStringList arguments{QStringLiteral("cmh"), file, QStringLiteral("--strata"), at("strata.txt")};
    if (!file.endsWith(QStringLiteral(".bed")))
        arguments << QStringLiteral("--pheno") << at("pheno.txt");
    const CliRun out = run(arguments);
    QCOMPARE(out.exitCode, 0);
    QVERIFY2(out.err.contains(": 30 cases and 27 controls in 3 strata; 0 samples without a phenotype and 3 without "
                              "a stratum left out"),
             out.err);
    const QList<QJsonObject> lines = objects(out);
    QCOMPARE(lines.size(), 24);
    const char *const fields[] = {"cmh.chi2", "cmh.p", "mh.or", "mh.or_ci.0", "mh.or_ci.1", "breslow_day.chi2",
                                  "breslow_day.p"};
    for (int v = 0; v < 24; ++v) {
        const QJsonObject &line = lines[v];
        QCOMPARE(line.value(QStringLiteral("status")).toInt(-1), 0);
        QCOMPARE(line.value(QStringLiteral("tested_allele")).toString(), QString::fromLatin1(kPlinkBd[v][0]));
        QCOMPARE(line.value(QStringLiteral("informative")).toInt(), 3);
        QCOMPARE(line.value(QStringLiteral("strata")).toArray().size(), 3);
        QCOMPARE(line.value(QStringLiteral("p")).toDouble(), number(line, "cmh.p"));
        for (int f = 0; f < 7; ++f)
            QVERIFY2(printedAs(number(line, fields[f]), kPlinkBd[v][f + 1], 4),
                     qPrintable(QStringLiteral("snp_%1 %2: %3, PLINK %4")
                                    .arg(v)
                                    .arg(QLatin1StringView(fields[f]))
                                    .arg(number(line, fields[f]), 0, 'g', 17)
                                    .arg(QLatin1StringView(kPlinkBd[v][f + 1]))));
    }
}

void TestCliCmh::multiAllelic_data()
{
    QTest::addColumn<QString>("model");
    for (const char *model : {"allelic", "dominant", "recessive"})
        QTest::newRow(model) << QString::fromLatin1(model);
}

// One line per ALT against the rest; the tables of each, counted here
// from the calls, on the side with fewer copies (the ALT on a tie); an ALT
// without copies refused, on its own line.
void TestCliCmh::multiAllelic()
{
    QFETCH(QString, model);
    const CliRun out = run({QStringLiteral("cmh"), at("multi.vcf"), QStringLiteral("--strata"), at("multi.strata"),
                            QStringLiteral("--pheno"), at("multi.pheno"), QStringLiteral("--model"), model});
    QCOMPARE(out.exitCode, 0);
    const QList<QJsonObject> lines = objects(out);
    const QStringList names{QStringLiteral("A"), QStringLiteral("C"), QStringLiteral("G"), QStringLiteral("T")};
    int at = 0;
    for (std::size_t v = 0; v < multi.size(); ++v) {
        for (int x = 1; x <= multi[v].alts; ++x) {
            const QJsonObject line = lines.value(at++);
            QCOMPARE(line.value(QStringLiteral("variant")).toInt(), int(v) + 1);
            QCOMPARE(line.value(QStringLiteral("alt")).toArray(), QJsonArray{names[x]});
            std::array<int, 4> copies{};   // of x and of the rest, in cases and in controls
            QVector<bool> carried(multi[v].alts + 1, false);
            for (int s = 0; s < kMultiSamples; ++s) {
                const auto &c = multi[v].calls[std::size_t(s)];
                if (c[0] < 0)
                    continue;
                const int ofX = (c[0] == x) + (c[1] == x);
                copies[std::size_t(s % 2 ? 2 : 0)] += ofX;
                copies[std::size_t(s % 2 ? 3 : 1)] += 2 - ofX;
                carried[c[0]] = carried[c[1]] = true;
            }
            if (copies[0] + copies[2] == 0) {
                QCOMPARE(line.value(QStringLiteral("status")).toString(), QStringLiteral("rejected"));
                QCOMPARE(line.value(QStringLiteral("message")).toString(), QStringLiteral("no copies of ") + names[x]);
                continue;
            }
            const bool testsX = copies[0] + copies[2] <= copies[1] + copies[3];
            QString rest;
            for (int i = 0; i <= multi[v].alts; ++i) {
                if (i != x && carried[i])
                    rest += (rest.isEmpty() ? QString() : QStringLiteral(",")) + names[i];
            }
            QCOMPARE(line.value(QStringLiteral("tested_allele")).toString(), testsX ? names[x] : rest);
            std::array<std::array<int, 4>, 2> want{};
            for (int s = 0; s < kMultiSamples; ++s) {
                const auto &c = multi[v].calls[std::size_t(s)];
                if (c[0] < 0)
                    continue;
                const int ofX = (c[0] == x) + (c[1] == x);
                const int tested = testsX ? ofX : 2 - ofX;
                const int count = model == u"allelic" ? tested : model == u"dominant" ? int(tested > 0) : int(tested == 2);
                const int total = model == u"allelic" ? 2 : 1;
                auto &t = want[std::size_t(s < kMultiSamples / 2 ? 0 : 1)];
                t[std::size_t(s % 2 ? 2 : 0)] += count;
                t[std::size_t(s % 2 ? 3 : 1)] += total - count;
            }
            const QJsonArray strata = line.value(QStringLiteral("strata")).toArray();
            QCOMPARE(strata.size(), 2);
            for (int k = 0; k < 2; ++k) {
                for (int cell = 0; cell < 4; ++cell)
                    QCOMPARE(strata[k].toArray()[cell].toInt(), want[std::size_t(k)][std::size_t(cell)]);
            }
        }
    }
    QCOMPARE(at, lines.size());
}

void TestCliCmh::sameBytes_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow(".bed") << QStringList{QStringLiteral("fixture.bed")};
    QTest::newRow(".vcf.gz, tsv") << QStringList{QStringLiteral("fixture.vcf.gz"), QStringLiteral("--pheno"),
                                                 QStringLiteral("pheno.txt"), QStringLiteral("--format"),
                                                 QStringLiteral("tsv")};
    QTest::newRow(".bcf, dominant, 0.9") << QStringList{QStringLiteral("fixture.bcf"), QStringLiteral("--pheno"),
                                                        QStringLiteral("pheno.txt"), QStringLiteral("--model"),
                                                        QStringLiteral("dominant"), QStringLiteral("--conf-level"),
                                                        QStringLiteral("0.9")};
}

// One run's bytes, again with 1 to 3 threads and from three chunks joined;
// a TSV row holds its JSON line's strata, one stratum's cells after another.
void TestCliCmh::sameBytes()
{
    QFETCH(QStringList, arguments);
    arguments.prepend(QStringLiteral("cmh"));
    arguments << QStringLiteral("--strata") << QStringLiteral("strata.txt");
    const CliRun one = run(arguments);
    QCOMPARE(one.exitCode, 0);
    QVERIFY(one.lines().size() >= 24);
    for (const char *threads : {"1", "2", "3"})
        QCOMPARE(run(arguments + QStringList{QStringLiteral("--threads"), QLatin1StringView(threads)}).out, one.out);
    QByteArray joined;
    for (int i = 1; i <= 3; ++i)
        joined += run(arguments + QStringList{QStringLiteral("--chunk"), QStringLiteral("%1/3").arg(i)}).out;
    QCOMPARE(joined, one.out);
    if (!arguments.contains(QStringLiteral("tsv")))
        return;
    const QList<QByteArray> header = one.lines().first().split('\t');
    const QList<QByteArray> row = one.lines().at(1).split('\t');
    QCOMPARE(row.size(), header.size());
    const QJsonObject json = objects(run(arguments.mid(0, arguments.indexOf(QStringLiteral("--format")))
                                         + arguments.mid(arguments.indexOf(QStringLiteral("--format")) + 2)))
                                 .first();
    QStringList strata;
    for (const QJsonValue &t : json.value(QStringLiteral("strata")).toArray()) {
        QStringList cells;
        for (const QJsonValue &c : t.toArray())
            cells << QString::number(c.toInt());
        strata << cells.join(u',');
    }
    QCOMPARE(QString::fromUtf8(row[header.indexOf("strata")]), strata.join(u';'));
    QCOMPARE(row[header.indexOf("exact.p")].toDouble(), number(json, "exact.p"));
}

void TestCliCmh::refused_data()
{
    QTest::addColumn<QByteArray>("strata");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exit");
    QTest::addColumn<QString>("message");
    const QByteArray good = "per0_per0 a\nper1_per1 b\nper2_per2 a\n";
    const QStringList plain{QStringLiteral("cmh"), QStringLiteral("fixture.bed"), QStringLiteral("--strata"),
                            QStringLiteral("s.txt")};
    QTest::newRow("unknown sample") << good + "per99_per99 b\n" << plain << 1
                                    << QStringLiteral("1 of the samples given strata are not in it (the first: per99_per99)");
    QTest::newRow("sample twice") << good + "per1_per1 a\n" << plain << 1
                                  << QStringLiteral("line 4: sample per1_per1 is listed twice");
    QTest::newRow("one stratum") << QByteArray("IID STRATUM\nper0_per0 a\nper1_per1 a\n") << plain << 1
                                 << QStringLiteral("every sample is in stratum a; a stratified test needs two or more");
    QTest::newRow("empty stratum") << good << plain + QStringList{QStringLiteral("--samples"), QStringLiteral("keep.txt")}
                                   << 1 << QStringLiteral("no sample with a phenotype is in stratum b");
    QTest::newRow("four fields") << QByteArray("per0 per0 a x\n") << plain << 1
                                 << QStringLiteral("line 1: a sample ID (or FID and IID) and its stratum expected, found 4 fields");
    QTest::newRow("no such file") << QByteArray() << plain << 1 << QStringLiteral("s.txt: no such file");
    QTest::newRow("no --strata") << good << plain.mid(0, 2) << 2 << QStringLiteral("cmh needs --strata FILE");
    QTest::newRow("--seed") << good << plain + QStringList{QStringLiteral("--seed"), QStringLiteral("1")} << 2
                            << QStringLiteral("--seed applies to the Monte Carlo estimates");
    QTest::newRow("--model of hwe") << good
                                    << QStringList{QStringLiteral("hwe"), QStringLiteral("fixture.bed"),
                                                   QStringLiteral("--model"), QStringLiteral("dominant")}
                                    << 2 << QStringLiteral("--model applies to cmh only");
    QTest::newRow("bad --model") << good << plain + QStringList{QStringLiteral("--model"), QStringLiteral("additive")}
                                 << 2 << QStringLiteral("--model takes allelic, dominant or recessive");
    QTest::newRow("a table") << good
                             << QStringList{QStringLiteral("cmh"), QStringLiteral("table.tsv"), QStringLiteral("--strata"),
                                            QStringLiteral("s.txt")}
                             << 2 << QStringLiteral("cmh runs on genotype files");
}

// A clear message, the exit status, and no result claimed.
void TestCliCmh::refused()
{
    QFETCH(QByteArray, strata);
    QFETCH(QStringList, arguments);
    QFETCH(int, exit);
    QFETCH(QString, message);
    write(QStringLiteral("keep.txt"), "per0_per0\nper2_per2\n");
    write(QStringLiteral("table.tsv"), "1\t2\n3\t4\n");
    QFile::remove(at("s.txt"));
    if (!strata.isEmpty())
        write(QStringLiteral("s.txt"), strata);
    const CliRun out = run(arguments);
    QCOMPARE(out.exitCode, exit);
    QVERIFY2(out.err.contains(message.toUtf8()), out.err);
    QVERIFY2(!out.out.contains("\"status\":0"), out.out);
}

QTEST_MAIN(TestCliCmh)
#include "test_clicmh.moc"
