// The device, command and history table models and their common row operations, against the
// application's own settings store on real INI files.
#include "data/appcommanddata.h"
#include "data/appdevicedata.h"
#include "data/apphistorydata.h"
#include "data/appsettingsmanager.h"
#include "messageboxcatcher.h"
#include "models/appcommandtablemodel.h"
#include "models/appdevicetablemodel.h"
#include "models/apphistorytablemodel.h"
#include "testapp.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <QScopedPointer>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {

using Tester = QAbstractItemModelTester;
const auto reportToQtTest = QAbstractItemModelTester::FailureReportingMode::QtTest;

const Qt::ItemFlags editable = Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsEnabled;

AppDeviceData *device(const QString &name)
{
    return new AppDeviceData(name, "COM3", 9600, 8, 0, 0, 0);
}

AppHistoryData *historyRecord(const QByteArray &bytes = "ABC")
{
    return new AppHistoryData(
        "06.12.2026 10:15:30.250", "Received", bytes, "COM3", 9600, 8, 1, 0, 0);
}

// Counts how often each record is destroyed.
class DeleteCounter
{
public:
    void watch(QObject *record)
    {
        QObject::connect(
            record, &QObject::destroyed, &context, [this, record] { ++counts[record]; });
    }
    int count(QObject *record) const { return counts.value(record); }
    int total() const
    {
        int sum = 0;
        for (int n : counts)
            sum += n;
        return sum;
    }

private:
    QObject context;
    QHash<QObject *, int> counts;
};

} // namespace

class TstTableModels : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    // Common row operations.
    void addDataAnnouncesTheNewRow();
    void removeDataAnnouncesWhileTheRecordIsListed();
    void removingTheOnlyRowLeavesNone();
    void clearDataAnnouncesAllRowsOnce();
    void clearingAnEmptyModelAnnouncesNothing();
    void destroyingAModelDeletesEveryRecordOnce();
    void rowOperationsIgnoreRowsThatDoNotExist();

    // Headers and flags.
    void headersAreExact();
    void verticalHeaderNumbersRowsFromOne();
    void flagsOfEditableModelsLeaveTheSpacerAlone();
    void historyCellsAreSelectableNotEditable();

    // Device model.
    void deviceCellsShowValuesAndTexts();
    void outOfRangePositionsShowEmptyText();
    void deviceRenameMovesTheStoreEntriesFirst();
    void deviceRenameRefusals_data();
    void deviceRenameRefusals();
    void deviceSettingEdits_data();
    void deviceSettingEdits();
    void deviceEditsWithOtherRolesOrColumnsChangeNothing();
    void unchangedNameIsNotARepeat();

    // Command model.
    void commandCellsShowHexAndAscii();
    void commandByteEdits_data();
    void commandByteEdits();
    void commandHexEditRefusesTextThatIsNotHex_data();
    void commandHexEditRefusesTextThatIsNotHex();
    void commandRenameMovesTheBytes();
    void commandRenameRefusals_data();
    void commandRenameRefusals();
    void commandEditsOfButtonAndSpacerChangeNothing();

    // History model.
    void historyCellsAnswerTheDisplayRoleOnly();
    void historyRefusesEdits();
    void historyRowsStartAtOneAgainAfterClearing();

private:
    AppSettingsManager *store() const { return VerantisTerminalApp::app()->settingsManager(); }
    // The stored values of one saved device, read back through the store.
    std::unique_ptr<AppDeviceData> storedDevice(const QString &name);

    QScopedPointer<MessageBoxCatcher> catcher;
};

void TstTableModels::init()
{
    catcher.reset(new MessageBoxCatcher);
}

void TstTableModels::cleanup()
{
    catcher.reset();
}

std::unique_ptr<AppDeviceData> TstTableModels::storedDevice(const QString &name)
{
    QScopedPointer<QList<AppTableData *>> list(store()->loadDevices());
    AppDeviceData *found = nullptr;
    for (AppTableData *record : qAsConst(*list)) {
        auto *candidate = static_cast<AppDeviceData *>(record);
        if (!found && candidate->name() == name)
            found = candidate;
        else
            delete candidate;
    }
    return std::unique_ptr<AppDeviceData>(found);
}

void TstTableModels::addDataAnnouncesTheNewRow()
{
    AppHistoryTableModel model(new QList<AppTableData *>);
    Tester tester(&model, reportToQtTest);
    QSignalSpy aboutToInsert(&model, &QAbstractItemModel::rowsAboutToBeInserted);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);

    AppHistoryData *first = historyRecord();
    model.addData(first);
    QCOMPARE(aboutToInsert.count(), 1);
    QCOMPARE(aboutToInsert.at(0).at(1).toInt(), 0);
    QCOMPARE(aboutToInsert.at(0).at(2).toInt(), 0);
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(model.getData(0), first);

    model.addData(historyRecord());
    model.addData(historyRecord());
    aboutToInsert.clear();
    model.addData(historyRecord("last"));
    QCOMPARE(aboutToInsert.count(), 1);
    QCOMPARE(aboutToInsert.at(0).at(0).value<QModelIndex>(), QModelIndex());
    QCOMPARE(aboutToInsert.at(0).at(1).toInt(), 3);
    QCOMPARE(aboutToInsert.at(0).at(2).toInt(), 3);
    QCOMPARE(model.rowCount(), 4);
    QCOMPARE(model.data(model.index(3, 3)).toString(), QStringLiteral("last"));
}

void TstTableModels::removeDataAnnouncesWhileTheRecordIsListed()
{
    auto *records = new QList<AppTableData *> { device("RmA"), device("RmB"), device("RmC") };
    DeleteCounter deletes;
    for (AppTableData *record : qAsConst(*records))
        deletes.watch(record);
    AppDeviceTableModel model(records);
    Tester tester(&model, reportToQtTest);
    AppTableData *middle = model.getData(1);

    QStringList seen;
    int deletedBefore = -1;
    int rowsBefore = -1;
    connect(&model, &QAbstractItemModel::rowsAboutToBeRemoved, &model,
        [&](const QModelIndex &, int first, int last) {
            QCOMPARE(first, 1);
            QCOMPARE(last, 1);
            seen << static_cast<AppDeviceData *>(model.getData(first))->name();
            deletedBefore = deletes.count(middle);
            rowsBefore = model.rowCount();
        });
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);

    model.removeData(1);
    QCOMPARE(seen, QStringList { "RmB" });
    QCOMPARE(deletedBefore, 0);
    QCOMPARE(rowsBefore, 3);
    QCOMPARE(removed.count(), 1);
    QCOMPARE(deletes.count(middle), 1);
    QCOMPARE(deletes.total(), 1);
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(model.data(model.index(0, 0)).toString(), QStringLiteral("RmA"));
    QCOMPARE(model.data(model.index(1, 0)).toString(), QStringLiteral("RmC"));
}

void TstTableModels::removingTheOnlyRowLeavesNone()
{
    AppCommandTableModel model(new QList<AppTableData *> { new AppCommandData("only", "x") });
    Tester tester(&model, reportToQtTest);
    DeleteCounter deletes;
    AppTableData *only = model.getData(0);
    deletes.watch(only);
    QString seen;
    connect(&model, &QAbstractItemModel::rowsAboutToBeRemoved, &model,
        [&](const QModelIndex &, int first, int) {
            seen = static_cast<AppCommandData *>(model.getData(first))->name();
        });
    model.removeData(0);
    QCOMPARE(seen, QStringLiteral("only"));
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(deletes.count(only), 1);
}

void TstTableModels::clearDataAnnouncesAllRowsOnce()
{
    AppHistoryTableModel model(new QList<AppTableData *>);
    Tester tester(&model, reportToQtTest);
    DeleteCounter deletes;
    for (int i = 0; i < 5; ++i) {
        AppHistoryData *record = historyRecord();
        deletes.watch(record);
        model.addData(record);
    }
    QSignalSpy aboutToRemove(&model, &QAbstractItemModel::rowsAboutToBeRemoved);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    int deletedWhenAnnounced = -1;
    connect(&model, &QAbstractItemModel::rowsAboutToBeRemoved, &model,
        [&] { deletedWhenAnnounced = deletes.total(); });

    model.clearData();
    QCOMPARE(aboutToRemove.count(), 1);
    QCOMPARE(aboutToRemove.at(0).at(1).toInt(), 0);
    QCOMPARE(aboutToRemove.at(0).at(2).toInt(), 4);
    QCOMPARE(removed.count(), 1);
    QCOMPARE(deletedWhenAnnounced, 0);
    QCOMPARE(deletes.total(), 5);
    QCOMPARE(model.rowCount(), 0);
}

void TstTableModels::clearingAnEmptyModelAnnouncesNothing()
{
    AppHistoryTableModel model(new QList<AppTableData *>);
    Tester tester(&model, reportToQtTest);
    QSignalSpy aboutToRemove(&model, &QAbstractItemModel::rowsAboutToBeRemoved);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    model.clearData();
    QCOMPARE(aboutToRemove.count(), 0);
    QCOMPARE(removed.count(), 0);
    QCOMPARE(reset.count(), 0);
    QCOMPARE(model.rowCount(), 0);
}

void TstTableModels::destroyingAModelDeletesEveryRecordOnce()
{
    DeleteCounter deletes;
    auto *records = new QList<AppTableData *>;
    for (int i = 0; i < 3; ++i) {
        AppHistoryData *record = historyRecord();
        deletes.watch(record);
        records->append(record);
    }
    // A null entry is skipped.
    records->insert(1, nullptr);
    {
        AppHistoryTableModel model(records);
        AppHistoryData *added = historyRecord();
        deletes.watch(added);
        model.addData(added);
        QCOMPARE(deletes.total(), 0);
    }
    QCOMPARE(deletes.total(), 4);
}

void TstTableModels::rowOperationsIgnoreRowsThatDoNotExist()
{
    AppCommandTableModel model(new QList<AppTableData *> { new AppCommandData("only", "x") });
    Tester tester(&model, reportToQtTest);
    QSignalSpy aboutToRemove(&model, &QAbstractItemModel::rowsAboutToBeRemoved);
    QCOMPARE(model.getData(1), nullptr);
    QCOMPARE(model.getData(-1), nullptr);
    model.removeData(1);
    model.removeData(-1);
    QCOMPARE(aboutToRemove.count(), 0);
    QCOMPARE(model.rowCount(), 1);
}

void TstTableModels::headersAreExact()
{
    AppDeviceTableModel devices(new QList<AppTableData *>);
    AppCommandTableModel commands(new QList<AppTableData *>);
    AppHistoryTableModel history(new QList<AppTableData *>);
    Tester deviceTester(&devices, reportToQtTest);
    Tester commandTester(&commands, reportToQtTest);
    Tester historyTester(&history, reportToQtTest);

    const auto headers = [](const QAbstractItemModel &model) {
        QStringList texts;
        for (int i = 0; i < model.columnCount(); ++i) {
            const QVariant header = model.headerData(i, Qt::Horizontal, Qt::DisplayRole);
            if (header.userType() != QMetaType::QString)
                return QStringList { "not a string in column " + QString::number(i) };
            texts << header.toString();
        }
        return texts;
    };
    QCOMPARE(headers(devices),
        QStringList({ "Device Name", "Port Name", "BaudRate", "Data Bits", "Stop Bits", "Parity",
            "Flow Control", "#", "#", "" }));
    QCOMPARE(headers(commands), QStringList({ "Command Name", "HEX", "ASCII", "#", "" }));
    QCOMPARE(headers(history),
        QStringList({ "Time", "Direction", "Bytes", "Ascii", "Port Name", "BaudRate", "Data Bits",
            "Stop Bits", "Parity", "Flow Control", "" }));

    for (const QAbstractItemModel *model :
        { static_cast<QAbstractItemModel *>(&devices), static_cast<QAbstractItemModel *>(&commands),
            static_cast<QAbstractItemModel *>(&history) }) {
        QVERIFY(!model->headerData(0, Qt::Horizontal, Qt::ToolTipRole).isValid());
        QVERIFY(!model->headerData(0, Qt::Horizontal, Qt::EditRole).isValid());
        QVERIFY(!model->headerData(0, Qt::Vertical, Qt::SizeHintRole).isValid());
        // Sections beyond the columns hold nothing rather than reading past the texts.
        QVERIFY(!model->headerData(model->columnCount(), Qt::Horizontal).isValid());
        QVERIFY(!model->headerData(-1, Qt::Horizontal).isValid());
    }
}

void TstTableModels::verticalHeaderNumbersRowsFromOne()
{
    AppDeviceTableModel model(new QList<AppTableData *> { device("VhA"), device("VhB") });
    Tester tester(&model, reportToQtTest);
    QCOMPARE(model.headerData(0, Qt::Vertical, Qt::DisplayRole), QVariant(1));
    QCOMPARE(model.headerData(1, Qt::Vertical, Qt::DisplayRole), QVariant(2));
}

void TstTableModels::flagsOfEditableModelsLeaveTheSpacerAlone()
{
    AppDeviceTableModel devices(new QList<AppTableData *> { device("FlA") });
    AppCommandTableModel commands(new QList<AppTableData *> { new AppCommandData("fl", "x") });
    Tester deviceTester(&devices, reportToQtTest);
    Tester commandTester(&commands, reportToQtTest);
    for (int column = 0; column < 9; ++column)
        QCOMPARE(devices.flags(devices.index(0, column)), editable);
    QCOMPARE(devices.flags(devices.index(0, 9)), Qt::ItemFlags(Qt::ItemIsEnabled));
    for (int column = 0; column < 4; ++column)
        QCOMPARE(commands.flags(commands.index(0, column)), editable);
    QCOMPARE(commands.flags(commands.index(0, 4)), Qt::ItemFlags(Qt::ItemIsEnabled));
}

void TstTableModels::historyCellsAreSelectableNotEditable()
{
    AppHistoryTableModel model(new QList<AppTableData *> { historyRecord() });
    Tester tester(&model, reportToQtTest);
    for (int column = 0; column < 11; ++column)
        QCOMPARE(model.flags(model.index(0, column)), Qt::ItemIsEnabled | Qt::ItemIsSelectable);
}

void TstTableModels::deviceCellsShowValuesAndTexts()
{
    AppDeviceTableModel model(
        new QList<AppTableData *> { new AppDeviceData("Show", "COM12", 115200, 7, 1, 2, 1) });
    Tester tester(&model, reportToQtTest);
    for (int role : { int(Qt::DisplayRole), int(Qt::EditRole) }) {
        QCOMPARE(model.data(model.index(0, 0), role), QVariant(QStringLiteral("Show")));
        QCOMPARE(model.data(model.index(0, 1), role), QVariant(QStringLiteral("COM12")));
        QCOMPARE(model.data(model.index(0, 2), role), QVariant(115200));
        QCOMPARE(model.data(model.index(0, 3), role), QVariant(7));
        QCOMPARE(model.data(model.index(0, 4), role), QVariant(QStringLiteral("OneAndHalfStop")));
        QCOMPARE(model.data(model.index(0, 5), role), QVariant(QStringLiteral("Odd")));
        QCOMPARE(model.data(model.index(0, 6), role), QVariant(QStringLiteral("RTS/CTS")));
        for (int column = 7; column < 10; ++column) {
            const QVariant cell = model.data(model.index(0, column), role);
            QCOMPARE(cell.userType(), int(QMetaType::QString));
            QVERIFY(cell.toString().isEmpty());
        }
    }
    for (int role : { Qt::DecorationRole, Qt::ToolTipRole, Qt::TextAlignmentRole,
             Qt::CheckStateRole, Qt::ForegroundRole, Qt::FontRole }) {
        for (int column = 0; column < 10; ++column)
            QVERIFY(!model.data(model.index(0, column), role).isValid());
    }
}

void TstTableModels::outOfRangePositionsShowEmptyText()
{
    AppDeviceTableModel devices(
        new QList<AppTableData *> { new AppDeviceData("Edited", "COM3", 9600, 8, 7, -1, 99) });
    AppHistoryTableModel history(new QList<AppTableData *> {
        new AppHistoryData("t", "Sent", "A", "COM3", 9600, 8, 3, -1, 99) });
    Tester deviceTester(&devices, reportToQtTest);
    Tester historyTester(&history, reportToQtTest);
    for (int column = 4; column < 7; ++column)
        QCOMPARE(devices.data(devices.index(0, column)), QVariant(QString()));
    for (int column = 7; column < 10; ++column)
        QCOMPARE(history.data(history.index(0, column)), QVariant(QString()));
}

void TstTableModels::deviceRenameMovesTheStoreEntriesFirst()
{
    store()->addDevice("RenA", "COM7", 4800, 2, 7, 1, 2);
    AppDeviceTableModel model(
        new QList<AppTableData *> { new AppDeviceData("RenA", "COM7", 4800, 7, 2, 1, 2) });
    Tester tester(&model, reportToQtTest);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

    const QModelIndex name = model.index(0, 0);
    QVERIFY(model.setData(name, QStringLiteral("RenB"), Qt::EditRole));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).value<QModelIndex>(), name);
    QCOMPARE(changed.at(0).at(1).value<QModelIndex>(), name);
    QVERIFY(changed.at(0).at(2).value<QVector<int>>().isEmpty());
    QCOMPARE(model.data(name).toString(), QStringLiteral("RenB"));
    QCOMPARE(catcher->count(), 0);

    // The store renamed the old name: nothing of RenA is left, all values moved.
    QVERIFY(!store()->deviceExists("RenA"));
    QVERIFY(store()->deviceExists("RenB"));
    std::unique_ptr<AppDeviceData> stored(storedDevice("RenB"));
    QVERIFY(stored);
    QCOMPARE(stored->portName(), QStringLiteral("COM7"));
    QCOMPARE(stored->baudRate(), 4800);
    QCOMPARE(stored->dataBits(), 7);
    QCOMPARE(stored->stopBits(), 2);

    // A later edit goes under the new name.
    QVERIFY(model.setData(model.index(0, 2), 19200, Qt::EditRole));
    QCOMPARE(storedDevice("RenB")->baudRate(), 19200);

    // And it all reaches the files from the event loop.
    QFile names(store()->dataFolder() + "devicenamelist.ini");
    QFile settings(store()->dataFolder() + "devicelist.ini");
    const auto contents = [](QFile &file) {
        file.open(QIODevice::ReadOnly);
        const QByteArray bytes = file.readAll();
        file.close();
        return bytes;
    };
    QTRY_VERIFY_WITH_TIMEOUT(contents(settings).contains("\nRenB_baudrate=19200\n"), 10000);
    QVERIFY(contents(names).contains("\nRenB=1\n"));
    QVERIFY(!contents(names).contains("RenA"));
    QVERIFY(!contents(settings).contains("RenA"));
    store()->removeDevice("RenB");
}

void TstTableModels::deviceRenameRefusals_data()
{
    QTest::addColumn<QString>("newName");
    QTest::addColumn<QString>("message");
    QTest::newRow("other saved name") << "RefOther"
                                      << "Device name repeated.";
    QTest::newRow("blank") << ""
                           << "Device name can not be blank.";
    QTest::newRow("slash") << "Ref/A"
                           << "Device name can not contain / or \\.";
    QTest::newRow("leading slash") << "/lead"
                                   << "Device name can not contain / or \\.";
    QTest::newRow("backslash") << "Ref\\A"
                               << "Device name can not contain / or \\.";
}

void TstTableModels::deviceRenameRefusals()
{
    QFETCH(QString, newName);
    QFETCH(QString, message);
    store()->addDevice("RefA", "COM7", 4800, 2, 7, 1, 2);
    store()->addDevice("RefOther", "COM8", 9600, 0, 8, 0, 0);
    AppDeviceTableModel model(
        new QList<AppTableData *> { new AppDeviceData("RefA", "COM7", 4800, 7, 2, 1, 2) });
    Tester tester(&model, reportToQtTest);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

    QVERIFY(model.setData(model.index(0, 0), newName, Qt::EditRole));
    QCOMPARE(catcher->texts(), QStringList { message });
    QCOMPARE(catcher->titles(), QStringList { "VerantisTerminal" });
    QCOMPARE(changed.count(), 1);
    QCOMPARE(model.data(model.index(0, 0)).toString(), QStringLiteral("RefA"));
    QVERIFY(store()->deviceExists("RefA"));
    QVERIFY(store()->deviceExists("RefOther"));
    QCOMPARE(storedDevice("RefA")->baudRate(), 4800);
    QCOMPARE(storedDevice("RefOther")->portName(), QStringLiteral("COM8"));
    if (!newName.isEmpty() && newName != "RefOther")
        QVERIFY(!store()->deviceExists(newName));
    store()->removeDevice("RefA");
    store()->removeDevice("RefOther");
}

void TstTableModels::deviceSettingEdits_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QVariant>("shown");
    QTest::newRow("port") << 1 << QVariant("COM42") << QVariant("COM42");
    QTest::newRow("baud rate") << 2 << QVariant(19200) << QVariant(19200);
    QTest::newRow("data bits") << 3 << QVariant(7) << QVariant(7);
    QTest::newRow("stop bits") << 4 << QVariant(2) << QVariant("TwoStop");
    QTest::newRow("parity") << 5 << QVariant(1) << QVariant("Even");
    QTest::newRow("flow control") << 6 << QVariant(2) << QVariant("Xon/Xoff");
}

void TstTableModels::deviceSettingEdits()
{
    QFETCH(int, column);
    QFETCH(QVariant, value);
    QFETCH(QVariant, shown);
    store()->addDevice("SetA", "COM3", 9600, 0, 8, 0, 0);
    AppDeviceTableModel model(new QList<AppTableData *> { device("SetA") });
    Tester tester(&model, reportToQtTest);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

    const QModelIndex cell = model.index(0, column);
    QVERIFY(model.setData(cell, value, Qt::EditRole));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).value<QModelIndex>(), cell);
    QCOMPARE(model.data(cell), shown);

    std::unique_ptr<AppDeviceData> stored(storedDevice("SetA"));
    QVERIFY(stored);
    const QVariant storedValues[] = { QVariant(), stored->portName(), stored->baudRate(),
        stored->dataBits(), stored->stopBits(), stored->parity(), stored->flowControl() };
    QCOMPARE(storedValues[column].toString(), value.toString());
    // The other settings kept their values.
    const QVariant before[] = { QVariant(), "COM3", 9600, 8, 0, 0, 0 };
    for (int other = 1; other < 7; ++other) {
        if (other != column)
            QCOMPARE(storedValues[other].toString(), before[other].toString());
    }
    QCOMPARE(catcher->count(), 0);
    store()->removeDevice("SetA");
}

void TstTableModels::deviceEditsWithOtherRolesOrColumnsChangeNothing()
{
    store()->addDevice("RoleA", "COM3", 9600, 0, 8, 0, 0);
    AppDeviceTableModel model(new QList<AppTableData *> { device("RoleA") });
    Tester tester(&model, reportToQtTest);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

    QVERIFY(model.setData(model.index(0, 0), "RoleB", Qt::DisplayRole));
    QVERIFY(model.setData(model.index(0, 2), 1200, Qt::DisplayRole));
    QVERIFY(model.setData(model.index(0, 2), 1200, Qt::CheckStateRole));
    for (int column = 7; column < 10; ++column)
        QVERIFY(model.setData(model.index(0, column), "x", Qt::EditRole));
    QCOMPARE(changed.count(), 6);
    QCOMPARE(model.data(model.index(0, 0)).toString(), QStringLiteral("RoleA"));
    QCOMPARE(model.data(model.index(0, 2)).toInt(), 9600);
    QVERIFY(store()->deviceExists("RoleA"));
    QVERIFY(!store()->deviceExists("RoleB"));
    QCOMPARE(storedDevice("RoleA")->baudRate(), 9600);
    QCOMPARE(catcher->count(), 0);
    store()->removeDevice("RoleA");
}

void TstTableModels::commandCellsShowHexAndAscii()
{
    const QByteArray bytes("\x01\x02\x03\x0a\x41\xff", 6);
    AppCommandTableModel model(new QList<AppTableData *> { new AppCommandData("show", bytes) });
    Tester tester(&model, reportToQtTest);
    for (int role : { int(Qt::DisplayRole), int(Qt::EditRole) }) {
        QCOMPARE(model.data(model.index(0, 0), role), QVariant(QStringLiteral("show")));
        QCOMPARE(model.data(model.index(0, 1), role), QVariant(QStringLiteral("0102030A41FF")));
        QCOMPARE(model.data(model.index(0, 2), role).toString(),
            QString::fromLatin1(bytes.constData(), bytes.size()));
        QVERIFY(!model.data(model.index(0, 3), role).isValid());
        QVERIFY(!model.data(model.index(0, 4), role).isValid());
    }
    for (int column = 0; column < 5; ++column)
        QVERIFY(!model.data(model.index(0, column), Qt::ToolTipRole).isValid());
}

void TstTableModels::commandByteEdits_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("hex") << 1 << "0a1b" << QByteArray("\x0a\x1b", 2);
    QTest::newRow("ascii") << 2 << "abc" << QByteArray("abc");
    QTest::newRow("empty hex") << 1 << "" << QByteArray();
    QTest::newRow("hex in spaced groups") << 1 << "41 54 0d" << QByteArray("AT\r");
}

void TstTableModels::commandByteEdits()
{
    QFETCH(int, column);
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    store()->addCommand("edit", "old");
    AppCommandTableModel model(new QList<AppTableData *> { new AppCommandData("edit", "old") });
    Tester tester(&model, reportToQtTest);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

    const QModelIndex cell = model.index(0, column);
    QVERIFY(model.setData(cell, text, Qt::EditRole));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).value<QModelIndex>(), cell);
    QCOMPARE(changed.at(0).at(1).value<QModelIndex>(), cell);
    QCOMPARE(store()->commandBytes("edit"), bytes);
    QCOMPARE(static_cast<AppCommandData *>(model.getData(0))->bytes(), bytes);
    QCOMPARE(model.data(model.index(0, 1)).toString(), bytes.toHex().toUpper());
    QCOMPARE(model.data(model.index(0, 2)).toString(), QString::fromLatin1(bytes));
    store()->removeCommand("edit");
}

void TstTableModels::commandHexEditRefusesTextThatIsNotHex_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    QTest::newRow("letters") << "zz"
                             << "HEX can only hold hex digits: zz";
    QTest::newRow("one bad group among good ones") << "41 g1 42"
                                                   << "HEX can only hold hex digits: g1";
    QTest::newRow("dash") << "4-1"
                          << "HEX can only hold hex digits: 4-1";
}

void TstTableModels::commandHexEditRefusesTextThatIsNotHex()
{
    QFETCH(QString, text);
    QFETCH(QString, message);
    store()->addCommand("bad", "old");
    AppCommandTableModel model(new QList<AppTableData *> { new AppCommandData("bad", "old") });
    Tester tester(&model, reportToQtTest);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

    QVERIFY(model.setData(model.index(0, 1), text, Qt::EditRole));
    QCOMPARE(catcher->texts(), QStringList { message });
    QCOMPARE(changed.count(), 1);
    QCOMPARE(static_cast<AppCommandData *>(model.getData(0))->bytes(), QByteArray("old"));
    QCOMPARE(store()->commandBytes("bad"), QByteArray("old"));
    store()->removeCommand("bad");
}

void TstTableModels::unchangedNameIsNotARepeat()
{
    // Qt commits a name cell that was only looked at.
    store()->addDevice("Same", "COM7", 4800, 2, 7, 1, 2);
    store()->addCommand("same", "s");
    AppDeviceTableModel devices(
        new QList<AppTableData *> { new AppDeviceData("Same", "COM7", 4800, 7, 2, 1, 2) });
    AppCommandTableModel commands(new QList<AppTableData *> { new AppCommandData("same", "s") });
    QSignalSpy deviceChanged(&devices, &QAbstractItemModel::dataChanged);
    QSignalSpy commandChanged(&commands, &QAbstractItemModel::dataChanged);

    QVERIFY(devices.setData(devices.index(0, 0), "Same", Qt::EditRole));
    QVERIFY(commands.setData(commands.index(0, 0), "same", Qt::EditRole));
    QCOMPARE(catcher->texts(), QStringList());
    QCOMPARE(deviceChanged.count(), 1);
    QCOMPARE(commandChanged.count(), 1);
    QCOMPARE(devices.data(devices.index(0, 0)).toString(), QStringLiteral("Same"));
    QCOMPARE(storedDevice("Same")->baudRate(), 4800);
    QCOMPARE(storedDevice("Same")->stopBits(), 2);
    QCOMPARE(store()->commandBytes("same"), QByteArray("s"));

    // Another name already saved is still refused.
    QVERIFY(commands.setData(commands.index(0, 0), "other", Qt::EditRole));
    QCOMPARE(catcher->count(), 0);
    store()->addCommand("taken", "t");
    QVERIFY(commands.setData(commands.index(0, 0), "taken", Qt::EditRole));
    QCOMPARE(catcher->texts(), QStringList { "Command name repeated" });
    QCOMPARE(commands.data(commands.index(0, 0)).toString(), QStringLiteral("other"));
    store()->removeDevice("Same");
    for (const char *name : { "other", "taken" })
        store()->removeCommand(name);
}

void TstTableModels::commandRenameMovesTheBytes()
{
    store()->addCommand("renA", QByteArray("\x00\x01", 2));
    AppCommandTableModel model(
        new QList<AppTableData *> { new AppCommandData("renA", QByteArray("\x00\x01", 2)) });
    Tester tester(&model, reportToQtTest);
    QVERIFY(model.setData(model.index(0, 0), "renB", Qt::EditRole));
    QCOMPARE(model.data(model.index(0, 0)).toString(), QStringLiteral("renB"));
    QCOMPARE(model.data(model.index(0, 1)).toString(), QStringLiteral("0001"));
    QVERIFY(!store()->commandExists("renA"));
    QCOMPARE(store()->commandBytes("renB"), QByteArray("\x00\x01", 2));
    QVERIFY(model.setData(model.index(0, 1), "ff", Qt::EditRole));
    QCOMPARE(store()->commandBytes("renB"), QByteArray("\xff"));
    QVERIFY(!store()->commandExists("renA"));
    QCOMPARE(catcher->count(), 0);
    store()->removeCommand("renB");
}

void TstTableModels::commandRenameRefusals_data()
{
    QTest::addColumn<QString>("newName");
    QTest::addColumn<QString>("message");
    QTest::newRow("other saved name") << "refOther"
                                      << "Command name repeated";
    QTest::newRow("blank") << ""
                           << "Command name can not be blank.";
    QTest::newRow("trailing slash") << "ref/"
                                    << "Command name can not contain / or \\.";
    QTest::newRow("backslash") << "r\\ef"
                               << "Command name can not contain / or \\.";
}

void TstTableModels::commandRenameRefusals()
{
    QFETCH(QString, newName);
    QFETCH(QString, message);
    store()->addCommand("refA", "a");
    store()->addCommand("refOther", "o");
    AppCommandTableModel model(new QList<AppTableData *> { new AppCommandData("refA", "a") });
    Tester tester(&model, reportToQtTest);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

    QVERIFY(model.setData(model.index(0, 0), newName, Qt::EditRole));
    QCOMPARE(catcher->texts(), QStringList { message });
    QCOMPARE(changed.count(), 1);
    QCOMPARE(model.data(model.index(0, 0)).toString(), QStringLiteral("refA"));
    QCOMPARE(store()->commandBytes("refA"), QByteArray("a"));
    QCOMPARE(store()->commandBytes("refOther"), QByteArray("o"));
    store()->removeCommand("refA");
    store()->removeCommand("refOther");
}

void TstTableModels::commandEditsOfButtonAndSpacerChangeNothing()
{
    store()->addCommand("btn", "b");
    AppCommandTableModel model(new QList<AppTableData *> { new AppCommandData("btn", "b") });
    Tester tester(&model, reportToQtTest);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QVERIFY(model.setData(model.index(0, 3), "41", Qt::EditRole));
    QVERIFY(model.setData(model.index(0, 4), "41", Qt::EditRole));
    QVERIFY(model.setData(model.index(0, 1), "41", Qt::DisplayRole));
    QCOMPARE(changed.count(), 3);
    QCOMPARE(store()->commandBytes("btn"), QByteArray("b"));
    QCOMPARE(model.data(model.index(0, 2)).toString(), QStringLiteral("b"));
    store()->removeCommand("btn");
}

void TstTableModels::historyCellsAnswerTheDisplayRoleOnly()
{
    AppHistoryTableModel model(new QList<AppTableData *> { historyRecord() });
    Tester tester(&model, reportToQtTest);
    const QVariant expected[] = { "06.12.2026 10:15:30.250", "Received", "414243", "ABC", "COM3",
        9600, 8, "OneAndHalfStop", "None", "OFF", QString() };
    for (int column = 0; column < 11; ++column) {
        const QVariant cell = model.data(model.index(0, column), Qt::DisplayRole);
        QCOMPARE(cell, expected[column]);
        QCOMPARE(cell.userType(), expected[column].userType());
        QVERIFY(!model.data(model.index(0, column), Qt::EditRole).isValid());
        QVERIFY(!model.data(model.index(0, column), Qt::ToolTipRole).isValid());
    }
}

void TstTableModels::historyRefusesEdits()
{
    AppHistoryTableModel model(new QList<AppTableData *> { historyRecord() });
    Tester tester(&model, reportToQtTest);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QVERIFY(!model.setData(model.index(0, 1), "Sent", Qt::EditRole));
    QCOMPARE(changed.count(), 0);
    QCOMPARE(model.data(model.index(0, 1)).toString(), QStringLiteral("Received"));
}

void TstTableModels::historyRowsStartAtOneAgainAfterClearing()
{
    AppHistoryTableModel model(new QList<AppTableData *> { historyRecord(), historyRecord() });
    Tester tester(&model, reportToQtTest);
    model.clearData();
    model.addData(historyRecord("new"));
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(model.data(model.index(0, 3)).toString(), QStringLiteral("new"));
    QCOMPARE(model.headerData(0, Qt::Vertical), QVariant(1));
}

VT_TEST_MAIN(TstTableModels)
#include "tst_tablemodels.moc"
