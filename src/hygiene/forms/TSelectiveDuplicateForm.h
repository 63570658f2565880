#pragma once
#include <QDialog>
#include <QStringList>
#include <functional>

class AppState;
class QComboBox;
class QLabel;
class QPushButton;

// "Selektives Löschen doppelter Datensätze": the user picks a column of the open
// table; "Anwenden" runs the duplicate tool on it. The window closes after a run that
// went through to its final message and stays open when the choice was cancelled.
class TSelectiveDuplicateForm : public QDialog {
    Q_OBJECT
public:
    // run receives the chosen field name and returns true when the run finished.
    using RunFn = std::function<bool(const QString& fieldName)>;

    TSelectiveDuplicateForm(AppState& state, QWidget* parent = nullptr);

    void setRun(RunFn run) { m_run = std::move(run); }
    // The field names parallel to the captions of cbDB.
    const QStringList& fieldNames() const { return m_fieldNames; }
    QString selectedFieldName() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void refill();
    void apply();

    AppState& m_state;
    RunFn m_run;
    QStringList m_fieldNames;
    QComboBox* m_columns = nullptr;
    QPushButton* m_apply = nullptr;
    QPushButton* m_cancel = nullptr;
};
