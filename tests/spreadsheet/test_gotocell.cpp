// The Go to Cell dialog: its form and what its validator lets the user type
// and confirm.
#include "gotocelldialog.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

class TestGoToCell final : public QObject
{
    Q_OBJECT

private slots:
    void form();
    void typing_data();
    void typing();
    void unacceptableTextCannotBeConfirmed_data();
    void unacceptableTextCannotBeConfirmed();
    void returnAcceptsAValidName();
};

void TestGoToCell::form()
{
    GoToCellDialog dialog(nullptr);
    QCOMPARE(dialog.objectName(), QStringLiteral("GoToCellDialog"));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Go to Cell"));
    QCOMPARE(dialog.label->text(), QStringLiteral("&Cell Location:"));
    QCOMPARE(dialog.label->buddy(), dialog.lineEdit);
    QCOMPARE(dialog.layout(), dialog.vboxLayout);
    QCOMPARE(dialog.hboxLayout->indexOf(dialog.label), 0);
    QCOMPARE(dialog.hboxLayout->indexOf(dialog.lineEdit), 1);
    QCOMPARE(dialog.buttonBox->standardButtons(), QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QVERIFY(!dialog.buttonBox->button(QDialogButtonBox::Ok)->isEnabled());
    QVERIFY(dialog.lineEdit->text().isEmpty());
    QVERIFY(dialog.lineEdit->validator() != nullptr);
}

void TestGoToCell::typing_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("okEnabled");

    QTest::newRow("b12") << QStringLiteral("b12") << QStringLiteral("b12") << true;
    QTest::newRow("B12") << QStringLiteral("B12") << QStringLiteral("B12") << true;
    QTest::newRow("A1") << QStringLiteral("A1") << QStringLiteral("A1") << true;
    QTest::newRow("Z999") << QStringLiteral("Z999") << QStringLiteral("Z999") << true;
    QTest::newRow("lone letter") << QStringLiteral("C") << QStringLiteral("C") << false;
    // Characters that cannot lead to a cell name are refused as typed.
    QTest::newRow("A0") << QStringLiteral("A0") << QStringLiteral("A") << false;
    QTest::newRow("A01") << QStringLiteral("A01") << QStringLiteral("A1") << true;
    QTest::newRow("AA1") << QStringLiteral("AA1") << QStringLiteral("A1") << true;
    QTest::newRow("A1000") << QStringLiteral("A1000") << QStringLiteral("A100") << true;
    QTest::newRow("digit first") << QStringLiteral("12") << QString() << false;
    QTest::newRow("blank") << QStringLiteral("B 2") << QStringLiteral("B2") << true;
}

void TestGoToCell::typing()
{
    QFETCH(QString, keys);
    QFETCH(QString, shown);
    QFETCH(bool, okEnabled);

    GoToCellDialog dialog(nullptr);
    dialog.show();
    QTest::keyClicks(dialog.lineEdit, keys);
    QCOMPARE(dialog.lineEdit->text(), shown);
    QCOMPARE(dialog.buttonBox->button(QDialogButtonBox::Ok)->isEnabled(), okEnabled);
}

void TestGoToCell::unacceptableTextCannotBeConfirmed_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("A0") << QStringLiteral("A0");
    QTest::newRow("A01") << QStringLiteral("A01");
    QTest::newRow("AA1") << QStringLiteral("AA1");
    QTest::newRow("A1000") << QStringLiteral("A1000");
    QTest::newRow("1A") << QStringLiteral("1A");
}

void TestGoToCell::unacceptableTextCannotBeConfirmed()
{
    QFETCH(QString, text);
    // Text that arrives whole, bypassing the keystroke checks, still leaves
    // OK disabled.
    GoToCellDialog dialog(nullptr);
    dialog.show();
    dialog.lineEdit->setText(text);
    QVERIFY(!dialog.lineEdit->hasAcceptableInput());
    QVERIFY(!dialog.buttonBox->button(QDialogButtonBox::Ok)->isEnabled());
    QSignalSpy accepted(&dialog, SIGNAL(accepted()));
    QTest::keyClick(dialog.lineEdit, Qt::Key_Return);
    QCOMPARE(accepted.count(), 0);
}

void TestGoToCell::returnAcceptsAValidName()
{
    GoToCellDialog dialog(nullptr);
    dialog.show();
    QSignalSpy accepted(&dialog, SIGNAL(accepted()));
    QSignalSpy rejected(&dialog, SIGNAL(rejected()));
    QTest::keyClicks(dialog.lineEdit, QStringLiteral("k7"));
    QTest::keyClick(dialog.lineEdit, Qt::Key_Return);
    QCOMPARE(accepted.count(), 1);

    dialog.show();
    QTest::mouseClick(dialog.buttonBox->button(QDialogButtonBox::Cancel), Qt::LeftButton);
    QCOMPARE(rejected.count(), 1);
}

QTEST_MAIN(TestGoToCell)
#include "test_gotocell.moc"
