#include "models/rowbuttons.h"

#include "models/appabstracttablemodel.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>

namespace {

QPushButton *newButton(const QString &text, QWidget *parent = nullptr)
{
    auto *button = new QPushButton(text, parent);
    button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    return button;
}

} // namespace

RowButtons::RowButtons(QObject *context, QTableView *view, const QVector<Button> &buttons)
    : context(context)
    , view(view)
    , buttons(buttons)
    , parked(buttons.size())
{
    fitRows();
    QAbstractItemModel *model = view->model();
    if (!model)
        return;
    installRows(0, model->rowCount() - 1);
    // The view handles these signals first (it connected to the model before us): it has made
    // room for the new rows, or let go of every cell widget on a reset.
    QObject::connect(model, &QAbstractItemModel::rowsInserted, context,
        [this, model](const QModelIndex &parent, int first, int last) {
            if (this->view && this->view->model() == model && !parent.isValid())
                installRows(first, last);
        });
    QObject::connect(model, &QAbstractItemModel::modelReset, context, [this, model] {
        if (this->view && this->view->model() == model)
            installRows(0, model->rowCount() - 1);
    });
}

RowButtons::~RowButtons() = default;

bool RowButtons::park(QWidget *widget)
{
    const auto found = cells.find(widget);
    if (found == cells.end())
        return false;
    found->index = QPersistentModelIndex();
    widget->hide();
    if (!parked[found->button].contains(widget))
        parked[found->button].append(widget);
    return true;
}

// The style sheet gives push buttons a generous padding, more than the default row height holds.
void RowButtons::fitRows()
{
    int height = 0;
    for (const Button &button : qAsConst(buttons)) {
        // A hidden child of the viewport takes the same style sheet as the real buttons.
        QPushButton probe(button.text, view->viewport());
        probe.setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        height = qMax(height, probe.sizeHint().height());
    }
    QHeaderView *rows = view->verticalHeader();
    const int wanted = height + 4;
    if (rows->defaultSectionSize() < wanted)
        rows->setDefaultSectionSize(wanted);
}

void RowButtons::installRows(int first, int last)
{
    QAbstractItemModel *model = view->model();
    for (int row = first; row <= last; ++row) {
        for (int button = 0; button < buttons.size(); ++button) {
            const QModelIndex index = model->index(row, buttons.at(button).column);
            if (index.isValid() && !view->indexWidget(index))
                install(index, button);
        }
    }
}

void RowButtons::install(const QModelIndex &index, int button)
{
    QWidget *cell = parked[button].isEmpty() ? nullptr : parked[button].takeLast();
    if (!cell) {
        cell = new QWidget;
        QPushButton *pushButton = newButton(buttons.at(button).text);
        QObject::connect(
            pushButton, &QPushButton::clicked, context, [this, cell] { clicked(cell); });
        auto *layout = new QHBoxLayout;
        cell->setLayout(layout);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(pushButton, 0, Qt::AlignCenter);
        cell->setAutoFillBackground(true);
        // Filled like the table's own cells rather than like a window.
        cell->setBackgroundRole(QPalette::Base);
    }
    // The persistent index follows its row when rows above are removed, and turns invalid when
    // the row itself goes; a plain row number taken now would go stale.
    cells.insert(cell, { button, QPersistentModelIndex(index) });
    view->setIndexWidget(index, cell);
}

void RowButtons::clicked(QWidget *cell)
{
    const auto found = cells.constFind(cell);
    if (found == cells.cend() || !view)
        return;
    const QPersistentModelIndex index = found->index;
    auto *model = qobject_cast<AppAbstractTableModel *>(view->model());
    if (!index.isValid() || !model || index.model() != model)
        return;
    // A copy: the action may remove the row, which parks this very cell.
    const Action action = buttons.at(found->button).action;
    action(model, index.row());
}
