#ifndef APPMAINWIN_H
#define APPMAINWIN_H

#include <QMainWindow>
#include <QModelIndex>

class AppHistoryData;

namespace Ui {
class AppMainWin;
}

// The main window: the device and command entry forms, the saved-devices and saved-commands
// tables, and the history of all traffic.
class AppMainWin : public QMainWindow
{
    Q_OBJECT
public:
    explicit AppMainWin(QWidget *parent = nullptr);
    ~AppMainWin() override;

    void addHistory(AppHistoryData *record);

private slots:
    void onDeviceSaveBtnClicked();
    void onDeviceOpenBtnClicked();
    void onCommandSaveBtnClicked();
    void onHEXChanged();
    void onASCIIChanged();
    void onClearBtnClicked();
    void onSaveHistoryBtnCLicked();
    void onCommandRemoved(QModelIndex parent, int first, int last);
    void onDeviceRemoved(QModelIndex parent, int first, int last);

private:
    Q_DISABLE_COPY(AppMainWin)

    Ui::AppMainWin *ui;
};

#endif // APPMAINWIN_H
