// What the desktop hands the main window: a document named on the command
// line or dropped from a file manager, the first start's size, and file
// dialogs that add the suffix and start in the folder last used. Questions
// are answered by DocumentPrompts; settings live in a temporary folder.
#include "documentprompts.h"
#include "mainwindow.h"
#include "spreadsheet.h"
#include "windowtesthelpers.h"

#include <QComboBox>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QRegularExpression>
#include <QtTest>

namespace {

const QString kSaveQuestion
    = QStringLiteral("The document Untitled has been modified.\nDo you want to save your changes?");

QSettings settings()
{
    return QSettings(QStringLiteral("Orvanta"), QStringLiteral("Velmora"));
}

// Where the dialogs start before any folder was used.
QString firstFolder()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

QString fileDialogFolder(const DocumentPrompts &prompts, int index)
{
    return prompts.asked.at(index).text.section(u'|', 0, 0);
}

QMimeData *filesData(const QList<QUrl> &urls)
{
    auto *data = new QMimeData;
    data->setUrls(urls);
    return data;
}

// Drags over a widget of the window and, when the drag was taken, drops;
// the application passes the drag up to the first widget that accepts
// drops, as it does for a drag from a file manager. Tells the action the
// drop was taken with; returns whether it was taken.
bool dragAndDrop(QWidget *over, QMimeData *data, Qt::DropActions actions,
                 Qt::DropAction *decided = nullptr)
{
    const QPoint centre = over->rect().center();
    QDragEnterEvent enter(centre, actions, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(over, &enter);
    if (!enter.isAccepted())
        return false;
    QDragMoveEvent move(centre + QPoint(5, 5), actions, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(over, &move);
    QDropEvent drop(QPointF(centre), actions, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(over, &drop);
    if (decided)
        *decided = drop.dropAction();
    return drop.isAccepted();
}

} // namespace

class TestDesktop final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void openFromArgument_data();
    void openFromArgument();
    void dropOpensDocument_data();
    void dropOpensDocument();
    void dropOfOtherFilesRefused_data();
    void dropOfOtherFilesRefused();
    void firstStartSize_data();
    void firstStartSize();
    void saveAsAddsSuffix_data();
    void saveAsAddsSuffix();
    void dialogsStartInLastFolder();
    void realSaveDialogAddsChosenSuffix_data();
    void realSaveDialogAddsChosenSuffix();

private:
    QTemporaryDir settingsDir;
    QTemporaryDir docs;
    QString doc(const QString &name) const { return docs.filePath(name); }
    QString makeDocument(const QString &path, const QString &a1);
};

void TestDesktop::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(settingsDir.isValid());
    QVERIFY(docs.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
    QVERIFY(settings().fileName().startsWith(settingsDir.path()));
}

void TestDesktop::init()
{
    settings().clear();
}

void TestDesktop::cleanup()
{
    settings().clear();
    QDir::setCurrent(QDir::tempPath());
}

QString TestDesktop::makeDocument(const QString &path, const QString &a1)
{
    Spreadsheet sheet;
    sheet.setCellFormula(0, 0, a1);
    return sheet.writeSheet(path) ? path : QString();
}

void TestDesktop::openFromArgument_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("bytes"); // written to doc.sp first; empty: a good document
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("message");
    QTest::newRow("no argument") << QStringList() << QByteArray() << QStringLiteral("Untitled[*] - Velmora")
                                 << QString();
    QTest::newRow("document, relative to the working folder")
        << QStringList { QStringLiteral("doc.sp") } << QByteArray()
        << QStringLiteral("doc.sp[*] - Velmora") << QString();
    QTest::newRow("only the first argument")
        << QStringList { QStringLiteral("doc.sp"), QStringLiteral("other.sp") } << QByteArray()
        << QStringLiteral("doc.sp[*] - Velmora") << QString();
    QTest::newRow("damaged document")
        << QStringList { QStringLiteral("doc.sp") }
        << QByteArray::fromHex("7F51C883000000000000000A0041") << QStringLiteral("Untitled[*] - Velmora")
        << QStringLiteral("The file %1 is damaged.");
    QTest::newRow("not a document")
        << QStringList { QStringLiteral("doc.sp") } << QByteArray("a,b\n1,2\n")
        << QStringLiteral("Untitled[*] - Velmora") << QStringLiteral("The file %1 is not a Spreadsheet file.");
    QTest::newRow("missing file") << QStringList { QStringLiteral("nowhere.sp") } << QByteArray()
                                  << QStringLiteral("Untitled[*] - Velmora")
                                  << QStringLiteral("Cannot read file %1:\n");
}

void TestDesktop::openFromArgument()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, title);
    QFETCH(QString, message);
    DocumentPrompts prompts;
    QVERIFY(!makeDocument(doc(QStringLiteral("doc.sp")), QStringLiteral("from the argument"))
                 .isEmpty());
    if (!bytes.isEmpty()) {
        QFile file(doc(QStringLiteral("doc.sp")));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    QVERIFY(QDir::setCurrent(docs.path()));

    // The title has its placeholder before anything is loaded: no warning
    // that the modified mark has nowhere to go.
    QTest::failOnWarning(QRegularExpression(QStringLiteral("placeholder")));
    MainWindow window;
    window.show();
    window.openArguments(arguments);
    QCOMPARE(window.windowTitle(), title);
    QVERIFY(!window.isWindowModified());
    const bool opened = title != QStringLiteral("Untitled[*] - Velmora");
    QCOMPARE(window.sheet()->cellFormula(0, 0),
             opened ? QStringLiteral("from the argument") : QString());
    if (message.isEmpty()) {
        QVERIFY(prompts.asked.isEmpty());
    } else {
        QCOMPARE(prompts.kinds(), QStringList { QStringLiteral("warning") });
        // The usual message, naming the file by its full path.
        const QString path = QDir(docs.path()).absoluteFilePath(arguments.first());
        QVERIFY2(prompts.lastText().startsWith(message.arg(path)), qPrintable(prompts.lastText()));
    }

    // The recent list holds the full path, usable from any folder.
    QVERIFY(window.close());
    const QStringList recent = settings().value(QStringLiteral("recentFiles")).toStringList();
    QCOMPARE(recent, opened ? QStringList { doc(QStringLiteral("doc.sp")) } : QStringList());
}

void TestDesktop::dropOpensDocument_data()
{
    QTest::addColumn<bool>("modified");
    QTest::addColumn<int>("answer"); // to the save question, when asked
    QTest::addColumn<bool>("opens");
    QTest::newRow("unchanged document") << false << int(QMessageBox::NoButton) << true;
    QTest::newRow("changes discarded") << true << int(QMessageBox::No) << true;
    QTest::newRow("cancelled") << true << int(QMessageBox::Cancel) << false;
}

void TestDesktop::dropOpensDocument()
{
    QFETCH(bool, modified);
    QFETCH(int, answer);
    QFETCH(bool, opens);
    DocumentPrompts prompts;
    const QString dropped = makeDocument(doc(QStringLiteral("Dropped.SP")), QStringLiteral("dropped"));
    QVERIFY(!dropped.isEmpty());
    MainWindow window;
    window.show();
    // The grid and the Results window leave drops to the window.
    QVERIFY(window.acceptDrops());
    QVERIFY(!window.sheet()->acceptDrops());
    QVERIFY(!window.sheet()->viewport()->acceptDrops());
    QVERIFY(!window.findChild<QDockWidget *>()->widget()->acceptDrops());
    windowtest::action(window, QStringLiteral("&New"))->trigger();
    if (modified)
        window.sheet()->setCellFormula(3, 3, QStringLiteral("unsaved"));
    if (answer != QMessageBox::NoButton)
        prompts.buttonAnswers.enqueue(QMessageBox::StandardButton(answer));

    // A file manager may propose a move; the window takes a copy, so the
    // file stays where it was.
    std::unique_ptr<QMimeData> data(filesData(
        { QUrl(QStringLiteral("https://example.org/remote.sp")), QUrl::fromLocalFile(dropped) }));
    Qt::DropAction decided = Qt::IgnoreAction;
    QVERIFY(dragAndDrop(window.sheet()->viewport(), data.get(), Qt::MoveAction | Qt::CopyAction,
                        &decided));
    QCOMPARE(decided, Qt::CopyAction);
    // The document opens once the drop has returned.
    QVERIFY(prompts.asked.isEmpty());
    QCOMPARE(window.windowTitle(), QStringLiteral("Untitled[*] - Velmora"));

    QTRY_VERIFY(!prompts.asked.isEmpty() || window.windowTitle() != QStringLiteral("Untitled[*] - Velmora"));
    if (modified) {
        QCOMPARE(prompts.kinds(), QStringList { QStringLiteral("warning") });
        QCOMPARE(prompts.asked.first().text, kSaveQuestion);
    }
    QCOMPARE(window.windowTitle(),
             opens ? QStringLiteral("Dropped.SP[*] - Velmora") : QStringLiteral("Untitled[*] - Velmora"));
    QCOMPARE(window.sheet()->cellFormula(0, 0), opens ? QStringLiteral("dropped") : QString());
    QCOMPARE(window.sheet()->cellFormula(3, 3), opens || !modified ? QString() : QStringLiteral("unsaved"));
    QCOMPARE(window.isWindowModified(), modified && !opens);
    QVERIFY(QFile::exists(dropped));
    QCOMPARE(prompts.unplanned, 0);
}

void TestDesktop::dropOfOtherFilesRefused_data()
{
    QTest::addColumn<QList<QUrl>>("urls");
    QTest::addColumn<int>("actions");
    const QUrl document = QUrl::fromLocalFile(QDir::temp().filePath(QStringLiteral("a.sp")));
    QTest::newRow("text table") << QList<QUrl> { QUrl::fromLocalFile(QStringLiteral("/tmp/a.csv")) }
                                << int(Qt::CopyAction);
    QTest::newRow("remote document")
        << QList<QUrl> { QUrl(QStringLiteral("https://example.org/a.sp")) } << int(Qt::CopyAction);
    QTest::newRow("no suffix") << QList<QUrl> { QUrl::fromLocalFile(QStringLiteral("/tmp/sp")) }
                               << int(Qt::CopyAction);
    QTest::newRow("only a move offered") << QList<QUrl> { document } << int(Qt::MoveAction);
}

void TestDesktop::dropOfOtherFilesRefused()
{
    QFETCH(QList<QUrl>, urls);
    QFETCH(int, actions);
    DocumentPrompts prompts;
    MainWindow window;
    window.show();
    std::unique_ptr<QMimeData> data(filesData(urls));
    QVERIFY(!dragAndDrop(window.sheet()->viewport(), data.get(), Qt::DropActions(actions)));
    QVERIFY(!dragAndDrop(&window, data.get(), Qt::DropActions(actions)));

    // Plain text is no document either.
    QMimeData text;
    text.setText(QStringLiteral("file:///tmp/a.sp"));
    QVERIFY(!dragAndDrop(&window, &text, Qt::CopyAction));
    QTest::qWait(20);
    QCOMPARE(window.windowTitle(), QStringLiteral("Untitled[*] - Velmora"));
    QVERIFY(prompts.asked.isEmpty());
}

void TestDesktop::firstStartSize_data()
{
    QTest::addColumn<QByteArray>("stored"); // the "geometry" setting; empty: none
    QTest::newRow("no stored geometry") << QByteArray();
    QTest::newRow("unusable stored geometry") << QByteArray("junk");
}

void TestDesktop::firstStartSize()
{
    QFETCH(QByteArray, stored);
    if (!stored.isEmpty())
        settings().setValue(QStringLiteral("geometry"), stored);
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QRect available = window.screen()->availableGeometry();
    // Two thirds of the screen, at least 800 x 550 where the screen has
    // room for it with a window frame around, and centred.
    const QSize least = QSize(800, 550).boundedTo(available.size() * 9 / 10);
    QVERIFY2(window.width() >= qMax(least.width(), available.width() * 2 / 3)
                 && window.height() >= qMax(least.height(), available.height() * 2 / 3),
             qPrintable(QStringLiteral("%1 x %2 on %3 x %4")
                            .arg(window.width()).arg(window.height())
                            .arg(available.width()).arg(available.height())));
    QVERIFY(available.contains(window.geometry()));
    // Within the frame's few pixels.
    QVERIFY(qAbs(window.geometry().center().x() - available.center().x()) <= 4);
    QVERIFY(qAbs(window.geometry().center().y() - available.center().y()) <= 4);

    // What the user makes of it is what the next start restores.
    window.resize(640, 480);
    QVERIFY(window.close());
    MainWindow again;
    QCOMPARE(again.size(), QSize(640, 480));
}

void TestDesktop::saveAsAddsSuffix_data()
{
    QTest::addColumn<QString>("answer");   // the save dialog's answer
    QTest::addColumn<bool>("existing");    // a file of the suffixed name exists already
    QTest::addColumn<int>("replace");      // the answer to the replace question, if asked
    QTest::addColumn<QString>("written");  // the file written; empty: none
    QTest::newRow("no suffix") << QStringLiteral("mine") << false << int(QMessageBox::NoButton)
                               << QStringLiteral("mine.sp");
    QTest::newRow("trailing dot") << QStringLiteral("mine.") << false << int(QMessageBox::NoButton)
                                  << QStringLiteral("mine.sp");
    QTest::newRow("suffix of its own") << QStringLiteral("mine.dat") << false
                                       << int(QMessageBox::NoButton) << QStringLiteral("mine.dat");
    QTest::newRow("suffixed name exists, replaced")
        << QStringLiteral("mine") << true << int(QMessageBox::Yes) << QStringLiteral("mine.sp");
    QTest::newRow("suffixed name exists, kept")
        << QStringLiteral("mine") << true << int(QMessageBox::No) << QString();
}

void TestDesktop::saveAsAddsSuffix()
{
    QFETCH(QString, answer);
    QFETCH(bool, existing);
    QFETCH(int, replace);
    QFETCH(QString, written);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString suffixed = folder.filePath(QStringLiteral("mine.sp"));
    if (existing)
        QVERIFY(!makeDocument(suffixed, QStringLiteral("older")).isEmpty());
    DocumentPrompts prompts;
    MainWindow window;
    window.sheet()->setCellFormula(0, 0, QStringLiteral("newer"));
    prompts.fileAnswers.enqueue(folder.filePath(answer));
    if (replace != QMessageBox::NoButton)
        prompts.buttonAnswers.enqueue(QMessageBox::StandardButton(replace));
    windowtest::action(window, QStringLiteral("Save &As..."))->trigger();

    if (existing) {
        QCOMPARE(prompts.kinds(), (QStringList { QStringLiteral("save"), QStringLiteral("warning") }));
        QCOMPARE(prompts.lastText(),
                 QStringLiteral("%1 already exists.\nDo you want to replace it?").arg(suffixed));
        QCOMPARE(prompts.asked.last().buttons, QMessageBox::Yes | QMessageBox::No);
    } else {
        QCOMPARE(prompts.kinds(), QStringList { QStringLiteral("save") });
    }
    // Nothing is written under the name as typed, unless it is the one kept.
    QCOMPARE(QFile::exists(folder.filePath(answer)), written == answer);
    Spreadsheet check;
    if (written.isEmpty()) {
        QVERIFY(window.isWindowModified());
        QVERIFY(check.readSheet(suffixed));
        QCOMPARE(check.cellFormula(0, 0), QStringLiteral("older"));
    } else {
        QVERIFY(!window.isWindowModified());
        QCOMPARE(window.windowTitle(), written + QStringLiteral("[*] - Velmora"));
        QVERIFY(check.readSheet(folder.filePath(written)));
        QCOMPARE(check.cellFormula(0, 0), QStringLiteral("newer"));
    }
    QCOMPARE(prompts.unplanned, 0);
}

void TestDesktop::dialogsStartInLastFolder()
{
    QTemporaryDir first;
    QTemporaryDir second;
    QVERIFY(first.isValid() && second.isValid());
    const QString opened = makeDocument(first.filePath(QStringLiteral("a.sp")), QStringLiteral("a"));
    DocumentPrompts prompts;
    {
        MainWindow window;
        // Nothing used yet.
        prompts.fileAnswers.enqueue(opened);
        windowtest::action(window, QStringLiteral("&Open..."))->trigger();
        QCOMPARE(fileDialogFolder(prompts, 0), firstFolder());

        // Save As starts where the document came from...
        prompts.fileAnswers.enqueue(second.filePath(QStringLiteral("b.sp")));
        windowtest::action(window, QStringLiteral("Save &As..."))->trigger();
        QCOMPARE(fileDialogFolder(prompts, 1), first.path());

        // ...and Open where it was saved. A cancelled dialog changes nothing.
        windowtest::action(window, QStringLiteral("&Open..."))->trigger();
        QCOMPARE(fileDialogFolder(prompts, 2), second.path());
        QCOMPARE(prompts.unplanned, 1);
        QVERIFY(window.close());
    }
    QCOMPARE(settings().value(QStringLiteral("lastFolder")).toString(), second.path());

    // Kept with the settings for the next start.
    prompts.asked.clear();
    {
        MainWindow window;
        windowtest::action(window, QStringLiteral("&Open..."))->trigger();
        QCOMPARE(fileDialogFolder(prompts, 0), second.path());
    }

    // A folder that has gone since is not offered.
    settings().setValue(QStringLiteral("lastFolder"), second.filePath(QStringLiteral("gone")));
    prompts.asked.clear();
    MainWindow window;
    windowtest::action(window, QStringLiteral("&Open..."))->trigger();
    QCOMPARE(fileDialogFolder(prompts, 0), firstFolder());
}

void TestDesktop::realSaveDialogAddsChosenSuffix_data()
{
    QTest::addColumn<QString>("filters");
    QTest::addColumn<int>("chosen"); // index of the filter picked in the dialog
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("returned");
    const QString document = QStringLiteral("Spreadsheet files (*.sp)");
    const QString results = QStringLiteral("HTML files (*.html *.htm);;Text files (*.txt)");
    QTest::newRow("document") << document << 0 << QStringLiteral("mine") << QStringLiteral("mine.sp");
    QTest::newRow("results as HTML") << results << 0 << QStringLiteral("report")
                                     << QStringLiteral("report.html");
    QTest::newRow("results as text") << results << 1 << QStringLiteral("report")
                                     << QStringLiteral("report.txt");
    QTest::newRow("suffix typed") << results << 1 << QStringLiteral("report.htm")
                                  << QStringLiteral("report.htm");
}

// The real dialog behind the prompts, driven through its widgets.
void TestDesktop::realSaveDialogAddsChosenSuffix()
{
    QFETCH(QString, filters);
    QFETCH(int, chosen);
    QFETCH(QString, typed);
    QFETCH(QString, returned);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    bool driven = false;
    QTimer driver;
    driver.setInterval(20);
    connect(&driver, &QTimer::timeout, this, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog || driven)
            return;
        driven = true;
        auto *types = dialog->findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
        auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        if (!types || !name) {
            dialog->reject();
            return;
        }
        // As a user picks it, from the keyboard.
        types->setCurrentIndex(0);
        for (int i = 0; i < chosen; ++i)
            QTest::keyClick(types, Qt::Key_Down);
        if (types->currentIndex() != chosen)
            dialog->reject();
        name->clear();
        QTest::keyClicks(name, typed);
        QTest::keyClick(name, Qt::Key_Return);
    });
    driver.start();
    QWidget parent;
    const QString answer
        = UiPrompts::current().saveFileName(&parent, QStringLiteral("Save"), folder.path(), filters);
    driver.stop();
    QVERIFY(driven);
    QCOMPARE(answer, folder.filePath(returned));
}

QTEST_MAIN(TestDesktop)
#include "test_desktop.moc"
