// Creating a table file and reading its schema back.
#include "database/TableStore.h"

#include "database/SqlFunctions.h"
#include "database/SqlSupport.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <algorithm>
#include <sqlite3.h>

using namespace SqlSupport;

namespace {

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

QString table() {
    return QLatin1String(TableStore::tableName());
}

} // namespace

bool TableStore::create(const QString& path, const QList<ColumnDef>& columns,
                        const QList<IndexDef>& indexes, QString* error) {
    auto fail = [&](const QString& reason) {
        if (error)
            *error = QStringLiteral("Die Tabelle \"") + QDir::toNativeSeparators(path) +
                     QStringLiteral("\" kann nicht angelegt werden: ") + reason;
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
    ok = ok && exec(db,
                    QStringLiteral("CREATE TABLE ") + table() + QStringLiteral(" (") +
                        defs.join(QStringLiteral(", ")) + QChar(')'),
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
            sqlError = QStringLiteral("Der Index \"") + ix.name +
                       QStringLiteral("\" ist doppelt definiert.");
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
                sqlError = QStringLiteral("Der Index \"") + ix.name +
                           QStringLiteral("\" nennt das unbekannte Feld \"") + f +
                           QStringLiteral("\".");
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
                      QStringLiteral("CREATE ") +
                          (ix.primary ? QStringLiteral("UNIQUE ") : QString()) +
                          QStringLiteral("INDEX ") + quoteIdent(QStringLiteral("ix_") + ix.name) +
                          QStringLiteral(" ON ") + table() + QStringLiteral(" (") +
                          parts.join(QStringLiteral(", ")) + QChar(')'),
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

bool TableStore::loadSchema(QString* error) {
    m_columns.clear();
    m_indexes.clear();
    const QString damaged = QStringLiteral("Die Datei ist beschädigt oder keine Adresstabelle.");
    Statement cols(
        m_db,
        QStringLiteral("SELECT name, type, size, required FROM quillon_columns ORDER BY pos"));
    if (!cols.ok()) {
        const int code = sqlite3_errcode(m_db);
        *error = code == SQLITE_NOTADB || code == SQLITE_CORRUPT
                     ? damaged
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
        *error = damaged;
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
    Statement probe(m_db, QStringLiteral("SELECT * FROM ") + table() + QStringLiteral(" LIMIT 0"));
    if (!probe.ok() || sqlite3_column_count(probe.get()) != m_columns.size()) {
        *error = QStringLiteral(
            "Die Datei ist beschädigt: Spalten und Beschreibung passen nicht zusammen.");
        return false;
    }
    m_rowidColumn = -1;
    Statement info(m_db, QStringLiteral("PRAGMA table_info(") + table() + QChar(')'));
    while (info.ok() && sqlite3_step(info.get()) == SQLITE_ROW) {
        const QString type = columnValue(info.get(), 2).toString().toUpper();
        if (columnValue(info.get(), 5).toInt() == 1 && type == QStringLiteral("INTEGER"))
            m_rowidColumn = fieldIndex(columnValue(info.get(), 1).toString());
    }
    return true;
}
