#ifndef STYLEDTEXT_H
#define STYLEDTEXT_H

#include <QByteArray>
#include <QRgb>
#include <QString>
#include <QVector>

// How a stretch of the log's text looks: a device's colours and bold, or the colour of the
// symbols that stand for line ends and escapes.
struct TextStyle
{
    QRgb foreground = 0;
    QRgb background = 0;
    bool hasForeground = false;
    bool hasBackground = false;
    bool bold = false;
    bool symbol = false;

    bool operator==(const TextStyle &other) const
    {
        return foreground == other.foreground && background == other.background
            && hasForeground == other.hasForeground && hasBackground == other.hasBackground
            && bold == other.bold && symbol == other.symbol;
    }
    bool operator!=(const TextStyle &other) const { return !(*this == other); }
};

// Text in runs of one style each, laid out by the log and copied as its plain text.
struct StyledText
{
    struct Run
    {
        int length;
        TextStyle style;
    };
    QString text;
    QVector<Run> runs;

    void append(const QString &part, const TextStyle &style);
    // Bytes as the log shows them: one Latin-1 character each, except that CR, LF and ESC
    // appear as the symbols ␍ ␊ ␛, so no byte can end a paragraph or pass for an escape.
    void appendBytes(const char *bytes, int size, const TextStyle &style);
};

// The symbol shown for a byte, or a null character for a byte shown as itself.
QChar byteSymbol(uchar byte);

#endif // STYLEDTEXT_H
