#include "exchange/ExportRows.h"

#include "database/SqlFunctions.h"
#include "database/SqlSupport.h"
#include "database/TableStore.h"

#include <QVariant>
#include <algorithm>
#include <numeric>
#include <sqlite3.h>

ExportRows::ExportRows(const TableStore& store, QList<int> fields)
    : m_store(store), m_fields(std::move(fields)) {}

bool ExportRows::read(const std::vector<qint64>& ids,
                      const std::function<bool(const QStringList&)>& row,
                      const ProgressFn& progress, QString* error) const {
    sqlite3* db = m_store.handle();
    auto fail = [&] {
        if (error)
            *error = QStringLiteral("Die Tabelle kann nicht gelesen werden: ") +
                     SqlSupport::germanError(db);
        return false;
    };
    if (!db)
        return fail();
    const int batch = TableStore::batchSize;
    QString sql = QStringLiteral("SELECT rowid");
    QList<bool> text;
    for (int f : m_fields) {
        const ColumnDef& def = m_store.columns().at(f);
        sql += QStringLiteral(", ") + SqlSupport::quoteIdent(def.name);
        text << SqlSupport::isTextType(def.type);
    }
    sql += QStringLiteral(" FROM ") + QLatin1String(TableStore::tableName()) +
           QStringLiteral(" WHERE rowid IN (") + SqlSupport::placeholders(batch) +
           QStringLiteral(") ORDER BY rowid");
    SqlSupport::Statement stmt(db, sql);
    if (!stmt.ok())
        return fail();

    const qint64 total = qint64(ids.size());
    const qsizetype width = m_fields.size();
    std::vector<QStringList> rows;
    std::vector<qint32> order;
    for (qint64 start = 0; start < total; start += batch) {
        const qint64 n = std::min<qint64>(batch, total - start);
        const qint64* chunk = ids.data() + start;
        // The statement takes a full batch; a shorter one repeats its first id, which
        // an IN list ignores.
        for (int i = 0; i < batch; ++i)
            sqlite3_bind_int64(stmt.get(), i + 1, chunk[i < n ? i : 0]);
        order.resize(size_t(n));
        std::iota(order.begin(), order.end(), 0);
        std::sort(order.begin(), order.end(),
                  [&](qint32 a, qint32 b) { return chunk[a] < chunk[b]; });
        rows.assign(size_t(n), QStringList());
        size_t j = 0;
        int rc;
        while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
            const qint64 rowid = sqlite3_column_int64(stmt.get(), 0);
            while (j < order.size() && chunk[order[j]] < rowid)
                ++j;
            if (j >= order.size() || chunk[order[j]] != rowid)
                continue;
            QStringList& out = rows[size_t(order[j])];
            out.reserve(width);
            for (qsizetype c = 0; c < width; ++c) {
                const int col = int(c) + 1;
                if (text[c]) {
                    const auto* chars = sqlite3_column_text(stmt.get(), col);
                    out << (chars ? QString::fromUtf8(reinterpret_cast<const char*>(chars),
                                                      sqlite3_column_bytes(stmt.get(), col))
                                  : QString());
                } else {
                    out << SqlFunctions::displayText(SqlSupport::columnValue(stmt.get(), col),
                                                     m_store.columns().at(m_fields[c]).type);
                }
            }
            ++j;
        }
        sqlite3_reset(stmt.get());
        if (rc != SQLITE_DONE)
            return fail();
        for (QStringList& r : rows) {
            if (r.isEmpty()) // a record that went away reads as empty
                r = QStringList(width);
            if (!row(r))
                return true;
        }
        if (progress)
            progress(start + n, total);
    }
    return true;
}

int SelectionColumn(const TableStore& store) {
    int column = -1;
    for (int i = 0; i < store.fieldCount(); ++i)
        if (store.fieldName(i).toUpper().contains(QStringLiteral("SELECTED")))
            column = i;
    return column;
}

bool IsMarkedText(const TableStore& store, int field, const QString& text) {
    if (store.fieldType(field) == FieldType::Boolean)
        return text == QStringLiteral("True");
    return QVariant(text).toBool();
}
