// velmora-cli and files: conversions byte for byte, FIFOs, links and devices
// left as they are, the system's words for a failed write, results that
// cannot be written never passed for success, endless or damaged input ended
// with a message, threads the system refuses, and files without tables.
#include "clitestbase.h"

#include <QJsonArray>

#include <csignal>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace clitest;

class TestCliFiles final : public CliTestBase
{
    Q_OBJECT

private slots:
    void initTestCase();
    void convertRoundTrips();
    void convertRefusals();
    void convertKeepsFifosAndLinks();
    void failedWritesSayWhy_data();
    void failedWritesSayWhy();
    void lostOutputFails_data();
    void lostOutputFails();
    void endlessInputEnds_data();
    void endlessInputEnds();
    void threadLimit_data();
    void threadLimit();
    void addressSpaceLimit();
    void filesWithoutTables();
    void badLinesAndDamagedInputs();

private:
    CliRun runTool(const QString &tool, const QStringList &arguments, const QByteArray &input,
                   const std::function<void(QProcess &)> &prepare);
};

// `tool` (a copy of velmora-cli) run from its own folder.
CliRun TestCliFiles::runTool(const QString &tool, const QStringList &arguments, const QByteArray &input,
                             const std::function<void(QProcess &)> &prepare)
{
    QProcess process;
    process.setWorkingDirectory(QFileInfo(tool).path());
    prepare(process);
    process.start(tool, arguments);
    CliRun result;
    if (!process.waitForStarted())
        return result;
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished(300000);
    result.exitCode = process.exitCode();
    result.exitStatus = process.exitStatus();
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

void TestCliFiles::initTestCase()
{
    QVERIFY(dir.isValid());
    QVERIFY(QFileInfo(QStringLiteral(VELMORA_CLI_PATH)).isExecutable());
}

// A document through .tsv and .csv and back is the same file, byte for
// byte: formulas, quotes, commas, spaces, other scripts, an empty row and
// the grid's far corner.
void TestCliFiles::convertRoundTrips()
{
    const QByteArray original = documentBytes({
        {1, 0, QStringLiteral("=B3*2")},
        {1, 1, QStringLiteral("'quoted \"text\", with comma")},
        {1, 3, QStringLiteral(" ")},
        {2, 1, QStringLiteral("12.5")},
        {4, 2, QStringLiteral("Größe \u20ac")},
        {998, 25, QStringLiteral("=A2+1")},
    });
    const QString doc = write(QStringLiteral("original.sp"), original);
    for (const QString &middle : {QStringLiteral("middle.tsv"), QStringLiteral("middle.csv")}) {
        const QString back = dir.filePath(QStringLiteral("back-") + middle + QStringLiteral(".sp"));
        QCOMPARE(run({QStringLiteral("convert"), doc, dir.filePath(middle)}).exitCode, 0);
        QCOMPARE(run({QStringLiteral("convert"), dir.filePath(middle), back}).exitCode, 0);
        QFile file(back);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), original);
    }
    // A line break in a formula travels in a .csv file only.
    const QByteArray multiline = documentBytes({{0, 0, QStringLiteral("two\nlines")}, {0, 1, QStringLiteral("x")}});
    const QString doc2 = write(QStringLiteral("multiline.sp"), multiline);
    QCOMPARE(run({QStringLiteral("convert"), doc2, dir.filePath(QStringLiteral("m.csv"))}).exitCode, 0);
    QCOMPARE(run({QStringLiteral("convert"), dir.filePath(QStringLiteral("m.csv")),
                  dir.filePath(QStringLiteral("m.sp"))}).exitCode, 0);
    QFile back(dir.filePath(QStringLiteral("m.sp")));
    QVERIFY(back.open(QIODevice::ReadOnly));
    QCOMPARE(back.readAll(), multiline);

    const CliRun refused = run({QStringLiteral("convert"), doc2, dir.filePath(QStringLiteral("m.tsv"))});
    QCOMPARE(refused.exitCode, 1);
    QVERIFY(refused.err.contains("A1"));
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("m.tsv"))));

    // A first cell that starts with U+FEFF, which a reader takes for a
    // byte-order mark, and the mark elsewhere.
    const QByteArray marked = documentBytes({{0, 0, QStringLiteral("\uFEFFlabel")}, {0, 1, QStringLiteral("\uFEFF")},
                                             {1, 0, QStringLiteral("x\uFEFF")}});
    const QString doc3 = write(QStringLiteral("marked.sp"), marked);
    for (const QString &middle : {QStringLiteral("marked.tsv"), QStringLiteral("marked.csv")}) {
        const QString back = dir.filePath(QStringLiteral("back-") + middle + QStringLiteral(".sp"));
        QCOMPARE(run({QStringLiteral("convert"), doc3, dir.filePath(middle)}).exitCode, 0);
        QCOMPARE(run({QStringLiteral("convert"), dir.filePath(middle), back}).exitCode, 0);
        QFile file(back);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), marked);
    }

    // Half a surrogate pair has no UTF-8 form: refused, not altered.
    const QString doc4 = write(QStringLiteral("surrogate.sp"),
                               documentBytes({{2, 1, QStringLiteral("a") + QChar(0xD800)}}));
    const CliRun lone = run({QStringLiteral("convert"), doc4, dir.filePath(QStringLiteral("s.csv"))});
    QCOMPARE(lone.exitCode, 1);
    QVERIFY2(lone.err.contains("cell B3 holds half of a UTF-16 surrogate pair"), lone.err.constData());
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("s.csv"))));
}

void TestCliFiles::convertRefusals()
{
    // Several tables cannot become one document.
    const QString batch = write(QStringLiteral("batch2.tsv"), "1\n\n2\n");
    CliRun result = run({QStringLiteral("convert"), batch, dir.filePath(QStringLiteral("batch2.sp"))});
    QCOMPARE(result.exitCode, 1);
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("batch2.sp"))));

    // A missing input is told once, on standard error.
    result = run({QStringLiteral("convert"), dir.filePath(QStringLiteral("absent.sp")),
                  dir.filePath(QStringLiteral("absent.tsv"))});
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(result.err.count("Cannot read file"), 1);
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("absent.tsv"))));

    // An unwritable target keeps nothing half-written and says why.
    const QString table = write(QStringLiteral("one.tsv"), "1\t2\n");
    result = run({QStringLiteral("convert"), table, dir.filePath(QStringLiteral("no/such/folder/x.sp"))});
    QCOMPARE(result.exitCode, 1);
    QVERIFY(result.err.contains("Cannot write file"));
}

// Convert writes all three formats as the window saves: a FIFO stays a
// FIFO, a symbolic link keeps pointing at the file that takes the content.
void TestCliFiles::convertKeepsFifosAndLinks()
{
    const QString table = write(QStringLiteral("small.tsv"), "1\t2\n");
    for (const QString &suffix : {QStringLiteral(".tsv"), QStringLiteral(".csv"), QStringLiteral(".sp")}) {
        const QString fifo = dir.filePath(QStringLiteral("fifo") + suffix);
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        const QString viaLink = dir.filePath(QStringLiteral("to-fifo") + suffix);
        QVERIFY(QFile::link(fifo, viaLink));
        for (const QString &target : {fifo, viaLink}) {
            const CliRun result = run({QStringLiteral("convert"), table, target});
            QCOMPARE(result.exitCode, 1);
            QCOMPARE(result.err, QStringLiteral("velmora-cli: Cannot write file %1:\nNot a regular file.\n")
                                     .arg(target).toUtf8());
            struct stat info {};
            QCOMPARE(::lstat(QFile::encodeName(fifo).constData(), &info), 0);
            QVERIFY(S_ISFIFO(info.st_mode));
        }
        QVERIFY(QFileInfo(viaLink).isSymLink());

        const QString file = write(QStringLiteral("real") + suffix, "old");
        const QString link = dir.filePath(QStringLiteral("link") + suffix);
        QVERIFY(QFile::link(file, link));
        QCOMPARE(run({QStringLiteral("convert"), table, link}).exitCode, 0);
        QVERIFY(QFileInfo(link).isSymLink());
        const CliRun values = run({QStringLiteral("values"), file});
        QCOMPARE(values.exitCode, 0);
        QCOMPARE(values.out, QByteArray("1\t2\n"));
    }
}

void TestCliFiles::failedWritesSayWhy_data()
{
    QTest::addColumn<QString>("out");
    QTest::newRow("tsv") << QStringLiteral("full.tsv");
    QTest::newRow("csv") << QStringLiteral("full.csv");
    QTest::newRow("document") << QStringLiteral("full.sp");
}

// A write that fails after the file was opened (a file-size limit, as a
// full disk would) says what the system says, and the old file stays.
void TestCliFiles::failedWritesSayWhy()
{
    QFETCH(QString, out);
    QByteArray rows;
    for (int i = 0; i < 200; ++i)
        rows += QByteArray::number(i) + "\tsome text to make the file longer\n";
    const QString table = write(QStringLiteral("long.tsv"), rows);
    const QString target = write(out, "old");
    const CliRun result = run({QStringLiteral("convert"), table, target}, QByteArray(), [](QProcess &process) {
        process.setChildProcessModifier([] {
            ::signal(SIGXFSZ, SIG_IGN);
            rlimit small{1024, 1024};
            ::setrlimit(RLIMIT_FSIZE, &small);
        });
    });
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(result.err, QStringLiteral("velmora-cli: Cannot write file %1:\nFile too large.\n").arg(target).toUtf8());
    QFile file(target);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("old"));
    // No temporary file is left beside it.
    QCOMPARE(QDir(dir.path()).entryList({out + u'*'}), QStringList{out});
}

void TestCliFiles::lostOutputFails_data()
{
    QTest::addColumn<QStringList>("arguments");  // "many": 10,000 tables, beyond the output buffer
    QTest::addColumn<QString>("output");         // full, closed, pipe, sigpipe, endless or tmpfs
    QTest::addColumn<QByteArray>("words");       // the system's, empty when SIGPIPE ends the run

    const QByteArray full("No space left on device");
    const QStringList chi2{QStringLiteral("chi2"), QStringLiteral("many")};
    const QStringList report{QStringLiteral("chi2"), QStringLiteral("--report"), QStringLiteral("many")};
    const QStringList values{QStringLiteral("values"), QStringLiteral("many")};
    QTest::newRow("chi2 > /dev/full") << chi2 << "full" << full;
    QTest::newRow("--report > /dev/full") << report << "full" << full;
    QTest::newRow("values > /dev/full") << values << "full" << full;
    QTest::newRow("help > /dev/full") << QStringList{QStringLiteral("help")} << "full" << full;
    // Within the buffer: only the final flush fails.
    QTest::newRow("one line > /dev/full") << QStringList{QStringLiteral("chi2"), QStringLiteral("one")} << "full" << full;
    // Input without end, into /dev/full: the run must stop reading.
    QTest::newRow("endless > /dev/full") << QStringList{QStringLiteral("chi2"), QStringLiteral("-")} << "endless" << full;
    QTest::newRow("chi2 >&-") << chi2 << "closed" << QByteArray("Bad file descriptor");
    QTest::newRow("values >&-") << values << "closed" << QByteArray("Bad file descriptor");
    QTest::newRow("closed pipe, SIGPIPE ignored") << chi2 << "pipe" << QByteArray("Broken pipe");
    QTest::newRow("closed pipe, SIGPIPE") << chi2 << "sigpipe" << QByteArray();
    QTest::newRow("chi2 > 64 KB tmpfs") << chi2 << "tmpfs" << full;
    QTest::newRow("--report > 64 KB tmpfs") << report << "tmpfs" << full;
    QTest::newRow("values > 64 KB tmpfs") << values << "tmpfs" << full;
}

// Results that could not be written are a failure, never a success: one
// message with the system's words and exit status 1, whatever the command
// and wherever the write fails (a full device, a closed descriptor, a pipe
// without reader, a full file system).
void TestCliFiles::lostOutputFails()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, output);
    QFETCH(QByteArray, words);
    QByteArray many;
    for (int i = 0; i < 10000; ++i)
        many += "10\t20\n30\t40\n\n";
    arguments.replaceInStrings(QRegularExpression(QStringLiteral("^many$")), write(QStringLiteral("many.tsv"), many));
    arguments.replaceInStrings(QRegularExpression(QStringLiteral("^one$")), write(QStringLiteral("one.tsv"), "1\t2\n3\t4\n"));

    QString program = QStringLiteral(VELMORA_CLI_PATH);
    QProcess process;
    if (output == u"endless") {
        arguments = QStringList{QStringLiteral("-c"), QStringLiteral("yes \"$(printf '\\n1\\t2\\n3\\t4')\" 2>/dev/null | \"$0\" \"$@\""),
                                program} + arguments;
        program = QStringLiteral("sh");
    }
    if (output == u"tmpfs") {
        const QString mount = dir.filePath(QStringLiteral("small"));
        QVERIFY(QDir().mkpath(mount));
        const QStringList namespaced{QStringLiteral("--mount"), QStringLiteral("--propagation"), QStringLiteral("private"),
                                     QStringLiteral("sh"), QStringLiteral("-c")};
        const QString mountSmall = QStringLiteral("mount -t tmpfs -o size=64k velmora-test \"$0\"");
        QProcess probe;
        probe.start(QStringLiteral("unshare"), namespaced + QStringList{mountSmall, mount});
        if (!probe.waitForFinished(30000) || probe.exitStatus() != QProcess::NormalExit || probe.exitCode() != 0)
            QSKIP("cannot mount a 64 KB tmpfs in a private mount namespace here (unshare and mount need root)");
        arguments = namespaced + QStringList{mountSmall + QStringLiteral(" && exec \"$@\" > \"$0/out\""), mount, program}
                    + arguments;
        program = QStringLiteral("unshare");
    }
    if (output == u"full" || output == u"endless")
        process.setStandardOutputFile(QStringLiteral("/dev/full"));
    const bool ignorePipe = output != u"sigpipe";
    const bool closed = output == u"closed";
    const bool noReader = output == u"pipe" || output == u"sigpipe";
    process.setChildProcessModifier([ignorePipe, closed, noReader] {
        ::signal(SIGPIPE, ignorePipe ? SIG_IGN : SIG_DFL);
        if (closed) {
            ::close(STDOUT_FILENO);
        } else if (noReader) {
            int ends[2];
            if (::pipe(ends) == 0) {
                ::close(ends[0]);
                ::dup2(ends[1], STDOUT_FILENO);
                ::close(ends[1]);
            }
        }
    });
    process.setWorkingDirectory(dir.path());
    process.start(program, arguments);
    QVERIFY(process.waitForStarted());
    process.closeWriteChannel();
    QVERIFY2(process.waitForFinished(120000), "still running after 120 s");
    const QByteArray err = process.readAllStandardError();
    if (words.isEmpty()) {
        QCOMPARE(process.exitStatus(), QProcess::CrashExit);
        QVERIFY2(err.isEmpty(), err.constData());
        return;
    }
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 1);
    QCOMPARE(err, "velmora-cli: cannot write standard output: " + words + '\n');
}

void TestCliFiles::endlessInputEnds_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("fromStdin");
    QTest::newRow("values /dev/zero") << QStringList{QStringLiteral("values"), QStringLiteral("/dev/zero")} << false;
    QTest::newRow("chi2 - < /dev/zero") << QStringList{QStringLiteral("chi2"), QStringLiteral("-")} << true;
    QTest::newRow("convert /dev/zero") << QStringList{QStringLiteral("convert"), QStringLiteral("/dev/zero"),
                                                      QStringLiteral("zero.sp")} << false;
}

// An input without end is refused at its first line, within a 3 GB limit:
// an address-space limit, or under AddressSanitizer (which reserves far
// more address space than that for itself) its resident-memory limit.
void TestCliFiles::endlessInputEnds()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, fromStdin);
    constexpr rlim_t kLimit = rlim_t(3) << 30;
    QProcess process;
    process.setWorkingDirectory(dir.path());
#if defined(__SANITIZE_ADDRESS__)
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QString options = environment.value(QStringLiteral("ASAN_OPTIONS"));
    environment.insert(QStringLiteral("ASAN_OPTIONS"), options + QStringLiteral(":hard_rss_limit_mb=%1").arg(kLimit >> 20));
    process.setProcessEnvironment(environment);
#else
    process.setChildProcessModifier([] {
        rlimit limit{kLimit, kLimit};
        ::setrlimit(RLIMIT_AS, &limit);
    });
#endif
    if (fromStdin)
        process.setStandardInputFile(QStringLiteral("/dev/zero"));
    process.start(QStringLiteral(VELMORA_CLI_PATH), arguments);
    QVERIFY(process.waitForStarted());
    QVERIFY2(process.waitForFinished(10000), "still reading after 10 s");
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 1);
    const QByteArray err = process.readAllStandardError();
    QVERIFY2(err.contains("Line 1 holds a field of more than 32767 characters"), err.constData());
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("zero.sp"))));
}

void TestCliFiles::threadLimit_data()
{
    QTest::addColumn<int>("limit");
    // One: not a helper starts, and the calling thread runs the batch.
    QTest::newRow("no thread") << 1;
    QTest::newRow("two threads") << 2;
    QTest::newRow("four threads") << 4;
}

// Threads the system will not start (as under `ulimit -v` with --threads
// 1024) are done without, never an abort: the batch goes on with those it
// has, a Monte Carlo run left with none draws on the calling thread, the
// shortfall is said once, and the lines are those of one thread. The limit
// is RLIMIT_NPROC on a user of the test's own: root is exempt from it, and
// AddressSanitizer reserves too much address space for `ulimit -v`.
void TestCliFiles::threadLimit()
{
    QFETCH(int, limit);
    if (::geteuid() != 0)
        QSKIP("the thread limit binds a user of the test's own, which only root can become");
    QByteArray tables;
    for (int i = 0; i < 40; ++i)
        tables += QByteArray::number(3 + i) + "\t5\n\t" + QByteArray::number(1 + i % 7) + "\n\n";
    const QStringList arguments{QStringLiteral("hwe"), QStringLiteral("--monte-carlo=3000"), QStringLiteral("--seed=9"),
                                QStringLiteral("-")};
    const CliRun one = run(arguments + QStringList{QStringLiteral("--threads=1")}, tables);
    QCOMPARE(one.exitCode, 0);
    QCOMPARE(one.lines().size(), 40);

    // The other user must reach the tool wherever the build tree lives (a
    // folder of mode 700, a home folder): a copy of it, and of its module,
    // in a temporary folder that everyone may enter.
    QTemporaryDir place;
    QVERIFY(place.isValid());
    QVERIFY(QFile::setPermissions(place.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                    | QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther
                                                    | QFile::ExeOther));
    for (QDir up(place.path()); up.cdUp();) {
        if (!QFileInfo(up.path()).permission(QFile::ExeOther))
            QSKIP(qPrintable(QStringLiteral("%1 cannot be entered by another user (set TMPDIR)").arg(up.path())));
        if (up.isRoot())
            break;
    }
    const QString tool = place.filePath(QFileInfo(QStringLiteral(VELMORA_CLI_PATH)).fileName());
    const QString module = place.filePath(QFileInfo(QStringLiteral(VELMORA_CLI_MODULE)).fileName());
    const QFile::Permissions everyone = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
                                        | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
    QVERIFY(QFile::copy(QStringLiteral(VELMORA_CLI_PATH), tool) && QFile::setPermissions(tool, everyone));
    QVERIFY(QFile::copy(QStringLiteral(VELMORA_CLI_MODULE), module) && QFile::setPermissions(module, everyone));

    // A uid nobody else runs under, so that the limit counts this run alone.
    const uid_t uid = uid_t(2000000000 + ::getpid() % 100000);
    const rlim_t threads = rlim_t(limit);
    const CliRun limited = runTool(tool, arguments + QStringList{QStringLiteral("--threads=8")}, tables, [&](QProcess &process) {
        // LeakSanitizer needs a thread of its own at the end.
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        if (limit == 1)
            environment.insert(QStringLiteral("ASAN_OPTIONS"),
                               environment.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":detect_leaks=0"));
        process.setProcessEnvironment(environment);
        process.setChildProcessModifier([uid, threads] {
            const rlimit few{threads, threads};
            if (::setrlimit(RLIMIT_NPROC, &few) != 0 || ::setgroups(0, nullptr) != 0 || ::setgid(uid) != 0
                || ::setuid(uid) != 0)
                ::_exit(125);
        });
    });
    QCOMPARE(limited.exitStatus, QProcess::NormalExit);
    QVERIFY2(limited.exitCode == 0, limited.err.constData());
    QCOMPARE(limited.err, QStringLiteral("velmora-cli: only %1 of 8 threads could be started (Resource temporarily "
                                         "unavailable); going on with %1\n")
                              .arg(limit)
                              .toUtf8());
    QCOMPARE(limited.out, one.out);
}

// `ulimit -v 800000` and --threads 1024 on a VCF of multi-allelic
// variants, every one estimated: the threads that the address space has
// room for, said once, and the lines of one thread; never std::bad_alloc
// or glibc's fatal error in a thread that cannot register its
// thread-local objects.
void TestCliFiles::addressSpaceLimit()
{
#if defined(__SANITIZE_ADDRESS__)
    QSKIP("AddressSanitizer reserves far more address space than a limit would leave (the release build runs this)");
#endif
    QByteArray vcf = "##fileformat=VCFv4.2\n#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\ta\tb\tc\n";
    for (int i = 1; i <= 3000; ++i)
        vcf += "1\t" + QByteArray::number(i) + "\t.\tA\tC,G\t.\t.\t.\tGT\t0/1\t1/2\t" + QByteArray::number(i % 3) + "/2\n";
    const QStringList arguments{QStringLiteral("hwe"), QStringLiteral("--monte-carlo=3000"), QStringLiteral("--seed=9"),
                                QStringLiteral("--exact-limit=0"), write(QStringLiteral("many.vcf"), vcf)};
    const CliRun one = run(arguments + QStringList{QStringLiteral("--threads=1")});
    QCOMPARE(one.exitCode, 0);
    const CliRun limited = run(arguments + QStringList{QStringLiteral("--threads=1024")}, QByteArray(), [](QProcess &process) {
        process.setChildProcessModifier([] {
            const rlimit space{rlim_t(800000) << 10, rlim_t(800000) << 10};
            ::setrlimit(RLIMIT_AS, &space);
        });
    });
    QCOMPARE(limited.exitStatus, QProcess::NormalExit);
    QVERIFY2(limited.exitCode == 0, limited.err.constData());
    QVERIFY2(QRegularExpression(QStringLiteral("^velmora-cli: only \\d+ of 1024 threads could be started \\(Cannot allocate "
                                               "memory\\); going on with \\d+\n$"))
                 .match(QString::fromUtf8(limited.err))
                 .hasMatch(),
             limited.err.constData());
    QCOMPARE(limited.out, one.out);
}

// A file without a table is a failure, whichever way it is empty.
void TestCliFiles::filesWithoutTables()
{
    CliRun result = run({QStringLiteral("chi2"), QStringLiteral("/dev/null")});
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(result.err, QByteArray("velmora-cli: /dev/null holds no table\n"));
    QCOMPARE(result.json().value(QStringLiteral("status")).toString(), QStringLiteral("error"));
    QCOMPARE(result.json().value(QStringLiteral("message")).toString(), QStringLiteral("/dev/null holds no table"));
    QVERIFY(result.json().value(QStringLiteral("table")).isNull());

    // The second "-" finds standard input already read.
    result = run({QStringLiteral("chi2"), QStringLiteral("-"), QStringLiteral("-")}, "10\t20\n30\t40\n");
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(result.lines().size(), 2);
    QCOMPARE(result.json(0).value(QStringLiteral("status")).toInt(-1), 0);
    QCOMPARE(result.json(1).value(QStringLiteral("message")).toString(), QStringLiteral("- holds no table"));

    const QString blank = write(QStringLiteral("blank.tsv"), "\n  \r\n\n");
    result = run({QStringLiteral("values"), blank});
    QCOMPARE(result.exitCode, 1);
    QVERIFY(result.out.isEmpty());
    QCOMPARE(result.err, QStringLiteral("velmora-cli: %1 holds no table\n").arg(blank).toUtf8());

    // An empty grid is a document all the same: it converts.
    QCOMPARE(run({QStringLiteral("convert"), blank, dir.filePath(QStringLiteral("blank.sp"))}).exitCode, 0);
    QFile empty(dir.filePath(QStringLiteral("blank.sp")));
    QVERIFY(empty.open(QIODevice::ReadOnly));
    QCOMPARE(empty.readAll(), QByteArray::fromHex("7F51C883"));
}

// A line the grid cannot hold ends its file after the tables before it; a
// damaged document on standard input is named "-".
void TestCliFiles::badLinesAndDamagedInputs()
{
    const QString file = write(QStringLiteral("long-field.tsv"),
                               "10\t20\n30\t40\n\n" + QByteArray(40000, '7') + "\t1\n\n10\t20\n30\t40\n");
    const QString other = write(QStringLiteral("after.tsv"), "10\t20\n30\t40\n");
    CliRun result = run({QStringLiteral("chi2"), file, other});
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(result.lines().size(), 3);
    QCOMPARE(result.json(0).value(QStringLiteral("status")).toInt(-1), 0);
    const QString message = QStringLiteral("Line 4 holds a field of more than 32767 characters, more than a cell holds.");
    QCOMPARE(result.json(1).value(QStringLiteral("message")).toString(), message);
    QCOMPARE(result.json(1).value(QStringLiteral("status")).toString(), QStringLiteral("error"));
    QCOMPARE(result.json(2).value(QStringLiteral("file")).toString(), other);
    QCOMPARE(result.json(2).value(QStringLiteral("status")).toInt(-1), 0);
    QCOMPARE(result.err, (QStringLiteral("velmora-cli: %1: ").arg(file) + message + u'\n').toUtf8());

    result = run({QStringLiteral("values"), file});
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(result.out, QByteArray("10\t20\n30\t40\n"));

    const QByteArray damaged = documentBytes({{0, 0, QStringLiteral("10")}}).chopped(1);
    result = run({QStringLiteral("chi2"), QStringLiteral("-")}, damaged);
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(result.json().value(QStringLiteral("message")).toString(), QStringLiteral("The file - is damaged."));
    QCOMPARE(result.err, QByteArray("velmora-cli: The file - is damaged.\n"));
    result = run({QStringLiteral("convert"), QStringLiteral("-"), QStringLiteral("out.tsv")}, damaged);
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(result.err, QByteArray("velmora-cli: The file - is damaged.\n"));
}

QTEST_GUILESS_MAIN(TestCliFiles)
#include "test_clifiles.moc"
