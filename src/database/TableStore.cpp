#include "database/TableStore.h"

#include "database/DataFolderLocks.h"
#include "database/SqlFunctions.h"
#include "database/SqlSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <map>
#include <sqlite3.h>

using namespace SqlSupport;

namespace {

QString table() {
    return QLatin1String(TableStore::tableName());
}

QString folderOf(const QString& path) {
    return QFileInfo(path).absolutePath() + QChar('/');
}

QString openError(const QString& path, const QString& reason) {
    return QStringLiteral("Die Tabelle \"") + QDir::toNativeSeparators(path) +
           QStringLiteral("\" kann nicht geöffnet werden: ") + reason;
}

// What is wrong with a file that should hold a table, judged from its first bytes
// before SQLite touches it; empty when it looks like a database file.
QString fileProblem(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("Die Datei kann nicht gelesen werden.");
    if (file.size() == 0)
        return QStringLiteral("Die Datei ist leer und keine Adresstabelle.");
    static const QByteArray magic("SQLite format 3\0", 16);
    if (file.size() < 100 || file.read(16) != magic)
        return QStringLiteral("Die Datei ist beschädigt oder keine Adresstabelle.");
    return {};
}

} // namespace

struct TableStore::Private {
    std::unique_ptr<Statement> selectById;
    // Statements run once per posted record (a send run posts thousands in a row), kept
    // prepared for the life of the connection.
    std::map<QString, std::unique_ptr<Statement>> statements;
};

TableStore::TableStore(QObject* parent) : QObject(parent), d(std::make_unique<Private>()) {}

TableStore::~TableStore() {
    close();
}

bool TableStore::open(const QString& path, QString* error) {
    close();
    auto fail = [&](const QString& reason) {
        release();
        if (error)
            *error = openError(path, reason);
        return false;
    };
    if (!QFileInfo::exists(path))
        return fail(QStringLiteral("Die Datei existiert nicht."));
    // Nothing may be written to a file that is not a table: SQLite would turn an empty
    // file into a database and leave journal files beside a foreign one.
    const QString problem = fileProblem(path);
    if (!problem.isEmpty())
        return fail(problem);
    const QString folder = folderOf(path);
    if (!DataFolderLocks::acquire(folder))
        return fail(QStringLiteral("Die Datenbank ist in Benutzung durch einen anderen Benutzer."));
    m_dataFolder = folder;

    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db, SQLITE_OPEN_READWRITE,
                        nullptr) != SQLITE_OK)
        return fail(QStringLiteral("Die Datei kann nicht geöffnet werden."));
    SqlFunctions::registerAll(m_db);
    sqlite3_busy_timeout(m_db, 2000);
    QString sqlError;
    // Exclusive locking keeps other processes out and lets WAL work without shared
    // memory, so a table on a network share behaves. The schema is read before the
    // journal mode is set, which is the first write.
    if (!exec(m_db, QStringLiteral("PRAGMA locking_mode=EXCLUSIVE"), &sqlError))
        return fail(QStringLiteral("Die Datei ist beschädigt oder keine Adresstabelle."));
    m_path = path;
    if (!loadSchema(&sqlError))
        return fail(sqlError);
    if (!exec(m_db, QStringLiteral("PRAGMA journal_mode=WAL"), &sqlError) ||
        !exec(m_db, QStringLiteral("PRAGMA synchronous=NORMAL"), &sqlError) ||
        !exec(m_db, QStringLiteral("PRAGMA cache_size=-32768"), &sqlError))
        return fail(QStringLiteral("Die Datei ist beschädigt oder schreibgeschützt."));
    loadPendingIndexes();
    if (!buildUrgentIndexes(&sqlError))
        return fail(sqlError);
    d->selectById = std::make_unique<Statement>(m_db, QStringLiteral("SELECT * FROM ") + table() +
                                                          QStringLiteral(" WHERE rowid = ?"));
    if (!d->selectById->ok())
        return fail(QStringLiteral("Die Datei ist beschädigt oder keine Adresstabelle."));
    Q_EMIT opened();
    return true;
}

void TableStore::close() {
    if (!m_db)
        return;
    Q_EMIT aboutToClose();
    release();
}

// Gives up the connection, its statements and the data folder's lock.
void TableStore::release() {
    d->selectById.reset();
    d->statements.clear();
    if (m_db) {
        sqlite3_close(m_db);
        m_db = nullptr;
    }
    if (!m_dataFolder.isEmpty()) {
        DataFolderLocks::release(m_dataFolder);
        m_dataFolder.clear();
    }
    m_path.clear();
    m_columns.clear();
    m_indexes.clear();
    m_pendingIndexes.clear();
    m_rowidColumn = -1;
}

QString TableStore::fieldName(int index) const {
    return (index >= 0 && index < m_columns.size()) ? m_columns[index].name : QString();
}

FieldType TableStore::fieldType(int index) const {
    return (index >= 0 && index < m_columns.size()) ? m_columns[index].type : FieldType::String;
}

int TableStore::fieldIndex(const QString& name) const {
    for (int i = 0; i < m_columns.size(); ++i)
        if (m_columns[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QString TableStore::orderByClause(const QString& indexName) const {
    if (!indexName.isEmpty()) {
        for (const IndexDef& ix : m_indexes) {
            if (ix.name.compare(indexName, Qt::CaseInsensitive) != 0)
                continue;
            QStringList parts;
            for (const QString& f : ix.fields) {
                const int i = fieldIndex(f.trimmed());
                if (i < 0)
                    continue;
                parts << quoteIdent(m_columns[i].name) +
                             (isTextType(m_columns[i].type)
                                  ? QStringLiteral(" COLLATE ") +
                                        QString::fromLatin1(SqlFunctions::collation)
                                  : QString());
            }
            parts << QStringLiteral("rowid");
            return QStringLiteral(" ORDER BY ") + parts.join(QStringLiteral(", "));
        }
    }
    return QStringLiteral(" ORDER BY rowid");
}

QVariantList TableStore::recordValues(qint64 id) const {
    QVariantList values;
    if (!m_db || !d->selectById)
        return values;
    sqlite3_stmt* stmt = d->selectById->get();
    sqlite3_bind_int64(stmt, 1, id);
    if (sqlite3_step(stmt) == SQLITE_ROW) {
        const int n = sqlite3_column_count(stmt);
        values.reserve(n);
        for (int i = 0; i < n; ++i)
            values.append(columnValue(stmt, i));
    }
    sqlite3_reset(stmt);
    return values;
}

bool TableStore::selectIds(const RecordCondition& where, const QString& indexName,
                           std::vector<qint64>* ids, QString* error) const {
    ids->clear();
    if (!m_db)
        return false;
    ensureIndexesFor(indexName, where);
    QString sql = QStringLiteral("SELECT rowid FROM ") + table();
    if (!where.isEmpty())
        sql += QStringLiteral(" WHERE ") + where.sql;
    sql += orderByClause(indexName);
    Statement stmt(m_db, sql);
    if (!stmt.ok()) {
        if (error)
            *error = germanError(m_db);
        return false;
    }
    bindAll(stmt.get(), where.params);
    int rc;
    while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW)
        ids->push_back(sqlite3_column_int64(stmt.get(), 0));
    if (rc != SQLITE_DONE) {
        if (error)
            *error = germanError(m_db);
        ids->clear();
        return false;
    }
    return true;
}

std::vector<qint64> TableStore::tableIds(const RecordCondition& where) const {
    std::vector<qint64> ids;
    selectIds(where, QString(), &ids);
    return ids;
}

bool TableStore::checkCondition(const RecordCondition& where, QString* error) const {
    if (!m_db || where.isEmpty())
        return true;
    Statement stmt(m_db, QStringLiteral("SELECT rowid FROM ") + table() +
                             QStringLiteral(" WHERE ") + where.sql + QStringLiteral(" LIMIT 0"));
    if (stmt.ok())
        return true;
    if (error)
        *error = germanError(m_db);
    return false;
}

bool TableStore::recordMatches(qint64 id, const RecordCondition& where) const {
    if (where.isEmpty())
        return true;
    const PreparedUse stmt(*this, QStringLiteral("SELECT 1 FROM ") + table() +
                                      QStringLiteral(" WHERE rowid = ? AND (") + where.sql +
                                      QChar(')'));
    if (!stmt.get())
        return true;
    sqlite3_bind_int64(stmt.get(), 1, id);
    bindAll(stmt.get(), where.params, 2);
    return sqlite3_step(stmt.get()) == SQLITE_ROW;
}

std::vector<qint64> TableStore::matching(const std::vector<qint64>& ids,
                                         const RecordCondition& where) const {
    if (where.isEmpty() || ids.empty())
        return ids;
    std::vector<qint64> out;
    if (ids.size() == 1) {
        if (recordMatches(ids.front(), where))
            out.push_back(ids.front());
        return out;
    }
    // Batches of ids in one statement; the hits come back in rowid order, the result
    // keeps the order of ids.
    QSet<qint64> hits;
    for (size_t start = 0; start < ids.size(); start += batchSize) {
        const int count = int(std::min<size_t>(batchSize, ids.size() - start));
        Statement stmt(m_db, QStringLiteral("SELECT rowid FROM ") + table() +
                                 QStringLiteral(" WHERE rowid IN (") + placeholders(count) +
                                 QStringLiteral(") AND (") + where.sql + QChar(')'));
        if (!stmt.ok())
            return ids;
        for (int i = 0; i < count; ++i)
            sqlite3_bind_int64(stmt.get(), i + 1, ids[start + size_t(i)]);
        bindAll(stmt.get(), where.params, count + 1);
        while (sqlite3_step(stmt.get()) == SQLITE_ROW)
            hits.insert(sqlite3_column_int64(stmt.get(), 0));
    }
    for (qint64 id : ids)
        if (hits.contains(id))
            out.push_back(id);
    return out;
}

TableStore::PreparedUse::PreparedUse(const TableStore& store, const QString& sql) {
    // Every filter used adds its own statement: the cache starts afresh now and then.
    // Uses never nest, so no statement of the cache is in use here.
    constexpr size_t kMostStatements = 32;
    if (store.d->statements.size() >= kMostStatements && !store.d->statements.count(sql))
        store.d->statements.clear();
    auto& slot = store.d->statements[sql];
    if (!slot)
        slot = std::make_unique<Statement>(store.m_db, sql);
    m_stmt = slot->get();
    if (!m_stmt)
        store.d->statements.erase(sql); // prepared again next time, with the error then
}

TableStore::PreparedUse::~PreparedUse() {
    if (m_stmt) {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }
}

bool TableStore::setDurableCommits(bool on, QString* error) {
    if (!m_db)
        return false;
    return exec(m_db,
                on ? QStringLiteral("PRAGMA synchronous=FULL")
                   : QStringLiteral("PRAGMA synchronous=NORMAL"),
                error);
}

bool TableStore::insertRecord(const QList<int>& fields, const QVariantList& values, qint64* id,
                              QString* error) {
    if (!m_db)
        return false;
    QStringList names;
    QVariantList stored = values;
    for (int k = 0; k < fields.size(); ++k) {
        const ColumnDef& c = m_columns[fields[k]];
        names << quoteIdent(c.name);
        // An auto-increment column that is not the record id counts on from its maximum.
        if (c.type == FieldType::AutoInc && fields[k] != m_rowidColumn && k < stored.size() &&
            stored[k].isNull()) {
            Statement mx(m_db, QStringLiteral("SELECT COALESCE(MAX(") + quoteIdent(c.name) +
                                   QStringLiteral("),0)+1 FROM ") + table());
            if (mx.ok() && sqlite3_step(mx.get()) == SQLITE_ROW)
                stored[k] = qint64(sqlite3_column_int64(mx.get(), 0));
        }
    }
    const QString sql =
        names.isEmpty()
            ? QStringLiteral("INSERT INTO ") + table() + QStringLiteral(" DEFAULT VALUES")
            : QStringLiteral("INSERT INTO ") + table() + QStringLiteral(" (") +
                  names.join(QChar(',')) + QStringLiteral(") VALUES (") +
                  placeholders(int(names.size())) + QChar(')');
    const PreparedUse stmt(*this, sql);
    const QString prefix = QStringLiteral("Der Datensatz kann nicht gespeichert werden: ");
    if (!stmt.get()) {
        if (error)
            *error = prefix + errorText(m_db);
        return false;
    }
    bindAll(stmt.get(), stored);
    if (sqlite3_step(stmt.get()) != SQLITE_DONE) {
        if (error)
            *error = prefix + germanError(m_db);
        return false;
    }
    const qint64 newId = sqlite3_last_insert_rowid(m_db);
    if (id)
        *id = newId;
    Q_EMIT recordsAdded({newId});
    return true;
}

bool TableStore::updateRecord(qint64 id, const QList<int>& fields, const QVariantList& values,
                              QString* error) {
    if (!m_db)
        return false;
    if (fields.isEmpty())
        return true; // an edit that changed nothing writes nothing
    QStringList sets;
    for (int f : fields)
        sets << quoteIdent(m_columns[f].name) + QStringLiteral("=?");
    const PreparedUse stmt(*this, QStringLiteral("UPDATE ") + table() + QStringLiteral(" SET ") +
                                      sets.join(QChar(',')) + QStringLiteral(" WHERE rowid=?"));
    const QString prefix = QStringLiteral("Der Datensatz kann nicht gespeichert werden: ");
    if (!stmt.get()) {
        if (error)
            *error = prefix + errorText(m_db);
        return false;
    }
    bindAll(stmt.get(), values);
    sqlite3_bind_int64(stmt.get(), int(values.size()) + 1, id);
    if (sqlite3_step(stmt.get()) != SQLITE_DONE) {
        if (error)
            *error = prefix + germanError(m_db);
        return false;
    }
    Q_EMIT recordsChanged({id});
    return true;
}

bool TableStore::deleteRecord(qint64 id, QString* error) {
    if (!m_db)
        return false;
    const PreparedUse stmt(*this, QStringLiteral("DELETE FROM ") + table() +
                                      QStringLiteral(" WHERE rowid=?"));
    if (stmt.get())
        sqlite3_bind_int64(stmt.get(), 1, id);
    if (!stmt.get() || sqlite3_step(stmt.get()) != SQLITE_DONE) {
        if (error)
            *error =
                QStringLiteral("Der Datensatz kann nicht gelöscht werden: ") + germanError(m_db);
        return false;
    }
    Q_EMIT recordsDeleted({id});
    return true;
}
