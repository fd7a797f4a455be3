#ifndef INISYNTAX_H
#define INISYNTAX_H

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

// The INI text of the settings files, read and written exactly as QSettings does: how its reader
// splits a file into lines, keys and values (quotes, continuations, escapes of any length), and
// the lines its writer makes. Everything that knows the syntax lives here.
namespace IniSyntax {

// One key line of a file as QSettings reads it.
struct Entry
{
    // The bytes of the logical line: removing them leaves every other line read as before.
    int begin;
    int end;
    // The full key ("section/key" outside [General]), with raw non-ASCII bytes read as UTF-8.
    QString key;
    // The unescaped value: one element, or the elements of a list.
    QStringList elements;
    bool isList;
    // The key as written, and whether it lies in the [General] section.
    QByteArray rawKey;
    bool general;
};

// Every key line in file order; a key given twice appears twice, the last one counting.
QVector<Entry> read(const QByteArray &data);

// What QSettings would make of an unescaped element: true for the forms it decodes into types
// other than text or bytes (some through a binary decoder that trusts the sizes it reads).
bool decodesToOtherType(const QString &element);
// An element that reads as bytes ("@ByteArray(...)").
bool isByteArray(const QString &element);

// The line QSettings writes for one entry of the [General] section, without the line end; empty
// for a value it would not write as plain text, or where only QSettings itself writes (Qt 6,
// Windows).
QByteArray line(const QString &key, const QVariant &value);

// Keys of the [General] section that hold raw non-ASCII bytes: as Qt 5 reads them (Latin-1)
// and as they were meant (UTF-8). Always empty on Qt 6, which reads them as meant.
QVector<QPair<QString, QString>> rawUtf8Keys(const QByteArray &data);

} // namespace IniSyntax

#endif // INISYNTAX_H
