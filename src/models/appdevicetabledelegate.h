#ifndef APPDEVICETABLEDELEGATE_H
#define APPDEVICETABLEDELEGATE_H

#include <QStyledItemDelegate>

#include <memory>

class QTableView;
class RowButtons;

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
    void setModelData(
        QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override;
    // The button cells are kept for later rows rather than destroyed (see RowButtons::park).
    void destroyEditor(QWidget *editor, const QModelIndex &index) const override;

private:
    Q_DISABLE_COPY(AppDeviceTableDelegate)

    QTableView *view;
    std::unique_ptr<RowButtons> rowButtons;
};

#endif // APPDEVICETABLEDELEGATE_H
