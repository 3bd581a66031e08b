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

QTEST_MAIN(TestRecovery)
#include "test_recovery.moc"
