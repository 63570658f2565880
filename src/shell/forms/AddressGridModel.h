#pragma once
#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QVariantList>
#include <QVector>

#include "database/AddressTable.h"

// The address grid's view of the current table. Rows are read lazily in pages of
// pageSize rows around the one asked for and only a few pages are kept, so a table of a
// million records opens and scrolls without reading it whole. The cache is dropped
// when the table rebuilds its view and single rows are re-read when they change.
class AddressGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int pageSize = 100;
    static constexpr int maxPages = 40;

    explicit AddressGridModel(QObject* parent = nullptr);

    // nullptr shows nothing. The table is not owned.
    void setTable(AddressTable* table);
    AddressTable* table() const { return m_table; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // How many rows were read from the table so far; lets a test prove laziness.
    qint64 rowsRead() const { return m_rowsRead; }
    int cachedPages() const { return int(m_pages.size()); }

private:
    void reset();
    void onRowChanged(qint64 row);
    const QVariantList* rowAt(int row) const;

    QPointer<AddressTable> m_table;
    QList<QMetaObject::Connection> m_connections;
    int m_rows = 0;
    int m_columns = 0;
    mutable QHash<int, QVector<QVariantList>> m_pages; // page number -> rows
    mutable QList<int> m_recent;                       // page numbers, most recent last
    mutable qint64 m_rowsRead = 0;
};
