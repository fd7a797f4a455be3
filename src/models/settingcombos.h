#ifndef SETTINGCOMBOS_H
#define SETTINGCOMBOS_H

#include <QComboBox>

// The port list of the entry form and of the saved-devices table: the ports the system has, then
// COM1 to COM100. It asks the system again each time it is opened, so an adapter plugged in
// meanwhile appears; it never polls.
class PortCombo : public QComboBox
{
    Q_OBJECT
public:
    explicit PortCombo(QWidget *parent = nullptr);

    // Fills the list anew and keeps the current name selected. A name that is no longer listed
    // (a saved device whose adapter is unplugged) stays as an entry, so it is never replaced by
    // another port unasked.
    void refreshPorts();

    // Selects the name, adding it as an entry when the list does not have it.
    void selectPort(const QString &name);

    void showPopup() override;

private:
    Q_DISABLE_COPY(PortCombo)
};

// Makes a baud-rate list accept any typed rate besides its entries; digits only.
void makeBaudRateEditable(QComboBox *combo);

// Selects the rate's entry, or shows the rate as typed text when the list does not offer it.
void selectBaudRate(QComboBox *combo, const QString &rate);

// Makes the combo at least wide enough to show the longest of the texts in full, measured as the
// combo draws them (style sheet padding, frame, arrow). Without texts, its own entries count.
void fitToLongestEntry(QComboBox *combo, const QStringList &texts = QStringList());

#endif // SETTINGCOMBOS_H
