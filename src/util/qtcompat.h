#ifndef QTCOMPAT_H
#define QTCOMPAT_H

#include <QtGlobal>

class QSettings;

// The program builds against Qt 5.15 and Qt 6.4 or later from the same sources. Code everywhere
// else uses only what both have: QRegularExpression (not QRegExp), QStringView (not QStringRef
// or midRef), Qt::SkipEmptyParts, QFontMetrics::horizontalAdvance, QVariant::userType() with
// QMetaType ids (not QVariant::type()), QRandomGenerator (not qrand), QMouseEvent::pos().
// Where the two versions need different calls, the difference lives here, behind
// QT_VERSION_CHECK, and callers call the one helper on either version.
namespace QtCompat {

// Before the application object exists. High-DPI scaling by the desktop's own factor, fractions
// such as 1.5 included, on both versions: Qt 5 needs the attribute for it, and both would
// otherwise round 150 % up to 200 %, too wide for the screen.
void enableHighDpiScaling();

// For every QSettings in INI format, before its first read: the values are UTF-8 on both
// versions (Qt 6 always reads and writes them so; Qt 5 would use Latin-1). Keys written into a
// file as raw UTF-8 still read as Latin-1 on Qt 5; IniFile reads them as meant.
void useUtf8Ini(QSettings &settings);

} // namespace QtCompat

#endif // QTCOMPAT_H
