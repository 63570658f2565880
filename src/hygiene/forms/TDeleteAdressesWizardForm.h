#pragma once
#include "hygiene/Duplicates.h"

#include <QDialog>

class AppState;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;

// The choice dialog of both duplicate tools: delete (with a keep rule) or mark. The
// radio choice and the keep rule persist between showings; the proceed result is
// reset each time.
class TDeleteAdressesWizardForm : public QDialog {
    Q_OBJECT
public:
    explicit TDeleteAdressesWizardForm(AppState& state, QWidget* parent = nullptr);

    // Shows the dialog modally and returns the choice.
    Duplicates::Choice ask();
    // The choice as the controls hold it; proceed as set by "Weiter".
    Duplicates::Choice choice() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void onWeiter();
    void updateKeepRule();

    AppState& m_state;
    bool m_proceed = false;
    QLabel* m_question = nullptr;
    QRadioButton* m_deleteRadio = nullptr;
    QRadioButton* m_markRadio = nullptr;
    QComboBox* m_keepRule = nullptr;
    QPushButton* m_weiter = nullptr;
    QPushButton* m_abort = nullptr;
    QPushButton* m_help = nullptr;
};
