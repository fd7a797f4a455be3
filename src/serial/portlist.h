#ifndef PORTLIST_H
#define PORTLIST_H

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// A serial port that the system reports as present.
struct FoundPort
{
    QString portName; // "ttyUSB0" on Linux, "COM3" on Windows
    QString systemLocation; // "/dev/ttyUSB0"
    QString description;
    QString manufacturer;
    QString serialNumber;
    // USB ids; 0 where the system reports none.
    quint16 vendorId = 0;
    quint16 productId = 0;
};

// One entry of a port list: the name that is stored and shown, and what it is.
struct PortChoice
{
    QString name;
    QString toolTip;
    bool found = false;
};

// The ports present right now, as the system lists them.
QList<FoundPort> foundPorts();

// Replaces the system's list, for tests on machines without adapters; an empty function goes
// back to the system's list.
void setFoundPortsSource(std::function<QList<FoundPort>()> source);

// The entries of a port list: the found ports that are not COM1 to COM100 first, in natural
// order, then COM1 to COM100. A found port that already is one of those names (every port on
// Windows) is not listed twice; its entry gets the tool tip.
QList<PortChoice> portChoices(const QList<FoundPort> &found);

// Description, manufacturer, serial number and path, one per line, leaving out what is unknown.
QString foundPortToolTip(const FoundPort &port);

// The names of found ports, for messages: "ttyACM0, ttyUSB0".
QStringList foundPortNames(const QList<FoundPort> &found);

#endif // PORTLIST_H
