#ifndef VERANTISTERMINALAPP_H
#define VERANTISTERMINALAPP_H

#include <QApplication>
#include <QString>

class AppDevice;
class AppDeviceData;
class AppDeviceDialog;
class AppDeviceManager;
class AppMainWin;
class AppSettingsManager;
class CaptureStore;
struct StartOptions;

// The application object: owns the settings store, the registry of open devices and the main
// window, and offers the services every other class reaches through QCoreApplication::instance().
class VerantisTerminalApp : public QApplication
{
    Q_OBJECT
public:
    VerantisTerminalApp(int &argc, char **argv);
    ~VerantisTerminalApp() override;

    // The running application object.
    static VerantisTerminalApp *app();

    AppSettingsManager *settingsManager() const;
    AppDeviceManager *deviceManager() const;
    // Opens the record's port in a terminal of its own, or brings the port's open terminal to
    // the front. Returns the terminal's device, or nullptr when the port did not open (the
    // operator has been told why).
    AppDevice *openDevice(const AppDeviceData *device);
    // Opens what the command line names, each in its terminal, logging them if asked. A
    // failure is shown as a message and the program keeps running.
    void openFromCommandLine(const StartOptions &options);
    void showMessage(QString text);

    AppMainWin *mainWin() const { return mainWindow; }
    // This run's history on disk.
    CaptureStore *captureStore() const { return capture; }

private:
    Q_DISABLE_COPY(VerantisTerminalApp)

    // The shown terminal whose device is open on the port, if any.
    AppDeviceDialog *terminalFor(const QString &portName) const;
    // The most recently opened terminal that is still shown.
    AppDeviceDialog *lastTerminal() const;
    static void cascadeFrom(AppDeviceDialog *dialog, const AppDeviceDialog *last);

    AppMainWin *mainWindow;
    AppSettingsManager *settings;
    AppDeviceManager *devices;
    CaptureStore *capture;
};

#endif // VERANTISTERMINALAPP_H
