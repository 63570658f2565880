#include "database/AddressTable.h"

#include "common/Levenshtein.h"

#include "database/FilterExpression.h"
#include "database/SqlFunctions.h"
#include "database/SqlSupport.h"
#include "platform/FileLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <algorithm>
#include <map>
#include <sqlite3.h>

using namespace SqlSupport;

namespace {

const QString kTable = QStringLiteral("records");

QString sqlType(const ColumnDef& c, bool rowidAlias) {
    switch (c.type) {
    case FieldType::Integer:
        return QStringLiteral("INTEGER");
    case FieldType::AutoInc:
        return rowidAlias ? QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT")
                          : QStringLiteral("INTEGER");
    case FieldType::Boolean:
        return QStringLiteral("INTEGER DEFAULT 0");
    case FieldType::Float:
    case FieldType::Currency:
        return QStringLiteral("REAL");
    default:
        return QStringLiteral("TEXT");
    }
}

// The lock file the open engine holds in a data folder while any of its tables is open.
struct FolderLock {
    FileLock lock;
    int users = 0;
};
QHash<QString, FolderLock*>& folderLocks() {
    static QHash<QString, FolderLock*> locks;
    return locks;
}

bool acquireFolderLock(const QString& folder) {
    auto& locks = folderLocks();
    FolderLock* entry = locks.value(folder);
    if (!entry) {
        entry = new FolderLock;
        if (!entry->lock.tryLock(folder + QStringLiteral("Paradox.lck"))) {
            delete entry;
            return false;
        }
        locks.insert(folder, entry);
    }
    ++entry->users;
    return true;
}

void releaseFolderLock(const QString& folder) {
    auto& locks = folderLocks();
    FolderLock* entry = locks.value(folder);
    if (!entry)
        return;
    if (--entry->users == 0) {
        locks.remove(folder);
        const QString file = entry->lock.path();
        entry->lock.unlock();
        delete entry;
        QFile::remove(file);
    }
}

QString folderOf(const QString& path) {
    return QFileInfo(path).absolutePath() + QChar('/');
}

const std::vector<std::pair<const char*, FieldType>>& typeNames() {
    static const std::vector<std::pair<const char*, FieldType>> names = {
        {"ftString", FieldType::String},     {"ftInteger", FieldType::Integer},
        {"ftBoolean", FieldType::Boolean},   {"ftFloat", FieldType::Float},
        {"ftCurrency", FieldType::Currency}, {"ftDate", FieldType::Date},
        {"ftTime", FieldType::Time},         {"ftAutoInc", FieldType::AutoInc},
        {"ftMemo", FieldType::Memo},         {"ftPicture", FieldType::Picture}};
    return names;
}

QString tableOpenError(const QString& path, const QString& reason) {
    return QStringLiteral("Die Tabelle \"%1\" kann nicht geöffnet werden: %2")
        .arg(QDir::toNativeSeparators(path), reason);
}

} // namespace

std::optional<FieldType> fieldTypeFromName(const QString& typeName) {
    for (const auto& [name, type] : typeNames())
        if (typeName.trimmed() == QLatin1String(name))
            return type;
    return std::nullopt;
}

QString fieldTypeName(FieldType type) {
    for (const auto& [name, t] : typeNames())
        if (t == type)
            return QString::fromLatin1(name);
    return {};
}

struct AddressTable::Private {
    std::unique_ptr<Statement> selectById;
    // Statements run once per posted record (a send run posts thousands in a row), kept
    // prepared for the life of the connection.
    std::map<QString, std::unique_ptr<Statement>> statements;
    QString dataFolder;
    bool rowidIsId = false; // an AutoInc primary key aliases the record id
    int rowidColumn = -1;   // its column index
};

AddressTable::AddressTable(QObject* parent) : QObject(parent), d(std::make_unique<Private>()) {}

AddressTable::~AddressTable() {
    close();
}

bool AddressTable::create(const QString& path, const QList<ColumnDef>& columns,
                          const QList<IndexDef>& indexes, QString* error) {
    auto fail = [&](const QString& reason) {
        if (error)
            *error = QStringLiteral("Die Tabelle \"%1\" kann nicht angelegt werden: %2")
                         .arg(QDir::toNativeSeparators(path), reason);
        return false;
    };
    if (columns.isEmpty())
        return fail(QStringLiteral("Die Tabelle hat keine Spalten."));

    // The primary index over one AutoInc or Integer column becomes the record id.
    QString rowidColumn;
    for (const IndexDef& ix : indexes) {
        if (!ix.primary || ix.fields.size() != 1)
            continue;
        for (const ColumnDef& c : columns)
            if (c.name.compare(ix.fields.first().trimmed(), Qt::CaseInsensitive) == 0 &&
                (c.type == FieldType::AutoInc || c.type == FieldType::Integer))
                rowidColumn = c.name;
    }

    const QString tmpPath = path + QStringLiteral(".new");
    QFile::remove(tmpPath);
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(tmpPath).constData(), &db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
        const QString reason = errorText(db);
        sqlite3_close(db);
        return fail(reason);
    }
    SqlFunctions::registerAll(db);
    QString sqlError;
    bool ok = exec(db, QStringLiteral("PRAGMA journal_mode=DELETE"), &sqlError);

    QStringList defs;
    for (const ColumnDef& c : columns) {
        const bool alias = c.name == rowidColumn;
        QString def = quoteIdent(c.name) + QChar(' ');
        if (alias && c.type == FieldType::Integer)
            def += QStringLiteral("INTEGER PRIMARY KEY");
        else
            def += sqlType(c, alias);
        defs << def;
    }
    ok = ok &&
         exec(db,
              QStringLiteral("CREATE TABLE %1 (%2)").arg(kTable, defs.join(QStringLiteral(", "))),
              &sqlError);
    ok = ok &&
         exec(db,
              QStringLiteral("CREATE TABLE quillon_columns (pos INTEGER, name TEXT, type TEXT, "
                             "size INTEGER, required INTEGER);"
                             "CREATE TABLE quillon_indexes (name TEXT, fields TEXT, "
                             "isprimary INTEGER)"),
              &sqlError);
    if (ok) {
        Statement ins(db, QStringLiteral("INSERT INTO quillon_columns VALUES (?,?,?,?,?)"));
        for (int i = 0; ok && i < columns.size(); ++i) {
            const ColumnDef& c = columns[i];
            bindAll(ins.get(), {i, c.name, fieldTypeName(c.type), c.size, c.required ? 1 : 0});
            ok = sqlite3_step(ins.get()) == SQLITE_DONE;
            sqlite3_reset(ins.get());
        }
        if (!ok)
            sqlError = errorText(db);
    }
    QSet<QString> indexNames;
    for (const IndexDef& ix : indexes) {
        if (!ok)
            break;
        if (indexNames.contains(ix.name.toLower())) {
            ok = false;
            sqlError = QStringLiteral("Der Index \"%1\" ist doppelt definiert.").arg(ix.name);
            break;
        }
        indexNames.insert(ix.name.toLower());
        QStringList parts;
        for (const QString& raw : ix.fields) {
            const QString f = raw.trimmed();
            const auto it = std::find_if(columns.begin(), columns.end(), [&](const ColumnDef& c) {
                return c.name.compare(f, Qt::CaseInsensitive) == 0;
            });
            if (it == columns.end()) {
                ok = false;
                sqlError = QStringLiteral("Der Index \"%1\" nennt das unbekannte Feld \"%2\".")
                               .arg(ix.name, f);
                break;
            }
            parts << quoteIdent(it->name) + (isTextType(it->type)
                                                 ? QStringLiteral(" COLLATE ") +
                                                       QString::fromLatin1(SqlFunctions::collation)
                                                 : QString());
        }
        if (!ok)
            break;
        const bool isRowid =
            ix.primary && ix.fields.size() == 1 &&
            ix.fields.first().trimmed().compare(rowidColumn, Qt::CaseInsensitive) == 0 &&
            !rowidColumn.isEmpty();
        if (!isRowid)
            ok = exec(db,
                      QStringLiteral("CREATE %1INDEX %2 ON %3 (%4)")
                          .arg(ix.primary ? QStringLiteral("UNIQUE ") : QString(),
                               quoteIdent(QStringLiteral("ix_") + ix.name), kTable,
                               parts.join(QStringLiteral(", "))),
                      &sqlError);
        if (ok) {
            Statement ins(db, QStringLiteral("INSERT INTO quillon_indexes VALUES (?,?,?)"));
            bindAll(ins.get(), {ix.name, ix.fields.join(QChar(';')), ix.primary ? 1 : 0});
            ok = sqlite3_step(ins.get()) == SQLITE_DONE;
        }
    }
    sqlite3_close(db);
    if (!ok) {
        QFile::remove(tmpPath);
        return fail(sqlError);
    }
    QFile::remove(path);
    for (const char* suffix : {"-wal", "-shm", "-journal"})
        QFile::remove(path + QLatin1String(suffix));
    if (!QFile::rename(tmpPath, path)) {
        QFile::remove(tmpPath);
        return fail(QStringLiteral("Die Datei kann nicht geschrieben werden."));
    }
    return true;
}

bool AddressTable::open(const QString& path, QString* error) {
    close();
    auto fail = [&](const QString& reason) {
        if (m_db) {
            sqlite3_close(m_db);
            m_db = nullptr;
        }
        if (!d->dataFolder.isEmpty()) {
            releaseFolderLock(d->dataFolder);
            d->dataFolder.clear();
        }
        m_columns.clear();
        m_indexes.clear();
        if (error)
            *error = tableOpenError(path, reason);
        return false;
    };
    if (!QFileInfo::exists(path))
        return fail(QStringLiteral("Die Datei existiert nicht."));
    const QString folder = folderOf(path);
    if (!acquireFolderLock(folder))
        return fail(QStringLiteral("Die Datenbank ist in Benutzung durch einen anderen Benutzer."));
    d->dataFolder = folder;

    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db, SQLITE_OPEN_READWRITE,
                        nullptr) != SQLITE_OK)
        return fail(errorText(m_db));
    SqlFunctions::registerAll(m_db);
    sqlite3_busy_timeout(m_db, 2000);
    QString sqlError;
    // Exclusive locking keeps other processes out and lets WAL work without shared
    // memory, so a table on a network share behaves.
    if (!exec(m_db, QStringLiteral("PRAGMA locking_mode=EXCLUSIVE"), &sqlError) ||
        !exec(m_db, QStringLiteral("PRAGMA journal_mode=WAL"), &sqlError) ||
        !exec(m_db, QStringLiteral("PRAGMA synchronous=NORMAL"), &sqlError) ||
        !exec(m_db, QStringLiteral("PRAGMA cache_size=-32768"), &sqlError)) {
        const bool notDb = sqlite3_errcode(m_db) == SQLITE_NOTADB;
        return fail(notDb ? QStringLiteral("Die Datei ist beschädigt oder keine Adresstabelle.")
                          : sqlError);
    }
    m_path = path;
    if (!loadColumns(&sqlError)) {
        m_path.clear();
        return fail(sqlError);
    }
    d->selectById = std::make_unique<Statement>(
        m_db, QStringLiteral("SELECT * FROM %1 WHERE rowid = ?").arg(kTable));
    if (!d->selectById->ok()) {
        m_path.clear();
        return fail(errorText(m_db));
    }
    m_state = State::Browse;
    m_filterText.clear();
    m_filterCondition = {};
    m_filtered = false;
    m_indexName.clear();
    if (!rebuildView(0)) {
        const QString reason = errorText(m_db);
        close();
        return fail(QStringLiteral("Die Datei ist beschädigt: ") + reason);
    }
    first();
    Q_EMIT afterOpen();
    notifyReset();
    return true;
}

bool AddressTable::loadColumns(QString* error) {
    m_columns.clear();
    m_indexes.clear();
    Statement cols(
        m_db,
        QStringLiteral("SELECT name, type, size, required FROM quillon_columns ORDER BY pos"));
    if (!cols.ok()) {
        *error = sqlite3_errcode(m_db) == SQLITE_NOTADB || sqlite3_errcode(m_db) == SQLITE_CORRUPT
                     ? QStringLiteral("Die Datei ist beschädigt oder keine Adresstabelle.")
                     : QStringLiteral("Die Datei ist keine Adresstabelle dieses Programms.");
        return false;
    }
    int rc;
    while ((rc = sqlite3_step(cols.get())) == SQLITE_ROW) {
        ColumnDef c;
        c.name = columnValue(cols.get(), 0).toString();
        c.type =
            fieldTypeFromName(columnValue(cols.get(), 1).toString()).value_or(FieldType::String);
        c.size = columnValue(cols.get(), 2).toInt();
        c.required = columnValue(cols.get(), 3).toInt() != 0;
        m_columns.append(c);
    }
    if (rc != SQLITE_DONE) {
        *error = QStringLiteral("Die Datei ist beschädigt: ") + errorText(m_db);
        return false;
    }
    Statement ixs(m_db, QStringLiteral("SELECT name, fields, isprimary FROM quillon_indexes"));
    while (ixs.ok() && sqlite3_step(ixs.get()) == SQLITE_ROW) {
        IndexDef ix;
        ix.name = columnValue(ixs.get(), 0).toString();
        ix.fields = columnValue(ixs.get(), 1).toString().split(QChar(';'), Qt::SkipEmptyParts);
        ix.primary = columnValue(ixs.get(), 2).toInt() != 0;
        m_indexes.append(ix);
    }
    // Check that the stored table has the columns its description names.
    Statement probe(m_db, QStringLiteral("SELECT * FROM %1 LIMIT 0").arg(kTable));
    if (!probe.ok() || sqlite3_column_count(probe.get()) != m_columns.size()) {
        *error = QStringLiteral(
            "Die Datei ist beschädigt: Spalten und Beschreibung passen nicht zusammen.");
        return false;
    }
    d->rowidIsId = false;
    d->rowidColumn = -1;
    Statement info(m_db, QStringLiteral("PRAGMA table_info(%1)").arg(kTable));
    while (info.ok() && sqlite3_step(info.get()) == SQLITE_ROW) {
        const QString type = columnValue(info.get(), 2).toString().toUpper();
        if (columnValue(info.get(), 5).toInt() == 1 && type == QStringLiteral("INTEGER")) {
            d->rowidIsId = true;
            d->rowidColumn = fieldIndex(columnValue(info.get(), 1).toString());
        }
    }
    return true;
}

void AddressTable::close() {
    if (!m_db)
        return;
    d->selectById.reset();
    d->statements.clear();
    sqlite3_close(m_db);
    m_db = nullptr;
    if (!d->dataFolder.isEmpty()) {
        releaseFolderLock(d->dataFolder);
        d->dataFolder.clear();
    }
    m_path.clear();
    m_columns.clear();
    m_indexes.clear();
    m_view.clear();
    m_pos = -1;
    m_eof = m_bof = true;
    m_state = State::Inactive;
    m_current.clear();
    m_buffer.clear();
    m_filterText.clear();
    m_filterCondition = {};
    m_filtered = false;
    m_indexName.clear();
    notifyReset();
}

QString AddressTable::orderByClause() const {
    if (m_indexName.isEmpty())
        return QStringLiteral(" ORDER BY rowid");
    for (const IndexDef& ix : m_indexes) {
        if (ix.name.compare(m_indexName, Qt::CaseInsensitive) != 0)
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
    return QStringLiteral(" ORDER BY rowid");
}

bool AddressTable::rebuildView(qint64 keepId) {
    QString sql = QStringLiteral("SELECT rowid FROM %1").arg(kTable);
    const bool useFilter = m_filtered && !m_filterCondition.isEmpty();
    if (useFilter)
        sql += QStringLiteral(" WHERE ") + m_filterCondition.sql;
    sql += orderByClause();
    Statement stmt(m_db, sql);
    if (!stmt.ok())
        return false;
    if (useFilter)
        bindAll(stmt.get(), m_filterCondition.params);
    std::vector<qint64> ids;
    ids.reserve(m_view.empty() ? 1024 : m_view.size());
    int rc;
    while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW)
        ids.push_back(sqlite3_column_int64(stmt.get(), 0));
    if (rc != SQLITE_DONE)
        return false;
    m_view.swap(ids);
    std::vector<qint64>().swap(ids);
    qint64 pos = -1;
    if (keepId != 0) {
        if (m_indexName.isEmpty()) {
            const auto it = std::lower_bound(m_view.begin(), m_view.end(), keepId);
            if (it != m_view.end() && *it == keepId)
                pos = it - m_view.begin();
        } else {
            const auto it = std::find(m_view.begin(), m_view.end(), keepId);
            if (it != m_view.end())
                pos = it - m_view.begin();
        }
    }
    if (pos < 0)
        pos = m_view.empty() ? -1 : 0;
    setPosition(pos);
    m_eof = m_bof = m_view.empty();
    return true;
}

void AddressTable::setPosition(qint64 pos) {
    m_pos = pos;
    loadCurrent();
    if (m_disableCount == 0)
        Q_EMIT currentChanged(m_pos);
}

void AddressTable::loadCurrent() {
    m_current = (m_pos >= 0 && m_pos < qint64(m_view.size())) ? recordValues(m_view[m_pos])
                                                              : QVariantList();
}

void AddressTable::notifyReset() {
    if (m_disableCount > 0) {
        m_pendingReset = true;
        return;
    }
    m_pendingReset = false;
    Q_EMIT viewReset();
}

void AddressTable::refresh() {
    if (!m_db)
        return;
    if (m_state != State::Browse)
        cancel();
    rebuildView(currentId());
    notifyReset();
}

void AddressTable::first() {
    if (!m_db)
        return;
    if (m_state != State::Browse)
        post();
    setPosition(m_view.empty() ? -1 : 0);
    m_bof = true;
    m_eof = m_view.empty();
}

void AddressTable::last() {
    if (!m_db)
        return;
    if (m_state != State::Browse)
        post();
    setPosition(qint64(m_view.size()) - 1);
    m_eof = true;
    m_bof = m_view.empty();
}

void AddressTable::next() {
    if (!m_db)
        return;
    if (m_state != State::Browse)
        post();
    if (m_pos + 1 < qint64(m_view.size())) {
        setPosition(m_pos + 1);
        m_bof = false;
        m_eof = false;
    } else {
        m_eof = true;
    }
}

void AddressTable::prior() {
    if (!m_db)
        return;
    if (m_state != State::Browse)
        post();
    if (m_pos > 0) {
        setPosition(m_pos - 1);
        m_bof = false;
        m_eof = false;
    } else {
        m_bof = true;
    }
}

qint64 AddressTable::recNo() const {
    return m_view.empty() ? -1 : m_pos;
}

bool AddressTable::moveTo(qint64 row) {
    if (!m_db || row < 0 || row >= qint64(m_view.size()))
        return false;
    if (m_state != State::Browse)
        post();
    setPosition(row);
    m_bof = m_eof = false;
    return true;
}

bool AddressTable::locateId(qint64 id) {
    if (!m_db)
        return false;
    const auto it = std::find(m_view.begin(), m_view.end(), id);
    if (it == m_view.end())
        return false;
    return moveTo(it - m_view.begin());
}

qint64 AddressTable::currentId() const {
    return (m_pos >= 0 && m_pos < qint64(m_view.size())) ? m_view[m_pos] : 0;
}

void AddressTable::edit() {
    if (!m_db || m_state != State::Browse || m_current.isEmpty())
        return;
    m_buffer = m_current;
    m_state = State::Edit;
}

void AddressTable::append() {
    if (!m_db)
        return;
    if (m_state != State::Browse)
        post();
    m_buffer.clear();
    for (const ColumnDef& c : m_columns)
        m_buffer.append(c.type == FieldType::Boolean ? QVariant(qint64(0)) : QVariant());
    m_state = State::Insert;
}

void AddressTable::cancel() {
    if (m_state == State::Edit || m_state == State::Insert) {
        m_buffer.clear();
        m_state = State::Browse;
    }
}

bool AddressTable::recordMatches(qint64 id) const {
    if (!m_filtered || m_filterCondition.isEmpty())
        return true;
    const PreparedUse stmt(*this,
                           QStringLiteral("SELECT 1 FROM %1 WHERE rowid = ? AND ").arg(kTable) +
                               m_filterCondition.sql);
    if (!stmt.get())
        return true;
    sqlite3_bind_int64(stmt.get(), 1, id);
    bindAll(stmt.get(), m_filterCondition.params, 2);
    return sqlite3_step(stmt.get()) == SQLITE_ROW;
}

AddressTable::PreparedUse::PreparedUse(const AddressTable& table, const QString& sql) {
    // Every filter used adds its own statement: the cache starts afresh now and then.
    // Uses never nest, so no statement of the cache is in use here.
    constexpr size_t kMostStatements = 32;
    if (table.d->statements.size() >= kMostStatements && !table.d->statements.count(sql))
        table.d->statements.clear();
    auto& slot = table.d->statements[sql];
    if (!slot)
        slot = std::make_unique<Statement>(table.m_db, sql);
    m_stmt = slot->get();
    if (!m_stmt)
        table.d->statements.erase(sql); // prepared again next time, with the error then
}

AddressTable::PreparedUse::~PreparedUse() {
    if (m_stmt) {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }
}

bool AddressTable::setDurableCommits(bool on, QString* error) {
    if (!m_db)
        return false;
    return exec(m_db,
                on ? QStringLiteral("PRAGMA synchronous=FULL")
                   : QStringLiteral("PRAGMA synchronous=NORMAL"),
                error);
}

bool AddressTable::post(QString* error) {
    if (!m_db || (m_state != State::Edit && m_state != State::Insert))
        return true;
    auto fail = [&](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    for (int i = 0; i < m_columns.size(); ++i) {
        const ColumnDef& c = m_columns[i];
        if (!c.required || c.type == FieldType::AutoInc)
            continue;
        const QVariant& v = m_buffer[i];
        if (!v.isValid() || v.isNull() ||
            (v.typeId() == QMetaType::QString && v.toString().isEmpty()))
            return fail(QStringLiteral("Das Feld \"%1\" muss einen Wert enthalten.").arg(c.name));
    }
    const bool inserting = m_state == State::Insert;
    qint64 id = inserting ? 0 : currentId();
    QStringList names;
    QVariantList values;
    // An update writes only the columns that were changed: it leaves the indexes of the
    // others alone and never puts back a value that changed meanwhile elsewhere.
    const auto unchanged = [this](int i) {
        if (i >= m_current.size())
            return false;
        const QVariant& was = m_current[i];
        const QVariant& now = m_buffer[i];
        return was.isNull() == now.isNull() && was.typeId() == now.typeId() && was == now;
    };
    for (int i = 0; i < m_columns.size(); ++i) {
        const ColumnDef& c = m_columns[i];
        QVariant v = m_buffer[i];
        if (!inserting && unchanged(i))
            continue;
        if (c.type == FieldType::AutoInc) {
            if (i == d->rowidColumn)
                continue; // assigned by the engine, never edited
            if (inserting) {
                Statement mx(m_db, QStringLiteral("SELECT COALESCE(MAX(%1),0)+1 FROM %2")
                                       .arg(quoteIdent(c.name), kTable));
                if (mx.ok() && sqlite3_step(mx.get()) == SQLITE_ROW)
                    v = qint64(sqlite3_column_int64(mx.get(), 0));
            } else {
                continue;
            }
        }
        names << quoteIdent(c.name);
        values << v;
    }
    QString sql;
    if (inserting) {
        QStringList marks;
        for (int i = 0; i < names.size(); ++i)
            marks << QStringLiteral("?");
        sql = names.isEmpty() ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(kTable)
                              : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                    .arg(kTable, names.join(QChar(',')), marks.join(QChar(',')));
    } else {
        QStringList sets;
        for (const QString& n : names)
            sets << n + QStringLiteral("=?");
        if (!sets.isEmpty())
            sql =
                QStringLiteral("UPDATE %1 SET %2 WHERE rowid=?").arg(kTable, sets.join(QChar(',')));
        values << id;
    }
    if (!sql.isEmpty()) { // an edit that changed nothing writes nothing
        const PreparedUse stmt(*this, sql);
        if (!stmt.get())
            return fail(QStringLiteral("Der Datensatz kann nicht gespeichert werden: ") +
                        errorText(m_db));
        bindAll(stmt.get(), values);
        if (sqlite3_step(stmt.get()) != SQLITE_DONE) {
            const int code = sqlite3_extended_errcode(m_db);
            if (code == SQLITE_CONSTRAINT_UNIQUE || code == SQLITE_CONSTRAINT_PRIMARYKEY)
                return fail(
                    QStringLiteral("Der Datensatz kann nicht gespeichert werden: Ein Datensatz mit "
                                   "demselben Schlüssel existiert bereits."));
            return fail(QStringLiteral("Der Datensatz kann nicht gespeichert werden: ") +
                        errorText(m_db));
        }
    }
    if (inserting)
        id = sqlite3_last_insert_rowid(m_db);
    m_state = State::Browse;
    m_buffer.clear();

    if (inserting) {
        if (recordMatches(id)) {
            if (m_indexName.isEmpty()) {
                m_view.push_back(id); // the newest id sorts last
                setPosition(qint64(m_view.size()) - 1);
            } else {
                rebuildView(id);
            }
        } else {
            loadCurrent();
        }
        m_eof = m_bof = false;
        notifyReset();
    } else if (!recordMatches(id)) {
        // The record left the filter: the following record becomes current.
        const qint64 row = m_pos;
        m_view.erase(m_view.begin() + row);
        const qint64 newPos = std::min<qint64>(row, qint64(m_view.size()) - 1);
        setPosition(newPos);
        if (m_view.empty())
            m_eof = m_bof = true;
        else if (row >= qint64(m_view.size()))
            m_eof = true;
        notifyReset();
    } else if (!m_indexName.isEmpty()) {
        rebuildView(id); // a changed key may move the record
        notifyReset();
    } else {
        loadCurrent();
        if (m_disableCount == 0)
            Q_EMIT rowChanged(m_pos);
    }
    Q_EMIT afterPost();
    return true;
}

bool AddressTable::deleteRecord(QString* error) {
    if (!m_db)
        return false;
    if (m_state == State::Insert) {
        cancel();
        return true;
    }
    cancel();
    const qint64 id = currentId();
    if (id == 0)
        return false;
    Statement stmt(m_db, QStringLiteral("DELETE FROM %1 WHERE rowid=?").arg(kTable));
    sqlite3_bind_int64(stmt.get(), 1, id);
    if (!stmt.ok() || sqlite3_step(stmt.get()) != SQLITE_DONE) {
        if (error)
            *error = QStringLiteral("Der Datensatz kann nicht gelöscht werden: ") + errorText(m_db);
        return false;
    }
    const qint64 row = m_pos;
    m_view.erase(m_view.begin() + row);
    setPosition(std::min<qint64>(row, qint64(m_view.size()) - 1));
    m_bof = m_view.empty();
    m_eof = m_view.empty() || row >= qint64(m_view.size());
    notifyReset();
    return true;
}

QString AddressTable::fieldName(int index) const {
    return (index >= 0 && index < m_columns.size()) ? m_columns[index].name : QString();
}

FieldType AddressTable::fieldType(int index) const {
    return (index >= 0 && index < m_columns.size()) ? m_columns[index].type : FieldType::String;
}

int AddressTable::fieldIndex(const QString& name) const {
    for (int i = 0; i < m_columns.size(); ++i)
        if (m_columns[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QVariant AddressTable::value(int index) const {
    const QVariantList& values =
        (m_state == State::Browse || m_state == State::Inactive) ? m_current : m_buffer;
    if (index < 0 || index >= values.size())
        return {};
    const QVariant& v = values[index];
    const FieldType type = m_columns[index].type;
    if (type == FieldType::Boolean)
        return QVariant(v.isValid() && !v.isNull() && v.toLongLong() != 0);
    if (!v.isValid() || v.isNull())
        return {};
    if (type == FieldType::Date)
        return QDate::fromString(v.toString().left(10), QStringLiteral("yyyy-MM-dd"));
    if (type == FieldType::Time)
        return QTime::fromString(v.toString(), QStringLiteral("HH:mm:ss"));
    return v;
}

bool AddressTable::isNull(int index) const {
    const QVariantList& values = m_state == State::Browse ? m_current : m_buffer;
    return index < 0 || index >= values.size() || !values[index].isValid() ||
           values[index].isNull();
}

QString AddressTable::asString(int index) const {
    const QVariantList& values =
        (m_state == State::Browse || m_state == State::Inactive) ? m_current : m_buffer;
    if (index < 0 || index >= values.size())
        return {};
    return SqlFunctions::displayText(values[index], m_columns[index].type);
}

QString AddressTable::asString(const QString& name) const {
    return asString(fieldIndex(name));
}

bool AddressTable::asBool(const QString& name) const {
    return value(fieldIndex(name)).toBool();
}

int AddressTable::asInteger(const QString& name) const {
    return value(fieldIndex(name)).toInt();
}

QDate AddressTable::asDate(const QString& name) const {
    return value(fieldIndex(name)).toDate();
}

bool AddressTable::setValue(int index, const QVariant& v, QString* error) {
    if (index < 0 || index >= m_columns.size() ||
        (m_state != State::Edit && m_state != State::Insert)) {
        if (error)
            *error = QStringLiteral("Der Datensatz ist nicht im Bearbeitungsmodus.");
        return false;
    }
    if (!v.isValid() || v.isNull()) {
        m_buffer[index] =
            m_columns[index].type == FieldType::Boolean ? QVariant(qint64(0)) : QVariant();
        return true;
    }
    switch (m_columns[index].type) {
    case FieldType::Boolean:
        if (v.typeId() == QMetaType::Bool || v.canConvert<qint64>()) {
            if (v.typeId() != QMetaType::QString) {
                m_buffer[index] = qint64(v.toBool() ? 1 : 0);
                return true;
            }
        }
        return setString(index, v.toString(), error);
    case FieldType::Date:
        if (v.typeId() == QMetaType::QDate) {
            m_buffer[index] = v.toDate().toString(QStringLiteral("yyyy-MM-dd"));
            return true;
        }
        return setString(index, v.toString(), error);
    case FieldType::Integer:
    case FieldType::AutoInc:
        if (v.typeId() != QMetaType::QString) {
            m_buffer[index] = v.toLongLong();
            return true;
        }
        return setString(index, v.toString(), error);
    case FieldType::Float:
    case FieldType::Currency:
        if (v.typeId() != QMetaType::QString) {
            m_buffer[index] = v.toDouble();
            return true;
        }
        return setString(index, v.toString(), error);
    default:
        return setString(index, v.toString(), error);
    }
}

bool AddressTable::setString(int index, const QString& text, QString* error) {
    if (index < 0 || index >= m_columns.size() ||
        (m_state != State::Edit && m_state != State::Insert)) {
        if (error)
            *error = QStringLiteral("Der Datensatz ist nicht im Bearbeitungsmodus.");
        return false;
    }
    const ColumnDef& c = m_columns[index];
    const QString t = text.trimmed();
    auto refuse = [&](const QString& what) {
        if (error)
            *error = QStringLiteral("\"%1\" ist %2 für das Feld \"%3\".").arg(text, what, c.name);
        return false;
    };
    QVariant stored;
    switch (c.type) {
    case FieldType::Boolean: {
        const QString u = t.toUpper();
        if (u == QStringLiteral("TRUE") || u == QStringLiteral("1") || u == QStringLiteral("JA"))
            stored = qint64(1);
        else if (u.isEmpty() || u == QStringLiteral("FALSE") || u == QStringLiteral("0") ||
                 u == QStringLiteral("NEIN"))
            stored = qint64(0);
        else
            return refuse(QStringLiteral("kein gültiger Wahrheitswert"));
        break;
    }
    case FieldType::Integer:
    case FieldType::AutoInc: {
        if (t.isEmpty())
            break;
        bool ok = false;
        const qint64 v = t.toLongLong(&ok);
        if (!ok || (c.type == FieldType::Integer && (v < INT32_MIN || v > INT32_MAX)))
            return refuse(QStringLiteral("kein gültiger Ganzzahlwert"));
        stored = v;
        break;
    }
    case FieldType::Float:
    case FieldType::Currency: {
        if (t.isEmpty())
            break;
        QString n = t;
        n.remove(QChar(' '));
        if (n.contains(QChar(',')))
            n.remove(QChar('.')).replace(QChar(','), QChar('.')); // German 1.234,5
        bool ok = false;
        const double v = n.toDouble(&ok);
        if (!ok)
            return refuse(QStringLiteral("kein gültiger Zahlenwert"));
        stored = v;
        break;
    }
    case FieldType::Date: {
        if (t.isEmpty())
            break;
        const QString s = SqlFunctions::dateToStorage(t);
        if (s.isEmpty())
            return refuse(QStringLiteral("kein gültiges Datum"));
        stored = s;
        break;
    }
    case FieldType::Time: {
        if (t.isEmpty())
            break;
        const QString s = SqlFunctions::timeToStorage(t);
        if (s.isEmpty())
            return refuse(QStringLiteral("keine gültige Uhrzeit"));
        stored = s;
        break;
    }
    default:
        if (!text.isEmpty())
            stored = text; // longer texts are kept whole
        break;
    }
    m_buffer[index] = stored;
    return true;
}

bool AddressTable::setString(const QString& name, const QString& text, QString* error) {
    const int index = fieldIndex(name);
    if (index < 0) {
        if (error)
            *error = QStringLiteral("Das Feld \"%1\" gibt es in dieser Tabelle nicht.").arg(name);
        return false;
    }
    return setString(index, text, error);
}

bool AddressTable::setBool(const QString& name, bool v) {
    return setValue(fieldIndex(name), v);
}

bool AddressTable::setInteger(const QString& name, qint64 v) {
    return setValue(fieldIndex(name), v);
}

bool AddressTable::setDate(const QString& name, const QDate& v) {
    return setValue(fieldIndex(name), v.isValid() ? QVariant(v) : QVariant());
}

bool AddressTable::checkFilter(const QString& expression, QString* error) const {
    RecordCondition cond;
    return FilterExpression::parse(expression, m_columns, &cond, error);
}

bool AddressTable::setFilter(const QString& expression, QString* error) {
    RecordCondition cond;
    if (!FilterExpression::parse(expression, m_columns, &cond, error))
        return false;
    if (m_state != State::Browse)
        post();
    m_filterText = expression;
    m_filterCondition = cond;
    if (m_db && m_filtered) {
        rebuildView(currentId());
        notifyReset();
    }
    return true;
}

void AddressTable::setFiltered(bool on) {
    if (m_filtered == on)
        return;
    if (m_state != State::Browse)
        post();
    m_filtered = on;
    if (m_db) {
        rebuildView(currentId());
        notifyReset();
    }
}

bool AddressTable::setIndexName(const QString& indexName, QString* error) {
    if (!indexName.isEmpty()) {
        const bool known = std::any_of(m_indexes.begin(), m_indexes.end(), [&](const IndexDef& ix) {
            return ix.name.compare(indexName, Qt::CaseInsensitive) == 0;
        });
        if (!known) {
            if (error)
                *error = QStringLiteral("Der Index \"%1\" existiert nicht.").arg(indexName);
            return false;
        }
    }
    if (m_state != State::Browse)
        post();
    m_indexName = indexName;
    if (m_db) {
        rebuildView(currentId());
        notifyReset();
    }
    return true;
}

void AddressTable::disableControls() {
    ++m_disableCount;
}

void AddressTable::enableControls() {
    if (m_disableCount == 0)
        return;
    if (--m_disableCount == 0) {
        m_pendingReset = false;
        Q_EMIT viewReset();
        Q_EMIT currentChanged(m_pos);
    }
}

qint64 AddressTable::idAt(qint64 row) const {
    return (row >= 0 && row < qint64(m_view.size())) ? m_view[row] : 0;
}

QVariantList AddressTable::recordValues(qint64 id) const {
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

QVariantList AddressTable::rowValues(qint64 row) const {
    if (row == m_pos && (m_state == State::Edit || m_state == State::Insert))
        return m_buffer;
    return recordValues(idAt(row));
}

std::vector<qint64> AddressTable::viewIds(bool fromCurrent) const {
    if (!fromCurrent || m_pos <= 0)
        return m_view;
    return std::vector<qint64>(m_view.begin() + m_pos, m_view.end());
}

std::vector<qint64> AddressTable::tableIds(const RecordCondition& where) const {
    std::vector<qint64> ids;
    if (!m_db)
        return ids;
    QString sql = QStringLiteral("SELECT rowid FROM %1").arg(kTable);
    if (!where.isEmpty())
        sql += QStringLiteral(" WHERE ") + where.sql;
    sql += QStringLiteral(" ORDER BY rowid");
    Statement stmt(m_db, sql);
    if (!stmt.ok())
        return ids;
    bindAll(stmt.get(), where.params);
    while (sqlite3_step(stmt.get()) == SQLITE_ROW)
        ids.push_back(sqlite3_column_int64(stmt.get(), 0));
    return ids;
}

namespace {

// Runs one statement per batch of ids: "<head> WHERE rowid IN (?,...) [AND (<cond>)]".
// Head parameters come first, then the ids, then the condition's parameters.
qint64 runBatches(sqlite3* db, const QString& head, const QVariantList& headParams,
                  const std::vector<qint64>& ids, const RecordCondition& where,
                  const ProgressFn& progress, QString* error) {
    const qint64 total = qint64(ids.size());
    qint64 done = 0;
    qint64 changed = 0;
    const int batch = AddressTable::batchSize;
    std::unique_ptr<Statement> full;
    for (qint64 start = 0; start < total; start += batch) {
        const int count = int(std::min<qint64>(batch, total - start));
        std::unique_ptr<Statement> partial;
        auto makeSql = [&](int n) {
            QString marks;
            marks.reserve(n * 2);
            for (int i = 0; i < n; ++i)
                marks += i ? QStringLiteral(",?") : QStringLiteral("?");
            QString sql = head + QStringLiteral(" WHERE rowid IN (") + marks + QChar(')');
            if (!where.isEmpty())
                sql += QStringLiteral(" AND (") + where.sql + QChar(')');
            return sql;
        };
        Statement* stmt;
        if (count == batch) {
            if (!full)
                full = std::make_unique<Statement>(db, makeSql(batch));
            stmt = full.get();
        } else {
            partial = std::make_unique<Statement>(db, makeSql(count));
            stmt = partial.get();
        }
        if (!stmt->ok()) {
            if (error)
                *error = errorText(db);
            return -1;
        }
        sqlite3_stmt* s = stmt->get();
        sqlite3_reset(s);
        bindAll(s, headParams);
        int p = int(headParams.size()) + 1;
        for (int i = 0; i < count; ++i)
            sqlite3_bind_int64(s, p++, ids[size_t(start + i)]);
        bindAll(s, where.params, p);
        exec(db, QStringLiteral("BEGIN IMMEDIATE"));
        if (sqlite3_step(s) != SQLITE_DONE) {
            if (error)
                *error = errorText(db);
            exec(db, QStringLiteral("ROLLBACK"));
            return -1;
        }
        changed += sqlite3_changes(db);
        if (!exec(db, QStringLiteral("COMMIT"), error))
            return -1;
        done += count;
        if (progress)
            progress(done, total);
    }
    return changed;
}

} // namespace

bool AddressTable::storedAssignments(const QList<QPair<QString, QVariant>>& values,
                                     QStringList* sets, QVariantList* params, QString* error) {
    for (const auto& [name, v] : values) {
        const int i = fieldIndex(name);
        if (i < 0) {
            if (error)
                *error =
                    QStringLiteral("Das Feld \"%1\" gibt es in dieser Tabelle nicht.").arg(name);
            return false;
        }
        if (i == d->rowidColumn) {
            if (error)
                *error = QStringLiteral("Das Feld \"%1\" wird automatisch vergeben.").arg(name);
            return false;
        }
        // Convert through the edit buffer rules so stored forms stay uniform.
        QVariantList saved = m_buffer;
        const State savedState = m_state;
        m_buffer = QVariantList(m_columns.size());
        m_state = State::Edit;
        QString convError;
        const bool ok = setValue(i, v, &convError);
        const QVariant stored = m_buffer[i];
        m_buffer = saved;
        m_state = savedState;
        if (!ok) {
            if (error)
                *error = convError;
            return false;
        }
        *sets << quoteIdent(m_columns[i].name) + QStringLiteral("=?");
        *params << stored;
    }
    return true;
}

qint64 AddressTable::updateRecords(const std::vector<qint64>& ids,
                                   const QList<QPair<QString, QVariant>>& values,
                                   const RecordCondition& where, const ProgressFn& progress,
                                   QString* error) {
    if (!m_db)
        return -1;
    if (m_state != State::Browse)
        post();
    QStringList sets;
    QVariantList params;
    if (!storedAssignments(values, &sets, &params, error))
        return -1;
    const qint64 keep = currentId();
    const qint64 changed =
        runBatches(m_db, QStringLiteral("UPDATE %1 SET %2").arg(kTable, sets.join(QChar(','))),
                   params, ids, where, progress, error);
    rebuildView(keep);
    notifyReset();
    return changed;
}

qint64 AddressTable::rowOfId(qint64 id) const {
    if (m_indexName.isEmpty()) {
        const auto it = std::lower_bound(m_view.begin(), m_view.end(), id);
        return it != m_view.end() && *it == id ? it - m_view.begin() : -1;
    }
    const auto it = std::find(m_view.begin(), m_view.end(), id);
    return it != m_view.end() ? it - m_view.begin() : -1;
}

bool AddressTable::updateRecord(qint64 id, const QList<QPair<QString, QVariant>>& values,
                                QString* error) {
    if (!m_db)
        return false;
    QStringList sets;
    QVariantList params;
    if (!storedAssignments(values, &sets, &params, error))
        return false;
    params << id;
    const PreparedUse stmt(
        *this, QStringLiteral("UPDATE %1 SET %2 WHERE rowid=?").arg(kTable, sets.join(QChar(','))));
    if (stmt.get())
        bindAll(stmt.get(), params);
    if (!stmt.get() || sqlite3_step(stmt.get()) != SQLITE_DONE) {
        if (error)
            *error =
                QStringLiteral("Der Datensatz kann nicht gespeichert werden: ") + errorText(m_db);
        return false;
    }
    const qint64 row = rowOfId(id);
    const bool editing = row == m_pos && m_state != State::Browse;
    if (row >= 0 && !editing && !recordMatches(id)) {
        m_view.erase(m_view.begin() + row);
        if (m_view.empty()) {
            setPosition(-1);
            m_eof = m_bof = true;
        } else if (row < m_pos) {
            setPosition(m_pos - 1); // the same record, one row up
        } else if (row == m_pos) {
            setPosition(std::min<qint64>(row, qint64(m_view.size()) - 1));
            m_eof = row >= qint64(m_view.size());
        }
        notifyReset();
    } else if (row >= 0) {
        // A record under edit keeps the values its edit started from, so its post writes
        // only what the user changed.
        if (row == m_pos && !editing)
            loadCurrent();
        if (m_disableCount == 0)
            Q_EMIT rowChanged(row);
    }
    Q_EMIT afterPost();
    return true;
}

qint64 AddressTable::deleteRecords(const std::vector<qint64>& ids, const RecordCondition& where,
                                   const ProgressFn& progress, QString* error) {
    if (!m_db)
        return -1;
    cancel();
    const qint64 keep = currentId();
    const qint64 changed = runBatches(m_db, QStringLiteral("DELETE FROM %1").arg(kTable), {}, ids,
                                      where, progress, error);
    rebuildView(keep);
    notifyReset();
    return changed;
}

qint64 AddressTable::appendRecords(const std::function<bool(QVariantList&)>& nextRow,
                                   const ProgressFn& progress, QString* error, bool deferIndexes) {
    if (!m_db)
        return -1;
    if (m_state != State::Browse)
        post();
    QStringList names;
    QStringList marks;
    QList<int> fields;
    for (int i = 0; i < m_columns.size(); ++i) {
        if (i == d->rowidColumn)
            continue;
        names << quoteIdent(m_columns[i].name);
        marks << QStringLiteral("?");
        fields << i;
    }
    QStringList indexSql;
    if (deferIndexes) {
        Statement list(m_db,
                       QStringLiteral("SELECT name, sql FROM sqlite_master WHERE type='index' "
                                      "AND tbl_name=? AND sql IS NOT NULL"));
        bindAll(list.get(), {kTable});
        QStringList indexNames;
        while (list.ok() && sqlite3_step(list.get()) == SQLITE_ROW) {
            indexNames << columnValue(list.get(), 0).toString();
            indexSql << columnValue(list.get(), 1).toString();
        }
        for (const QString& n : indexNames)
            exec(m_db, QStringLiteral("DROP INDEX %1").arg(quoteIdent(n)));
    }
    Statement ins(m_db, QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                            .arg(kTable, names.join(QChar(',')), marks.join(QChar(','))));
    bool ok = ins.ok();
    qint64 added = 0;
    QVariantList row;
    bool more = ok;
    const int batch = 20000;
    while (ok && more) {
        exec(m_db, QStringLiteral("BEGIN"));
        int inBatch = 0;
        while (inBatch < batch && (more = nextRow(row))) {
            for (int k = 0; k < fields.size(); ++k) {
                const int i = fields[k];
                QVariant v = i < row.size() ? row[i] : QVariant();
                if (v.typeId() == QMetaType::Bool)
                    v = qint64(v.toBool() ? 1 : 0);
                else if (v.typeId() == QMetaType::QDate)
                    v = v.toDate().toString(QStringLiteral("yyyy-MM-dd"));
                else if (v.typeId() == QMetaType::QString && v.toString().isEmpty())
                    v = QVariant();
                bindValue(ins.get(), k + 1, v);
            }
            if (sqlite3_step(ins.get()) != SQLITE_DONE) {
                ok = false;
                break;
            }
            sqlite3_reset(ins.get());
            ++inBatch;
        }
        if (!ok) {
            if (error)
                *error = QStringLiteral("Die Datensätze können nicht gespeichert werden: ") +
                         errorText(m_db);
            exec(m_db, QStringLiteral("ROLLBACK"));
            break;
        }
        exec(m_db, QStringLiteral("COMMIT"));
        added += inBatch;
        if (progress && inBatch > 0)
            progress(added, added);
    }
    for (const QString& sql : indexSql)
        if (!exec(m_db, sql, error))
            ok = false;
    rebuildView(currentId());
    notifyReset();
    return ok ? added : -1;
}

RecordCondition AddressTable::conditionAnyFieldContains(const QString& text,
                                                        TextMatch match) const {
    const QString function = QString::fromLatin1(
        match == TextMatch::Fuzzy                   ? SqlFunctions::fuzzyFunction
        : match == TextMatch::ContainsCaseSensitive ? SqlFunctions::containsExactFunction
                                                    : SqlFunctions::containsFunction);
    // The same test in C++, for the fixed texts a boolean shows.
    auto matchesShown = [&](const QString& shown) {
        switch (match) {
        case TextMatch::Fuzzy:
            return LevenshteinPercent(text.toUpper(), shown.toUpper()) < 25;
        case TextMatch::ContainsCaseSensitive:
            return shown.contains(text);
        default:
            return shown.contains(text, Qt::CaseInsensitive);
        }
    };
    // Numbers, dates and times show only these characters; a text with any other
    // character can never be contained in them.
    static const QString numericShape = QStringLiteral("0123456789.,:-+ ");
    const bool numericText =
        std::all_of(text.begin(), text.end(), [](QChar ch) { return numericShape.contains(ch); });
    RecordCondition cond;
    QStringList parts;
    for (const ColumnDef& c : m_columns) {
        const QString col = quoteIdent(c.name);
        if (isTextType(c.type)) {
            parts << QStringLiteral("%1(%2, ?)").arg(function, col);
            cond.params << text;
        } else if (c.type == FieldType::Boolean) {
            const bool onTrue = matchesShown(QStringLiteral("True"));
            const bool onFalse = matchesShown(QStringLiteral("False"));
            if (onTrue && onFalse)
                parts << QStringLiteral("1");
            else if (onTrue)
                parts << QStringLiteral("COALESCE(%1,0)<>0").arg(col);
            else if (onFalse)
                parts << QStringLiteral("COALESCE(%1,0)=0").arg(col);
        } else if (match == TextMatch::Fuzzy || numericText) {
            const QString shown =
                (c.type == FieldType::Integer || c.type == FieldType::AutoInc)
                    ? QStringLiteral("CAST(%1 AS TEXT)").arg(col)
                    : QStringLiteral("%1(%2, %3)")
                          .arg(QString::fromLatin1(SqlFunctions::displayFunction), col)
                          .arg(SqlFunctions::typeCode(c.type));
            parts << QStringLiteral("%1(%2, ?)").arg(function, shown);
            cond.params << text;
        }
    }
    cond.sql = parts.isEmpty() ? QStringLiteral("0") : parts.join(QStringLiteral(" OR "));
    return cond;
}

qint64 AddressTable::findInView(qint64 fromRow, bool forward,
                                const RecordCondition& condition) const {
    if (!m_db || m_view.empty())
        return -1;
    const qint64 n = qint64(m_view.size());
    if (fromRow < 0 || fromRow >= n)
        return -1;
    const int batch = batchSize;
    QString marks;
    for (int i = 0; i < batch; ++i)
        marks += i ? QStringLiteral(",?") : QStringLiteral("?");
    auto sqlFor = [&](const QString& m) {
        QString sql = QStringLiteral("SELECT rowid FROM %1 WHERE rowid IN (%2)").arg(kTable, m);
        if (!condition.isEmpty())
            sql += QStringLiteral(" AND (") + condition.sql + QChar(')');
        return sql;
    };
    Statement full(m_db, sqlFor(marks));
    if (!full.ok())
        return -1;
    qint64 pos = fromRow;
    while (forward ? pos < n : pos >= 0) {
        // The chunk covers rows [lo, hi) in view order.
        const qint64 lo = forward ? pos : std::max<qint64>(0, pos - batch + 1);
        const qint64 hi = forward ? std::min<qint64>(n, pos + batch) : pos + 1;
        const int count = int(hi - lo);
        sqlite3_stmt* stmt = full.get();
        sqlite3_reset(stmt);
        for (int i = 0; i < batch; ++i) // unused places repeat the last id
            sqlite3_bind_int64(stmt, i + 1, m_view[size_t(lo + std::min(i, count - 1))]);
        bindAll(stmt, condition.params, batch + 1);
        QSet<qint64> hits;
        while (sqlite3_step(stmt) == SQLITE_ROW)
            hits.insert(sqlite3_column_int64(stmt, 0));
        if (!hits.isEmpty()) {
            if (forward) {
                for (qint64 r = lo; r < hi; ++r)
                    if (hits.contains(m_view[size_t(r)]))
                        return r;
            } else {
                for (qint64 r = hi - 1; r >= lo; --r)
                    if (hits.contains(m_view[size_t(r)]))
                        return r;
            }
        }
        pos = forward ? hi : lo - 1;
    }
    return -1;
}

RecordCondition AddressTable::conditionFieldBetween(const QString& field, qint64 low,
                                                    qint64 high) const {
    const int i = fieldIndex(field);
    if (i < 0)
        return {QStringLiteral("0"), {}};
    // The unary plus keeps the planner from driving a batch by this range instead of
    // by the batch's own ids.
    return {QStringLiteral("+%1 BETWEEN ? AND ?").arg(quoteIdent(m_columns[i].name)), {low, high}};
}

RecordCondition AddressTable::conditionFromFilter(const QString& expression, QString* error) const {
    RecordCondition cond;
    if (!FilterExpression::parse(expression, m_columns, &cond, error))
        return {QStringLiteral("0"), {}};
    return cond;
}

bool AddressTable::maintain(const QString& path, QString* report) {
    QStringList lines;
    const QString name = QFileInfo(path).fileName();
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) !=
        SQLITE_OK) {
        *report = QStringLiteral("%1: Die Tabelle kann nicht geöffnet werden (%2).")
                      .arg(name, errorText(db));
        sqlite3_close(db);
        return false;
    }
    SqlFunctions::registerAll(db);
    auto check = [&](QStringList* problems) {
        Statement stmt(db, QStringLiteral("PRAGMA integrity_check"));
        if (!stmt.ok()) {
            problems->append(errorText(db));
            return false;
        }
        while (sqlite3_step(stmt.get()) == SQLITE_ROW) {
            const QString line = columnValue(stmt.get(), 0).toString();
            if (line != QStringLiteral("ok"))
                problems->append(line);
        }
        return problems->isEmpty();
    };
    QStringList problems;
    bool ok = check(&problems);
    if (ok) {
        lines << QStringLiteral("%1: Prüfung ohne Befund.").arg(name);
    } else {
        lines << QStringLiteral("%1: Die Prüfung hat %2 Fehler gefunden.")
                     .arg(name)
                     .arg(problems.size());
    }
    QString err;
    if (exec(db, QStringLiteral("REINDEX"), &err))
        lines << QStringLiteral("%1: Indizes neu aufgebaut.").arg(name);
    else
        lines << QStringLiteral("%1: Indizes konnten nicht neu aufgebaut werden (%2).")
                     .arg(name, err);
    if (exec(db, QStringLiteral("VACUUM"), &err))
        lines << QStringLiteral("%1: Tabelle verdichtet.").arg(name);
    else
        lines << QStringLiteral("%1: Tabelle konnte nicht verdichtet werden (%2).").arg(name, err);
    if (!ok) {
        problems.clear();
        ok = check(&problems);
        lines
            << (ok ? QStringLiteral("%1: Nach der Reparatur ist die Tabelle in Ordnung.").arg(name)
                   : QStringLiteral("%1: Die Tabelle ist weiterhin beschädigt. Bitte stellen Sie "
                                    "sie aus einer Datensicherung wieder her.")
                         .arg(name));
    }
    sqlite3_close(db);
    *report = lines.join(QStringLiteral("\r"));
    return ok;
}
