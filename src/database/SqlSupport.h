#pragma once
#include "database/TableTypes.h"

#include <QString>
#include <QVariant>

struct sqlite3;
struct sqlite3_stmt;

// Small helpers shared by the database code that talks to SQLite directly.
namespace SqlSupport {

// "name" with inner quotes doubled, for use as an SQL identifier.
QString quoteIdent(const QString& name);
QString errorText(sqlite3* db);
// SQLite's last failure on db told in German, for what a user reads: a statement
// SQLite refuses (too complex, unknown), a damaged file, a full disk, a key that exists.
QString germanError(sqlite3* db);
// "?,?,?" for n parameters.
QString placeholders(int n);
// Runs statements without results; false with the SQLite message on failure.
bool exec(sqlite3* db, const QString& sql, QString* error = nullptr);
void bindValue(sqlite3_stmt* stmt, int index, const QVariant& v);
void bindAll(sqlite3_stmt* stmt, const QVariantList& values, int first = 1);
// The stored value of a result column: qint64, double, QString or null.
QVariant columnValue(sqlite3_stmt* stmt, int col);
// The first column of the first row a statement gives (a pragma's answer, a count);
// null when it gives none or cannot run.
QVariant firstValue(sqlite3* db, const QString& sql);
bool isTextType(FieldType t);

// A prepared statement that finalizes itself.
class Statement {
public:
    Statement(sqlite3* db, const QString& sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    bool ok() const { return m_stmt != nullptr; }
    sqlite3_stmt* get() const { return m_stmt; }

private:
    sqlite3_stmt* m_stmt = nullptr;
};

} // namespace SqlSupport
