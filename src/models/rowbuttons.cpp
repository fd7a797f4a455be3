#include "models/rowbuttons.h"

#include "models/appabstracttablemodel.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QPushButton>
#include <QTableView>

namespace RowButtons {

namespace {

QPushButton *newButton(const QString &text, QWidget *parent = nullptr)
{
    auto *button = new QPushButton(text, parent);
    button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    return button;
}

void installCell(QTableView *view, const QModelIndex &index, const Button &spec)
{
    auto *container = new QWidget;
    QPushButton *button = newButton(spec.text);
    // The cell's persistent index follows its row when rows above are removed, and turns invalid
    // when the row itself goes; a plain row number taken now would go stale.
    const QPersistentModelIndex cell(index);
    const Action action = spec.action;
    QObject::connect(button, &QPushButton::clicked, button, [view, cell, action] {
        auto *model = qobject_cast<AppAbstractTableModel *>(view->model());
        if (!cell.isValid() || !model || cell.model() != model)
            return;
        action(model, cell.row());
    });
    auto *layout = new QHBoxLayout;
    container->setLayout(layout);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(button, 0, Qt::AlignCenter);
    container->setAutoFillBackground(true);
    // Filled like the table's own cells rather than like a window.
    container->setBackgroundRole(QPalette::Base);
    view->setIndexWidget(index, container);
}

void installRows(QTableView *view, const QVector<Button> &buttons, int first, int last)
{
    QAbstractItemModel *model = view->model();
    if (!model)
        return;
    for (int row = first; row <= last; ++row) {
        for (const Button &spec : buttons) {
            const QModelIndex index = model->index(row, spec.column);
            if (index.isValid() && !view->indexWidget(index))
                installCell(view, index, spec);
        }
    }
}

// The style sheet gives push buttons a generous padding, more than the default row height holds.
void fitRowsToButtons(QTableView *view, const QVector<Button> &buttons)
{
    int height = 0;
    for (const Button &spec : buttons) {
        // A hidden child of the viewport takes the same style sheet as the real buttons.
        QPushButton probe(spec.text, view->viewport());
        probe.setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        height = qMax(height, probe.sizeHint().height());
    }
    QHeaderView *rows = view->verticalHeader();
    const int wanted = height + 4;
    if (rows->defaultSectionSize() < wanted)
        rows->setDefaultSectionSize(wanted);
}

} // namespace

void keepInstalled(QObject *context, QTableView *view, const QVector<Button> &buttons)
{
    fitRowsToButtons(view, buttons);
    QAbstractItemModel *model = view->model();
    if (!model)
        return;
    installRows(view, buttons, 0, model->rowCount() - 1);
    // The view handles these signals first (it connected to the model before us): it has made
    // room for new rows, or dropped every index widget on a reset.
    // The view may go before the context does; it then needs no more buttons.
    const QPointer<QTableView> target(view);
    QObject::connect(model, &QAbstractItemModel::rowsInserted, context,
        [target, model, buttons](const QModelIndex &parent, int first, int last) {
            if (target && target->model() == model && !parent.isValid())
                installRows(target, buttons, first, last);
        });
    QObject::connect(model, &QAbstractItemModel::modelReset, context, [target, model, buttons] {
        if (target && target->model() == model)
            installRows(target, buttons, 0, model->rowCount() - 1);
    });
}

} // namespace RowButtons
