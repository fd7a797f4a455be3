#ifndef TERMINALLOGFILE_H
#define TERMINALLOGFILE_H

#include "data/logfile.h"

#include <QObject>
#include <QString>

class AppDeviceData;
class AppHistoryData;
class QCheckBox;
class QComboBox;
class QHBoxLayout;
class QLineEdit;
class QPushButton;
class QWidget;

// A terminal's log file: "Log to file", the path (which may hold %date%, %time% and %port%), a
// "…" button that picks a file, and the format. A saved device's choice is stored with its
// options and applied as the terminal opens, before any byte is read; a terminal without a
// choice of its own follows the main window's "Log every terminal to folder". In the Lines
// format the file also gets Event rows marking where logging began ("Opened"), where it ended
// ("Closed") and where the log was cleared ("Cleared").
class TerminalLogFile : public QObject
{
    Q_OBJECT
public:
    // The widgets go into `row`; `line` is the open device's record and must outlive finish().
    TerminalLogFile(QWidget *dialog, QHBoxLayout *row, const AppDeviceData *line);
    ~TerminalLogFile() override;

    bool isLogging() const { return log != nullptr; }
    LogFile *logFile() const { return log; }

    // A history record of this terminal, as the dialog adds it.
    void addRecord(const AppHistoryData &record);
    // A marker row in the file only ("Cleared").
    void addMarker(const QString &word);
    // The port closes: the file gets "Closed" and is complete.
    void finish();

private:
    Q_DISABLE_COPY(TerminalLogFile)

    void onCheckClicked(bool checked);
    void onPathEdited();
    void onFormatChosen();
    void onPickClicked();
    void onFailed(const QString &text);

    void start();
    void stop();
    void restart();
    void remember();
    LogFile::Format chosenFormat() const;
    // A message after the dialog has come up: a box opened inside its constructor would stop
    // the terminal from opening until it is answered.
    void tellLater(const QString &text);

    QWidget *dialog;
    QCheckBox *check;
    QLineEdit *pathEdit;
    QPushButton *pickBtn;
    QComboBox *formatCombo;
    LogFile *log;
    // The path as last applied, to tell an edit from a field merely losing the focus.
    QString shownPath;
    // Copies of the line's settings for the markers, which can come after the device has gone.
    QString deviceName;
    QString portName;
    int baudRate;
    int dataBits;
    int stopBits;
    int parity;
    int flowControl;
};

#endif // TERMINALLOGFILE_H
