#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The modeless Find dialog: collects the text and two options and asks the
// grid, through its signals, to search forwards or backwards.
class FindDialog final : public QDialog
{
    Q_OBJECT

public:
    explicit FindDialog(QWidget *parent = nullptr);

signals:
    void findNext(const QString &str, Qt::CaseSensitivity cs);
    void findPrevious(const QString &str, Qt::CaseSensitivity cs);

private slots:
    void findClicked();
    void enableFindButton(const QString &text);

private:
    QLabel *label = nullptr;
    QLineEdit *lineEdit = nullptr;
    QCheckBox *caseCheckBox = nullptr;
    QCheckBox *backwardCheckBox = nullptr;
    QPushButton *findButton = nullptr;
    QPushButton *closeButton = nullptr;
};
