#pragma once

#include "picturemodel.h"

#include <QImage>
#include <QList>
#include <QTextBrowser>

#include <memory>

// The Results window's pane: the report as a list of entries, shown
// read-only and wrapped at the pane's width. An entry is one run's HTML
// text as its run function built it, a line of context above it (the test,
// its options, the document, the block and the time, in a quieter colour)
// and any pictures below it; a document mark names the document that the
// entries after it belong to. The newest run's entry is dark blue (red when
// it failed or was stopped), the others dark green.
//
// html() is the report as the window shows it, for Copy and Save As: the
// entries' texts byte for byte, each wrapped by resultsEntry(), with the
// pictures embedded as data: images. On screen a picture is a resource of
// the pane's document (pictureUrl()), so that a large report is not parsed
// from base64 at every new entry.
class ResultsView final : public QTextBrowser
{
    Q_OBJECT

public:
    struct Picture
    {
        QImage image;
        QString name;  // what "Save Picture As" proposes; may be empty
        int id = 0;    // unique within the pane: its resource name
        // What it was drawn from, for a picture window and the vector
        // formats; may be null.
        std::shared_ptr<const pictures::Picture> model;
    };

    struct Entry
    {
        enum Kind { Result, DocumentMark };
        Kind kind = Result;
        QString message;  // Result: the run's HTML; DocumentMark: the name
        int isError = 0;
        QString context;  // plain text; empty for none
        QList<Picture> pictures;
    };

    explicit ResultsView(QWidget *parent = nullptr);

    // Appends a run's entry and scrolls the pane so that the entry's first
    // line is at its top. Returns the entry's index.
    int appendResult(const QString &message, int isError, const QString &context = QString());
    // After a change of document (New, Open): a mark naming the new one, so
    // that the entries above are not read as its results. Nothing on an
    // empty report; a mark with no entry after it is replaced.
    void markDocument(const QString &name);

    // Shows a picture under the text of entry `entry` (a Result). Returns
    // its index within the entry, -1 for no such entry.
    int addPicture(int entry, const QImage &image, const QString &name = QString(),
                   const std::shared_ptr<const pictures::Picture> &model = nullptr);
    // View > Pictures in Results: hidden pictures stay with their entries,
    // out of the pane and of html().
    void setPicturesShown(bool shown);
    bool picturesShown() const { return showPictures; }
    // The entry and picture under a point of the viewport; false where
    // there is no picture.
    bool pictureAt(const QPoint &viewportPos, int *entry, int *picture) const;
    // Where the last context menu was asked for (viewport coordinates).
    QPoint menuPosition() const { return lastMenuPos; }
    static QUrl pictureUrl(int id);

    const QList<Entry> &entries() const { return list; }
    bool isEmpty() const { return list.isEmpty(); }
    // The report as shown, as one HTML fragment.
    QString html() const;
    // The text selected with the mouse or keyboard, as plain text; empty
    // when nothing is selected.
    QString selectedPlainText() const;

    // Clear and Undo Clear: the entries leave and come back as they were.
    QList<Entry> takeEntries();
    void restoreEntries(const QList<Entry> &entries);

signals:
    // Before the context menu shows at this viewport point: the owner of
    // an action may enable it for what lies there.
    void menuAboutToShow(const QPoint &viewportPos);

protected:
    QVariant loadResource(int type, const QUrl &name) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    enum class Form { Screen, Export };
    QString entryHtml(int index, Form form) const;
    // Rebuilds the document; scrolls entry `top` to the top (-1: keep the
    // view at the end).
    void render(int top);

    QList<Entry> list;
    int nextPictureId = 1;
    bool showPictures = true;
    QPoint lastMenuPos;
};
