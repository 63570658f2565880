#pragma once
#include "common/Progress.h"
#include <QDialog>
#include <QStringList>
#include <functional>

class AppState;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

// The column dialog: sets one column to a value, or empties it, in all records or in
// all marked records of the current table. Stays open after each run.
class TDeleteColumnForm : public QDialog {
    Q_OBJECT
public:
    using StatusSink = Progress;

    TDeleteColumnForm(AppState& state, QWidget* parent = nullptr);

    // The explanation at the top of the dialog, as the program states it.
    static const QString& explanation();

    // Shows the dialog modally; answers "Zuerst Datenbank öffnen!" when no table is open.
    void execute();
    // Receives the progress texts ("Spaltenbearbeitung: …") and finally an empty text;
    // the main window writes them into its status line.
    void setStatusSink(StatusSink sink) { m_status = std::move(sink); }
    // Fills cbDB from the current table's columns (the fifth on); runs on every opening.
    void refill();

Q_SIGNALS:
    // The column was set: the filter is off now and the records changed.
    void columnContentSet();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void apply();

    AppState& m_state;
    StatusSink m_status;
    QStringList m_fieldNames; // parallel to the entries of cbDB

    QComboBox* m_columns = nullptr;
    QLineEdit* m_value = nullptr;
    QCheckBox* m_onlyMarked = nullptr;
    QPushButton* m_doButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
};
