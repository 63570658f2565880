#pragma once
#include "compose/forms/WizardPage.h"

class QTimer;

// Page for new HTML mails: explains how to write the mail in the user's mail program and
// save it as a file. "Weiter" starts a new mail there (a "mailto:" link whose body lists
// the placeholders), waits five seconds without blocking the window, then asks for the
// open page.
class TGenerateEmailForm : public WizardPage {
    Q_OBJECT
public:
    explicit TGenerateEmailForm(AppState& state, QWidget* parent = nullptr);

    // The wait after the mail program was started, in milliseconds (5000).
    void setWaitMilliseconds(int ms) { m_waitMs = ms; }
    bool isWaiting() const;

Q_SIGNALS:
    // The open page is to be shown with this instruction.
    void openPageRequested(const QString& instruction);

protected:
    void next() override;

private:
    bool hasWebKit() const;
    QTimer* m_wait = nullptr;
    int m_waitMs = 5000;
};
