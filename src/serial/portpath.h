#ifndef PORTPATH_H
#define PORTPATH_H

#include <QString>

// The operator always sees COM names. On Linux a COM name is mapped to a device by an entry
// "ports/<name>" in the per-user data folder (usually a symlink to /dev/ttyUSB0 or similar);
// without one the name is handed to the port unchanged, so /dev/<name> is used (a udev rule can
// provide it). On Windows the name always passes through unchanged.
QString portMappingFolder();
QString resolvePortName(const QString &portName);

// The message for a port that failed to open: the name, the path tried and the system's reason.
// On Linux a COM name without a device behind it also says how to link one, and which ports
// the system has.
QString openFailureText(const QString &portName, const QString &location, const QString &reason);

#endif // PORTPATH_H
