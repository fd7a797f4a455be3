#include "folderdialogdriver.h"

#include <QApplication>

FolderDialogDriver::FolderDialogDriver(QObject *parent)
    : QObject(parent)
{
    connect(&m_timer, &QTimer::timeout, this, &FolderDialogDriver::poll);
    m_timer.start(5);
}

void FolderDialogDriver::chooseFolder(const QString &folder)
{
    m_folder = folder;
    m_accept = true;
}

void FolderDialogDriver::cancel()
{
    m_folder.clear();
    m_accept = false;
}

void FolderDialogDriver::poll()
{
    auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
    if (!dialog || !dialog->isVisible())
        return;
    ++m_count;
    m_title = dialog->windowTitle();
    m_startFolder = dialog->directory().absolutePath();
    m_options = dialog->options();
    m_fileMode = dialog->fileMode();
    m_hadParent = dialog->parentWidget() != nullptr;
    if (m_accept) {
        // With nothing typed, a folder dialog answers the folder it is showing.
        dialog->setDirectory(m_folder);
        // QFileDialog::accept is protected; it runs through the virtual call all the same.
        static_cast<QDialog *>(dialog)->accept();
    } else {
        dialog->reject();
    }
}
