// The main window's form: widget tree, captions, sizes, choice lists, table headers and style,
// checked on the application's own window and on the form built onto a bare QMainWindow.
#include "app/verantisterminalapp.h"
#include "models/appcommandtabledelegate.h"
#include "models/appcommandtablemodel.h"
#include "models/appdevicetabledelegate.h"
#include "models/appdevicetablemodel.h"
#include "models/apphistorytablemodel.h"
#include "models/settingcombos.h"
#include "serial/portlist.h"
#include "ui/appmainwin.h"
#include "ui/appmainwinform.h"
#include "ui/stylesheet.h"

#include "testapp.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTableView>
#include <QToolBar>

namespace {

// Written out independently of the application's copy, so a stray edit to either shows up.
const char expectedSheet[] = "QToolTip{\n"
                             "\tcolor : black;\n"
                             "}\n"
                             "QWidget#centralWidget{\n"
                             "\tbackground : #333333;\n"
                             "}\n"
                             "QDialog{\n"
                             "\tbackground : #333333;\n"
                             "}\n"
                             "QGroupBox{\n"
                             "\tcolor : white;\n"
                             "\tmargin-top : 2ex;\n"
                             "\tborder-radius : 5px;\n"
                             "\tpadding : 8px;\n"
                             "\tpadding-top : 13px;\n"
                             "\t border-style: outset;\n"
                             " \t border-width: 2px;\n"
                             "\t border-color: #1f1f1f;\n"
                             "}\n"
                             "QMenuBar#menuBar{\n"
                             "\n"
                             "\tbackground : #5c5c5c;\n"
                             "\tcolor : white;\n"
                             "\t border-bottom-style: outset;\n"
                             " \t border-bottom-width: 1px;\n"
                             "\t border-bottom-color: #222222;\n"
                             "}\n"
                             "QMenu{\n"
                             "\tbackground : grey;\n"
                             "\tcolor : black;\n"
                             "}\n"
                             "QMenu::item:selected{\n"
                             "\tbackground : #c9c9c9;\n"
                             "}\n"
                             "QStatusBar#statusBar{\n"
                             "\tbackground : #5c5c5c;\n"
                             "\tcolor : white;\n"
                             "\tborder-top-style: outset;\n"
                             " \tborder-top-width: 1px;\n"
                             "\tborder-top-color: #222222;\n"
                             "}\n"
                             "QPushButton{\n"
                             "\tcolor : white;\n"
                             "\tbackground : #5c5c5c;\n"
                             "\tpadding : 8px 5px;\n"
                             "\tborder-radius : 3px;\n"
                             "\tmin-width : 60px;\n"
                             "}\n"
                             "QPushButton:focus{\n"
                             "\tborder : 2px solid #8ab4f8;\n"
                             "\tpadding : 6px 3px;\n"
                             "}\n"
                             "QPushButton[current=\"true\"]{\n"
                             "\tborder : 2px solid #8ab4f8;\n"
                             "\tpadding : 6px 3px;\n"
                             "}\n"
                             "QPushButton:hover{\n"
                             "\tbackground : #727272;\n"
                             "}\n"
                             "\n"
                             "QPushButton:pressed{\n"
                             "\tbackground : #474747;\n"
                             "}\n"
                             "\n"
                             "QPushButton:disabled{\n"
                             "\tcolor : #b0b0b0;\n"
                             "\tbackground : #333333;\n"
                             "}\n"
                             "QLineEdit{\n"
                             "\tcolor : white;\n"
                             "\tbackground : #111111;\n"
                             "\tpadding : 3px;\n"
                             "\tborder-radius : 3px;\n"
                             "\tborder-color : #474747;\n"
                             "\tborder-width : 1px;\n"
                             "\tborder-style : inset;\n"
                             "}\n"
                             "QTextEdit{\n"
                             "\tcolor : white;\n"
                             "\tbackground : #111111;\n"
                             "\tpadding : 3px;\n"
                             "\tborder-radius : 3px;\n"
                             "\tborder-color : white;\n"
                             "\tborder-width : 1px;\n"
                             "}\n"
                             "QComboBox{\n"
                             "\tcolor : white;\n"
                             "\tbackground : #111111;\n"
                             "\tpadding : 3px;\n"
                             "\tmin-width : 40px;\n"
                             "\tborder-radius : 3px;\n"
                             "\tborder-style : inset;\n"
                             "\tborder-width : 1px;\n"
                             "\tborder-color : #474747;\n"
                             "}\n"
                             "QLineEdit:focus, QComboBox:focus, QTextEdit:focus{\n"
                             "\tborder : 1px solid #8ab4f8;\n"
                             "}\n"
                             "QComboBox::drop-down{\n"
                             "\t\n"
                             "}\n"
                             "QComboBox QAbstractItemView{\n"
                             "\tbackground-color : black;\n"
                             "\tcolor : white;\n"
                             "}\n"
                             "QSlider::handle{\n"
                             "\tbackground : grey;\n"
                             "}\n"
                             "QSlider::handle:hover{\n"
                             "\tbackground : #c9c9c9;\n"
                             "}\n"
                             "QSlider::handle:pressed{\n"
                             "\tbackground : #474747;\n"
                             "}\n"
                             "QLabel{\n"
                             "\tcolor : white;\n"
                             "}\n"
                             "QRadioButton{\n"
                             "\tcolor : white;\n"
                             "}\n"
                             "QCheckBox{\n"
                             "\tcolor : white;\n"
                             "}\n"
                             "QRadioButton::indicator{\n"
                             "\t border-style: outset;\n"
                             " \t border-width: 2px;\n"
                             "\t border-color: #1f1f1f;\n"
                             "\tbackground : white;\n"
                             "\tborder-radius : 6px;\n"
                             "}\n"
                             "QRadioButton::indicator:checked{\n"
                             "\t border-style: outset;\n"
                             " \t border-width: 2px;\n"
                             "\t border-color: white;\n"
                             "\tbackground : #1f1f1f;\n"
                             "\tborder-radius : 6px;\n"
                             "}\n"
                             "QCheckBox::indicator{\n"
                             "\t border-style: outset;\n"
                             " \t border-width: 2px;\n"
                             "\t border-color: #1f1f1f;\n"
                             "\tbackground : white;\n"
                             "}\n"
                             "QCheckBox::indicator:checked{\n"
                             "\t border-style: outset;\n"
                             " \t border-width: 2px;\n"
                             "\t border-color: white;\n"
                             "\tbackground : #1f1f1f;\n"
                             "}\n"
                             "QHeaderView::section{\n"
                             "\n"
                             "\tborder-style : outset;\n"
                             "\tborder-width : 1px;\n"
                             "\tborder-color : #c9c9c9;\n"
                             "}";

QMainWindow *mainWindow()
{
    return VerantisTerminalApp::app()->mainWin();
}

template<typename T> T *child(const char *name)
{
    return mainWindow()->findChild<T *>(QString::fromLatin1(name));
}

// The object name of what a layout item holds: a widget, a nested layout or a spacer.
QString itemName(QLayoutItem *item)
{
    if (item->widget())
        return item->widget()->objectName();
    if (item->layout())
        return item->layout()->objectName();
    return QStringLiteral("<spacer>");
}

QStringList itemNames(const QLayout *layout)
{
    QStringList names;
    for (int i = 0; i < layout->count(); ++i)
        names << itemName(layout->itemAt(i));
    return names;
}

QColor pixelAt(QWidget *widget, QPoint point)
{
    return widget->grab().toImage().pixelColor(point);
}

} // namespace

// A window with a slot in the pattern that the form's connect-by-name pass picks up.
class SlotsByNameWindow : public QMainWindow
{
    Q_OBJECT
public:
    int openClicks = 0;

public slots:
    void on_deviceOpenBtn_clicked() { ++openClicks; }
};

class TstAppMainWinForm : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void widgetsAreCreatedInFormOrder();
    void layoutsHoldTheirItemsInOrder();
    void captions_data();
    void captions();
    void labelAlignments_data();
    void labelAlignments();
    void sizePolicies_data();
    void sizePolicies();
    void nameFieldsAreAtLeast120Wide();
    void layoutSpacingAndMargins();
    void itemsHaveNoStretchOrAlignment();
    void combosHoldTheSettingTexts_data();
    void combosHoldTheSettingTexts();
    void combosAreFixedTextOnlyLists();
    void tableHeaderSettings();
    void tablesShowTheirModelsAndDelegates();
    void styleSheetIsTheDarkLookExactly();
    void styleReachesEveryWidget();
    void windowTitleAndObjectName();
    void noMenuToolOrStatusBar();
    void formOnBareWindowSetsNameSizeAndSheet();
    void formKeepsAnExistingObjectName();
    void formRunsConnectSlotsByName();
    void retranslateRestoresCaptions();
    void windowIsSizedByItsLayoutNotTheFormSize();
    void deletingTheWindowDeletesItsModelsAndDelegates();
};

void TstAppMainWinForm::initTestCase()
{
    QVERIFY(mainWindow());
    QVERIFY(qobject_cast<AppMainWin *>(mainWindow()));
}

void TstAppMainWinForm::widgetsAreCreatedInFormOrder()
{
    QWidget *central = mainWindow()->centralWidget();
    QVERIFY(central);
    QCOMPARE(central->objectName(), QStringLiteral("centralWidget"));
    QCOMPARE(central->metaObject()->className(), "QWidget");

    const QList<QPair<QString, QByteArray>> expected {
        { "verticalLayout", "QVBoxLayout" },
        { "label_10", "QLabel" },
        { "deviceNameEdit", "QLineEdit" },
        { "label_4", "QLabel" },
        // A combo that asks the system for its ports when it opens.
        { "portCombo", "PortCombo" },
        { "label_5", "QLabel" },
        { "baudRateCombo", "QComboBox" },
        { "label_6", "QLabel" },
        { "dataBitsCombo", "QComboBox" },
        { "label_7", "QLabel" },
        { "stopBitsCombo", "QComboBox" },
        { "label_8", "QLabel" },
        { "parityCombo", "QComboBox" },
        { "label_9", "QLabel" },
        { "flowControlCombo", "QComboBox" },
        { "deviceOpenBtn", "QPushButton" },
        { "deviceSaveBtn", "QPushButton" },
        { "label", "QLabel" },
        { "commandNameEdit", "QLineEdit" },
        { "label_2", "QLabel" },
        { "hexEdit", "QLineEdit" },
        { "label_3", "QLabel" },
        { "asciiEdit", "QLineEdit" },
        { "commandSaveBtn", "QPushButton" },
        { "label_11", "QLabel" },
        { "deviceTable", "QTableView" },
        { "label_12", "QLabel" },
        { "commandTable", "QTableView" },
        { "label_13", "QLabel" },
        { "historyPortFilter", "QComboBox" },
        { "historyDirFilter", "QComboBox" },
        { "saveShownCheck", "QCheckBox" },
        { "saveHistoryBtn", "QPushButton" },
        { "clearHistoryBtn", "QPushButton" },
        { "historyTable", "QTableView" },
        { "historyScrollBar", "QScrollBar" },
        { "logFolderCheck", "QCheckBox" },
        { "logFolderEdit", "QLineEdit" },
        { "logFolderBtn", "QPushButton" },
        { "historyFindBar", "FindBar" },
    };
    QList<QPair<QString, QByteArray>> actual;
    for (QObject *object : central->children()) {
        // The style may hang animation helpers on the widget; only the form's objects count.
        if (object->isWidgetType() || qobject_cast<QLayout *>(object))
            actual.append({ object->objectName(), object->metaObject()->className() });
    }
    QCOMPARE(actual, expected);

    // The nested row layouts belong to the top layout, in row order.
    QStringList nested;
    for (QObject *object : central->layout()->children()) {
        QCOMPARE(object->metaObject()->className(), "QHBoxLayout");
        nested << object->objectName();
    }
    QCOMPARE(nested,
        QStringList({ "horizontalLayout_2", "horizontalLayout", "horizontalLayout_3",
            "historyFindRow", "historyRow", "logFolderRow" }));
}

void TstAppMainWinForm::layoutsHoldTheirItemsInOrder()
{
    QCOMPARE(mainWindow()->centralWidget()->layout(), child<QVBoxLayout>("verticalLayout"));
    QCOMPARE(itemNames(child<QVBoxLayout>("verticalLayout")),
        QStringList({ "horizontalLayout_2", "horizontalLayout", "label_11", "deviceTable",
            "label_12", "commandTable", "horizontalLayout_3", "historyFindRow", "historyRow",
            "logFolderRow" }));
    QCOMPARE(itemNames(child<QHBoxLayout>("historyRow")),
        QStringList({ "historyTable", "historyScrollBar" }));
    QCOMPARE(itemNames(child<QHBoxLayout>("horizontalLayout_2")),
        QStringList({ "label_10", "deviceNameEdit", "label_4", "portCombo", "label_5",
            "baudRateCombo", "label_6", "dataBitsCombo", "label_7", "stopBitsCombo", "label_8",
            "parityCombo", "label_9", "flowControlCombo", "deviceOpenBtn", "deviceSaveBtn" }));
    QCOMPARE(itemNames(child<QHBoxLayout>("horizontalLayout")),
        QStringList({ "label", "commandNameEdit", "label_2", "hexEdit", "label_3", "asciiEdit",
            "commandSaveBtn" }));
    QCOMPARE(itemNames(child<QHBoxLayout>("horizontalLayout_3")),
        QStringList({ "label_13", "historyPortFilter", "historyDirFilter", "saveShownCheck",
            "saveHistoryBtn", "clearHistoryBtn" }));
}

void TstAppMainWinForm::captions_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::newRow("label_10") << "label_10"
                              << "Device Name";
    QTest::newRow("label_4") << "label_4"
                             << "Port";
    QTest::newRow("label_5") << "label_5"
                             << "BaudRate";
    QTest::newRow("label_6") << "label_6"
                             << "Data Bits";
    QTest::newRow("label_7") << "label_7"
                             << "Stop Bits";
    QTest::newRow("label_8") << "label_8"
                             << "Parity";
    QTest::newRow("label_9") << "label_9"
                             << "Flow Control";
    QTest::newRow("deviceOpenBtn") << "deviceOpenBtn"
                                   << "Open";
    QTest::newRow("deviceSaveBtn") << "deviceSaveBtn"
                                   << "Save";
    QTest::newRow("label") << "label"
                           << "Command Name";
    QTest::newRow("label_2") << "label_2"
                             << "HEX";
    QTest::newRow("label_3") << "label_3"
                             << "ASCII";
    QTest::newRow("commandSaveBtn") << "commandSaveBtn"
                                    << "Save";
    QTest::newRow("label_11") << "label_11"
                              << "Saved Devices";
    QTest::newRow("label_12") << "label_12"
                              << "Saved Commands";
    QTest::newRow("label_13") << "label_13"
                              << "History";
    QTest::newRow("saveHistoryBtn") << "saveHistoryBtn"
                                    << "Save History";
    QTest::newRow("clearHistoryBtn") << "clearHistoryBtn"
                                     << "Clear History";
}

void TstAppMainWinForm::captions()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QWidget *widget = mainWindow()->findChild<QWidget *>(name);
    QVERIFY(widget);
    QCOMPARE(widget->property("text").toString(), caption);
}

void TstAppMainWinForm::labelAlignments_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("alignment");
    const int rightCentre = int(Qt::AlignRight | Qt::AlignVCenter);
    const int labelDefault = int(QLabel().alignment());
    for (const char *name : { "label_10", "label_4", "label_5", "label_6", "label_7", "label_8",
             "label_9", "label", "label_2", "label_3" })
        QTest::newRow(name) << name << rightCentre;
    QTest::newRow("label_11") << "label_11" << labelDefault;
    QTest::newRow("label_12") << "label_12" << labelDefault;
    QTest::newRow("label_13") << "label_13" << int(Qt::AlignLeft | Qt::AlignBottom);
}

void TstAppMainWinForm::labelAlignments()
{
    QFETCH(QString, name);
    QFETCH(int, alignment);
    QLabel *label = mainWindow()->findChild<QLabel *>(name);
    QVERIFY(label);
    QCOMPARE(int(label->alignment()), alignment);
}

void TstAppMainWinForm::sizePolicies_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("horizontal");
    QTest::addColumn<int>("vertical");
    QTest::newRow("deviceNameEdit")
        << "deviceNameEdit" << int(QSizePolicy::Minimum) << int(QSizePolicy::Fixed);
    QTest::newRow("deviceSaveBtn")
        << "deviceSaveBtn" << int(QSizePolicy::Minimum) << int(QSizePolicy::Fixed);
    QTest::newRow("commandNameEdit")
        << "commandNameEdit" << int(QSizePolicy::Minimum) << int(QSizePolicy::Fixed);
    QTest::newRow("saveHistoryBtn")
        << "saveHistoryBtn" << int(QSizePolicy::Fixed) << int(QSizePolicy::Fixed);
    QTest::newRow("clearHistoryBtn")
        << "clearHistoryBtn" << int(QSizePolicy::Fixed) << int(QSizePolicy::Preferred);
    // Widgets the form leaves alone keep their class's own policy.
    QTest::newRow("hexEdit") << "hexEdit" << int(QLineEdit().sizePolicy().horizontalPolicy())
                             << int(QLineEdit().sizePolicy().verticalPolicy());
    QTest::newRow("portCombo") << "portCombo" << int(QComboBox().sizePolicy().horizontalPolicy())
                               << int(QComboBox().sizePolicy().verticalPolicy());
    QTest::newRow("deviceTable") << "deviceTable"
                                 << int(QTableView().sizePolicy().horizontalPolicy())
                                 << int(QTableView().sizePolicy().verticalPolicy());
}

void TstAppMainWinForm::sizePolicies()
{
    QFETCH(QString, name);
    QFETCH(int, horizontal);
    QFETCH(int, vertical);
    QWidget *widget = mainWindow()->findChild<QWidget *>(name);
    QVERIFY(widget);
    const QSizePolicy policy = widget->sizePolicy();
    QCOMPARE(int(policy.horizontalPolicy()), horizontal);
    QCOMPARE(int(policy.verticalPolicy()), vertical);
    QCOMPARE(policy.horizontalStretch(), 0);
    QCOMPARE(policy.verticalStretch(), 0);
    QVERIFY(!policy.hasHeightForWidth());
}

void TstAppMainWinForm::nameFieldsAreAtLeast120Wide()
{
    QCOMPARE(child<QLineEdit>("deviceNameEdit")->minimumSize(), QSize(120, 0));
    QCOMPARE(child<QLineEdit>("commandNameEdit")->minimumSize(), QSize(120, 0));
    QCOMPARE(child<QLineEdit>("hexEdit")->minimumSize(), QSize(0, 0));
    QVERIFY(child<QLineEdit>("deviceNameEdit")->width() >= 120);
    QVERIFY(child<QLineEdit>("commandNameEdit")->width() >= 120);
}

void TstAppMainWinForm::layoutSpacingAndMargins()
{
    auto *top = child<QVBoxLayout>("verticalLayout");
    QCOMPARE(top->spacing(), 6);
    QCOMPARE(top->contentsMargins(), QMargins(11, 11, 11, 11));
    for (const char *name : { "horizontalLayout_2", "horizontalLayout", "horizontalLayout_3" }) {
        auto *row = child<QHBoxLayout>(name);
        QVERIFY2(row, name);
        QCOMPARE(row->spacing(), 6);
        QCOMPARE(row->contentsMargins(), QMargins(0, 0, 0, 0));
    }
}

void TstAppMainWinForm::itemsHaveNoStretchOrAlignment()
{
    for (const char *name :
        { "verticalLayout", "horizontalLayout_2", "horizontalLayout", "horizontalLayout_3" }) {
        auto *layout = child<QBoxLayout>(name);
        QVERIFY2(layout, name);
        for (int i = 0; i < layout->count(); ++i) {
            const QString where = QStringLiteral("%1 item %2").arg(name).arg(i);
            QVERIFY2(layout->stretch(i) == 0, qPrintable(where));
            QVERIFY2(layout->itemAt(i)->alignment() == 0, qPrintable(where));
        }
    }
}

void TstAppMainWinForm::combosHoldTheSettingTexts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QString>("current");
    // The ports this machine has come first, above a separator line.
    QStringList ports;
    for (const PortChoice &choice : portChoices(foundPorts())) {
        if (choice.name == QLatin1String("COM1") && !ports.isEmpty())
            ports << QString();
        ports << choice.name;
    }
    QCOMPARE(ports.mid(ports.size() - 100).first(), QStringLiteral("COM1"));
    QCOMPARE(ports.last(), QStringLiteral("COM100"));
    QTest::newRow("port") << "portCombo" << ports << "COM1";
    QTest::newRow("baud rate") << "baudRateCombo"
                               << QStringList({ "1200", "2400", "4800", "9600", "19200", "38400",
                                      "57600", "115200", "230400", "460800", "921600", "1000000",
                                      "2000000", "3000000" })
                               << "9600";
    QTest::newRow("data bits") << "dataBitsCombo" << QStringList({ "7", "8" }) << "8";
    QTest::newRow("stop bits") << "stopBitsCombo"
                               << QStringList({ "OneStop", "OneAndHalfStop", "TwoStop" })
                               << "OneStop";
    QTest::newRow("parity") << "parityCombo" << QStringList({ "None", "Even", "Odd" }) << "None";
    QTest::newRow("flow control") << "flowControlCombo"
                                  << QStringList({ "OFF", "RTS/CTS", "Xon/Xoff" }) << "OFF";
}

void TstAppMainWinForm::combosHoldTheSettingTexts()
{
    QFETCH(QString, name);
    QFETCH(QStringList, items);
    QFETCH(QString, current);
    QComboBox *combo = mainWindow()->findChild<QComboBox *>(name);
    QVERIFY(combo);
    QStringList actual;
    for (int i = 0; i < combo->count(); ++i)
        actual << combo->itemText(i);
    QCOMPARE(actual, items);
    QCOMPARE(combo->currentText(), current);
    QCOMPARE(combo->currentIndex(), items.indexOf(current));
}

void TstAppMainWinForm::combosAreFixedTextOnlyLists()
{
    const QList<QComboBox *> combos = mainWindow()->findChildren<QComboBox *>();
    // The six settings, the history's two filters and its find mode.
    QCOMPARE(combos.size(), 9);
    for (QComboBox *combo : combos) {
        // Any positive rate can be typed; the other settings are picked from their lists.
        QCOMPARE(combo->isEditable(), combo->objectName() == QLatin1String("baudRateCombo"));
        for (int i = 0; i < combo->count(); ++i) {
            QVERIFY(combo->itemIcon(i).isNull());
            QVERIFY(!combo->itemData(i, Qt::UserRole).isValid());
        }
    }
    // The entry forms start empty.
    QVERIFY(child<QLineEdit>("deviceNameEdit")->text().isEmpty());
    QVERIFY(child<QLineEdit>("commandNameEdit")->text().isEmpty());
    QVERIFY(child<QLineEdit>("hexEdit")->text().isEmpty());
    QVERIFY(child<QLineEdit>("asciiEdit")->text().isEmpty());
}

void TstAppMainWinForm::tableHeaderSettings()
{
    // Built now, like the plain table below: Qt's defaults depend on the screen settings in force
    // when a header is created.
    AppMainWin window;
    QWidget host;
    host.setStyleSheet(mainWindowStyleSheet());
    QTableView plain(&host);
    const QHeaderView *qtDefault = plain.horizontalHeader();

    const QHeaderView *devices = window.findChild<QTableView *>("deviceTable")->horizontalHeader();
    QVERIFY(devices->cascadingSectionResizes());
    QCOMPARE(devices->defaultSectionSize(), 100);
    QCOMPARE(devices->minimumSectionSize(), 39);
    QVERIFY(!devices->isSortIndicatorShown());
    QVERIFY(devices->stretchLastSection());

    const QHeaderView *commands
        = window.findChild<QTableView *>("commandTable")->horizontalHeader();
    QVERIFY(commands->cascadingSectionResizes());
    QCOMPARE(commands->defaultSectionSize(), qtDefault->defaultSectionSize());
    QCOMPARE(commands->minimumSectionSize(), qtDefault->minimumSectionSize());
    QVERIFY(!commands->isSortIndicatorShown());
    QVERIFY(commands->stretchLastSection());

    const QHeaderView *history = window.findChild<QTableView *>("historyTable")->horizontalHeader();
    QVERIFY(history->cascadingSectionResizes());
    QCOMPARE(history->defaultSectionSize(), 80);
    QCOMPARE(history->minimumSectionSize(), qtDefault->minimumSectionSize());
    QVERIFY(!history->isSortIndicatorShown());
    QVERIFY(history->stretchLastSection());

    // The settings really differ from Qt's, so the checks above can tell them apart.
    QVERIFY(!qtDefault->cascadingSectionResizes());
    QVERIFY(!qtDefault->stretchLastSection());
    QVERIFY(qtDefault->defaultSectionSize() != 80);
}

void TstAppMainWinForm::tablesShowTheirModelsAndDelegates()
{
    auto *deviceTable = child<QTableView>("deviceTable");
    auto *commandTable = child<QTableView>("commandTable");
    auto *historyTable = child<QTableView>("historyTable");

    auto *deviceModel = qobject_cast<AppDeviceTableModel *>(deviceTable->model());
    auto *commandModel = qobject_cast<AppCommandTableModel *>(commandTable->model());
    auto *historyModel = qobject_cast<AppHistoryTableModel *>(historyTable->model());
    QVERIFY(deviceModel);
    QVERIFY(commandModel);
    QVERIFY(historyModel);
    QVERIFY(!deviceModel->parent());
    QVERIFY(!commandModel->parent());
    QVERIFY(!historyModel->parent());
    QCOMPARE(historyModel->rowCount(), 0);

    auto *deviceDelegate = dynamic_cast<AppDeviceTableDelegate *>(deviceTable->itemDelegate());
    auto *commandDelegate = dynamic_cast<AppCommandTableDelegate *>(commandTable->itemDelegate());
    QVERIFY(deviceDelegate);
    QVERIFY(commandDelegate);
    QVERIFY(!deviceDelegate->parent());
    QVERIFY(!commandDelegate->parent());
    // The history is read-only: Qt's own delegate.
    QVERIFY(!dynamic_cast<AppDeviceTableDelegate *>(historyTable->itemDelegate()));
    QVERIFY(!dynamic_cast<AppCommandTableDelegate *>(historyTable->itemDelegate()));
}

void TstAppMainWinForm::styleSheetIsTheDarkLookExactly()
{
    const QString sheet = mainWindow()->styleSheet();
    QCOMPARE(sheet.size(), 2598);
    QCOMPARE(sheet, QString::fromLatin1(expectedSheet));
    QCOMPARE(mainWindowStyleSheet(), sheet);
    // Set on the window only; the widgets inherit it.
    QVERIFY(mainWindow()->centralWidget()->styleSheet().isEmpty());
    QVERIFY(child<QPushButton>("deviceOpenBtn")->styleSheet().isEmpty());
}

void TstAppMainWinForm::styleReachesEveryWidget()
{
    QCOMPARE(pixelAt(mainWindow()->centralWidget(), QPoint(2, 2)), QColor(0x33, 0x33, 0x33));
    for (QPushButton *button : mainWindow()->findChildren<QPushButton *>()) {
        QVERIFY2(button->width() >= 60, qPrintable(button->objectName()));
        // Inside the rounded corner, above the caption: the button's grey.
        QCOMPARE(pixelAt(button, QPoint(button->width() / 2, 3)), QColor(0x5c, 0x5c, 0x5c));
    }
    for (QLineEdit *edit : mainWindow()->findChildren<QLineEdit *>()) {
        if (qobject_cast<QComboBox *>(edit->parent()))
            continue;
        QCOMPARE(
            pixelAt(edit, QPoint(edit->width() / 2, edit->height() / 2)), QColor(0x11, 0x11, 0x11));
        QCOMPARE(edit->palette().color(QPalette::Text), QColor(Qt::white));
    }
    for (QComboBox *combo : mainWindow()->findChildren<QComboBox *>()) {
        QCOMPARE(pixelAt(combo, QPoint(combo->width() / 2, 2)), QColor(0x11, 0x11, 0x11));
        QCOMPARE(combo->palette().color(QPalette::ButtonText), QColor(Qt::white));
    }
    QCOMPARE(child<QLabel>("label_11")->palette().color(QPalette::WindowText), QColor(Qt::white));
}

void TstAppMainWinForm::windowTitleAndObjectName()
{
    QCOMPARE(mainWindow()->windowTitle(), QStringLiteral("Verantis Terminal"));
    QCOMPARE(mainWindow()->objectName(), QStringLiteral("AppMainWin"));
    QVERIFY(!mainWindow()->parent());
}

void TstAppMainWinForm::noMenuToolOrStatusBar()
{
    QVERIFY(!mainWindow()->findChild<QMenuBar *>());
    QVERIFY(!mainWindow()->findChild<QToolBar *>());
    // The status bar only offers Undo after a deletion; the form itself has none.
    QMainWindow window;
    Ui::AppMainWin form;
    form.setupUi(&window);
    QVERIFY(!window.findChild<QStatusBar *>());
}

void TstAppMainWinForm::formOnBareWindowSetsNameSizeAndSheet()
{
    QMainWindow window;
    Ui::AppMainWin form;
    form.setupUi(&window);
    QCOMPARE(window.objectName(), QStringLiteral("AppMainWin"));
    QCOMPARE(window.size(), QSize(960, 589));
    QCOMPARE(window.styleSheet(), QString::fromLatin1(expectedSheet));
    QCOMPARE(window.windowTitle(), QStringLiteral("Verantis Terminal"));
    QCOMPARE(window.centralWidget(), form.centralWidget);

    // Each pointer of the form holds the object of its own name.
    const QList<QPair<QObject *, const char *>> members {
        { form.centralWidget, "centralWidget" },
        { form.verticalLayout, "verticalLayout" },
        { form.horizontalLayout_2, "horizontalLayout_2" },
        { form.label_10, "label_10" },
        { form.deviceNameEdit, "deviceNameEdit" },
        { form.label_4, "label_4" },
        { form.portCombo, "portCombo" },
        { form.label_5, "label_5" },
        { form.baudRateCombo, "baudRateCombo" },
        { form.label_6, "label_6" },
        { form.dataBitsCombo, "dataBitsCombo" },
        { form.label_7, "label_7" },
        { form.stopBitsCombo, "stopBitsCombo" },
        { form.label_8, "label_8" },
        { form.parityCombo, "parityCombo" },
        { form.label_9, "label_9" },
        { form.flowControlCombo, "flowControlCombo" },
        { form.deviceOpenBtn, "deviceOpenBtn" },
        { form.deviceSaveBtn, "deviceSaveBtn" },
        { form.horizontalLayout, "horizontalLayout" },
        { form.label, "label" },
        { form.commandNameEdit, "commandNameEdit" },
        { form.label_2, "label_2" },
        { form.hexEdit, "hexEdit" },
        { form.label_3, "label_3" },
        { form.asciiEdit, "asciiEdit" },
        { form.commandSaveBtn, "commandSaveBtn" },
        { form.label_11, "label_11" },
        { form.deviceTable, "deviceTable" },
        { form.label_12, "label_12" },
        { form.commandTable, "commandTable" },
        { form.horizontalLayout_3, "horizontalLayout_3" },
        { form.label_13, "label_13" },
        { form.saveHistoryBtn, "saveHistoryBtn" },
        { form.clearHistoryBtn, "clearHistoryBtn" },
        { form.historyTable, "historyTable" },
    };
    for (const auto &member : members) {
        QVERIFY2(member.first, member.second);
        QCOMPARE(member.first->objectName(), QString::fromLatin1(member.second));
    }
    // The form alone fills no lists: that is the window's job.
    QCOMPARE(form.portCombo->count(), 0);
    QVERIFY(!form.deviceTable->model());
}

void TstAppMainWinForm::formKeepsAnExistingObjectName()
{
    QMainWindow window;
    window.setObjectName(QStringLiteral("someWindow"));
    Ui::AppMainWin form;
    form.setupUi(&window);
    QCOMPARE(window.objectName(), QStringLiteral("someWindow"));
}

void TstAppMainWinForm::formRunsConnectSlotsByName()
{
    SlotsByNameWindow window;
    Ui::AppMainWin form;
    form.setupUi(&window);
    form.deviceOpenBtn->click();
    QCOMPARE(window.openClicks, 1);
}

void TstAppMainWinForm::retranslateRestoresCaptions()
{
    QMainWindow window;
    Ui::AppMainWin form;
    form.setupUi(&window);
    window.setWindowTitle(QStringLiteral("x"));
    form.label_10->setText(QStringLiteral("x"));
    form.clearHistoryBtn->setText(QStringLiteral("x"));
    form.retranslateUi(&window);
    QCOMPARE(window.windowTitle(), QStringLiteral("Verantis Terminal"));
    QCOMPARE(form.label_10->text(), QStringLiteral("Device Name"));
    QCOMPARE(form.clearHistoryBtn->text(), QStringLiteral("Clear History"));
}

void TstAppMainWinForm::windowIsSizedByItsLayoutNotTheFormSize()
{
    QVERIFY(mainWindow()->size() != QSize(960, 589));

    AppMainWin window;
    const QSize built = window.size();
    QVERIFY(built != QSize(960, 589));
    // As wide as its layout wants, where the screen has room.
    QCOMPARE(built.width(),
        qMin(window.sizeHint().width(), window.screen()->availableGeometry().width()));
}

void TstAppMainWinForm::deletingTheWindowDeletesItsModelsAndDelegates()
{
    auto *window = new AppMainWin;
    QPointer<QAbstractItemModel> deviceModel
        = window->findChild<QTableView *>("deviceTable")->model();
    QPointer<QAbstractItemModel> commandModel
        = window->findChild<QTableView *>("commandTable")->model();
    QPointer<QAbstractItemModel> historyModel
        = window->findChild<QTableView *>("historyTable")->model();
    QPointer<QAbstractItemDelegate> deviceDelegate
        = window->findChild<QTableView *>("deviceTable")->itemDelegate();
    QPointer<QAbstractItemDelegate> commandDelegate
        = window->findChild<QTableView *>("commandTable")->itemDelegate();
    QVERIFY(deviceModel && commandModel && historyModel && deviceDelegate && commandDelegate);
    // Taken down on screen with a field being edited, as at the end of the program.
    window->show();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window, 10000));
    auto *hexEdit = window->findChild<QLineEdit *>("hexEdit");
    hexEdit->setFocus();
    QTRY_COMPARE_WITH_TIMEOUT(QApplication::focusWidget(), static_cast<QWidget *>(hexEdit), 10000);
    QTest::keyClicks(hexEdit, QStringLiteral("41"));
    delete window;
    QVERIFY(deviceModel.isNull());
    QVERIFY(commandModel.isNull());
    QVERIFY(historyModel.isNull());
    QVERIFY(deviceDelegate.isNull());
    QVERIFY(commandDelegate.isNull());
}

VT_TEST_MAIN(TstAppMainWinForm)
#include "tst_appmainwinform.moc"
