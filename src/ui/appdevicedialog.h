#ifndef APPDEVICEDIALOG_H
#define APPDEVICEDIALOG_H

#include <QByteArray>
#include <QDialog>
#include <QString>

class AppDevice;
class AppMainWin;
class LogView;
class QCloseEvent;
class QShowEvent;
class TerminalLogFile;
class SendRecall;
class SendTools;

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

    // The log shows a window of this terminal's blocks: see LogView.
    LogView *logView() const { return log; }

protected:
    void showEvent(QShowEvent *event) override;

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
    void onCopyView();
    void onLoadBtnClicked();

private:
    Q_DISABLE_COPY(AppDeviceDialog)

    void loadSavedCommands();
    void addHistory(const QString &direction, const QByteArray &bytes);
    // Copy To Clipboard (the blocks, byte-exact) or Copy View (the log as the view shows it).
    void copyLog(bool asShown);
    // The one way a block reaches the line: written, then logged and recorded as sent. False
    // when the port did not take it.
    bool send(const QByteArray &bytes);
    // A line event or marker ("Lost", "DTR on"): an Event row in the history, a paragraph in the
    // log, and a line in a log file.
    void addEvent(const QString &text);

    Ui::AppDeviceDialog *ui;
    AppDevice *device;
    AppMainWin *mainWin;
    // Which terminal of this run logged a history row: its log reads its own rows back.
    int terminal;
    LogView *log;
    // The log file, which takes every history record of this terminal.
    TerminalLogFile *logFile;
    // Set while the saved command the list shows is being deleted.
    bool shownCommandGoes;
    // The sending row (line ending, repeat, files) and the blocks sent, for Up and Down.
    SendTools *sendTools;
    SendRecall *recall;
};

#endif // APPDEVICEDIALOG_H
