#ifndef FOLDERDIALOGDRIVER_H
#define FOLDERDIALOGDRIVER_H

#include <QFileDialog>
#include <QObject>
#include <QString>
#include <QTimer>

// Answers real modal file dialogs the way a person would: finds the active QFileDialog, records
// how it was opened, then picks a folder (and presses Choose) or presses Cancel.
class FolderDialogDriver : public QObject
{
    Q_OBJECT
public:
    explicit FolderDialogDriver(QObject *parent = nullptr);

    // What to do with the next dialogs: go to this folder and accept, or reject.
    void chooseFolder(const QString &folder);
    void cancel();

    // How many dialogs were answered, and what the last one looked like when it appeared.
    int count() const { return m_count; }
    QString title() const { return m_title; }
    QString startFolder() const { return m_startFolder; }
    QFileDialog::Options options() const { return m_options; }
    QFileDialog::FileMode fileMode() const { return m_fileMode; }
    bool hadParent() const { return m_hadParent; }

private:
    void poll();

    QTimer m_timer;
    QString m_folder;
    bool m_accept = false;
    int m_count = 0;
    QString m_title;
    QString m_startFolder;
    QFileDialog::Options m_options;
    QFileDialog::FileMode m_fileMode = QFileDialog::AnyFile;
    bool m_hadParent = false;
};

#endif // FOLDERDIALOGDRIVER_H
