#include "data/apphistorydata.h"
#include "data/apptabledata.h"
#include "models/apphistorytabledelegate.h"
#include "models/apphistorytablemodel.h"
#include "testapp.h"
#include "ui/appmainwin.h"
#include "util/conversion.h"

#include <QTableView>

namespace {

// Exposes what the delegate hands the style to paint.
class ShownText : public AppHistoryTableDelegate
{
public:
    using AppHistoryTableDelegate::AppHistoryTableDelegate;
    QString shown(const QModelIndex &index) const
    {
        QStyleOptionViewItem option;
        initStyleOption(&option, index);
        return option.text;
    }
};

// What Qt's own delegate would paint.
class StandardText : public QStyledItemDelegate
{
public:
    QString shown(const QModelIndex &index) const
    {
        QStyleOptionViewItem option;
        initStyleOption(&option, index);
        return option.text;
    }
};

} // namespace

class TstHistoryDelegate : public QObject
{
    Q_OBJECT

private slots:
    void longBlocksArePaintedFromTheirStartOnly();
    void historyTableUsesIt();
};

void TstHistoryDelegate::longBlocksArePaintedFromTheirStartOnly()
{
    QByteArray block;
    for (int i = 0; i < 4096; ++i)
        block.append(char(i));
    AppHistoryTableModel model(new QList<AppTableData *>());
    model.addData(
        new AppHistoryData("07.12.2026 10:00:00.000", "Received", block, "COM3", 9600, 8, 0, 0, 0));
    model.addData(
        new AppHistoryData("07.12.2026 10:00:00.001", "Sent", "AB", "COM3", 9600, 8, 0, 0, 0));
    QTableView view;
    view.setModel(&model);
    ShownText delegate(&view);

    // The model, and so the export, keep every byte.
    QCOMPARE(model.data(model.index(0, 2)).toString(), bytesToHex(block));
    QCOMPARE(model.data(model.index(0, 3)).toString(), bytesToAscii(block));

    const QString hex = delegate.shown(model.index(0, 2));
    QCOMPARE(hex.size(), int(AppHistoryTableDelegate::MaxShownCharacters));
    QVERIFY(bytesToHex(block).startsWith(hex));
    const StandardText standard;
    QCOMPARE(delegate.shown(model.index(0, 3)),
        standard.shown(model.index(0, 3)).left(AppHistoryTableDelegate::MaxShownCharacters));

    // Short texts are painted unchanged.
    QCOMPARE(delegate.shown(model.index(1, 2)), QStringLiteral("4142"));
    QCOMPARE(delegate.shown(model.index(1, 1)), QStringLiteral("Sent"));
    QCOMPARE(delegate.shown(model.index(1, 5)), standard.shown(model.index(1, 5)));
}

void TstHistoryDelegate::historyTableUsesIt()
{
    auto *table = VerantisTerminalApp::app()->mainWin()->findChild<QTableView *>("historyTable");
    QVERIFY(table);
    QVERIFY(dynamic_cast<AppHistoryTableDelegate *>(table->itemDelegate()));
}

VT_TEST_MAIN(TstHistoryDelegate)
#include "tst_historydelegate.moc"
