// The terminal's sending row against a real pty peer: line endings, repeats and their stops,
// recall of sent blocks, and files sent at the line's pace.
#include "data/appdevicedata.h"
#include "data/apphistorydata.h"
#include "data/appsettingsmanager.h"
#include "serial/appdevice.h"
#include "serial/appdevicemanager.h"
#include "serial/filesender.h"
#include "serial/repeatsender.h"
#include "ui/sendrecall.h"
#include "ui/sendtools.h"

#include "appwindows.h"
#include "messageboxcatcher.h"
#include "ptypeer.h"
#include "testapp.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSerialPort>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>

#include <sys/eventfd.h>
#include <unistd.h>

using namespace AppWindows;

class TstSendTools : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void lineEndingReachesThePeer_data();
    void lineEndingReachesThePeer();
    void repeatKeepsItsSchedule();
    void repeatStops_data();
    void repeatStops();
    void recallStepsThroughDistinctBlocks();
    void fileGoesAtLinePace();
    void fileStops_data();
    void fileStops();

private:
    AppDeviceDialog *open();
    QString writeFile(int size);
    QByteArray sentBytes() const;

    QScopedPointer<MessageBoxCatcher> catcher;
    QScopedPointer<PtyPeer> peer;
    QTemporaryDir folder;
    AppDeviceData device { QStringLiteral("Lab 1"), QStringLiteral("COM5"), 115200, 8, 0, 0, 0 };
    AppDeviceDialog *dialog = nullptr;
    SendTools *tools = nullptr;
    QByteArray fileData;
};

void TstSendTools::init()
{
    catcher.reset(new MessageBoxCatcher);
    peer.reset(new PtyPeer);
    QVERIFY(peer->mapTo("COM5"));
    VerantisTerminalApp::app()->settingsManager()->setDeviceOption("Lab 1", "lineend", QVariant());
    mainWidget<QPushButton>("clearHistoryBtn")->click();
    QVERIFY(open());
}

void TstSendTools::cleanup()
{
    for (AppDeviceDialog *shown : terminals())
        shown->close();
    QTRY_VERIFY_WITH_TIMEOUT(mainWindow()->findChildren<AppDeviceDialog *>().isEmpty(), 10000);
    VerantisTerminalApp::app()->deviceManager()->closeDevice("COM5");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    peer.reset();
    catcher.reset();
}

AppDeviceDialog *TstSendTools::open()
{
    const TerminalSnapshot before = snapshot();
    VerantisTerminalApp::app()->openDevice(&device);
    dialog = newTerminal(before);
    tools = dialog ? dialog->findChild<SendTools *>() : nullptr;
    return tools ? dialog : nullptr;
}

QString TstSendTools::writeFile(int size)
{
    fileData.resize(size);
    for (char &byte : fileData)
        byte = char(QRandomGenerator::global()->generate());
    QFile file(folder.filePath("image.bin"));
    if (!file.open(QIODevice::WriteOnly) || file.write(fileData) != size)
        return QString();
    return file.fileName();
}

// Every block the terminal recorded as sent, in order.
QByteArray TstSendTools::sentBytes() const
{
    AppAbstractTableModel *history = tableModel("historyTable");
    QByteArray bytes;
    for (int row = 0; row < history->rowCount(); ++row) {
        auto *record = static_cast<AppHistoryData *>(history->getData(row));
        if (record->direction() == QLatin1String("Sent"))
            bytes += record->bytes();
    }
    return bytes;
}

void TstSendTools::lineEndingReachesThePeer_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QByteArray>("ending");
    QTest::addColumn<QString>("word");
    QTest::newRow("None") << 0 << QByteArray() << "none";
    QTest::newRow("CR") << 1 << QByteArray("\r") << "cr";
    QTest::newRow("LF") << 2 << QByteArray("\n") << "lf";
    QTest::newRow("CR LF") << 3 << QByteArray("\r\n") << "crlf";
}

void TstSendTools::lineEndingReachesThePeer()
{
    QFETCH(int, index);
    QFETCH(QByteArray, ending);
    QFETCH(QString, word);
    auto *combo = widget<QComboBox>(dialog, "lineEndCombo");
    combo->setCurrentIndex(index == 0 ? 1 : 0);
    combo->setCurrentIndex(index);
    widget<QLineEdit>(dialog, "hexEdit")->setText("3041");
    widget<QPushButton>(dialog, "sendBtn")->click();
    QCOMPARE(peer->read(2 + ending.size()), "0A" + ending);
    QCOMPARE(sentBytes(), "0A" + ending);
    // The field keeps the block without its ending; the device remembers the choice.
    QCOMPARE(widget<QLineEdit>(dialog, "hexEdit")->text(), QStringLiteral("3041"));
    QCOMPARE(VerantisTerminalApp::app()->settingsManager()->deviceOption("Lab 1", "lineend"),
        QVariant(word));
    dialog->close();
    QTRY_VERIFY_WITH_TIMEOUT(terminals().isEmpty(), 10000);
    QVERIFY(open());
    QCOMPARE(widget<QComboBox>(dialog, "lineEndCombo")->currentIndex(), index);
}

void TstSendTools::repeatKeepsItsSchedule()
{
    widget<QLineEdit>(dialog, "hexEdit")->setText("55");
    widget<QSpinBox>(dialog, "repeatSpin")->setValue(10);
    auto *check = widget<QCheckBox>(dialog, "repeatCheck");
    QTimer::singleShot(2000, Qt::PreciseTimer, check, [check] { check->setChecked(false); });
    // A real event loop meanwhile: polling with sleeps would make every timer late.
    QSignalSpy stopped(tools->repeater(), &RepeatSender::stopped);
    check->setChecked(true);
    QVERIFY(stopped.wait(20000));
    const int sent = tools->repeater()->sentCount();
    QVERIFY2(sent >= 196 && sent <= 204, qPrintable(QString::number(sent)));
    QCOMPARE(
        widget<QLabel>(dialog, "repeatSentLabel")->text(), QStringLiteral("Sent: %1").arg(sent));
    QCOMPARE(peer->read(sent + 1, 2000), QByteArray(sent, 'U'));
    QCOMPARE(sentBytes().size(), sent);
    QCOMPARE(catcher->count(), 0);
}

void TstSendTools::repeatStops_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("message");
    QTest::newRow("count") << "count" << QString();
    QTest::newRow("close") << "close" << QString();
    QTest::newRow("lost line") << "lost"
                               << "was disconnected";
    QTest::newRow("write error") << "write" << qt_error_string(EINVAL);
    QTest::newRow("too fast") << "fast"
                              << "The fastest interval allowed is 18 ms.";
}

void TstSendTools::repeatStops()
{
    QFETCH(QString, how);
    QFETCH(QString, message);
    // 200 bytes take 17.4 ms at 115200 baud, 8N1.
    widget<QLineEdit>(dialog, "hexEdit")->setText(QByteArray(how == "fast" ? 200 : 1, 'A').toHex());
    widget<QSpinBox>(dialog, "repeatSpin")->setValue(how == "fast" ? 17 : 20);
    widget<QSpinBox>(dialog, "repeatCountSpin")->setValue(how == "count" ? 5 : 0);
    auto *check = widget<QCheckBox>(dialog, "repeatCheck");
    check->setChecked(true);
    QPointer<RepeatSender> repeat = tools->repeater();
    // The repeat stops before the device's message is shown.
    bool runningAtMessage = false;
    connect(catcher.data(), &MessageBoxCatcher::aboutToAccept, this,
        [&] { runningAtMessage = runningAtMessage || (repeat && repeat->isRunning()); });
    if (how == "close") {
        dialog->close();
    } else if (how == "lost") {
        peer->hangUp();
    } else if (how == "write") {
        // The port's descriptor becomes an event counter, which refuses a one-byte write.
        const int counter = ::eventfd(0, EFD_NONBLOCK);
        QVERIFY(counter >= 0);
        auto *port = dialog->servedDevice()->findChild<QSerialPort *>();
        QVERIFY(::dup2(counter, int(port->handle())) >= 0);
        ::close(counter);
    }
    QTRY_VERIFY_WITH_TIMEOUT(!repeat || !repeat->isRunning(), 10000);
    if (repeat) {
        QVERIFY(!check->isChecked());
        QCOMPARE(repeat->sentCount(), how == "count" ? 5 : how == "fast" ? 0 : repeat->sentCount());
    }
    QTRY_COMPARE_WITH_TIMEOUT(catcher->count(), message.isEmpty() ? 0 : 1, 10000);
    if (!message.isEmpty())
        QVERIFY2(catcher->texts().first().contains(message), qPrintable(catcher->texts().first()));
    // Nothing goes after the stop, and no second message follows.
    const int count = repeat ? repeat->sentCount() : 0;
    QTest::qWait(100);
    if (repeat)
        QCOMPARE(repeat->sentCount(), count);
    // A port that keeps failing on the bytes it holds reports each failure itself.
    if (how != "write")
        QCOMPARE(catcher->count(), message.isEmpty() ? 0 : 1);
    QVERIFY(!runningAtMessage);
}

void TstSendTools::recallStepsThroughDistinctBlocks()
{
    dialog->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(dialog, 10000));
    auto *hex = widget<QLineEdit>(dialog, "hexEdit");
    auto *ascii = widget<QLineEdit>(dialog, "asciiEdit");
    hex->setFocus();
    for (const char *block : { "01", "02", "01", "03" }) {
        hex->clear();
        QTest::keyClicks(hex, block);
        QTest::keyClick(hex, Qt::Key_Enter, Qt::KeypadModifier);
    }
    // Return with nothing to send sends nothing; in the ASCII field it sends what it shows.
    hex->clear();
    QTest::keyClick(hex, Qt::Key_Return);
    ascii->setFocus();
    QTest::keyClicks(ascii, "hi");
    QTest::keyClick(ascii, Qt::Key_Return);
    QCOMPARE(peer->read(6), QByteArray("\x01\x02\x01\x03hi"));
    QCOMPARE(hex->text(), QStringLiteral("6869"));

    QTest::keyClicks(ascii, "!");
    QStringList shown;
    for (Qt::Key key : { Qt::Key_Up, Qt::Key_Up, Qt::Key_Up, Qt::Key_Up, Qt::Key_Up, Qt::Key_Down,
             Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Down }) {
        QTest::keyClick(key == Qt::Key_Up ? static_cast<QWidget *>(hex) : ascii, key);
        shown << hex->text() + "/" + ascii->text();
    }
    QCOMPARE(shown,
        QStringList({ "6869/hi", "03/\u0003", "01/\u0001", "02/\u0002", "02/\u0002", "01/\u0001",
            "03/\u0003", "6869/hi", "686921/hi!", "686921/hi!" }));
    auto *recall = dialog->findChild<SendRecall *>();
    for (int i = 0; i < 150; ++i)
        recall->remember(QByteArray::number(i));
    QCOMPARE(recall->blocks().size(), SendRecall::Depth);
    QCOMPARE(recall->blocks().first(), QByteArray("149"));
}

void TstSendTools::fileGoesAtLinePace()
{
    const QString path = writeFile(1024 * 1024);
    QVERIFY(!path.isEmpty());
    FileSender *sender = tools->fileSender();
    QElapsedTimer clock;
    qint64 worst = -1;
    bool replied = false;
    connect(sender, &FileSender::progress, this, [&](qint64 sent) {
        worst = qMax(worst, sent - clock.nsecsElapsed() * 11520 / 1000000000 - 1152);
        // The receive side stays live while the file goes.
        if (!replied && sent > 100000)
            replied = peer->write("ok");
    });
    clock.start();
    tools->sendFile(path);
    QVERIFY(sender->isSending());
    // 100 ms of 115200 baud, 8N1: 1152 bytes.
    QCOMPARE(sender->queueLimit(), 1152);
    QVERIFY(!widget<QPushButton>(dialog, "sendBtn")->isEnabled());
    QCOMPARE(peer->read(fileData.size(), 150000), fileData);
    QTRY_VERIFY_WITH_TIMEOUT(!sender->isSending(), 10000);
    QVERIFY2(worst <= 0, qPrintable(QString::number(worst)));
    QVERIFY(sender->queuedPeak() <= sender->queueLimit());
    QCOMPARE(sentBytes(), fileData);
    QVERIFY(replied);
    QTRY_VERIFY_WITH_TIMEOUT(
        tableModel("historyTable")->rowCount() > fileData.size() / 1152, 10000);
    QCOMPARE(widget<QLabel>(dialog, "fileStatusLabel")->text(),
        QStringLiteral("1,048,576 of 1,048,576 bytes (100%)"));
    QVERIFY(widget<QPushButton>(dialog, "sendBtn")->isEnabled());
    QCOMPARE(catcher->count(), 0);
}

void TstSendTools::fileStops_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("message");
    QTest::newRow("cancel") << "cancel"
                            << "was cancelled.";
    QTest::newRow("lost line") << "lost"
                               << "stopped: the line was lost.";
    QTest::newRow("unreadable") << "unreadable"
                                << "No bytes went out.";
}

void TstSendTools::fileStops()
{
    QFETCH(QString, how);
    QFETCH(QString, message);
    QString path = writeFile(1024 * 1024);
    if (how == "unreadable")
        path += ".missing";
    FileSender *sender = tools->fileSender();
    tools->sendFile(path);
    QByteArray arrived;
    if (how != "unreadable") {
        arrived = peer->read(20000);
        QVERIFY(arrived.size() >= 20000);
        if (how == "cancel")
            QTest::mouseClick(widget<QPushButton>(dialog, "cancelFileBtn"), Qt::LeftButton);
        else
            peer->hangUp();
    }
    QTRY_VERIFY_WITH_TIMEOUT(catcher->texts().filter(message).size() == 1, 20000);
    const QString text = catcher->texts().filter(message).first();
    if (how == "cancel") {
        arrived += peer->read(fileData.size(), 500);
        QCOMPARE(arrived, fileData.left(sender->sentBytes()));
        QCOMPARE(sentBytes(), arrived);
        QVERIFY(widget<QPushButton>(dialog, "sendBtn")->isEnabled());
    }
    const QString count = how == "unreadable"
        ? QString()
        : QLocale().toString(how == "cancel" ? sender->sentBytes() : qint64(sentBytes().size()))
            + " of 1,048,576 bytes went out.";
    QVERIFY2(text.endsWith(count), qPrintable(text));
    // One message from the sender; a lost line adds the device's own, never on top of it.
    QCOMPARE(catcher->count(), how == "lost" ? 2 : 1);
    QCOMPARE(catcher->deepestStack(), 1);
}

VT_TEST_MAIN(TstSendTools)
#include "tst_sendtools.moc"
