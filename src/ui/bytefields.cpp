#include "ui/bytefields.h"

#include "util/conversion.h"

#include <QLineEdit>

void showBytes(QLineEdit *hexEdit, QLineEdit *asciiEdit, const QByteArray &bytes)
{
    hexEdit->setText(bytesToHex(bytes));
    asciiEdit->setText(bytesToAscii(bytes));
}
