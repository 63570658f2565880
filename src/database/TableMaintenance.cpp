// Maintenance of table files: the integrity checks, reindex and vacuum.
#include "database/TableStore.h"

#include "database/SqlFunctions.h"
#include "database/SqlSupport.h"

#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>

using namespace SqlSupport;

namespace {

// Runs an integrity pragma; problems gets every line other than "ok".
bool runCheck(sqlite3* db, const char* pragma, QStringList* problems) {
    Statement stmt(db, QLatin1String(pragma));
    if (!stmt.ok()) {
        problems->append(germanError(db));
        return false;
    }
    int rc;
    while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
        const QString line = columnValue(stmt.get(), 0).toString();
        if (line != QStringLiteral("ok"))
            problems->append(line);
    }
    if (rc != SQLITE_DONE)
        problems->append(germanError(db));
    return problems->isEmpty();
}

} // namespace

bool TableStore::quickCheck(QString* message) const {
    if (!m_db)
        return false;
    QStringList problems;
    if (runCheck(m_db, "PRAGMA quick_check", &problems))
        return true;
    if (message)
        *message = QStringLiteral("Die Tabelle \"") + QFileInfo(m_path).fileName() +
                   QStringLiteral("\" ist beschädigt. Bitte führen Sie \"Datenbank "
                                  "Wartung/Reparatur\" aus.");
    return false;
}

bool TableStore::maintain(const QString& path, QString* report) {
    QStringList lines;
    const QString name = QFileInfo(path).fileName();
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) !=
        SQLITE_OK) {
        *report = name + QStringLiteral(": Die Tabelle kann nicht geöffnet werden (") +
                  germanError(db) + QStringLiteral(").");
        sqlite3_close(db);
        return false;
    }
    SqlFunctions::registerAll(db);
    QStringList problems;
    bool ok = runCheck(db, "PRAGMA integrity_check", &problems);
    if (ok)
        lines << name + QStringLiteral(": Prüfung ohne Befund.");
    else
        lines << name + QStringLiteral(": Die Prüfung hat ") + QString::number(problems.size()) +
                     QStringLiteral(" Fehler gefunden.");
    QString err;
    if (exec(db, QStringLiteral("REINDEX"), &err))
        lines << name + QStringLiteral(": Indizes neu aufgebaut.");
    else
        lines << name + QStringLiteral(": Indizes konnten nicht neu aufgebaut werden (") +
                     germanError(db) + QStringLiteral(").");
    if (exec(db, QStringLiteral("VACUUM"), &err))
        lines << name + QStringLiteral(": Tabelle verdichtet.");
    else
        lines << name + QStringLiteral(": Tabelle konnte nicht verdichtet werden (") +
                     germanError(db) + QStringLiteral(").");
    if (!ok) {
        problems.clear();
        ok = runCheck(db, "PRAGMA integrity_check", &problems);
        lines << (ok ? name + QStringLiteral(": Nach der Reparatur ist die Tabelle in Ordnung.")
                     : name + QStringLiteral(": Die Tabelle ist weiterhin beschädigt. Bitte "
                                             "stellen Sie sie aus einer Datensicherung wieder "
                                             "her."));
    }
    sqlite3_close(db);
    *report = lines.join(QStringLiteral("\r"));
    return ok;
}
