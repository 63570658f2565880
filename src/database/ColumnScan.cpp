#include "database/ColumnScan.h"

#include "database/SqlFunctions.h"
#include "database/SqlSupport.h"

#include <algorithm>
#include <numeric>
#include <sqlite3.h>

using SqlSupport::columnValue;
using SqlSupport::isTextType;
using SqlSupport::quoteIdent;

namespace ColumnScan {

QStringList texts(const TableStore& table, int column, const std::vector<qint64>& ids,
                  const ProgressFn& progress) {
    QStringList out;
    sqlite3* db = table.handle();
    if (!db || column < 0 || column >= table.fieldCount() || ids.empty())
        return QStringList(qsizetype(ids.size()));
    out.resize(qsizetype(ids.size()));

    // Walk the requested ids in ascending order alongside the table, which SQLite
    // delivers in rowid order; order[j] is the output slot of the j-th smallest id.
    std::vector<qint32> order(ids.size());
    std::iota(order.begin(), order.end(), 0);
    if (!std::is_sorted(ids.begin(), ids.end()))
        std::sort(order.begin(), order.end(), [&](qint32 a, qint32 b) { return ids[a] < ids[b]; });

    const ColumnDef& def = table.columns().at(column);
    const bool text = isTextType(def.type);
    const QByteArray sql = (QStringLiteral("SELECT rowid, ") + quoteIdent(def.name) +
                            QStringLiteral(" FROM ") + QLatin1String(TableStore::tableName()) +
                            QStringLiteral(" WHERE rowid >= ? ORDER BY rowid"))
                               .toUtf8();
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &stmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(stmt);
        return out;
    }
    sqlite3_bind_int64(stmt, 1, ids[size_t(order.front())]);
    const qint64 total = qint64(ids.size());
    size_t j = 0;
    while (j < order.size() && sqlite3_step(stmt) == SQLITE_ROW) {
        const qint64 rowid = sqlite3_column_int64(stmt, 0);
        while (j < order.size() && ids[size_t(order[j])] < rowid)
            ++j; // requested record no longer exists: stays empty
        while (j < order.size() && ids[size_t(order[j])] == rowid) {
            QString& slot = out[order[j]];
            if (text) {
                const auto* chars = sqlite3_column_text(stmt, 1);
                if (chars)
                    slot = QString::fromUtf8(reinterpret_cast<const char*>(chars),
                                             sqlite3_column_bytes(stmt, 1));
            } else {
                slot = SqlFunctions::displayText(columnValue(stmt, 1), def.type);
            }
            ++j;
            if (progress && (j % TableStore::batchSize == 0))
                progress(qint64(j), total);
        }
    }
    sqlite3_finalize(stmt);
    if (progress)
        progress(total, total);
    return out;
}

RecordCondition equalsAnyIgnoringCase(const TableStore& table, int column,
                                      const QStringList& values) {
    if (column < 0 || column >= table.fieldCount() || values.isEmpty())
        return {QStringLiteral("0"), {}};
    const ColumnDef& def = table.columns().at(column);
    // A text column is compared as stored, so its index (built with the same
    // collation) serves the lookup; other types compare in the form the user sees.
    const QString operand =
        isTextType(def.type) ? quoteIdent(def.name)
                             : QLatin1String(SqlFunctions::displayFunction) + QChar('(') +
                                   quoteIdent(def.name) + QStringLiteral(", ") +
                                   QString::number(SqlFunctions::typeCode(def.type)) + QChar(')');
    RecordCondition cond;
    for (const QString& v : values)
        cond.params.append(v);
    cond.sql = operand + QStringLiteral(" COLLATE ") + QLatin1String(SqlFunctions::collation) +
               QStringLiteral(" IN (") + SqlSupport::placeholders(int(values.size())) + QChar(')');
    return cond;
}

GroupFinder::GroupFinder(const TableStore& table, int column) : m_table(table), m_column(column) {
    m_table.ensureIndexesOn(column); // each group is looked up through the column's index
}

GroupFinder::~GroupFinder() {
    for (auto& [count, stmt] : m_statements)
        sqlite3_finalize(stmt);
}

std::vector<qint64> GroupFinder::ids(const QStringList& values) {
    std::vector<qint64> out;
    sqlite3* db = m_table.handle();
    if (!db || values.isEmpty())
        return out;
    const RecordCondition cond = equalsAnyIgnoringCase(m_table, m_column, values);
    sqlite3_stmt*& stmt = m_statements[values.size()];
    if (!stmt) {
        const QByteArray sql =
            (QStringLiteral("SELECT rowid FROM ") + QLatin1String(TableStore::tableName()) +
             QStringLiteral(" WHERE ") + cond.sql + QStringLiteral(" ORDER BY rowid"))
                .toUtf8();
        if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &stmt, nullptr) != SQLITE_OK) {
            sqlite3_finalize(stmt);
            stmt = nullptr;
            return out;
        }
    }
    sqlite3_reset(stmt);
    for (int i = 0; i < cond.params.size(); ++i) {
        const QByteArray utf8 = cond.params[i].toString().toUtf8();
        sqlite3_bind_text(stmt, i + 1, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    }
    while (sqlite3_step(stmt) == SQLITE_ROW)
        out.push_back(sqlite3_column_int64(stmt, 0));
    sqlite3_reset(stmt);
    return out;
}

} // namespace ColumnScan
