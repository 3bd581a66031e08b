// Autosave and recovery through the window: the copy written and removed as
// the document moves, other instances' live and dead copies, damaged copies
// named and kept, the start-up question answered through AppDialogs. Every
// store lives in a temporary folder.
#include "../spreadsheet/documentprompts.h"
#include "appdialogs.h"
#include "autosaver.h"
#include "calcpoll.h"
#include "recoverystart.h"
#include "recoverystore.h"
#include "safefilewriter.h"
#include "windowtesthelpers.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QQueue>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <sys/wait.h>
#include <unistd.h>

using namespace windowtest;
using Recovery = AppDialogs::Recovery;

namespace {

class RecoveryAnswers final : public AppDialogs
{
public:
    RecoveryAnswers() { install(this); }
    ~RecoveryAnswers() override { install(nullptr); }
    QQueue<Recovery> answers;
    QList<QList<RecoveryCopy>> offered;
    QList<QStringList> started;
    int preferencesAnswer = -1;

    Recovery recoverDocuments(QWidget *, const QList<RecoveryCopy> &copies) override
    {
        offered.append(copies);
        return answers.isEmpty() ? Recovery::Later : answers.dequeue();
    }
    bool editPreferences(QWidget *, int *seconds) override
    {
        *seconds = preferencesAnswer;
        return preferencesAnswer >= 0;
    }
    bool startWindow(const QStringList &arguments) override
    {
        started.append(arguments);
        return true;
    }
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

// The grid's editor opens only in a window on the screen.
void typeShown(MainWindow &window, int row, int column, const char *text)
{
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    typeInto(window.sheet(), row, column, QString::fromUtf8(text));
}

} // namespace

class TestRecovery : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void restoreAtStart_data();
    void restoreAtStart();
    void onlyDeadInstancesCopiesAreOffered();
    void copyFollowsDocument_data();
    void copyFollowsDocument();
    void timerFiresDuringRun();
    void unwritableFolderSaysSoOnce();
    void laterDiscardAndSeveralCopies();
    void intervalSetting_data();
    void intervalSetting();

private:
    QString folder() const { return dir->filePath(QStringLiteral("recovery")); }
    QStringList files(const QString &pattern = QStringLiteral("*")) const
    {
        return QDir(folder()).entryList({ pattern }, QDir::Files | QDir::Hidden);
    }
    // What an instance that was killed leaves: a copy and its record, the
    // lock gone with the instance.
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

void TestRecovery::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void TestRecovery::init()
{
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
    QTest::newRow("last byte cut") << "truncate" << true << "The copy is truncated.";
    QTest::newRow("a byte changed") << "flip" << true << "The copy is damaged.";
    QTest::newRow("copy deleted") << "delete" << true << "The copy is missing.";
    QTest::newRow("record garbled") << "garble" << true << "Its record is damaged.";
    QTest::newRow("record names a file outside") << "escape" << true << "Its record is damaged.";
    QTest::newRow("record missing") << "unrecord" << true << "Its record is missing.";
}

// A killed instance's copy is offered; Restore opens an intact one modified
// and bound to its original, which only Save then writes. A damaged one is
// named, never opened, and kept for the next start.
void TestRecovery::restoreAtStart()
{
    QFETCH(QString, harm);
    QFETCH(bool, titled);
    QFETCH(QString, damage);
    const QString original = dir->filePath(QStringLiteral("study.sp"));
    QVERIFY(put(original, documentWith("1")));
    const QString stem = crashedCopy(titled ? original : QString(), "42");
    const RecoveryCopy written = store->read(stem);
    const QString record = folder() + u'/' + stem + QStringLiteral(".json");
    QFile copyFile(written.copyFile);
    QByteArray bytes = fileBytes(written.copyFile);
    if (harm == QLatin1String("truncate")) {
        QVERIFY(copyFile.resize(bytes.size() - 1));
    } else if (harm == QLatin1String("flip")) {
        bytes[bytes.size() - 1] = char(bytes.back() ^ 1);
        QVERIFY(put(written.copyFile, bytes));
    } else if (harm == QLatin1String("delete")) {
        QVERIFY(copyFile.remove());
    } else if (harm == QLatin1String("garble")) {
        QVERIFY(put(record, "{\"copy\": "));
    } else if (harm == QLatin1String("escape")) {
        QJsonObject fields = QJsonDocument::fromJson(fileBytes(record)).object();
        fields[QStringLiteral("copy")] = QStringLiteral("../study.sp");
        QVERIFY(put(record, QJsonDocument(fields).toJson()));
    } else if (harm == QLatin1String("unrecord")) {
        QVERIFY(QFile::remove(record));
    }

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
        QVERIFY(!window.isWindowModified());
        QVERIFY(window.currentFile().isEmpty());
        QVERIFY(window.sheet()->cellFormula(0, 0).isEmpty());
        QVERIFY(prompts.asked.isEmpty());
        QCOMPARE(RecoveryStore(folder()).claimStale().value(0).damage, damage);
        return;
    }
    QCOMPARE(window.sheet()->cellFormula(0, 0), QStringLiteral("42"));
    QVERIFY(window.isWindowModified());
    QCOMPARE(window.currentFile(), titled ? original : QString());
    QVERIFY(window.windowTitle().startsWith(
        titled ? QStringLiteral("study.sp") : QStringLiteral("Untitled")));
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

// Another instance's copy under a live lock is neither offered nor touched;
// one whose instance ended without letting go (here a child process) is.
void TestRecovery::onlyDeadInstancesCopiesAreOffered()
{
    RecoveryStore live(folder());
    const QString liveStem = live.newStem();
    QString reason;
    QVERIFY(live.writeCopy(liveStem, documentWith("live"), QString(), false, &reason));
    const pid_t child = fork();
    if (child == 0) {
        RecoveryStore dead(folder());
        _exit(dead.writeCopy(dead.newStem(), documentWith("dead"), QStringLiteral("/d.sp"), false,
                             &reason) ? 0 : 1);
    }
    int status = -1;
    QCOMPARE(waitpid(child, &status, 0), child);
    QCOMPARE(status, 0);

    const QList<RecoveryCopy> offered = store->claimStale();
    QCOMPARE(offered.size(), 1);
    QCOMPARE(offered[0].originalPath, QStringLiteral("/d.sp"));
    QVERIFY(!offered[0].isDamaged());
    QVERIFY(RecoveryStore(folder()).claimStale().isEmpty());
    QVERIFY(!store->read(liveStem).isDamaged());
    store->remove(liveStem);
    QVERIFY(!store->read(liveStem).isDamaged());
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
    MainWindow window;
    window.openArguments({ document });
    typeShown(window, 1, 1, "5");
    QVERIFY(window.autosave()->writeNow());
    QCOMPARE(files(QStringLiteral("*.sp")).size(), 1);

    if (step == QLatin1String("save")) {
        QVERIFY(trigger(window, QStringLiteral("&Save")));
    } else if (step == QLatin1String("save refused")) {
        QVERIFY(QFile::remove(document) && QDir().mkdir(document));
        QVERIFY(trigger(window, QStringLiteral("&Save")));
    } else if (step == QLatin1String("undo")) {
        window.sheet()->undo();
    } else if (step == QLatin1String("close")) {
        window.close();
    } else if (step == QLatin1String("new")) {
        QVERIFY(trigger(window, QStringLiteral("&New")));
    } else {
        prompts.fileAnswers << (step == QLatin1String("open") ? document : QString());
        QVERIFY(trigger(window, QStringLiteral("&Open...")));
    }
    QCOMPARE(!files(QStringLiteral("*.sp")).isEmpty(), copyStays);
    if (!copyStays)
        QCOMPARE(files(), QStringList());
}

// A test polls the event loop while it runs: the copy is written then, an
// interval after the change, and is the document as the grid holds it.
void TestRecovery::timerFiresDuringRun()
{
    Autosaver::setIntervalSetting(1);
    DocumentPrompts prompts;
    MainWindow window;
    typeShown(window, 0, 0, "7");
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
}

// A folder that cannot be written: one message in the status bar, no
// dialog, however often autosave tries.
void TestRecovery::unwritableFolderSaysSoOnce()
{
    QFile blocker(folder());
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    DocumentPrompts prompts;
    MainWindow window;
    QSignalSpy messages(window.statusBar(), &QStatusBar::messageChanged);
    typeShown(window, 0, 0, "7");
    for (int attempt = 0; attempt < 3; ++attempt)
        QVERIFY(!window.autosave()->writeNow());
    QStringList shown;
    for (const QList<QVariant> &message : std::as_const(messages))
        if (message.value(0).toString().contains(QStringLiteral("Autosave cannot write")))
            shown << message.value(0).toString();
    QCOMPARE(shown.size(), 1);
    QVERIFY(shown[0].contains(folder()));
    QVERIFY(prompts.asked.isEmpty());
}

// Discard asks first (No brings the list back), Later keeps the copies for
// the next start; Restore puts the copy of the document named on the
// command line in the window and hands each other to a Velmora of its own.
void TestRecovery::laterDiscardAndSeveralCopies()
{
    const QString first = dir->filePath(QStringLiteral("a.sp"));
    const QString second = dir->filePath(QStringLiteral("b.sp"));
    const QString firstStem = crashedCopy(first, "1");
    const QString secondStem = crashedCopy(second, "2");
    DocumentPrompts prompts;
    RecoveryAnswers answers;
    answers.answers << Recovery::Discard << Recovery::Later << Recovery::Restore;
    prompts.buttonAnswers << QMessageBox::No;
    MainWindow window;
    RecoveryStart::run(&window, {});
    QCOMPARE(answers.offered.size(), 2);
    QCOMPARE(answers.offered[0].size(), 2);
    QVERIFY(!window.isWindowModified());

    RecoveryStart::run(&window, { second });
    QCOMPARE(window.currentFile(), second);
    QCOMPARE(window.sheet()->cellFormula(0, 0), QStringLiteral("2"));
    QCOMPARE(answers.started, QList<QStringList>({ { QStringLiteral("--restore"), firstStem } }));
    MainWindow other;
    RecoveryStart::run(&other, answers.started[0]);
    QCOMPARE(other.currentFile(), first);
    QCOMPARE(other.sheet()->cellFormula(0, 0), QStringLiteral("1"));
    QCOMPARE(files(firstStem + QStringLiteral(".*")) + files(secondStem + QStringLiteral(".*")),
             QStringList());

    const QString thirdStem = crashedCopy(QString(), "3");
    answers.answers << Recovery::Discard;
    prompts.buttonAnswers << QMessageBox::Yes;
    MainWindow third;
    RecoveryStart::run(&third, {});
    QCOMPARE(files(thirdStem + QStringLiteral(".*")), QStringList());
    QVERIFY(!third.isWindowModified());
}

void TestRecovery::intervalSetting_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<int>("seconds");
    QTest::newRow("unset") << QVariant() << 60;
    QTest::newRow("off") << QVariant(QStringLiteral("0")) << 0;
    QTest::newRow("short") << QVariant(QStringLiteral("2")) << 2;
    QTest::newRow("not a number") << QVariant(QStringLiteral("soon")) << 60;
    QTest::newRow("negative") << QVariant(QStringLiteral("-5")) << 60;
    QTest::newRow("beyond a day") << QVariant(QStringLiteral("999999")) << 86400;
}

// The setting as the file holds it, and Edit > Preferences... writing it.
void TestRecovery::intervalSetting()
{
    QFETCH(QVariant, stored);
    QFETCH(int, seconds);
    QSettings settings(QStringLiteral("Orvanta"), QStringLiteral("Velmora"));
    if (stored.isValid())
        settings.setValue(QStringLiteral("autosave/intervalSeconds"), stored);
    settings.sync();
    QCOMPARE(Autosaver::intervalSetting(), seconds);

    RecoveryAnswers answers;
    answers.preferencesAnswer = 0;
    MainWindow window;
    typeShown(window, 0, 0, "7");
    QCOMPARE(window.autosave()->isArmed(), seconds > 0);
    QVERIFY(trigger(window, QStringLiteral("Pr&eferences...")));
    QCOMPARE(Autosaver::intervalSetting(), 0);
    QVERIFY(!window.autosave()->isArmed());
}

QTEST_MAIN(TestRecovery)
#include "test_recovery.moc"
