#ifndef APPCOMMANDTABLEDELEGATE_H
#define APPCOMMANDTABLEDELEGATE_H

#include <QStyledItemDelegate>

class QTableView;

// In-place line editors of the saved-commands table, and its "Delete" buttons.
class AppCommandTableDelegate : public QStyledItemDelegate
{
public:
    explicit AppCommandTableDelegate(QTableView *view);
    ~AppCommandTableDelegate() override;

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

#endif // APPCOMMANDTABLEDELEGATE_H
