#pragma once
#include "common/Progress.h"
#include "exchange/AddressBook.h"

#include <QDialog>

class AppState;
class QTreeWidget;
class QTreeWidgetItem;

// The address-book import: an address-book file the user picks (vCard or LDIF) is
// copied to "CopyOf" + its name and the copy read; its persons and distribution lists
// are listed with check boxes, the ticked persons imported.
class TWabForm : public QDialog {
    Q_OBJECT
public:
    explicit TWabForm(AppState& state, QWidget* parent = nullptr);

    void setProgress(const Progress& progress) { m_progress = progress; }

    // Opens the file: copy, read, list. False (after the message) when it cannot be read.
    bool openBook(const QString& path);

    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void pickFile();
    void showDetails(QTreeWidgetItem* item);
    void importTicked();
    void release();

    AppState& m_state;
    Progress m_progress;
    AddressBook::Book m_book;
    bool m_imported = false;
    QString m_lastFolder;
    QTreeWidget* m_list = nullptr;
    QTreeWidget* m_details = nullptr;
};
