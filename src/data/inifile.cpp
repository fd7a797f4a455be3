#include "data/inifile.h"

#include "util/qtcompat.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>

// The plain writer copies Qt 5's INI writer with the UTF-8 codec; elsewhere QSettings writes.
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0) && !defined(Q_OS_WIN)
#define VT_INI_LINE_WRITER
#include <QTextCodec>
#endif

namespace {

#ifdef Q_OS_WIN
const char lineEnd[] = "\r\n";
#else
const char lineEnd[] = "\n";
#endif

qint64 writingNs = 0;

#ifdef VT_INI_LINE_WRITER

const char hexDigits[] = "0123456789ABCDEF";

// The escaping of QSettings' INI writer (Qt 5): a key keeps letters, digits and "_-." and writes
// every other character as %XX or %UXXXX.
void appendEscapedKey(const QString &key, QByteArray &out)
{
    for (const QChar c : key) {
        uint ch = c.unicode();
        if ((ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9')
            || ch == '_' || ch == '-' || ch == '.') {
            out += char(ch);
        } else if (ch <= 0xFF) {
            out += '%';
            out += hexDigits[ch / 16];
            out += hexDigits[ch % 16];
        } else {
            out += "%U";
            char code[4];
            for (int i = 3; i >= 0; --i) {
                code[i] = hexDigits[ch % 16];
                ch >>= 4;
            }
            out.append(code, 4);
        }
    }
}

// A value as text: C-like escapes, \x for other control characters, non-ASCII characters in
// UTF-8 one by one (as the INI codec gives them; \x in a byte array), and quotes around a value
// with ";", "," or "=" in it or a blank at either end.
void appendEscapedString(const QString &text, QByteArray &out)
{
    static QTextCodec *const utf8 = QTextCodec::codecForName("UTF-8");
    const bool encoded = !text.startsWith(QLatin1String("@ByteArray("))
        && !text.startsWith(QLatin1String("@Variant("));
    bool needsQuotes = false;
    bool escapeNextIfDigit = false;
    const int start = out.size();
    for (const QChar c : text) {
        const uint ch = c.unicode();
        if (ch == ';' || ch == ',' || ch == '=')
            needsQuotes = true;
        if (escapeNextIfDigit
            && ((ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'f') || (ch >= 'A' && ch <= 'F'))) {
            out += "\\x" + QByteArray::number(ch, 16);
            continue;
        }
        escapeNextIfDigit = false;
        switch (ch) {
        case '\0':
            out += "\\0";
            escapeNextIfDigit = true;
            break;
        case '\a':
            out += "\\a";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\v':
            out += "\\v";
            break;
        case '"':
        case '\\':
            out += '\\';
            out += char(ch);
            break;
        default:
            if (ch <= 0x1F || (ch >= 0x7F && !encoded)) {
                out += "\\x" + QByteArray::number(ch, 16);
                escapeNextIfDigit = true;
            } else if (ch >= 0x7F) {
                out += utf8->fromUnicode(&c, 1);
            } else {
                out += char(ch);
            }
        }
    }
    if (needsQuotes || (start < out.size() && (out.at(start) == ' ' || out.endsWith(' ')))) {
        out.insert(start, '"');
        out += '"';
    }
}

// The text QSettings makes of a value before escaping it; false for the types it writes in other
// forms (lists, @Variant), which are left to QSettings.
bool valueText(const QVariant &value, QString &text)
{
    switch (value.userType()) {
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        text = QLatin1String("@ByteArray(") + QLatin1String(bytes.constData(), bytes.size())
            + QLatin1Char(')');
        return true;
    }
    case QMetaType::QString:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        text = value.toString();
        if (text.contains(QChar::Null))
            text = QLatin1String("@String(") + text + QLatin1Char(')');
        else if (text.startsWith(QLatin1Char('@')))
            text.prepend(QLatin1Char('@'));
        return true;
    default:
        return false;
    }
}

#endif // VT_INI_LINE_WRITER

// QSettings::remove() also takes every key under "key/"; names read from a hand-edited file can
// be such group paths ("Lab" and "Lab/Cam"), and one item must never take another along.
void removeExactly(QSettings &settings, const QString &key)
{
    settings.beginGroup(key);
    const QStringList below = settings.allKeys();
    QVariantList values;
    values.reserve(below.size());
    for (const QString &child : below)
        values.append(settings.value(child));
    settings.endGroup();
    settings.remove(key);
    for (int i = 0; i < below.size(); ++i)
        settings.setValue(key + QLatin1Char('/') + below.at(i), values.at(i));
}

} // namespace

IniFile::IniFile(const QString &path)
    : path(path)
{
    load();
}

IniFile::~IniFile()
{
    sync();
}

QString IniFile::matchKey(const QString &key)
{
#ifdef Q_OS_WIN
    return key.toLower();
#else
    return key;
#endif
}

QByteArray IniFile::iniLine(const QString &key, const QVariant &value)
{
#ifndef VT_INI_LINE_WRITER
    // Only Qt 5's writer (with the UTF-8 codec) is copied here; on Qt 6, and on Windows where
    // QSettings orders and merges keys without regard to case, QSettings writes.
    Q_UNUSED(key)
    Q_UNUSED(value)
    return QByteArray();
#else
    QString text;
    // A key with "/" lives in a group of its own, which QSettings writes as a section.
    if (key.isEmpty() || key.contains(QLatin1Char('/')) || !valueText(value, text))
        return QByteArray();
    QByteArray line;
    line.reserve(key.size() + text.size() + 8);
    appendEscapedKey(key, line);
    line += '=';
    appendEscapedString(text, line);
    return line;
#endif
}

void IniFile::load()
{
    entries.clear();
    {
        QSettings settings(path, QSettings::IniFormat);
        QtCompat::useUtf8Ini(settings);
        const QStringList keys = settings.allKeys();
        for (const QString &key : keys)
            entries.insert(
                entries.cend(), matchKey(key), Entry { key, settings.value(key), QByteArray() });
    }
    noteFileState();
}

QStringList IniFile::allKeys() const
{
    QStringList keys;
    keys.reserve(entries.size());
    for (const Entry &entry : entries)
        keys.append(entry.key);
#ifdef Q_OS_WIN
    keys.sort();
#endif
    return keys;
}

bool IniFile::contains(const QString &key) const
{
    return entries.contains(matchKey(key));
}

QVariant IniFile::value(const QString &key, const QVariant &defaultValue) const
{
    const auto found = entries.constFind(matchKey(key));
    return found == entries.cend() ? defaultValue : found->value;
}

void IniFile::setValue(const QString &key, const QVariant &value)
{
    if (key.isEmpty())
        return;
    const QString match = matchKey(key);
    entries.insert(match, Entry { key, value, QByteArray() });
    changed(match);
}

void IniFile::remove(const QString &key)
{
    // An empty key would mean every key to QSettings; nothing here removes everything.
    const QString match = matchKey(key);
    if (key.isEmpty() || !entries.remove(match))
        return;
    changed(match);
}

void IniFile::changed(const QString &key)
{
    pending.insert(key);
    if (writeScheduled)
        return;
    writeScheduled = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            writeScheduled = false;
            sync();
        },
        Qt::QueuedConnection);
}

bool IniFile::sync()
{
    if (pending.isEmpty())
        return true;
    QElapsedTimer timer;
    timer.start();
    const bool elsewhere = fileChangedElsewhere();
    const Write written = elsewhere ? Write::NotPlain : writeLines();
    lastWriteByQSettings = written == Write::NotPlain;
    const bool ok
        = lastWriteByQSettings ? writeThroughQSettings(elsewhere) : written == Write::Done;
    // What failed is written again with the next change, or when the file object goes, unless
    // the owner has taken it back.
    if (ok)
        pending.clear();
    writingNs += timer.nsecsElapsed();
    return ok;
}

qint64 IniFile::writingNanoseconds()
{
    return writingNs;
}

IniFile::Write IniFile::writeLines()
{
    QByteArray text;
    text.reserve(int(qMin<qint64>(fileSize + 4096, 1 << 30)));
    if (!entries.isEmpty()) {
        text += "[General]";
        text += lineEnd;
    }
    for (auto it = entries.begin(); it != entries.end(); ++it) {
        if (it->line.isEmpty()) {
            it->line = iniLine(it->key, it->value);
            if (it->line.isEmpty())
                return Write::NotPlain;
        }
        text += it->line;
        text += lineEnd;
    }
    // The folder appears with the first file written into it.
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    const bool written
        = file.open(QIODevice::WriteOnly) && file.write(text) == text.size() && file.commit();
    noteFileState();
    return written ? Write::Done : Write::Failed;
}

// QSettings merges what it has on disk with the changes, so nothing another writer saved is lost.
bool IniFile::writeThroughQSettings(bool readBack)
{
    bool ok = false;
    {
        QSettings settings(path, QSettings::IniFormat);
        QtCompat::useUtf8Ini(settings);
        // Removals first: where keys match without regard to case, a rename only in case removes
        // the old key and sets the new one, which must win.
        for (const QString &key : qAsConst(pending)) {
            if (!entries.contains(key))
                removeExactly(settings, key);
        }
        for (const QString &key : qAsConst(pending)) {
            const auto found = entries.constFind(key);
            if (found != entries.cend())
                settings.setValue(found->key, found->value);
        }
        settings.sync();
        ok = settings.status() == QSettings::NoError;
    }
    if (ok && readBack) {
        load();
        emit reread();
    } else
        noteFileState();
    return ok;
}

bool IniFile::fileChangedElsewhere() const
{
    const QFileInfo info(path);
    if (!info.exists())
        return fileSize >= 0;
    return info.size() != fileSize || info.lastModified() != fileTime;
}

void IniFile::noteFileState()
{
    const QFileInfo info(path);
    fileSize = info.exists() ? info.size() : -1;
    fileTime = info.exists() ? info.lastModified() : QDateTime();
}
