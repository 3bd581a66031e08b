#include "helpwindow.h"

#include "textimages.h"

#include <QDesktopServices>
#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHash>
#include <QImage>
#include <QRegularExpression>
#include <QScreen>
#include <QPainter>
#include <QScrollBar>
#include <QShortcut>
#include <QStyle>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextBrowser>
#include <QVBoxLayout>

#include <memory>

namespace {

QString resourceText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

HelpWindow::HelpWindow(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setWindowTitle(tr("Velmora Help"));
    tabs = new QTabWidget(this);
    const QString names[] = {tr("User Guide"), tr("Methods and Citations"), tr("Licence")};
    for (int i = 0; i < 3; ++i) {
        auto *view = new QTextBrowser(tabs);
        view->setOpenLinks(false);
        connect(view, &QTextBrowser::anchorClicked, this, [this, view](const QUrl &url) { followLink(view, url); });
        fitImagesToWidth(view);
        pages[i] = view;
        tabs->addTab(view, names[i]);
    }
    pages[Guide]->setMarkdown(guideMarkdown(resourceText(QStringLiteral(":/help/README.md"))));
    pages[Methods]->setMarkdown(resourceText(QStringLiteral(":/help/docs/methods.md")));
    // Plain text: the licence's "<https://...>" are not markup.
    pages[Licence]->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    pages[Licence]->setPlainText(resourceText(QStringLiteral(":/help/LICENSE")));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(tabs);

    const QRect available = (parent ? parent->screen() : QGuiApplication::primaryScreen())->availableGeometry();
    const QSize size = QSize(available.width() / 2, available.height() * 3 / 4).expandedTo(QSize(640, 480))
                           .boundedTo(available.size());
    setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size, available));
    // Closed as a viewer is: Esc, or Ctrl+W.
    for (const QKeySequence &keys : {QKeySequence(Qt::Key_Escape), QKeySequence(tr("Ctrl+W"))})
        connect(new QShortcut(keys, this), &QShortcut::activated, this, &QWidget::close);
}

QSizeF HelpWindow::fittedSize(const QSizeF &natural, const QTextDocument *document)
{
    // The text's width less the page's margins, and a little for a list's
    // or quote's indent.
    const qreal room = document->textWidth() - 2.0 * document->documentMargin() - 8.0;
    if (room <= 0.0 || natural.width() <= room)
        return natural;
    return natural * (room / natural.width());
}

void HelpWindow::fitImagesToWidth(QTextBrowser *view)
{
    // The pictures are taken for a wide page: in a narrower window they are
    // drawn smaller, whole, rather than cut at the window's edge. Decoded
    // once each.
    auto images = std::make_shared<QHash<QString, QImage>>();
    const auto image = [images](QTextDocument *document, const QString &name) {
        auto found = images->find(name);
        if (found == images->end())
            found = images->insert(name, TextImages::resourceImage(document, name));
        return *found;
    };
    new TextImages(
        view->document(),
        [image](QTextDocument *document, const QTextImageFormat &format) {
            return fittedSize(image(document, format.name()).deviceIndependentSize(), document);
        },
        [image](QPainter *painter, const QRectF &rect, QTextDocument *document, const QTextImageFormat &format) {
            painter->save();
            painter->setRenderHint(QPainter::SmoothPixmapTransform, true);
            painter->drawImage(rect, image(document, format.name()));
            painter->restore();
        });
}

void HelpWindow::showPage(Page page)
{
    tabs->setCurrentIndex(page);
    show();
    raise();
    activateWindow();
}

QTextBrowser *HelpWindow::browser(Page page) const
{
    return pages[page];
}

QString HelpWindow::guideMarkdown(const QString &readme)
{
    QString text = readme;
    // The commands above the title are for building from the sources.
    const QRegularExpression title(QStringLiteral("^# "), QRegularExpression::MultilineOption);
    const QRegularExpressionMatch first = title.match(text);
    if (first.hasMatch())
        text = text.mid(first.capturedStart());
    text.replace(QStringLiteral("](docs/"), QStringLiteral("](qrc:/help/docs/"));
    text.replace(QStringLiteral("](LICENSE)"), QStringLiteral("](qrc:/help/LICENSE)"));
    // Links to the examples and the sources lead nowhere in an installed
    // program: their text stays, the link goes.
    static const QRegularExpression fileLink(QStringLiteral("(?<!!)\\[([^\\]]*)\\]\\((?!#|qrc:|https?:|mailto:)[^)]*\\)"));
    text.replace(fileLink, QStringLiteral("\\1"));
    return text;
}

QString HelpWindow::headingAnchor(const QString &heading)
{
    QString anchor;
    for (const QChar c : heading.trimmed().toLower()) {
        if (c.isLetterOrNumber() || c == u'-' || c == u'_')
            anchor += c;
        else if (c == u' ')
            anchor += u'-';
    }
    return anchor;
}

void HelpWindow::followLink(QTextBrowser *view, const QUrl &url)
{
    if (url.scheme().isEmpty() && url.path().isEmpty() && url.hasFragment()) {
        scrollToHeading(view, url.fragment());
        return;
    }
    // The other pages of the help open in their tabs.
    if (url.scheme() == QLatin1String("qrc")) {
        if (url.path().endsWith(QLatin1String("/methods.md")))
            tabs->setCurrentIndex(Methods);
        else if (url.path().endsWith(QLatin1String("/LICENSE")))
            tabs->setCurrentIndex(Licence);
        return;
    }
    if (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https")
        || url.scheme() == QLatin1String("mailto"))
        QDesktopServices::openUrl(url);
}

bool HelpWindow::scrollToHeading(QTextBrowser *view, const QString &anchor)
{
    QTextDocument *document = view->document();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        if (block.blockFormat().headingLevel() == 0 || headingAnchor(block.text()) != anchor)
            continue;
        QTextCursor cursor(block);
        view->setTextCursor(cursor);
        const QRect at = view->cursorRect(cursor);
        view->verticalScrollBar()->setValue(view->verticalScrollBar()->value() + at.top());
        return true;
    }
    return false;
}
