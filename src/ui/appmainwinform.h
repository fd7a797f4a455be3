#ifndef APPMAINWINFORM_H
#define APPMAINWINFORM_H

class QCheckBox;
class QComboBox;
class PortCombo;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QMainWindow;
class QPushButton;
class QScrollBar;
class QTableView;
class QVBoxLayout;
class QWidget;

namespace Ui {

// The main window's widgets and layouts, built the way a form editor would build them.
// A plain holder: the widgets belong to the window through their parents.
class AppMainWin
{
public:
    QWidget *centralWidget;
    QVBoxLayout *verticalLayout;
    QHBoxLayout *horizontalLayout_2;
    QLabel *label_10;
    QLineEdit *deviceNameEdit;
    QLabel *label_4;
    PortCombo *portCombo;
    QLabel *label_5;
    QComboBox *baudRateCombo;
    QLabel *label_6;
    QComboBox *dataBitsCombo;
    QLabel *label_7;
    QComboBox *stopBitsCombo;
    QLabel *label_8;
    QComboBox *parityCombo;
    QLabel *label_9;
    QComboBox *flowControlCombo;
    QPushButton *deviceOpenBtn;
    QPushButton *deviceSaveBtn;
    QHBoxLayout *horizontalLayout;
    QLabel *label;
    QLineEdit *commandNameEdit;
    QLabel *label_2;
    QLineEdit *hexEdit;
    QLabel *label_3;
    QLineEdit *asciiEdit;
    QPushButton *commandSaveBtn;
    QLabel *label_11;
    QTableView *deviceTable;
    QLabel *label_12;
    QTableView *commandTable;
    QHBoxLayout *horizontalLayout_3;
    QLabel *label_13;
    QPushButton *saveHistoryBtn;
    QPushButton *clearHistoryBtn;
    // Finding and filtering the history: the filters and "shown rows only" beside its buttons,
    // the find bar's row above it.
    QComboBox *historyPortFilter;
    QComboBox *historyDirFilter;
    QCheckBox *saveShownCheck;
    QHBoxLayout *historyFindRow;
    QHBoxLayout *historyRow;
    QTableView *historyTable;
    QScrollBar *historyScrollBar;

    void setupUi(QMainWindow *AppMainWin);
    void retranslateUi(QMainWindow *AppMainWin);
};

} // namespace Ui

#endif // APPMAINWINFORM_H
