#ifndef ANSIRENDERER_H
#define ANSIRENDERER_H

#include "ui/styledtext.h"

#include <QByteArray>

// A device's colour and bold (the SGR sequences "ESC [ ... m") rendered in one line of text.
// Every other escape sequence (cursor moves, clearing, titles, modes) is dropped, and so is one
// cut off at the end of the bytes: nothing a device sends acts on the view beyond its own text.
// Raw shows every escape as the symbol ␛ followed by its characters, as the Blocks view does.
class AnsiRenderer
{
public:
    // Appends the bytes to `out`, starting in `style` and leaving in it the style they end in.
    static void render(const QByteArray &bytes, TextStyle *style, bool raw, StyledText *out);
    // The style the bytes leave behind, without rendering them.
    static void advance(const QByteArray &bytes, TextStyle *style);
    // The colour of entry `index` of the 256-colour palette.
    static QRgb paletteColour(int index);

private:
    static void applySgr(const QByteArray &parameters, TextStyle *style);
    // Where the escape sequence starting at `at` ends (one past it); size() when cut off.
    static int sequenceEnd(const QByteArray &bytes, int at, bool *isSgr);
};

#endif // ANSIRENDERER_H
