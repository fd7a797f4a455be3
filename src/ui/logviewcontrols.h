#ifndef LOGVIEWCONTROLS_H
#define LOGVIEWCONTROLS_H

#include <QObject>
#include <QString>

class AppDeviceData;
class LogView;
class QCheckBox;
class QComboBox;
class QHBoxLayout;
class QSpinBox;
class QWidget;

// The row that chooses how a terminal's log reads: Blocks, Lines or Hex dump, where Lines split,
// the gap that ends a line, and whether escapes show raw. Remembered per saved device.
class LogViewControls : public QObject
{
    Q_OBJECT
public:
    // `before` is the widget the row's controls follow in the tab order.
    LogViewControls(QWidget *dialog, QHBoxLayout *row, QWidget *before, LogView *log,
        const AppDeviceData *device);

private:
    Q_DISABLE_COPY(LogViewControls)

    void apply();
    void store();

    LogView *log;
    const AppDeviceData *device;
    QComboBox *viewCombo;
    QComboBox *splitCombo;
    QSpinBox *gapSpin;
    QCheckBox *rawCheck;
};

#endif // LOGVIEWCONTROLS_H
