// The help that ships inside the program: the User Guide shows the README
// with every picture it names, its in-page links reach their headings, the
// Methods and Citations name each test's references, and the licence is the
// GPL's text.
#include "helpwindow.h"
#include "mainwindow.h"
#include "windowtesthelpers.h"

#include <QFile>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextBrowser>
#include <QtTest>

namespace {

QString readme()
{
    QFile file(QStringLiteral(VELMORA_SOURCE_DIR "/README.md"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

class TestHelp final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void menuOpensItsPage_data();
    void menuOpensItsPage();
    void guideIsTheReadmeWithItsPictures();
    void inPageLinksReachTheirHeadings();
    void methodsNameTheReferences_data();
    void methodsNameTheReferences();
};

void TestHelp::menuOpensItsPage_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("page");
    QTest::newRow("guide") << "&User Guide" << int(HelpWindow::Guide);
    QTest::newRow("methods") << "&Methods and Citations" << int(HelpWindow::Methods);
}

void TestHelp::menuOpensItsPage()
{
    QFETCH(QString, action);
    QFETCH(int, page);
    MainWindow window;
    window.show();
    QVERIFY(windowtest::trigger(window, action));
    auto *help = window.findChild<HelpWindow *>();
    QVERIFY(help && help->isVisible());
    QCOMPARE(help->findChild<QTabWidget *>()->currentIndex(), page);
    // The licence is the GPL's own text, as shipped in LICENSE.
    QVERIFY(help->browser(HelpWindow::Licence)->toPlainText().contains(QStringLiteral("GNU GENERAL PUBLIC LICENSE")));
    QVERIFY(help->browser(HelpWindow::Licence)->toPlainText().contains(QStringLiteral("Version 3, 29 June 2007")));
}

// The guide is the README from its title on; every picture it names is in
// the program and shows.
void TestHelp::guideIsTheReadmeWithItsPictures()
{
    HelpWindow help;
    QTextBrowser *guide = help.browser(HelpWindow::Guide);
    const QString text = guide->toPlainText();
    QVERIFY(text.startsWith(QStringLiteral("Velmora")));
    QVERIFY(text.contains(QStringLiteral("A first test, step by step")));
    QVERIFY(!text.contains(QStringLiteral("./run.sh")));

    static const QRegularExpression picture(QStringLiteral("!\\[[^\\]]*\\]\\((docs/images/[^)]+)\\)"));
    QStringList named;
    for (auto it = picture.globalMatch(readme()); it.hasNext();)
        named << it.next().captured(1);
    QVERIFY(named.size() >= 10);
    QStringList shown;
    for (QTextBlock block = guide->document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (!format.isImageFormat())
                continue;
            const QString name = format.toImageFormat().name();
            const QVariant image = guide->document()->resource(QTextDocument::ImageResource, QUrl(name));
            QVERIFY2(image.isValid(), qPrintable(name));
            shown << name.mid(name.indexOf(QStringLiteral("docs/")));
        }
    }
    QCOMPARE(shown, named);
}

// "[Keeping the results](#keeping-the-results)": every such link of the
// README leads to a heading of the guide, which scrolls into view.
void TestHelp::inPageLinksReachTheirHeadings()
{
    HelpWindow help;
    help.resize(700, 500);
    help.showPage(HelpWindow::Guide);
    QVERIFY(QTest::qWaitForWindowExposed(&help));
    QTextBrowser *guide = help.browser(HelpWindow::Guide);
    static const QRegularExpression link(QStringLiteral("\\]\\(#([a-z0-9-]+)\\)"));
    QStringList anchors;
    for (auto it = link.globalMatch(readme()); it.hasNext();)
        anchors << it.next().captured(1);
    QVERIFY(anchors.size() >= 3);
    for (const QString &anchor : std::as_const(anchors)) {
        guide->verticalScrollBar()->setValue(0);
        emit guide->anchorClicked(QUrl(u'#' + anchor));
        const QTextBlock heading = guide->textCursor().block();
        QVERIFY2(heading.blockFormat().headingLevel() > 0, qPrintable(anchor));
        QCOMPARE(HelpWindow::headingAnchor(heading.text()), anchor);
        const QRect at = guide->cursorRect();
        QVERIFY2(at.top() >= 0 && at.top() < guide->viewport()->height(), qPrintable(anchor));
    }
}

void TestHelp::methodsNameTheReferences_data()
{
    QTest::addColumn<QString>("reference");
    QTest::newRow("network algorithm") << "Mehta CR, Patel NR (1983)";
    QTest::newRow("Freeman-Halton") << "Freeman GH, Halton JH (1951)";
    QTest::newRow("Pearson") << "Pearson K (1900)";
    QTest::newRow("Yates") << "Yates F (1934)";
    QTest::newRow("Levene") << "Levene H (1949)";
    QTest::newRow("Guo and Thompson") << "Guo SW, Thompson EA (1992)";
    QTest::newRow("Wigginton") << "Wigginton JE, Cutler DJ, Abecasis GR (2005)";
    QTest::newRow("Clopper-Pearson") << "Clopper CJ, Pearson ES (1934)";
    QTest::newRow("Patefield") << "Patefield WM (1981)";
    QTest::newRow("Cochran") << "Cochran WG (1954)";
    QTest::newRow("Armitage") << "Armitage P (1955)";
    QTest::newRow("Woolf") << "Woolf B (1955)";
    QTest::newRow("mid-p") << "Lancaster HO (1961)";
}

void TestHelp::methodsNameTheReferences()
{
    QFETCH(QString, reference);
    HelpWindow help;
    QVERIFY(help.browser(HelpWindow::Methods)->toPlainText().contains(reference));
}

QTEST_MAIN(TestHelp)
#include "test_help.moc"
