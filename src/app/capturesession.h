#ifndef CAPTURESESSION_H
#define CAPTURESESSION_H

#include "app/commandline.h"

#include <QList>
#include <QObject>
#include <QTimer>

#include <memory>

class AppDeviceManager;
class LogFile;

// --capture: the ports of the command line logged to their files, with no window and no
// display, until SIGINT or SIGTERM. Runs inside a plain QCoreApplication.
class CaptureSession : public QObject
{
    Q_OBJECT
public:
    explicit CaptureSession(StartOptions options);
    ~CaptureSession() override;

    // Opens the ports and their logs and runs the event loop. Returns the exit code: 0 after a
    // signal, 1 after a failure, which has been printed as one line on stderr.
    int exec();

private:
    Q_DISABLE_COPY(CaptureSession)

    bool start();
    void finish(int code);
    void closeAll();
    void fail(const QString &text);
    void onSignal();
    void printStatus();
    void endStatusLine();

    StartOptions options;
    std::unique_ptr<AppDeviceManager> devices;
    QList<LogFile *> logs;
    QTimer statusTimer;
    bool finishing = false;
    int exitCode = 0;
    bool statusShown = false;
    qint64 bytesIn = 0;
    qint64 bytesOut = 0;
    qint64 bytesInAtLastStatus = 0;
};

#endif // CAPTURESESSION_H
