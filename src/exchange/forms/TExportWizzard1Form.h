#pragma once
#include <QDialog>
#include <QList>

class AppState;
class QRadioButton;

// The export wizard: "Was wollen Sie tun?" with the workbook, the modern workbook and
// the delimited text file. The choice is kept between showings.
class TExportWizzard1Form : public QDialog {
    Q_OBJECT
public:
    enum class Choice { None, Excel, Xlsx, Other };

    explicit TExportWizzard1Form(AppState& state, QWidget* parent = nullptr);

    // Shows the wizard modally; the choice "Weiter" was clicked with, or None.
    Choice ask();
    Choice checkedChoice() const;

private:
    AppState& m_state;
    Choice m_result = Choice::None;
    QList<QRadioButton*> m_choices; // Excel, Xlsx, Other
};
