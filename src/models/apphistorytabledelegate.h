#ifndef APPHISTORYTABLEDELEGATE_H
#define APPHISTORYTABLEDELEGATE_H

#include <QStyledItemDelegate>

// Paints the history cells as the standard delegate does, but lays out only the start of a very
// long text: a block of a few KiB gives cells of thousands of characters, and laying all of them
// out on every repaint stalled the window while data streamed in. The model and the export keep
// the full text.
class AppHistoryTableDelegate : public QStyledItemDelegate
{
public:
    // Far more than any cell can show; the style elides the rest as before.
    static constexpr int MaxShownCharacters = 1024;

    explicit AppHistoryTableDelegate(QObject *parent);
    ~AppHistoryTableDelegate() override;

    // A cell too narrow for its text shows the text whole on hover (up to MaxShownCharacters).
    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
        const QModelIndex &index) override;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;

private:
    Q_DISABLE_COPY(AppHistoryTableDelegate)
};

#endif // APPHISTORYTABLEDELEGATE_H
