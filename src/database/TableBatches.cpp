// Set operations of the table store: many records per statement, committed batch by
// batch, one notification at the end.
#include "database/TableStore.h"

#include "database/RowBatch.h"
#include "database/SqlSupport.h"
#include "database/SystemColumns.h"

#include <QStringList>
#include <QThread>
#include <algorithm>
#include <sqlite3.h>

using namespace SqlSupport;

namespace {

QString table() {
    return QLatin1String(TableStore::tableName());
}

// Below this many records, or below this share of the table, rebuilding the indexes
// costs more than it saves.
constexpr qint64 kMinimumForRebuild = 20000;
constexpr qint64 kMinimumSharePercent = 10;

// Rows per INSERT statement of an append.
constexpr int kRowsPerInsert = 32;

qint64 singleValue(sqlite3* db, const QString& sql) {
    return firstValue(db, sql).toLongLong();
}

QString pragmaText(sqlite3* db, const QString& sql) {
    return firstValue(db, sql).toString().toLower();
}

// The secondary indexes of the records table: names and their CREATE statements.
void secondaryIndexes(sqlite3* db, QStringList* names, QStringList* creates) {
    Statement list(db, QStringLiteral("SELECT name, sql FROM sqlite_master WHERE type='index' "
                                      "AND tbl_name=? AND sql IS NOT NULL"));
    bindAll(list.get(), {table()});
    while (list.ok() && sqlite3_step(list.get()) == SQLITE_ROW) {
        *names << columnValue(list.get(), 0).toString();
        *creates << columnValue(list.get(), 1).toString();
    }
}

// Building an index reads every row and sorts every key. SQLite's sorter is fastest
// with small sorted runs that helper threads sort and merge while the table is still
// being read (one large in-memory run is sorted on one thread and misses the CPU cache
// all the time); the connection's own settings come back afterwards.
class IndexBuildSettings {
public:
    explicit IndexBuildSettings(sqlite3* db)
        : m_db(db), m_cacheSize(singleValue(db, QStringLiteral("PRAGMA cache_size"))),
          m_threads(singleValue(db, QStringLiteral("PRAGMA threads"))) {
        const int helpers = std::clamp(QThread::idealThreadCount(), 1, 4);
        exec(m_db, QStringLiteral("PRAGMA cache_size=-4096"));
        exec(m_db, QStringLiteral("PRAGMA threads=") + QString::number(helpers));
    }
    ~IndexBuildSettings() {
        exec(m_db, QStringLiteral("PRAGMA cache_size=") + QString::number(m_cacheSize));
        exec(m_db, QStringLiteral("PRAGMA threads=") + QString::number(m_threads));
    }
    IndexBuildSettings(const IndexBuildSettings&) = delete;
    IndexBuildSettings& operator=(const IndexBuildSettings&) = delete;

private:
    sqlite3* m_db;
    qint64 m_cacheSize;
    qint64 m_threads;
};

// An index build writes the table file directly under a rollback journal rather than
// passing every new page through the WAL and copying it again at the checkpoint: each
// page is written once, which saves about a tenth of an import. The exclusive lock
// stays, and FULL sync keeps the rollback journal as safe against a power cut as the
// WAL; a build cut off is rolled back on the next opening. The WAL comes back when the
// build ends; a connection that cannot leave it just now keeps it.
class DirectWrites {
public:
    explicit DirectWrites(sqlite3* db) : m_db(db) {
        if (pragmaText(db, QStringLiteral("PRAGMA journal_mode")) != QLatin1String("wal"))
            return;
        m_synchronous = singleValue(db, QStringLiteral("PRAGMA synchronous"));
        m_switched =
            pragmaText(db, QStringLiteral("PRAGMA journal_mode=DELETE")) == QLatin1String("delete");
        if (m_switched)
            exec(m_db, QStringLiteral("PRAGMA synchronous=FULL"));
    }
    ~DirectWrites() {
        if (!m_switched)
            return;
        exec(m_db, QStringLiteral("PRAGMA journal_mode=WAL"));
        exec(m_db, QStringLiteral("PRAGMA synchronous=") + QString::number(m_synchronous));
    }
    DirectWrites(const DirectWrites&) = delete;
    DirectWrites& operator=(const DirectWrites&) = delete;

private:
    sqlite3* m_db;
    qint64 m_synchronous = 1;
    bool m_switched = false;
};

} // namespace

void TableStore::loadPendingIndexes() {
    m_pendingIndexes.clear();
    Statement probe(m_db, QStringLiteral("SELECT sql FROM ") + QLatin1String(pendingIndexTable));
    if (!probe.ok())
        return; // no large append ever happened
    while (sqlite3_step(probe.get()) == SQLITE_ROW)
        m_pendingIndexes << columnValue(probe.get(), 0).toString();
}

const IndexDef* TableStore::indexOfCreate(const QString& create) const {
    for (const IndexDef& ix : m_indexes)
        if (create.contains(quoteIdent(QStringLiteral("ix_") + ix.name)))
            return &ix;
    return nullptr;
}

int TableStore::firstColumnOf(const IndexDef* ix) const {
    return ix && !ix->fields.isEmpty() ? fieldIndex(ix->fields.first().trimmed()) : -1;
}

// A unique index must hold from the first new record on, and the program's own
// lookups go by address (web sync, bounces, duplicates, unsubscribing). The other
// indexes only order and narrow the views; each is made when a view first needs it.
bool TableStore::buildUrgentIndexes(QString* error) const {
    const int mail = fieldIndex(SystemColumns::Mail);
    return buildPendingIndexes(
        [&](const QString& create) {
            const IndexDef* ix = indexOfCreate(create);
            return !ix || ix->primary || create.startsWith(QStringLiteral("CREATE UNIQUE")) ||
                   firstColumnOf(ix) == mail;
        },
        error);
}

void TableStore::ensureIndexesFor(const QString& indexName, const RecordCondition& where) const {
    // A build that fails (a full disk) leaves the index pending; the query gives the
    // same records without it, only more slowly, and the next one tries again.
    buildPendingIndexes(
        [&](const QString& create) {
            const IndexDef* ix = indexOfCreate(create);
            if (!ix)
                return false;
            if (!indexName.isEmpty() && ix->name.compare(indexName, Qt::CaseInsensitive) == 0)
                return true;
            const int column = firstColumnOf(ix);
            return column >= 0 && !where.isEmpty() &&
                   where.sql.contains(quoteIdent(m_columns[column].name));
        },
        nullptr);
}

void TableStore::ensureIndexesOn(int column) const {
    if (column < 0)
        return;
    buildPendingIndexes(
        [&](const QString& create) { return firstColumnOf(indexOfCreate(create)) == column; },
        nullptr);
}

bool TableStore::makePendingIndexes(QString* error) const {
    return buildPendingIndexes([](const QString&) { return true; }, error);
}

bool TableStore::buildPendingIndexes(const std::function<bool(const QString&)>& wanted,
                                     QString* error) const {
    QStringList chosen;
    for (const QString& create : m_pendingIndexes)
        if (wanted(create))
            chosen << create;
    if (chosen.isEmpty())
        return true;
    // Within a caller's open transaction the build's own would fail and its rollback
    // would undo the caller's work: the index then waits for a later query.
    if (!sqlite3_get_autocommit(m_db)) {
        if (error)
            *error = QStringLiteral("Die Indizes der Tabelle können nicht aufgebaut werden, "
                                    "solange eine Änderung läuft.");
        return false;
    }
    const DirectWrites direct(m_db);
    const IndexBuildSettings sorting(m_db);
    QString failure;
    bool ok = exec(m_db, QStringLiteral("BEGIN IMMEDIATE"), &failure);
    QStringList present;
    QStringList ignored;
    secondaryIndexes(m_db, &present, &ignored);
    Statement done(m_db, QStringLiteral("DELETE FROM ") + QLatin1String(pendingIndexTable) +
                             QStringLiteral(" WHERE sql = ?"));
    ok = ok && done.ok();
    for (const QString& create : chosen) {
        // An index made again before its note was cleared is not made twice.
        bool exists = false;
        for (const QString& name : present)
            if (create.contains(quoteIdent(name)))
                exists = true;
        if (ok && !exists)
            ok = exec(m_db, create, &failure);
        if (ok) {
            bindAll(done.get(), {create});
            ok = sqlite3_step(done.get()) == SQLITE_DONE;
            sqlite3_reset(done.get());
            if (!ok)
                failure = germanError(m_db);
        }
    }
    ok = ok && exec(m_db, QStringLiteral("COMMIT"), &failure);
    if (!ok) {
        exec(m_db, QStringLiteral("ROLLBACK"));
        if (error)
            *error =
                QStringLiteral("Die Indizes der Tabelle können nicht aufgebaut werden: ") + failure;
        return false;
    }
    for (const QString& create : chosen)
        m_pendingIndexes.removeAll(create);
    return true;
}

bool TableStore::runBatches(const QString& head, const QVariantList& headParams,
                            const std::vector<qint64>& ids, const RecordCondition& where,
                            const ProgressFn& progress, qint64* changed, QString* error) {
    const qint64 total = qint64(ids.size());
    qint64 done = 0;
    *changed = 0;
    std::unique_ptr<Statement> full;
    for (qint64 start = 0; start < total; start += batchSize) {
        const int count = int(std::min<qint64>(batchSize, total - start));
        auto makeSql = [&](int n) {
            QString sql = head + QStringLiteral(" WHERE rowid IN (") + placeholders(n) + QChar(')');
            if (!where.isEmpty())
                sql += QStringLiteral(" AND (") + where.sql + QChar(')');
            return sql;
        };
        std::unique_ptr<Statement> partial;
        Statement* stmt;
        if (count == batchSize) {
            if (!full)
                full = std::make_unique<Statement>(m_db, makeSql(batchSize));
            stmt = full.get();
        } else {
            partial = std::make_unique<Statement>(m_db, makeSql(count));
            stmt = partial.get();
        }
        if (!stmt->ok()) {
            if (error)
                *error = germanError(m_db);
            return false;
        }
        sqlite3_stmt* s = stmt->get();
        sqlite3_reset(s);
        bindAll(s, headParams);
        int p = int(headParams.size()) + 1;
        for (int i = 0; i < count; ++i)
            sqlite3_bind_int64(s, p++, ids[size_t(start + i)]);
        bindAll(s, where.params, p);
        exec(m_db, QStringLiteral("BEGIN IMMEDIATE"));
        if (sqlite3_step(s) != SQLITE_DONE) {
            if (error)
                *error = germanError(m_db);
            exec(m_db, QStringLiteral("ROLLBACK"));
            return false;
        }
        const qint64 inBatch = sqlite3_changes(m_db);
        if (!exec(m_db, QStringLiteral("COMMIT"))) {
            if (error)
                *error = germanError(m_db);
            return false;
        }
        *changed += inBatch;
        done += count;
        if (progress)
            progress(done, total);
    }
    return true;
}

qint64 TableStore::updateRecords(const std::vector<qint64>& ids,
                                 const QList<QPair<QString, QVariant>>& values,
                                 const RecordCondition& where, const ProgressFn& progress,
                                 QString* error) {
    if (!m_db)
        return -1;
    QStringList sets;
    QVariantList params;
    for (const auto& [name, v] : values) {
        const int i = fieldIndex(name);
        if (i < 0) {
            if (error)
                *error = QStringLiteral("Das Feld \"") + name +
                         QStringLiteral("\" gibt es in dieser Tabelle nicht.");
            return -1;
        }
        if (i == m_rowidColumn) {
            if (error)
                *error = QStringLiteral("Das Feld \"") + name +
                         QStringLiteral("\" wird automatisch vergeben.");
            return -1;
        }
        QVariant stored;
        if (!toStored(i, v, &stored, error))
            return -1;
        sets << quoteIdent(m_columns[i].name) + QStringLiteral("=?");
        params << stored;
    }
    qint64 changed = 0;
    const bool ok = runBatches(QStringLiteral("UPDATE ") + table() + QStringLiteral(" SET ") +
                                   sets.join(QChar(',')),
                               params, ids, where, progress, &changed, error);
    // Batches committed before a failure stay changed: the views learn of them too.
    if (changed > 0)
        Q_EMIT recordsChanged(ids);
    return ok ? changed : -1;
}

qint64 TableStore::deleteRecords(const std::vector<qint64>& ids, const RecordCondition& where,
                                 const ProgressFn& progress, QString* error) {
    if (!m_db)
        return -1;
    // The views are told exactly which records went.
    const std::vector<qint64> targets = where.isEmpty() ? ids : matching(ids, where);
    qint64 deleted = 0;
    const bool ok = runBatches(QStringLiteral("DELETE FROM ") + table(), {}, targets, {}, progress,
                               &deleted, error);
    if (ok && deleted > 0)
        Q_EMIT recordsDeleted(targets);
    else if (!ok && deleted > 0)
        Q_EMIT contentReset(); // some batches went: the views read everything again
    return ok ? deleted : -1;
}

qint64 TableStore::deleteManyRecords(const std::vector<qint64>& ids, const ProgressFn& progress,
                                     QString* error) {
    if (!m_db)
        return -1;
    const qint64 n = qint64(ids.size());
    if (n < kMinimumForRebuild ||
        n * 100 < singleValue(m_db, QStringLiteral("SELECT COUNT(*) FROM ") + table()) *
                      kMinimumSharePercent)
        return deleteRecords(ids, {}, progress, error);

    QString failure;
    qint64 deleted = 0;
    bool ok = exec(m_db, QStringLiteral("BEGIN IMMEDIATE"), &failure);
    if (ok) {
        QStringList names;
        QStringList creates;
        secondaryIndexes(m_db, &names, &creates);
        for (const QString& name : names)
            ok = ok && exec(m_db, QStringLiteral("DROP INDEX ") + quoteIdent(name));
        Statement del(m_db,
                      QStringLiteral("DELETE FROM ") + table() + QStringLiteral(" WHERE rowid=?"));
        ok = ok && del.ok();
        qint64 done = 0;
        for (size_t k = 0; ok && k < ids.size(); ++k) {
            sqlite3_bind_int64(del.get(), 1, ids[k]);
            ok = sqlite3_step(del.get()) == SQLITE_DONE;
            deleted += sqlite3_changes(m_db);
            sqlite3_reset(del.get());
            if (progress && (++done % batchSize == 0 || done == n))
                progress(done, n);
        }
        const IndexBuildSettings sorting(m_db);
        for (const QString& create : creates)
            ok = ok && exec(m_db, create);
        if (!ok)
            failure = germanError(m_db);
        ok = ok && exec(m_db, QStringLiteral("COMMIT"), &failure);
        if (!ok)
            exec(m_db, QStringLiteral("ROLLBACK"));
    } else {
        failure = germanError(m_db);
    }
    if (!ok) {
        if (error)
            *error = failure;
        return -1;
    }
    Q_EMIT recordsDeleted(ids);
    return deleted;
}

qint64 TableStore::appendRecords(const std::function<bool(QVariantList&)>& nextRow,
                                 const ProgressFn& progress, QString* error, bool deferIndexes) {
    const int width = fieldCount();
    QVariantList row;
    bool ended = false;
    return appendBatches(
        [&](RowBatch& batch) {
            batch.reset(width);
            while (!ended && batch.rows() < appendBatchRows) {
                if (!nextRow(row)) {
                    ended = true;
                    break;
                }
                batch.addRow();
                for (int i = 0; i < width; ++i)
                    if (i != m_rowidColumn)
                        batch.setValue(i, i < row.size() ? row[i] : QVariant());
            }
            return !batch.isEmpty();
        },
        progress, error, deferIndexes);
}

qint64 TableStore::appendBatches(const std::function<bool(RowBatch&)>& nextBatch,
                                 const ProgressFn& progress, QString* error, bool deferIndexes) {
    if (!m_db)
        return -1;
    QStringList names;
    QList<int> fields;
    for (int i = 0; i < m_columns.size(); ++i) {
        if (i == m_rowidColumn)
            continue;
        names << quoteIdent(m_columns[i].name);
        fields << i;
    }
    QStringList indexNames;
    QStringList indexSql;
    if (deferIndexes) {
        // The dropped indexes are noted in the same transaction, so a table whose
        // append was cut off gets them back when it is next opened.
        secondaryIndexes(m_db, &indexNames, &indexSql);
        bool noted =
            exec(m_db, QStringLiteral("BEGIN IMMEDIATE")) &&
            exec(m_db, QStringLiteral("CREATE TABLE IF NOT EXISTS ") +
                           QLatin1String(pendingIndexTable) + QStringLiteral("(sql TEXT)"));
        Statement note(m_db, QStringLiteral("INSERT INTO ") + QLatin1String(pendingIndexTable) +
                                 QStringLiteral(" VALUES (?)"));
        for (int k = 0; noted && k < indexNames.size(); ++k) {
            bindAll(note.get(), {indexSql[k]});
            noted = sqlite3_step(note.get()) == SQLITE_DONE &&
                    exec(m_db, QStringLiteral("DROP INDEX ") + quoteIdent(indexNames[k]));
            sqlite3_reset(note.get());
        }
        if (!noted || !exec(m_db, QStringLiteral("COMMIT"))) {
            exec(m_db, QStringLiteral("ROLLBACK"));
            indexNames.clear();
            indexSql.clear();
        }
        m_pendingIndexes << indexSql;
    }
    // Rows go in several per statement: a statement's set-up and the table's
    // AUTOINCREMENT counter are then paid once for all of them. The rows of one
    // statement get consecutive ids, the last of them reported by SQLite.
    const auto insertSql = [&](int rows) {
        const QString row = QChar('(') + placeholders(int(names.size())) + QChar(')');
        QStringList values;
        for (int r = 0; r < rows; ++r)
            values << row;
        return QStringLiteral("INSERT INTO ") + table() + QStringLiteral(" (") +
               names.join(QChar(',')) + QStringLiteral(") VALUES ") + values.join(QChar(','));
    };
    Statement ins(m_db, insertSql(1));
    Statement many(m_db, insertSql(kRowsPerInsert));
    bool ok = ins.ok() && many.ok();
    std::vector<qint64> added;
    RowBatch batch;
    const auto bindRow = [&](sqlite3_stmt* s, int firstParam, int row) {
        for (int k = 0; k < fields.size(); ++k) {
            const RowBatch::Cell& c = batch.cell(row, fields[k]);
            const int param = firstParam + k;
            switch (c.kind) {
            case RowBatch::Kind::Null:
                sqlite3_bind_null(s, param);
                break;
            case RowBatch::Kind::Integer:
                sqlite3_bind_int64(s, param, c.integer);
                break;
            case RowBatch::Kind::Real:
                sqlite3_bind_double(s, param, c.real);
                break;
            case RowBatch::Kind::Text:
                sqlite3_bind_text(s, param, batch.text(c), c.size, SQLITE_STATIC);
                break;
            }
        }
    };
    // One batch is one transaction; its texts are bound where they lie, valid until the
    // rows are stepped.
    while (ok && nextBatch(batch)) {
        if (!exec(m_db, QStringLiteral("BEGIN"))) {
            ok = false;
            if (error)
                *error = QStringLiteral("Die Datensätze können nicht gespeichert werden: ") +
                         germanError(m_db);
            break;
        }
        const int rows = batch.width() == fieldCount() ? batch.rows() : 0;
        int inBatch = 0;
        while (inBatch < rows) {
            const int count = rows - inBatch >= kRowsPerInsert ? kRowsPerInsert : 1;
            sqlite3_stmt* s = count == 1 ? ins.get() : many.get();
            for (int r = 0; r < count; ++r)
                bindRow(s, 1 + r * int(fields.size()), inBatch + r);
            const bool stepped = sqlite3_step(s) == SQLITE_DONE;
            sqlite3_reset(s);
            if (!stepped) {
                ok = false;
                break;
            }
            const qint64 last = sqlite3_last_insert_rowid(m_db);
            for (int r = count - 1; r >= 0; --r)
                added.push_back(last - r);
            inBatch += count;
        }
        for (sqlite3_stmt* s : {ins.get(), many.get()})
            sqlite3_clear_bindings(s);
        // A batch the disk refuses at its commit (full, gone) is not counted as stored.
        ok = ok && exec(m_db, QStringLiteral("COMMIT"));
        if (!ok) {
            if (error)
                *error = QStringLiteral("Die Datensätze können nicht gespeichert werden: ") +
                         germanError(m_db);
            exec(m_db, QStringLiteral("ROLLBACK"));
            added.resize(added.size() - size_t(inBatch));
            break;
        }
        if (progress && inBatch > 0)
            progress(qint64(added.size()), qint64(added.size()));
    }
    if (!indexSql.isEmpty() && !buildUrgentIndexes(error))
        ok = false;
    if (!added.empty())
        Q_EMIT recordsAdded(added);
    return ok ? qint64(added.size()) : -1;
}
