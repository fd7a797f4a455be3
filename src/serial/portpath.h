#ifndef PORTPATH_H
#define PORTPATH_H

#include <QString>

// The operator always sees COM names. On Linux a COM name is mapped to a device by an entry
// "ports/<name>" in the per-user data folder (usually a symlink to /dev/ttyUSB0 or similar);
// without one the name is handed to the port unchanged, so /dev/<name> is used (a udev rule can
// provide it). On Windows the name always passes through unchanged.
QString portMappingFolder();
QString resolvePortName(const QString &portName);

#endif // PORTPATH_H
