#include "database/forms/DatabaseDialogs.h"

#include "common/Messages.h"
#include "database/Catalogue.h"
#include "database/forms/TNewDatabaseForm.h"
#include "database/forms/TSelectDatabaseForm.h"
#include "shell/AppState.h"

#include <QWidget>

DatabaseDialogs::DatabaseDialogs(AppState& state, QWidget* parent)
    : QObject(parent), m_state(state), m_selectForm(new TSelectDatabaseForm(parent)),
      m_newForm(new TNewDatabaseForm(parent)) {}

QString DatabaseDialogs::pick(TSelectDatabaseForm::Mode mode) {
    m_state.reloadCatalogue();
    m_selectForm->setMode(mode);
    m_selectForm->setEntries(catalogueEntries(m_state.catalogueLines));
    m_selectForm->prepare();
    m_selectForm->exec();
    return m_selectForm->result();
}

void DatabaseDialogs::openViaDialog() {
    const QString name = pick(TSelectDatabaseForm::Mode::Open);
    if (name.isEmpty())
        return;
    Messages& messages = Messages::instance();
    QString error;
    if (!writeLastOpenDatabase(m_state.folders.programFolder, name, &error))
        messages.error(error);
    OpenDatabase(m_state, name, messages);
}

void DatabaseDialogs::createViaDialog() {
    m_newForm->setDataFolder(m_state.folders.dataFolder);
    if (m_newForm->exec() != QDialog::Accepted)
        return;
    CreateDatabase(m_state, m_newForm->displayName(), m_newForm->captionLines(),
                   Messages::instance());
}

void DatabaseDialogs::deleteViaDialog() {
    const QString name = pick(TSelectDatabaseForm::Mode::Delete);
    if (name.isEmpty())
        return;
    DeleteDatabase(m_state, name, Messages::instance());
}

void DatabaseDialogs::maintain() {
    MaintainDatabase(m_state, Messages::instance());
}
