#ifndef SCENARIOS_H
#define SCENARIOS_H

#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace bench {

// How much each measurement does: the full run, or a short one that only proves the bench and
// the receive path still work.
struct Sizes
{
    qint64 burstBytes;
    int burstLimitSeconds;
    int steadySeconds;
    int steadyWindowMs;
    int blockBytes;
    int blocksPerSecond;
    int idleSeconds;
    int idleItems;
    int startupItems;
    int startupRuns;
    // A run stops, reported as incomplete, when the process grows beyond this.
    qint64 rssLimitKiB;

    static Sizes full();
    static Sizes quick();
};

// Each measurement runs in a process of its own, so peak memory and CPU time are its own.
// The parent seeds the data folder (XDG_DATA_HOME) and reads "RESULT <key> <value>" lines.
const QStringList &scenarioNames();
bool isScenario(const QString &name);
bool scenarioUsesApplication(const QString &name);
int runScenario(int argc, char **argv, const QString &name, const Sizes &sizes);

// Writes `devices` saved devices and `commands` saved commands into the data folder's INI files
// the way the program stores them.
bool seedDataFolder(const QString &folder, int devices, int commands);

} // namespace bench

#endif // SCENARIOS_H
