#include "database/BulkDelete.h"

#include "database/SqlSupport.h"

#include <QStringList>
#include <sqlite3.h>

namespace {

// Below this many records, or below this share of the table, rebuilding the indexes
// would cost more than it saves.
constexpr qint64 kMinimumForRebuild = 20000;
constexpr qint64 kMinimumSharePercent = 10;

using SqlSupport::exec;

qint64 tableSize(sqlite3* db) {
    sqlite3_stmt* stmt = nullptr;
    const QByteArray sql = QStringLiteral("SELECT COUNT(*) FROM %1")
                               .arg(QLatin1String(AddressTable::tableName()))
                               .toUtf8();
    qint64 n = 0;
    if (sqlite3_prepare_v2(db, sql.constData(), -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW)
        n = sqlite3_column_int64(stmt, 0);
    sqlite3_finalize(stmt);
    return n;
}

qint64 pragmaValue(sqlite3* db, const char* name) {
    sqlite3_stmt* stmt = nullptr;
    const QByteArray sql = QByteArray("PRAGMA ") + name;
    qint64 v = 0;
    if (sqlite3_prepare_v2(db, sql.constData(), -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW)
        v = sqlite3_column_int64(stmt, 0);
    sqlite3_finalize(stmt);
    return v;
}

// Deletes inside an open transaction; false on failure.
bool deleteWithRebuild(sqlite3* db, const std::vector<qint64>& ids, const ProgressFn& progress,
                       qint64* deleted, QString* error) {
    QStringList names;
    QStringList creates;
    {
        sqlite3_stmt* stmt = nullptr;
        const QByteArray sql = QStringLiteral("SELECT name, sql FROM sqlite_master WHERE "
                                              "type='index' AND tbl_name=? AND sql IS NOT NULL")
                                   .toUtf8();
        if (sqlite3_prepare_v2(db, sql.constData(), -1, &stmt, nullptr) != SQLITE_OK) {
            *error = QString::fromUtf8(sqlite3_errmsg(db));
            sqlite3_finalize(stmt);
            return false;
        }
        sqlite3_bind_text(stmt, 1, AddressTable::tableName(), -1, SQLITE_STATIC);
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            names << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
            creates << QString::fromUtf8(
                reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1)));
        }
        sqlite3_finalize(stmt);
    }
    for (QString name : names) {
        name.replace(QChar('"'), QStringLiteral("\"\""));
        if (!exec(db, QStringLiteral("DROP INDEX \"%1\"").arg(name), error))
            return false;
    }

    sqlite3_stmt* del = nullptr;
    const QByteArray sql = QStringLiteral("DELETE FROM %1 WHERE rowid=?")
                               .arg(QLatin1String(AddressTable::tableName()))
                               .toUtf8();
    if (sqlite3_prepare_v2(db, sql.constData(), -1, &del, nullptr) != SQLITE_OK) {
        *error = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_finalize(del);
        return false;
    }
    const qint64 total = qint64(ids.size());
    qint64 done = 0;
    for (qint64 id : ids) {
        sqlite3_bind_int64(del, 1, id);
        if (sqlite3_step(del) != SQLITE_DONE) {
            *error = QString::fromUtf8(sqlite3_errmsg(db));
            sqlite3_finalize(del);
            return false;
        }
        *deleted += sqlite3_changes(db);
        sqlite3_reset(del);
        if (progress && (++done % AddressTable::batchSize == 0 || done == total))
            progress(done, total);
    }
    sqlite3_finalize(del);
    for (const QString& create : creates)
        if (!exec(db, create, error))
            return false;
    return true;
}

} // namespace

qint64 DeleteManyRecords(AddressTable& table, const std::vector<qint64>& ids,
                         const ProgressFn& progress, QString* error) {
    sqlite3* db = table.handle();
    if (!db)
        return -1;
    const qint64 n = qint64(ids.size());
    if (n < kMinimumForRebuild || n * 100 < tableSize(db) * kMinimumSharePercent)
        return table.deleteRecords(ids, {}, progress, error);

    table.cancel();
    // Building the indexes sorts every remaining key: give the sorter more memory and
    // a helper thread for the duration, then restore the connection's settings.
    const qint64 cacheSize = pragmaValue(db, "cache_size");
    const qint64 threads = pragmaValue(db, "threads");
    exec(db, QStringLiteral("PRAGMA cache_size=-16384"), nullptr);
    exec(db, QStringLiteral("PRAGMA threads=1"), nullptr);
    QString failure;
    qint64 deleted = 0;
    bool ok = exec(db, QStringLiteral("BEGIN IMMEDIATE"), &failure);
    if (ok) {
        ok = deleteWithRebuild(db, ids, progress, &deleted, &failure) &&
             exec(db, QStringLiteral("COMMIT"), &failure);

        if (!ok)
            exec(db, QStringLiteral("ROLLBACK"), nullptr);
    }
    exec(db, QStringLiteral("PRAGMA cache_size=%1").arg(cacheSize), nullptr);
    exec(db, QStringLiteral("PRAGMA threads=%1").arg(threads), nullptr);
    table.refresh();
    if (!ok) {
        if (error)
            *error = QStringLiteral("Die Datensätze können nicht gelöscht werden: ") + failure;
        return -1;
    }
    return deleted;
}
