// Writes the stored-files items through this build's store, or prints what this build's store
// loads, so that a test of one Qt build can exchange files with the other build:
//   storedfiles write DIR    saves the items into DIR/VerantisTerminal/ (which must be empty)
//   storedfiles dump DIR     prints what the store loads from DIR/VerantisTerminal/
#include "storeditems.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("VerantisTerminal"));
    const QStringList args = app.arguments();
    if (args.size() != 3
        || (args.at(1) != QLatin1String("write") && args.at(1) != QLatin1String("dump"))) {
        std::fprintf(stderr, "usage: storedfiles write|dump DIR\n");
        return 2;
    }
    qputenv("XDG_DATA_HOME", QFile::encodeName(args.at(2)));
    AppSettingsManager store;
    if (args.at(1) == QLatin1String("write")) {
        // A refusal would need the application's message box; a fresh folder has none.
        if (!QDir(store.dataFolder()).isEmpty()) {
            std::fprintf(stderr, "not empty: %s\n", qPrintable(store.dataFolder()));
            return 1;
        }
        StoredItems::save(store);
        return 0;
    }
    std::printf("%s\n", StoredItems::dump(store).toUtf8().constData());
    return 0;
}
