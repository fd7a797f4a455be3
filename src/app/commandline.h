#ifndef COMMANDLINE_H
#define COMMANDLINE_H

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

class AppDeviceData;
class AppSettingsManager;

// What the command line asks for at start.
struct StartOptions
{
    QStringList openNames; // saved devices, by name, in the order given
    std::shared_ptr<const AppDeviceData> port; // an unsaved port with its settings, if given
    QString logPath; // may hold %port%, %date% and %time% (data/logpath.h)
    bool raw = false;
    bool capture = false;

    int terminalCount() const { return int(openNames.size()) + (port ? 1 : 0); }
    // The records to open, saved ones first. Names the store does not hold go to `missing`.
    QList<std::shared_ptr<const AppDeviceData>> lines(
        AppSettingsManager *store, QStringList *missing) const;
};

// The outcome of reading the arguments: start with the options, or print a text and exit.
struct CommandLine
{
    enum class Action {
        Start,
        Help, // helpText() on stdout, exit 0
        Version, // the version on stdout, exit 0
        UsageError, // `text` on stderr, exit 2
    };

    Action action = Action::Start;
    QString text;
    StartOptions options;

    // The arguments include the program's name first. Needs no application object.
    static CommandLine parse(const QStringList &arguments);
    static QStringList arguments(int argc, char **argv);
    // The text of --help; needs the application object.
    static QString helpText();
};

// The exit codes of a run that fails after a good command line.
constexpr int exitFailure = 1;
constexpr int exitUsage = 2;

// One line on stderr, "VerantisTerminal: <the first line of text>".
void printError(const QString &text);

#endif // COMMANDLINE_H
