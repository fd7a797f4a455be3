#include "data/inisyntax.h"

#include <algorithm>

// The plain writer copies Qt 5's INI writer with the UTF-8 codec; elsewhere QSettings writes.
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0) && !defined(Q_OS_WIN)
#define VT_INI_LINE_WRITER
#include <QTextCodec>
#endif

#include "util/conversion.h"

namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool isSpecial(char c)
{
    return c == '\n' || c == '\r' || c == '"' || c == ';' || c == '=' || c == '\\';
}

// The next logical line from `pos` as QSettings' reader finds it: quotes hold line ends, ";" and
// "=" alike; a backslash takes the next character (a line end pair counting as one); ";" outside
// quotes ends the line, and at its start makes the rest of the line a comment.
bool nextLine(const QByteArray &data, int &pos, int &lineStart, int &lineLen, int &equalsPos)
{
    const int size = data.size();
    bool inQuotes = false;
    equalsPos = -1;
    lineStart = pos;
    while (lineStart < size && isSpace(data.at(lineStart)))
        ++lineStart;
    int i = lineStart;
    while (i < size) {
        char ch = data.at(i);
        if (!isSpecial(ch)) {
            ++i;
            continue;
        }
        ++i;
        if (ch == '=') {
            if (!inQuotes && equalsPos == -1)
                equalsPos = i - 1;
        } else if (ch == '\n' || ch == '\r') {
            if (i == lineStart + 1) {
                ++lineStart;
            } else if (!inQuotes) {
                --i;
                break;
            }
        } else if (ch == '\\') {
            if (i < size) {
                const char escaped = data.at(i++);
                if (i < size) {
                    const char next = data.at(i);
                    if ((escaped == '\n' && next == '\r') || (escaped == '\r' && next == '\n'))
                        ++i;
                }
            }
        } else if (ch == '"') {
            inQuotes = !inQuotes;
        } else { // ';'
            if (i == lineStart + 1) {
                while (i < size && (ch = data.at(i)) != '\n' && ch != '\r')
                    ++i;
                while (i < size && isSpace(data.at(i)))
                    ++i;
                lineStart = i;
            } else if (!inQuotes) {
                --i;
                break;
            }
        }
    }
    pos = i;
    lineLen = i - lineStart;
    return lineLen > 0;
}

// A key as QSettings unescapes it: "\" stands for "/", "%XX" and "%UXXXX" for one character.
QString unescapedKey(const QString &key)
{
    QString result;
    result.reserve(key.size());
    for (int i = 0; i < key.size();) {
        const QChar c = key.at(i);
        if (c == QLatin1Char('\\')) {
            result += QLatin1Char('/');
            ++i;
            continue;
        }
        if (c != QLatin1Char('%') || i == key.size() - 1) {
            result += c;
            ++i;
            continue;
        }
        const bool wide = key.at(i + 1) == QLatin1Char('U');
        const int first = wide ? i + 2 : i + 1;
        const int digits = wide ? 4 : 2;
        bool ok = false;
        const ushort code
            = first + digits <= key.size() ? key.mid(first, digits).toUShort(&ok, 16) : 0;
        if (!ok) {
            result += QLatin1Char('%');
            ++i;
            continue;
        }
        result += QChar(code);
        i = first + digits;
    }
    return result;
}

void chopTrailingSpaces(QString &text, int limit)
{
    int n = text.size();
    while (n > limit && (text.at(n - 1) == QLatin1Char(' ') || text.at(n - 1) == QLatin1Char('\t')))
        --n;
    text.truncate(n);
}

// A value as QSettings unescapes it. An escape keeps the low 16 bits of a number of any length,
// as QChar does.
bool unescapedValue(const QByteArray &str, int from, int to, QStringList &elements)
{
    static const char escapes[][2] = { { 'a', '\a' }, { 'b', '\b' }, { 'f', '\f' }, { 'n', '\n' },
        { 'r', '\r' }, { 't', '\t' }, { 'v', '\v' }, { '"', '"' }, { '?', '?' }, { '\'', '\'' },
        { '\\', '\\' } };
    bool isList = false;
    bool inQuotes = false;
    bool quoted = false;
    QString current;
    int i = from;
    const auto skipSpaces = [&] {
        while (i < to && (str.at(i) == ' ' || str.at(i) == '\t'))
            ++i;
    };
    skipSpaces();
    int chopLimit = 0;
    while (i < to) {
        const char c = str.at(i);
        if (c == '\\') {
            if (++i >= to)
                break;
            const char ch = str.at(i++);
            const auto known = std::find_if(std::begin(escapes), std::end(escapes),
                [ch](const char *pair) { return pair[0] == ch; });
            if (known != std::end(escapes)) {
                current += QLatin1Char((*known)[1]);
                chopLimit = current.size();
                continue;
            }
            if ((ch == 'x' && i < to && hexDigitValue(QLatin1Char(str.at(i))) >= 0)
                || (ch >= '0' && ch <= '7')) {
                const bool hex = ch == 'x';
                uint code = hex ? 0 : uint(ch - '0');
                while (i < to) {
                    const int digit = hex
                        ? hexDigitValue(QLatin1Char(str.at(i)))
                        : (str.at(i) >= '0' && str.at(i) <= '7' ? str.at(i) - '0' : -1);
                    if (digit < 0)
                        break;
                    code = (code << (hex ? 4 : 3)) + uint(digit);
                    ++i;
                }
                current += QChar(ushort(code & 0xFFFF));
                chopLimit = current.size();
                continue;
            }
            if (ch == 'x' && i >= to)
                break;
            if ((ch == '\n' || ch == '\r') && i < to) {
                const char next = str.at(i);
                if ((next == '\n' || next == '\r') && next != ch)
                    ++i;
            }
            // Any other escaped character is dropped.
            chopLimit = current.size();
        } else if (c == '"') {
            ++i;
            quoted = true;
            inQuotes = !inQuotes;
            if (!inQuotes)
                skipSpaces();
        } else if (c == ',' && !inQuotes) {
            if (!quoted)
                chopTrailingSpaces(current, chopLimit);
            isList = true;
            elements.append(current);
            current.clear();
            quoted = false;
            ++i;
            skipSpaces();
            chopLimit = 0;
        } else {
            int j = i + 1;
            while (j < to && str.at(j) != '\\' && str.at(j) != '"' && str.at(j) != ',')
                ++j;
            current += QString::fromUtf8(str.constData() + i, j - i);
            i = j;
        }
    }
    if (!quoted)
        chopTrailingSpaces(current, chopLimit);
    elements.append(current);
    return isList;
}

} // namespace

namespace IniSyntax {

QVector<Entry> read(const QByteArray &data)
{
    QVector<Entry> entries;
    int pos = data.startsWith("\xef\xbb\xbf") ? 3 : 0;
    int lineStart = 0;
    int lineLen = 0;
    int equalsPos = 0;
    QString section;
    while (nextLine(data, pos, lineStart, lineLen, equalsPos)) {
        const char first = data.at(lineStart);
        if (first == '[') {
            int close = data.indexOf(']', lineStart);
            if (close == -1 || close >= lineStart + lineLen)
                close = lineStart + lineLen;
            const QByteArray name = data.mid(lineStart + 1, close - lineStart - 1).trimmed();
            if (name.compare("general", Qt::CaseInsensitive) == 0)
                section.clear();
            else if (name.compare("%general", Qt::CaseInsensitive) == 0)
                section = QString::fromLatin1(name.mid(1)) + QLatin1Char('/');
            else
                section = unescapedKey(QString::fromUtf8(name)) + QLatin1Char('/');
            continue;
        }
        if (equalsPos == -1)
            continue;
        int keyEnd = equalsPos;
        while (keyEnd > lineStart && (data.at(keyEnd - 1) == ' ' || data.at(keyEnd - 1) == '\t'))
            --keyEnd;
        Entry entry;
        entry.begin = lineStart;
        entry.end = lineStart + lineLen;
        entry.rawKey = data.mid(lineStart, keyEnd - lineStart);
        entry.key = section + unescapedKey(QString::fromUtf8(entry.rawKey));
        entry.general = section.isEmpty();
        entry.isList = unescapedValue(data, equalsPos + 1, lineStart + lineLen, entry.elements);
        entries.append(entry);
    }
    return entries;
}

bool decodesToOtherType(const QString &element)
{
    if (!element.startsWith(QLatin1Char('@')) || !element.endsWith(QLatin1Char(')')))
        return false;
    static const char *const decoded[]
        = { "@Variant(", "@DateTime(", "@Rect(", "@Size(", "@Point(", "@Invalid(" };
    return std::any_of(std::begin(decoded), std::end(decoded),
        [&element](const char *form) { return element.startsWith(QLatin1String(form)); });
}

bool isByteArray(const QString &element)
{
    return element.startsWith(QLatin1String("@ByteArray(")) && element.endsWith(QLatin1Char(')'));
}

QVector<QPair<QString, QString>> rawUtf8Keys(const QByteArray &data)
{
    QVector<QPair<QString, QString>> keys;
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    for (const Entry &entry : read(data)) {
        const QByteArray &raw = entry.rawKey;
        if (!entry.general
            || std::all_of(raw.cbegin(), raw.cend(), [](char c) { return uchar(c) < 0x80; }))
            continue;
        const QString asRead = unescapedKey(QString::fromLatin1(raw));
        if (asRead != entry.key && !entry.key.isEmpty())
            keys.append(qMakePair(asRead, entry.key));
    }
#else
    Q_UNUSED(data)
#endif
    return keys;
}

#ifdef VT_INI_LINE_WRITER

namespace {

// The escaping of QSettings' INI writer (Qt 5): a key keeps letters, digits and "_-." and writes
// every other character as %XX or %UXXXX.
void appendEscapedKey(const QString &key, QByteArray &out)
{
    for (const QChar c : key) {
        const uint ch = c.unicode();
        if ((ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9')
            || ch == '_' || ch == '-' || ch == '.') {
            out += char(ch);
        } else if (ch <= 0xFF) {
            out += '%';
            appendHexDigits(out, ch, 2);
        } else {
            out += "%U";
            appendHexDigits(out, ch, 4);
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

} // namespace

#endif // VT_INI_LINE_WRITER

QByteArray line(const QString &key, const QVariant &value)
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
    QByteArray out;
    out.reserve(key.size() + text.size() + 8);
    appendEscapedKey(key, out);
    out += '=';
    appendEscapedString(text, out);
    return out;
#endif
}

} // namespace IniSyntax
