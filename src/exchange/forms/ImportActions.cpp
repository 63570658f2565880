#include "exchange/forms/ImportActions.h"

#include "common/Messages.h"
#include "common/Texts.h"
#include "exchange/forms/TImportForm.h"
#include "exchange/forms/TWizardImportForm.h"
#include "shell/AppState.h"

#include <QApplication>
#include <QWidget>

ImportActions::ImportActions(AppState& state, QWidget* parent) : QObject(parent), m_state(state) {
    setObjectName(QStringLiteral("ImportActions"));
    m_wizard = new TWizardImportForm(state, parent);
    m_import = new TImportForm(state, parent);
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
}

void ImportActions::start() {
    if (!m_state.session.hasOpenTable()) {
        Messages::instance().information(Texts::openDatabaseFirst());
        return;
    }
    if (m_wizard->ask() == TWizardImportForm::Choice::Other)
        m_import->exec();
}
