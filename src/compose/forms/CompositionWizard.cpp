#include "compose/forms/CompositionWizard.h"

#include "compose/forms/THTMLorTEXTForm.h"
#include "compose/forms/TMailquestionsForm.h"
#include "compose/forms/TOpenOrNewForm.h"

CompositionWizard::CompositionWizard(AppState& state, QWidget* parentWindow)
    : QObject(parentWindow) {
    m_start = new TMailquestionsForm(state, parentWindow);
    m_type = new THTMLorTEXTForm(state, parentWindow);
    m_action = new TOpenOrNewForm(state, parentWindow);

    connect(m_start, &TMailquestionsForm::nextRequested, m_type, &WizardPage::showPage);
    connect(m_type, &THTMLorTEXTForm::nextRequested, this, [this] {
        m_action->setMode(m_type->mode());
        m_action->showPage();
    });
    // "Abbrechen" on a page closes it and every page below it.
    connect(m_start, &WizardPage::cancelRequested, m_start, &QDialog::reject);
    connect(m_type, &WizardPage::cancelRequested, this, [this] {
        m_type->reject();
        m_start->reject();
    });
    connect(m_action, &WizardPage::cancelRequested, this, &CompositionWizard::closeAll);
    connect(m_action, &TOpenOrNewForm::composeRequested, this,
            [this](MailTemplate::Mode mode, const QString& templatePath) {
                closeAll();
                Q_EMIT composeRequested(mode, templatePath, m_markedCount);
            });
}

void CompositionWizard::start(qint64 markedCount) {
    m_markedCount = markedCount;
    m_start->setMarkedCount(markedCount);
    m_start->showPage();
}

void CompositionWizard::closeAll() {
    m_action->reject();
    m_type->reject();
    m_start->reject();
}
