// The terminal dialog as built: widget tree, window properties, style, the labels filled from the
// device record and the focus rules, on a real device object that is never opened.
#include "app/verantisterminalapp.h"
#include "data/appdevicedata.h"
#include "data/appsettingsmanager.h"
#include "serial/appdevice.h"
#include "ui/appdevicedialog.h"
#include "ui/appdevicedialogform.h"
#include "ui/appmainwin.h"
#include "ui/stylesheet.h"

#include "testapp.h"

#include <QComboBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScopedPointer>
#include <QScreen>
#include <QStringListModel>
#include <QTextEdit>

namespace {

// A dialog on an unopened device; the dialog goes before the device it points to.
struct Terminal
{
    explicit Terminal(AppDeviceData record = AppDeviceData("Lab 1", "COM1", 9600, 8, 0, 0, 0))
        : device(&record)
        , dialog(new AppDeviceDialog(VerantisTerminalApp::app()->mainWin(), &device))
    {
    }

    template<typename T> T *child(const char *name) const
    {
        return dialog->findChild<T *>(QString::fromLatin1(name));
    }

    AppDevice device;
    QScopedPointer<AppDeviceDialog> dialog;
};

QStringList itemNames(const QLayout *layout)
{
    QStringList names;
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem *item = layout->itemAt(i);
        if (item->widget())
            names << item->widget()->objectName();
        else if (item->layout())
            names << item->layout()->objectName();
        else
            names << QStringLiteral("<spacer>");
    }
    return names;
}

} // namespace

class TstAppDeviceDialogForm : public QObject
{
    Q_OBJECT

private slots:
    void widgetsAreCreatedInFormOrder();
    void layoutsHoldTheirItemsInOrder();
    void spacerPushesLoadToTheRight();
    void captions();
    void labelsShowTheDeviceRecord_data();
    void labelsShowTheDeviceRecord();
    void windowFlagsOfferMinimiseAndCloseOnly();
    void sizeAndMinimumSize();
    void deletedOnCloseAndParentedToTheMainWindow();
    void styleSheetIsTheMainSheetUpToTheCheckBoxRule();
    void focusPolicies_data();
    void focusPolicies();
    void clickOnSendLeavesFocusInHexEdit();
    void tabAndAltLReachLoad();
    void savedCommandsComboListsTheStore();
    void formOnBareDialog();
    void formKeepsAnExistingObjectName();
    void twoDialogsHaveTheirOwnForms();
    void deletingAnOpenDialogWhileEditingIsSafe();
};

void TstAppDeviceDialogForm::widgetsAreCreatedInFormOrder()
{
    Terminal terminal;
    const QList<QPair<QString, QByteArray>> expected {
        { "verticalLayout", "QVBoxLayout" },
        { "deviceNameLabel", "QLabel" },
        { "portNumLabel", "QLabel" },
        { "baudRateLabel", "QLabel" },
        { "dataBitsLabel", "QLabel" },
        { "stopBitsLabel", "QLabel" },
        { "parityLabel", "QLabel" },
        { "flowControlLabel", "QLabel" },
        { "label", "QLabel" },
        { "savedCommandsCombo", "QComboBox" },
        { "loadCommandBtn", "QPushButton" },
        { "label_3", "QLabel" },
        { "hexEdit", "QLineEdit" },
        { "label_4", "QLabel" },
        { "asciiEdit", "QLineEdit" },
        { "sendBtn", "QPushButton" },
        { "logText", "QTextEdit" },
        { "clearBtn", "QPushButton" },
        { "clipBoardBtn", "QPushButton" },
        { "copyViewBtn", "QPushButton" },
        { "closeBtn", "QPushButton" },
    };
    QList<QPair<QString, QByteArray>> actual;
    for (QObject *object : terminal.dialog->children()) {
        // The terminal's tools add their own widgets after the form's.
        if (actual.size() == expected.size())
            break;
        if (object->isWidgetType() || qobject_cast<QLayout *>(object))
            actual.append({ object->objectName(), object->metaObject()->className() });
    }
    // The tools add their own widgets to their rows after the form's.
    QCOMPARE(actual.mid(0, expected.size()), expected);
}

void TstAppDeviceDialogForm::layoutsHoldTheirItemsInOrder()
{
    Terminal terminal;
    auto *top = terminal.child<QVBoxLayout>("verticalLayout");
    QVERIFY(top);
    QCOMPARE(terminal.dialog->layout(), top);
    QCOMPARE(itemNames(top),
        QStringList({ "deviceNameLabel", "horizontalLayout_4", "horizontalLayout_5", "lineRow",
            "horizontalLayout", "horizontalLayout_2", "sendRow", "viewRow", "findRow", "logText",
            "horizontalLayout_3", "logFileRow" }));
    QCOMPARE(itemNames(terminal.child<QHBoxLayout>("horizontalLayout_4")),
        QStringList({ "portNumLabel", "baudRateLabel", "dataBitsLabel" }));
    QCOMPARE(itemNames(terminal.child<QHBoxLayout>("horizontalLayout_5")),
        QStringList({ "stopBitsLabel", "parityLabel", "flowControlLabel" }));
    QCOMPARE(itemNames(terminal.child<QHBoxLayout>("horizontalLayout")),
        QStringList({ "label", "savedCommandsCombo", "<spacer>", "loadCommandBtn" }));
    QCOMPARE(itemNames(terminal.child<QHBoxLayout>("horizontalLayout_2")),
        QStringList({ "label_3", "hexEdit", "label_4", "asciiEdit", "sendBtn" }));
    QCOMPARE(itemNames(terminal.child<QHBoxLayout>("horizontalLayout_3")),
        QStringList({ "clearBtn", "clipBoardBtn", "copyViewBtn", "closeBtn" }));

    // Nothing beyond Qt's defaults: no spacing or margins of the form's own.
    QDialog plain;
    auto *plainTop = new QVBoxLayout(&plain);
    QCOMPARE(top->spacing(), plainTop->spacing());
    QCOMPARE(top->contentsMargins(), plainTop->contentsMargins());
    QCOMPARE(
        terminal.child<QHBoxLayout>("horizontalLayout")->contentsMargins(), QMargins(0, 0, 0, 0));

    QCOMPARE(terminal.child<QLabel>("deviceNameLabel")->alignment(), Qt::AlignCenter);
    const QSizePolicy policy = terminal.child<QComboBox>("savedCommandsCombo")->sizePolicy();
    QCOMPARE(policy.horizontalPolicy(), QSizePolicy::MinimumExpanding);
    QCOMPARE(policy.verticalPolicy(), QSizePolicy::Fixed);
    QCOMPARE(policy.horizontalStretch(), 0);
    QCOMPARE(policy.verticalStretch(), 0);
    QVERIFY(!policy.hasHeightForWidth());
}

void TstAppDeviceDialogForm::spacerPushesLoadToTheRight()
{
    Terminal terminal;
    QSpacerItem *spacer = terminal.child<QHBoxLayout>("horizontalLayout")->itemAt(2)->spacerItem();
    QVERIFY(spacer);
    QCOMPARE(spacer->sizeHint(), QSize(40, 20));
    QCOMPARE(spacer->sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
    QCOMPARE(spacer->sizePolicy().verticalPolicy(), QSizePolicy::Minimum);
}

void TstAppDeviceDialogForm::captions()
{
    Terminal terminal;
    // The device and its port, so that several terminals can be told apart.
    QCOMPARE(terminal.dialog->windowTitle(), QStringLiteral("Lab 1 \u2014 COM1"));
    const QList<QPair<const char *, QString>> texts {
        { "label", "Saved Commands" },
        { "loadCommandBtn", "&Load" },
        { "label_3", "HEX" },
        { "label_4", "ASCII" },
        { "sendBtn", "Send" },
        { "clearBtn", "Clear" },
        { "clipBoardBtn", "Copy To Clipboard" },
        { "closeBtn", "Close" },
    };
    for (const auto &text : texts)
        QCOMPARE(terminal.child<QWidget>(text.first)->property("text").toString(), text.second);
    QVERIFY(terminal.child<QLineEdit>("hexEdit")->text().isEmpty());
    QVERIFY(terminal.child<QLineEdit>("asciiEdit")->text().isEmpty());
    QVERIFY(terminal.child<QTextEdit>("logText")->toPlainText().isEmpty());
    // The log is a record of the traffic: read-only, without undo steps, left with Tab.
    auto *log = terminal.child<QTextEdit>("logText");
    QVERIFY(log->isReadOnly());
    QVERIFY(!log->isUndoRedoEnabled());
    QVERIFY(log->tabChangesFocus());
    QCOMPARE(log->textInteractionFlags(), Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
}

void TstAppDeviceDialogForm::labelsShowTheDeviceRecord_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("port");
    QTest::addColumn<int>("baudRate");
    QTest::addColumn<int>("dataBits");
    QTest::addColumn<int>("stopBits");
    QTest::addColumn<int>("parity");
    QTest::addColumn<int>("flowControl");
    QTest::addColumn<QStringList>("texts");

    QTest::newRow("first entries")
        << "Lab 1"
        << "COM1" << 9600 << 8 << 0 << 0 << 0
        << QStringList({ "Lab 1", "Port Name:COM1", "BaudRate:9600", "Data Bits:8",
               "Stop Bits:OneStop", "Parity:None", "Flow Control:OFF" });
    QTest::newRow("other entries")
        << "Scope"
        << "COM100" << 115200 << 7 << 2 << 1 << 2
        << QStringList({ "Scope", "Port Name:COM100", "BaudRate:115200", "Data Bits:7",
               "Stop Bits:TwoStop", "Parity:Even", "Flow Control:Xon/Xoff" });
    QTest::newRow("middle entries")
        << "x"
        << "COM7" << 1200 << 8 << 1 << 2 << 1
        << QStringList({ "x", "Port Name:COM7", "BaudRate:1200", "Data Bits:8",
               "Stop Bits:OneAndHalfStop", "Parity:Odd", "Flow Control:RTS/CTS" });
    QTest::newRow("empty name") << ""
                                << "COM2" << 4800 << 8 << 0 << 0 << 0
                                << QStringList({ "No device name", "Port Name:COM2",
                                       "BaudRate:4800", "Data Bits:8", "Stop Bits:OneStop",
                                       "Parity:None", "Flow Control:OFF" });
    QTest::newRow("name of spaces")
        << "  "
        << "COM2" << 4800 << 8 << 0 << 0 << 0
        << QStringList({ "  ", "Port Name:COM2", "BaudRate:4800", "Data Bits:8",
               "Stop Bits:OneStop", "Parity:None", "Flow Control:OFF" });
    // Only a hand-edited settings file holds these; the value part stays empty.
    QTest::newRow("positions out of range")
        << "Odd one"
        << "COM101" << 300 << 5 << 3 << -1 << 7
        << QStringList({ "Odd one", "Port Name:COM101", "BaudRate:300", "Data Bits:5",
               "Stop Bits:", "Parity:", "Flow Control:" });
}

void TstAppDeviceDialogForm::labelsShowTheDeviceRecord()
{
    QFETCH(QString, name);
    QFETCH(QString, port);
    QFETCH(int, baudRate);
    QFETCH(int, dataBits);
    QFETCH(int, stopBits);
    QFETCH(int, parity);
    QFETCH(int, flowControl);
    QFETCH(QStringList, texts);

    Terminal terminal(AppDeviceData(name, port, baudRate, dataBits, stopBits, parity, flowControl));
    QStringList actual;
    for (const char *label : { "deviceNameLabel", "portNumLabel", "baudRateLabel", "dataBitsLabel",
             "stopBitsLabel", "parityLabel", "flowControlLabel" })
        actual << terminal.child<QLabel>(label)->text();
    QCOMPARE(actual, texts);
}

void TstAppDeviceDialogForm::windowFlagsOfferMinimiseAndCloseOnly()
{
    Terminal terminal;
    const Qt::WindowFlags flags = terminal.dialog->windowFlags();
    // A window of its own: neither kept above the main window nor without a task-bar entry.
    QCOMPARE(flags & Qt::WindowType_Mask, Qt::WindowFlags(Qt::Window));
    terminal.dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(terminal.dialog.data()));
    QVERIFY(!terminal.dialog->windowHandle()->transientParent());
    QVERIFY(!terminal.dialog->testAttribute(Qt::WA_QuitOnClose));
    QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowContextHelpButtonHint));
    QVERIFY(!flags.testFlag(Qt::FramelessWindowHint));
    QVERIFY(terminal.dialog->isWindow());
}

void TstAppDeviceDialogForm::sizeAndMinimumSize()
{
    Terminal terminal;
    // As wide as the tools' rows need, and within a 1280x800 screen.
    // The log shows about a dozen lines however many rows the tools take, as far as the screen
    // lets it.
    const int room = terminal.dialog->screen()->availableGeometry().height() * 3 / 4;
    QVERIFY(
        terminal.dialog->height() >= qMin(terminal.dialog->minimumSizeHint().height() + 150, room));
    QVERIFY(terminal.dialog->width() >= 400 && terminal.dialog->width() <= 1280);
    QCOMPARE(terminal.dialog->minimumSize().height(), 0);
    QVERIFY(terminal.dialog->minimumWidth() >= 400 && terminal.dialog->minimumWidth() <= 1280);
    terminal.dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(terminal.dialog.data()));
    terminal.dialog->resize(100, 100);
    QCOMPARE(terminal.dialog->width(), terminal.dialog->minimumWidth());
    // No height of its own beyond what the layout needs.
    QCOMPARE(terminal.dialog->height(), terminal.dialog->minimumSizeHint().height());
}

void TstAppDeviceDialogForm::deletedOnCloseAndParentedToTheMainWindow()
{
    Terminal terminal;
    QVERIFY(terminal.dialog->testAttribute(Qt::WA_DeleteOnClose));
    QCOMPARE(terminal.dialog->parentWidget(),
        static_cast<QWidget *>(VerantisTerminalApp::app()->mainWin()));
    QVERIFY(!terminal.dialog->isModal());
}

void TstAppDeviceDialogForm::styleSheetIsTheMainSheetUpToTheCheckBoxRule()
{
    Terminal terminal;
    const QString sheet = terminal.dialog->styleSheet();
    const QString mainSheet = mainWindowStyleSheet();
    QCOMPARE(sheet.size(), 2503);
    QCOMPARE(sheet, mainSheet.left(2503));
    QCOMPARE(sheet, deviceDialogStyleSheet());
    QVERIFY(sheet.endsWith(QLatin1String("QCheckBox::indicator:checked{\n"
                                         "\t border-style: outset;\n"
                                         " \t border-width: 2px;\n"
                                         "\t border-color: white;\n"
                                         "\tbackground : #1f1f1f;\n"
                                         "}")));
    QVERIFY(!sheet.contains(QLatin1String("QHeaderView")));
    QVERIFY(mainSheet.mid(2503).startsWith(QLatin1String("\nQHeaderView::section{")));

    // The QDialog rule gives the dialog its dark background.
    const QImage image = terminal.dialog->grab().toImage();
    QCOMPARE(image.pixelColor(1, 1), QColor(0x33, 0x33, 0x33));
}

void TstAppDeviceDialogForm::focusPolicies_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("policy");
    QTest::newRow("loadCommandBtn") << "loadCommandBtn" << int(Qt::TabFocus);
    QTest::newRow("sendBtn") << "sendBtn" << int(Qt::TabFocus);
    QTest::newRow("clearBtn") << "clearBtn" << int(Qt::TabFocus);
    QTest::newRow("clipBoardBtn") << "clipBoardBtn" << int(Qt::TabFocus);
    QTest::newRow("closeBtn") << "closeBtn" << int(Qt::TabFocus);
    QTest::newRow("hexEdit") << "hexEdit" << int(QLineEdit().focusPolicy());
    QTest::newRow("savedCommandsCombo") << "savedCommandsCombo" << int(QComboBox().focusPolicy());
}

void TstAppDeviceDialogForm::focusPolicies()
{
    QFETCH(QString, name);
    QFETCH(int, policy);
    Terminal terminal;
    QWidget *widget = terminal.dialog->findChild<QWidget *>(name);
    QVERIFY(widget);
    QCOMPARE(int(widget->focusPolicy()), policy);
}

void TstAppDeviceDialogForm::clickOnSendLeavesFocusInHexEdit()
{
    Terminal terminal;
    terminal.dialog->show();
    terminal.dialog->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(terminal.dialog.data(), 10000));

    auto *hexEdit = terminal.child<QLineEdit>("hexEdit");
    hexEdit->setFocus();
    QTRY_COMPARE_WITH_TIMEOUT(QApplication::focusWidget(), static_cast<QWidget *>(hexEdit), 10000);
    QSignalSpy finished(hexEdit, &QLineEdit::editingFinished);
    QTest::keyClicks(hexEdit, QStringLiteral("3041"));

    for (const char *button : { "sendBtn", "clearBtn", "clipBoardBtn" }) {
        QTest::mouseClick(terminal.child<QPushButton>(button), Qt::LeftButton);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(hexEdit));
    }
    // The field is still being edited: its editing never finished.
    QCOMPARE(finished.count(), 0);
    QCOMPARE(hexEdit->text(), QStringLiteral("3041"));

    // Load may rewrite the field, but it does not take the focus either.
    QTest::mouseClick(terminal.child<QPushButton>("loadCommandBtn"), Qt::LeftButton);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(hexEdit));
    QCOMPARE(finished.count(), 0);
}

void TstAppDeviceDialogForm::tabAndAltLReachLoad()
{
    Terminal terminal;
    terminal.dialog->show();
    terminal.dialog->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(terminal.dialog.data(), 10000));

    auto *clearBtn = terminal.child<QPushButton>("clearBtn");
    clearBtn->setFocus();
    QTRY_COMPARE_WITH_TIMEOUT(QApplication::focusWidget(), static_cast<QWidget *>(clearBtn), 10000);
    // Round the chain to the log, which keeps Tab for itself.
    QStringList visited;
    while (visited.size() < 40 && !visited.contains(QStringLiteral("sendBtn"))) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(visited,
        QStringList({ "clipBoardBtn", "copyViewBtn", "closeBtn", "logFileCheck", "logFileEdit",
            "logFileBtn", "logFormatCombo", "reconnectCheck", "savedCommandsCombo",
            "loadCommandBtn", "hexEdit", "asciiEdit", "sendBtn" }));
    QSignalSpy loaded(terminal.child<QPushButton>("loadCommandBtn"), &QPushButton::clicked);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_L, Qt::AltModifier);
    QTRY_COMPARE_WITH_TIMEOUT(loaded.count(), 1, 10000);
}

void TstAppDeviceDialogForm::savedCommandsComboListsTheStore()
{
    Terminal terminal;
    AppSettingsManager *store = VerantisTerminalApp::app()->settingsManager();
    auto *combo = terminal.child<QComboBox>("savedCommandsCombo");
    const QStringList expected = store->commandNameModel()->stringList();
    QStringList actual;
    for (int i = 0; i < combo->count(); ++i)
        actual << combo->itemText(i);
    QCOMPARE(actual, expected);
    QVERIFY(!combo->isEditable());
}

void TstAppDeviceDialogForm::formOnBareDialog()
{
    QDialog dialog;
    Ui::AppDeviceDialog form;
    form.setupUi(&dialog);
    QCOMPARE(dialog.objectName(), QStringLiteral("AppDeviceDialog"));
    QCOMPARE(dialog.size(), QSize(400, 332));
    QCOMPARE(dialog.minimumSize(), QSize(400, 0));
    QCOMPARE(dialog.styleSheet(), deviceDialogStyleSheet());
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Verantis Terminal"));
    // The placeholders, before a device fills them in.
    QCOMPARE(form.deviceNameLabel->text(), QStringLiteral("Verantis"));
    QCOMPARE(form.portNumLabel->text(), QStringLiteral("Port : COM1"));
    QCOMPARE(form.baudRateLabel->text(), QStringLiteral("BaudRate : 9600"));
    QCOMPARE(form.dataBitsLabel->text(), QStringLiteral("Data Bits : 8"));
    QCOMPARE(form.stopBitsLabel->text(), QStringLiteral("Stop Bits : 1"));
    QCOMPARE(form.parityLabel->text(), QStringLiteral("Parity : Odd"));
    QCOMPARE(form.flowControlLabel->text(), QStringLiteral("Flow Control : RTS/CTS"));
    // The form sets no flags of its own.
    QVERIFY(!dialog.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));

    const QList<QPair<QObject *, const char *>> members {
        { form.verticalLayout, "verticalLayout" },
        { form.deviceNameLabel, "deviceNameLabel" },
        { form.horizontalLayout_4, "horizontalLayout_4" },
        { form.portNumLabel, "portNumLabel" },
        { form.baudRateLabel, "baudRateLabel" },
        { form.dataBitsLabel, "dataBitsLabel" },
        { form.horizontalLayout_5, "horizontalLayout_5" },
        { form.stopBitsLabel, "stopBitsLabel" },
        { form.parityLabel, "parityLabel" },
        { form.flowControlLabel, "flowControlLabel" },
        { form.horizontalLayout, "horizontalLayout" },
        { form.label, "label" },
        { form.savedCommandsCombo, "savedCommandsCombo" },
        { form.loadCommandBtn, "loadCommandBtn" },
        { form.horizontalLayout_2, "horizontalLayout_2" },
        { form.label_3, "label_3" },
        { form.hexEdit, "hexEdit" },
        { form.label_4, "label_4" },
        { form.asciiEdit, "asciiEdit" },
        { form.sendBtn, "sendBtn" },
        { form.logText, "logText" },
        { form.horizontalLayout_3, "horizontalLayout_3" },
        { form.clearBtn, "clearBtn" },
        { form.clipBoardBtn, "clipBoardBtn" },
        { form.closeBtn, "closeBtn" },
    };
    for (const auto &member : members) {
        QVERIFY2(member.first, member.second);
        QCOMPARE(member.first->objectName(), QString::fromLatin1(member.second));
    }
    QCOMPARE(form.horizontalLayout->itemAt(2), static_cast<QLayoutItem *>(form.horizontalSpacer));

    form.sendBtn->setText(QStringLiteral("x"));
    dialog.setWindowTitle(QStringLiteral("x"));
    form.retranslateUi(&dialog);
    QCOMPARE(form.sendBtn->text(), QStringLiteral("Send"));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Verantis Terminal"));
}

void TstAppDeviceDialogForm::formKeepsAnExistingObjectName()
{
    QDialog dialog;
    dialog.setObjectName(QStringLiteral("someDialog"));
    Ui::AppDeviceDialog form;
    form.setupUi(&dialog);
    QCOMPARE(dialog.objectName(), QStringLiteral("someDialog"));
}

void TstAppDeviceDialogForm::twoDialogsHaveTheirOwnForms()
{
    Terminal first;
    Terminal second(AppDeviceData("Other", "COM2", 19200, 7, 0, 0, 0));
    QVERIFY(first.child<QTextEdit>("logText") != second.child<QTextEdit>("logText"));
    QCOMPARE(first.child<QLabel>("deviceNameLabel")->text(), QStringLiteral("Lab 1"));
    QCOMPARE(second.child<QLabel>("deviceNameLabel")->text(), QStringLiteral("Other"));
    first.child<QLineEdit>("hexEdit")->setText(QStringLiteral("01"));
    QVERIFY(second.child<QLineEdit>("hexEdit")->text().isEmpty());
}

// The main window takes its dialogs down with it while they are still on screen; the dialog's own
// hide then takes the focus from a field being edited. Meant for the sanitized build, which
// catches a call into the half-destroyed dialog.
void TstAppDeviceDialogForm::deletingAnOpenDialogWhileEditingIsSafe()
{
    AppDeviceData record("Lab 1", "COM1", 9600, 8, 0, 0, 0);
    AppDevice device(&record);
    QPointer<AppDeviceDialog> dialog
        = new AppDeviceDialog(VerantisTerminalApp::app()->mainWin(), &device);
    dialog->show();
    dialog->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(dialog.data(), 10000));
    for (const char *name : { "hexEdit", "asciiEdit" }) {
        auto *edit = dialog->findChild<QLineEdit *>(name);
        edit->setFocus();
        QTRY_COMPARE_WITH_TIMEOUT(QApplication::focusWidget(), static_cast<QWidget *>(edit), 10000);
        QTest::keyClicks(edit, QStringLiteral("41"));
    }
    delete dialog.data();
    QVERIFY(dialog.isNull());
}

VT_TEST_MAIN(TstAppDeviceDialogForm)
#include "tst_appdevicedialogform.moc"
