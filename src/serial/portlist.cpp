#include "serial/portlist.h"

#include "serial/serialsettings.h"

#include <QCoreApplication>
#include <QHash>
#include <QSerialPortInfo>
#include <QSet>

#include <algorithm>

namespace {

std::function<QList<FoundPort>()> &foundPortsSource()
{
    static std::function<QList<FoundPort>()> source;
    return source;
}

// "ttyUSB2" before "ttyUSB10": runs of digits compare by value.
bool naturalLess(const QString &a, const QString &b)
{
    int i = 0;
    int j = 0;
    while (i < a.size() && j < b.size()) {
        if (a.at(i).isDigit() && b.at(j).isDigit()) {
            int endA = i;
            int endB = j;
            while (endA < a.size() && a.at(endA).isDigit())
                ++endA;
            while (endB < b.size() && b.at(endB).isDigit())
                ++endB;
            const QString numberA = a.mid(i, endA - i);
            const QString numberB = b.mid(j, endB - j);
            const qulonglong valueA = numberA.toULongLong();
            const qulonglong valueB = numberB.toULongLong();
            if (valueA != valueB)
                return valueA < valueB;
            if (numberA.size() != numberB.size())
                return numberA.size() < numberB.size();
            i = endA;
            j = endB;
            continue;
        }
        if (a.at(i) != b.at(j))
            return a.at(i) < b.at(j);
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}

} // namespace

QList<FoundPort> foundPorts()
{
    if (foundPortsSource())
        return foundPortsSource()();
    QList<FoundPort> ports;
    const auto infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : infos) {
        ports.append({ info.portName(), info.systemLocation(), info.description(),
            info.manufacturer(), info.serialNumber(),
            info.hasVendorIdentifier() ? info.vendorIdentifier() : quint16(0),
            info.hasProductIdentifier() ? info.productIdentifier() : quint16(0) });
    }
    return ports;
}

void setFoundPortsSource(std::function<QList<FoundPort>()> source)
{
    foundPortsSource() = std::move(source);
}

QList<PortChoice> portChoices(const QList<FoundPort> &found)
{
    const QStringList fixed = portNameTexts();
    const QSet<QString> fixedNames(fixed.cbegin(), fixed.cend());

    QList<FoundPort> extra;
    QHash<QString, QString> fixedToolTips;
    QSet<QString> seen;
    for (const FoundPort &port : found) {
        if (port.portName.isEmpty() || seen.contains(port.portName))
            continue;
        seen.insert(port.portName);
        if (fixedNames.contains(port.portName))
            fixedToolTips.insert(port.portName, foundPortToolTip(port));
        else
            extra.append(port);
    }
    std::sort(extra.begin(), extra.end(),
        [](const FoundPort &a, const FoundPort &b) { return naturalLess(a.portName, b.portName); });

    QList<PortChoice> choices;
    choices.reserve(extra.size() + fixed.size());
    for (const FoundPort &port : qAsConst(extra))
        choices.append({ port.portName, foundPortToolTip(port), true });
    for (const QString &name : fixed) {
        const auto tip = fixedToolTips.constFind(name);
        if (tip == fixedToolTips.constEnd())
            choices.append({ name, QString(), false });
        else
            choices.append({ name, tip.value(), true });
    }
    return choices;
}

QString foundPortToolTip(const FoundPort &port)
{
    QStringList lines;
    if (!port.description.isEmpty())
        lines << port.description;
    if (!port.manufacturer.isEmpty())
        lines << QCoreApplication::translate("PortList", "Manufacturer: %1").arg(port.manufacturer);
    if (!port.serialNumber.isEmpty())
        lines
            << QCoreApplication::translate("PortList", "Serial number: %1").arg(port.serialNumber);
    if (!port.systemLocation.isEmpty())
        lines << port.systemLocation;
    return lines.join(QLatin1Char('\n'));
}

QStringList foundPortNames(const QList<FoundPort> &found)
{
    QStringList names;
    for (const FoundPort &port : found) {
        if (!port.portName.isEmpty() && !names.contains(port.portName))
            names << port.portName;
    }
    std::sort(names.begin(), names.end(), naturalLess);
    return names;
}
