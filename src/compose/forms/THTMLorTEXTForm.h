#pragma once
#include "compose/MailTemplate.h"
#include "compose/forms/WizardPage.h"

class QRadioButton;

// Type page of the composition wizard: text mail, HTML mail or the sample mails.
class THTMLorTEXTForm : public WizardPage {
    Q_OBJECT
public:
    explicit THTMLorTEXTForm(AppState& state, QWidget* parent = nullptr);

    MailTemplate::Mode mode() const;

Q_SIGNALS:
    void nextRequested();
    // A sample mail was chosen; it is the message file itself (no private copy).
    void sampleChosen(const QString& messageFile);

protected:
    void next() override;

private:
    QRadioButton* m_text = nullptr;
    QRadioButton* m_html = nullptr;
    QRadioButton* m_samples = nullptr;
};
