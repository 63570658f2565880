#include "database/TableView.h"

#include "database/FilterExpression.h"
#include "database/SqlFunctions.h"

#include <QTime>
#include <algorithm>

namespace {

const QList<ColumnDef>& noColumns() {
    static const QList<ColumnDef> none;
    return none;
}

const QList<IndexDef>& noIndexes() {
    static const QList<IndexDef> none;
    return none;
}

// Up to this many changed rows are announced one by one; more as one change of all.
constexpr size_t kRowsAnnouncedSingly = 256;

} // namespace

TableView::TableView(TableStore* store, QObject* parent) : QObject(parent) {
    setStore(store);
}

TableView::~TableView() {
    for (const auto& c : m_connections)
        disconnect(c);
}

void TableView::setStore(TableStore* store) {
    for (const auto& c : m_connections)
        disconnect(c);
    m_connections.clear();
    m_store = store;
    if (store) {
        m_connections << connect(store, &TableStore::recordsChanged, this,
                                 &TableView::onRecordsChanged)
                      << connect(store, &TableStore::recordsAdded, this, &TableView::onRecordsAdded)
                      << connect(store, &TableStore::recordsDeleted, this,
                                 &TableView::onRecordsDeleted)
                      << connect(store, &TableStore::contentReset, this, &TableView::onContentReset)
                      << connect(store, &TableStore::opened, this, &TableView::startAfresh)
                      << connect(store, &TableStore::aboutToClose, this, &TableView::onStoreClosing)
                      << connect(store, &QObject::destroyed, this, &TableView::onStoreClosing);
    }
    if (isOpen())
        startAfresh();
    else
        onStoreClosing();
}

void TableView::startAfresh() {
    m_state = State::Browse;
    m_buffer.clear();
    m_editId = 0;
    m_filterText.clear();
    m_filterCondition = {};
    m_filtered = false;
    m_indexName.clear();
    rebuild(0);
    first();
    notifyReset();
    notifyCount();
}

void TableView::clearView() {
    m_view.clear();
    m_pos = -1;
    m_eof = m_bof = true;
    m_current.clear();
    m_buffer.clear();
    m_editId = 0;
    m_filterText.clear();
    m_filterCondition = {};
    m_filtered = false;
    m_indexName.clear();
}

void TableView::onStoreClosing() {
    const bool hadRecords = !m_view.empty() || m_state != State::Inactive;
    m_state = State::Inactive;
    clearView();
    if (hadRecords) {
        notifyReset();
        notifyCount();
    }
}

RecordCondition TableView::activeCondition() const {
    return filterActive() ? m_filterCondition : RecordCondition{};
}

bool TableView::rebuild(qint64 keepId, QString* error) {
    if (!isOpen())
        return false;
    std::vector<qint64> ids;
    ids.reserve(m_view.empty() ? 1024 : m_view.size());
    if (!m_store->selectIds(activeCondition(), m_indexName, &ids, error))
        return false;
    qint64 pos = -1;
    if (keepId != 0) {
        const bool primaryOrder = m_indexName.isEmpty();
        if (primaryOrder) {
            // Ids ascend: the record itself, or the one that followed it.
            const auto it = std::lower_bound(ids.begin(), ids.end(), keepId);
            pos = it == ids.end() ? qint64(ids.size()) - 1 : it - ids.begin();
        } else {
            const auto it = std::find(ids.begin(), ids.end(), keepId);
            if (it != ids.end()) {
                pos = it - ids.begin();
            } else {
                // The first record after it in the old order that is still there.
                const qint64 old = rowOf(keepId);
                if (old >= 0) {
                    std::vector<qint64> sorted(ids);
                    std::sort(sorted.begin(), sorted.end());
                    for (size_t k = size_t(old) + 1; k < m_view.size() && pos < 0; ++k)
                        if (std::binary_search(sorted.begin(), sorted.end(), m_view[k]))
                            pos = std::find(ids.begin(), ids.end(), m_view[k]) - ids.begin();
                }
                if (pos < 0)
                    pos = ids.empty() ? -1 : qint64(ids.size()) - 1;
            }
        }
    }
    if (pos < 0)
        pos = ids.empty() ? -1 : 0;
    m_view.swap(ids);
    std::vector<qint64>().swap(ids);
    setPosition(pos);
    m_eof = m_bof = m_view.empty();
    return true;
}

void TableView::setPosition(qint64 pos) {
    m_pos = pos;
    loadCurrent();
    emitCurrent();
}

void TableView::emitCurrent() {
    if (m_disableCount == 0)
        Q_EMIT currentChanged(m_pos);
}

void TableView::loadCurrent() {
    // While a record is edited its values stay the base the post compares with.
    if (m_state == State::Edit || m_state == State::Insert)
        return;
    m_current = (isOpen() && m_pos >= 0 && m_pos < qint64(m_view.size()))
                    ? m_store->recordValues(m_view[size_t(m_pos)])
                    : QVariantList();
}

void TableView::notifyReset() {
    if (m_disableCount > 0) {
        m_pendingReset = true;
        return;
    }
    m_pendingReset = false;
    Q_EMIT viewReset();
}

void TableView::notifyCount() {
    if (m_disableCount == 0)
        Q_EMIT recordCountChanged(recordCount());
}

void TableView::refresh() {
    if (!isOpen())
        return;
    if (m_state != State::Browse)
        cancel();
    rebuild(currentId());
    notifyReset();
    notifyCount();
}

// ---------------------------------------------------------------------------
// Following the store

void TableView::onRecordsChanged(const std::vector<qint64>& ids) {
    if (!isOpen() || ids.empty())
        return;
    const bool primaryOrder = m_indexName.isEmpty();
    if (primaryOrder && !filterActive()) {
        // Values changed in place; no record moves.
        const qint64 current = currentId();
        if (current != 0 && std::find(ids.begin(), ids.end(), current) != ids.end())
            loadCurrent();
        if (m_disableCount > 0)
            return;
        if (ids.size() > kRowsAnnouncedSingly) {
            Q_EMIT allRowsChanged();
            return;
        }
        for (qint64 id : ids) {
            const qint64 row = rowOf(id);
            if (row >= 0)
                Q_EMIT rowChanged(row);
        }
        return;
    }
    if (primaryOrder && ids.size() == 1) {
        // One posted record: it stays, leaves or enters the filtered view.
        const qint64 id = ids.front();
        const qint64 row = rowOf(id);
        const bool matches = m_store->recordMatches(id, m_filterCondition);
        if (row >= 0 && matches) {
            if (row == m_pos)
                loadCurrent();
            if (m_disableCount == 0)
                Q_EMIT rowChanged(row);
            return;
        }
        if (row < 0 && !matches)
            return;
        if (row >= 0) {
            // It left: the following record becomes current.
            m_view.erase(m_view.begin() + row);
            if (row < m_pos) {
                m_pos -= 1;
            } else if (row == m_pos) {
                const qint64 newPos = std::min<qint64>(row, qint64(m_view.size()) - 1);
                m_pos = newPos;
                loadCurrent();
                if (m_view.empty())
                    m_eof = m_bof = true;
                else if (row >= qint64(m_view.size()))
                    m_eof = true;
            }
        } else {
            const auto it = std::lower_bound(m_view.begin(), m_view.end(), id);
            const qint64 at = it - m_view.begin();
            m_view.insert(it, id);
            if (m_pos < 0) {
                m_pos = 0;
                m_eof = m_bof = false;
                loadCurrent();
            } else if (at <= m_pos) {
                m_pos += 1;
            }
        }
        notifyReset();
        emitCurrent();
        notifyCount();
        return;
    }
    const qint64 before = recordCount();
    rebuild(currentId());
    notifyReset();
    if (recordCount() != before)
        notifyCount();
}

void TableView::onRecordsAdded(const std::vector<qint64>& ids) {
    if (!isOpen() || ids.empty())
        return;
    const std::vector<qint64> entering =
        filterActive() ? m_store->matching(ids, m_filterCondition) : ids;
    if (entering.empty())
        return;
    if (!m_indexName.isEmpty()) {
        rebuild(currentId());
    } else {
        const qint64 current = currentId();
        if (!m_view.empty() && entering.front() > m_view.back() &&
            std::is_sorted(entering.begin(), entering.end())) {
            m_view.insert(m_view.end(), entering.begin(), entering.end()); // the usual case
        } else {
            std::vector<qint64> sorted(entering);
            std::sort(sorted.begin(), sorted.end());
            std::vector<qint64> merged;
            merged.reserve(m_view.size() + sorted.size());
            std::merge(m_view.begin(), m_view.end(), sorted.begin(), sorted.end(),
                       std::back_inserter(merged));
            m_view.swap(merged);
        }
        if (current != 0) {
            m_pos = rowOf(current);
        } else {
            m_pos = 0;
            m_eof = m_bof = false;
            loadCurrent();
        }
    }
    notifyReset();
    emitCurrent();
    notifyCount();
}

void TableView::onRecordsDeleted(const std::vector<qint64>& ids) {
    if (!isOpen() || ids.empty() || m_view.empty())
        return;
    const qint64 current = currentId();
    if ((m_state == State::Edit) && std::find(ids.begin(), ids.end(), m_editId) != ids.end())
        cancel();
    std::vector<qint64> gone(ids);
    std::sort(gone.begin(), gone.end());
    // Survivors keep their order; the current record, if it went, hands over to the
    // first survivor after it.
    std::vector<qint64> kept;
    kept.reserve(m_view.size() > gone.size() ? m_view.size() - gone.size() : 0);
    qint64 newPos = -1;
    bool currentGone = false;
    for (size_t k = 0; k < m_view.size(); ++k) {
        const qint64 id = m_view[k];
        const bool isGone = std::binary_search(gone.begin(), gone.end(), id);
        if (qint64(k) == m_pos) {
            currentGone = isGone;
            newPos = qint64(kept.size());
        }
        if (!isGone)
            kept.push_back(id);
    }
    if (kept.size() == m_view.size())
        return;
    const bool wasLast = newPos >= qint64(kept.size());
    m_view.swap(kept);
    std::vector<qint64>().swap(kept);
    if (m_view.empty()) {
        m_pos = -1;
        m_eof = m_bof = true;
    } else {
        m_pos = std::min<qint64>(newPos < 0 ? 0 : newPos, qint64(m_view.size()) - 1);
        if (currentGone) {
            m_bof = false;
            m_eof = wasLast;
        }
    }
    if (currentGone || current == 0)
        loadCurrent();
    notifyReset();
    emitCurrent();
    notifyCount();
}

void TableView::onContentReset() {
    if (!isOpen())
        return;
    rebuild(currentId());
    notifyReset();
    notifyCount();
}

// ---------------------------------------------------------------------------
// Navigation

void TableView::postPending() {
    if (m_state != State::Browse)
        post();
}

bool TableView::postBeforeMove() {
    if (!isOpen())
        return false;
    postPending();
    return true;
}

void TableView::first() {
    if (!postBeforeMove())
        return;
    setPosition(m_view.empty() ? -1 : 0);
    m_bof = true;
    m_eof = m_view.empty();
}

void TableView::last() {
    if (!postBeforeMove())
        return;
    setPosition(qint64(m_view.size()) - 1);
    m_eof = true;
    m_bof = m_view.empty();
}

void TableView::next() {
    if (!postBeforeMove())
        return;
    if (m_pos + 1 < qint64(m_view.size())) {
        setPosition(m_pos + 1);
        m_bof = false;
        m_eof = false;
    } else {
        m_eof = true;
    }
}

void TableView::prior() {
    if (!postBeforeMove())
        return;
    if (m_pos > 0) {
        setPosition(m_pos - 1);
        m_bof = false;
        m_eof = false;
    } else {
        m_bof = true;
    }
}

qint64 TableView::recNo() const {
    return m_view.empty() ? -1 : m_pos;
}

bool TableView::moveTo(qint64 row) {
    if (!isOpen() || row < 0 || row >= qint64(m_view.size()))
        return false;
    postPending();
    setPosition(row);
    m_bof = m_eof = false;
    return true;
}

bool TableView::locateId(qint64 id) {
    const qint64 row = rowOf(id);
    return row >= 0 && moveTo(row);
}

qint64 TableView::currentId() const {
    return (m_pos >= 0 && m_pos < qint64(m_view.size())) ? m_view[size_t(m_pos)] : 0;
}

qint64 TableView::rowOf(qint64 id) const {
    if (m_indexName.isEmpty()) {
        const auto it = std::lower_bound(m_view.begin(), m_view.end(), id);
        return (it != m_view.end() && *it == id) ? it - m_view.begin() : -1;
    }
    const auto it = std::find(m_view.begin(), m_view.end(), id);
    return it == m_view.end() ? -1 : it - m_view.begin();
}

// ---------------------------------------------------------------------------
// Editing

void TableView::edit() {
    if (!isOpen() || m_state != State::Browse || m_current.isEmpty())
        return;
    m_buffer = m_current;
    m_editId = currentId();
    m_state = State::Edit;
}

void TableView::append() {
    if (!postBeforeMove())
        return;
    m_buffer.clear();
    for (const ColumnDef& c : columns())
        m_buffer.append(c.type == FieldType::Boolean ? QVariant(qint64(0)) : QVariant());
    m_editId = 0;
    m_state = State::Insert;
}

void TableView::cancel() {
    if (m_state == State::Edit || m_state == State::Insert) {
        m_buffer.clear();
        m_editId = 0;
        m_state = State::Browse;
        loadCurrent();
    }
}

bool TableView::post(QString* error) {
    if (!isOpen() || (m_state != State::Edit && m_state != State::Insert))
        return true;
    auto fail = [&](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    const QList<ColumnDef>& cols = columns();
    for (int i = 0; i < cols.size(); ++i) {
        const ColumnDef& c = cols[i];
        if (!c.required || c.type == FieldType::AutoInc)
            continue;
        const QVariant& v = m_buffer[i];
        if (!v.isValid() || v.isNull() ||
            (v.typeId() == QMetaType::QString && v.toString().isEmpty()))
            return fail(QStringLiteral("Das Feld \"") + c.name +
                        QStringLiteral("\" muss einen Wert enthalten."));
    }
    const bool inserting = m_state == State::Insert;
    // An update writes only the columns that were changed: it leaves the indexes of the
    // others alone and never puts back a value that changed meanwhile elsewhere.
    const auto unchanged = [this](int i) {
        if (i >= m_current.size())
            return false;
        const QVariant& was = m_current[i];
        const QVariant& now = m_buffer[i];
        return was.isNull() == now.isNull() && was.typeId() == now.typeId() && was == now;
    };
    QList<int> fields;
    QVariantList values;
    for (int i = 0; i < cols.size(); ++i) {
        if (i == m_store->rowidColumn())
            continue; // assigned by the engine, never edited
        if (!inserting && (unchanged(i) || cols[i].type == FieldType::AutoInc))
            continue;
        fields << i;
        values << m_buffer[i];
    }
    // The store's notification meets this view in browse state, so the posted record
    // is read back like any other.
    const State was = m_state;
    const QVariantList buffer = m_buffer;
    const qint64 editId = m_editId;
    m_state = State::Browse;
    m_buffer.clear();
    m_editId = 0;
    bool ok;
    QString failure;
    qint64 id = editId;
    if (inserting)
        ok = m_store->insertRecord(fields, values, &id, &failure);
    else
        ok = m_store->updateRecord(editId, fields, values, &failure);
    if (!ok) {
        m_state = was;
        m_buffer = buffer;
        m_editId = editId;
        return fail(failure);
    }
    if (inserting) {
        const qint64 row = rowOf(id);
        if (row >= 0)
            setPosition(row);
        else
            loadCurrent();
        m_eof = m_bof = false;
    } else if (fields.isEmpty()) {
        loadCurrent();
    }
    Q_EMIT afterPost();
    return true;
}

bool TableView::deleteRecord(QString* error) {
    if (!isOpen())
        return false;
    if (m_state == State::Insert) {
        cancel();
        return true;
    }
    cancel();
    const qint64 id = currentId();
    if (id == 0)
        return false;
    return m_store->deleteRecord(id, error);
}

// ---------------------------------------------------------------------------
// Fields

int TableView::fieldCount() const {
    return int(columns().size());
}

const QList<ColumnDef>& TableView::columns() const {
    return m_store ? m_store->columns() : noColumns();
}

const QList<IndexDef>& TableView::indexes() const {
    return m_store ? m_store->indexes() : noIndexes();
}

QString TableView::fieldName(int index) const {
    return m_store ? m_store->fieldName(index) : QString();
}

FieldType TableView::fieldType(int index) const {
    return m_store ? m_store->fieldType(index) : FieldType::String;
}

int TableView::fieldIndex(const QString& name) const {
    return m_store ? m_store->fieldIndex(name) : -1;
}

QVariant TableView::value(int index) const {
    const QVariantList& values =
        (m_state == State::Browse || m_state == State::Inactive) ? m_current : m_buffer;
    if (index < 0 || index >= values.size())
        return {};
    const QVariant& v = values[index];
    const FieldType type = fieldType(index);
    if (type == FieldType::Boolean)
        return QVariant(v.isValid() && !v.isNull() && v.toLongLong() != 0);
    if (!v.isValid() || v.isNull())
        return {};
    if (type == FieldType::Date)
        return QDate::fromString(v.toString().left(10), QStringLiteral("yyyy-MM-dd"));
    if (type == FieldType::Time)
        return QTime::fromString(v.toString(), QStringLiteral("HH:mm:ss"));
    return v;
}

bool TableView::isNull(int index) const {
    const QVariantList& values = m_state == State::Browse ? m_current : m_buffer;
    return index < 0 || index >= values.size() || !values[index].isValid() ||
           values[index].isNull();
}

QString TableView::asString(int index) const {
    const QVariantList& values =
        (m_state == State::Browse || m_state == State::Inactive) ? m_current : m_buffer;
    if (index < 0 || index >= values.size())
        return {};
    return SqlFunctions::displayText(values[index], fieldType(index));
}

QString TableView::asString(const QString& name) const {
    return asString(fieldIndex(name));
}

bool TableView::asBool(const QString& name) const {
    return value(fieldIndex(name)).toBool();
}

int TableView::asInteger(const QString& name) const {
    return value(fieldIndex(name)).toInt();
}

QDate TableView::asDate(const QString& name) const {
    return value(fieldIndex(name)).toDate();
}

bool TableView::setValue(int index, const QVariant& v, QString* error) {
    if (index < 0 || index >= fieldCount() ||
        (m_state != State::Edit && m_state != State::Insert)) {
        if (error)
            *error = QStringLiteral("Der Datensatz ist nicht im Bearbeitungsmodus.");
        return false;
    }
    QVariant stored;
    if (!m_store->toStored(index, v, &stored, error))
        return false;
    m_buffer[index] = stored;
    return true;
}

bool TableView::setString(int index, const QString& text, QString* error) {
    return setValue(index, QVariant(text), error);
}

bool TableView::setString(const QString& name, const QString& text, QString* error) {
    const int index = fieldIndex(name);
    if (index < 0) {
        if (error)
            *error = QStringLiteral("Das Feld \"") + name +
                     QStringLiteral("\" gibt es in dieser Tabelle nicht.");
        return false;
    }
    return setString(index, text, error);
}

bool TableView::setBool(const QString& name, bool v) {
    return setValue(fieldIndex(name), v);
}

bool TableView::setInteger(const QString& name, qint64 v) {
    return setValue(fieldIndex(name), v);
}

bool TableView::setDate(const QString& name, const QDate& v) {
    return setValue(fieldIndex(name), v.isValid() ? QVariant(v) : QVariant());
}

// ---------------------------------------------------------------------------
// Filter and order

bool TableView::checkFilter(const QString& expression, QString* error) const {
    RecordCondition cond;
    if (!FilterExpression::parse(expression, columns(), &cond, error))
        return false;
    QString refusal;
    if (m_store && !m_store->checkCondition(cond, &refusal)) {
        if (error)
            *error = QStringLiteral("Der Filter kann nicht angewendet werden: ") + refusal;
        return false;
    }
    return true;
}

bool TableView::setFilter(const QString& expression, QString* error) {
    RecordCondition cond;
    if (!FilterExpression::parse(expression, columns(), &cond, error))
        return false;
    QString refusal;
    if (m_store && !m_store->checkCondition(cond, &refusal)) {
        if (error)
            *error = QStringLiteral("Der Filter kann nicht angewendet werden: ") + refusal;
        return false;
    }
    postPending();
    const QString oldText = m_filterText;
    const RecordCondition oldCondition = m_filterCondition;
    m_filterText = expression;
    m_filterCondition = cond;
    if (isOpen() && m_filtered) {
        if (!rebuild(currentId(), &refusal)) {
            // SQLite refused while reading: the previous filter stays in force.
            m_filterText = oldText;
            m_filterCondition = oldCondition;
            rebuild(currentId());
            if (error)
                *error = QStringLiteral("Der Filter kann nicht angewendet werden: ") + refusal;
            return false;
        }
        notifyReset();
        notifyCount();
    }
    return true;
}

void TableView::setFiltered(bool on) {
    if (m_filtered == on)
        return;
    postPending();
    m_filtered = on;
    if (isOpen()) {
        if (!rebuild(currentId())) {
            m_filtered = !on;
            rebuild(currentId());
        }
        notifyReset();
        notifyCount();
    }
}

bool TableView::setIndexName(const QString& indexName, QString* error) {
    if (!indexName.isEmpty()) {
        const bool known = std::any_of(indexes().begin(), indexes().end(), [&](const IndexDef& ix) {
            return ix.name.compare(indexName, Qt::CaseInsensitive) == 0;
        });
        if (!known) {
            if (error)
                *error = QStringLiteral("Der Index \"") + indexName +
                         QStringLiteral("\" existiert nicht.");
            return false;
        }
    }
    postPending();
    // The current record stays current in the new order.
    const qint64 keep = currentId();
    m_indexName = indexName;
    if (isOpen()) {
        rebuild(keep);
        notifyReset();
    }
    return true;
}

void TableView::disableControls() {
    ++m_disableCount;
}

void TableView::enableControls() {
    if (m_disableCount == 0)
        return;
    if (--m_disableCount == 0) {
        m_pendingReset = false;
        Q_EMIT viewReset();
        Q_EMIT currentChanged(m_pos);
        Q_EMIT recordCountChanged(recordCount());
    }
}

// ---------------------------------------------------------------------------
// Reading rows

qint64 TableView::idAt(qint64 row) const {
    return (row >= 0 && row < qint64(m_view.size())) ? m_view[size_t(row)] : 0;
}

QVariantList TableView::recordValues(qint64 id) const {
    return isOpen() ? m_store->recordValues(id) : QVariantList();
}

QVariantList TableView::rowValues(qint64 row) const {
    if (row == m_pos && (m_state == State::Edit || m_state == State::Insert))
        return m_buffer;
    return recordValues(idAt(row));
}

std::vector<qint64> TableView::viewIds(bool fromCurrent) const {
    if (!fromCurrent || m_pos <= 0)
        return m_view;
    return std::vector<qint64>(m_view.begin() + m_pos, m_view.end());
}

qint64 TableView::findInView(qint64 fromRow, bool forward, const RecordCondition& condition) const {
    return isOpen() ? m_store->findFirst(m_view, fromRow, forward, condition) : -1;
}
