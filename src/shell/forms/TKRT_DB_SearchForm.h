#pragma once
#include "records/RecordSearch.h"

#include <QDialog>

class AppState;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The search dialog: finds the next record of the current view that contains a text,
// exactly or approximately (Levenshtein). Created once and reused; it keeps its text
// and check boxes between openings.
class TKRT_DB_SearchForm : public QDialog {
    Q_OBJECT
public:
    TKRT_DB_SearchForm(AppState& state, QWidget* parent = nullptr);

    // Shows the dialog modally; answers "Zuerst Datenbank öffnen!" when no table is open.
    void execute();

    // One search step in the direction of ReverseCheckbox (Enter, F3, OKButton).
    void search();
    // Clears the found flag and the result area (on every opening, after a change of the
    // search text, and when the record editor opened from here has closed).
    void resetResults();

Q_SIGNALS:
    // F4 / "Bearbeiten (F4)": open the record editor for the current record.
    void editRequested();
    // F8 / "Löschen (F8)": open the record editor in delete mode.
    void deleteRequested();
    // A search moved the table's cursor.
    void searched();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool handleKey(int key);
    void onTextChanged();
    void onCaseToggled(bool on);
    void onFuzzyToggled(bool on);
    void onReverseToggled(bool on);
    void moveToStart();
    void showResult(const SearchResult& result);
    void showHelp();
    void requestEdit();
    void requestDelete();

    AppState& m_state;
    RecordSearch m_search;
    bool m_fuzzy = false;

    QLineEdit* m_edit = nullptr;
    QCheckBox* m_caseBox = nullptr;
    QCheckBox* m_fuzzyBox = nullptr;
    QCheckBox* m_reverseBox = nullptr;
    QPushButton* m_helpButton = nullptr;
    QLabel* m_resultHeading = nullptr;
    QLabel* m_result1 = nullptr;
    QLabel* m_result2 = nullptr;
    QLabel* m_result3 = nullptr;
    QPushButton* m_editButton = nullptr;
    QPushButton* m_deleteButton = nullptr;
    QPushButton* m_okButton = nullptr;
    QPushButton* m_closeButton = nullptr;
};
