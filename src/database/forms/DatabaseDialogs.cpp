#include "database/forms/DatabaseDialogs.h"

#include "common/Messages.h"
#include "database/Catalogue.h"
#include "database/DatabaseSession.h"
#include "database/forms/TNewDatabaseForm.h"
#include "database/forms/TSelectDatabaseForm.h"

#include <QWidget>

DatabaseDialogs::DatabaseDialogs(DatabaseSession& session, QWidget* parent)
    : QObject(parent), m_session(session), m_selectForm(new TSelectDatabaseForm(parent)),
      m_newForm(new TNewDatabaseForm(parent)) {}

QString DatabaseDialogs::pick(TSelectDatabaseForm::Mode mode) {
    m_session.reloadCatalogue();
    m_selectForm->setMode(mode);
    m_selectForm->setEntries(catalogueEntries(m_session.catalogueLines()));
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
    if (!writeLastOpenDatabase(m_session.programFolder(), name, &error))
        messages.error(error);
    OpenDatabase(m_session, name, messages);
}

void DatabaseDialogs::createViaDialog() {
    m_newForm->setDataFolder(m_session.dataFolder());
    if (m_newForm->exec() != QDialog::Accepted)
        return;
    CreateDatabase(m_session, m_newForm->displayName(), m_newForm->captionLines(),
                   Messages::instance());
}

void DatabaseDialogs::deleteViaDialog() {
    const QString name = pick(TSelectDatabaseForm::Mode::Delete);
    if (name.isEmpty())
        return;
    DeleteDatabase(m_session, name, Messages::instance());
}

void DatabaseDialogs::maintain() {
    MaintainDatabase(m_session, Messages::instance());
}
