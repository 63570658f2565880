#pragma once
#include "compose/MailTemplate.h"
#include "compose/forms/WizardPage.h"

class QLabel;

// Open page of the composition wizard: the user picks a finished e-mail file (.eml, or
// an Outlook .msg, which is converted first); a private copy of it goes to the composer.
class TOpenMailForm : public WizardPage {
    Q_OBJECT
public:
    explicit TOpenMailForm(AppState& state, QWidget* parent = nullptr);

    void setMode(MailTemplate::Mode mode) { m_mode = mode; }
    void setInstruction(const QString& text);
    QString instruction() const;

Q_SIGNALS:
    // The message file (or, in text mode, the template) the composer is to open.
    void composeRequested(MailTemplate::Mode mode, const QString& path);

protected:
    void next() override;

private:
    MailTemplate::Mode m_mode = MailTemplate::Mode::Html;
    QLabel* m_instruction = nullptr;
};
