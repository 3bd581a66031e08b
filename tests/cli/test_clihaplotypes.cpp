// velmora-cli haplotypes on VCF files written here: its JSON line against
// haplo.em on a simulated region (the references of test_haplotypes), the
// same bytes on any number of threads, TSV rows and a picture, and each
// refusal with its message and exit status 1.
#include "clitestbase.h"

#include <QFileInfo>
#include <QJsonArray>

using namespace clitest;

namespace {

// One SNP of a written VCF: its ID, ALT and a call per sample.
struct Snp
{
    QByteArray id;
    QByteArray alt = "G";
    QList<QByteArray> calls;
};

QByteArray vcfText(const QList<Snp> &snps)
{
    QByteArray text = "##fileformat=VCFv4.2\n##contig=<ID=7>\n"
                      "##FORMAT=<ID=GT,Number=1,Type=String,Description=\"Genotype\">\n"
                      "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT";
    for (qsizetype s = 0; s < snps.first().calls.size(); ++s)
        text += "\ts" + QByteArray::number(s + 1);
    text += '\n';
    for (qsizetype j = 0; j < snps.size(); ++j) {
        text += "7\t" + QByteArray::number(1000 + 100 * j) + '\t' + snps[j].id + "\tA\t" + snps[j].alt
                + "\t.\tPASS\t.\tGT";
        for (const QByteArray &call : snps[j].calls)
            text += '\t' + call;
        text += '\n';
    }
    return text;
}

QByteArray phenoText(int cases, int controls)
{
    QByteArray text;
    for (int s = 0; s < cases + controls; ++s)
        text += 's' + QByteArray::number(s + 1) + '\t' + (s < cases ? '2' : '1') + '\n';
    return text;
}

// Three linked SNPs of 40 individuals (20 cases), every genotype typed.
QList<Snp> threeSnps()
{
    const QByteArray genotypes[3] = {"0/0", "0/1", "1/1"};
    QList<Snp> snps{{"rs1", "G", {}}, {"rs2", "G", {}}, {"rs3", "G", {}}};
    for (int s = 0; s < 40; ++s) {
        const int a = s % 3;
        const int b = (s / 3) % 3;
        snps[0].calls << genotypes[a];
        snps[1].calls << genotypes[(a + (s % 7 == 0)) % 3];
        snps[2].calls << genotypes[b];
    }
    return snps;
}

// The genotypes of region 1 of test_haplotypes (5 SNPs, 200 cases, 200
// controls) as a VCF, and haplo.em's estimates of it.
struct Region
{
    QList<Snp> snps;
    int cases = 0;
    int controls = 0;
    double loglik[3] = {0, 0, 0};
    QHash<QString, double> freq[3];
};

Region regionOne()
{
    Region region;
    QFile data(QStringLiteral(VELMORA_HAPLO_DATA "/haplo_region-1.txt"));
    if (!data.open(QIODevice::ReadOnly | QIODevice::Text))
        return region;
    const QByteArray calls[4] = {"0/0", "0/1", "1/1", "./."};
    while (!data.atEnd()) {
        const QList<QByteArray> fields = data.readLine().trimmed().split(' ');
        if (fields.size() != 2)
            continue;
        for (qsizetype j = region.snps.size(); j < fields.at(1).size(); ++j)
            region.snps.append(Snp{"rs" + QByteArray::number(j + 1), "G", {}});
        for (qsizetype j = 0; j < fields.at(1).size(); ++j) {
            const int code = fields.at(1).at(j) - '0';
            region.snps[j].calls << calls[code == 9 ? 3 : code];
        }
        (fields.at(0) == "1" ? region.cases : region.controls) += 1;
    }
    QFile refs(QStringLiteral(VELMORA_HAPLO_DATA "/haplo_references.txt"));
    if (!refs.open(QIODevice::ReadOnly | QIODevice::Text))
        return region;
    const QStringList groups{QStringLiteral("all"), QStringLiteral("cases"), QStringLiteral("controls")};
    bool inRegion = false;
    while (!refs.atEnd()) {
        const QStringList f = QString::fromUtf8(refs.readLine()).split(u' ', Qt::SkipEmptyParts);
        if (f.value(0) == u"region")
            inRegion = f.value(1) == u"1";
        else if (inRegion && f.value(0) == u"fit" && f.value(1) == u"full")
            for (int g = 0; g < 3; ++g)
                region.loglik[g] = f.at(3 + g).toDouble();
        else if (inRegion && f.value(0) == u"freq" && f.value(1) == u"full")
            region.freq[groups.indexOf(f.at(2))].insert(f.at(3), f.at(4).toDouble());
    }
    return region;
}

QStringList keysOf(const QJsonObject &object)
{
    QStringList keys = object.keys();
    keys.sort();
    return keys;
}

QStringList names(std::initializer_list<const char *> texts)
{
    QStringList list;
    for (const char *text : texts)
        list << QString::fromLatin1(text);
    return list;
}

QJsonValue field(const QJsonObject &object, const char *key)
{
    return object.value(QLatin1String(key));
}

} // namespace

class TestCliHaplotypes final : public CliTestBase
{
    Q_OBJECT

private slots:
    void againstHaploEm();
    void refusals_data();
    void refusals();
};

// The line's fields, its figures against haplo.em (every locus at once,
// 20 tries), the same bytes on one thread and on three, TSV and --plot.
void TestCliHaplotypes::againstHaploEm()
{
    const Region region = regionOne();
    QCOMPARE(region.cases, 200);
    const QString vcf = write(QStringLiteral("region.vcf"), vcfText(region.snps));
    const QString pheno = write(QStringLiteral("region.pheno"), phenoText(region.cases, region.controls));
    const QStringList arguments{QStringLiteral("haplotypes"), vcf, QStringLiteral("--snps=rs1,rs2,rs3,rs4,rs5"),
                                QStringLiteral("--pheno"), pheno, QStringLiteral("--permutations"),
                                QStringLiteral("200"), QStringLiteral("--seed"), QStringLiteral("11")};
    const CliRun one = run(arguments + QStringList{QStringLiteral("--threads"), QStringLiteral("1")});
    QCOMPARE(one.exitCode, 0);
    QCOMPARE(one.lines().size(), 1);
    const QJsonObject line = one.json();
    QCOMPARE(keysOf(line), names({"cases", "controls", "converged", "file", "global", "haplotypes", "iterations",
                                        "loglik", "loglik_cases", "loglik_controls", "n", "snps", "starts",
                                        "starts_at_best", "status", "untyped"}));
    QCOMPARE(field(line, "n").toInt(), 400);
    QCOMPARE(field(line, "converged").toBool(), true);
    QCOMPARE(field(line, "starts").toInt(), 20);
    const char *logliks[3] = {"loglik", "loglik_cases", "loglik_controls"};
    for (int g = 0; g < 3; ++g)
        QVERIFY(std::fabs(line.value(QLatin1String(logliks[g])).toDouble() - region.loglik[g]) <= 1e-6);
    const QJsonArray haplotypes = field(line, "haplotypes").toArray();
    double previous = 1.0;
    const char *freqs[3] = {"freq", "freq_cases", "freq_controls"};
    for (const QJsonValue &value : haplotypes) {
        const QJsonObject h = value.toObject();
        const QString alleles = field(h, "alleles").toString();
        if (alleles == u"rare") {
            QCOMPARE(keysOf(h), names({"alleles", "freq", "freq_cases", "freq_controls", "or", "or_ci", "p",
                                             "pooled"}));
            continue;
        }
        QCOMPARE(keysOf(h), names({"alleles", "freq", "freq_cases", "freq_controls", "or", "or_ci", "p"}));
        QVERIFY(field(h, "freq").toDouble() <= previous);
        previous = field(h, "freq").toDouble();
        for (int g = 0; g < 3; ++g)
            QVERIFY2(std::fabs(h.value(QLatin1String(freqs[g])).toDouble() - region.freq[g].value(alleles)) <= 1e-4,
                     qPrintable(alleles));
    }
    QCOMPARE(field(haplotypes.first().toObject(), "or").toDouble(), 1.0);
    const QJsonObject global = field(line, "global").toObject();
    QCOMPARE(keysOf(global), names({"df", "lrt", "p", "p_perm", "p_perm_ci", "permutations", "seed"}));
    QVERIFY(std::fabs(field(global, "lrt").toDouble()
                      - 2.0 * (region.loglik[1] + region.loglik[2] - region.loglik[0])) <= 1e-5);
    QCOMPARE(field(global, "df").toInt(), int(haplotypes.size()) - 1);
    QCOMPARE(field(global, "permutations").toInt(), 200);
    QCOMPARE(field(global, "seed").toInt(), 11);
    const QJsonArray interval = field(global, "p_perm_ci").toArray();
    QVERIFY(interval.at(0).toDouble() <= field(global, "p_perm").toDouble());
    QVERIFY(field(global, "p_perm").toDouble() <= interval.at(1).toDouble());

    const CliRun three = run(arguments + QStringList{QStringLiteral("--threads"), QStringLiteral("3")});
    QCOMPARE(three.out, one.out);

    const CliRun tsv = run(arguments + QStringList{QStringLiteral("--format"), QStringLiteral("tsv")});
    QCOMPARE(tsv.exitCode, 0);
    QCOMPARE(tsv.lines().size(), 1 + haplotypes.size());
    QVERIFY(tsv.lines().first().startsWith("file\tsnps\tn\t"));

    const QString png = dir.filePath(QStringLiteral("haplotypes.png"));
    const CliRun plotted = run(arguments + QStringList{QStringLiteral("--plot"), png});
    QCOMPARE(plotted.exitCode, 0);
    QCOMPARE(plotted.out, one.out);
    QVERIFY(QFileInfo(png).size() > 1000);
}

void TestCliHaplotypes::refusals_data()
{
    QTest::addColumn<QByteArray>("vcf");
    QTest::addColumn<QByteArray>("pheno");
    QTest::addColumn<QString>("snps");
    QTest::addColumn<QString>("message");

    const QByteArray pheno = phenoText(20, 20);
    QList<Snp> snps = threeSnps();
    const QString all3 = QStringLiteral("rs1,rs2,rs3");
    QTest::newRow("usable") << vcfText(snps) << pheno << all3 << QString();
    {
        // rs2's ALT only in cases: its haplotypes' odds ratios are infinite.
        QList<Snp> onlyInCases = threeSnps();
        for (qsizetype s = 20; s < 40; ++s)
            onlyInCases[1].calls[s] = "0/0";
        QTest::newRow("ALT only in cases") << vcfText(onlyInCases) << pheno << QStringLiteral("rs1,rs2") << QString();
    }

    snps = threeSnps();
    for (QByteArray &call : snps[1].calls)
        call = "0/0";
    QTest::newRow("monomorphic") << vcfText(snps) << pheno << all3
                                 << QStringLiteral("SNP 7:1100 (rs2) is monomorphic in the samples used");
    snps = threeSnps();
    snps[1].alt = "G,T";
    snps[1].calls[3] = "0/2";
    QTest::newRow("multi-allelic") << vcfText(snps) << pheno << all3 << QStringLiteral("is multi-allelic");
    snps = threeSnps();
    snps[2].calls[5] = "1";
    snps[2].calls[6] = "0";
    QTest::newRow("haploid") << vcfText(snps) << pheno << all3 << QStringLiteral("has 2 haploid calls");
    snps = threeSnps();
    for (qsizetype s = 0; s < snps[0].calls.size(); ++s)
        snps[s % 2].calls[s] = "./.";
    QTest::newRow("never typed together") << vcfText(snps) << pheno << all3
                                          << QStringLiteral("no individual is typed at both rs1 and rs2");
    QStringList many;
    for (int i = 1; i <= 21; ++i)
        many << QStringLiteral("rs%1").arg(i);
    QTest::newRow("21 SNPs") << vcfText(threeSnps()) << pheno << many.join(u',')
                             << QStringLiteral("21 SNPs named: haplotypes take 2 to 20");
    QTest::newRow("no case") << vcfText(threeSnps()) << phenoText(0, 40) << QStringLiteral("rs1,rs2")
                             << QStringLiteral("no case is typed");
    QTest::newRow("absent SNP") << vcfText(threeSnps()) << pheno << QStringLiteral("rs1,rs9") << QStringLiteral("rs9");
}

void TestCliHaplotypes::refusals()
{
    QFETCH(QByteArray, vcf);
    QFETCH(QByteArray, pheno);
    QFETCH(QString, snps);
    QFETCH(QString, message);
    const QString file = write(QStringLiteral("snps.vcf"), vcf);
    const QString phenoFile = write(QStringLiteral("snps.pheno"), pheno);
    const CliRun result = run({QStringLiteral("haplotypes"), file, QStringLiteral("--snps"), snps,
                               QStringLiteral("--pheno"), phenoFile, QStringLiteral("--permutations"),
                               QStringLiteral("20")});
    if (message.isEmpty()) {
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(field(result.json(), "status").toInt(), 0);
        // JSON has no infinity: a haplotype never seen in controls has the
        // odds ratio "inf", as the models write it, never null.
        int infinite = 0;
        for (const QJsonValue &entry : field(result.json(), "haplotypes").toArray()) {
            const QJsonObject h = entry.toObject();
            if (h.value(QStringLiteral("freq_controls")).toDouble() == 0.0 && h.value(QStringLiteral("freq_cases")).toDouble() > 0.0) {
                QCOMPARE(h.value(QStringLiteral("or")).toString(), QStringLiteral("inf"));
                ++infinite;
            }
        }
        QCOMPARE(infinite > 0, QByteArray(QTest::currentDataTag()).contains("only in cases"));
        return;
    }
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(result.err.contains(message.toUtf8()), result.err.constData());
    QCOMPARE(field(result.json(), "status").toString(), QStringLiteral("error"));
}

QTEST_GUILESS_MAIN(TestCliHaplotypes)
#include "test_clihaplotypes.moc"
