#pragma once
#include "compose/MailTemplate.h"

#include <QObject>

class AppState;
class QWidget;
class TMailquestionsForm;
class THTMLorTEXTForm;
class TOpenOrNewForm;
class TGenerateEmailForm;
class TOpenMailForm;
class THTMLImportForm;

// The chain of wizard pages that starts a serial e-mail: start page, type page, action
// page, and for HTML mails the page for new mails and the open page. The pages are created once and
// keep their choices between runs; at the end of the chain every page closes and the composer is
// asked to open.
class CompositionWizard : public QObject {
    Q_OBJECT
public:
    CompositionWizard(AppState& state, QWidget* parentWindow);

    // Shows the start page for a serial e-mail to this many marked records; the count
    // goes on to the composer with composeRequested.
    void start(qint64 markedCount);
    qint64 markedCount() const { return m_markedCount; }
    // Closes every page of the chain.
    void closeAll();

    TMailquestionsForm* startPage() const { return m_start; }
    THTMLorTEXTForm* typePage() const { return m_type; }
    TOpenOrNewForm* actionPage() const { return m_action; }
    TGenerateEmailForm* newHtmlMailPage() const { return m_generate; }
    TOpenMailForm* openPage() const { return m_open; }
    THTMLImportForm* importPage() const { return m_import; }

Q_SIGNALS:
    void composeRequested(MailTemplate::Mode mode, const QString& templatePath, qint64 markedCount);

private:
    TMailquestionsForm* m_start = nullptr;
    THTMLorTEXTForm* m_type = nullptr;
    TOpenOrNewForm* m_action = nullptr;
    TGenerateEmailForm* m_generate = nullptr;
    TOpenMailForm* m_open = nullptr;
    THTMLImportForm* m_import = nullptr;
    qint64 m_markedCount = 0;
};
