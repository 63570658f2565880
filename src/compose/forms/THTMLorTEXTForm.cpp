#include "compose/forms/THTMLorTEXTForm.h"

#include "common/FilePicker.h"
#include "common/Messages.h"
#include "compose/ComposerRules.h"
#include "compose/WizardRules.h"
#include "shell/AppState.h"

#include <QGridLayout>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

THTMLorTEXTForm::THTMLorTEXTForm(AppState& state, QWidget* parent)
    : WizardPage(state, QStringLiteral("Serien E-Mails erstellen"), QStringLiteral("Abbruch"),
                 parent) {
    setObjectName(QStringLiteral("HTMLorTEXTForm"));
    addText(QStringLiteral("Bitte wählen Sie die Art der zu versendenden Serien-E-Mail:"));
    auto* grid = new QGridLayout;
    auto choice = [this, grid](int row, const char* name, const QString& caption,
                               const QString& explanation) {
        auto* radio = new QRadioButton(caption, this);
        radio->setObjectName(QLatin1String(name));
        auto* label = new QLabel(explanation, this);
        label->setObjectName(QLatin1String(name) + QStringLiteral("Label"));
        grid->addWidget(radio, row, 0);
        grid->addWidget(label, row, 1);
        return radio;
    };
    m_text = choice(0, "TextRadioButton", QStringLiteral("Text E-Mail"),
                    QStringLiteral("(Nur Text ohne Formatierung und Bilder)"));
    m_html = choice(1, "HTMLRadioButton", QStringLiteral("HTML E-Mail / Rich Media E-Mail"),
                    QStringLiteral("(Formatierter Text mit Bildern)"));
    m_samples = choice(2, "MusterRadioButton", QStringLiteral("Quillon Mustervorlagen öffnen"),
                       QStringLiteral("(Demonstriert die Leistungsfähigkeit des Programmes)"));
    body()->addLayout(grid);
    body()->addStretch();
}

MailTemplate::Mode THTMLorTEXTForm::mode() const {
    return m_text->isChecked() ? MailTemplate::Mode::Text : MailTemplate::Mode::Html;
}

void THTMLorTEXTForm::next() {
    Messages& messages = Messages::instance();
    if (m_text->isChecked() || m_html->isChecked()) {
        Q_EMIT nextRequested();
        return;
    }
    if (!m_samples->isChecked()) {
        messages.information(noChoiceMessage());
        return;
    }
    // The samples are copied anew whenever one is missing from the user's folder.
    QString error;
    if (!WizardRules::provideSampleMails(m_state.folders.templatesFolder,
                                         m_state.folders.userTemplatesFolder, &error)) {
        messages.error(error);
        return;
    }
    const QString chosen = FilePicker::instance().openFile(
        QStringLiteral("Mustervorlage öffnen"), m_state.folders.userTemplatesFolder,
        ComposerRules::dialogFilter(m_state.flags.outlookAvailable
                                        ? QStringLiteral("Outlook (Express) Datei|*.eml")
                                        : QStringLiteral("Outlook Express Datei|*.eml")));
    if (!chosen.isEmpty())
        Q_EMIT sampleChosen(chosen); // a cancelled dialog leaves the page open
}
