#include "shell/forms/AddressGridModel.h"

#include "database/AddressTable.h"

#include <QDate>
#include <climits>

AddressGridModel::AddressGridModel(QObject* parent) : QAbstractTableModel(parent) {}

void AddressGridModel::setTable(AddressTable* table) {
    for (const auto& c : m_connections)
        disconnect(c);
    m_connections.clear();
    m_table = table;
    if (table) {
        m_connections << connect(table, &AddressTable::viewReset, this, &AddressGridModel::reset)
                      << connect(table, &AddressTable::afterOpen, this, &AddressGridModel::reset)
                      << connect(table, &AddressTable::rowChanged, this,
                                 &AddressGridModel::onRowChanged)
                      << connect(table, &QObject::destroyed, this, &AddressGridModel::reset);
    }
    reset();
}

void AddressGridModel::reset() {
    beginResetModel();
    m_pages.clear();
    m_recent.clear();
    const bool open = m_table && m_table->isOpen();
    m_rows = open ? int(qMin<qint64>(m_table->recordCount(), INT_MAX)) : 0;
    m_columns = open ? m_table->fieldCount() : 0;
    endResetModel();
}

void AddressGridModel::onRowChanged(qint64 row) {
    if (row < 0 || row >= m_rows)
        return;
    const int r = int(row);
    const auto it = m_pages.find(r / pageSize);
    if (it != m_pages.end()) {
        const int offset = r % pageSize;
        if (offset < it->size()) {
            (*it)[offset] = m_table->rowValues(row);
            ++m_rowsRead;
        }
    }
    Q_EMIT dataChanged(index(r, 0), index(r, qMax(0, m_columns - 1)));
}

const QVariantList* AddressGridModel::rowAt(int row) const {
    if (!m_table || !m_table->isOpen() || row < 0 || row >= m_rows)
        return nullptr;
    const int page = row / pageSize;
    auto it = m_pages.find(page);
    if (it == m_pages.end()) {
        if (m_pages.size() >= maxPages && !m_recent.isEmpty())
            m_pages.remove(m_recent.takeFirst());
        QVector<QVariantList> rows;
        const int first = page * pageSize;
        const int last = qMin(first + pageSize, m_rows);
        rows.reserve(last - first);
        for (int r = first; r < last; ++r)
            rows.append(m_table->rowValues(r));
        m_rowsRead += last - first;
        it = m_pages.insert(page, rows);
    } else {
        m_recent.removeOne(page);
    }
    m_recent.append(page);
    const int offset = row - page * pageSize;
    return offset < it->size() ? &it->at(offset) : nullptr;
}

int AddressGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_rows;
}

int AddressGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_columns;
}

QVariant AddressGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    const QVariantList* values = rowAt(index.row());
    if (!values || index.column() >= values->size())
        return {};
    const QVariant& v = values->at(index.column());
    if (m_table->fieldType(index.column()) == FieldType::Boolean && role == Qt::DisplayRole)
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    return v;
}

QVariant AddressGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return QString(); // the row indicator carries no number
    if (!m_table || section < 0 || section >= m_columns)
        return {};
    return m_table->fieldName(section);
}

Qt::ItemFlags AddressGridModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}
