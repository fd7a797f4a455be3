// Writes the stored-files items through this build's store, or prints what this build's store
// loads, so that a test of one Qt build can exchange files with the other build:
//   storedfiles write DIR    saves the items into DIR/VerantisTerminal/ (which must be empty)
//   storedfiles dump DIR     prints what the store loads from DIR/VerantisTerminal/
//   storedfiles add DIR P N  saves the devices P0 ... P(N-1), alongside whoever else writes
//   storedfiles churn DIR S  adds, renames and removes devices at random (seed S) until killed,
//                            printing a dot after each change
#include "storeditems.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("VerantisTerminal"));
    const QStringList args = app.arguments();
    const QString mode = args.value(1);
    const int argCount = mode == QLatin1String("add") ? 5 : mode == QLatin1String("churn") ? 4 : 3;
    if (args.size() != argCount
        || (argCount == 3 && mode != QLatin1String("write") && mode != QLatin1String("dump"))) {
        std::fprintf(stderr, "usage: storedfiles write|dump DIR, add DIR P N, churn DIR S\n");
        return 2;
    }
    qputenv("XDG_DATA_HOME", QFile::encodeName(args.at(2)));
    AppSettingsManager store;
    if (mode == QLatin1String("add")) {
        for (int i = 0; i < args.at(4).toInt(); ++i) {
            if (!store.addDevice(
                    args.at(3) + QString::number(i), QStringLiteral("COM1"), 9600, 0, 8, 0, 0))
                return 1;
        }
        return 0;
    }
    if (mode == QLatin1String("churn")) {
        QRandomGenerator random(args.at(3).toUInt());
        for (;;) {
            const QString name = QStringLiteral("D%1").arg(random.bounded(6));
            const QString other = QStringLiteral("D%1").arg(random.bounded(6));
            if (!store.deviceExists(name))
                store.addDevice(name, QStringLiteral("COM7"), 19200, 2, 7, 1, 2);
            else if (!store.deviceExists(other))
                store.changeDeviceName(name, other);
            else
                store.removeDevice(name);
            std::fputc('.', stdout);
            std::fflush(stdout);
        }
    }
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
