#pragma once

#include <QWidget>

class QSizeF;
class QTabWidget;
class QTextBrowser;
class QTextDocument;
class QUrl;

// The help that ships with the application, shown offline: the User Guide
// (the README from its title on, with its pictures), the Methods and
// Citations, and the licence, one tab each, all read from the resources
// under ":/help". Its pictures are scaled to its width; Esc and Ctrl+W
// close it.
class HelpWindow final : public QWidget
{
    Q_OBJECT

public:
    enum Page { Guide = 0, Methods = 1, Licence = 2 };

    explicit HelpWindow(QWidget *parent = nullptr);

    // Brings the window up on that page.
    void showPage(Page page);
    QTextBrowser *browser(Page page) const;

    // The README as the guide shows it: from its first title on, pictures
    // and the methods page from the resources, links to files that do not
    // ship turned into their text.
    static QString guideMarkdown(const QString &readme);
    // The anchor of a heading as GitHub makes it: "What the test dialog
    // says" -> "what-the-test-dialog-says".
    static QString headingAnchor(const QString &heading);
    // The size an image of `natural` size is shown at in `document`: its
    // own, or scaled down to the text's width.
    static QSizeF fittedSize(const QSizeF &natural, const QTextDocument *document);

private:
    static void fitImagesToWidth(QTextBrowser *view);
    void followLink(QTextBrowser *view, const QUrl &url);
    bool scrollToHeading(QTextBrowser *view, const QString &anchor);

    QTabWidget *tabs = nullptr;
    QTextBrowser *pages[3] = {};
};
