#include "data/appcommanddata.h"

AppCommandData::AppCommandData(QString name, QByteArray bytes)
    : m_name(name)
    , m_bytes(bytes)
{
}

AppCommandData::~AppCommandData() = default;
