#pragma once
#include "database/Catalogue.h"

#include <QDialog>
#include <QList>

class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;

// The database selection: lists the catalogue's databases for opening or deleting.
// Created once and reused; the last selection is kept between openings.
class TSelectDatabaseForm : public QDialog {
    Q_OBJECT
public:
    enum class Mode { Open, Delete };

    explicit TSelectDatabaseForm(QWidget* parent = nullptr);

    void setMode(Mode mode);
    Mode mode() const { return m_mode; }
    // Fills the list with the display names, keeping the selected database when it is
    // still listed.
    void setEntries(const QList<CatalogEntry>& entries);
    // The definition file name picked by the last opening; empty when none was picked.
    QString result() const { return m_result; }

    // Clears the previous pick; call before showing the dialog.
    void prepare();

private:
    void pickSelected();
    void onDoubleClicked(QListWidgetItem* item);

    Mode m_mode = Mode::Open;
    QList<CatalogEntry> m_entries;
    QString m_result;
    QLabel* m_topLabel = nullptr;
    QListWidget* m_list = nullptr;
    QPushButton* m_openButton = nullptr;
    QPushButton* m_deleteButton = nullptr;
    QPushButton* m_abortButton = nullptr;
};
