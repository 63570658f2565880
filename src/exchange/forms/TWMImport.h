#pragma once
#include "common/Progress.h"

#include <QDialog>

class AppState;
class QLineEdit;
class QListWidget;

// The Windows Mail contacts import: the .contact files of a folder ("contacts" in the
// home folder unless the user picks another) listed with check boxes; the ticked ones
// are imported with name and address.
class TWMImport : public QDialog {
    Q_OBJECT
public:
    explicit TWMImport(AppState& state, QWidget* parent = nullptr);

    void setProgress(const Progress& progress) { m_progress = progress; }

    QString folder() const { return m_folder; } // always ends with a separator
    void setFolder(const QString& folder);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void chooseFolder();
    void fillList();
    void setAllTicks(bool on);
    void startImport();

    AppState& m_state;
    Progress m_progress;
    QString m_folder;
    QLineEdit* m_path = nullptr;
    QListWidget* m_list = nullptr;
};
