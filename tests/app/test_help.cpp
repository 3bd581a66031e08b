// The help that ships inside the program: the User Guide shows the README
// with every picture it names, its in-page links reach their headings, the
// Methods and Citations name each test's references, and the licence is the
// GPL's text.
#include "helpwindow.h"
#include "mainwindow.h"
#include "windowtesthelpers.h"

#include <QAbstractTextDocumentLayout>
#include <QRegularExpression>
#include <QTextObjectInterface>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextBrowser>
#include <QtTest>

class TestHelp final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void menuOpensItsPage();
    void guideIsTheReadmeWithItsPicturesAndLinks();
    void picturesFitTheWindowsWidth();
    void methodsAndGuideAgree_data();
    void methodsAndGuideAgree();
    void closesWithItsKeys_data();
    void closesWithItsKeys();
};

// Help > User Guide and Methods and Citations open their tabs; the methods
// name each test's references, the licence is the GPL's own text.
void TestHelp::menuOpensItsPage()
{
    MainWindow window;
    window.show();
    QVERIFY(windowtest::trigger(window, QStringLiteral("&Methods and Citations")));
    auto *help = window.findChild<HelpWindow *>();
    QVERIFY(help && help->isVisible());
    QCOMPARE(help->findChild<QTabWidget *>()->currentIndex(), int(HelpWindow::Methods));
    QVERIFY(windowtest::trigger(window, QStringLiteral("&User Guide")));
    QCOMPARE(help->findChild<QTabWidget *>()->currentIndex(), int(HelpWindow::Guide));
    const QString methods = help->browser(HelpWindow::Methods)->toPlainText();
    for (const char *reference :
         {"Mehta CR, Patel NR (1983)", "Freeman GH, Halton JH (1951)", "Pearson K (1900)", "Yates F (1934)",
          "Levene H (1949)", "Guo SW, Thompson EA (1992)", "Wigginton JE, Cutler DJ, Abecasis GR (2005)",
          "Clopper CJ, Pearson ES (1934)", "Patefield WM (1981)", "Cochran WG (1954)", "Armitage P (1955)",
          "Woolf B (1955)", "Lancaster HO (1961)"})
        QVERIFY2(methods.contains(QLatin1String(reference)), reference);
    // The generator and the draws the code uses, not those it once used.
    QVERIFY(methods.contains(QStringLiteral("Blackman D, Vigna S (2021)"))
            && methods.contains(QStringLiteral("Stadlober E (1990)")) && !methods.contains(QStringLiteral("Mersenne")));
    QVERIFY(help->browser(HelpWindow::Licence)->toPlainText().contains(QStringLiteral("Version 3, 29 June 2007")));
}

// The guide is the README from its title on; every picture it names is in
// the program and shows, and every in-page link reaches its heading.
void TestHelp::guideIsTheReadmeWithItsPicturesAndLinks()
{
    HelpWindow help;
    help.resize(700, 500);
    help.showPage(HelpWindow::Guide);
    QVERIFY(QTest::qWaitForWindowExposed(&help));
    QTextBrowser *guide = help.browser(HelpWindow::Guide);
    const QString readme = QString::fromUtf8(windowtest::fileBytes(QStringLiteral(VELMORA_SOURCE_DIR "/README.md")));
    QVERIFY(guide->toPlainText().startsWith(QStringLiteral("Velmora")));
    QVERIFY(!guide->toPlainText().contains(QStringLiteral("./run.sh")));

    static const QRegularExpression picture(QStringLiteral("!\\[[^\\]]*\\]\\((docs/images/[^)]+)\\)"));
    QStringList named;
    for (auto it = picture.globalMatch(readme); it.hasNext();)
        named << it.next().captured(1);
    QStringList shown;
    for (QTextBlock block = guide->document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QString name = it.fragment().charFormat().toImageFormat().name();
            if (!it.fragment().charFormat().isImageFormat())
                continue;
            QVERIFY2(guide->document()->resource(QTextDocument::ImageResource, QUrl(name)).isValid(), qPrintable(name));
            shown << name.mid(name.indexOf(QStringLiteral("docs/")));
        }
    }
    QVERIFY(named.size() >= 10);
    QCOMPARE(shown, named);

    static const QRegularExpression link(QStringLiteral("\\]\\(#([a-z0-9-]+)\\)"));
    for (auto it = link.globalMatch(readme); it.hasNext();) {
        const QString anchor = it.next().captured(1);
        guide->verticalScrollBar()->setValue(0);
        emit guide->anchorClicked(QUrl(u'#' + anchor));
        const QTextBlock heading = guide->textCursor().block();
        QVERIFY2(heading.blockFormat().headingLevel() > 0, qPrintable(anchor));
        QCOMPARE(HelpWindow::headingAnchor(heading.text()), anchor);
        QVERIFY2(guide->cursorRect().top() >= 0 && guide->cursorRect().top() < guide->viewport()->height(),
                 qPrintable(anchor));
    }
}

// In a window narrower than the pictures (the README's screenshots are
// up to 860 pixels wide), each is scaled down whole to the text's width;
// the narrow ones keep their size.
void TestHelp::picturesFitTheWindowsWidth()
{
    HelpWindow help;
    help.resize(640, 480);
    help.showPage(HelpWindow::Guide);
    QVERIFY(QTest::qWaitForWindowExposed(&help));
    QTextDocument *document = help.browser(HelpWindow::Guide)->document();
    QTextObjectInterface *images = document->documentLayout()->handlerForObject(QTextFormat::ImageObject);
    QVERIFY(images);
    int scaled = 0;
    int whole = 0;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (!it.fragment().charFormat().isImageFormat())
                continue;
            const QTextImageFormat format = it.fragment().charFormat().toImageFormat();
            const QSizeF natural = QImage(format.name().mid(3)).deviceIndependentSize();
            const QSizeF shown = images->intrinsicSize(document, it.fragment().position(), format);
            QVERIFY2(shown.width() <= document->textWidth(), qPrintable(format.name()));
            QVERIFY(qAbs(shown.width() / shown.height() - natural.width() / natural.height()) < 0.01);
            ++(shown.width() < natural.width() ? scaled : whole);
        }
    }
    QVERIFY(scaled > 0 && whole > 0);
}

// Where a method changed, the Methods page states what the guide states:
// each pattern's group, found in both (line breaks read as spaces).
void TestHelp::methodsAndGuideAgree_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::newRow("Yates: what is taken from |O - E|")
        << QStringLiteral("\\|O - E\\| is reduced by (min\\(0\\.5, \\|O - E\\|\\)) before it is squared");
    QTest::newRow("Yates: 2 x 2 only") << QStringLiteral("\"Yates correction\" (?:can be ticked for a )?\\(?(2 x 2)");
    QTest::newRow("Yates: as R does") << QStringLiteral("(R's `chisq.test` and scipy)");
    QTest::newRow("the old formula's sparse table")
        << QStringLiteral("(1573, 3 / 4, 0 gave P = [0-9.e+-]+ where the correction gives [0-9]+)");
}

void TestHelp::methodsAndGuideAgree()
{
    QFETCH(QString, pattern);
    const auto flowed = [](const char *path) {
        return QString::fromUtf8(windowtest::fileBytes(QStringLiteral(VELMORA_SOURCE_DIR "/") + QString::fromLatin1(path)))
            .replace(QRegularExpression(QStringLiteral("\\s+")), QStringLiteral(" "));
    };
    const QString methods = flowed("docs/methods.md");
    const QRegularExpressionMatch inGuide = QRegularExpression(pattern).match(flowed("README.md"));
    const QRegularExpressionMatch inMethods = QRegularExpression(pattern).match(methods);
    QVERIFY2(inGuide.hasMatch() && inMethods.hasMatch(), qPrintable(QStringLiteral("%1 %2").arg(inGuide.hasMatch()).arg(inMethods.hasMatch())));
    QCOMPARE(inMethods.captured(1), inGuide.captured(1));
    QVERIFY(!methods.contains(QStringLiteral("0.5 is taken from every |O - E| before")));
}

void TestHelp::closesWithItsKeys_data()
{
    QTest::addColumn<QKeySequence>("keys");
    QTest::newRow("Esc") << QKeySequence(Qt::Key_Escape);
    QTest::newRow("Ctrl+W") << QKeySequence(QStringLiteral("Ctrl+W"));
}

void TestHelp::closesWithItsKeys()
{
    QFETCH(QKeySequence, keys);
    HelpWindow help;
    help.showPage(HelpWindow::Methods);
    help.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&help));
    QTest::keySequence(&help, keys);
    QTRY_VERIFY(!help.isVisible());
}

QTEST_MAIN(TestHelp)
#include "test_help.moc"
