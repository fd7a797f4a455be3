// The program as its own main() runs it, driven from inside: opens a terminal for each COM name
// on the command line, sends one byte from each (0x41, 0x42, ...), prints how many terminals are
// shown, and closes the main window the way its title bar's close button does as soon as the
// first block arrives from a device. The exit code is what the event loop returned.
#include "app/verantisterminalapp.h"
#include "data/appdevicedata.h"
#include "data/apphistorydata.h"
#include "models/appabstracttablemodel.h"
#include "ui/appdevicedialog.h"
#include "ui/appmainwin.h"
#include "util/qtcompat.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QWindow>

#include <cstdio>

int main(int argc, char **argv)
{
    // The real program's folder names, so its port mapping is found where it would be.
    QCoreApplication::setApplicationName(QStringLiteral("VerantisTerminal"));
    QtCompat::enableHighDpiScaling();
    QGuiApplication::setDesktopSettingsAware(true);
    VerantisTerminalApp app(argc, argv);
    const QStringList ports = app.arguments().mid(1);

    AppMainWin *mainWin = app.mainWin();
    auto *history = qobject_cast<AppAbstractTableModel *>(
        mainWin->findChild<QAbstractItemView *>(QStringLiteral("historyTable"))->model());
    QObject::connect(history, &QAbstractItemModel::rowsInserted, mainWin,
        [history, mainWin](const QModelIndex &, int first, int) {
            auto *record = static_cast<AppHistoryData *>(history->getData(first));
            if (record->direction() == QLatin1String("Received"))
                QTimer::singleShot(0, mainWin, [mainWin] { mainWin->windowHandle()->close(); });
        });

    // Closing with traffic never saved asks first; the probe discards it.
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, &app, [] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (QAbstractButton *discard = box ? box->button(QMessageBox::Discard) : nullptr)
            discard->click();
    });
    answer.start(10);

    QTimer::singleShot(0, &app, [&app, ports] {
        for (const QString &port : ports) {
            AppDeviceData record(QStringLiteral("probe"), port, 9600, 8, 0, 0, 0);
            app.openDevice(&record);
        }
        const QList<AppDeviceDialog *> dialogs = app.mainWin()->findChildren<AppDeviceDialog *>();
        char byte = 'A';
        for (AppDeviceDialog *dialog : dialogs) {
            dialog->findChild<QLineEdit *>(QStringLiteral("hexEdit"))
                ->setText(QString::number(byte++, 16));
            dialog->findChild<QPushButton *>(QStringLiteral("sendBtn"))->click();
        }
        std::printf("terminals %d\n", int(dialogs.size()));
        std::fflush(stdout);
    });
    return app.exec();
}
