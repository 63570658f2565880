#pragma once
#include "compose/MailTemplate.h"

#include <QObject>

class AppState;
class QWidget;
class TMailquestionsForm;
class THTMLorTEXTForm;
class TOpenOrNewForm;

// The chain of wizard pages that starts a serial e-mail: start page, type page, action
// page. The pages are created once and keep their choices between runs; at the end of
// the chain every page closes and the composer is asked to open.
class CompositionWizard : public QObject {
    Q_OBJECT
public:
    CompositionWizard(AppState& state, QWidget* parentWindow);

    // Shows the start page (the marked count is already in the state).
    void start();
    // Closes every page of the chain.
    void closeAll();

    TMailquestionsForm* startPage() const { return m_start; }
    THTMLorTEXTForm* typePage() const { return m_type; }
    TOpenOrNewForm* actionPage() const { return m_action; }

Q_SIGNALS:
    void composeRequested(MailTemplate::Mode mode, const QString& templatePath);

private:
    TMailquestionsForm* m_start = nullptr;
    THTMLorTEXTForm* m_type = nullptr;
    TOpenOrNewForm* m_action = nullptr;
};
