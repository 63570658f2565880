#include "compose/forms/TOpenMailForm.h"

#include "common/FilePicker.h"
#include "common/Messages.h"
#include "compose/ComposerRules.h"
#include "compose/HtmlMailFile.h"
#include "shell/AppState.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QVBoxLayout>

TOpenMailForm::TOpenMailForm(AppState& state, QWidget* parent)
    : WizardPage(state, QStringLiteral("Serien E-Mail erstellen"), QStringLiteral("Abbrechen"),
                 parent) {
    setObjectName(QStringLiteral("OpenMailForm"));
    setWindowFlag(Qt::WindowStaysOnTopHint);
    QLabel* heading = addText(QStringLiteral("ANLEITUNG: E-Mail öffnen"), "HeadingLabel");
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    m_instruction = addText(QString(), "InstructionLabel");
    // Outlook messages are read by the program itself, so no Outlook is needed for them.
    addText(QStringLiteral("Sie können hierzu .EML-Dateien (Windows Mail) oder .MSG-Dateien "
                           "(MS Outlook) benutzen!"),
            "HintLabel");
    body()->addStretch();
}

void TOpenMailForm::setInstruction(const QString& text) {
    m_instruction->setText(text);
}

QString TOpenMailForm::instruction() const {
    return m_instruction->text();
}

void TOpenMailForm::next() {
    Messages& messages = Messages::instance();
    const bool html = m_mode == MailTemplate::Mode::Html;
    const QString start =
        html ? m_state.folders.userTemplatesFolder : m_state.folders.lettersFolder;
    if (html)
        QDir().mkpath(start);
    const QString chosen = FilePicker::instance().openFile(
        QStringLiteral("E-Mail öffnen"), start,
        ComposerRules::dialogFilter(ComposerRules::emailOpenFilter()));
    if (chosen.isEmpty())
        return; // the page stays open
    QString source = chosen;
    QString extension = QStringLiteral(".eml");
    QString error;
    if (HtmlMailFile::isOutlookMessage(chosen)) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const bool converted = HtmlMailFile::convertOutlookMessage(
            chosen, m_state.folders.programFolder, &source, &error);
        QApplication::restoreOverrideCursor();
        if (!converted) {
            messages.error(error);
            return;
        }
        extension = QStringLiteral(".msg");
    }
    QString copy;
    if (!HtmlMailFile::makePrivateCopy(source, m_state.folders.systemTempFolder, extension, &copy,
                                       &error)) {
        messages.error(error);
        return;
    }
    Q_EMIT composeRequested(m_mode, copy);
}
