// The HEX and ASCII field pairs hold whatever the other field needs: a long ASCII paste gives
// its whole HEX, and what is saved or sent is the bytes pasted, never a cut field.
#include "data/appsettingsmanager.h"
#include "testapp.h"
#include "ui/appdevicedialogform.h"
#include "ui/appmainwin.h"
#include "ui/bytefields.h"
#include "util/conversion.h"

#include <QClipboard>
#include <QDialog>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

class TstByteFields : public QObject
{
    Q_OBJECT

private slots:
    void longAsciiPasteKeepsEveryByte();
};

void TstByteFields::longAsciiPasteKeepsEveryByte()
{
    // 16,384 characters A to Z: 32,768 HEX digits, one more than a line edit holds by default.
    QByteArray bytes;
    for (int i = 0; i < 16384; ++i)
        bytes += char('A' + i % 26);
    QGuiApplication::clipboard()->setText(QString::fromLatin1(bytes));

    // The terminal's form, with the dialog's own handler of an edit.
    QDialog dialog;
    Ui::AppDeviceDialog terminal;
    terminal.setupUi(&dialog);
    terminal.asciiEdit->paste();
    hexFollowsAscii(terminal.hexEdit, terminal.asciiEdit);
    QByteArray sent;
    QVERIFY(hexFieldBytes(terminal.hexEdit, &sent));
    QCOMPARE(sent, bytes);

    // The command form of the main window, through to the saved command.
    AppMainWin *window = VerantisTerminalApp::app()->mainWin();
    auto *hexEdit = window->findChild<QLineEdit *>("hexEdit");
    window->findChild<QLineEdit *>("asciiEdit")->paste();
    QCOMPARE(hexEdit->text(), bytesToHex(bytes));
    window->findChild<QLineEdit *>("commandNameEdit")->setText("long");
    QTest::mouseClick(window->findChild<QPushButton *>("commandSaveBtn"), Qt::LeftButton);
    QCOMPARE(VerantisTerminalApp::app()->settingsManager()->commandBytes("long"), bytes);
}

VT_TEST_MAIN(TstByteFields)
#include "tst_bytefields.moc"
