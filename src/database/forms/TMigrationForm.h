#pragma once
#include "database/Catalogue.h"
#include "database/DatabaseDefinition.h"

#include <QDialog>
#include <QList>

class AppState;
class QComboBox;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QScrollArea;
class QVBoxLayout;

// "Transfer": appends the records of another database of the catalogue to the open
// database, with a mapping of the extra fields. Created once and reused; the choices
// stay between openings.
class TMigrationForm : public QDialog {
    Q_OBJECT
public:
    TMigrationForm(AppState& state, QWidget* parent = nullptr);

    // Fills the boxes from the catalogue with the open database as target; call before
    // every showing.
    void prepare();
    int run();

private:
    void buildRows();
    void onSourceChosen(int index);
    void onStart();

    AppState& m_state;
    QList<CatalogEntry> m_entries;
    int m_targetEntry = -1;
    QList<FieldDefinition> m_targetFields;
    QList<FieldDefinition> m_sourceFields;
    QComboBox* m_source = nullptr;
    QComboBox* m_target = nullptr;
    QScrollArea* m_scroll = nullptr;
    QWidget* m_rows = nullptr;
    QVBoxLayout* m_rowLayout = nullptr;
    QList<QComboBox*> m_rowBoxes;
    QGroupBox* m_group = nullptr;
    QRadioButton* m_all = nullptr;
    QRadioButton* m_marked = nullptr;
    QPushButton* m_start = nullptr;
    QPushButton* m_abort = nullptr;
    QPushButton* m_help = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_status = nullptr;
};
