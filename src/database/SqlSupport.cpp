#include "database/SqlSupport.h"

#include <sqlite3.h>

namespace SqlSupport {

QString quoteIdent(const QString& name) {
    QString q = name;
    q.replace(QChar('"'), QStringLiteral("\"\""));
    return QChar('"') + q + QChar('"');
}

QString errorText(sqlite3* db) {
    return db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("unbekannter Fehler");
}

QString germanError(sqlite3* db) {
    if (!db)
        return QStringLiteral("Die Tabelle ist nicht geöffnet.");
    const int code = sqlite3_extended_errcode(db);
    switch (code & 0xff) {
    case SQLITE_CONSTRAINT:
        if (code == SQLITE_CONSTRAINT_UNIQUE || code == SQLITE_CONSTRAINT_PRIMARYKEY)
            return QStringLiteral("Ein Datensatz mit demselben Schlüssel existiert bereits.");
        return QStringLiteral("Der Wert verletzt eine Regel der Tabelle.");
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return QStringLiteral("Die Datei ist beschädigt. Bitte führen Sie \"Datenbank "
                              "Wartung/Reparatur\" aus.");
    case SQLITE_FULL:
        return QStringLiteral("Der Datenträger ist voll.");
    case SQLITE_READONLY:
    case SQLITE_PERM:
        return QStringLiteral("Die Datei ist schreibgeschützt.");
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("Die Tabelle ist gerade gesperrt.");
    case SQLITE_IOERR:
    case SQLITE_CANTOPEN:
        return QStringLiteral("Die Datei kann nicht gelesen oder geschrieben werden.");
    case SQLITE_NOMEM:
    case SQLITE_TOOBIG:
        return QStringLiteral("Die Abfrage braucht zu viel Speicher.");
    default: {
        const QString msg = QString::fromUtf8(sqlite3_errmsg(db));
        if (msg.contains(QLatin1String("stack overflow")) ||
            msg.contains(QLatin1String("too large")) || msg.contains(QLatin1String("too many")))
            return QStringLiteral("Die Abfrage ist für die Datenbank zu umfangreich.");
        return QStringLiteral("Die Datenbank lehnt die Abfrage ab.");
    }
    }
}

QString placeholders(int n) {
    QString marks;
    marks.reserve(n * 2);
    for (int i = 0; i < n; ++i)
        marks += i ? QStringLiteral(",?") : QStringLiteral("?");
    return marks;
}

bool exec(sqlite3* db, const QString& sql, QString* error) {
    char* msg = nullptr;
    if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &msg) == SQLITE_OK)
        return true;
    if (error)
        *error = QString::fromUtf8(msg ? msg : sqlite3_errmsg(db));
    sqlite3_free(msg);
    return false;
}

void bindValue(sqlite3_stmt* stmt, int index, const QVariant& v) {
    if (!v.isValid() || v.isNull()) {
        sqlite3_bind_null(stmt, index);
        return;
    }
    switch (v.typeId()) {
    case QMetaType::Bool:
        sqlite3_bind_int(stmt, index, v.toBool() ? 1 : 0);
        break;
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        sqlite3_bind_int64(stmt, index, v.toLongLong());
        break;
    case QMetaType::Double:
        sqlite3_bind_double(stmt, index, v.toDouble());
        break;
    default: {
        const QByteArray utf8 = v.toString().toUtf8();
        sqlite3_bind_text(stmt, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    }
    }
}

void bindAll(sqlite3_stmt* stmt, const QVariantList& values, int first) {
    for (int i = 0; i < values.size(); ++i)
        bindValue(stmt, first + i, values[i]);
}

QVariant firstValue(sqlite3* db, const QString& sql) {
    Statement stmt(db, sql);
    return stmt.ok() && sqlite3_step(stmt.get()) == SQLITE_ROW ? columnValue(stmt.get(), 0)
                                                               : QVariant();
}

QVariant columnValue(sqlite3_stmt* stmt, int col) {
    switch (sqlite3_column_type(stmt, col)) {
    case SQLITE_INTEGER:
        return qint64(sqlite3_column_int64(stmt, col));
    case SQLITE_FLOAT:
        return sqlite3_column_double(stmt, col);
    case SQLITE_NULL:
        return {};
    default:
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, col)),
                                 sqlite3_column_bytes(stmt, col));
    }
}

bool isTextType(FieldType t) {
    return t == FieldType::String || t == FieldType::Memo || t == FieldType::Picture;
}

Statement::Statement(sqlite3* db, const QString& sql) {
    const QByteArray utf8 = sql.toUtf8();
    if (sqlite3_prepare_v2(db, utf8.constData(), int(utf8.size()), &m_stmt, nullptr) != SQLITE_OK)
        m_stmt = nullptr;
}

Statement::~Statement() {
    sqlite3_finalize(m_stmt);
}

} // namespace SqlSupport
