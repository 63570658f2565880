#pragma once
#include <QList>
#include <QString>
#include <QStringList>

class DatabaseSession;
class Messages;

// The catalogue of databases (Buttons.ini in ProgramFolder), LastopenDB.inc, and
// opening, creating, deleting and maintaining databases.

// One entry line of the catalogue.
struct CatalogEntry {
    QString displayName;    // word 1, trimmed
    QString bitmap;         // word 2; nothing reads it
    QString definitionName; // word 3: the definition file in DataFolder, e.g. "Database.ini"

    static CatalogEntry parse(const QString& line);
    // A display name and a plain ".ini" file name, neither with control characters.
    bool isValid() const;
};

// The name of the standard database's definition file.

// Entry lines of the catalogue (header skipped, blank lines and invalid entries ignored).
QList<CatalogEntry> catalogueEntries(const QStringList& catalogueLines);
// The entry lines that name no database, as "Zeile n: ..." in German; empty when every
// line is sound.
QStringList catalogueFaults(const QStringList& catalogueLines);
// The display name shown for an opened definition file name (see OpenDatabase); lines
// that name no database are passed over.
QString catalogueDisplayName(const QStringList& catalogueLines, const QString& definitionName);
// The entry of an opened definition file name: its display name as above, the name
// itself and the bitmap word of the entry naming exactly that file.
CatalogEntry catalogueEntryFor(const QStringList& catalogueLines, const QString& definitionName);
// The catalogue line written for a new database.
QString catalogueLine(const QString& displayName, const QString& fileName);

// LastopenDB.inc: the first line, trimmed, or "Database.ini" when the file is missing.
QString readLastOpenDatabase(const QString& programFolder);
bool writeLastOpenDatabase(const QString& programFolder, const QString& definitionName,
                           QString* error = nullptr);

// The file name of a new database derived from its display name.
QString ToSafeFileName(const QString& displayName);

// The eight core columns every address table starts with.
QStringList coreColumnNames();
// The caption lines offered for the free columns of a new database.
QStringList defaultFreeColumnCaptions();

// Checks of the new-database dialog's "OK", in order; the first failure's message, or
// an empty string when the input is acceptable.
QString checkNewDatabaseInput(const QString& name, const QStringList& coreLines,
                              const QStringList& captionLines);
// Checks of the derived file name once the dialog closes: empty, or a database of
// that base name already in dataFolder. Message or empty string.
QString checkNewDatabaseFileName(const QString& dataFolder, const QString& fileName);
// True when a file in folder has the base name (name up to its first ".") base, in any case.
bool databaseFilesExist(const QString& dataFolder, const QString& base);

// Creates a database from the standard database's definition files with one free
// text column per non-blank caption line, adds it to the catalogue and opens it.
bool CreateDatabase(DatabaseSession& session, const QString& displayName,
                    const QStringList& captionLines, Messages& messages);

// Deletes every file of the database in DataFolder and its catalogue entry, then
// opens the standard database. The standard database itself is refused.
bool DeleteDatabase(DatabaseSession& session, const QString& definitionName, Messages& messages);

// Opens the database with this definition file name in DataFolder; its first table
// becomes the current table, positioned on its last record. True when a table is
// open afterwards. An empty name opens nothing and leaves the session as it is.
bool OpenDatabase(DatabaseSession& session, const QString& definitionName, Messages& messages);

// Closes and releases every table of the open database; no table is current afterwards.
void CloseDatabase(DatabaseSession& session);

// Checks and repairs the tables of the open database after asking, then reopens it.
bool MaintainDatabase(DatabaseSession& session, Messages& messages);
