#ifndef LOGFOLDERSETTING_H
#define LOGFOLDERSETTING_H

#include <QObject>
#include <QString>

class AppSettingsManager;
class QBoxLayout;
class QCheckBox;
class QLineEdit;
class QPushButton;
class QWidget;

// The main window's "Log every terminal to folder": a check box, the folder and a "…" button
// that picks it, kept as program-wide options. Every terminal without a log choice of its own
// then logs in the Lines format to "%port%-%date%.log" in that folder.
class LogFolderSetting : public QObject
{
    Q_OBJECT
public:
    // The widgets go at the end of `layout`.
    LogFolderSetting(QWidget *window, QBoxLayout *layout);

    // The log path a terminal without a choice of its own takes, or empty for none.
    static QString terminalPath(AppSettingsManager *store);

private:
    Q_DISABLE_COPY(LogFolderSetting)

    void remember();
    void onPickClicked();

    QWidget *window;
    QCheckBox *check;
    QLineEdit *folderEdit;
    QPushButton *pickBtn;
};

#endif // LOGFOLDERSETTING_H
