#ifndef APPDEVICETABLEDELEGATE_H
#define APPDEVICETABLEDELEGATE_H

#include <QStyledItemDelegate>

class QTableView;

// In-place editors of the saved-devices table, and its "Delete" and "Open" buttons.
class AppDeviceTableDelegate : public QStyledItemDelegate
{
public:
    explicit AppDeviceTableDelegate(QTableView *view);
    ~AppDeviceTableDelegate() override;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model,
                      const QModelIndex &index) const override;

private:
    QTableView *view;
};

#endif // APPDEVICETABLEDELEGATE_H
