#include "database/forms/TBackupForm.h"

#include "common/Messages.h"
#include "database/Backup.h"
#include "shell/AppState.h"
#include "shell/forms/BusyCursor.h"

#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QStorageInfo>
#include <QStyle>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

// The roots a user picks a folder from: the file system's root(s) and removable media.
QStringList driveRoots() {
    QStringList roots;
    for (const QFileInfo& drive : QDir::drives())
        roots << QDir::fromNativeSeparators(drive.absoluteFilePath());
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        const QString root = volume.rootPath();
        if (!volume.isValid() || !volume.isReady() || roots.contains(root))
            continue;
        for (const char* media : {"/media/", "/mnt/", "/run/media/", "/Volumes/"})
            if (root.startsWith(QLatin1String(media)))
                roots << root;
    }
    return roots;
}

} // namespace

TBackupForm::TBackupForm(AppState& state, QWidget* parent) : QDialog(parent), m_state(state) {
    setObjectName(QStringLiteral("BackupForm"));
    setWindowTitle(QStringLiteral("Backup"));
    setMinimumSize(460, 420);
    resize(520, 520);

    m_doLabel = new QLabel(this);
    m_doLabel->setObjectName(QStringLiteral("DoLabel"));
    m_drives = new QComboBox(this);
    m_drives->setObjectName(QStringLiteral("DriveComboBox1"));
    m_drives->addItems(driveRoots());

    m_model = new QFileSystemModel(this);
    m_model->setFilter(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Drives);
    m_model->setRootPath(QString());
    m_folders = new QTreeView(this);
    m_folders->setObjectName(QStringLiteral("DirectoryListBox1"));
    m_folders->setModel(m_model);
    for (int c = 1; c < m_model->columnCount(); ++c)
        m_folders->hideColumn(c);
    m_folders->header()->hide();
    m_folderLabel = new QLabel(this);
    m_folderLabel->setObjectName(QStringLiteral("FolderLabel"));
    m_folderLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_nameLabel = new QLabel(QStringLiteral("Neuer Ordner für das Backup:"), this);
    m_nameLabel->setObjectName(QStringLiteral("DateinameLabel"));
    m_nameEdit = new QLineEdit(this);
    m_nameEdit->setObjectName(QStringLiteral("FileNameEdit"));
    m_nameLabel->setBuddy(m_nameEdit);
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("ListBox1"));
    m_list->setMaximumHeight(60);

    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("ProgressBar1"));
    m_progress->setRange(0, 100);
    m_save = new QPushButton(this);
    m_save->setObjectName(QStringLiteral("SaveBitBtn"));
    m_save->setAutoDefault(false);
    m_abort = new QPushButton(QStringLiteral("Abbrechen"), this);
    m_abort->setObjectName(QStringLiteral("AbortBitBtn"));
    m_abort->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    m_abort->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_save);
    buttons->addWidget(m_abort);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_doLabel);
    layout->addWidget(m_drives);
    layout->addWidget(m_folders, 1);
    layout->addWidget(m_folderLabel);
    layout->addWidget(m_nameLabel);
    layout->addWidget(m_nameEdit);
    layout->addWidget(m_list);
    layout->addWidget(m_progress);
    layout->addLayout(buttons);

    connect(m_drives, &QComboBox::activated, this, &TBackupForm::onDriveChosen);
    connect(m_folders->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &TBackupForm::onFolderChanged);
    connect(m_save, &QPushButton::clicked, this, &TBackupForm::onSave);
    connect(m_abort, &QPushButton::clicked, this, &QDialog::reject);
    prepare(Mode::Backup);
}

int TBackupForm::run(Mode mode) {
    prepare(mode);
    return exec();
}

void TBackupForm::prepare(Mode mode) {
    m_mode = mode;
    const bool backup = mode == Mode::Backup;
    m_doLabel->setText(backup ? QStringLiteral("Backup soll im folgendem Ordner erstellt werden:")
                              : QStringLiteral("Ordner mit Backup auswählen:"));
    m_save->setText(backup ? QStringLiteral("Speichern") : QStringLiteral("Öffnen"));
    m_save->setIcon(
        style()->standardIcon(backup ? QStyle::SP_DialogSaveButton : QStyle::SP_DialogOpenButton));
    m_nameLabel->setVisible(backup);
    m_nameEdit->setVisible(backup);
    m_nameEdit->clear();
    m_list->setVisible(!backup);
    m_progress->setValue(0);
    // Both directions start in the user's own folder, made when it is missing.
    const QString start = m_state.folders.userTemplatesFolder;
    if (!start.isEmpty()) {
        QDir().mkpath(start);
        setFolder(start);
    }
    onFolderChanged();
}

QString TBackupForm::folder() const {
    const QModelIndex index = m_folders->currentIndex();
    return index.isValid() ? m_model->filePath(index) : QString();
}

void TBackupForm::setFolder(const QString& path) {
    const QString clean = QDir::cleanPath(QDir::fromNativeSeparators(path));
    // The drive whose root is the longest beginning of the folder.
    int best = -1;
    for (int i = 0; i < m_drives->count(); ++i) {
        const QString root = m_drives->itemText(i);
        if (clean.startsWith(root) && (best < 0 || root.size() > m_drives->itemText(best).size()))
            best = i;
    }
    if (best >= 0) {
        m_drives->setCurrentIndex(best);
        m_folders->setRootIndex(m_model->index(m_drives->itemText(best)));
    }
    const QModelIndex index = m_model->index(clean);
    if (!index.isValid())
        return;
    m_folders->setCurrentIndex(index);
    m_folders->scrollTo(index);
    m_folders->expand(index);
}

void TBackupForm::onDriveChosen(int index) {
    const QString root = m_drives->itemText(index);
    const QModelIndex rootIndex = m_model->index(root);
    m_folders->setRootIndex(rootIndex);
    m_folders->setCurrentIndex(rootIndex);
}

void TBackupForm::onFolderChanged() {
    const QString path = folder();
    m_folderLabel->setText(QDir::toNativeSeparators(path));
    m_list->clear();
    if (m_mode == Mode::Restore && !path.isEmpty())
        m_list->addItems(Backup::describeFolder(path));
}

void TBackupForm::showPercent(int percent) {
    m_progress->setValue(percent);
    m_progress->repaint();
}

void TBackupForm::onSave() {
    const QString path = folder();
    Backup::Options options;
    options.percent = [this](int percent) { showPercent(percent); };
    Messages& messages = Messages::instance();
    bool done;
    {
        BusyCursor busy;
        m_progress->setValue(0);
        done =
            m_mode == Mode::Backup
                ? Backup::MakeBackup(m_state.session, path, m_nameEdit->text(), messages, options)
                : Backup::RestoreBackup(m_state.session, path, messages, options);
    }
    if (done)
        accept();
    else
        m_progress->setValue(0);
}
