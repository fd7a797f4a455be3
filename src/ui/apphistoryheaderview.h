#ifndef APPHISTORYHEADERVIEW_H
#define APPHISTORYHEADERVIEW_H

#include <QHeaderView>

// The history's row numbers. Qt's header measures the text of up to 200 sections each time a
// row is added, to find its width, and the table asks for that width on every insertion; at a
// busy line that was the biggest single cost of receiving. This one is as wide as eight digits
// from the start and never measures again until its font or style changes. Its rows have one
// fixed height.
class AppHistoryHeaderView : public QHeaderView
{
    Q_OBJECT
public:
    explicit AppHistoryHeaderView(QWidget *parent = nullptr);
    ~AppHistoryHeaderView() override;

    QSize sizeHint() const override;

protected:
    void changeEvent(QEvent *event) override;

private:
    Q_DISABLE_COPY(AppHistoryHeaderView)

    mutable QSize cachedHint;
};

#endif // APPHISTORYHEADERVIEW_H
