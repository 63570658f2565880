#include "send/MarkedRecords.h"

#include "database/AddressTable.h"
#include "database/SystemColumns.h"

bool MarkedRecords::take(const AddressTable& table, QString* error) {
    m_table = &table;
    m_position = 0;
    m_ids.clear();
    if (table.fieldIndex(SystemColumns::Selected) < 0) {
        if (error)
            *error = QStringLiteral("Die Tabelle hat keine Spalte \"Selected\".");
        return false;
    }
    QString problem;
    m_marked = table.conditionFromFilter(SystemColumns::markedFilter, &problem);
    if (!problem.isEmpty()) {
        if (error)
            *error = problem;
        return false;
    }
    m_ids = table.tableIds(m_marked);
    return true;
}

QVariantList MarkedRecords::valuesOf(qint64 id) const {
    return m_table ? m_table->recordValues(id) : QVariantList();
}

bool MarkedRecords::stillMarked(qint64 id) const {
    return m_table && m_table->store()->recordMatches(id, m_marked);
}

size_t MarkedRecords::nextMarked() const {
    size_t i = m_position;
    while (i < m_ids.size() && !stillMarked(m_ids[i]))
        ++i;
    return i;
}

bool MarkedRecords::next(qint64* id) {
    m_position = nextMarked();
    if (m_position >= m_ids.size())
        return false;
    *id = m_ids[m_position++];
    return true;
}

bool MarkedRecords::peek(qint64* id) const {
    const size_t i = nextMarked();
    if (i >= m_ids.size())
        return false;
    *id = m_ids[i];
    return true;
}

bool MarkedRecords::peekAfter(qint64 id, qint64* after) const {
    size_t i = m_position;
    while (i < m_ids.size() && m_ids[i] != id)
        ++i;
    for (++i; i < m_ids.size(); ++i)
        if (stillMarked(m_ids[i])) {
            *after = m_ids[i];
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
