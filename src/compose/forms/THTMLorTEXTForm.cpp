#include "compose/forms/THTMLorTEXTForm.h"

#include "common/Messages.h"

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
    m_html->setEnabled(false);
    m_samples->setEnabled(false);
    body()->addLayout(grid);
    body()->addStretch();
}

MailTemplate::Mode THTMLorTEXTForm::mode() const {
    return m_text->isChecked() ? MailTemplate::Mode::Text : MailTemplate::Mode::Html;
}

void THTMLorTEXTForm::next() {
    if (m_text->isChecked() || (m_html->isChecked() && m_html->isEnabled())) {
        Q_EMIT nextRequested();
        return;
    }
    Messages::instance().information(noChoiceMessage());
}
