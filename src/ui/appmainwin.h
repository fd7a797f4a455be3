#ifndef APPMAINWIN_H
#define APPMAINWIN_H

#include "data/appsettingsmanager.h"

#include <QList>
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
class FindBar;
class QCloseEvent;
class QPushButton;
class QTimer;

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

    // Takes the record at once, in arrival order across all terminals; the table shows it with
    // the others of the same frame, so a busy line costs one insertion and one repaint per frame
    // rather than per batch.
    void addHistory(AppHistoryData *record);
    // Puts the records still waiting for the next frame into the capture store and the history
    // now; the terminals' logs follow (historyStored).
    void flushHistory();
    // Shows the history from that row on, wherever it is in the history.
    void showHistoryRow(qint64 row);

    // How often the history and the logs take their waiting records while data flows. Every
    // frame costs a transaction, a read of each log's new rows and a repaint whatever the data
    // rate, so frames are as long as they can be while a row still reaches the store within
    // 100 ms of arriving (the timer is precise, and a frame's own work takes a few ms).
    static constexpr int HistoryFrameMs = 80;
    // Beyond this many rows the history's bar gives a place in proportion rather than a row.
    static constexpr qint64 HistoryBarSteps = 1 << 30;

protected:
    // Asks before history that was never saved goes with the window.
    void closeEvent(QCloseEvent *event) override;

signals:
    // Records have reached the capture store: the views that read it may show them.
    void historyStored();

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
    // Puts the last deleted device or command back, into the file and the table.
    void undoDelete();
    void onHistoryScrolled();
    // The bar beside the history was moved: shows that place of the whole history.
    void onHistoryBarMoved(int value);
    // Puts the bar beside the history where the table is.
    void updateHistoryBar();
    // Finding and filtering the history.
    void onHistoryFilterChanged();
    void updatePortFilter();
    // The time from the row before, or between two rows, in the status bar.
    void onHistorySelectionChanged();

public:
    // The find bar over the history.
    FindBar *historyFindBar() const { return historyFind; }
    // What the status bar says of the selected history rows; empty for none.
    QString replyTimeText() const;

private:
    Q_DISABLE_COPY(AppMainWin)

    void setUpHistoryFind();
    // Shows the history's row at that place and selects it.
    void selectHistoryRow(qint64 position);

    // Rows taken since the last successful Save History or Clear History.
    qint64 unsavedHistoryRows() const;
    // Asks whether the unsaved rows may go; true when they were saved or may be discarded.
    bool historyMayGo();
    // The history's row at the top of the table, and the last row that can be there.
    qint64 historyTopRow() const;
    qint64 historyLastTop() const;
    // Whether the table shows the history's newest row, so that new rows are followed.
    bool historyAtEnd() const;
    // Saves every row taken so far; true once they are written.
    bool saveAllHistory();
    // Keeps a copy of a deleted row for Undo, and offers it in the status bar for a while.
    void offerUndo(AppAbstractTableModel *model, int row, AppTableData *copy, const QString &text);

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
    // Records taken but not yet in the model, oldest first; owned by the window until then.
    QList<AppTableData *> pendingHistory;
    QTimer *historyFrame;
    // How many of the history's rows the last Save History wrote.
    qint64 historyRowsSaved;
    // The last deleted device or command, its table and its row, while Undo can bring it back.
    AppTableData *deleted;
    AppAbstractTableModel *deletedFrom;
    int deletedRow;
    // The deleted device's options, which come back with it.
    AppSettingsManager::Options deletedOptions;
    QPushButton *undoButton;
    QTimer *undoOffer;
    // Set while the history's window is moved, which scrolls the table itself.
    bool movingWindow;
    FindBar *historyFind;
};

#endif // APPMAINWIN_H
