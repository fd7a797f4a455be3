#ifndef APPWINDOWS_H
#define APPWINDOWS_H

#include "app/verantisterminalapp.h"
#include "models/appabstracttablemodel.h"
#include "ui/appdevicedialog.h"
#include "ui/appmainwin.h"

#include <QAbstractItemView>
#include <QList>
#include <QPointer>
#include <QWidget>

// Reaches the running program's windows the way a person sees them: by object name, without
// access to their private forms.
namespace AppWindows {

inline AppMainWin *mainWindow()
{
    return VerantisTerminalApp::app()->mainWin();
}

// A widget of the main window's own form (not of a terminal dialog, whose fields share names).
template<typename T> T *mainWidget(const char *name)
{
    return mainWindow()->centralWidget()->findChild<T *>(QString::fromLatin1(name));
}

template<typename T> T *widget(const QWidget *parent, const char *name)
{
    return parent->findChild<T *>(QString::fromLatin1(name));
}

// The model behind one of the main window's tables ("deviceTable", "historyTable", ...).
inline AppAbstractTableModel *tableModel(const char *viewName)
{
    auto *view = mainWidget<QAbstractItemView>(viewName);
    return view ? qobject_cast<AppAbstractTableModel *>(view->model()) : nullptr;
}

// Terminal dialogs that are shown, oldest first. A closed dialog is hidden at once and deleted
// later, so it is not counted.
inline QList<AppDeviceDialog *> terminals()
{
    QList<AppDeviceDialog *> shown;
    const auto all
        = mainWindow()->findChildren<AppDeviceDialog *>(QString(), Qt::FindDirectChildrenOnly);
    for (AppDeviceDialog *dialog : all) {
        if (dialog->isVisible())
            shown << dialog;
    }
    return shown;
}

// The shown terminals, watched: a dialog deleted since does not match a new one at its address.
using TerminalSnapshot = QList<QPointer<AppDeviceDialog>>;

inline TerminalSnapshot snapshot()
{
    TerminalSnapshot watched;
    for (AppDeviceDialog *dialog : terminals())
        watched << dialog;
    return watched;
}

// The one terminal that appeared since `before` was taken, or null.
inline AppDeviceDialog *newTerminal(const TerminalSnapshot &before)
{
    AppDeviceDialog *found = nullptr;
    for (AppDeviceDialog *dialog : terminals()) {
        bool known = false;
        for (const QPointer<AppDeviceDialog> &old : before)
            known = known || old.data() == dialog;
        if (known)
            continue;
        if (found)
            return nullptr;
        found = dialog;
    }
    return found;
}

} // namespace AppWindows

#endif // APPWINDOWS_H
