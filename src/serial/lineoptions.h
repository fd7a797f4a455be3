#ifndef LINEOPTIONS_H
#define LINEOPTIONS_H

#include <QString>

#include <functional>
#include <optional>

// A USB adapter as the system lists it; a null one (no serial number) cannot be told apart
// from others of its kind.
struct AdapterId
{
    quint16 vendorId = 0;
    quint16 productId = 0;
    QString serialNumber;

    bool isNull() const { return serialNumber.isEmpty(); }
    bool operator==(const AdapterId &other) const
    {
        return vendorId == other.vendorId && productId == other.productId
            && serialNumber == other.serialNumber;
    }
    // "0403:6001 serial A10K3Q"
    QString text() const;
};

// What a saved device keeps about its line beside the six settings.
struct LineOptions
{
    // Set right after every open; nothing keeps what the driver does.
    std::optional<bool> dtr;
    std::optional<bool> rts;
    // Wait for a lost line to come back instead of closing.
    bool reconnect = false;
    // Open this adapter wherever it is; null: the port name as saved.
    AdapterId adapter;
};

// Where a device finds its stored options by the device's name; without a source (a test, the
// headless capture) every device starts with the defaults.
using LineOptionsSource = std::function<LineOptions(const QString &deviceName)>;
void setLineOptionsSource(LineOptionsSource source);
LineOptions lineOptionsFor(const QString &deviceName);

#endif // LINEOPTIONS_H
