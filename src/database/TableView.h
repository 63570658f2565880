#pragma once
#include "database/TableStore.h"

#include <QDate>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <vector>

// One view of a table store: filter, order, the ordered list of record ids that pass
// the filter, and a cursor with the current record (read by id and cached, so a million
// records cost a few megabytes) and its edit buffer.
//
// A view follows the store's notifications, whoever wrote: a record posted through
// another view or changed by a set operation leaves or enters this view as the filter
// says, and when the current record leaves, the following one becomes current. The
// signals tell a grid what to draw again.
class TableView : public QObject {
    Q_OBJECT
public:
    enum class State { Inactive, Browse, Edit, Insert };
    using Bookmark = qint64; // record id; 0 is "no bookmark"

    explicit TableView(TableStore* store = nullptr, QObject* parent = nullptr);
    ~TableView() override;

    // The view shows store's records (none for nullptr), in primary-key order without
    // filter, on the first record.
    void setStore(TableStore* store);
    TableStore* store() const { return m_store; }
    bool isOpen() const { return m_store && m_store->isOpen(); }
    // Re-reads the view (filter and order) and the current record, keeping the current
    // record when it is still in the view.
    void refresh();

    // Navigation over the view.
    void first();
    void last();
    void next();
    void prior();
    bool eof() const { return m_eof; }
    bool bof() const { return m_bof; }
    qint64 recordCount() const { return qint64(m_view.size()); }
    // Position of the current record in the view (0-based), -1 when the view is empty.
    qint64 recNo() const;
    // Makes the record at this position of the view current.
    bool moveTo(qint64 row);
    // Makes the record with this id current if it is in the view.
    bool locateId(qint64 id);
    qint64 currentId() const;
    // Position of the record with this id in the view; -1 when it is not in it.
    qint64 rowOf(qint64 id) const;

    // Editing of the current record, or of a new one.
    State state() const { return m_state; }
    void edit();
    void append();
    bool post(QString* error = nullptr);
    void cancel();
    // Deletes the current record; the following record becomes current.
    bool deleteRecord(QString* error = nullptr);

    // Fields.
    int fieldCount() const;
    const QList<ColumnDef>& columns() const;
    QString fieldName(int index) const;
    FieldType fieldType(int index) const;
    int fieldIndex(const QString& name) const; // -1 when absent, case ignored
    const QList<IndexDef>& indexes() const;

    QVariant value(int index) const; // null when empty
    QString asString(int index) const;
    QString asString(const QString& name) const;
    bool asBool(const QString& name) const;
    int asInteger(const QString& name) const;
    QDate asDate(const QString& name) const;
    bool isNull(int index) const;

    // Writes need edit or insert state. A text that does not fit the column's type
    // is refused with a German message.
    bool setString(int index, const QString& text, QString* error = nullptr);
    bool setString(const QString& name, const QString& text, QString* error = nullptr);
    bool setBool(const QString& name, bool v);
    bool setInteger(const QString& name, qint64 v);
    bool setDate(const QString& name, const QDate& v);
    bool setValue(int index, const QVariant& v, QString* error = nullptr);

    // Bookmarks.
    Bookmark bookmark() const { return currentId(); }
    bool gotoBookmark(Bookmark b) { return b != 0 && locateId(b); }
    void freeBookmark(Bookmark) {}

    // Filter: set the expression and switch it on or off; always case-insensitive.
    // An expression the parser or SQLite refuses keeps the previous filter and returns
    // false with a German message.
    bool setFilter(const QString& expression, QString* error = nullptr);
    QString filter() const { return m_filterText; }
    void setFiltered(bool on);
    bool filtered() const { return m_filtered; }
    // Validates an expression against the columns without applying it.
    bool checkFilter(const QString& expression, QString* error = nullptr) const;

    // Order by a named index; empty means primary-key order.
    bool setIndexName(const QString& indexName, QString* error = nullptr);
    QString indexName() const { return m_indexName; }

    // Display suspension: while disabled, no change signals are sent; enabling sends
    // one viewReset.
    void disableControls();
    void enableControls();
    bool controlsDisabled() const { return m_disableCount > 0; }

    // Reading rows without moving the cursor.
    qint64 idAt(qint64 row) const;
    QVariantList rowValues(qint64 row) const; // one value per field
    QVariantList recordValues(qint64 id) const;
    // Record ids of the view, from the current record on when fromCurrent.
    std::vector<qint64> viewIds(bool fromCurrent = false) const;
    // The first row of the view from fromRow on (inclusive), forwards or backwards,
    // whose record satisfies the condition; -1 when none does.
    qint64 findInView(qint64 fromRow, bool forward, const RecordCondition& condition) const;

Q_SIGNALS:
    void afterPost();
    void viewReset();            // the id list was rebuilt: grids re-read everything
    void rowChanged(qint64 row); // one row's values changed in place
    void allRowsChanged();       // many rows' values changed in place, none moved
    void currentChanged(qint64 row);
    void recordCountChanged(qint64 count);

protected:
    // The store was opened or the view attached: start afresh.
    void startAfresh();
    // Posts an edit or insertion in progress before the cursor or the view changes.
    void postPending();
    // The same for an open view; false when the view is not open.
    bool postBeforeMove();

private:
    void onRecordsChanged(const std::vector<qint64>& ids);
    void onRecordsAdded(const std::vector<qint64>& ids);
    void onRecordsDeleted(const std::vector<qint64>& ids);
    void onContentReset();
    void onStoreClosing();

    bool filterActive() const { return m_filtered && !m_filterCondition.isEmpty(); }
    RecordCondition activeCondition() const;
    // Reads the id list anew. The current record stays current when it is still in the
    // view, else the one that followed it; with keepId 0 the first record.
    bool rebuild(qint64 keepId, QString* error = nullptr);
    void clearView();
    void loadCurrent();
    void setPosition(qint64 pos);
    void notifyReset();
    void notifyCount();
    void emitCurrent();

    QPointer<TableStore> m_store;
    QList<QMetaObject::Connection> m_connections;
    std::vector<qint64> m_view;
    qint64 m_pos = -1;
    bool m_eof = true;
    bool m_bof = true;
    State m_state = State::Inactive;
    qint64 m_editId = 0;    // the record being edited
    QVariantList m_current; // values of the current record
    QVariantList m_buffer;  // values being edited
    QString m_filterText;
    RecordCondition m_filterCondition;
    bool m_filtered = false;
    QString m_indexName;
    int m_disableCount = 0;
    bool m_pendingReset = false;
};
