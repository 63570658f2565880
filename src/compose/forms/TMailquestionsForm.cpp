#include "compose/forms/TMailquestionsForm.h"

#include "shell/AppState.h"

#include <QEvent>
#include <QFont>
#include <QLabel>
#include <QVBoxLayout>

TMailquestionsForm::TMailquestionsForm(AppState& state, QWidget* parent)
    : WizardPage(state, QStringLiteral("Serien E-Mails erstellen"), QStringLiteral("Abbrechen"),
                 parent) {
    setObjectName(QStringLiteral("MailquestionsForm"));
    QLabel* heading = addText(QStringLiteral("Serien-E-Mail Assistent"), "HeadingLabel");
    QFont font = heading->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.4);
    heading->setFont(font);
    addText(
        QStringLiteral("Dieser Assistent unterstützt Sie bei der Erstellung von Serien-E-Mails."));
    m_count = addText(countText(0), "CountLabel");
    QFont bold = m_count->font();
    bold.setBold(true);
    m_count->setFont(bold);
    QLabel* note = addText(
        QStringLiteral(
            "Sollten Sie ein Antivirus Programm nutzen, das ausgehende E-Mails prüft, kann es zu "
            "Problemen beim E-Mail-Versand kommen! Wir empfehlen die Prüfung der ausgehenden "
            "E-Mails vor dem Versand zu deaktivieren um einen reibungslosen Versand zu "
            "ermöglichen. "
            "Aktivieren Sie die Funktion nach dem Versand wieder."),
        "AntivirusLabel");
    note->setStyleSheet(QStringLiteral("color: #a00000;"));
    body()->addStretch();
    setMinimumWidth(460);
}

QString TMailquestionsForm::countText(qint64 marked) {
    return QStringLiteral("Serien-E-Mail wird an ") + QString::number(marked) +
           QStringLiteral(" markierte Datensätze gesendet.");
}

void TMailquestionsForm::setMarkedCount(qint64 marked) {
    m_marked = marked;
    m_count->setText(countText(marked));
}

bool TMailquestionsForm::event(QEvent* event) {
    // The count is filled whenever the page is shown or becomes active again.
    if (event->type() == QEvent::Show || event->type() == QEvent::WindowActivate)
        m_count->setText(countText(m_marked));
    return WizardPage::event(event);
}
