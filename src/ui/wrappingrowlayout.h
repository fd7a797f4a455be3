#ifndef WRAPPINGROWLAYOUT_H
#define WRAPPINGROWLAYOUT_H

#include <QHBoxLayout>

// A row of a form that goes on over a second line when the window is too narrow to show it
// whole: items from `wrapAt` on move below the first ones, keeping their order (and so the tab
// order of their widgets). At full width it lays out exactly as the plain row would.
//
// Deliberately without Q_OBJECT: it adds no signals or properties and stays, to everything that
// looks at the form, the QHBoxLayout it replaces.
class WrappingRowLayout : public QHBoxLayout
{
public:
    explicit WrappingRowLayout(int wrapAt);

    QSize minimumSize() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;
    int minimumHeightForWidth(int width) const override;
    void setGeometry(const QRect &rect) override;

private:
    Q_DISABLE_COPY(WrappingRowLayout)

    // The width the row needs to be shown on one line.
    int oneLineWidth() const;
    // The minimum width and height of items [first, last).
    QSize lineMinimum(int first, int last) const;
    int lineHeight(int first, int last) const;
    int twoLineHeight() const;
    // Places items [first, last) on one line of the rectangle.
    void placeLine(int first, int last, const QRect &line) const;

    int wrapAt;
};

#endif // WRAPPINGROWLAYOUT_H
