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

    // The open device this terminal serves; null once it has been released.
    AppDevice *servedDevice() const { return device; }

    // Escape rejects a dialog without a close event; this routes it through close() instead.
    void reject() override;

private slots:
    void closeEvent(QCloseEvent *ev) override;
    void onDeviceDisconnected();
    void onDeviceError();
    void onDeviceFullToRead(QByteArray buf);
    void onSendBtnClicked();
    void onHEXChanged();
    void onASCIIChanged();
    void onHEXEdited();
    void onASCIIEdited();
    void onClearBtnClicked();
    void onCopyToClipBoard();
    void onLoadBtnClicked();

private:
    Q_DISABLE_COPY(AppDeviceDialog)

    void loadSavedCommands();
    // Appends one paragraph to the log as plain text, never as markup.
    void appendToLog(const QString &paragraph);
    // The log as text, one line per paragraph, with every logged byte as it arrived.
    QString logPlainText() const;
    void addHistory(const QString &direction, const QByteArray &bytes);

    Ui::AppDeviceDialog *ui;
    AppDevice *device;
    AppMainWin *mainWin;
};

#endif // APPDEVICEDIALOG_H
