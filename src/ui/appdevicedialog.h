#ifndef APPDEVICEDIALOG_H
#define APPDEVICEDIALOG_H

#include <QByteArray>
#include <QDialog>

class AppDevice;
class AppMainWin;
class QCloseEvent;

namespace Ui {
class AppDeviceDialog;
}

// The terminal window of one open device: sends commands and logs every block.
class AppDeviceDialog : public QDialog
{
    Q_OBJECT
public:
    AppDeviceDialog(AppMainWin *parent, AppDevice *device);
    ~AppDeviceDialog() override;

private slots:
    void closeEvent(QCloseEvent *ev) override;
    void onDeviceDisconnected();
    void onDeviceError();
    void onDeviceFullToRead(QByteArray buf);
    void onSendBtnClicked();
    void onHEXChanged();
    void onASCIIChanged();
    void onClearBtnClicked();
    void onCopyToClipBoard();
    void onLoadBtnClicked();

private:
    Q_DISABLE_COPY(AppDeviceDialog)

    void loadSavedCommands();

    Ui::AppDeviceDialog *ui;
    AppDevice *device;
    AppMainWin *mainWin;
};

#endif // APPDEVICEDIALOG_H
