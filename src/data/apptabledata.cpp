#include "data/apptabledata.h"

AppTableData::AppTableData(QObject *parent)
    : QObject(parent)
{
}

AppTableData::~AppTableData() = default;
