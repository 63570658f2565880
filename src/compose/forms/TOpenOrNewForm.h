#pragma once
#include "compose/MailTemplate.h"
#include "compose/forms/WizardPage.h"

class QRadioButton;

// Action page of the composition wizard: a new mail, an existing template or e-mail
// file, or an HTML page to import.
class TOpenOrNewForm : public WizardPage {
    Q_OBJECT
public:
    explicit TOpenOrNewForm(AppState& state, QWidget* parent = nullptr);

    // The mail kind chosen on the type page.
    void setMode(MailTemplate::Mode mode) { m_mode = mode; }
    // The template chosen the last time; kept when the file dialog is cancelled.
    const QString& templatePath() const { return m_templatePath; }

Q_SIGNALS:
    // The composer is to open with this mode; templatePath is empty for a new mail.
    void composeRequested(MailTemplate::Mode mode, const QString& templatePath);
    // HTML mode: the open page is to be shown with this instruction.
    void openPageRequested(const QString& instruction);
    // HTML mode: the page for new HTML mails is to be shown.
    void newHtmlMailRequested();
    // The HTML import window is to be shown; this page closes.
    void importRequested();

protected:
    void next() override;

private:
    MailTemplate::Mode m_mode = MailTemplate::Mode::Text;
    QString m_templatePath;
    QRadioButton* m_new = nullptr;
    QRadioButton* m_open = nullptr;
    QRadioButton* m_import = nullptr;
};
