#include "app/verantisterminalapp.h"

int main(int argc, char **argv)
{
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling, true);
    QGuiApplication::setDesktopSettingsAware(true);
    VerantisTerminalApp app(argc, argv);
    return app.exec();
}
