#include "resultsview.h"

#include "reporttext.h"
#include "runreport.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QContextMenuEvent>
#include <QMenu>
#include <QScrollBar>
#include <QTextBlock>

namespace {

const QString kPictureScheme = QStringLiteral("velmora-picture");

QString anchorName(int index)
{
    return QStringLiteral("entry-%1").arg(index);
}

QString embedded(const QImage &image)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return QStringLiteral("data:image/png;base64,") + QString::fromLatin1(png.toBase64());
}

} // namespace

ResultsView::ResultsView(QWidget *parent) : QTextBrowser(parent)
{
    setObjectName(QStringLiteral("resultsView"));
    setOpenLinks(false);
    setLineWrapMode(QTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setStyleSheet(QStringLiteral("QTextBrowser { background-color: white }"));
    // A document dropped here is the window's to open.
    setAcceptDrops(false);
    viewport()->setAcceptDrops(false);
}

int ResultsView::appendResult(const QString &message, int isError, const QString &context)
{
    Entry entry;
    entry.message = message;
    entry.isError = isError;
    entry.context = context;
    list.append(entry);
    render(int(list.size()) - 1);
    return int(list.size()) - 1;
}

void ResultsView::markDocument(const QString &name)
{
    if (list.isEmpty())
        return;
    if (list.last().kind == Entry::DocumentMark)
        list.removeLast();
    Entry mark;
    mark.kind = Entry::DocumentMark;
    mark.message = name;
    list.append(mark);
    render(-1);
}

int ResultsView::addPicture(int entry, const QImage &image, const QString &name,
                            const std::shared_ptr<const pictures::Picture> &model)
{
    if (entry < 0 || entry >= list.size() || list.at(entry).kind != Entry::Result)
        return -1;
    QList<Picture> &pictures = list[entry].pictures;
    pictures.append(Picture{image, name, nextPictureId++, model});
    render(entry == list.size() - 1 ? entry : -2);
    return int(pictures.size()) - 1;
}

void ResultsView::setPicturesShown(bool shown)
{
    if (shown == showPictures)
        return;
    showPictures = shown;
    render(-2);
}

QUrl ResultsView::pictureUrl(int id)
{
    return QUrl(kPictureScheme + u':' + QString::number(id));
}

bool ResultsView::pictureAt(const QPoint &viewportPos, int *entry, int *picture) const
{
    const QPointF at = viewportPos + QPointF(horizontalScrollBar()->value(), verticalScrollBar()->value());
    const int position = document()->documentLayout()->hitTest(at, Qt::ExactHit);
    if (position < 0)
        return false;
    QTextCursor cursor(document());
    cursor.setPosition(position + 1);
    const QTextCharFormat format = cursor.charFormat();
    if (!format.isImageFormat())
        return false;
    const QUrl url(format.toImageFormat().name());
    if (url.scheme() != kPictureScheme)
        return false;
    const int id = url.path().toInt();
    for (int i = 0; i < list.size(); ++i) {
        for (int k = 0; k < list.at(i).pictures.size(); ++k) {
            if (list.at(i).pictures.at(k).id != id)
                continue;
            if (entry)
                *entry = i;
            if (picture)
                *picture = k;
            return true;
        }
    }
    return false;
}

QString ResultsView::html() const
{
    QString text;
    for (int i = 0; i < list.size(); ++i)
        text += entryHtml(i, Form::Export);
    return text;
}

QString ResultsView::selectedPlainText() const
{
    return reporttext::plainSelection(textCursor().selectedText());
}

QList<ResultsView::Entry> ResultsView::takeEntries()
{
    QList<Entry> taken;
    taken.swap(list);
    render(-1);
    return taken;
}

void ResultsView::restoreEntries(const QList<Entry> &entries)
{
    list = entries;
    render(-1);
}

QVariant ResultsView::loadResource(int type, const QUrl &name)
{
    if (name.scheme() == kPictureScheme) {
        const int id = name.path().toInt();
        for (const Entry &entry : list)
            for (const Picture &picture : entry.pictures)
                if (picture.id == id)
                    return picture.image;
        return QVariant();
    }
    return QTextBrowser::loadResource(type, name);
}

void ResultsView::contextMenuEvent(QContextMenuEvent *event)
{
    lastMenuPos = event->pos();
    emit menuAboutToShow(lastMenuPos);
    if (!actions().isEmpty())
        QMenu::exec(actions(), event->globalPos(), nullptr, this);
    event->accept();
}

// The newest run keeps the colour of its outcome; older runs turn dark
// green, so that the newest stands out. The context line sits between the
// entry's rule and the run's own lines, which stay as the run wrote them.
QString ResultsView::entryHtml(int index, Form form) const
{
    const Entry &entry = list.at(index);
    if (entry.kind == Entry::DocumentMark) {
        return QStringLiteral("<br /><br /><font size=\"+1\" color=\"dimgray\"><b>")
               + tr("Document: %1").arg(entry.message.toHtmlEscaped()) + QStringLiteral("</b></font>");
    }
    int newest = int(list.size()) - 1;
    while (newest >= 0 && list.at(newest).kind != Entry::Result)
        --newest;
    QString body;
    if (!entry.context.isEmpty())
        body = QStringLiteral("<br /><font color=\"dimgray\">") + entry.context.toHtmlEscaped()
               + QStringLiteral("</font>");
    body += entry.message;
    for (const Picture &picture : entry.pictures) {
        if (!showPictures)
            break;
        const QString source = form == Form::Screen ? pictureUrl(picture.id).toString() : embedded(picture.image);
        body += QStringLiteral("<br /><img src=\"") + source + QStringLiteral("\" />");
    }
    QString html = resultsEntry(body, entry.isError);
    if (index != newest) {
        html.replace(QStringLiteral("color=\"darkblue\">"), QStringLiteral("color=\"darkgreen\">"));
        html.replace(QStringLiteral("color=\"red\">"), QStringLiteral("color=\"darkgreen\">"));
    }
    if (form == Form::Screen) {
        // The anchor after the line break that starts the entry's rule: on
        // the rule's own line, not at the end of the entry above.
        const qsizetype rule = html.indexOf(QStringLiteral("<br />"));
        if (rule >= 0)
            html.insert(rule + 6, QStringLiteral("<a name=\"") + anchorName(index) + QStringLiteral("\"></a>"));
    }
    return html;
}

void ResultsView::render(int top)
{
    const int horizontal = horizontalScrollBar()->value();
    const int vertical = verticalScrollBar()->value();
    QString text;
    for (int i = 0; i < list.size(); ++i)
        text += entryHtml(i, Form::Screen);
    setHtml(text);
    horizontalScrollBar()->setValue(0);
    if (top >= 0) {
        scrollToAnchor(anchorName(top));
    } else if (top == -2) {
        // A picture added to an older entry: the view stays where it was.
        horizontalScrollBar()->setValue(horizontal);
        verticalScrollBar()->setValue(vertical);
    } else {
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    }
}
