#include "ui/bytefields.h"

#include "app/verantisterminalapp.h"
#include "util/conversion.h"

#include <QLineEdit>

void showBytes(QLineEdit *hexEdit, QLineEdit *asciiEdit, const QByteArray &bytes)
{
    hexEdit->setText(bytesToHex(bytes));
    asciiEdit->setText(bytesToAscii(bytes));
}

void asciiFollowsHex(QLineEdit *hexEdit, QLineEdit *asciiEdit)
{
    QByteArray bytes;
    readHex(hexEdit->text(), &bytes);
    asciiEdit->setText(bytesToAscii(bytes));
}

void hexFollowsAscii(QLineEdit *hexEdit, QLineEdit *asciiEdit)
{
    hexEdit->setText(bytesToHex(asciiToBytes(asciiEdit->text())));
}

void finishHexEdit(QLineEdit *hexEdit, QLineEdit *asciiEdit)
{
    QByteArray bytes;
    if (readHex(hexEdit->text(), &bytes))
        showBytes(hexEdit, asciiEdit, bytes);
}

void finishAsciiEdit(QLineEdit *hexEdit, QLineEdit *asciiEdit)
{
    // Only passed through: the ASCII field was derived from HEX, and HEX that cannot be read
    // (shown as an empty ASCII field) must not be replaced by nothing.
    if (!asciiEdit->isModified())
        return;
    showBytes(hexEdit, asciiEdit, asciiToBytes(asciiEdit->text()));
}

bool hexFieldBytes(const QLineEdit *hexEdit, QByteArray *bytes)
{
    QString badGroup;
    if (readHex(hexEdit->text(), bytes, &badGroup))
        return true;
    VerantisTerminalApp::app()->showMessage(invalidHexMessage(badGroup));
    return false;
}
