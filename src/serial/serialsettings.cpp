#include "serial/serialsettings.h"

#include "data/appdevicedata.h"
#include "serial/portpath.h"

const QStringList flowControlTexts { QStringLiteral("OFF"), QStringLiteral("RTS/CTS"),
    QStringLiteral("Xon/Xoff") };
const QStringList stopBitsTexts { QStringLiteral("OneStop"), QStringLiteral("OneAndHalfStop"),
    QStringLiteral("TwoStop") };
const QStringList parityTexts { QStringLiteral("None"), QStringLiteral("Even"),
    QStringLiteral("Odd") };

QStringList portNameTexts()
{
    QStringList names;
    names.reserve(100);
    for (int i = 1; i <= 100; ++i)
        names.append(QStringLiteral("COM%1").arg(i));
    return names;
}

QStringList baudRateTexts()
{
    return { QStringLiteral("1200"), QStringLiteral("2400"), QStringLiteral("4800"),
        QStringLiteral("9600"), QStringLiteral("19200"), QStringLiteral("38400"),
        QStringLiteral("57600"), QStringLiteral("115200"), QStringLiteral("230400"),
        QStringLiteral("460800"), QStringLiteral("921600"), QStringLiteral("1000000"),
        QStringLiteral("2000000"), QStringLiteral("3000000") };
}

int baudRateFromText(const QString &text)
{
    bool ok = false;
    const int rate = text.trimmed().toInt(&ok, 10);
    return ok && rate > 0 ? rate : 0;
}

QString baudRateRefusal()
{
    return QStringLiteral("BaudRate must be a positive whole number.");
}

QStringList dataBitsTexts()
{
    return { QStringLiteral("7"), QStringLiteral("8") };
}

QString settingText(const QStringList &texts, int position)
{
    return position >= 0 && position < texts.size() ? texts.at(position) : QString();
}

void applySerialSettings(QSerialPort *port, const AppDeviceData &record)
{
    static const QSerialPort::FlowControl flowControls[] = { QSerialPort::NoFlowControl,
        QSerialPort::HardwareControl, QSerialPort::SoftwareControl };
    static const QSerialPort::StopBits stopBits[]
        = { QSerialPort::OneStop, QSerialPort::OneAndHalfStop, QSerialPort::TwoStop };
    static const QSerialPort::Parity parities[]
        = { QSerialPort::NoParity, QSerialPort::EvenParity, QSerialPort::OddParity };
    const auto inRange = [](int position) {
        return position >= 0 && position <= 2;
    };

    port->setPortName(resolvePortName(record.portName()));
    port->setBaudRate(record.baudRate(), QSerialPort::AllDirections);
    // The choices offer seven and eight; five and six come from the command line. Anything else
    // (a hand-edited file) opens with seven.
    const int dataBits = record.dataBits();
    port->setDataBits(
        dataBits >= 5 && dataBits <= 8 ? QSerialPort::DataBits(dataBits) : QSerialPort::Data7);
    if (inRange(record.flowControl()))
        port->setFlowControl(flowControls[record.flowControl()]);
    if (inRange(record.stopBits()))
        port->setStopBits(stopBits[record.stopBits()]);
    if (inRange(record.parity()))
        port->setParity(parities[record.parity()]);
}
