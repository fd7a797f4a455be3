#ifndef APPDEVICEDIALOG_H
#define APPDEVICEDIALOG_H

#include <QByteArray>
#include <QDialog>
#include <QString>
#include <QVector>

class AppDevice;
class AppMainWin;
class QCloseEvent;
class QShowEvent;
class QTimer;

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

    // The log shows at most this many of the newest blocks, and at most this many characters
    // (the newest block is always shown): laying out a longer document costs more on every
    // append, and past about 21 million pixels Qt's text layout breaks down. Of a burst only
    // the newest FrameCharacters are laid out. Copy To Clipboard still gives everything since
    // the last Clear.
    static constexpr int MaxShownBlocks = 5000;
    static constexpr int MaxShownCharacters = 128 * 1024;
    static constexpr int FrameCharacters = 32 * 1024;
    // Laid out in one go before the event loop gets a look in, and the pause after such a slice.
    static constexpr int SliceMs = 12;
    static constexpr int SliceGapMs = 2;
    // How often the log takes the paragraphs that arrived meanwhile.
    static constexpr int LogFrameMs = 40;

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
    void onLoadBtnClicked();

private:
    Q_DISABLE_COPY(AppDeviceDialog)

    // One paragraph of the log. A received block keeps only its bytes, shared with its history
    // record; its text is made when it is shown or copied.
    struct LogEntry
    {
        QByteArray bytes;
        QString text;
    };

    void loadSavedCommands();
    // Takes a paragraph for the next frame of the log.
    void appendToLog(const LogEntry &entry);
    // Shows the paragraphs taken since the last frame, a slice at a time.
    void flushLog();
    // Shows everything taken so far, now.
    void flushWholeLog();
    // Shows the next slice of what was taken, in one edit of the log; true if more waits.
    bool showLogSlice();
    bool logTooLong() const;
    // Drops the oldest shown blocks once the log holds too many, keeping the operator's place;
    // true if it dropped any.
    bool trimLog(bool following);
    static QString paragraphText(const LogEntry &entry);
    // The log as text, one line per paragraph, with every logged byte as it arrived.
    QString logPlainText() const;
    void addHistory(const QString &direction, const QByteArray &bytes);

    Ui::AppDeviceDialog *ui;
    AppDevice *device;
    AppMainWin *mainWin;
    // Everything logged since the last Clear, oldest first; the first `shownEntries` of them have
    // been put into the log widget (and the oldest of those may have been dropped from it since).
    QVector<LogEntry> logEntries;
    int shownEntries;
    // How fast the log has been laying out text lately.
    double layoutCharsPerMs;
    QTimer *logFrame;
    // Set while the saved command the list shows is being deleted.
    bool shownCommandGoes;
};

#endif // APPDEVICEDIALOG_H
