#pragma once
#include "records/FilterBuilder.h"

#include <QDialog>
#include <QStringList>

class AppState;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;

// The filter dialog: builds a filter expression from two conditions (or takes one typed
// by the user) and switches it on or off for the current table. Created once and
// reused; it keeps selections, operators, connector and expression between openings.
class TFilterForm : public QDialog {
    Q_OBJECT
public:
    TFilterForm(AppState& state, QWidget* parent = nullptr);

    // Shows the dialog modally; answers "Zuerst Datenbank öffnen!" when no table is open.
    void execute();

    // The text of ExpressionEdit; FilterBtn reads it.
    QString expression() const;
    // Applies the expression as the table's filter and switches it on ("Filter an",
    // FilterBtn). An expression the engine refuses is reported and changes nothing;
    // returns false then. Emits filterSwitched(true) on success.
    bool applyFilter();
    // Switches the filter off and clears it ("Filter aus", FilterBtn). Emits
    // filterSwitched(false).
    void clearFilter();

    // Refills the field boxes from the current table's definition lines and rebuilds
    // the expression; runs on every opening.
    void refill();

Q_SIGNALS:
    // The filter was switched on or off: the main window sets FilterBtn and refreshes
    // StatusCountText.
    void filterSwitched(bool on);

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    void onField1Changed(int index);
    void onField2Changed(int index);
    void onValue1Changed();
    void onValue2Changed();
    void onOperator1Clicked();
    void onOperator2Clicked();
    void onConnectorClicked();
    void updateSecondCondition();
    void recomputeFirst();
    void recomputeSecond();
    void rebuild();
    QString fieldNameAt(int index) const;

    AppState& m_state;
    FilterBuilder m_builder;
    QString m_operator1;
    QString m_operator2;
    QString m_connector;
    QStringList m_fieldNames; // parallel to the entries of both field boxes

    QComboBox* m_field1 = nullptr;
    QPushButton* m_operate1 = nullptr;
    QLineEdit* m_exp1 = nullptr;
    QPushButton* m_connectorButton = nullptr;
    QGroupBox* m_group2 = nullptr;
    QComboBox* m_field2 = nullptr;
    QPushButton* m_operate2 = nullptr;
    QLineEdit* m_exp2 = nullptr;
    QLineEdit* m_expressionEdit = nullptr;
    QPushButton* m_onButton = nullptr;
    QPushButton* m_offButton = nullptr;
    QPushButton* m_helpButton = nullptr;
    QPushButton* m_closeButton = nullptr;
};
