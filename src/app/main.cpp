#include "app/capturesession.h"
#include "app/commandline.h"
#include "app/verantisterminalapp.h"
#include "util/qtcompat.h"

#include <cstdio>

int main(int argc, char **argv)
{
    const CommandLine commandLine = CommandLine::parse(CommandLine::arguments(argc, argv));
    switch (commandLine.action) {
    case CommandLine::Action::UsageError:
        printError(commandLine.text);
        return exitUsage;
    case CommandLine::Action::Help:
    case CommandLine::Action::Version: {
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationVersion(QStringLiteral(VT_VERSION));
        const QString text = commandLine.action == CommandLine::Action::Help
            ? CommandLine::helpText()
            : QStringLiteral("VerantisTerminal %1\n").arg(QStringLiteral(VT_VERSION));
        std::fputs(text.toLocal8Bit().constData(), stdout);
        return 0;
    }
    case CommandLine::Action::Start:
        break;
    }

    if (commandLine.options.capture) {
        // No window and no display: a plain core application, which loads no platform plugin.
        QCoreApplication app(argc, argv);
        CaptureSession session(commandLine.options);
        return session.exec();
    }
    QtCompat::enableHighDpiScaling();
    QGuiApplication::setDesktopSettingsAware(true);
    VerantisTerminalApp app(argc, argv);
    app.openFromCommandLine(commandLine.options);
    return app.exec();
}
