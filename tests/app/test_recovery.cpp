// Autosave and recovery through the window: the copy written and removed as
// the document moves, other instances' live and ended copies, damaged copies
// named and kept, the start-up question answered through AppDialogs. Every
// store and setting lives in a temporary folder.
#include "../spreadsheet/documentprompts.h"
#include "appdialogs.h"
#include "autosaver.h"
#include "calcpoll.h"
#include "recoverystart.h"
#include "recoverystore.h"
#include "safefilewriter.h"
#include "windowtesthelpers.h"

#include <QQueue>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using windowtest::fileBytes;
using windowtest::trigger;
using Recovery = AppDialogs::Recovery;

namespace {

// Answers in order (Later when none is left) and records what was asked.
class RecoveryAnswers final : public AppDialogs
{
public:
    RecoveryAnswers() { install(this); }
    ~RecoveryAnswers() override { install(nullptr); }
    QQueue<Recovery> answers;
    QList<QList<RecoveryCopy>> offered;
    QList<QStringList> started;
    int interval = -1;

    Recovery recoverDocuments(QWidget *, const QList<RecoveryCopy> &copies) override
    {
        offered.append(copies);
        return answers.isEmpty() ? Recovery::Later : answers.dequeue();
    }
    bool editPreferences(QWidget *, int *seconds) override { return (*seconds = interval) >= 0; }
    bool startWindow(const QStringList &arguments) override { started.append(arguments); return true; }
};

bool put(const QString &path, const QByteArray &bytes)
{
    QString reason;
    return SafeFileWriter::write(path, bytes, &reason);
}

QByteArray documentWith(const char *a1)
{
    Spreadsheet sheet;
    sheet.setCellFormula(0, 0, QString::fromUtf8(a1));
    return sheet.documentBytes();
}

// Runs `work` in a child process, which reports on a pipe; what it wrote,
// or "hung" when it has not ended within 20 seconds (it is killed then).
QByteArray inChild(const std::function<QByteArray()> &work)
{
    int ends[2];
    if (::pipe(ends) != 0)
        return "no pipe";
    const pid_t child = fork();
    if (child == 0) {
        ::close(ends[0]);
        const QByteArray report = work();
        const ssize_t written = ::write(ends[1], report.constData(), size_t(report.size()));
        _exit(written == report.size() ? 0 : 1);
    }
    ::close(ends[1]);
    int status = 0;
    for (int tenths = 0; ::waitpid(child, &status, WNOHANG) == 0; ++tenths) {
        if (tenths == 200) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            ::close(ends[0]);
            return "hung";
        }
        ::usleep(100000);
    }
    QByteArray report;
    char buffer[4096];
    for (ssize_t got; (got = ::read(ends[0], buffer, sizeof buffer)) > 0;)
        report.append(buffer, got);
    ::close(ends[0]);
    return report;
}

bool exists(const QString &path)
{
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

} // namespace

class TestRecovery : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void restoreAtStart_data();
    void restoreAtStart();
    void copyFollowsDocument_data();
    void copyFollowsDocument();
    void timerFiresDuringRun();
    void unwritableFolderSaysSoOnce();
    void severalCopiesLiveAndEnded();
    void foreignAndOddFiles_data();
    void foreignAndOddFiles();
    void readOnlyFolder();
    void saveAsNeverInRecovery();

private:
    QString folder() const { return dir->filePath(QStringLiteral("recovery")); }
    QStringList files(const QString &pattern = QStringLiteral("*")) const
    {
        return QDir(folder()).entryList({ pattern }, QDir::Files | QDir::Hidden);
    }
    // What a killed instance leaves: a copy and its record, no live lock.
    QString crashedCopy(const QString &original, const char *a1)
    {
        RecoveryStore other(folder());
        const QString stem = other.newStem();
        QString reason;
        other.writeCopy(stem, documentWith(a1), original, false, &reason);
        return stem;
    }

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<RecoveryStore> store;
};

void TestRecovery::init()
{
    QStandardPaths::setTestModeEnabled(true);
    dir = std::make_unique<QTemporaryDir>();
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir->path());
    store = std::make_unique<RecoveryStore>(folder());
    RecoveryStore::install(store.get());
}

void TestRecovery::cleanup()
{
    RecoveryStore::install(nullptr);
    store.reset();
    dir.reset();
}

void TestRecovery::restoreAtStart_data()
{
    QTest::addColumn<QString>("harm");
    QTest::addColumn<bool>("titled");
    QTest::addColumn<QString>("damage");
    QTest::newRow("intact") << "" << true << "";
    QTest::newRow("intact, untitled") << "" << false << "";
    QTest::newRow("last byte cut") << "cut" << true << "The copy is truncated.";
    QTest::newRow("a byte changed") << "flip" << true << "The copy is damaged.";
    QTest::newRow("copy deleted") << "delete" << true << "The copy is missing.";
    QTest::newRow("record garbled") << "garble" << true << "Its record is damaged.";
    QTest::newRow("record names a file outside") << "escape" << true << "Its record is damaged.";
    QTest::newRow("record missing") << "unrecord" << true << "Its record is missing.";
}

// Restore opens an intact copy modified and bound to its original, which
// only Save then writes. A damaged one is named, never opened, and kept.
void TestRecovery::restoreAtStart()
{
    QFETCH(QString, harm);
    QFETCH(bool, titled);
    QFETCH(QString, damage);
    const QString original = dir->filePath(QStringLiteral("study.sp"));
    QVERIFY(put(original, documentWith("1")));
    const QString stem = crashedCopy(titled ? original : QString(), "42");
    const QString copy = store->read(stem).copyFile;
    const QString record = folder() + u'/' + stem + QStringLiteral(".json");
    const QByteArray bytes = fileBytes(copy);
    if (harm == QLatin1String("cut"))
        put(copy, bytes.chopped(1));
    else if (harm == QLatin1String("flip"))
        put(copy, bytes.chopped(1) + char(bytes.back() ^ 1));
    else if (harm == QLatin1String("delete") || harm == QLatin1String("unrecord"))
        QFile::remove(harm == QLatin1String("delete") ? copy : record);
    else if (harm == QLatin1String("garble"))
        put(record, "{\"copy\": ");
    else if (harm == QLatin1String("escape"))
        put(record, fileBytes(record).replace(QFileInfo(copy).fileName().toUtf8(), "../study.sp"));

    DocumentPrompts prompts;
    RecoveryAnswers answers;
    answers.answers << Recovery::Restore;
    MainWindow window;
    RecoveryStart::run(&window, {});
    QCOMPARE(answers.offered.size(), 1);
    QCOMPARE(answers.offered[0].size(), 1);
    QCOMPARE(answers.offered[0][0].damage, damage);
    QCOMPARE(fileBytes(original), documentWith("1"));
    if (!damage.isEmpty()) {
        QVERIFY(!window.isWindowModified() && window.currentFile().isEmpty());
        QVERIFY(window.sheet()->cellFormula(0, 0).isEmpty());
        QVERIFY(prompts.asked.isEmpty());
        QCOMPARE(RecoveryStore(folder()).claimStale().value(0).damage, damage);
        return;
    }
    QCOMPARE(window.sheet()->cellFormula(0, 0), QStringLiteral("42"));
    QVERIFY(window.isWindowModified());
    QCOMPARE(window.currentFile(), titled ? original : QString());
    // The window's own copy has replaced the killed instance's.
    QCOMPARE(files(stem + QStringLiteral(".*")), QStringList());
    QCOMPARE(files(QStringLiteral("*.sp")).size(), 1);

    const QString saved = titled ? original : dir->filePath(QStringLiteral("named.sp"));
    prompts.fileAnswers << saved;
    QVERIFY(trigger(window, QStringLiteral("&Save")));
    QCOMPARE(prompts.kinds(), titled ? QStringList() : QStringList { QStringLiteral("save") });
    QCOMPARE(fileBytes(saved), documentWith("42"));
    QCOMPARE(files(), QStringList());
}

void TestRecovery::copyFollowsDocument_data()
{
    QTest::addColumn<QString>("step");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("copyStays");
    QTest::newRow("Save") << "save" << 0 << false;
    QTest::newRow("Save refused") << "save refused" << 0 << true;
    QTest::newRow("undo to the saved state") << "undo" << 0 << false;
    QTest::newRow("close, not saving") << "close" << int(QMessageBox::No) << false;
    QTest::newRow("close cancelled") << "close" << int(QMessageBox::Cancel) << true;
    QTest::newRow("New, not saving") << "new" << int(QMessageBox::No) << false;
    QTest::newRow("Open, not saving") << "open" << int(QMessageBox::No) << false;
    QTest::newRow("Open, no file chosen") << "open none" << int(QMessageBox::No) << true;
}

void TestRecovery::copyFollowsDocument()
{
    QFETCH(QString, step);
    QFETCH(int, answer);
    QFETCH(bool, copyStays);
    const QString document = dir->filePath(QStringLiteral("doc.sp"));
    QVERIFY(put(document, documentWith("1")));
    DocumentPrompts prompts;
    prompts.buttonAnswers << QMessageBox::StandardButton(answer);
    prompts.fileAnswers << (step == QLatin1String("open") ? document : QString());
    MainWindow window;
    window.openArguments({ document });
    window.sheet()->typeIntoCell(1, 1, QStringLiteral("5"));
    QVERIFY(window.autosave()->writeNow());
    QCOMPARE(files(QStringLiteral("*.sp")).size(), 1);

    if (step == QLatin1String("save refused"))
        QVERIFY(QFile::remove(document) && QDir().mkdir(document));
    if (step.startsWith(QLatin1String("save")))
        QVERIFY(trigger(window, QStringLiteral("&Save")));
    else if (step == QLatin1String("undo"))
        window.sheet()->undo();
    else if (step == QLatin1String("close"))
        window.close();
    else
        QVERIFY(trigger(window, step == QLatin1String("new") ? QStringLiteral("&New")
                                                               : QStringLiteral("&Open...")));
    QCOMPARE(files(copyStays ? QStringLiteral("*.sp") : QStringLiteral("*")).size(), int(copyStays));
}

// The engines poll the event loop during a run: the copy is written then,
// an interval after the change, and is the document as the grid holds it.
// Edit > Preferences... turns autosave off.
void TestRecovery::timerFiresDuringRun()
{
    QSettings(QStringLiteral("Orvanta"), QStringLiteral("Velmora"))
        .setValue(QStringLiteral("autosave/intervalSeconds"), QStringLiteral("1"));
    DocumentPrompts prompts;
    RecoveryAnswers answers;
    answers.interval = 0;
    MainWindow window;
    window.sheet()->typeIntoCell(0, 0, QStringLiteral("7"));
    QElapsedTimer clock;
    clock.start();
    qint64 writtenAfter = -1;
    calcApplication = qApp;
    window.runAndReport([&](const ProgressDisplay &) {
        while (files(QStringLiteral("*.sp")).isEmpty() && clock.elapsed() < 20000)
            pollCalcEvents();
        writtenAfter = clock.elapsed();
        return RunReport();
    });
    calcApplication = nullptr;
    QVERIFY2(writtenAfter >= 900 && writtenAfter < 20000, QByteArray::number(writtenAfter));
    const RecoveryCopy copy = store->read(window.autosave()->stem());
    QVERIFY(!copy.isDamaged());
    QCOMPARE(fileBytes(copy.copyFile), window.sheet()->documentBytes());

    QVERIFY(trigger(window, QStringLiteral("Pr&eferences...")));
    QCOMPARE(Autosaver::intervalSetting(), 0);
    window.sheet()->typeIntoCell(0, 0, QStringLiteral("8"));
    QVERIFY(!window.autosave()->isArmed());
}

// However often autosave fails, one status-bar message and no dialog.
void TestRecovery::unwritableFolderSaysSoOnce()
{
    QFile blocker(folder());
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    DocumentPrompts prompts;
    MainWindow window;
    QSignalSpy messages(window.statusBar(), &QStatusBar::messageChanged);
    window.sheet()->typeIntoCell(0, 0, QStringLiteral("7"));
    for (int attempt = 0; attempt < 3; ++attempt)
        QVERIFY(!window.autosave()->writeNow());
    QStringList shown;
    for (const QList<QVariant> &message : std::as_const(messages))
        if (message.value(0).toString().startsWith(QStringLiteral("Autosave cannot write")))
            shown << message.value(0).toString();
    QCOMPARE(shown.size(), 1);
    QVERIFY(shown[0].contains(folder()));
    QVERIFY(prompts.asked.isEmpty());
}

// Copies of a running Velmora are neither offered nor touched; those of one
// that ended without letting go of its locks (here a child process) are.
// Discard asks first (No brings the list back), Later keeps the copies;
// Restore puts the copy of the document named on the command line in the
// window and hands each other to a Velmora of its own.
void TestRecovery::severalCopiesLiveAndEnded()
{
    const QString first = dir->filePath(QStringLiteral("a.sp"));
    const QString second = dir->filePath(QStringLiteral("b.sp"));
    RecoveryStore live(folder());
    const QString liveStem = live.newStem();
    QString reason;
    QVERIFY(live.writeCopy(liveStem, documentWith("live"), QString(), false, &reason));
    const QString firstStem = crashedCopy(first, "1");
    const pid_t child = fork();
    if (child == 0) {
        RecoveryStore ended(folder());
        _exit(ended.writeCopy(ended.newStem(), documentWith("2"), second, false, &reason) ? 0 : 1);
    }
    int status = -1;
    QCOMPARE(waitpid(child, &status, 0), child);
    QCOMPARE(status, 0);

    DocumentPrompts prompts;
    RecoveryAnswers answers;
    answers.answers << Recovery::Discard << Recovery::Later << Recovery::Restore;
    prompts.buttonAnswers << QMessageBox::No;
    MainWindow window;
    RecoveryStart::run(&window, {});
    QCOMPARE(answers.offered.size(), 2);
    QCOMPARE(answers.offered[1].size(), 2);

    RecoveryStart::run(&window, { second });
    QCOMPARE(answers.offered[2].size(), 2);
    QCOMPARE(window.currentFile(), second);
    QCOMPARE(window.sheet()->cellFormula(0, 0), QStringLiteral("2"));
    QCOMPARE(answers.started, QList<QStringList>({ { QStringLiteral("--restore"), firstStem } }));
    MainWindow other;
    RecoveryStart::run(&other, answers.started[0]);
    QCOMPARE(other.currentFile(), first);
    QCOMPARE(other.sheet()->cellFormula(0, 0), QStringLiteral("1"));
    for (const RecoveryCopy &copy : std::as_const(answers.offered[2]))
        QCOMPARE(files(copy.stem + QStringLiteral(".*")), QStringList());
    QVERIFY(!store->read(liveStem).isDamaged());

    const QString thirdStem = crashedCopy(QString(), "3");
    answers.answers << Recovery::Discard;
    prompts.buttonAnswers << QMessageBox::Yes;
    MainWindow third;
    RecoveryStart::run(&third, {});
    QCOMPARE(answers.offered.last().size(), 1);
    QCOMPARE(files(thirdStem + QStringLiteral(".*")), QStringList());
}

void TestRecovery::foreignAndOddFiles_data()
{
    QTest::addColumn<QString>("name");    // STEM: the stem of a crashed copy
    QTest::addColumn<QString>("kind");    // file, fifo, or zero: a link to /dev/zero
    QTest::addColumn<QString>("offered"); // the crashed copy's damage, "-" when not offered
    QTest::newRow("notes.txt") << "notes.txt" << "file" << "";
    QTest::newRow("counts.csv") << "counts.csv" << "file" << "";
    QTest::newRow("results.html") << "results.html" << "file" << "";
    QTest::newRow("a document saved there") << "rescued.sp" << "file" << "";
    QTest::newRow("a record of another program") << "settings.json" << "file" << "";
    QTest::newRow("a FIFO as a document") << "piped.sp" << "fifo" << "";
    QTest::newRow("/dev/zero as a lock") << "zero.lock" << "zero" << "";
    QTest::newRow("the record a FIFO") << "STEM.json" << "fifo" << "Its record is damaged.";
    QTest::newRow("the record /dev/zero") << "STEM.json" << "zero" << "Its record is damaged.";
    QTest::newRow("the copy /dev/zero") << "COPY" << "zero" << "The copy is damaged.";
    QTest::newRow("the lock a FIFO") << "STEM.lock" << "fifo" << "-";
    QTest::newRow("the lock /dev/zero") << "STEM.lock" << "zero" << "-";
}

// A user's files in the recovery folder are neither offered nor deleted,
// and no FIFO or device there holds the start up (each start runs in a
// child with a time limit): a store's file that is not a regular file
// makes its copy damaged, or, in a lock's place, leaves the copy alone.
// Discard deletes the store's files only.
void TestRecovery::foreignAndOddFiles()
{
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QFETCH(QString, offered);
    const QString stem = crashedCopy(dir->filePath(QStringLiteral("study.sp")), "5");
    const QString copyFile = store->read(stem).copyFile;
    const QString path = name == u"COPY" ? copyFile : folder() + u'/' + QString(name).replace(QStringLiteral("STEM"), stem);
    QFile::remove(path);
    if (kind == u"file")
        QVERIFY(put(path, documentWith("mine")));
    else if (kind == u"fifo")
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    else
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));

    const QByteArray report = inChild([this] {
        RecoveryStore start(folder());
        QByteArray lines;
        for (const RecoveryCopy &copy : start.claimStale()) {
            lines += copy.stem.toUtf8() + '\t' + copy.damage.toUtf8() + '\n';
            start.remove(copy.stem);
        }
        return lines;
    });
    const QByteArray expected = offered == u"-" ? QByteArray() : stem.toUtf8() + '\t' + offered.toUtf8() + '\n';
    QCOMPARE(report, expected);
    const bool foreign = !name.contains(QStringLiteral("STEM")) && name != u"COPY";
    QCOMPARE(exists(path), foreign || offered == u"-");
    if (foreign)
        QCOMPARE(files(stem + QStringLiteral(".*")), QStringList());
    if (kind == u"file")
        QCOMPARE(fileBytes(path), documentWith("mine"));
}

// A folder that cannot be written (a read-only mount for root, whom
// permissions do not stop): the copy whose owner has gone is offered all
// the same, Discard says it could not delete it, and it stays. The start
// says once in the status bar that autosave cannot write, and where.
void TestRecovery::readOnlyFolder()
{
    const QString stem = crashedCopy(dir->filePath(QStringLiteral("study.sp")), "6");
    const QByteArray report = inChild([this] {
        if (::geteuid() == 0) {
            const QByteArray path = QFile::encodeName(folder());
            if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0
                || ::mount(path.constData(), path.constData(), nullptr, MS_BIND, nullptr) != 0
                || ::mount(nullptr, path.constData(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) != 0)
                return QByteArray("no read-only mount");
        } else if (::chmod(QFile::encodeName(folder()).constData(), 0555) != 0) {
            return QByteArray("no chmod");
        }
        RecoveryStore start(folder());
        QString reason;
        QByteArray lines = start.writable(&reason) ? "writable\n" : "read-only\n";
        for (const RecoveryCopy &copy : start.claimStale())
            lines += copy.stem.toUtf8() + '\t' + copy.damage.toUtf8() + (start.remove(copy.stem) ? "\tdeleted\n" : "\tkept\n");
        return lines;
    });
    ::chmod(QFile::encodeName(folder()).constData(), 0755);
    if (report == "no read-only mount")
        QSKIP("root, and no read-only bind mount in a private mount namespace here");
    QCOMPARE(report, "read-only\n" + stem.toUtf8() + "\t\tkept\n");
    QVERIFY(!store->read(stem).isDamaged());

    // The status bar at the start, once; later failed copies add nothing.
    QVERIFY(QDir(folder()).removeRecursively());
    QFile blocker(folder());
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    DocumentPrompts prompts;
    RecoveryAnswers answers;
    MainWindow window;
    QSignalSpy messages(window.statusBar(), &QStatusBar::messageChanged);
    const auto shown = [&messages] {
        QStringList texts;
        for (const QList<QVariant> &message : std::as_const(messages))
            if (message.value(0).toString().startsWith(QStringLiteral("Autosave cannot write")))
                texts << message.value(0).toString();
        return texts;
    };
    RecoveryStart::run(&window, {});
    QCOMPARE(shown().size(), 1);
    QVERIFY2(shown()[0].contains(folder()), qPrintable(shown()[0]));
    window.sheet()->typeIntoCell(0, 0, QStringLiteral("7"));
    QVERIFY(!window.autosave()->writeNow());
    QCOMPARE(shown().size(), 1);
}

// A damaged copy opened from the recovery folder (as the README suggests)
// is saved elsewhere: Save asks for a name, and Save As, there or after,
// starts outside the folder.
void TestRecovery::saveAsNeverInRecovery()
{
    const QString stem = crashedCopy(QString(), "8");
    const QString copy = store->read(stem).copyFile;
    DocumentPrompts prompts;
    MainWindow window;
    prompts.fileAnswers << copy << QString() << QString();
    QVERIFY(trigger(window, QStringLiteral("&Open...")));
    QCOMPARE(window.sheet()->cellFormula(0, 0), QStringLiteral("8"));
    window.sheet()->typeIntoCell(0, 1, QStringLiteral("9"));
    QVERIFY(trigger(window, QStringLiteral("&Save")));
    QVERIFY(trigger(window, QStringLiteral("Save &As...")));
    QCOMPARE(prompts.kinds(), QStringList({ QStringLiteral("open"), QStringLiteral("save"), QStringLiteral("save") }));
    for (int i = 1; i <= 2; ++i) {
        const QString start = prompts.asked[i].text.section(u'|', 0, 0);
        QVERIFY2(!start.startsWith(folder()), qPrintable(start));
    }
    QCOMPARE(fileBytes(copy), documentWith("8"));
}

QTEST_MAIN(TestRecovery)
#include "test_recovery.moc"
