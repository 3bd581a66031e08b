// velmora-cli on damaged genotype files: the fixture as VCF, .vcf.gz, BCF
// (in many small blocks) and .bed, with bytes flipped, cut short, spans cut
// out or doubled (in the compressed bytes, or in the content before it is
// compressed again), or a compressed file cut after one of its blocks, run
// through hwe, fisher, chi2 and models in turn (with --region through the
// intact file's index, half the time), each run within 30 seconds. Every
// outcome is a result or a clear error: no crash or sanitizer report, no
// hang, and a run that succeeds has read the whole file (every data line of
// a VCF, every variant of the .bim, a BGZF file's end-of-file marker).
#include "genotypefiles.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <random>

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// The content of a BGZF file, and back: damage that reaches the records.
QByteArray inflated(const QString &path)
{
    QByteArray out;
    BGZF *in = bgzf_open(QFile::encodeName(path).constData(), "r");
    char buffer[65536];
    for (ssize_t got; in && (got = bgzf_read(in, buffer, sizeof buffer)) > 0;)
        out.append(buffer, qsizetype(got));
    if (in)
        bgzf_close(in);
    return out;
}

// In blocks of at most 1,500 bytes, so that a file of the fixture's size
// has many, as a large one has.
bool deflated(const QString &path, const QByteArray &content)
{
    BGZF *out = bgzf_open(QFile::encodeName(path).constData(), "w");
    bool ok = out != nullptr;
    for (qsizetype at = 0; ok && at < content.size(); at += 1500)
        ok = bgzf_write(out, content.constData() + at, size_t(qMin<qsizetype>(1500, content.size() - at))) >= 0
             && bgzf_flush(out) == 0;
    return out && bgzf_close(out) == 0 && ok;
}

// Where each BGZF block ends (BSIZE, bytes 16 and 17 of its header, is
// its size less one).
QList<qsizetype> blockEnds(const QByteArray &bytes)
{
    QList<qsizetype> ends;
    for (qsizetype at = 0; at + 18 <= bytes.size();) {
        at += qsizetype(uchar(bytes[at + 16])) + (qsizetype(uchar(bytes[at + 17])) << 8) + 1;
        ends << qMin(at, bytes.size());
    }
    return ends;
}

// The lines after the #CHROM line that hold anything: what a whole run
// answers, one line each.
int dataLines(const QByteArray &vcf)
{
    const qsizetype header = vcf.indexOf("\n#CHROM");
    if (header < 0)
        return -1;
    const qsizetype end = vcf.indexOf('\n', header + 1);
    if (end < 0)
        return 0;
    int count = 0;
    const QList<QByteArray> lines = vcf.mid(end + 1).split('\n');
    for (const QByteArray &line : lines)
        count += line.isEmpty() || line == "\r" ? 0 : 1;
    return count;
}

int bimLines(const QByteArray &bim)
{
    int count = 0;
    for (const QByteArray &line : bim.split('\n'))
        count += line.trimmed().isEmpty() ? 0 : 1;
    return count;
}

} // namespace

class TestCliGenotypesFuzz final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void damagedFiles_data();
    void damagedFiles();

private:
    int below(int n) { return std::uniform_int_distribution<int>(0, std::max(n, 1) - 1)(rng); }
    void damage(QByteArray &bytes);

    std::mt19937 rng{20260712};
    QTemporaryDir dir;
};

void TestCliGenotypesFuzz::initTestCase()
{
    QVERIFY(dir.isValid());
    // VELMORA_KEEP_FUZZ=1 keeps the damaged files, to look at a failure.
    dir.setAutoRemove(qEnvironmentVariableIsEmpty("VELMORA_KEEP_FUZZ"));
    QVERIFY(genotypefiles::copyFixture(dir.path()));
    QVERIFY(genotypefiles::compressAndConvert(dir.filePath(QStringLiteral("fixture.vcf")),
                                              dir.filePath(QStringLiteral("fixture.vcf.gz")),
                                              dir.filePath(QStringLiteral("fixture.bcf"))));
    QByteArray pheno;
    for (const QByteArray &line : readAll(dir.filePath(QStringLiteral("fixture.fam"))).split('\n')) {
        const QList<QByteArray> f = line.simplified().split(' ');
        if (f.size() >= 6)
            pheno += f[0] + '_' + f[1] + ' ' + f[5] + '\n';
    }
    QVERIFY(writeAll(dir.filePath(QStringLiteral("pheno.txt")), pheno));
    // The compressed files again in many blocks, indexed.
    QVERIFY(deflated(dir.filePath(QStringLiteral("blocks.vcf.gz")), readAll(dir.filePath(QStringLiteral("fixture.vcf")))));
    QCOMPARE(tbx_index_build(QFile::encodeName(dir.filePath(QStringLiteral("blocks.vcf.gz"))).constData(), 0, &tbx_conf_vcf), 0);
    QVERIFY(deflated(dir.filePath(QStringLiteral("blocks.bcf")), inflated(dir.filePath(QStringLiteral("fixture.bcf")))));
    QCOMPARE(bcf_index_build(QFile::encodeName(dir.filePath(QStringLiteral("blocks.bcf"))).constData(), 14), 0);
}

void TestCliGenotypesFuzz::damage(QByteArray &bytes)
{
    for (int change = 1 + below(3); change > 0; --change) {
        const int at = below(int(bytes.size()) + 1);
        switch (below(5)) {
        case 0:  // cut short
            bytes.truncate(at);
            break;
        case 1:  // a span cut out: a record cut, or two joined
            bytes.remove(at, 1 + below(200));
            break;
        case 2:  // a span doubled
            bytes.insert(at, bytes.mid(at, 1 + below(120)));
            break;
        default:  // bytes flipped
            for (int i = 0; i < 1 + below(4) && !bytes.isEmpty(); ++i) {
                const int where = below(int(bytes.size()));
                bytes[where] = char(bytes[where] ^ (1 + below(255)));
            }
            break;
        }
    }
}

void TestCliGenotypesFuzz::damagedFiles_data()
{
    QTest::addColumn<QString>("format");
    for (const char *format : {"vcf", "vcf.gz", "bcf", "bed"})
        QTest::newRow(format) << QString::fromLatin1(format);
}

void TestCliGenotypesFuzz::damagedFiles()
{
    QFETCH(QString, format);
    const QStringList commands{QStringLiteral("hwe"), QStringLiteral("fisher"), QStringLiteral("chi2"),
                               QStringLiteral("models")};
    const bool bgzf = format == u"vcf.gz" || format == u"bcf";
    const QString original = dir.filePath((bgzf ? QStringLiteral("blocks.") : QStringLiteral("fixture.")) + format);
    for (int round = 0; round < 120; ++round) {
        const QString stem = QStringLiteral("d%1").arg(round);
        const QString file = dir.filePath(stem + u'.' + format);
        int expected = -1;  // lines of a whole run; -1: not known
        bool region = false;
        if (format == u"bed") {
            QByteArray parts[3] = {readAll(dir.filePath(QStringLiteral("fixture.bed"))),
                                   readAll(dir.filePath(QStringLiteral("fixture.bim"))),
                                   readAll(dir.filePath(QStringLiteral("fixture.fam")))};
            damage(parts[below(3)]);
            QVERIFY(writeAll(file, parts[0]) && writeAll(dir.filePath(stem + QStringLiteral(".bim")), parts[1])
                    && writeAll(dir.filePath(stem + QStringLiteral(".fam")), parts[2]));
            expected = bimLines(parts[1]);
        } else if (!bgzf) {
            QByteArray text = readAll(original);
            damage(text);
            QVERIFY(writeAll(file, text));
            expected = dataLines(text);
        } else {
            const int how = below(3);
            if (how == 0) {
                // A writer stopped after a block: no end-of-file marker.
                const QByteArray bytes = readAll(original);
                const QList<qsizetype> ends = blockEnds(bytes);
                QVERIFY(ends.size() >= 3);
                QVERIFY(writeAll(file, bytes.left(ends.at(below(int(ends.size()) - 1)))));
            } else if (how == 1) {
                QByteArray bytes = readAll(original);
                damage(bytes);
                QVERIFY(writeAll(file, bytes));
            } else {
                QByteArray content = inflated(original);
                damage(content);
                QVERIFY(deflated(file, content));
            }
            // The intact file's index: seeks into damaged blocks.
            const QString index = original + (format == u"bcf" ? QStringLiteral(".csi") : QStringLiteral(".tbi"));
            QFile::remove(file + index.right(4));
            QVERIFY(QFile::copy(index, file + index.right(4)));
            region = below(2) == 1;
        }

        const QString command = commands.at(round % commands.size());
        QStringList arguments{command, file};
        if (command != u"hwe" && format != u"bed")
            arguments << QStringLiteral("--pheno") << dir.filePath(QStringLiteral("pheno.txt"));
        if (region)
            arguments << QStringLiteral("--region") << QStringLiteral("1:1-20");
        QProcess process;
        process.setWorkingDirectory(dir.path());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        const QString lsan = environment.value(QStringLiteral("LSAN_OPTIONS"));
        environment.insert(QStringLiteral("LSAN_OPTIONS"), (lsan.isEmpty() ? QString() : lsan + u':')
                                                               + QStringLiteral("print_suppressions=0:suppressions=" VELMORA_LSAN_HTSLIB));
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(VELMORA_CLI_PATH), arguments);
        QVERIFY(process.waitForStarted());
        const bool ended = process.waitForFinished(30000);
        if (!ended) {
            process.kill();
            process.waitForFinished();
        }
        const QByteArray out = process.readAllStandardOutput();
        const QByteArray err = process.readAllStandardError();
        const QByteArray what = (arguments.join(u' ') + QStringLiteral(": ")).toUtf8() + err;
        QVERIFY2(ended, QByteArray("still running after 30 s: " + what).constData());
        QVERIFY2(process.exitStatus() == QProcess::NormalExit, what.constData());
        QVERIFY2(!err.contains("Sanitizer") && !err.contains("runtime error"), what.constData());
        const int code = process.exitCode();
        QVERIFY2(code == 0 || code == 1, what.constData());

        QList<QByteArray> lines = out.split('\n');
        if (lines.last().isEmpty())
            lines.removeLast();
        for (const QByteArray &line : std::as_const(lines)) {
            const QJsonValue status = QJsonDocument::fromJson(line).object().value(QStringLiteral("status"));
            QVERIFY2(status.isDouble() || status == QStringLiteral("rejected") || (code == 1 && status == QStringLiteral("error")),
                     line.constData());
        }
        // Every message names the file it is about.
        for (const QByteArray &message : err.split('\n')) {
            if (!message.isEmpty())
                QVERIFY2(message.startsWith("velmora-cli: ") && message.contains((stem + u'.').toUtf8()),
                         what.constData());
        }
        if (code == 1) {
            QVERIFY2(!err.isEmpty(), what.constData());
            continue;
        }
        // A success has read it all.
        if (bgzf) {
            BGZF *in = bgzf_open(QFile::encodeName(file).constData(), "r");
            const int marker = in ? bgzf_check_EOF(in) : 0;
            if (in)
                bgzf_close(in);
            QVERIFY2(marker == 1, QByteArray("a run without the end-of-file marker passed: " + what).constData());
        }
        if (expected >= 0)
            QVERIFY2(lines.size() == expected,
                     qPrintable(QStringLiteral("%1 lines, %2 records: ").arg(lines.size()).arg(expected) + QString::fromUtf8(what)));
    }
}

QTEST_GUILESS_MAIN(TestCliGenotypesFuzz)
#include "test_cligenotypes_fuzz.moc"
