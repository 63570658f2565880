#include "compose/forms/TOpenOrNewForm.h"

#include "common/FilePicker.h"
#include "common/Messages.h"
#include "compose/ComposerRules.h"
#include "compose/WizardRules.h"
#include "shell/AppState.h"

#include <QRadioButton>
#include <QVBoxLayout>

TOpenOrNewForm::TOpenOrNewForm(AppState& state, QWidget* parent)
    : WizardPage(state, QStringLiteral("Serien E-Mail erstellen"), QStringLiteral("Abbrechen"),
                 parent) {
    setObjectName(QStringLiteral("OpenOrNewForm"));
    addText(QStringLiteral("Was wollen Sie tun?"));
    m_new = new QRadioButton(QStringLiteral("Neue E-Mail erstellen"), this);
    m_new->setObjectName(QStringLiteral("NeueRadioButton"));
    m_open =
        new QRadioButton(QStringLiteral("Öffnen einer bereits vorhandenen E-Mail-Vorlage"), this);
    m_open->setObjectName(QStringLiteral("OeffnenRadioButton"));
    m_import = new QRadioButton(QStringLiteral("Eine HTML Datei importieren"), this);
    m_import->setObjectName(QStringLiteral("ImportIntRadioButton"));
    body()->addWidget(m_new);
    body()->addWidget(m_open);
    body()->addWidget(m_import);
    body()->addStretch();
}

void TOpenOrNewForm::next() {
    if (m_mode == MailTemplate::Mode::Text && m_open->isChecked()) {
        const QString chosen = FilePicker::instance().openFile(
            QStringLiteral("Vorlage öffnen"), m_state.folders.lettersFolder,
            ComposerRules::dialogFilter(ComposerRules::wizardTemplateFilter()));
        // A cancelled dialog opens the composer with the template chosen before.
        if (!chosen.isEmpty())
            m_templatePath = chosen;
        Q_EMIT composeRequested(m_mode, m_templatePath);
        return;
    }
    if (m_mode == MailTemplate::Mode::Text && m_new->isChecked()) {
        Q_EMIT composeRequested(m_mode, QString());
        return;
    }
    if (m_mode == MailTemplate::Mode::Html && m_open->isChecked()) {
        Q_EMIT openPageRequested(WizardRules::openExistingInstruction());
        return;
    }
    if (m_mode == MailTemplate::Mode::Html && m_new->isChecked()) {
        Q_EMIT newHtmlMailRequested();
        return;
    }
    if (m_import->isChecked()) {
        reject();
        Q_EMIT importRequested();
        return;
    }
    Messages::instance().information(noChoiceMessage());
}
