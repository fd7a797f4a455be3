#include "app/commandline.h"

#include "data/appdevicedata.h"
#include "data/appsettingsmanager.h"
#include "serial/serialsettings.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <algorithm>
#include <cstdio>

namespace {

const QString portPlaceholder = QStringLiteral("%port%");

// Every option, for parsing and for --help alike.
void addOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QCoreApplication::translate("CommandLine",
        "A terminal for devices on serial lines. Without options it opens the main window."));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions({
        { QStringLiteral("open"),
            QCoreApplication::translate("CommandLine",
                "Open the saved device <name> in a terminal. Give it again for more devices."),
            QStringLiteral("name") },
        { QStringLiteral("port"),
            QCoreApplication::translate(
                "CommandLine", "Open the port <port> (COM3, ttyUSB0, /dev/ttyACM0) in a terminal."),
            QStringLiteral("port") },
        { QStringLiteral("baud"),
            QCoreApplication::translate("CommandLine", "Baud rate of --port (default 9600)."),
            QStringLiteral("rate") },
        { QStringLiteral("data-bits"),
            QCoreApplication::translate(
                "CommandLine", "Data bits of --port: 5, 6, 7 or 8 (default 8)."),
            QStringLiteral("bits") },
        { QStringLiteral("stop-bits"),
            QCoreApplication::translate(
                "CommandLine", "Stop bits of --port: 1, 1.5 or 2 (default 1)."),
            QStringLiteral("bits") },
        { QStringLiteral("parity"),
            QCoreApplication::translate(
                "CommandLine", "Parity of --port: none, even or odd (default none)."),
            QStringLiteral("parity") },
        { QStringLiteral("flow"),
            QCoreApplication::translate(
                "CommandLine", "Flow control of --port: none, rtscts or xonxoff (default none)."),
            QStringLiteral("flow") },
        { QStringLiteral("log"),
            QCoreApplication::translate("CommandLine",
                "Append the traffic of the terminals opened here to <file>, one line per block as "
                "Save History writes them. With more than one terminal the name must hold %port%; "
                "%date% starts a new file each day, %time% names the start time."),
            QStringLiteral("file") },
        { QStringLiteral("raw"),
            QCoreApplication::translate("CommandLine",
                "Write the received bytes to the --log file as they came, not lines.") },
        { QStringLiteral("capture"),
            QCoreApplication::translate("CommandLine",
                "Capture without a window or display: log the ports to --log until SIGINT or "
                "SIGTERM. Exits 1 when a line is lost or a port or the log fails.") },
    });
}

// The position of `value` in `choices`, or -1.
int choice(const QString &value, const QStringList &choices)
{
    return int(choices.indexOf(value.trimmed().toLower()));
}

QString badValue(const QString &option, const QString &value, const QString &expected)
{
    return QCoreApplication::translate("CommandLine", "Bad value for --%1: \"%2\" (expected %3).")
        .arg(option, value, expected);
}

} // namespace

QList<std::shared_ptr<const AppDeviceData>> StartOptions::lines(
    AppSettingsManager *store, QStringList *missing) const
{
    QList<std::shared_ptr<const AppDeviceData>> found;
    if (!openNames.isEmpty()) {
        const std::unique_ptr<QList<AppTableData *>> saved(store->loadDevices());
        for (const QString &name : openNames) {
            const auto it
                = std::find_if(saved->cbegin(), saved->cend(), [&name](AppTableData *item) {
                      return static_cast<AppDeviceData *>(item)->name() == name;
                  });
            if (it == saved->cend())
                *missing << name;
            else
                found << std::shared_ptr<const AppDeviceData>(
                    static_cast<AppDeviceData *>(*it)->clone());
        }
        qDeleteAll(*saved);
    }
    if (port)
        found << port;
    return found;
}

CommandLine CommandLine::parse(const QStringList &arguments)
{
    CommandLine result;
    const auto usage = [&result](const QString &text) {
        result.action = Action::UsageError;
        result.text = text;
        return result;
    };

    QCommandLineParser parser;
    addOptions(parser);
    if (!parser.parse(arguments))
        return usage(parser.errorText());
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("version"))) {
        result.action = parser.isSet(QStringLiteral("help")) ? Action::Help : Action::Version;
        return result;
    }
    if (!parser.positionalArguments().isEmpty())
        return usage(QCoreApplication::translate("CommandLine", "Unexpected argument \"%1\".")
                         .arg(parser.positionalArguments().first()));

    StartOptions &options = result.options;
    options.openNames = parser.values(QStringLiteral("open"));
    options.openNames.removeDuplicates();
    for (const QString &name : qAsConst(options.openNames)) {
        if (name.isEmpty())
            return usage(QCoreApplication::translate("CommandLine", "--open needs a device name."));
    }

    const QStringList portSettings { QStringLiteral("baud"), QStringLiteral("data-bits"),
        QStringLiteral("stop-bits"), QStringLiteral("parity"), QStringLiteral("flow") };
    if (parser.isSet(QStringLiteral("port"))) {
        const QString port = parser.value(QStringLiteral("port"));
        if (port.trimmed().isEmpty())
            return usage(QCoreApplication::translate("CommandLine", "--port needs a port name."));
        // The entry form's defaults.
        int baudRate = 9600, dataBits = 8, stopBits = 0, parity = 0, flow = 0;
        if (parser.isSet(QStringLiteral("baud"))) {
            const QString value = parser.value(QStringLiteral("baud"));
            baudRate = baudRateFromText(value);
            if (baudRate <= 0)
                return usage(badValue(QStringLiteral("baud"), value,
                    QCoreApplication::translate("CommandLine", "a positive whole number")));
        }
        // A setting given by one of its listed words: the word's place in the list.
        const auto listed = [&parser](const QString &option, const QStringList &words,
                                const QString &allowed, int *position) {
            if (!parser.isSet(option))
                return QString();
            const QString value = parser.value(option);
            *position = choice(value, words);
            return *position < 0 ? badValue(option, value, allowed) : QString();
        };
        int dataBitsAt = dataBits - 5;
        for (const QString &refusal : { listed(QStringLiteral("data-bits"), { "5", "6", "7", "8" },
                                            QStringLiteral("5, 6, 7 or 8"), &dataBitsAt),
                 listed(QStringLiteral("stop-bits"), { "1", "1.5", "2" },
                     QStringLiteral("1, 1.5 or 2"), &stopBits),
                 listed(QStringLiteral("parity"), { "none", "even", "odd" },
                     QStringLiteral("none, even or odd"), &parity),
                 listed(QStringLiteral("flow"), { "none", "rtscts", "xonxoff" },
                     QStringLiteral("none, rtscts or xonxoff"), &flow) }) {
            if (!refusal.isEmpty())
                return usage(refusal);
        }
        dataBits = 5 + dataBitsAt;
        options.port = std::make_shared<const AppDeviceData>(
            QString(), port.trimmed(), baudRate, dataBits, stopBits, parity, flow);
    } else {
        for (const QString &setting : portSettings) {
            if (parser.isSet(setting))
                return usage(
                    QCoreApplication::translate("CommandLine", "--%1 needs --port.").arg(setting));
        }
    }

    options.capture = parser.isSet(QStringLiteral("capture"));
    options.raw = parser.isSet(QStringLiteral("raw"));
    options.logPath = parser.value(QStringLiteral("log"));
    if (parser.isSet(QStringLiteral("log")) && options.logPath.isEmpty())
        return usage(QCoreApplication::translate("CommandLine", "--log needs a file name."));
    if (options.raw && options.logPath.isEmpty())
        return usage(QCoreApplication::translate("CommandLine", "--raw needs --log."));
    if (!options.logPath.isEmpty() && options.terminalCount() == 0)
        return usage(QCoreApplication::translate("CommandLine", "--log needs --open or --port."));
    if (options.capture && options.terminalCount() == 0)
        return usage(
            QCoreApplication::translate("CommandLine", "--capture needs --open or --port."));
    if (options.capture && options.logPath.isEmpty())
        return usage(QCoreApplication::translate("CommandLine", "--capture needs --log."));
    if (options.terminalCount() > 1 && !options.logPath.isEmpty()
        && !options.logPath.contains(portPlaceholder))
        return usage(QCoreApplication::translate("CommandLine",
            "--log needs %port% in the file name when more than one port is opened."));
    return result;
}

QStringList CommandLine::arguments(int argc, char **argv)
{
    QStringList list;
    for (int i = 0; i < argc; ++i)
        list << QString::fromLocal8Bit(argv[i]);
    return list;
}

QString CommandLine::helpText()
{
    QCommandLineParser parser;
    addOptions(parser);
    return parser.helpText();
}

void printError(const QString &text)
{
    const QString line = text.section(QLatin1Char('\n'), 0, 0);
    std::fprintf(stderr, "VerantisTerminal: %s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
}
