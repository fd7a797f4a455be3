#include "app/verantisterminalapp.h"
#include "util/qtcompat.h"

int main(int argc, char **argv)
{
    QtCompat::enableHighDpiScaling();
    QGuiApplication::setDesktopSettingsAware(true);
    VerantisTerminalApp app(argc, argv);
    return app.exec();
}
