#include "exchange/forms/ImportActions.h"

#include "common/Messages.h"
#include "common/Texts.h"
#include "exchange/forms/TImportForm.h"
#include "exchange/forms/TOutlookImportForm.h"
#include "exchange/forms/TWMImport.h"
#include "exchange/forms/TWabForm.h"
#include "exchange/forms/TWizardImportForm.h"
#include "shell/AppState.h"

#include <QApplication>
#include <QWidget>

ImportActions::ImportActions(AppState& state, QWidget* parent) : QObject(parent), m_state(state) {
    setObjectName(QStringLiteral("ImportActions"));
    m_wizard = new TWizardImportForm(state, parent);
    m_import = new TImportForm(state, parent);
    m_outlook = new TOutlookImportForm(state, parent);
    m_wab = new TWabForm(state, parent);
    m_windowsMail = new TWMImport(state, parent);
    Progress feedback;
    // Read status at call time: the main window sets it after construction.
    feedback.status = [this](const QString& text) { status.text(text); };
    feedback.busy = [](bool on) {
        if (on)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    };
    m_import->setProgress(feedback);
    m_outlook->setProgress(feedback);
    m_wab->setProgress(feedback);
    m_windowsMail->setProgress(feedback);
}

void ImportActions::start() {
    if (!m_state.session.hasOpenTable()) {
        Messages::instance().information(Texts::openDatabaseFirst());
        return;
    }
    switch (m_wizard->ask()) {
    case TWizardImportForm::Choice::Other:
        m_import->exec();
        break;
    case TWizardImportForm::Choice::Outlook:
        m_outlook->exec();
        break;
    case TWizardImportForm::Choice::OutlookExpress:
        m_wab->exec();
        break;
    case TWizardImportForm::Choice::WindowsMail:
        m_windowsMail->exec();
        break;
    case TWizardImportForm::Choice::None:
        break;
    }
}
