#include "models/rowbuttons.h"

#include "models/appabstracttablemodel.h"

#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QStyleHints>

#include <utility>

namespace {

QPushButton *newButton(const QString &text, QWidget *parent = nullptr)
{
    auto *button = new QPushButton(text, parent);
    button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

// Hands the view's Return and Space to a callback, which says whether it took them, and tells
// it when the view gains or loses the focus; lives as the view's child.
class KeyWatch : public QObject
{
public:
    KeyWatch(QWidget *widget, std::function<bool(int key)> pressed, std::function<void()> focus)
        : QObject(widget)
        , pressed(std::move(pressed))
        , focus(std::move(focus))
    {
        widget->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)
            focus();
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->modifiers() & ~Qt::KeypadModifier)
            return false;
        return pressed(key->key());
    }

private:
    std::function<bool(int)> pressed;
    std::function<void()> focus;
};

// Calls back when the watched widget changes size; lives as its child.
class ResizeWatch : public QObject
{
public:
    ResizeWatch(QWidget *widget, std::function<void()> resized)
        : QObject(widget)
        , resized(std::move(resized))
    {
        widget->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Resize)
            resized();
        return false;
    }

private:
    std::function<void()> resized;
};

// Shows the mouse presses and releases of the row buttons to callbacks; a press they refuse
// never reaches the button. Lives as the view's child.
class ClickWatch : public QObject
{
public:
    ClickWatch(QObject *parent, std::function<bool(QWidget *, ulong, bool)> refuse,
        std::function<void(QWidget *, ulong)> released)
        : QObject(parent)
        , refuse(std::move(refuse))
        , released(std::move(released))
    {
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const QEvent::Type type = event->type();
        if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick
            && type != QEvent::MouseButtonRelease)
            return false;
        auto *button = qobject_cast<QWidget *>(watched);
        QWidget *cell = button ? button->parentWidget() : nullptr;
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (!cell || mouse->button() != Qt::LeftButton)
            return false;
        if (type == QEvent::MouseButtonRelease) {
            released(cell, mouse->timestamp());
            return false;
        }
        return refuse(cell, mouse->timestamp(), type == QEvent::MouseButtonDblClick);
    }

private:
    std::function<bool(QWidget *, ulong, bool)> refuse;
    std::function<void(QWidget *, ulong)> released;
};

} // namespace

RowButtons::RowButtons(QObject *context, QTableView *view, const QVector<Button> &buttons)
    : context(context)
    , view(view)
    , buttons(buttons)
    , parked(buttons.size())
    , resizeWatch(nullptr)
    , anyRelease(false)
    , lastRelease(0)
{
    fitRows();
    clickWatch = new ClickWatch(
        view,
        [this](QWidget *cell, ulong timestamp, bool doubleClick) {
            return refusePress(cell, timestamp, doubleClick);
        },
        [this](QWidget *cell, ulong timestamp) { released(cell, timestamp); });
    QAbstractItemModel *model = view->model();
    if (!model)
        return;
    followView();
    // The view handles the model's signals first (it connected to the model before us): it has
    // made room for new rows, and let go of the cells of removed rows or of every cell on a reset.
    const auto follow = [this, model] {
        if (this->view && this->view->model() == model)
            followView();
    };
    QObject::connect(model, &QAbstractItemModel::rowsInserted, context, follow);
    QObject::connect(model, &QAbstractItemModel::rowsRemoved, context, follow);
    QObject::connect(model, &QAbstractItemModel::rowsMoved, context, follow);
    QObject::connect(model, &QAbstractItemModel::modelReset, context, follow);
    QObject::connect(model, &QAbstractItemModel::layoutChanged, context, follow);
    // The view has scrolled its viewport, cells included, before this runs.
    QObject::connect(view->verticalScrollBar(), &QScrollBar::valueChanged, context, follow);
    // A row made taller or shorter by hand changes which rows are in view.
    QObject::connect(view->verticalHeader(), &QHeaderView::sectionResized, context, follow);
    resizeWatch = new ResizeWatch(view->viewport(), follow);
    keyWatch = new KeyWatch(
        view,
        [this](int key) {
            if (key != Qt::Key_Return && key != Qt::Key_Enter && key != Qt::Key_Space)
                return false;
            const QModelIndex current = this->view->currentIndex();
            const int button = buttonOfColumn(current.column());
            if (!current.isValid() || button < 0)
                return false;
            const int row = current.row();
            const int column = current.column();
            press(QPersistentModelIndex(current), button);
            // The keyboard carries on where it was: on the row that took a deleted row's place.
            QAbstractItemModel *model = this->view ? this->view->model() : nullptr;
            if (model && model->rowCount() > 0)
                this->view->setCurrentIndex(model->index(qMin(row, model->rowCount() - 1), column));
            return true;
        },
        [this] { markCurrent(); });
    if (QItemSelectionModel *selection = view->selectionModel())
        QObject::connect(
            selection, &QItemSelectionModel::currentChanged, context, [this] { markCurrent(); });
}

RowButtons::~RowButtons()
{
    delete resizeWatch.data();
    delete keyWatch.data();
    delete clickWatch.data();
}

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

void RowButtons::followView()
{
    QAbstractItemModel *model = view ? view->model() : nullptr;
    if (!model)
        return;
    int first = 0;
    int last = -1;
    const int rows = model->rowCount();
    const int height = view->viewport()->height();
    // A viewport not laid out yet, or squeezed to nothing, shows no rows.
    if (rows > 0 && height > 0) {
        first = qMax(0, view->rowAt(0));
        // Below the last row when the rows do not fill the view.
        last = view->rowAt(height - 1);
        if (last < 0)
            last = rows - 1;
    }
    // Cells of rows that left the view go back to the parking place, ready for rows coming in.
    QVector<QPersistentModelIndex> leaving;
    for (auto it = cells.cbegin(); it != cells.cend(); ++it) {
        const int row = it->index.row();
        if (!it->index.isValid() || (row >= first && row <= last))
            continue;
        leaving.append(it->index);
        keepFocusOffCell(it.key());
    }
    // Through the delegate's destroyEditor(), which parks the cell rather than deleting it.
    for (const QPersistentModelIndex &index : qAsConst(leaving))
        view->closePersistentEditor(index);
    installRows(first, last);
    markCurrent();
}

// A hidden widget hands its focus to the next one in the chain, another row's button, and the
// view would make that row current and scroll back to it, even while it is removing rows; given
// to the view, the focus would make a row current as well. So the button just lets it go before
// its cell is hidden.
void RowButtons::keepFocusOffCell(QWidget *cell)
{
    QWidget *focus = QApplication::focusWidget();
    if (focus && cell->isAncestorOf(focus))
        focus->clearFocus();
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
        pushButton->installEventFilter(clickWatch);
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
    press(found->index, found->button);
}

bool RowButtons::refusePress(QWidget *cell, ulong timestamp, bool doubleClick) const
{
    // A double-click is one click: its second press would act on whatever row has moved under
    // the pointer since the first one, such as the row after a deleted one.
    if (doubleClick)
        return true;
    const auto found = cells.constFind(cell);
    if (found == cells.cend() || !anyRelease)
        return false;
    const ulong interval = ulong(QGuiApplication::styleHints()->mouseDoubleClickInterval());
    return timestamp - lastRelease < interval && found->index != lastClicked;
}

void RowButtons::released(QWidget *cell, ulong timestamp)
{
    const auto found = cells.constFind(cell);
    if (found == cells.cend())
        return;
    anyRelease = true;
    lastRelease = timestamp;
    lastClicked = found->index;
}

void RowButtons::press(const QPersistentModelIndex &index, int button)
{
    auto *model = qobject_cast<AppAbstractTableModel *>(view->model());
    if (!index.isValid() || !model || index.model() != model)
        return;
    // The view hides the cell of a removed row before it is parked; see keepFocusOffCell().
    if (QWidget *cell = view->indexWidget(index))
        keepFocusOffCell(cell);
    // A copy: the action may remove the row, which parks this very cell.
    const Action action = buttons.at(button).action;
    action(model, index.row());
}

void RowButtons::markCurrent()
{
    if (!view)
        return;
    const QModelIndex current = view->hasFocus() ? view->currentIndex() : QModelIndex();
    for (auto it = cells.cbegin(); it != cells.cend(); ++it) {
        auto *button = it.key()->findChild<QPushButton *>();
        const bool marked = current.isValid() && it->index == current;
        if (!button || button->property("current").toBool() == marked)
            continue;
        button->setProperty("current", marked);
        // A changed property takes effect in the style sheet only when polished again.
        button->style()->unpolish(button);
        button->style()->polish(button);
        button->update();
    }
}

int RowButtons::buttonOfColumn(int column) const
{
    for (int button = 0; button < buttons.size(); ++button) {
        if (buttons.at(button).column == column)
            return button;
    }
    return -1;
}
