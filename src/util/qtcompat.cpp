#include "util/qtcompat.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QSettings>
#include <QTextStream>

#include <algorithm>

#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
#include <QFile>
#include <QList>
#include <QPair>
#else
#include <QStringConverter>
#endif

namespace QtCompat {

void enableHighDpiScaling()
{
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling, true);
#endif
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
        Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
}

#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)

namespace {

// A key of the INI text as QSettings reads it: "\" stands for "/", "%XX" and "%UXXXX" for one
// character each.
QString unescapedKey(const QString &key)
{
    QString result;
    for (int i = 0; i < key.size();) {
        const QChar c = key.at(i);
        if (c == QLatin1Char('\\')) {
            result += QLatin1Char('/');
            ++i;
            continue;
        }
        if (c == QLatin1Char('%') && i + 1 < key.size()) {
            const bool wide = key.at(i + 1) == QLatin1Char('U');
            const int first = wide ? i + 2 : i + 1;
            const int digits = wide ? 4 : 2;
            bool ok = false;
            const ushort code = first + digits <= key.size()
                ? key.mid(first, digits).toUShort(&ok, 16)
                : ushort(0);
            if (ok) {
                result += QChar(code);
                i = first + digits;
                continue;
            }
        }
        result += c;
        ++i;
    }
    return result;
}

// The keys of the file's [General] section that hold raw non-ASCII bytes, as Qt 5 reads them
// (each byte one Latin-1 character) and as they were meant (UTF-8).
QList<QPair<QString, QString>> rawUtf8Keys(const QString &fileName)
{
    QList<QPair<QString, QString>> keys;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return keys;
    bool general = true;
    bool continued = false;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (QByteArray line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
        // A value may go on over the next lines, each but the last ending in a backslash.
        const bool continuation = continued;
        int backslashes = 0;
        while (backslashes < line.size() && line.at(line.size() - 1 - backslashes) == '\\')
            ++backslashes;
        continued = backslashes % 2 == 1;
        if (continuation)
            continue;
        const QByteArray trimmed = line.trimmed();
        if (trimmed.startsWith('[')) {
            general = trimmed == "[General]";
            continue;
        }
        const int equals = trimmed.indexOf('=');
        if (!general || equals <= 0 || trimmed.startsWith(';') || trimmed.startsWith('#'))
            continue;
        const QByteArray raw = trimmed.left(equals).trimmed();
        const bool ascii
            = std::all_of(raw.cbegin(), raw.cend(), [](char c) { return uchar(c) < 0x80; });
        if (ascii)
            continue;
        const QString asRead = unescapedKey(QString::fromLatin1(raw));
        const QString asMeant = unescapedKey(QString::fromUtf8(raw));
        if (asRead != asMeant && !asMeant.isEmpty())
            keys.append(qMakePair(asRead, asMeant));
    }
    return keys;
}

} // namespace

void useUtf8Ini(QSettings &settings)
{
    settings.setIniCodec("UTF-8");
    const QList<QPair<QString, QString>> keys = rawUtf8Keys(settings.fileName());
    for (const auto &key : keys) {
        if (!settings.contains(key.first))
            continue;
        const QVariant value = settings.value(key.first);
        settings.remove(key.first);
        settings.setValue(key.second, value);
    }
}

void useUtf8(QTextStream &stream)
{
    stream.setCodec("UTF-8");
}

#else

void useUtf8Ini(QSettings &settings)
{
    Q_UNUSED(settings)
}

void useUtf8(QTextStream &stream)
{
    stream.setEncoding(QStringConverter::Utf8);
}

#endif

} // namespace QtCompat
