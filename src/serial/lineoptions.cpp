#include "serial/lineoptions.h"

#include <QCoreApplication>

namespace {

LineOptionsSource &optionsSource()
{
    static LineOptionsSource source;
    return source;
}

} // namespace

QString AdapterId::text() const
{
    const QString ids = QStringLiteral("%1:%2")
                            .arg(vendorId, 4, 16, QLatin1Char('0'))
                            .arg(productId, 4, 16, QLatin1Char('0'));
    if (serialNumber.isEmpty())
        return QCoreApplication::translate("AdapterId", "%1 without a serial number").arg(ids);
    return QCoreApplication::translate("AdapterId", "%1 serial %2").arg(ids, serialNumber);
}

void setLineOptionsSource(LineOptionsSource source)
{
    optionsSource() = std::move(source);
}

LineOptions lineOptionsFor(const QString &deviceName)
{
    if (deviceName.isEmpty() || !optionsSource())
        return LineOptions();
    return optionsSource()(deviceName);
}
