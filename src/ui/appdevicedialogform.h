#ifndef APPDEVICEDIALOGFORM_H
#define APPDEVICEDIALOGFORM_H

class QComboBox;
class QDialog;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpacerItem;
class QTextEdit;
class QVBoxLayout;

namespace Ui {

// The terminal dialog's widgets and layouts, built the way a form editor would build them.
// A plain holder: the widgets belong to the dialog through their parents.
class AppDeviceDialog
{
public:
    QVBoxLayout *verticalLayout;
    QLabel *deviceNameLabel;
    QHBoxLayout *horizontalLayout_4;
    QLabel *portNumLabel;
    QLabel *baudRateLabel;
    QLabel *dataBitsLabel;
    QHBoxLayout *horizontalLayout_5;
    QLabel *stopBitsLabel;
    QLabel *parityLabel;
    QLabel *flowControlLabel;
    // Rows filled by the terminal's tools, each by its own class: the line's controls and
    // indicators, sending options, the log's view and find bar, and the log file.
    QHBoxLayout *lineRow;
    QHBoxLayout *sendRow;
    QHBoxLayout *viewRow;
    QHBoxLayout *findRow;
    QHBoxLayout *logFileRow;
    QHBoxLayout *horizontalLayout;
    QLabel *label;
    QComboBox *savedCommandsCombo;
    QSpacerItem *horizontalSpacer;
    QPushButton *loadCommandBtn;
    QHBoxLayout *horizontalLayout_2;
    QLabel *label_3;
    QLineEdit *hexEdit;
    QLabel *label_4;
    QLineEdit *asciiEdit;
    QPushButton *sendBtn;
    QTextEdit *logText;
    QHBoxLayout *horizontalLayout_3;
    QPushButton *clearBtn;
    QPushButton *clipBoardBtn;
    QPushButton *copyViewBtn;
    QPushButton *closeBtn;

    void setupUi(QDialog *AppDeviceDialog);
    void retranslateUi(QDialog *AppDeviceDialog);
};

} // namespace Ui

#endif // APPDEVICEDIALOGFORM_H
