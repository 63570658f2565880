#pragma once
#include "database/TableTypes.h"

#include <QObject>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>
#include <vector>

class RowBatch;
struct sqlite3;
struct sqlite3_stmt;

// How a text is looked for in the fields of a record.
enum class TextMatch {
    Contains,              // case ignored
    ContainsCaseSensitive, // case respected
    Fuzzy                  // some word within 25% edit distance
};

// The records of one table file *table*.DB: the SQLite connection, the schema, the
// writes of single records (posts), set operations over many records, maintenance and
// the change notifications every view of the table follows.
//
// Every write tells the views what changed: recordsChanged, recordsAdded and
// recordsDeleted carry the ids, contentReset asks them to read everything again. A
// write is committed at once; set operations commit batch by batch and notify once at
// the end.
class TableStore : public QObject {
    Q_OBJECT
public:
    static constexpr int batchSize = 5000;
    static const char* tableName() { return "records"; }

    explicit TableStore(QObject* parent = nullptr);
    ~TableStore() override;

    // Creates a new table file; an existing file is replaced.
    static bool create(const QString& path, const QList<ColumnDef>& columns,
                       const QList<IndexDef>& indexes, QString* error);

    // Opens the table file after checking that it is one; nothing is written to a file
    // that is refused. Emits opened.
    bool open(const QString& path, QString* error = nullptr);
    // Emits aboutToClose first.
    void close();
    bool isOpen() const { return m_db != nullptr; }
    const QString& path() const { return m_path; }
    sqlite3* handle() const { return m_db; }

    // Schema.
    const QList<ColumnDef>& columns() const { return m_columns; }
    const QList<IndexDef>& indexes() const { return m_indexes; }
    int fieldCount() const { return int(m_columns.size()); }
    QString fieldName(int index) const;
    FieldType fieldType(int index) const;
    int fieldIndex(const QString& name) const; // -1 when absent, case ignored
    // The column whose values are the record ids (an AutoInc primary key); -1 if none.
    int rowidColumn() const { return m_rowidColumn; }
    // " ORDER BY ..." for the named index (primary-key order when empty or unknown).
    QString orderByClause(const QString& indexName) const;

    // Reading.
    QVariantList recordValues(qint64 id) const; // stored values, one per field
    // Record ids satisfying where, in the order of the index (primary order when empty).
    // False when SQLite refuses the statement, with a German message.
    bool selectIds(const RecordCondition& where, const QString& indexName, std::vector<qint64>* ids,
                   QString* error = nullptr) const;
    std::vector<qint64> tableIds(const RecordCondition& where = {}) const;
    bool recordMatches(qint64 id, const RecordCondition& where) const;
    // Those of ids (in their order) whose records satisfy where.
    std::vector<qint64> matching(const std::vector<qint64>& ids,
                                 const RecordCondition& where) const;
    // Makes the indexes still pending from a large append that ordering by indexName or
    // narrowing by the condition's columns would use (see buildPendingIndexes).
    void ensureIndexesFor(const QString& indexName, const RecordCondition& where = {}) const;
    void ensureIndexesOn(int column) const;
    // Makes every pending index; false with a German message when one cannot be made.
    bool makePendingIndexes(QString* error = nullptr) const;
    // Whether SQLite takes the condition; false with a German message.
    bool checkCondition(const RecordCondition& where, QString* error) const;

    // Converts a value to the stored form of the field: text as the user types it
    // ("24.12.2026", "1,5", "Ja"), or typed values. A value that does not fit is refused
    // with a German message.
    bool toStored(int field, const QVariant& value, QVariant* stored, QString* error) const;

    // Posts of single records; values are stored forms (see toStored).
    bool insertRecord(const QList<int>& fields, const QVariantList& values, qint64* id,
                      QString* error);
    bool updateRecord(qint64 id, const QList<int>& fields, const QVariantList& values,
                      QString* error);
    bool deleteRecord(qint64 id, QString* error);

    // Set operation: assigns the values to the given records that also satisfy where
    // (may be empty), in committed batches of batchSize with progress after each batch.
    // Returns the number changed, -1 on failure.
    qint64 updateRecords(const std::vector<qint64>& ids,
                         const QList<QPair<QString, QVariant>>& values,
                         const RecordCondition& where = {}, const ProgressFn& progress = {},
                         QString* error = nullptr);
    // Deletes the given records (those satisfying where) in committed batches.
    qint64 deleteRecords(const std::vector<qint64>& ids, const RecordCondition& where = {},
                         const ProgressFn& progress = {}, QString* error = nullptr);
    // Deletes many records at once. Beyond a threshold the secondary indexes are dropped,
    // the records deleted and the indexes built anew in one transaction, which is
    // several times faster; nothing is kept of a failed one-transaction deletion.
    qint64 deleteManyRecords(const std::vector<qint64>& ids, const ProgressFn& progress = {},
                             QString* error = nullptr);
    // Appends many records in committed batches. nextRow fills one value per field
    // (text as QString, booleans as bool, dates as QDate; the auto-increment id is left
    // null) and returns false when there are no more rows. With deferIndexes the
    // secondary indexes are dropped first and built once at the end; if the append is
    // cut off (even by the end of the process), opening the table builds them again.
    qint64 appendRecords(const std::function<bool(QVariantList&)>& nextRow,
                         const ProgressFn& progress = {}, QString* error = nullptr,
                         bool deferIndexes = false);
    // The same with the rows in batches of stored values, one committed transaction per
    // batch: nextBatch fills the batch (reset to fieldCount() cells a row) and returns
    // false when there are no more rows.
    qint64 appendBatches(const std::function<bool(RowBatch&)>& nextBatch,
                         const ProgressFn& progress = {}, QString* error = nullptr,
                         bool deferIndexes = false);
    // Rows per committed transaction of an append.
    static constexpr int appendBatchRows = 20000;

    // Conditions, values bound as parameters. Some field, in the text a user sees,
    // contains text (or, for Fuzzy, has a word within 25% edit distance of it).
    RecordCondition conditionAnyFieldContains(const QString& text,
                                              TextMatch match = TextMatch::Contains) const;
    RecordCondition conditionFieldBetween(const QString& field, qint64 low, qint64 high) const;
    RecordCondition conditionFromFilter(const QString& expression, QString* error = nullptr) const;
    // The first position from fromPos on (inclusive), forwards or backwards, of ids
    // whose record satisfies the condition; -1 when none does. Reads in batches.
    qint64 findFirst(const std::vector<qint64>& ids, qint64 fromPos, bool forward,
                     const RecordCondition& condition) const;

    // Maintenance: integrity check, reindex and vacuum of a closed table file; returns
    // a German report.
    static bool maintain(const QString& path, QString* report);
    // Quick check of the open table's pages; false with a German message that says
    // what to do.
    bool quickCheck(QString* message) const;

    // With on, every commit has reached the disk when it returns (synchronous=FULL).
    bool setDurableCommits(bool on, QString* error = nullptr);

    // A statement from the connection's cache, reset when the use ends.
    class PreparedUse {
    public:
        PreparedUse(const TableStore& store, const QString& sql);
        ~PreparedUse();
        PreparedUse(const PreparedUse&) = delete;
        PreparedUse& operator=(const PreparedUse&) = delete;
        sqlite3_stmt* get() const { return m_stmt; }

    private:
        sqlite3_stmt* m_stmt = nullptr;
    };

Q_SIGNALS:
    void opened();
    void aboutToClose();
    void recordsChanged(const std::vector<qint64>& ids);
    void recordsAdded(const std::vector<qint64>& ids);
    void recordsDeleted(const std::vector<qint64>& ids);
    void contentReset();

private:
    void release();
    bool loadSchema(QString* error);
    // The indexes a large append left to be made are noted in pendingIndexTable (in the
    // append's first transaction, so a cut-off append leaves the note too) and kept in
    // m_pendingIndexes. Building one changes no record, so the reading side may do it.
    void loadPendingIndexes();
    const IndexDef* indexOfCreate(const QString& create) const;
    int firstColumnOf(const IndexDef* ix) const; // -1 for none
    // Builds the pending indexes `wanted` chooses, in one transaction; true when all of
    // them were built.
    bool buildPendingIndexes(const std::function<bool(const QString& create)>& wanted,
                             QString* error) const;
    // The pending indexes needed at once: unique ones and those on the address.
    bool buildUrgentIndexes(QString* error) const;
    mutable QStringList m_pendingIndexes;
    static constexpr const char* pendingIndexTable = "quillon_pending_indexes";
    // Runs "<head> WHERE rowid IN (?,...) [AND (<where>)]" per batch of ids.
    bool runBatches(const QString& head, const QVariantList& headParams,
                    const std::vector<qint64>& ids, const RecordCondition& where,
                    const ProgressFn& progress, qint64* changed, QString* error);

    struct Private;
    sqlite3* m_db = nullptr;
    QString m_path;
    QString m_dataFolder;
    QList<ColumnDef> m_columns;
    QList<IndexDef> m_indexes;
    int m_rowidColumn = -1;
    std::unique_ptr<Private> d;
};
