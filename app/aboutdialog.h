#pragma once

#include <QDialog>

class QLabel;

// The About box: the version that CMake's project() declares, the rights
// holder, the licence, and links to the help that ships with the program
// (its pages open while the box stays, so it is not modal).
class AboutDialog final : public QDialog
{
    Q_OBJECT

public:
    explicit AboutDialog(QWidget *parent = nullptr);

    // The version shown, from the build.
    static QString version();

    QLabel *textLabel = nullptr;

signals:
    // "guide", "methods" or "licence".
    void helpRequested(const QString &page);
};
