// The Find dialog and the grid's search, driven as the user does: typing
// into the dialog and pressing its buttons.
#include "editprompts.h"
#include "finddialog.h"
#include "spreadsheet.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

namespace {

struct Parts
{
    QLineEdit *text;
    QCheckBox *matchCase;
    QCheckBox *backward;
    QPushButton *find;
    QPushButton *close;
};

Parts partsOf(FindDialog &dialog)
{
    return { dialog.findChild<QLineEdit *>(QStringLiteral("lineEdit")),
        dialog.findChild<QCheckBox *>(QStringLiteral("caseCheckBox")),
        dialog.findChild<QCheckBox *>(QStringLiteral("backwardCheckBox")),
        dialog.findChild<QPushButton *>(QStringLiteral("findButton")),
        dialog.findChild<QPushButton *>(QStringLiteral("closeButton")) };
}

// Types the text afresh, toggles the two boxes as needed, presses Find.
void search(FindDialog &dialog, const QString &text, bool matchCase, bool backward)
{
    const Parts parts = partsOf(dialog);
    parts.text->selectAll();
    QTest::keyClick(parts.text, Qt::Key_Backspace);
    QTest::keyClicks(parts.text, text);
    if (parts.matchCase->isChecked() != matchCase)
        QTest::keyClick(parts.matchCase, Qt::Key_Space);
    if (parts.backward->isChecked() != backward)
        QTest::keyClick(parts.backward, Qt::Key_Space);
    QTest::mouseClick(parts.find, Qt::LeftButton);
}

QString current(const Spreadsheet &sheet)
{
    return sheet.currentCellName();
}

} // namespace

class TestFind final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void dialogForm();
    void findButtonFollowsText();
    void dialogSignals();
    void forwardWithoutWrap();
    void backwardWithoutWrap();
    void caseMatching();
    void searchesDisplayedValues();
    void startsBesideTheCurrentCell();

private:
    // A grid wired to a shown dialog, as the main window wires them.
    Spreadsheet *sheet = nullptr;
    FindDialog *dialog = nullptr;
    EditPrompts *prompts = nullptr;
};

void TestFind::init()
{
    prompts = new EditPrompts;
    sheet = new Spreadsheet;
    dialog = new FindDialog(sheet);
    connect(dialog, SIGNAL(findNext(const QString &, Qt::CaseSensitivity)), sheet,
        SLOT(findNext(const QString &, Qt::CaseSensitivity)));
    connect(dialog, SIGNAL(findPrevious(const QString &, Qt::CaseSensitivity)), sheet,
        SLOT(findPrevious(const QString &, Qt::CaseSensitivity)));
    sheet->show();
    dialog->show();

    sheet->setCellFormula(0, 0, QStringLiteral("abc")); // A1
    sheet->setCellFormula(0, 2, QStringLiteral("xabcx")); // C1
    sheet->setCellFormula(2, 0, QStringLiteral("ABC")); // A3
    sheet->setCellFormula(4, 1, QStringLiteral("=2+3")); // B5
    sheet->setCellFormula(6, 3, QStringLiteral("=1/0")); // D7
    sheet->setCellFormula(8, 0, QStringLiteral("=B5")); // A9, also 5
    sheet->setCellFormula(998, 25, QStringLiteral("abc")); // Z999
    sheet->setCurrentCell(0, 0);
}

void TestFind::cleanup()
{
    delete sheet; // and the dialog with it
    delete prompts;
    sheet = nullptr;
    dialog = nullptr;
    prompts = nullptr;
}

void TestFind::dialogForm()
{
    const Parts parts = partsOf(*dialog);
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Find"));
    QVERIFY(parts.text && parts.matchCase && parts.backward && parts.find && parts.close);
    QVERIFY(parts.text->text().isEmpty());
    QCOMPARE(parts.matchCase->text(), QStringLiteral("Match &case"));
    QCOMPARE(parts.backward->text(), QStringLiteral("Search &backward"));
    QVERIFY(!parts.matchCase->isChecked());
    QVERIFY(!parts.backward->isChecked());
    QCOMPARE(parts.find->text(), QStringLiteral("&Find"));
    QVERIFY(parts.find->isDefault());
    QCOMPARE(parts.close->text(), QStringLiteral("Close"));
    const QLabel *label = dialog->findChild<QLabel *>();
    QCOMPARE(label->text(), QStringLiteral("Find &what:"));
    QCOMPARE(label->buddy(), parts.text);
    // Only the width can change.
    QCOMPARE(dialog->minimumHeight(), dialog->maximumHeight());

    QTest::mouseClick(parts.close, Qt::LeftButton);
    QVERIFY(!dialog->isVisible());
}

void TestFind::findButtonFollowsText()
{
    const Parts parts = partsOf(*dialog);
    QVERIFY(!parts.find->isEnabled());
    QTest::keyClicks(parts.text, QStringLiteral("a"));
    QVERIFY(parts.find->isEnabled());
    QTest::keyClick(parts.text, Qt::Key_Backspace);
    QVERIFY(!parts.find->isEnabled());

    // A click on the disabled button searches nothing.
    QSignalSpy next(dialog, SIGNAL(findNext(const QString &, Qt::CaseSensitivity)));
    QTest::mouseClick(parts.find, Qt::LeftButton);
    QCOMPARE(next.count(), 0);
}

void TestFind::dialogSignals()
{
    QSignalSpy next(dialog, SIGNAL(findNext(const QString &, Qt::CaseSensitivity)));
    QSignalSpy previous(dialog, SIGNAL(findPrevious(const QString &, Qt::CaseSensitivity)));

    search(*dialog, QStringLiteral("Ab"), false, false);
    QCOMPARE(next.count(), 1);
    QCOMPARE(next.at(0).at(0).toString(), QStringLiteral("Ab"));
    QCOMPARE(next.at(0).at(1).value<Qt::CaseSensitivity>(), Qt::CaseInsensitive);

    search(*dialog, QStringLiteral("Ab"), true, false);
    QCOMPARE(next.count(), 2);
    QCOMPARE(next.at(1).at(1).value<Qt::CaseSensitivity>(), Qt::CaseSensitive);

    search(*dialog, QStringLiteral("x"), false, true);
    QCOMPARE(next.count(), 2);
    QCOMPARE(previous.count(), 1);
    QCOMPARE(previous.at(0).at(0).toString(), QStringLiteral("x"));
    QCOMPARE(previous.at(0).at(1).value<Qt::CaseSensitivity>(), Qt::CaseInsensitive);

    // Return presses the default Find button.
    QTest::keyClick(partsOf(*dialog).text, Qt::Key_Return);
    QCOMPARE(previous.count(), 2);
}

void TestFind::forwardWithoutWrap()
{
    search(*dialog, QStringLiteral("abc"), false, false);
    QCOMPARE(current(*sheet), QStringLiteral("C1"));
    // The found cell alone is selected.
    QCOMPARE(sheet->selectedRanges().size(), 1);
    QCOMPARE(sheet->selectionRange().rowCount() * sheet->selectionRange().columnCount(), 1);
    QCOMPARE(sheet->selectionRange().leftColumn(), 2);

    QTest::mouseClick(partsOf(*dialog).find, Qt::LeftButton);
    QCOMPARE(current(*sheet), QStringLiteral("A3"));
    QTest::mouseClick(partsOf(*dialog).find, Qt::LeftButton);
    QCOMPARE(current(*sheet), QStringLiteral("Z999"));
    QCOMPARE(prompts->beeps, 0);

    // At the end: a beep, no wrap to A1, nothing changed.
    QTest::mouseClick(partsOf(*dialog).find, Qt::LeftButton);
    QCOMPARE(prompts->beeps, 1);
    QCOMPARE(current(*sheet), QStringLiteral("Z999"));
    QVERIFY(prompts->messages.isEmpty());
}

void TestFind::backwardWithoutWrap()
{
    sheet->setCurrentCell(998, 25);
    search(*dialog, QStringLiteral("abc"), false, true);
    QCOMPARE(current(*sheet), QStringLiteral("A3"));
    QTest::mouseClick(partsOf(*dialog).find, Qt::LeftButton);
    QCOMPARE(current(*sheet), QStringLiteral("C1"));
    QTest::mouseClick(partsOf(*dialog).find, Qt::LeftButton);
    QCOMPARE(current(*sheet), QStringLiteral("A1"));
    QTest::mouseClick(partsOf(*dialog).find, Qt::LeftButton);
    QCOMPARE(prompts->beeps, 1);
    QCOMPARE(current(*sheet), QStringLiteral("A1"));
}

void TestFind::caseMatching()
{
    search(*dialog, QStringLiteral("ABC"), true, false);
    QCOMPARE(current(*sheet), QStringLiteral("A3"));
    search(*dialog, QStringLiteral("abc"), true, false);
    QCOMPARE(current(*sheet), QStringLiteral("Z999"));
    sheet->setCurrentCell(0, 0);
    search(*dialog, QStringLiteral("aBc"), true, false);
    QCOMPARE(prompts->beeps, 1);
    QCOMPARE(current(*sheet), QStringLiteral("A1"));
    search(*dialog, QStringLiteral("aBc"), false, false);
    QCOMPARE(current(*sheet), QStringLiteral("C1"));
}

void TestFind::searchesDisplayedValues()
{
    search(*dialog, QStringLiteral("5"), false, false);
    QCOMPARE(current(*sheet), QStringLiteral("B5"));
    QTest::mouseClick(partsOf(*dialog).find, Qt::LeftButton);
    QCOMPARE(current(*sheet), QStringLiteral("A9")); // =B5 shows 5 too

    // The formula text itself is not searched.
    sheet->setCurrentCell(0, 0);
    search(*dialog, QStringLiteral("=2"), false, false);
    QCOMPARE(prompts->beeps, 1);
    QCOMPARE(current(*sheet), QStringLiteral("A1"));

    // An invalid formula shows "####", which "#" finds.
    search(*dialog, QStringLiteral("#"), false, false);
    QCOMPARE(current(*sheet), QStringLiteral("D7"));
}

void TestFind::startsBesideTheCurrentCell()
{
    sheet->setCellFormula(3, 3, QStringLiteral("onlyhere"));
    sheet->setCurrentCell(3, 3);
    sheet->clearSelection();
    sheet->setRangeSelected(QTableWidgetSelectionRange(3, 3, 5, 5), true);
    search(*dialog, QStringLiteral("onlyhere"), false, false);
    QCOMPARE(prompts->beeps, 1);
    search(*dialog, QStringLiteral("onlyhere"), false, true);
    QCOMPARE(prompts->beeps, 2);
    QCOMPARE(current(*sheet), QStringLiteral("D4"));
    // A miss leaves the selection alone.
    QCOMPARE(sheet->selectionRange().rowCount(), 3);

    // From the last cell forwards and the first backwards: a beep at once,
    // even for a text the starting cell holds.
    sheet->setCurrentCell(998, 25);
    search(*dialog, QStringLiteral("abc"), false, false);
    QCOMPARE(prompts->beeps, 3);
    QCOMPARE(current(*sheet), QStringLiteral("Z999"));
    sheet->setCurrentCell(0, 0);
    search(*dialog, QStringLiteral("abc"), false, true);
    QCOMPARE(prompts->beeps, 4);
    QCOMPARE(current(*sheet), QStringLiteral("A1"));
}

QTEST_MAIN(TestFind)
#include "test_find.moc"
