#pragma once
#include "compose/MailTemplate.h"
#include "compose/forms/WizardPage.h"

class QRadioButton;

// Type page of the composition wizard: text mail, HTML mail or the sample mails.
// HTML mails and the samples come with the HTML composer; until then their choices
// are shown but cannot be taken.
class THTMLorTEXTForm : public WizardPage {
    Q_OBJECT
public:
    explicit THTMLorTEXTForm(AppState& state, QWidget* parent = nullptr);

    MailTemplate::Mode mode() const;

Q_SIGNALS:
    void nextRequested();

protected:
    void next() override;

private:
    QRadioButton* m_text = nullptr;
    QRadioButton* m_html = nullptr;
    QRadioButton* m_samples = nullptr;
};
