#ifndef BYTEFIELDS_H
#define BYTEFIELDS_H

#include <QByteArray>

class QLineEdit;

// The HEX and ASCII field pair of the command form and the terminal: both show the same bytes,
// each in its normal form. Setting the texts from code does not finish an edit, so the two
// fields' handlers never trigger each other.
void showBytes(QLineEdit *hexEdit, QLineEdit *asciiEdit, const QByteArray &bytes);

// While the operator types in one field, the other shows the bytes that would go. The typed
// field is left as it is; HEX that cannot be read leaves the ASCII field empty.
void asciiFollowsHex(QLineEdit *hexEdit, QLineEdit *asciiEdit);
void hexFollowsAscii(QLineEdit *hexEdit, QLineEdit *asciiEdit);

// An edit finished: both fields in their normal form. HEX that cannot be read stays as typed,
// for the operator to correct; an ASCII field left without a change changes nothing.
void finishHexEdit(QLineEdit *hexEdit, QLineEdit *asciiEdit);
void finishAsciiEdit(QLineEdit *hexEdit, QLineEdit *asciiEdit);

// The bytes of the HEX field, or false after showing the operator what is wrong with it.
bool hexFieldBytes(const QLineEdit *hexEdit, QByteArray *bytes);

#endif // BYTEFIELDS_H
