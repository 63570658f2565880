#pragma once
#include <QString>
#include <QStringList>
#include <functional>

class DatabaseSession;
class Messages;

// Backup and restore of all databases: every file of DataFolder and the catalogue
// Buttons.ini copied into a plain folder, with the marker file "Quillon_Backup.bup".
//
// Both directions first copy into a hidden staging folder beside the target and move
// the copies into place only when every copy is complete, so a full disk or an
// unwritable folder leaves neither a half-written backup nor half-overwritten data.
// The open table is copied from a state SQLite keeps unchanged while the copy runs,
// so the copy is consistent even when records are posted meanwhile.
namespace Backup {

QString markerFileName(); // "Quillon_Backup.bup"
QString markerTitle();    // "Quillon Backup"

struct Options {
    // Percent of the files copied so far; also called while a large table is copied.
    std::function<void(int percent)> percent;
    // Bytes copied per block; 0 for the standard size.
    qint64 blockSize = 0;
};

// The files of DataFolder a backup copies: names not beginning with "." and not the
// engine's lock files, sorted.
QStringList dataFiles(const QString& dataFolder);

// What the restore list shows for a folder: the marker's lines ("Quillon Backup" and
// the date), or "Quillon Backup" alone for a folder holding "Database.db" without
// marker; empty when the folder holds no backup.
QStringList describeFolder(const QString& folder);

// Checks that a file is a sound address table of this program: an SQLite database that
// passes the integrity check and holds the records table. False with a German reason.
bool verifyTable(const QString& path, QString* reason);

// "Speichern": backs up into folder, or into its new subfolder subfolderName when that
// is not empty. Every outcome is told through messages; true when the backup was made.
bool MakeBackup(DatabaseSession& session, const QString& folder, const QString& subfolderName,
                Messages& messages, const Options& options = {});

// "Öffnen": restores the backup in folder over the current databases and the catalogue.
// The open table is closed first and opened again at every end. True when restored.
bool RestoreBackup(DatabaseSession& session, const QString& folder, Messages& messages,
                   const Options& options = {});

} // namespace Backup
