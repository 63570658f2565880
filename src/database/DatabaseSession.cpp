#include "database/DatabaseSession.h"

#include "common/TextFile.h"
#include "database/AddressTable.h"

#include <QFileInfo>

DatabaseSession::DatabaseSession(QObject* parent) : QObject(parent) {}

DatabaseSession::~DatabaseSession() {
    // Quietly: the windows that listen are gone by now.
    const QSignalBlocker quiet(this);
    CloseDatabase(*this);
}

void DatabaseSession::setFolders(const QString& programFolder, const QString& dataFolder) {
    m_programFolder = programFolder;
    m_dataFolder = dataFolder;
}

bool DatabaseSession::reloadCatalogue() {
    QStringList lines;
    const bool ok = TextFile::readLines(cataloguePath(), &lines, nullptr);
    if (!ok)
        lines.clear();
    if (lines != m_catalogueLines) {
        m_catalogueLines = lines;
        Q_EMIT changed();
    }
    return ok;
}

int DatabaseSession::catalogueDatabaseCount() const {
    return int(catalogueEntries(m_catalogueLines).size());
}

bool DatabaseSession::appendCatalogueLine(const QString& line, QString* error) {
    // A missing catalogue gets its header first, or the new entry would be taken for it.
    const bool ok =
        QFileInfo::exists(cataloguePath())
            ? TextFile::appendLine(cataloguePath(), line, error)
            : TextFile::writeLines(cataloguePath(),
                                   {QStringLiteral("Name|Bitmap|Definitionsdatei"), line}, error);
    reloadCatalogue();
    return ok;
}

bool DatabaseSession::removeCatalogueEntry(const QString& definitionName, QString* error) {
    QStringList lines;
    if (!TextFile::readLines(cataloguePath(), &lines, error))
        return false;
    QStringList kept;
    for (int i = 0; i < lines.size(); ++i)
        if (i == 0 || CatalogEntry::parse(lines[i]).definitionName.compare(
                          definitionName, Qt::CaseInsensitive) != 0)
            kept.append(lines[i]);
    const bool ok =
        kept.size() == lines.size() || TextFile::writeLines(cataloguePath(), kept, error);
    reloadCatalogue();
    return ok;
}

QString DatabaseSession::definitionBaseName() const {
    const QString& name = m_entry.definitionName;
    const auto dot = name.indexOf(QChar('.'));
    return dot < 0 ? name : name.left(dot);
}

AddressTable* DatabaseSession::currentTable() const {
    if (m_tables.empty() || !m_tables.front() || !m_tables.front()->isOpen())
        return nullptr;
    return m_tables.front().get();
}

void DatabaseSession::reloadWebSettings() {
    readWebSettings();
    Q_EMIT changed();
}

// Web menu entries and the tracking state follow the database's web settings file.
void DatabaseSession::readWebSettings() {
    m_webLinksEnabled = false;
    m_webFetchEnabled = false;
    m_tracking = TrackingState{};
    if (m_entry.definitionName.isEmpty())
        return;
    const WebSettings web(m_dataFolder, m_entry.definitionName);
    m_tracking = web.tracking();
    if (!web.exists())
        return;
    const QString onlinePath = web.onlinePath();
    m_webLinksEnabled = !onlinePath.isEmpty() || !web.statsUrl().isEmpty();
    m_webFetchEnabled = !onlinePath.isEmpty();
}

// Back to "no database open" after a failed open.
void DatabaseSession::forget() {
    for (auto& t : m_tables)
        if (t)
            t->close();
    m_tables.clear();
    m_currentTablePath.clear();
    m_definition = TableDefinition{};
    m_entry = CatalogEntry{};
    m_webLinksEnabled = false;
    m_webFetchEnabled = false;
    m_tracking = TrackingState{};
}
