#pragma once
#include "records/RecordEditing.h"

#include <QDialog>
#include <QList>

class AppState;
class QLabel;
class QPushButton;
class QScrollArea;
class QWidget;

// The record editor: one record in a form generated from the table's .pro lines each
// time it opens, for entering a new record, changing the current one or deleting it.
// The values reach the record only when saved, so cancelling leaves the table as it was.
class TEdForm : public QDialog {
    Q_OBJECT
public:
    enum class Mode { New, Edit, Delete };

    TEdForm(AppState& state, QWidget* parent = nullptr);

    // Builds the form for the mode, shows it modally and removes the generated controls
    // when it closes. True when a record was saved or deleted. Answers "Zuerst Datenbank
    // öffnen!" when no table is open; edit and delete need a current record. For a new
    // record with CheckDuplicatesOnInput on, SchonInDB.list is written first.
    bool execFor(Mode mode);

    Mode mode() const { return m_mode; }

    // "Speichern (F2)" / "Löschen (F2)": saves (or deletes) and closes; stays open when
    // the duplicate check or the engine refuses.
    void save();
    // "Abbrechen (Esc)": discards the entry and closes.
    void abort();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void build();
    void removeControls();
    FieldValues controlValues() const;

    struct RowControls {
        EditorRow row;
        QWidget* control = nullptr;
    };

    AppState& m_state;
    Mode m_mode = Mode::Edit;
    bool m_done = false; // a record was saved or deleted
    QList<RowControls> m_rows;

    QLabel* m_heading = nullptr;
    QScrollArea* m_scroll = nullptr;
    QWidget* m_panel = nullptr; // holds the generated controls while open
    QPushButton* m_okButton = nullptr;
    QPushButton* m_helpButton = nullptr;
    QPushButton* m_abortButton = nullptr;
};
