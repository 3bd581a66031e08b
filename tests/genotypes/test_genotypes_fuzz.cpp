// Random and damaged genotype input under the sanitizers: the .bed counting
// agrees with a count sample by sample for any group layout; filesets with
// truncated, extended or altered .bed, .bim and .fam never crash the reader
// and either end with a named error or give every variant all its samples;
// random record lines decode to the counts of a plain reading of their
// calls, and mutated ones are refused or count each sample once.
#include "bedcounts.h"
#include "genotypefiles.h"
#include "genotypereader.h"
#include "vcfline.h"

#include <QtTest>

#include <map>
#include <random>

class TestGenotypesFuzz final : public QObject
{
    Q_OBJECT

private slots:
    void bedCounts();
    void damagedFilesets();
    void recordLines();
    void packedCalls();

private:
    std::mt19937 rng{20240607};
    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); }
};

void TestGenotypesFuzz::bedCounts()
{
    for (int round = 0; round < 2000; ++round) {
        const int samples = below(71);
        const int groups = 1 + below(2);
        std::vector<qint8> groupOf(static_cast<std::size_t>(samples));
        for (qint8 &g : groupOf)
            g = qint8(below(groups + 1) - 1);
        BedCounter counter;
        counter.setGroups(groupOf, groups);
        std::vector<uchar> bytes(static_cast<std::size_t>(counter.bytesPerVariant()));
        for (uchar &b : bytes)
            b = uchar(below(256));
        BedCounter::Codes got[2];
        counter.count(bytes.data(), got);
        for (int g = 0; g < groups; ++g) {
            BedCounter::Codes want = {0, 0, 0, 0};
            for (int s = 0; s < samples; ++s) {
                if (groupOf[std::size_t(s)] == g)
                    ++want[std::size_t((bytes[std::size_t(s / 4)] >> (2 * (s % 4))) & 3)];
            }
            QCOMPARE(got[g], want);
        }
    }
}

void TestGenotypesFuzz::damagedFilesets()
{
    QTemporaryDir dir;
    QVERIFY(genotypefiles::copyFixture(dir.path()));
    const auto read = [&](const char *suffix) {
        QFile f(genotypefiles::data(QStringLiteral("fixture") + QLatin1StringView(suffix)));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    const QByteArray bed = read(".bed"), bim = read(".bim"), fam = read(".fam");
    for (int round = 0; round < 400; ++round) {
        QByteArray files[3] = {bed, bim, fam};
        for (int change = 1 + below(3); change > 0; --change) {
            QByteArray &f = files[below(3)];
            const int at = below(int(f.size()) + 1);
            switch (below(5)) {
            case 0: f.truncate(at); break;
            case 1: f.insert(at, QByteArray(1 + below(8), char(below(256)))); break;
            case 2: if (at < f.size()) f[at] = char(below(256)); break;
            case 3: f.insert(at, below(2) ? "\n" : "\t"); break;
            default: f.insert(at, f.mid(at, below(40))); break;
            }
        }
        for (int i = 0; i < 3; ++i) {
            QFile out(dir.filePath(QStringLiteral("fixture") + QLatin1StringView(i == 0 ? ".bed" : i == 1 ? ".bim" : ".fam")));
            QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
            out.write(files[i]);
        }
        QString error;
        std::unique_ptr<GenotypeReader> reader = openGenotypeFile(dir.filePath(QStringLiteral("fixture.bed")), {}, &error);
        if (!reader) {
            QVERIFY2(error.contains(QStringLiteral("fixture.")), qPrintable(error));
            continue;
        }
        const int samples = int(reader->sampleIds().size());
        RawRecord raw;
        GenotypeTally tally;
        VariantTable table;
        qint64 variants = 0;
        while (reader->read(raw)) {
            QVERIFY(reader->decode(raw, tally, table.identity, &error));
            tally.toTable(TableLayout::HardyWeinberg, table);
            QCOMPARE(table.n + table.missing, samples);
            ++variants;
        }
        QVERIFY2(reader->errorString().isEmpty(), qPrintable(reader->errorString()));
        QCOMPARE(variants, reader->knownRecordCount());
    }
}

void TestGenotypesFuzz::recordLines()
{
    for (int round = 0; round < 3000; ++round) {
        const int samples = 1 + below(8);
        const int alleles = 1 + below(12);
        const int gtAt = below(3);   // GT alone, first, or second
        QByteArray line = "2\t" + QByteArray::number(1 + below(1000)) + "\tv\tA\t";
        QList<QByteArray> alts;
        for (int a = 1; a < alleles; ++a)
            alts << "C" + QByteArray::number(a);
        line += alleles == 1 ? QByteArray(".") : alts.join(',');
        line += QByteArray(gtAt == 0 ? "\t.\t.\t.\tGT" : gtAt == 1 ? "\t.\t.\t.\tGT:DP" : "\t.\t.\t.\tDP:GT");
        std::vector<qint8> groupOf;
        std::map<std::pair<int, int>, int> genotypes;
        int missing = 0, haploid = 0, n = 0;
        for (int s = 0; s < samples; ++s) {
            const qint8 group = qint8(below(2) - (below(4) == 0 ? 1 : 0));
            groupOf.push_back(group);
            const int a = below(alleles), b = below(alleles);
            QByteArray call;
            switch (below(6)) {
            case 0: call = "./."; missing += group >= 0; break;
            case 1: call = QByteArray::number(a) + "/."; missing += group >= 0; break;
            case 2: call = QByteArray::number(a); haploid += group >= 0; break;
            case 3: call = QByteArray::number(a) + "/" + QByteArray::number(b) + "/0"; missing += group >= 0; break;
            default:
                call = QByteArray::number(a) + (below(2) ? "|" : "/") + QByteArray::number(b);
                if (group >= 0) {
                    ++genotypes[{qMin(a, b), qMax(a, b)}];
                    ++n;
                }
            }
            const QByteArray field = gtAt == 0 ? call : gtAt == 1 ? QByteArray(call + ":7") : QByteArray("7:" + call);
            line += '\t' + field;
        }
        GenotypeTally tally;
        VariantTable table;
        QString why;
        QVERIFY2(decodeVcfLine(line.constData(), line.size(), samples, groupOf.data(), 2, tally, table.identity, &why),
                 qPrintable(why + u' ' + QString::fromUtf8(line)));
        tally.toTable(TableLayout::HardyWeinberg, table);
        QCOMPARE(table.n, n);
        QCOMPARE(table.missing, missing);
        QCOMPARE(table.haploid, haploid);
        if (table.rejected.isEmpty()) {
            // The cells, allele by allele present, against the plain count.
            std::vector<int> present;
            for (int a = 0; a < alleles; ++a)
                for (const auto &[pair, count] : genotypes)
                    if ((pair.first == a || pair.second == a) && (present.empty() || present.back() != a))
                        present.push_back(a);
            QCOMPARE(table.alleles, int(present.size()));
            for (int i = 0; i < table.alleles; ++i)
                for (int j = i; j < table.alleles; ++j)
                    QCOMPARE(table.cell(i, j), genotypes[std::make_pair(present[std::size_t(i)], present[std::size_t(j)])]);
        }

        // The line damaged: refused with a reason, or every sample counted once.
        QByteArray bad = line;
        for (int change = 1 + below(3); change > 0; --change) {
            const int at = below(int(bad.size()));
            static const char pool[] = "\t/|.:0123456789,\r\nx";
            if (below(2))
                bad[at] = pool[below(int(sizeof pool) - 1)];
            else
                bad.remove(at, 1 + below(3));
        }
        if (decodeVcfLine(bad.constData(), bad.size(), samples, groupOf.data(), 2, tally, table.identity, &why)) {
            tally.toTable(TableLayout::HardyWeinberg, table);
            if (tally.counting())
                QCOMPARE(table.n + table.missing + table.haploid, int(std::count_if(groupOf.begin(), groupOf.end(),
                                                                                    [](qint8 g) { return g >= 0; })));
        } else {
            QVERIFY(!why.isEmpty());
        }
    }
}

// Biallelic records of GT alone, the packed path's: counted by stratum
// with and without it, lines of up to 80 calls (the chunks of eight and the
// calls after them), a third damaged (a haploid call, another allele, a
// subfield, a stray byte); both agree on every count and every refusal.
void TestGenotypesFuzz::packedCalls()
{
    static const char *const forms[] = {"0/0", "0/1", "1/0", "1|1", "0|1", "./.", "0/.", ".|1", "1/1"};
    for (int round = 0; round < 3000; ++round) {
        const int samples = 1 + below(80), groups = 2 + 2 * below(2);
        std::vector<qint8> groupOf(static_cast<std::size_t>(samples));
        for (qint8 &g : groupOf)
            g = qint8(below(groups + 1) - 1);
        BedCounter packed;
        packed.setGroups(groupOf, groups);
        QByteArray line = "1\t7\trs7\tA\tG\t.\t.\t.\tGT";
        for (int s = 0; s < samples; ++s)
            line += '\t' + QByteArray(forms[below(int(std::size(forms)))]);
        static const char pool[] = "2.x:|/\t";
        const int at = 9 + 4 * below(samples) + 1 + below(3), damage = below(9);
        const char c = pool[below(int(sizeof pool) - 1)];
        if (damage == 0)
            line[at] = c;
        else if (damage == 1)
            line.remove(at, 1);
        else if (damage == 2)
            line.insert(at, c);
        GenotypeTally plain, fast;
        VariantTable plainTable, fastTable;
        QString plainWhy, fastWhy;
        const bool ok = decodeVcfLine(line.constData(), line.size(), samples, groupOf.data(), groups, plain,
                                      plainTable.identity, &plainWhy);
        QCOMPARE(decodeVcfLine(line.constData(), line.size(), samples, groupOf.data(), groups, fast,
                               fastTable.identity, &fastWhy, &packed),
                 ok);
        QCOMPARE(fastWhy, plainWhy);
        if (!ok)
            continue;
        plain.toTable(TableLayout::Strata, plainTable);
        fast.toTable(TableLayout::Strata, fastTable);
        QCOMPARE(fastTable.cells, plainTable.cells);
        QCOMPARE(fastTable.missing, plainTable.missing);
        QCOMPARE(fastTable.n, plainTable.n);
    }
}

QTEST_APPLESS_MAIN(TestGenotypesFuzz)
#include "test_genotypes_fuzz.moc"
