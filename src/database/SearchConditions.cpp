// Conditions on records for searches, marking and filters, with every value bound as a
// parameter, and the batched look-up of the first record satisfying one.
#include "database/TableStore.h"

#include "common/Levenshtein.h"
#include "database/FilterExpression.h"
#include "database/SqlFunctions.h"
#include "database/SqlSupport.h"

#include <QSet>
#include <algorithm>
#include <sqlite3.h>

using namespace SqlSupport;

namespace {

// fn(operand, ?)
QString call(const char* function, const QString& operand) {
    return QLatin1String(function) + QChar('(') + operand + QStringLiteral(", ?)");
}

} // namespace

RecordCondition TableStore::conditionAnyFieldContains(const QString& text, TextMatch match) const {
    const char* function = match == TextMatch::Fuzzy ? SqlFunctions::fuzzyFunction
                           : match == TextMatch::ContainsCaseSensitive
                               ? SqlFunctions::containsExactFunction
                               : SqlFunctions::containsFunction;
    // The same test in C++, for the fixed texts a boolean shows.
    auto matchesShown = [&](const QString& shown) {
        switch (match) {
        case TextMatch::Fuzzy:
            return LevenshteinPercentBelow(text.toUpper(), shown.toUpper(), 25);
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
            parts << call(function, col);
            cond.params << text;
        } else if (c.type == FieldType::Boolean) {
            const bool onTrue = matchesShown(QStringLiteral("True"));
            const bool onFalse = matchesShown(QStringLiteral("False"));
            if (onTrue && onFalse)
                parts << QStringLiteral("1");
            else if (onTrue)
                parts << QStringLiteral("COALESCE(") + col + QStringLiteral(",0)<>0");
            else if (onFalse)
                parts << QStringLiteral("COALESCE(") + col + QStringLiteral(",0)=0");
        } else if (match == TextMatch::Fuzzy || numericText) {
            const QString shown = (c.type == FieldType::Integer || c.type == FieldType::AutoInc)
                                      ? QStringLiteral("CAST(") + col + QStringLiteral(" AS TEXT)")
                                      : QLatin1String(SqlFunctions::displayFunction) + QChar('(') +
                                            col + QStringLiteral(", ") +
                                            QString::number(SqlFunctions::typeCode(c.type)) +
                                            QChar(')');
            parts << call(function, shown);
            cond.params << text;
        }
    }
    cond.sql = parts.isEmpty() ? QStringLiteral("0") : parts.join(QStringLiteral(" OR "));
    return cond;
}

RecordCondition TableStore::conditionFieldBetween(const QString& field, qint64 low,
                                                  qint64 high) const {
    const int i = fieldIndex(field);
    if (i < 0)
        return {QStringLiteral("0"), {}};
    // The unary plus keeps the planner from driving a batch by this range instead of
    // by the batch's own ids.
    return {QChar('+') + quoteIdent(m_columns[i].name) + QStringLiteral(" BETWEEN ? AND ?"),
            {low, high}};
}

RecordCondition TableStore::conditionFromFilter(const QString& expression, QString* error) const {
    RecordCondition cond;
    if (!FilterExpression::parse(expression, m_columns, &cond, error))
        return {QStringLiteral("0"), {}};
    return cond;
}

qint64 TableStore::findFirst(const std::vector<qint64>& ids, qint64 fromPos, bool forward,
                             const RecordCondition& condition) const {
    if (!m_db || ids.empty())
        return -1;
    const qint64 n = qint64(ids.size());
    if (fromPos < 0 || fromPos >= n)
        return -1;
    const int batch = batchSize;
    QString sql = QStringLiteral("SELECT rowid FROM ") + QLatin1String(tableName()) +
                  QStringLiteral(" WHERE rowid IN (") + placeholders(batch) + QChar(')');
    if (!condition.isEmpty())
        sql += QStringLiteral(" AND (") + condition.sql + QChar(')');
    Statement full(m_db, sql);
    if (!full.ok())
        return -1;
    // The condition's values stay bound across the batches (a reset keeps bindings);
    // only the ids change, so a long search text is converted once.
    bindAll(full.get(), condition.params, batch + 1);
    qint64 pos = fromPos;
    while (forward ? pos < n : pos >= 0) {
        // The chunk covers positions [lo, hi) of ids.
        const qint64 lo = forward ? pos : std::max<qint64>(0, pos - batch + 1);
        const qint64 hi = forward ? std::min<qint64>(n, pos + batch) : pos + 1;
        const int count = int(hi - lo);
        sqlite3_stmt* stmt = full.get();
        sqlite3_reset(stmt);
        for (int i = 0; i < batch; ++i) // unused places repeat the last id
            sqlite3_bind_int64(stmt, i + 1, ids[size_t(lo + std::min(i, count - 1))]);
        QSet<qint64> hits;
        while (sqlite3_step(stmt) == SQLITE_ROW)
            hits.insert(sqlite3_column_int64(stmt, 0));
        if (!hits.isEmpty()) {
            if (forward) {
                for (qint64 r = lo; r < hi; ++r)
                    if (hits.contains(ids[size_t(r)]))
                        return r;
            } else {
                for (qint64 r = hi - 1; r >= lo; --r)
                    if (hits.contains(ids[size_t(r)]))
                        return r;
            }
        }
        pos = forward ? hi : lo - 1;
    }
    return -1;
}
