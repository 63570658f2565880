#pragma once
#include "common/Progress.h"
#include "exchange/VCard.h"

#include <QDialog>
#include <QList>
#include <QStringList>

class AppState;
class QCheckBox;
class QComboBox;
class QLabel;
class QTableWidget;

// The Outlook contacts import, reading the contacts from a folder of vCard files: the
// folder the user picks is "Kontakt Hauptordner", its direct subfolders are offered
// beside it. Preview of name, address and up to three further properties, then
// "Starte Import". Created once; the folder and the choices are kept between showings.
class TOutlookImportForm : public QDialog {
    Q_OBJECT
public:
    explicit TOutlookImportForm(AppState& state, QWidget* parent = nullptr);

    void setProgress(const Progress& progress) { m_progress = progress; }

    // The main folder ("Kontakt Hauptordner"); empty until one is chosen.
    QString mainFolder() const { return m_mainFolder; }
    void setMainFolder(const QString& folder);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void chooseMainFolder();
    void folderChosen();
    void readCurrentFolder();
    void fillFolderList();
    void propertyChanged(int which);
    void updatePreview();
    void startImport();

    AppState& m_state;
    Progress m_progress;
    QString m_mainFolder;
    QString m_currentFolder;
    QList<VCard> m_items;
    QStringList m_targetFields; // parallel to the target boxes' entries after the first

    QLabel* m_folderLabel = nullptr;
    QComboBox* m_folder = nullptr;
    QComboBox* m_email = nullptr;
    QCheckBox* m_combine = nullptr;
    QComboBox* m_properties[3] = {};
    QComboBox* m_targets[3] = {};
    QTableWidget* m_grid = nullptr;
    QLabel* m_count = nullptr;
};
