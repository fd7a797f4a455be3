#include "ui/logfoldersetting.h"

#include "app/verantisterminalapp.h"
#include "data/appsettingsmanager.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>

namespace {

const QString folderOption = QStringLiteral("logfolder");
const QString onOption = QStringLiteral("logfolderon");

AppSettingsManager *store()
{
    return VerantisTerminalApp::app()->settingsManager();
}

} // namespace

LogFolderSetting::LogFolderSetting(QWidget *window, QBoxLayout *layout)
    : QObject(window)
    , window(window)
    , check(new QCheckBox(tr("Log every terminal to folder"), window))
    , folderEdit(new QLineEdit(window))
    , pickBtn(new QPushButton(QStringLiteral("\u2026"), window))
{
    check->setObjectName(QStringLiteral("logFolderCheck"));
    folderEdit->setObjectName(QStringLiteral("logFolderEdit"));
    pickBtn->setObjectName(QStringLiteral("logFolderBtn"));
    check->setToolTip(tr("Terminals without a log file of their own log their traffic to "
                         "%port%-%date%.log in this folder"));
    folderEdit->setAccessibleName(tr("Log folder"));
    pickBtn->setAccessibleName(tr("Choose the log folder"));
    pickBtn->setToolTip(pickBtn->accessibleName());

    auto *row = new QHBoxLayout();
    row->setObjectName(QStringLiteral("logFolderRow"));
    row->addWidget(check);
    row->addWidget(folderEdit, 1);
    row->addWidget(pickBtn);
    layout->addLayout(row);

    check->setChecked(store()->appOption(onOption).toBool());
    folderEdit->setText(QDir::toNativeSeparators(store()->appOption(folderOption).toString()));

    connect(check, &QCheckBox::clicked, this, [this](bool checked) {
        // Logging to no folder at all would be a silent no: ask for one.
        if (checked && folderEdit->text().trimmed().isEmpty())
            onPickClicked();
        check->setChecked(checked && !folderEdit->text().trimmed().isEmpty());
        remember();
    });
    connect(folderEdit, &QLineEdit::editingFinished, this, &LogFolderSetting::remember);
    connect(pickBtn, &QPushButton::clicked, this, &LogFolderSetting::onPickClicked);
}

QString LogFolderSetting::terminalPath(AppSettingsManager *store)
{
    const QString folder = store->appOption(folderOption).toString();
    if (!store->appOption(onOption).toBool() || folder.isEmpty())
        return QString();
    return QDir(folder).filePath(QStringLiteral("%port%-%date%.log"));
}

void LogFolderSetting::remember()
{
    const QString folder = QDir::fromNativeSeparators(folderEdit->text().trimmed());
    store()->setAppOption(folderOption, folder);
    store()->setAppOption(onOption, check->isChecked());
}

void LogFolderSetting::onPickClicked()
{
    const QString start = folderEdit->text().trimmed().isEmpty()
        ? store()->dataFolder()
        : QDir::fromNativeSeparators(folderEdit->text().trimmed());
    const QString folder
        = QFileDialog::getExistingDirectory(window, tr("Log every terminal to folder"), start,
            QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    if (folder.isEmpty())
        return;
    folderEdit->setText(QDir::toNativeSeparators(folder));
    check->setChecked(true);
    remember();
}
