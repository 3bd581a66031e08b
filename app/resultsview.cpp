#include "resultsview.h"

#include "picturepainter.h"
#include "reporttext.h"
#include "runreport.h"
#include "textimages.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QContextMenuEvent>
#include <QCursor>
#include <QMenu>
#include <QPainter>
#include <QResizeEvent>
#include <QScrollBar>
#include <QStyle>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>

#include <algorithm>

namespace {

const QString kPictureScheme = QStringLiteral("velmora-picture");

// Below this a picture shows nothing but its shape.
constexpr int kSmallestPictureWidth = 150;
// What a picture embedded in Copy and Save is drawn at, at the least: the
// size its texts are laid out for, so that it reads when enlarged.
constexpr int kSmallestEmbeddedWidth = 600;
// The pictures kept drawn for the screen, in KiB: a few panes' worth.
constexpr int kDrawnCacheKiB = 64 * 1024;

QString pngDataUrl(const QImage &image)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return QStringLiteral("data:image/png;base64,") + QString::fromLatin1(png.toBase64());
}

int pictureId(const QString &name)
{
    const QUrl url(name);
    return url.scheme() == kPictureScheme ? url.path().toInt() : 0;
}

// A new entry's block of its own starts its first line: the line break
// that ends the entry above in the report's HTML would be an empty line.
QString withoutLeadingBreak(QString html)
{
    const qsizetype at = html.indexOf(QStringLiteral("<br />"));
    if (at >= 0)
        html.remove(at, 6);
    return html;
}

} // namespace

ResultsView::ResultsView(QWidget *parent) : QTextBrowser(parent), drawn(kDrawnCacheKiB)
{
    setObjectName(QStringLiteral("resultsView"));
    setOpenLinks(false);
    setLineWrapMode(QTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setStyleSheet(QStringLiteral("QTextBrowser { background-color: white }"));
    // A document dropped here is the window's to open.
    setAcceptDrops(false);
    viewport()->setAcceptDrops(false);
    // The report is written, never edited: no history to keep.
    document()->setUndoRedoEnabled(false);
    new TextImages(
        document(),
        [this](QTextDocument *document, const QTextImageFormat &format) -> QSizeF {
            const int id = pictureId(format.name());
            if (id > 0) {
                const Picture picture = pictureById.value(id);
                return picture.model ? QSizeF(pictureSize()) : picture.image.deviceIndependentSize();
            }
            return TextImages::resourceImage(document, format.name()).deviceIndependentSize();
        },
        [this](QPainter *painter, const QRectF &rect, QTextDocument *document, const QTextImageFormat &format) {
            if (pictureId(format.name()) > 0)
                drawPicture(painter, rect, format.name());
            else
                painter->drawImage(rect, TextImages::resourceImage(document, format.name()));
        });
    shownPictureSize = fittingPictureSize();
    // One relayout for the resize events of one pass of the event loop.
    relayoutTimer = new QTimer(this);
    relayoutTimer->setSingleShot(true);
    relayoutTimer->setInterval(0);
    connect(relayoutTimer, &QTimer::timeout, this, &ResultsView::relayoutPictures);
}

int ResultsView::appendResult(const QString &message, int isError, const QString &context)
{
    const int previous = newestResult();
    Entry entry;
    entry.message = message;
    entry.isError = isError;
    entry.context = context;
    list.append(entry);
    const int index = int(list.size()) - 1;
    {
        // One change of the document, laid out once: the entry above turned
        // green fragment by fragment would be laid out again for each.
        QTextCursor batch(document());
        batch.beginEditBlock();
        if (previous >= 0)
            recolourAsOlder(previous);
        writeEntry(index);
        batch.endEditBlock();
    }
    scrollToEntry(index);
    return index;
}

void ResultsView::markDocument(const QString &name)
{
    if (list.isEmpty())
        return;
    if (list.last().kind == Entry::DocumentMark) {
        QTextCursor cursor(document());
        cursor.setPosition(starts.last() - 1);
        cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
        starts.removeLast();
        list.removeLast();
    }
    Entry mark;
    mark.kind = Entry::DocumentMark;
    mark.message = name;
    list.append(mark);
    writeEntry(int(list.size()) - 1);
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

int ResultsView::addPicture(int entry, const QImage &image, const QString &name,
                            const std::shared_ptr<const pictures::Picture> &model)
{
    if (entry < 0 || entry >= list.size() || list.at(entry).kind != Entry::Result)
        return -1;
    const Picture picture{image, name, nextPictureId++, model};
    list[entry].pictures.append(picture);
    pictureById.insert(picture.id, picture);
    if (showPictures) {
        if (entry == list.size() - 1) {
            QTextCursor cursor(document());
            cursor.movePosition(QTextCursor::End);
            cursor.insertText(QString(QChar::LineSeparator));
            QTextImageFormat format;
            format.setName(pictureUrl(picture.id).toString());
            cursor.insertImage(format);
            scrollToEntry(entry);
        } else {
            // Under an older entry: the view stays where it was.
            const int vertical = verticalScrollBar()->value();
            rewriteEntry(entry);
            verticalScrollBar()->setValue(vertical);
        }
    }
    return int(list.at(entry).pictures.size()) - 1;
}

void ResultsView::setPicturesShown(bool shown)
{
    if (shown == showPictures)
        return;
    const Place where = place();
    showPictures = shown;
    rewriteAll();
    restorePlace(where);
}

QSize ResultsView::fittingPictureSize() const
{
    // The pane's width less its frame, margins and a scroll bar (counted
    // whether shown or not, so that the picture that brings the bar still
    // fits); at 3 : 2 two thirds of the height allow a width of the height.
    const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    const QRect inside = contentsRect();
    const int byWidth = inside.width() - scrollBar - 2 * int(document()->documentMargin()) - 8;
    const int width = std::max(kSmallestPictureWidth, std::min(byWidth, inside.height()));
    return QSize(width, width * 2 / 3);
}

QImage ResultsView::shownImage(const Picture &picture) const
{
    if (!picture.model)
        return picture.image;
    return drawnImage(picture, pictureSize(), devicePixelRatioF());
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
    const int id = pictureId(format.toImageFormat().name());
    for (int i = 0; id > 0 && i < list.size(); ++i) {
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

bool ResultsView::pictureInFocus(int *entry, int *picture) const
{
    if (!showPictures || starts.size() != list.size())
        return false;
    const QPoint mouse = viewport()->mapFromGlobal(QCursor::pos());
    if (viewport()->rect().contains(mouse) && pictureAt(mouse, entry, picture))
        return true;
    // The one most in view: the entries from the top of the view down.
    const QRectF view(0.0, verticalScrollBar()->value(), viewport()->width(), viewport()->height());
    const int top = document()->documentLayout()->hitTest(view.topLeft(), Qt::FuzzyHit);
    int first = int(std::upper_bound(starts.cbegin(), starts.cend(), std::max(0, top)) - starts.cbegin()) - 1;
    qreal most = 0.0;
    int newestEntry = -1;
    for (int i = std::max(0, first); i < list.size(); ++i) {
        const int count = int(list.at(i).pictures.size());
        if (count > 0)
            newestEntry = i;
        const int from = entryEnd(i) - 2 * count;
        if (lineTop(from) > view.bottom())
            break;
        for (int k = 0; k < count; ++k) {
            const QRectF box(0.0, lineTop(from + 2 * k + 1), 1.0, pictureSize().height());
            const qreal shown = box.intersected(QRectF(0.0, view.top(), 1.0, view.height())).height();
            if (shown > most) {
                most = shown;
                if (entry)
                    *entry = i;
                if (picture)
                    *picture = k;
            }
        }
    }
    if (most > 0.0)
        return true;
    for (int i = int(list.size()) - 1; i > newestEntry; --i) {
        if (!list.at(i).pictures.isEmpty()) {
            newestEntry = i;
            break;
        }
    }
    if (newestEntry < 0)
        return false;
    if (entry)
        *entry = newestEntry;
    if (picture)
        *picture = int(list.at(newestEntry).pictures.size()) - 1;
    return true;
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
    starts.clear();
    pictureById.clear();
    drawn.clear();
    embedded.clear();
    clearDocument();
    return taken;
}

void ResultsView::restoreEntries(const QList<Entry> &entries)
{
    list = entries;
    pictureById.clear();
    for (const Entry &entry : std::as_const(list))
        for (const Picture &picture : entry.pictures)
            pictureById.insert(picture.id, picture);
    rewriteAll();
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

QVariant ResultsView::loadResource(int type, const QUrl &name)
{
    if (name.scheme() == kPictureScheme) {
        const auto found = pictureById.constFind(name.path().toInt());
        return found == pictureById.cend() ? QVariant() : QVariant(shownImage(*found));
    }
    return QTextBrowser::loadResource(type, name);
}

void ResultsView::contextMenuEvent(QContextMenuEvent *event)
{
    lastMenuPos = event->pos();
    emit menuAboutToShow(lastMenuPos);
    if (!actions().isEmpty())
        QMenu::exec(actions(), event->globalPos(), nullptr, this);
    emit menuClosed();
    event->accept();
}

// The layout takes each picture's size when it lays out its line, so the
// size changes only together with a layout of the whole document: before
// the one that a new width brings, or with one of its own for a new height.
void ResultsView::resizeEvent(QResizeEvent *event)
{
    const Place where = place();
    const bool newWidth = event->size().width() != event->oldSize().width();
    if (newWidth)
        shownPictureSize = fittingPictureSize();
    QTextBrowser::resizeEvent(event);
    if (newWidth)
        restorePlace(where);
    else if (fittingPictureSize() != shownPictureSize)
        relayoutTimer->start();
}

void ResultsView::relayoutPictures()
{
    if (fittingPictureSize() == shownPictureSize)
        return;
    // Where the view stands in the layout it shows until now.
    const Place where = place();
    shownPictureSize = fittingPictureSize();
    document()->markContentsDirty(0, document()->characterCount());
    restorePlace(where);
}

// The newest run keeps the colour of its outcome; older runs turn dark
// green, so that the newest stands out. The context line sits between the
// entry's rule and the run's own lines, which stay as the run wrote them.
// On screen the pictures follow as images of the document, not as HTML.
QString ResultsView::entryHtml(int index, Form form) const
{
    const Entry &entry = list.at(index);
    if (entry.kind == Entry::DocumentMark) {
        return QStringLiteral("<br /><br /><font size=\"+1\" color=\"dimgray\"><b>")
               + tr("Document: %1").arg(entry.message.toHtmlEscaped()) + QStringLiteral("</b></font>");
    }
    QString body;
    if (!entry.context.isEmpty())
        body = QStringLiteral("<br /><font color=\"dimgray\">") + entry.context.toHtmlEscaped()
               + QStringLiteral("</font>");
    body += entry.message;
    for (const Picture &picture : entry.pictures) {
        if (!showPictures || form == Form::Screen)
            break;
        body += QStringLiteral("<br />") + embeddedImage(picture);
    }
    QString html = resultsEntry(body, entry.isError);
    if (index != newestResult()) {
        html.replace(QStringLiteral("color=\"darkblue\">"), QStringLiteral("color=\"darkgreen\">"));
        html.replace(QStringLiteral("color=\"red\">"), QStringLiteral("color=\"darkgreen\">"));
    }
    return html;
}

int ResultsView::newestResult() const
{
    int newest = int(list.size()) - 1;
    while (newest >= 0 && list.at(newest).kind != Entry::Result)
        --newest;
    return newest;
}

void ResultsView::writeEntry(int index)
{
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    if (index > 0)
        cursor.insertBlock(QTextBlockFormat(), QTextCharFormat());
    starts.resize(index);
    starts.append(cursor.position());
    writeEntryContent(cursor, index);
}

void ResultsView::writeEntryContent(QTextCursor &cursor, int index)
{
    cursor.insertHtml(withoutLeadingBreak(entryHtml(index, Form::Screen)));
    if (!showPictures)
        return;
    // Inserted as images rather than in the HTML: the HTML importer would
    // go through the whole document for each one.
    for (const Picture &picture : list.at(index).pictures) {
        cursor.insertText(QString(QChar::LineSeparator));
        QTextImageFormat format;
        format.setName(pictureUrl(picture.id).toString());
        cursor.insertImage(format);
    }
}

void ResultsView::rewriteEntry(int index)
{
    const int end = entryEnd(index);
    QTextCursor cursor(document());
    cursor.setPosition(starts.at(index));
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    writeEntryContent(cursor, index);
    const int shift = cursor.position() - end;
    for (int i = index + 1; i < starts.size(); ++i)
        starts[i] += shift;
}

void ResultsView::clearDocument()
{
    document()->clear();
    document()->setUndoRedoEnabled(false);
    starts.clear();
}

void ResultsView::rewriteAll()
{
    clearDocument();
    // One edit: the document is laid out once, at the end.
    QTextCursor batch(document());
    batch.beginEditBlock();
    for (int i = 0; i < list.size(); ++i)
        writeEntry(i);
    batch.endEditBlock();
}

int ResultsView::entryEnd(int index) const
{
    if (index + 1 < starts.size())
        return starts.at(index + 1) - 1;
    return document()->characterCount() - 1;
}

int ResultsView::pictureCharacters(int index) const
{
    // A line break and the image, per picture.
    return showPictures ? 2 * int(list.at(index).pictures.size()) : 0;
}

void ResultsView::recolourAsOlder(int index)
{
    const QColor older(QStringLiteral("darkgreen"));
    const QColor newest(QStringLiteral("darkblue"));
    const QColor failed(QStringLiteral("red"));
    const int from = starts.value(index, -1);
    const int to = entryEnd(index);
    if (from < 0)
        return;
    QList<QPair<int, int>> spans;
    for (QTextBlock block = document()->findBlock(from); block.isValid() && block.position() < to; block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextCharFormat format = fragment.charFormat();
            if (!format.hasProperty(QTextFormat::ForegroundBrush))
                continue;
            const QColor colour = format.foreground().color();
            if (colour == newest || colour == failed)
                spans.append({fragment.position(), fragment.position() + fragment.length()});
        }
    }
    QTextCharFormat green;
    green.setForeground(older);
    QTextCursor cursor(document());
    for (const auto &[start, end] : std::as_const(spans)) {
        cursor.setPosition(start);
        cursor.setPosition(end, QTextCursor::KeepAnchor);
        cursor.mergeCharFormat(green);
    }
}

qreal ResultsView::lineTop(int position) const
{
    const QTextBlock block = document()->findBlock(position);
    if (!block.isValid())
        return 0.0;
    qreal top = document()->documentLayout()->blockBoundingRect(block).top();
    if (const QTextLayout *layout = block.layout()) {
        const QTextLine line = layout->lineForTextPosition(position - block.position());
        if (line.isValid())
            top += line.y();
    }
    return top;
}

void ResultsView::scrollToEntry(int index)
{
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(qRound(lineTop(starts.at(index))));
}

ResultsView::Place ResultsView::place() const
{
    Place where;
    if (list.isEmpty() || starts.size() != list.size())
        return where;
    const qreal top = verticalScrollBar()->value();
    const int position = document()->documentLayout()->hitTest(QPointF(0.0, top), Qt::FuzzyHit);
    if (position < 0)
        return where;
    where.entry = std::max(0, int(std::upper_bound(starts.cbegin(), starts.cend(), position) - starts.cbegin()) - 1);
    where.offset = position - starts.at(where.entry);
    where.inPictures = position >= entryEnd(where.entry) - pictureCharacters(where.entry);
    where.pixels = where.inPictures ? 0 : qRound(top - lineTop(position));
    return where;
}

void ResultsView::restorePlace(const Place &where)
{
    if (where.entry < 0 || where.entry >= starts.size())
        return;
    // The entry's text is the same with or without its pictures.
    const int textEnd = entryEnd(where.entry) - pictureCharacters(where.entry);
    int position = starts.at(where.entry) + where.offset;
    if (where.inPictures && !showPictures)
        position = std::max(starts.at(where.entry), textEnd - 1);
    position = std::min(position, entryEnd(where.entry));
    verticalScrollBar()->setValue(qRound(lineTop(position)) + where.pixels);
}

QImage ResultsView::drawnImage(const Picture &picture, const QSize &size, qreal ratio) const
{
    const QString key = QStringLiteral("%1/%2x%3@%4").arg(picture.id).arg(size.width()).arg(size.height()).arg(ratio);
    if (const QImage *kept = drawn.object(key))
        return *kept;
    QImage image(size * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing, true);
        const QSizeF logical = pictures::logicalSize(size);
        painter.scale(size.width() / logical.width(), size.height() / logical.height());
        pictures::paintPicture(painter, *picture.model, QRectF(QPointF(0.0, 0.0), logical),
                               pictures::pictureFont(font()));
    }
    drawn.insert(key, new QImage(image), std::max<qsizetype>(1, image.sizeInBytes() / 1024));
    return image;
}

QString ResultsView::embeddedImage(const Picture &picture) const
{
    if (!picture.model)
        return QStringLiteral("<img src=\"") + pngDataUrl(picture.image) + QStringLiteral("\" />");
    // At the size shown, drawn large enough to read where the page or the
    // document it is pasted into is enlarged.
    const QSize shown = pictureSize();
    const auto kept = embedded.constFind(picture.id);
    if (kept != embedded.cend() && kept->first == shown)
        return kept->second;
    const double scale = std::max(1.0, double(kSmallestEmbeddedWidth) / shown.width());
    const QSize size(qRound(shown.width() * scale), qRound(shown.height() * scale));
    const QString html = QStringLiteral("<img src=\"%1\" width=\"%2\" height=\"%3\" />")
                             .arg(pngDataUrl(drawnImage(picture, size, 1.0)))
                             .arg(shown.width())
                             .arg(shown.height());
    embedded.insert(picture.id, {shown, html});
    return html;
}

void ResultsView::drawPicture(QPainter *painter, const QRectF &rect, const QString &name) const
{
    const auto found = pictureById.constFind(pictureId(name));
    if (found == pictureById.cend())
        return;
    if (!found->model) {
        painter->drawImage(rect, found->image);
        return;
    }
    painter->drawImage(rect.topLeft(), drawnImage(*found, rect.size().toSize(), devicePixelRatioF()));
}
