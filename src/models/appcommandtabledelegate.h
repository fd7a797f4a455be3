#ifndef APPCOMMANDTABLEDELEGATE_H
#define APPCOMMANDTABLEDELEGATE_H

#include <QPersistentModelIndex>
#include <QString>
#include <QStyledItemDelegate>

#include <memory>

class QTableView;
class RowButtons;

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
    void setModelData(
        QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override;
    // The button cells are kept for later rows rather than destroyed (see RowButtons::park).
    void destroyEditor(QWidget *editor, const QModelIndex &index) const override;

private:
    Q_DISABLE_COPY(AppCommandTableDelegate)

    QTableView *view;
    std::unique_ptr<RowButtons> rowButtons;
    // A HEX cell whose text the model refused, waiting to be edited again with that text.
    mutable QPersistentModelIndex refusedCell;
    mutable QString refusedText;
};

#endif // APPCOMMANDTABLEDELEGATE_H
