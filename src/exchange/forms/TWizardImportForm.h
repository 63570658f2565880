#pragma once
#include <QDialog>
#include <QList>

class AppState;
class QLabel;
class QPushButton;
class QRadioButton;

// The import wizard: "Was wollen Sie tun?" with the four import sources. The choice is
// kept between showings.
class TWizardImportForm : public QDialog {
    Q_OBJECT
public:
    enum class Choice { None, OutlookExpress, Outlook, WindowsMail, Other };

    explicit TWizardImportForm(AppState& state, QWidget* parent = nullptr);

    // Shows the wizard modally; the choice "Weiter" was clicked with, or None.
    Choice ask();
    Choice checkedChoice() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    AppState& m_state;
    Choice m_result = Choice::None;
    QList<QRadioButton*> m_choices; // OutlookExpress, Outlook, WindowsMail, Other
};
