#include "ui/styledtext.h"

QChar byteSymbol(uchar byte)
{
    switch (byte) {
    case '\r':
        return QChar(0x240D);
    case '\n':
        return QChar(0x240A);
    case 0x1B:
        return QChar(0x241B);
    default:
        return QChar();
    }
}

void StyledText::append(const QString &part, const TextStyle &style)
{
    if (part.isEmpty())
        return;
    text += part;
    if (!runs.isEmpty() && runs.last().style == style)
        runs.last().length += part.size();
    else
        runs.append({ int(part.size()), style });
}

void StyledText::appendBytes(const char *bytes, int size, const TextStyle &style)
{
    TextStyle symbolStyle = style;
    symbolStyle.symbol = true;
    int start = 0;
    for (int i = 0; i < size; ++i) {
        const QChar symbol = byteSymbol(uchar(bytes[i]));
        if (symbol.isNull())
            continue;
        append(QString::fromLatin1(bytes + start, i - start), style);
        append(QString(symbol), symbolStyle);
        start = i + 1;
    }
    append(QString::fromLatin1(bytes + start, size - start), style);
}
