#include "shell/forms/AddressGridModel.h"

#include "database/SqlFunctions.h"

#include "common/Messages.h"
#include "database/AddressTable.h"

#include <QBrush>
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
                      << connect(table, &AddressTable::allRowsChanged, this,
                                 &AddressGridModel::onAllRowsChanged)
                      << connect(table, &QObject::destroyed, this, &AddressGridModel::reset);
    }
    beginResetModel();
    defaultColumns();
    m_pages.clear();
    m_recent.clear();
    m_rows =
        (m_table && m_table->isOpen()) ? int(qMin<qint64>(m_table->recordCount(), INT_MAX)) : 0;
    endResetModel();
}

void AddressGridModel::defaultColumns() {
    m_gridColumns.clear();
    if (!m_table || !m_table->isOpen())
        return;
    for (int i = 0; i < m_table->fieldCount(); ++i) {
        GridColumn c;
        c.field = i;
        c.title = m_table->fieldName(i);
        m_gridColumns.append(c);
    }
}

void AddressGridModel::setColumns(const QList<GridColumn>& columns) {
    beginResetModel();
    m_gridColumns.clear();
    for (const GridColumn& c : columns)
        if (m_table && c.field >= 0 && c.field < m_table->fieldCount())
            m_gridColumns.append(c);
    endResetModel();
}

int AddressGridModel::fieldAt(int column) const {
    if (!m_table || column < 0 || column >= m_gridColumns.size())
        return -1;
    return m_gridColumns[column].field;
}

QString AddressGridModel::fieldNameAt(int column) const {
    const int field = fieldAt(column);
    return field < 0 ? QString() : m_table->fieldName(field);
}

int AddressGridModel::columnOfField(const QString& fieldName) const {
    for (int i = 0; i < m_gridColumns.size(); ++i)
        if (fieldNameAt(i).compare(fieldName, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

void AddressGridModel::setMarkedTitle(int column) {
    for (int i = 0; i < m_gridColumns.size(); ++i)
        m_gridColumns[i].marked = i == column;
    if (!m_gridColumns.isEmpty())
        Q_EMIT headerDataChanged(Qt::Horizontal, 0, int(m_gridColumns.size()) - 1);
}

void AddressGridModel::resetTitles() {
    for (GridColumn& c : m_gridColumns) {
        c.marked = false;
        c.titleFont.setBold(false);
    }
    if (!m_gridColumns.isEmpty())
        Q_EMIT headerDataChanged(Qt::Horizontal, 0, int(m_gridColumns.size()) - 1);
}

bool AddressGridModel::isTitleMarked(int column) const {
    return column >= 0 && column < m_gridColumns.size() && m_gridColumns[column].marked;
}

void AddressGridModel::setPictureFields(const QStringList& fieldNames) {
    m_pictureFields.clear();
    for (const QString& f : fieldNames)
        m_pictureFields.insert(f.toLower());
    if (!m_gridColumns.isEmpty() && m_rows > 0)
        Q_EMIT dataChanged(index(0, 0), index(m_rows - 1, int(m_gridColumns.size()) - 1));
}

bool AddressGridModel::isPictureColumn(int column) const {
    return m_pictureFields.contains(fieldNameAt(column).toLower());
}

void AddressGridModel::setEditable(bool on) {
    m_editable = on;
}

void AddressGridModel::reset() {
    beginResetModel();
    m_pages.clear();
    m_recent.clear();
    const bool open = m_table && m_table->isOpen();
    m_rows = open ? int(qMin<qint64>(m_table->recordCount(), INT_MAX)) : 0;
    if (!open)
        m_gridColumns.clear();
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
    Q_EMIT dataChanged(index(r, 0), index(r, qMax(0, int(m_gridColumns.size()) - 1)));
}

void AddressGridModel::onAllRowsChanged() {
    // Values changed in place: the rows stay where they are, only their cache goes.
    m_pages.clear();
    m_recent.clear();
    if (m_rows > 0 && !m_gridColumns.isEmpty())
        Q_EMIT dataChanged(index(0, 0), index(m_rows - 1, int(m_gridColumns.size()) - 1));
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
    return parent.isValid() ? 0 : int(m_gridColumns.size());
}

QVariant AddressGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    const int field = fieldAt(index.column());
    const QVariantList* values = rowAt(index.row());
    if (field < 0 || !values || field >= values->size())
        return {};
    // The text a user sees everywhere else: German dates, decimal commas, True/False.
    return SqlFunctions::displayText(values->at(field), m_table->fieldType(field));
}

bool AddressGridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    const int field = fieldAt(index.column());
    if (!m_editable || role != Qt::EditRole || field < 0 || !index.isValid())
        return false;
    AddressTable* table = m_table;
    if (data(index, Qt::EditRole).toString() == value.toString())
        return false; // nothing changed: no post
    if (table->recNo() != index.row() && !table->moveTo(index.row()))
        return false;
    QString error;
    table->edit();
    if (!table->setString(field, value.toString(), &error) || !table->post(&error)) {
        // The stored value stays; the grid shows it again.
        table->cancel();
        Messages::instance().error(error);
        Q_EMIT dataChanged(index, index);
        return false;
    }
    return true;
}

QVariant AddressGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Vertical)
        return role == Qt::DisplayRole ? QVariant(QString()) : QVariant(); // row indicator only
    if (section < 0 || section >= m_gridColumns.size())
        return {};
    const GridColumn& c = m_gridColumns[section];
    switch (role) {
    case Qt::DisplayRole:
        return c.title;
    case Qt::FontRole:
        if (c.marked) {
            QFont f = c.customFont ? c.titleFont : m_defaultTitleFont;
            f.setBold(true);
            return f;
        }
        return c.customFont ? QVariant(c.titleFont) : QVariant();
    case Qt::ForegroundRole:
        return QBrush(c.marked ? QColor(Qt::red) : QColor(Qt::black));
    default:
        return {};
    }
}

Qt::ItemFlags AddressGridModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    const int field = fieldAt(index.column());
    if (m_editable && field >= 0 && m_table->fieldType(field) != FieldType::AutoInc)
        f |= Qt::ItemIsEditable;
    return f;
}
