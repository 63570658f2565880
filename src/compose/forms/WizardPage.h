#pragma once
#include <QDialog>

class AppState;
class QLabel;
class QPushButton;
class QVBoxLayout;

// A page of the composition wizard: a small tool window without title bar buttons,
// centred on the screen, opened modally on top of the page below it, with "Weiter",
// "Zurück", "Abbrechen" (or "Abbruch") and "Hilfe". "Zurück" closes the page and so
// returns to the page below; "Abbrechen" ends the whole wizard; "Hilfe" opens the
// program's help page.
class WizardPage : public QDialog {
    Q_OBJECT
public:
    WizardPage(AppState& state, const QString& caption, const QString& cancelCaption,
               QWidget* parent);

    // Shows the page modally without waiting for it, centred on the screen.
    void showPage();

    QPushButton* nextButton() const { return m_next; }

Q_SIGNALS:
    // "Abbrechen": the wizard closes this page and every page below it.
    void cancelRequested();

protected:
    // "Weiter".
    virtual void next() = 0;
    // The page's own controls go here, above the buttons.
    QVBoxLayout* body() const { return m_body; }
    QLabel* addText(const QString& text, const char* objectName = nullptr);
    AppState& m_state;

private:
    QVBoxLayout* m_body = nullptr;
    QPushButton* m_next = nullptr;
};

// The wizard's message when "Weiter" is clicked without a choice.
QString noChoiceMessage();
