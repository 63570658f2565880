#include "compose/forms/CompositionWizard.h"

#include "compose/forms/TGenerateEmailForm.h"
#include "compose/forms/THTMLImportForm.h"
#include "compose/forms/THTMLorTEXTForm.h"
#include "compose/forms/TMailquestionsForm.h"
#include "compose/forms/TOpenMailForm.h"
#include "compose/forms/TOpenOrNewForm.h"

CompositionWizard::CompositionWizard(AppState& state, QWidget* parentWindow)
    : QObject(parentWindow) {
    m_start = new TMailquestionsForm(state, parentWindow);
    m_type = new THTMLorTEXTForm(state, parentWindow);
    m_action = new TOpenOrNewForm(state, parentWindow);
    m_generate = new TGenerateEmailForm(state, parentWindow);
    m_open = new TOpenMailForm(state, parentWindow);
    // A window of the type page, so the modal pages below it do not block it.
    m_import = new THTMLImportForm(state, m_type);

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
    connect(m_generate, &WizardPage::cancelRequested, this, &CompositionWizard::closeAll);
    connect(m_open, &WizardPage::cancelRequested, this, &CompositionWizard::closeAll);

    auto compose = [this](MailTemplate::Mode mode, const QString& path) {
        closeAll();
        Q_EMIT composeRequested(mode, path, m_markedCount);
    };
    connect(m_action, &TOpenOrNewForm::composeRequested, this, compose);
    connect(m_open, &TOpenMailForm::composeRequested, this, compose);
    connect(m_type, &THTMLorTEXTForm::sampleChosen, this,
            [compose](const QString& file) { compose(MailTemplate::Mode::Html, file); });
    auto showOpenPage = [this](const QString& instruction) {
        m_open->setMode(m_type->mode());
        m_open->setInstruction(instruction);
        m_open->showPage();
    };
    connect(m_action, &TOpenOrNewForm::openPageRequested, this, showOpenPage);
    connect(m_generate, &TGenerateEmailForm::openPageRequested, this, showOpenPage);
    connect(m_action, &TOpenOrNewForm::newHtmlMailRequested, m_generate, &WizardPage::showPage);
    connect(m_action, &TOpenOrNewForm::importRequested, m_import, &THTMLImportForm::showWindow);
    // The import's result is the message file itself, without a copy.
    connect(m_import, &THTMLImportForm::messageReady, this, [this, compose](const QString& file) {
        m_import->close();
        compose(MailTemplate::Mode::Html, file);
    });
}

void CompositionWizard::start(qint64 markedCount) {
    m_markedCount = markedCount;
    m_start->setMarkedCount(markedCount);
    m_start->showPage();
}

void CompositionWizard::closeAll() {
    m_open->reject();
    m_generate->reject();
    m_action->reject();
    m_type->reject();
    m_start->reject();
}
