#include "compose/forms/TGenerateEmailForm.h"

#include "common/Messages.h"
#include "compose/Merge.h"
#include "compose/WizardRules.h"
#include "platform/DocumentOpener.h"
#include "shell/AppState.h"
#include "web/UnsubscribeLink.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

TGenerateEmailForm::TGenerateEmailForm(AppState& state, QWidget* parent)
    : WizardPage(state, QStringLiteral("Serien E-Mails erstellen"), QStringLiteral("Abbrechen"),
                 parent) {
    setObjectName(QStringLiteral("GenerateEmailForm"));
    QLabel* heading =
        addText(QStringLiteral("HTML-E-Mail erzeugen und zwischenspeichern"), "HeadingLabel");
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    // Without Outlook: the mail is written in the window the mail program opens.
    addText(QStringLiteral("1. Bauen Sie Ihre E-Mail in nachfolgendem Fenster von Outlook-Express "
                           "zusammen."),
            "Step1Label");
    addText(QStringLiteral("2. Speichern Sie diese E-Mail im Outlook-Express mit \"Datei, "
                           "Speichern unter\" an einer beliebigen Stelle."),
            "Step2Label");
    addText(QStringLiteral("3. Schliessen Sie das Outlook-Express-Fenster."), "Step3Label");
    auto* placeholders = new QPushButton(QStringLiteral("Meine Platzhalter"), this);
    placeholders->setObjectName(QStringLiteral("PlatzhalterBitBtn"));
    placeholders->setToolTip(QStringLiteral("Welche Platzhalter kann ich benutzen?"));
    placeholders->setAutoDefault(false);
    body()->addWidget(placeholders, 0, Qt::AlignLeft);
    body()->addStretch();
    setMinimumWidth(460);

    connect(placeholders, &QPushButton::clicked, this, [this] {
        Messages::instance().information(
            Merge::placeholderMessage(m_state.session.definition(), hasWebKit()));
    });
    m_wait = new QTimer(this);
    m_wait->setSingleShot(true);
    connect(m_wait, &QTimer::timeout, this, [this] {
        setEnabled(true);
        Q_EMIT openPageRequested(WizardRules::openNewMailInstruction());
    });
}

// The placeholder list offers $ABMELDELINK only while the database has a web kit.
bool TGenerateEmailForm::hasWebKit() const {
    return UnsubscribeLink::hasWebKit(m_state.folders.dataFolder, m_state.session.definitionName());
}

bool TGenerateEmailForm::isWaiting() const {
    return m_wait->isActive();
}

void TGenerateEmailForm::next() {
    if (isWaiting())
        return;
    const QUrl link(WizardRules::newHtmlMailLink(m_state.session.definition(), hasWebKit()));
    Documents::openOrReport(link, Messages::instance());
    // The window takes no input while the mail program starts, but keeps painting.
    setEnabled(false);
    m_wait->start(m_waitMs);
}
