#pragma once
#include <QDate>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

// Column types of an address table, named after the type words of the .pro files.
enum class FieldType {
    String,
    Integer,
    Boolean,
    Float,
    Currency,
    Date,
    Time,
    AutoInc,
    Memo,
    Picture
};

// "ftString" -> FieldType::String ...; nullopt for an unknown word.
std::optional<FieldType> fieldTypeFromName(const QString& typeName);
QString fieldTypeName(FieldType type);

struct ColumnDef {
    QString name;
    FieldType type = FieldType::String;
    int size = 0;
    bool required = false;
};

struct IndexDef {
    QString name;
    QStringList fields;
    bool primary = false;
};

// A condition on records built by the engine (never from text pasted into SQL).
struct RecordCondition {
    QString sql; // parameterised SQL with ? placeholders
    QVariantList params;
    bool isEmpty() const { return sql.isEmpty(); }
};

// Progress of a record loop: done of total records.
using ProgressFn = std::function<void(qint64 done, qint64 total)>;

// One address table: a SQLite file *table*.DB holding the records of one table.
//
// The table offers a cursor over the current view, which is the list of record ids
// that pass the active filter in the active order. The current record is read by id
// and cached, so a million records cost a few megabytes. Every post is committed at
// once; set operations over many records run in committed batches.
class AddressTable : public QObject {
    Q_OBJECT
public:
    enum class State { Inactive, Browse, Edit, Insert };
    using Bookmark = qint64; // record id; 0 is "no bookmark"

    explicit AddressTable(QObject* parent = nullptr);
    ~AddressTable() override;

    // Creates a new table file; an existing file is replaced. Columns of an unknown
    // type are the caller's business (they are simply not passed).
    static bool create(const QString& path, const QList<ColumnDef>& columns,
                       const QList<IndexDef>& indexes, QString* error);

    // Opens the table file. The view starts in primary-key order without filter,
    // positioned on the first record. Emits afterOpen.
    bool open(const QString& path, QString* error = nullptr);
    void close();
    bool isOpen() const { return m_db != nullptr; }
    const QString& path() const { return m_path; }
    // Re-reads the view (filter and order) and the current record, keeping the
    // current record when it is still in the view.
    void refresh();

    // Navigation over the current view.
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

    // Editing.
    State state() const { return m_state; }
    void edit();
    void append();
    bool post(QString* error = nullptr);
    void cancel();
    bool deleteRecord(QString* error = nullptr);

    // Fields.
    int fieldCount() const { return int(m_columns.size()); }
    const QList<ColumnDef>& columns() const { return m_columns; }
    QString fieldName(int index) const;
    FieldType fieldType(int index) const;
    int fieldIndex(const QString& name) const; // -1 when absent, case ignored
    const QList<IndexDef>& indexes() const { return m_indexes; }

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
    // An expression the parser refuses keeps the previous filter and returns false
    // with a German message naming the position.
    bool setFilter(const QString& expression, QString* error = nullptr);
    QString filter() const { return m_filterText; }
    void setFiltered(bool on);
    bool filtered() const { return m_filtered; }
    // Validates an expression against this table's columns without applying it.
    bool checkFilter(const QString& expression, QString* error = nullptr) const;

    // Order by a named index; empty means primary-key order.
    bool setIndexName(const QString& indexName, QString* error = nullptr);
    QString indexName() const { return m_indexName; }

    // Display suspension: while disabled, no change signals are sent; enabling sends
    // one viewReset.
    void disableControls();
    void enableControls();
    bool controlsDisabled() const { return m_disableCount > 0; }

    // Reading rows for a grid without moving the cursor.
    qint64 idAt(qint64 row) const;
    QVariantList rowValues(qint64 row) const; // one value per field
    QVariantList recordValues(qint64 id) const;

    // Record ids of the current view, from the current record on when fromCurrent.
    std::vector<qint64> viewIds(bool fromCurrent = false) const;
    // Record ids of the whole table in primary order, optionally restricted.
    std::vector<qint64> tableIds(const RecordCondition& where = {}) const;

    // Set operation over records: assigns the values to the given records that also
    // satisfy where (may be empty). Runs in committed batches of batchSize records and
    // reports progress after each batch. Returns the number of records changed, -1 on
    // failure. The view is re-read afterwards, keeping the current record if possible.
    qint64 updateRecords(const std::vector<qint64>& ids,
                         const QList<QPair<QString, QVariant>>& values,
                         const RecordCondition& where = {}, const ProgressFn& progress = {},
                         QString* error = nullptr);
    // Writes the values into the record with this id without moving the cursor, committed
    // at once. The view follows: a record that leaves the active filter leaves the view
    // (unless it is the current record under edit), a record in the view is re-read.
    bool updateRecord(qint64 id, const QList<QPair<QString, QVariant>>& values,
                      QString* error = nullptr);
    // Deletes the given records (those satisfying where) in committed batches.
    qint64 deleteRecords(const std::vector<qint64>& ids, const RecordCondition& where = {},
                         const ProgressFn& progress = {}, QString* error = nullptr);
    static constexpr int batchSize = 5000;

    // Appends many records in committed batches. nextRow fills one value per field
    // (text as QString, booleans as bool, dates as QDate; the auto-increment id is
    // left null) and returns false when there are no more rows. With deferIndexes the
    // secondary indexes are dropped first and built once at the end, which is far
    // faster for large loads. Returns the number of records added, -1 on failure.
    qint64 appendRecords(const std::function<bool(QVariantList&)>& nextRow,
                         const ProgressFn& progress = {}, QString* error = nullptr,
                         bool deferIndexes = false);

    // Conditions for set operations, values bound as parameters.
    enum class TextMatch { Contains, ContainsCaseSensitive, Fuzzy };
    // Some field, in the text a user sees, contains text (or, for Fuzzy, has a word
    // within 25% edit distance of it).
    RecordCondition conditionAnyFieldContains(const QString& text,
                                              TextMatch match = TextMatch::Contains) const;
    // The first row of the view from fromRow on (inclusive), forwards or backwards,
    // whose record satisfies the condition; -1 when none does. Reads the view in
    // batches, so a search over a million records stays quick.
    qint64 findInView(qint64 fromRow, bool forward, const RecordCondition& condition) const;
    RecordCondition conditionFieldBetween(const QString& field, qint64 low, qint64 high) const;
    RecordCondition conditionFromFilter(const QString& expression, QString* error = nullptr) const;

    // Maintenance: integrity check, reindex and vacuum; returns a German report.
    // The table must be closed or is closed and reopened around the work.
    static bool maintain(const QString& path, QString* report);

    // With on, every commit has reached the disk when it returns (synchronous=FULL),
    // for bookkeeping that must survive a crash; off restores the normal setting.
    bool setDurableCommits(bool on, QString* error = nullptr);

    // Direct access for code in the database layer (backup, transfer).
    sqlite3* handle() const { return m_db; }
    static const char* tableName() { return "records"; }

Q_SIGNALS:
    void afterOpen();
    void afterPost();
    void viewReset();            // view rebuilt: grids must re-read everything
    void rowChanged(qint64 row); // one row's values changed in place
    void currentChanged(qint64 row);

private:
    struct Private;
    // internals kept in the implementation
    bool loadColumns(QString* error);
    bool rebuildView(qint64 keepId);
    void loadCurrent();
    void setPosition(qint64 pos);
    void notifyReset();
    bool recordMatches(qint64 id) const;
    bool storedAssignments(const QList<QPair<QString, QVariant>>& values, QStringList* sets,
                           QVariantList* params, QString* error);
    qint64 rowOfId(qint64 id) const;
    // A statement from the connection's cache, reset when the use ends.
    class PreparedUse {
    public:
        PreparedUse(const AddressTable& table, const QString& sql);
        ~PreparedUse();
        PreparedUse(const PreparedUse&) = delete;
        PreparedUse& operator=(const PreparedUse&) = delete;
        sqlite3_stmt* get() const { return m_stmt; }

    private:
        sqlite3_stmt* m_stmt = nullptr;
    };
    QString orderByClause() const;

    sqlite3* m_db = nullptr;
    QString m_path;
    QList<ColumnDef> m_columns;
    QList<IndexDef> m_indexes;
    std::vector<qint64> m_view;
    qint64 m_pos = -1;
    bool m_eof = true;
    bool m_bof = true;
    State m_state = State::Inactive;
    QVariantList m_current; // values of the current record
    QVariantList m_buffer;  // values being edited
    QString m_filterText;
    RecordCondition m_filterCondition;
    bool m_filtered = false;
    QString m_indexName;
    int m_disableCount = 0;
    bool m_pendingReset = false;
    std::unique_ptr<Private> d;
};
