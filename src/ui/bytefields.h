#ifndef BYTEFIELDS_H
#define BYTEFIELDS_H

#include <QByteArray>

class QLineEdit;

// The HEX and ASCII field pair of the command form and the terminal: both show the same bytes,
// each in its normal form. Setting the texts from code does not finish an edit, so the two
// fields' handlers never trigger each other.
void showBytes(QLineEdit *hexEdit, QLineEdit *asciiEdit, const QByteArray &bytes);

#endif // BYTEFIELDS_H
