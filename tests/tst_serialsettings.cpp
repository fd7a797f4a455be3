#include "data/appdevicedata.h"
#include "serial/portpath.h"
#include "serial/serialsettings.h"

#include <QDir>
#include <QFile>
#include <QSerialPort>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

class TstSerialSettings : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void offeredListsAreFixed();
    void outOfRangePositionsShowAsEmptyText_data();
    void outOfRangePositionsShowAsEmptyText();
    void storedValuesBecomePortSettings_data();
    void storedValuesBecomePortSettings();
    void outOfRangePositionsMakeNoCall();
    void portNameIsResolvedThroughTheMappingFolder();
    void unmappedPortNamesPassThrough_data();
    void unmappedPortNamesPassThrough();

private:
    QScopedPointer<QTemporaryDir> dataHome;
};

void TstSerialSettings::init()
{
    dataHome.reset(new QTemporaryDir);
    QVERIFY(dataHome->isValid());
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome->path()));
}

void TstSerialSettings::offeredListsAreFixed()
{
    QCOMPARE(stopBitsTexts, QStringList({ "OneStop", "OneAndHalfStop", "TwoStop" }));
    QCOMPARE(parityTexts, QStringList({ "None", "Even", "Odd" }));
    QCOMPARE(flowControlTexts, QStringList({ "OFF", "RTS/CTS", "Xon/Xoff" }));
    QCOMPARE(baudRateTexts(),
        QStringList({ "1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200", "230400",
            "460800", "921600", "1000000", "2000000", "3000000" }));
    QCOMPARE(dataBitsTexts(), QStringList({ "7", "8" }));

    const QStringList ports = portNameTexts();
    QCOMPARE(ports.size(), 100);
    QCOMPARE(ports.first(), QStringLiteral("COM1"));
    QCOMPARE(ports.at(9), QStringLiteral("COM10"));
    QCOMPARE(ports.last(), QStringLiteral("COM100"));
    QVERIFY(!ports.contains("COM0"));
}

void TstSerialSettings::outOfRangePositionsShowAsEmptyText_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << 0 << "OneStop";
    QTest::newRow("1 is one and a half") << 1 << "OneAndHalfStop";
    QTest::newRow("2") << 2 << "TwoStop";
    QTest::newRow("3") << 3 << QString();
    QTest::newRow("-1") << -1 << QString();
    QTest::newRow("huge") << 2147483647 << QString();
}

void TstSerialSettings::outOfRangePositionsShowAsEmptyText()
{
    QFETCH(int, position);
    QFETCH(QString, text);
    QCOMPARE(settingText(stopBitsTexts, position), text);
}

void TstSerialSettings::storedValuesBecomePortSettings_data()
{
    QTest::addColumn<int>("baudRate");
    QTest::addColumn<int>("dataBits");
    QTest::addColumn<int>("stopBits");
    QTest::addColumn<int>("parity");
    QTest::addColumn<int>("flowControl");
    QTest::addColumn<QSerialPort::DataBits>("portDataBits");
    QTest::addColumn<QSerialPort::StopBits>("portStopBits");
    QTest::addColumn<QSerialPort::Parity>("portParity");
    QTest::addColumn<QSerialPort::FlowControl>("portFlow");

    QTest::newRow("defaults") << 9600 << 8 << 0 << 0 << 0 << QSerialPort::Data8
                              << QSerialPort::OneStop << QSerialPort::NoParity
                              << QSerialPort::NoFlowControl;
    QTest::newRow("position 1 is one and a half, even, RTS/CTS")
        << 115200 << 8 << 1 << 1 << 1 << QSerialPort::Data8 << QSerialPort::OneAndHalfStop
        << QSerialPort::EvenParity << QSerialPort::HardwareControl;
    QTest::newRow("position 2 is two, odd, Xon/Xoff")
        << 1200 << 7 << 2 << 2 << 2 << QSerialPort::Data7 << QSerialPort::TwoStop
        << QSerialPort::OddParity << QSerialPort::SoftwareControl;
    QTest::newRow("data bits 5 open as five")
        << 9600 << 5 << 0 << 0 << 0 << QSerialPort::Data5 << QSerialPort::OneStop
        << QSerialPort::NoParity << QSerialPort::NoFlowControl;
    QTest::newRow("baud rate outside the list passes unchanged")
        << 250000 << 6 << 0 << 0 << 0 << QSerialPort::Data6 << QSerialPort::OneStop
        << QSerialPort::NoParity << QSerialPort::NoFlowControl;
}

void TstSerialSettings::storedValuesBecomePortSettings()
{
    QFETCH(int, baudRate);
    QFETCH(int, dataBits);
    QFETCH(int, stopBits);
    QFETCH(int, parity);
    QFETCH(int, flowControl);

    AppDeviceData record("Lab", "COM7", baudRate, dataBits, stopBits, parity, flowControl);
    QSerialPort port;
    applySerialSettings(&port, record);

    QCOMPARE(port.portName(), QStringLiteral("COM7"));
    QCOMPARE(port.baudRate(QSerialPort::Input), baudRate);
    QCOMPARE(port.baudRate(QSerialPort::Output), baudRate);
    QTEST(port.dataBits(), "portDataBits");
    QTEST(port.stopBits(), "portStopBits");
    QTEST(port.parity(), "portParity");
    QTEST(port.flowControl(), "portFlow");
}

void TstSerialSettings::outOfRangePositionsMakeNoCall()
{
    QSerialPort port;
    port.setStopBits(QSerialPort::TwoStop);
    port.setParity(QSerialPort::MarkParity);
    port.setFlowControl(QSerialPort::SoftwareControl);

    AppDeviceData record("Lab", "COM1", 9600, 8, 3, -1, 7);
    applySerialSettings(&port, record);

    QCOMPARE(port.stopBits(), QSerialPort::TwoStop);
    QCOMPARE(port.parity(), QSerialPort::MarkParity);
    QCOMPARE(port.flowControl(), QSerialPort::SoftwareControl);
    QCOMPARE(port.baudRate(), 9600);
}

void TstSerialSettings::portNameIsResolvedThroughTheMappingFolder()
{
    const QString folder = portMappingFolder();
    QVERIFY(folder.startsWith(dataHome->path()));
    QVERIFY(QDir().mkpath(folder));

    QCOMPARE(resolvePortName("COM3"), QStringLiteral("COM3"));

    QVERIFY(QFile::link("/dev/null", folder + "/COM3"));
    QCOMPARE(resolvePortName("COM3"), folder + "/COM3");
    // Names are compared exactly, case included.
    QCOMPARE(resolvePortName("com3"), QStringLiteral("com3"));

    // A mapping whose device has gone is still used, so the open reports the missing device.
    QVERIFY(QFile::link(folder + "/missing", folder + "/COM4"));
    QCOMPARE(resolvePortName("COM4"), folder + "/COM4");

    // The resolved name is what the port is given.
    AppDeviceData record("Lab", "COM3", 9600, 8, 0, 0, 0);
    QSerialPort port;
    applySerialSettings(&port, record);
    QCOMPARE(port.portName(), folder + "/COM3");
}

void TstSerialSettings::unmappedPortNamesPassThrough_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("empty") << QString();
    QTest::newRow("parent folder") << "..";
    QTest::newRow("this folder") << ".";
    QTest::newRow("path") << "../ports/COM1";
    QTest::newRow("absolute") << "/dev/ttyS0";
}

void TstSerialSettings::unmappedPortNamesPassThrough()
{
    QFETCH(QString, name);
    QVERIFY(QDir().mkpath(portMappingFolder()));
    QCOMPARE(resolvePortName(name), name);
}

QTEST_GUILESS_MAIN(TstSerialSettings)
#include "tst_serialsettings.moc"
