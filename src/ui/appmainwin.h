#ifndef APPMAINWIN_H
#define APPMAINWIN_H

#include <QMainWindow>
#include <QModelIndex>

class AppAbstractTableModel;
class AppCommandTableDelegate;
class AppCommandTableModel;
class AppDeviceTableDelegate;
class AppDeviceTableModel;
class AppHistoryData;
class AppHistoryTableModel;
class AppTableData;

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
    void onHEXEdited();
    void onASCIIEdited();
    void onClearBtnClicked();
    void onSaveHistoryBtnCLicked();
    void onCommandRemoved(QModelIndex parent, int first, int last);
    void onDeviceRemoved(QModelIndex parent, int first, int last);

private:
    Q_DISABLE_COPY(AppMainWin)

    // Puts back a row whose removal the store could not write.
    static void keepRow(AppAbstractTableModel *model, int row, AppTableData *copy);

    Ui::AppMainWin *ui;
    // Created without a Qt parent and owned by the window; they go after the tables that show
    // them.
    AppDeviceTableModel *deviceModel;
    AppCommandTableModel *commandModel;
    AppHistoryTableModel *historyModel;
    AppDeviceTableDelegate *deviceDelegate;
    AppCommandTableDelegate *commandDelegate;
};

#endif // APPMAINWIN_H
