#include "database/Backup.h"

#include "common/FileNames.h"
#include "common/Messages.h"
#include "common/TextFile.h"
#include "database/AddressTable.h"
#include "database/Catalogue.h"
#include "database/DatabaseDefinition.h"
#include "database/DatabaseSession.h"
#include "database/SqlFunctions.h"
#include "database/SqlSupport.h"
#include "platform/FileCopy.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <cmath>
#include <filesystem>
#include <sqlite3.h>

using namespace SqlSupport;

namespace {

const QString kStagingBackup = QStringLiteral(".quillon-backup-tmp");
const QString kStagingRestore = QStringLiteral(".quillon-restore-tmp");
const QString kStagedCatalogue = QStringLiteral(".quillon-restore-Buttons.ini");

QString native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

QString withSlash(const QString& folder) {
    return folder.endsWith(QChar('/')) ? folder : folder + QChar('/');
}

// The journal files SQLite keeps beside a table; they belong to the table's state.
bool isJournalOf(const QString& name, const QString& tableName) {
    for (const char* suffix : {"-wal", "-shm", "-journal"})
        if (name.compare(tableName + QLatin1String(suffix), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

bool isTableFile(const QString& name) {
    return name.endsWith(QStringLiteral(".db"), Qt::CaseInsensitive);
}

QStringList engineLockFiles() {
    return {QStringLiteral("Pdoxusrs.net"), QStringLiteral("Paradox.lck"),
            QStringLiteral("Pdoxusrs.lck")};
}

// Files of a folder: names not beginning with "." (hidden and staging files) and not
// the lock files, whose copies would claim a lock nobody holds.
QStringList listFiles(const QString& folder) {
    QStringList names;
    const QStringList locks = engineLockFiles();
    for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name)) {
        if (name.startsWith(QChar('.')))
            continue;
        bool lock = false;
        for (const QString& l : locks)
            lock = lock || name.compare(l, Qt::CaseInsensitive) == 0;
        if (!lock)
            names << name;
    }
    return names;
}

// Why a copy failed: reading the source (the file is skipped and reported) or writing
// the target (the whole operation is abandoned).
struct CopyFailure {
    bool target = false;
    QString reason;
};

// Copies in blocks of blockSize bytes; fraction learns the share copied after each block.
bool copyFile(const QString& from, const QString& to, CopyFailure* failure, qint64 blockSize = 0,
              const std::function<void(double)>& fraction = {}) {
    QFile in(from);
    // Blocks go straight between the files, without Qt's own buffer in between.
    if (!in.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        *failure = {false, in.errorString()};
        return false;
    }
    QFile out(to);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        *failure = {true, out.errorString()};
        return false;
    }
    const qint64 size = in.size();
    const qint64 block = blockSize > 0 ? blockSize : 8 << 20;
    qint64 done = 0;
    // Inside the system where it can; any other failure is left to the loop below,
    // which tells a broken source from a full target.
    for (;;) {
        qint64 n = 0;
        const FileCopy::Result r = FileCopy::copyRange(in.handle(), out.handle(), block, &n);
        if (r == FileCopy::Result::TargetFull) {
            *failure = {true, QStringLiteral("Der Datenträger ist voll.")};
            return false;
        }
        if (r != FileCopy::Result::Copied)
            break;
        done += n;
        if (fraction && size > 0)
            fraction(double(std::min(done, size)) / double(size));
    }
    if (!in.seek(done) || !out.seek(done)) {
        *failure = {false, in.errorString()};
        return false;
    }
    QByteArray buffer(qsizetype(block), Qt::Uninitialized);
    for (;;) {
        const qint64 n = in.read(buffer.data(), buffer.size());
        if (n < 0) {
            *failure = {false, in.errorString()};
            return false;
        }
        if (n == 0)
            break;
        if (out.write(buffer.constData(), n) != n) {
            *failure = {true, out.errorString()};
            return false;
        }
        done += n;
        if (fraction && size > 0)
            fraction(double(std::min(done, size)) / double(size));
    }
    if (!out.flush() || out.error() != QFileDevice::NoError) {
        *failure = {true, out.errorString()};
        return false;
    }
    out.close();
    QFile::setPermissions(to, in.permissions());
    return true;
}

qint64 pragmaValue(sqlite3* db, const QString& sql) {
    const QVariant v = firstValue(db, sql);
    return v.isValid() ? v.toLongLong() : -1;
}

// Copies the open table consistently. Its journal is first taken into the table file
// and no checkpoint writes to that file again until the copy is done: records posted
// meanwhile wait in the journal, so the copy holds the table as it was when the backup
// began, whatever is written while it runs.
bool copyOpenTable(sqlite3* source, const QString& from, const QString& to, qint64 blockSize,
                   const std::function<void(double)>& fraction, CopyFailure* failure) {
    const qint64 autoCheckpoint = pragmaValue(source, QStringLiteral("PRAGMA wal_autocheckpoint"));
    exec(source, QStringLiteral("PRAGMA wal_autocheckpoint=0"));
    // The first column of the result is 1 when the checkpoint could not finish.
    bool ok = pragmaValue(source, QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)")) == 0;
    if (!ok)
        *failure = {false, QStringLiteral("Die geöffnete Tabelle kann gerade nicht gelesen "
                                          "werden (") +
                               germanError(source) + QStringLiteral(").")};
    else
        ok = copyFile(from, to, failure, blockSize, fraction);
    exec(source, QStringLiteral("PRAGMA wal_autocheckpoint=") +
                     QString::number(autoCheckpoint < 0 ? 1000 : autoCheckpoint));
    return ok;
}

// Moves a finished copy over the target, replacing it in one step.
bool moveIntoPlace(const QString& from, const QString& to, QString* reason) {
    std::error_code ec;
    std::filesystem::rename(QFile::encodeName(from).toStdString(),
                            QFile::encodeName(to).toStdString(), ec);
    if (ec && reason)
        *reason = QString::fromLocal8Bit(ec.message().c_str());
    return !ec;
}

int percentOf(double done, int total) {
    if (total <= 0)
        return 100;
    return std::min(100, int(std::lround(100.0 * done / total)));
}

QString skippedList(const QStringList& skipped) {
    return skipped.join(QChar('\r'));
}

} // namespace

namespace Backup {

QString markerFileName() {
    return QStringLiteral("Quillon_Backup.bup");
}

QString markerTitle() {
    return QStringLiteral("Quillon Backup");
}

QStringList dataFiles(const QString& dataFolder) {
    return listFiles(dataFolder);
}

QStringList describeFolder(const QString& folder) {
    const QString dir = withSlash(folder);
    const QString marker = resolveDataFile(dir, markerFileName());
    if (!marker.isEmpty()) {
        QStringList lines = TextFile::readLines(marker);
        while (!lines.isEmpty() && lines.last().trimmed().isEmpty())
            lines.removeLast();
        return lines.isEmpty() ? QStringList{markerTitle()} : lines;
    }
    if (!resolveDataFile(dir, QStringLiteral("Database.db")).isEmpty())
        return {markerTitle()};
    return {};
}

bool verifyTable(const QString& path, QString* reason) {
    auto fail = [&](const QString& why) {
        if (reason)
            *reason = why;
        return false;
    };
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("Die Datei kann nicht gelesen werden."));
        static const QByteArray magic("SQLite format 3\0", 16);
        if (file.size() < 100 || file.read(16) != magic)
            return fail(QStringLiteral("Die Datei ist keine Adresstabelle dieses Programms "
                                       "(fremdes Format oder beschädigt)."));
    }
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) !=
        SQLITE_OK) {
        sqlite3_close(db);
        return fail(QStringLiteral("Die Datei kann nicht geöffnet werden."));
    }
    // As the engine opens its tables: its collation for the indexes, and no shared
    // memory beside the file.
    SqlFunctions::registerAll(db);
    exec(db, QStringLiteral("PRAGMA locking_mode=EXCLUSIVE"));
    QString why;
    {
        Statement check(db, QStringLiteral("PRAGMA integrity_check(10)"));
        if (!check.ok()) {
            why = sqlite3_errcode(db) == SQLITE_NOTADB
                      ? QStringLiteral("Die Datei hat ein neueres oder fremdes Format, das "
                                       "dieses Programm nicht lesen kann.")
                      : QStringLiteral("Die Datei ist beschädigt (") + germanError(db) +
                            QStringLiteral(").");
        } else {
            QStringList problems;
            int rc;
            while ((rc = sqlite3_step(check.get())) == SQLITE_ROW)
                problems << columnValue(check.get(), 0).toString();
            if (rc != SQLITE_DONE)
                why = QStringLiteral("Die Datei ist beschädigt (") + germanError(db) +
                      QStringLiteral(").");
            else if (problems != QStringList{QStringLiteral("ok")})
                why = QStringLiteral("Die Prüfung der Tabelle hat Fehler gefunden.");
        }
    }
    if (why.isEmpty()) {
        Statement records(db, QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE "
                                             "type='table' AND name=?"));
        bindAll(records.get(), {QLatin1String(TableStore::tableName())});
        if (!records.ok() || sqlite3_step(records.get()) != SQLITE_ROW ||
            sqlite3_column_int(records.get(), 0) != 1)
            why = QStringLiteral("Die Datei enthält keine Adresstabelle dieses Programms.");
    }
    sqlite3_close(db);
    return why.isEmpty() || fail(why);
}

bool MakeBackup(DatabaseSession& session, const QString& folder, const QString& subfolderName,
                Messages& messages, const Options& options) {
    const QString notDone = QStringLiteral("Backup wurde nicht durchgeführt! ");
    QString target = withSlash(folder);
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        messages.error(notDone + QStringLiteral("Der Ordner \"") + native(folder) +
                       QStringLiteral("\" existiert nicht."));
        return false;
    }
    bool createdFolder = false;
    const QString sub = subfolderName.trimmed();
    if (!sub.isEmpty()) {
        if (!isPlainFileName(sub) || sub.contains(QChar('\\')) || sub.startsWith(QChar('.'))) {
            messages.error(notDone + QStringLiteral("\"") + sub +
                           QStringLiteral("\" ist kein zulässiger Name für einen Ordner."));
            return false;
        }
        target += sub + QChar('/');
        if (QFileInfo::exists(target)) {
            if (!QFileInfo(target).isDir()) {
                messages.error(notDone + QStringLiteral("\"") + native(target) +
                               QStringLiteral("\" ist eine Datei und kein Ordner."));
                return false;
            }
            if (!messages.question(QStringLiteral("Der Ordner \"") + native(target) +
                                   QStringLiteral("\" existiert bereits.\rSoll das Backup in "
                                                  "diesem Ordner erstellt werden?"))) {
                messages.information(notDone +
                                     QStringLiteral("Wählen Sie einen neuen Ordner für das "
                                                    "neue Backup!"));
                return false;
            }
        } else if (!QDir().mkdir(target)) {
            messages.error(notDone + QStringLiteral("Der Ordner \"") + native(target) +
                           QStringLiteral("\" kann nicht angelegt werden. Ist der Ordner "
                                          "schreibgeschützt?"));
            return false;
        } else {
            createdFolder = true;
        }
    }
    auto dropCreated = [&] {
        if (createdFolder)
            QDir().rmdir(target);
    };

    const QString data = session.dataFolder();
    const QStringList files = listFiles(data);
    if (files.isEmpty()) {
        dropCreated();
        messages.information(notDone + QStringLiteral("Der Datenordner \"") + native(data) +
                             QStringLiteral("\" enthält keine Dateien."));
        return false;
    }
    bool old = QFileInfo::exists(target + markerFileName());
    for (const QString& name : files)
        old = old || QFileInfo::exists(target + name);
    if (old && !messages.destructiveQuestion(QStringLiteral("Altes Backup überschreiben?"))) {
        messages.information(notDone + QStringLiteral("Wählen Sie einen neuen Ordner für das "
                                                      "neue Backup!"));
        return false;
    }

    const QString staging = target + kStagingBackup + QChar('/');
    QDir(staging).removeRecursively();
    auto abandon = [&](const QString& why) {
        QDir(staging).removeRecursively();
        dropCreated();
        messages.error(notDone + why +
                       QStringLiteral("\rEin vorhandenes Backup in diesem Ordner ist "
                                      "unverändert."));
        return false;
    };
    if (!QDir().mkpath(staging))
        return abandon(QStringLiteral("In den Ordner \"") + native(target) +
                       QStringLiteral("\" kann nicht geschrieben werden."));

    // The open table and its journals: the table is copied through SQLite, which
    // includes what its journal holds.
    const AddressTable* open = session.currentTable();
    const QString openName = open ? QFileInfo(open->path()).fileName() : QString();

    struct Item {
        QString source;
        QString name;
    };
    QList<Item> items;
    for (const QString& name : files)
        if (openName.isEmpty() || !isJournalOf(name, openName))
            items.append({data + name, name});
    const int dataCount = int(items.size());
    items.append({session.cataloguePath(), FileNames::catalogue()});

    QStringList skipped;
    QStringList staged;
    for (int i = 0; i < items.size(); ++i) {
        const Item& item = items[i];
        const QString to = staging + item.name;
        CopyFailure failure;
        bool ok;
        if (!openName.isEmpty() && item.name == openName)
            ok = copyOpenTable(
                open->handle(), item.source, to, options.blockSize,
                [&](double f) {
                    if (options.percent)
                        options.percent(percentOf(i + f, dataCount));
                },
                &failure);
        else if (!QFileInfo::exists(item.source))
            ok = false, failure = {false, QStringLiteral("Die Datei existiert nicht.")};
        else
            ok = copyFile(item.source, to, &failure);
        if (!ok && failure.target)
            return abandon(QStringLiteral("Die Datei \"") + item.name +
                           QStringLiteral("\" kann nicht in den Ordner \"") + native(target) +
                           QStringLiteral("\" geschrieben werden (") + failure.reason +
                           QStringLiteral(").\rIst der Datenträger voll oder schreibgeschützt?"));
        if (ok)
            staged << item.name;
        else {
            QFile::remove(to);
            skipped << native(item.source) + QStringLiteral(": ") + failure.reason;
        }
        if (options.percent)
            options.percent(percentOf(i + 1, dataCount));
    }
    QString error;
    if (!TextFile::writeLines(
            staging + markerFileName(),
            {markerTitle(), QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat)},
            &error))
        return abandon(error);
    staged << markerFileName(); // last: a folder with a new marker is complete

    // Every copy is complete: the copies replace the old backup's files one by one.
    for (const QString& name : staged) {
        QString reason;
        if (!moveIntoPlace(staging + name, target + name, &reason))
            return abandon(QStringLiteral("Die Datei \"") + name +
                           QStringLiteral("\" kann nicht in den Ordner \"") + native(target) +
                           QStringLiteral("\" gelegt werden (") + reason + QStringLiteral(")."));
    }
    QDir(staging).removeRecursively();
    if (!skipped.isEmpty()) {
        messages.error(QStringLiteral("Backup wurde durchgeführt, aber folgende Dateien konnten "
                                      "nicht gesichert werden:\r") +
                       skippedList(skipped));
        return true;
    }
    messages.information(QStringLiteral("Backup wurde durchgeführt!"));
    return true;
}

bool RestoreBackup(DatabaseSession& session, const QString& folder, Messages& messages,
                   const Options& options) {
    const QString reopen = session.definitionName();
    CloseDatabase(session);
    // Every way out opens the database again, also when the catalogue no longer lists it.
    auto finish = [&](bool result) {
        if (!reopen.isEmpty())
            OpenDatabase(session, reopen, messages);
        return result;
    };
    const QString source = withSlash(folder);
    const QStringList files = folder.isEmpty() ? QStringList() : listFiles(source);
    bool hasTable = false;
    for (const QString& name : files)
        hasTable =
            hasTable || name.compare(QStringLiteral("DATABASE.DB"), Qt::CaseInsensitive) == 0;
    if (!hasTable) {
        messages.information(QStringLiteral("Kein Backup in diesem Ordner gefunden!"));
        return finish(false);
    }
    const QString notRestored = QStringLiteral("Das Backup wurde nicht wiederhergestellt! ");
    const QString untouched = QStringLiteral("\rDie derzeitigen Daten sind unverändert.");
    const QString marker = resolveDataFile(source, markerFileName());
    if (!marker.isEmpty() && TextFile::readLines(marker).value(0).trimmed() != markerTitle()) {
        messages.error(notRestored +
                       QStringLiteral("Der Ordner enthält ein Backup in einem fremden Format.") +
                       untouched);
        return finish(false);
    }
    if (!messages.destructiveQuestion(
            QStringLiteral("Wollen Sie diese Backup wirklich wieder herstellen?\r\rHinweis: Damit "
                           "wird die derzeitige Datenbank überschrieben. Derzeitige Daten gehen "
                           "somit verloren!")))
        return finish(false);

    const QString data = session.dataFolder();
    const QString program = session.programFolder();
    const QString staging = data + kStagingRestore + QChar('/');
    const QString stagedCatalogue = program + kStagedCatalogue;
    auto cleanUp = [&] {
        QDir(staging).removeRecursively();
        QFile::remove(stagedCatalogue);
    };
    cleanUp();
    auto abandon = [&](const QString& why) {
        cleanUp();
        messages.error(notRestored + why + untouched);
        return finish(false);
    };
    if (!QDir().mkpath(staging))
        return abandon(QStringLiteral("In den Datenordner \"") + native(data) +
                       QStringLiteral("\" kann nicht geschrieben werden."));

    // Copies first, beside the data; nothing of the current data is touched yet.
    struct Staged {
        QString path;
        QString folder;
        QString name;
    };
    QList<Staged> staged;
    QStringList skipped;
    const int total = int(files.size());
    for (int i = 0; i < total; ++i) {
        const QString& name = files[i];
        const bool catalogue = name.contains(QStringLiteral("BUTTONS.INI"), Qt::CaseInsensitive);
        const QString to = catalogue ? stagedCatalogue : staging + name;
        CopyFailure failure;
        if (copyFile(source + name, to, &failure))
            staged.append({to, catalogue ? program : data, name});
        else if (failure.target)
            return abandon(QStringLiteral("Die Datei \"") + name +
                           QStringLiteral("\" kann nicht geschrieben werden (") + failure.reason +
                           QStringLiteral(").\rIst der Datenträger voll?"));
        else
            skipped << native(source + name) + QStringLiteral(": ") + failure.reason;
        if (options.percent)
            options.percent(percentOf(i + 1, total));
    }

    // Every table of the backup must be sound before anything is overwritten. The check
    // also takes what a journal copied beside a table holds into the table.
    QStringList broken;
    for (const Staged& s : staged) {
        QString reason;
        if (isTableFile(s.name) && s.folder == data && !verifyTable(s.path, &reason))
            broken << s.name + QStringLiteral(": ") + reason;
    }
    if (!broken.isEmpty())
        return abandon(QStringLiteral("Das Backup ist beschädigt oder hat ein fremdes "
                                      "Format:\r") +
                       broken.join(QChar('\r')));

    for (const Staged& s : staged) {
        if (s.folder == data && isTableFile(s.name)) {
            // Journals left beside the current table would be replayed into the restored one.
            const QString current = resolveDataFile(data, s.name);
            const QString base = current.isEmpty() ? s.name : QFileInfo(current).fileName();
            for (const char* suffix : {"-wal", "-shm", "-journal"}) {
                const QString journal = resolveDataFile(data, base + QLatin1String(suffix));
                if (!journal.isEmpty())
                    QFile::remove(journal);
            }
        }
        // A journal copied beside a table was taken into it by the check.
        bool journal = false;
        for (const Staged& t : staged)
            journal = journal || (isTableFile(t.name) && isJournalOf(s.name, t.name));
        if (journal)
            continue;
        QString reason;
        const QString to = dataFilePath(s.folder, s.name);
        if (to.isEmpty() || !moveIntoPlace(s.path, to, &reason))
            skipped << native(source + s.name) + QStringLiteral(": ") + reason;
    }
    cleanUp();
    session.reloadCatalogue();
    finish(true);
    if (!skipped.isEmpty())
        messages.error(QStringLiteral("Das Backup wurde wiederhergestellt, aber folgende Dateien "
                                      "konnten nicht kopiert werden:\r") +
                       skippedList(skipped));
    else
        messages.information(QStringLiteral("Backup wurde erfolgreich wiederhergestellt!"));
    return true;
}

} // namespace Backup
