#include "hygiene/forms/HygieneActions.h"

#include "common/Messages.h"
#include "common/Texts.h"
#include "hygiene/AddressCheck.h"
#include "hygiene/BulkDeletion.h"
#include "hygiene/Duplicates.h"
#include "hygiene/forms/TBouncesForm.h"
#include "hygiene/forms/TDeleteAdressesWizardForm.h"
#include "hygiene/forms/TSelectiveDuplicateForm.h"
#include "shell/AppState.h"

#include <QApplication>
#include <QWidget>

HygieneActions::HygieneActions(AppState& state, QWidget* parent) : QObject(parent), m_state(state) {
    setObjectName(QStringLiteral("HygieneActions"));
    m_wizard = new TDeleteAdressesWizardForm(state, parent);
    m_selective = new TSelectiveDuplicateForm(state, parent);
    m_bounces = new TBouncesForm(state, parent);
    m_selective->setRun([this](const QString& fieldName) {
        return Duplicates::run(
                   m_state.folders, m_state.session, Duplicates::Tool::Selective, fieldName,
                   [this] { return m_wizard->ask(); }, Messages::instance(), feedback()) >= 0;
    });
}

Progress HygieneActions::feedback() const {
    Progress f;
    // Read the members at call time: the main window may set them after construction.
    f.status = [this](const QString& text) { status.text(text); };
    f.busy = [](bool on) {
        if (on)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    };
    return f;
}

void HygieneActions::checkAddresses() {
    AddressCheck::run(m_state.session.currentTable(), Messages::instance(), feedback());
}

void HygieneActions::deleteDuplicateMails() {
    Duplicates::run(
        m_state.folders, m_state.session, Duplicates::Tool::Mail, QString(),
        [this] { return m_wizard->ask(); }, Messages::instance(), feedback());
}

void HygieneActions::selectiveDuplicates() {
    if (!m_state.session.hasOpenTable()) {
        Messages::instance().information(Texts::openDatabaseFirst());
        return;
    }
    m_selective->exec();
}

void HygieneActions::deleteAllMarked() {
    BulkDeletion::deleteAllMarked(m_state.session, Messages::instance(), feedback());
}

void HygieneActions::emptyDatabase() {
    BulkDeletion::emptyDatabase(m_state.session, Messages::instance(), feedback());
}

void HygieneActions::deleteAllInvalid() {
    BulkDeletion::deleteAllInvalid(m_state.session, Messages::instance(), feedback());
}

void HygieneActions::evaluateBounces() {
    m_bounces->runModal();
}
