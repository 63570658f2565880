#pragma once
#include "database/TableTypes.h"

#include <QString>
#include <QVariantList>
#include <vector>

class AddressTable;

// The records a send run (or a preview) walks: the ids of the records marked when the
// walk starts, in the table's primary order. Records are read by id, so the table's
// cursor and filter, which belong to the grid, stay as the user left them. A record
// unmarked or deleted since the snapshot is passed over.
class MarkedRecords {
public:
    // Takes the snapshot. False with a German message when the table cannot be read.
    bool take(const AddressTable& table, QString* error = nullptr);
    qint64 count() const { return qint64(m_ids.size()); }
    const std::vector<qint64>& ids() const { return m_ids; }

    // The next record that is still marked, consumed; false at the end.
    bool next(qint64* id);
    // The same without consuming it: the record after the one just taken.
    bool peek(qint64* id) const;
    // The still-marked record after the given one (which need not be marked any more).
    bool peekAfter(qint64 id, qint64* after) const;
    // Consumes the record peeked last, whatever became of it since.
    void consume(qint64 id);

    // The record's values when it still exists, empty otherwise.
    QVariantList valuesOf(qint64 id) const;

private:
    // Asks the table by id without reading the record: a run asks several times per
    // message whether the next record is still marked.
    bool stillMarked(qint64 id) const;
    size_t nextMarked() const; // position of the next still-marked id, or the end

    const AddressTable* m_table = nullptr;
    std::vector<qint64> m_ids;
    size_t m_position = 0;
    RecordCondition m_marked;
};
