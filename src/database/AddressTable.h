#pragma once
#include "database/TableStore.h"
#include "database/TableView.h"

#include <memory>

// One address table: the table file *table*.DB with its store, and the view whose cursor
// the table engine interface describes (open, navigation, editing, fields, bookmarks,
// filter, index order, notifications, display suspension). Further views of the same
// records are made on store(); they follow every change made here and vice versa.
//
// The set operations are the store's; they are offered here too, and post a pending
// edit of this view first.
class AddressTable : public TableView {
    Q_OBJECT
public:
    using TextMatch = ::TextMatch;
    static constexpr int batchSize = TableStore::batchSize;
    static const char* tableName() { return TableStore::tableName(); }

    explicit AddressTable(QObject* parent = nullptr);
    ~AddressTable() override;

    static bool create(const QString& path, const QList<ColumnDef>& columns,
                       const QList<IndexDef>& indexes, QString* error) {
        return TableStore::create(path, columns, indexes, error);
    }
    static bool maintain(const QString& path, QString* report) {
        return TableStore::maintain(path, report);
    }

    // Opens the table file. The view starts in primary-key order without filter,
    // positioned on the first record. Emits afterOpen.
    bool open(const QString& path, QString* error = nullptr);
    void close();
    const QString& path() const { return m_ownStore->path(); }
    TableStore* store() const { return m_ownStore.get(); }
    sqlite3* handle() const { return m_ownStore->handle(); }

    std::vector<qint64> tableIds(const RecordCondition& where = {}) const {
        return m_ownStore->tableIds(where);
    }
    qint64 updateRecords(const std::vector<qint64>& ids,
                         const QList<QPair<QString, QVariant>>& values,
                         const RecordCondition& where = {}, const ProgressFn& progress = {},
                         QString* error = nullptr);
    // Writes the values into the record with this id without moving the cursor,
    // committed at once. Every view follows: a record that leaves a view's filter leaves
    // it, a record under edit keeps the values its edit started from. Emits afterPost.
    bool updateRecord(qint64 id, const QList<QPair<QString, QVariant>>& values,
                      QString* error = nullptr);
    qint64 deleteRecords(const std::vector<qint64>& ids, const RecordCondition& where = {},
                         const ProgressFn& progress = {}, QString* error = nullptr);
    qint64 appendRecords(const std::function<bool(QVariantList&)>& nextRow,
                         const ProgressFn& progress = {}, QString* error = nullptr,
                         bool deferIndexes = false);
    qint64 appendBatches(const std::function<bool(RowBatch&)>& nextBatch,
                         const ProgressFn& progress = {}, QString* error = nullptr,
                         bool deferIndexes = false);

    RecordCondition conditionAnyFieldContains(const QString& text,
                                              TextMatch match = TextMatch::Contains) const {
        return m_ownStore->conditionAnyFieldContains(text, match);
    }
    RecordCondition conditionFieldBetween(const QString& field, qint64 low, qint64 high) const {
        return m_ownStore->conditionFieldBetween(field, low, high);
    }
    RecordCondition conditionFromFilter(const QString& expression, QString* error = nullptr) const {
        return m_ownStore->conditionFromFilter(expression, error);
    }
    bool setDurableCommits(bool on, QString* error = nullptr) {
        return m_ownStore->setDurableCommits(on, error);
    }

Q_SIGNALS:
    void afterOpen();

private:
    std::unique_ptr<TableStore> m_ownStore;
};
