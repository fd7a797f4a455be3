#ifndef APPCOMMANDDATA_H
#define APPCOMMANDDATA_H

#include "data/apptabledata.h"

#include <QByteArray>
#include <QString>

// A saved command: a name and the bytes it sends.
class AppCommandData : public AppTableData
{
public:
    AppCommandData(QString name, QByteArray bytes);
    ~AppCommandData() override;

    QString name() const { return m_name; }
    void setName(QString name) { m_name = name; }
    QByteArray bytes() const { return m_bytes; }
    void setBytes(QByteArray bytes) { m_bytes = bytes; }

private:
    QString m_name;
    QByteArray m_bytes;
};

#endif // APPCOMMANDDATA_H
