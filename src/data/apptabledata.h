#ifndef APPTABLEDATA_H
#define APPTABLEDATA_H

#include <QObject>

// Base of every table row record. The records carry no meta-object of their own:
// each table model knows which record class its list holds.
class AppTableData : public QObject
{
    Q_OBJECT
public:
    explicit AppTableData(QObject *parent = nullptr);
    ~AppTableData() override;

private:
    Q_DISABLE_COPY(AppTableData)
};

#endif // APPTABLEDATA_H
