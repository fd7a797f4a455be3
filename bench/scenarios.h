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
    // Length of each fixed-pace run, and of the windows at its start and end whose cost per
    // batch is compared.
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
    // The history built row by row, and the payload of each row.
    int historyRows = 1000000;
    int historyBlockBytes = 16;

    static Sizes full();
    static Sizes quick();
};

// Each measurement runs in a process of its own, so peak memory and CPU time are its own.
// The parent seeds the data folder (XDG_DATA_HOME) and reads "RESULT <key> <value>" lines.
const QStringList &scenarioNames();

// A line written at a fixed pace: so many bytes a second, in writes of so many bytes.
struct Pace
{
    const char *name;
    const char *title;
    int blockBytes;
    int bytesPerSecond;
};
// The paces measured, and the pace a scenario name stands for ("pace115k-app"), if any.
const QList<Pace> &paces();
const Pace *paceOf(const QString &scenario);
bool isScenario(const QString &name);
bool scenarioUsesApplication(const QString &name);
int runScenario(int argc, char **argv, const QString &name, const Sizes &sizes);

// Writes `devices` saved devices and `commands` saved commands into the data folder's INI files
// the way the program stores them.
bool seedDataFolder(const QString &folder, int devices, int commands);

} // namespace bench

#endif // SCENARIOS_H
