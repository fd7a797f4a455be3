#ifndef DISKFAILURE_H
#define DISKFAILURE_H

#include <QString>
#include <QtGlobal>

// Why a file on disk could not be written, told from the outside, for the operator.
namespace DiskFailure {

// The reason a write of about `needed` bytes to `path` failed.
QString reason(const QString &path, qint64 needed);

// Whether the disk holding `path` (or the nearest folder of it that exists) has `needed` bytes
// free; true where that cannot be told.
bool roomFor(const QString &path, qint64 needed);

} // namespace DiskFailure

#endif // DISKFAILURE_H
