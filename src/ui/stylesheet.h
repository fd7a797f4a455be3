#ifndef STYLESHEET_H
#define STYLESHEET_H

#include <QString>

// The dark look of the main window, and the terminal dialog's own variant of it.
QString mainWindowStyleSheet();
QString deviceDialogStyleSheet();

#endif // STYLESHEET_H
