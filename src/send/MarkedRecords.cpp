#include "send/MarkedRecords.h"

#include "database/AddressTable.h"
#include "database/SystemColumns.h"

bool MarkedRecords::take(const AddressTable& table, QString* error) {
    m_table = &table;
    m_position = 0;
    m_ids.clear();
    m_selectedColumn = table.fieldIndex(SystemColumns::Selected);
    if (m_selectedColumn < 0) {
        if (error)
            *error = QStringLiteral("Die Tabelle hat keine Spalte \"Selected\".");
        return false;
    }
    QString problem;
    const RecordCondition marked = table.conditionFromFilter(SystemColumns::markedFilter, &problem);
    if (!problem.isEmpty()) {
        if (error)
            *error = problem;
        return false;
    }
    m_ids = table.tableIds(marked);
    return true;
}

QVariantList MarkedRecords::valuesOf(qint64 id) const {
    return m_table ? m_table->recordValues(id) : QVariantList();
}

bool MarkedRecords::stillMarked(qint64 id, QVariantList* values) const {
    *values = valuesOf(id);
    const QVariant selected = values->value(m_selectedColumn);
    return !values->isEmpty() && !selected.isNull() && selected.toLongLong() != 0;
}

bool MarkedRecords::next(qint64* id, QVariantList* values) {
    while (m_position < m_ids.size()) {
        const qint64 candidate = m_ids[m_position++];
        if (stillMarked(candidate, values)) {
            *id = candidate;
            return true;
        }
    }
    return false;
}

bool MarkedRecords::peek(qint64* id, QVariantList* values) const {
    for (size_t i = m_position; i < m_ids.size(); ++i)
        if (stillMarked(m_ids[i], values)) {
            *id = m_ids[i];
            return true;
        }
    return false;
}

void MarkedRecords::consume(qint64 id) {
    for (size_t i = m_position; i < m_ids.size(); ++i)
        if (m_ids[i] == id) {
            m_position = i + 1;
            return;
        }
}
