#pragma once
#include "common/FileNames.h"
#include "database/Catalogue.h"
#include "database/TableDefinition.h"
#include "database/WebSettings.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

class AddressTable;
class Messages;

// The open database of the running program: the catalogue it was picked from, its
// tables (the first one is current), its catalogue entry, its table definition read
// once when it opened, and the web state read from its web settings file.
// OpenDatabase and CloseDatabase switch it; windows follow its signals.
class DatabaseSession : public QObject {
    Q_OBJECT
public:
    explicit DatabaseSession(QObject* parent = nullptr);
    ~DatabaseSession() override;

    // Where the catalogue (programFolder) and the databases (dataFolder) live; both
    // end with "/".
    void setFolders(const QString& programFolder, const QString& dataFolder);
    const QString& programFolder() const { return m_programFolder; }
    const QString& dataFolder() const { return m_dataFolder; }

    // The catalogue: the lines of Buttons.ini, header included.
    const QStringList& catalogueLines() const { return m_catalogueLines; }
    QString cataloguePath() const { return m_programFolder + FileNames::catalogue(); }
    // Reads Buttons.ini again; emits changed when its lines differ from before.
    bool reloadCatalogue();
    int catalogueDatabaseCount() const; // entry lines (header excluded)
    // Appends an entry line to Buttons.ini (with a header when the file is missing) and
    // reloads the catalogue.
    bool appendCatalogueLine(const QString& line, QString* error);
    // Removes the entries whose word 3 equals definitionName without regard to case,
    // rewrites Buttons.ini and reloads the catalogue.
    bool removeCatalogueEntry(const QString& definitionName, QString* error);

    // The open database; definitionName() is empty when none was opened.
    const QString& definitionName() const { return m_entry.definitionName; }
    const QString& displayName() const { return m_entry.displayName; }
    const CatalogEntry& catalogueEntry() const { return m_entry; }
    // Definition base name: definitionName up to its first ".".
    QString definitionBaseName() const;
    AddressTable* currentTable() const; // nullptr when none is open
    bool hasOpenTable() const { return currentTable() != nullptr; }
    const QString& currentTablePath() const { return m_currentTablePath; }
    const TableDefinition& definition() const { return m_definition; }

    // Web menu entries and tracking, from the database's web settings file.
    bool webLinksEnabled() const { return m_webLinksEnabled; } // "Links zu Statistik ..."
    bool webFetchEnabled() const { return m_webFetchEnabled; } // "Bestellungen/... abholen"
    const TrackingState& tracking() const { return m_tracking; }
    // Reads the web settings file of the open database again (after it was written).
    void reloadWebSettings();

    // OpenDatabase and CloseDatabase (Catalogue.h) switch what the session holds.
    friend bool OpenDatabase(DatabaseSession& session, const QString& definitionName,
                             Messages& messages);
    friend void CloseDatabase(DatabaseSession& session);

Q_SIGNALS:
    // Before the open database closes (windows save its grid layout).
    void aboutToClose();
    void opened();
    void closed();
    // The catalogue or the web settings of the open database changed.
    void changed();

private:
    void forget();
    void readWebSettings();

    QString m_programFolder;
    QString m_dataFolder;
    QStringList m_catalogueLines;
    CatalogEntry m_entry;
    std::vector<std::unique_ptr<AddressTable>> m_tables;
    QString m_currentTablePath;
    TableDefinition m_definition;
    bool m_webLinksEnabled = false;
    bool m_webFetchEnabled = false;
    TrackingState m_tracking;
};
