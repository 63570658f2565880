#pragma once
#include <QDialog>

class AppState;
class QComboBox;
class QFileSystemModel;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTreeView;

// "Backup": one window for both directions. Backup saves every database into a folder
// (or a new subfolder of it), restore copies a backup folder back. Created once and
// reused; opened modally through run().
class TBackupForm : public QDialog {
    Q_OBJECT
public:
    enum class Mode { Backup, Restore };

    TBackupForm(AppState& state, QWidget* parent = nullptr);

    // Prepares the window for the direction and shows it modally.
    int run(Mode mode);
    // Prepares the window for the direction without showing it.
    void prepare(Mode mode);
    Mode mode() const { return m_mode; }

    // The folder chosen in the folder list.
    QString folder() const;
    void setFolder(const QString& path);

private:
    void onDriveChosen(int index);
    void onFolderChanged();
    void onSave();
    void showPercent(int percent);

    AppState& m_state;
    Mode m_mode = Mode::Backup;
    QLabel* m_doLabel = nullptr;
    QComboBox* m_drives = nullptr;
    QTreeView* m_folders = nullptr;
    QFileSystemModel* m_model = nullptr;
    QLabel* m_folderLabel = nullptr;
    QLabel* m_nameLabel = nullptr;
    QLineEdit* m_nameEdit = nullptr;
    QListWidget* m_list = nullptr;
    QPushButton* m_save = nullptr;
    QPushButton* m_abort = nullptr;
    QProgressBar* m_progress = nullptr;
};
