#ifndef SENDTOOLS_H
#define SENDTOOLS_H

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>

class AppDevice;
class FileSender;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QWidget;
class RepeatSender;

namespace Ui {
class AppDeviceDialog;
}

// The terminal's sending row: the line ending added to every block, sending the block on a
// schedule, and sending a file at the line's pace. Every block goes through the terminal's own
// send, so it is logged and recorded like any other.
class SendTools : public QObject
{
    Q_OBJECT
public:
    // Hands a block to the line, logging it; false when the line did not take it.
    using Send = std::function<bool(const QByteArray &)>;

    SendTools(Ui::AppDeviceDialog *form, AppDevice *device, Send send, QWidget *parent);

    // The bytes that follow every block: none, CR, LF or CR LF.
    QByteArray lineEnding() const;
    // Sends the file as if chosen with Send File.
    void sendFile(const QString &path);
    // The terminal closes: nothing more may go.
    void stopAll();

    RepeatSender *repeater() const { return repeat; }
    FileSender *fileSender() const { return file; }

private:
    Q_DISABLE_COPY(SendTools)

    void buildRow(Ui::AppDeviceDialog *form, QWidget *parent);
    void onRepeatToggled(bool on);
    bool startRepeat();
    void onRepeatStopped(bool refused);
    void onSendFileClicked();
    void onFileProgress(qint64 sent, qint64 total);
    void onFileFinished(const QString &text);
    void setFileBusy(bool busy);

    AppDevice *device;
    QWidget *window;
    QPushButton *sendBtn;
    QLineEdit *hexEdit;
    QComboBox *lineEndCombo = nullptr;
    QCheckBox *repeatCheck = nullptr;
    QSpinBox *repeatSpin = nullptr;
    QSpinBox *repeatCountSpin = nullptr;
    QLabel *repeatSentLabel = nullptr;
    QPushButton *sendFileBtn = nullptr;
    QProgressBar *fileProgress = nullptr;
    QLabel *fileStatusLabel = nullptr;
    QPushButton *cancelFileBtn = nullptr;
    RepeatSender *repeat;
    FileSender *file;
};

#endif // SENDTOOLS_H
