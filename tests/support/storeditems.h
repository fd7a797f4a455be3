#ifndef STOREDITEMS_H
#define STOREDITEMS_H

#include "data/appcommanddata.h"
#include "data/appdevicedata.h"
#include "data/appsettingsmanager.h"

#include <QByteArray>
#include <QList>
#include <QScopedPointer>
#include <QString>
#include <QStringList>

// The saved items of the stored-files fixtures (tests/fixtures/storedfiles): names with
// non-ASCII letters and with characters the INI facility escapes, and a command holding every
// byte value. The Qt 5 and the Qt 6 build must write them to the same bytes and read either's
// files back as they were saved.
namespace StoredItems {

struct Device
{
    QString name;
    QString portName;
    int baudRate;
    int stopBits;
    int dataBits;
    int parity;
    int flowControl;
};

inline QByteArray everyByte()
{
    QByteArray bytes;
    for (int i = 0; i < 256; ++i)
        bytes += char(i);
    return bytes;
}

inline QList<Device> devices()
{
    return { { QStringLiteral("K\u00fc"), QStringLiteral("COM3"), 9600, 0, 8, 0, 0 },
        { QStringLiteral("\u041b\u0430\u0431"), QStringLiteral("COM\u00fc7"), 115200, 2, 7, 1, 2 },
        { QStringLiteral("Pr\u00fcfstand 1; \u03a9=5%"), QStringLiteral("COM100"), 1200, 1, 5, 2,
            1 } };
}

inline QList<QPair<QString, QByteArray>> commands()
{
    return { { QStringLiteral("K\u00fc"), everyByte() },
        { QStringLiteral("\u041b\u0430\u0431"), QByteArray("\r\n") },
        { QStringLiteral("Pr\u00fcfstand 1; \u03a9=5%"), QByteArray("READ?\x00\xff", 7) } };
}

inline void save(AppSettingsManager &store)
{
    for (const Device &d : devices())
        store.addDevice(
            d.name, d.portName, d.baudRate, d.stopBits, d.dataBits, d.parity, d.flowControl);
    for (const auto &command : commands())
        store.addCommand(command.first, command.second);
}

// What a store loads, one line per item, names as UTF-8 hex so the text survives any console.
inline QString dump(AppSettingsManager &store)
{
    QStringList lines;
    QScopedPointer<QList<AppTableData *>> devices(store.loadDevices());
    for (AppTableData *record : *devices) {
        auto *d = static_cast<AppDeviceData *>(record);
        lines << QStringLiteral("device %1 %2 %3 %4 %5 %6 %7")
                     .arg(QString::fromLatin1(d->name().toUtf8().toHex()),
                         QString::fromLatin1(d->portName().toUtf8().toHex()))
                     .arg(d->baudRate())
                     .arg(d->stopBits())
                     .arg(d->dataBits())
                     .arg(d->parity())
                     .arg(d->flowControl());
    }
    qDeleteAll(*devices);
    QScopedPointer<QList<AppTableData *>> commands(store.loadCommands());
    for (AppTableData *record : *commands) {
        auto *c = static_cast<AppCommandData *>(record);
        lines << QStringLiteral("command %1 %2")
                     .arg(QString::fromLatin1(c->name().toUtf8().toHex()),
                         QString::fromLatin1(c->bytes().toHex()));
    }
    qDeleteAll(*commands);
    return lines.join(QLatin1Char('\n'));
}

// The dump of a store that holds exactly the items above.
inline QString expectedDump()
{
    QStringList devicesLines;
    QStringList commandLines;
    for (const Device &d : devices())
        devicesLines << QStringLiteral("device %1 %2 %3 %4 %5 %6 %7")
                            .arg(QString::fromLatin1(d.name.toUtf8().toHex()),
                                QString::fromLatin1(d.portName.toUtf8().toHex()))
                            .arg(d.baudRate)
                            .arg(d.stopBits)
                            .arg(d.dataBits)
                            .arg(d.parity)
                            .arg(d.flowControl);
    for (const auto &command : commands())
        commandLines << QStringLiteral("command %1 %2")
                            .arg(QString::fromLatin1(command.first.toUtf8().toHex()),
                                QString::fromLatin1(command.second.toHex()));
    // The store lists its items sorted by name.
    devicesLines.sort();
    commandLines.sort();
    return (devicesLines + commandLines).join(QLatin1Char('\n'));
}

} // namespace StoredItems

#endif // STOREDITEMS_H
