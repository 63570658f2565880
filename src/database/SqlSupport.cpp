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
