#pragma once
#include <QAbstractTableModel>
#include <QFont>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QSet>
#include <QVariantList>
#include <QVector>

#include "database/AddressTable.h"

// One column of the address grid: the table field it shows and its title.
struct GridColumn {
    int field = -1; // index of the table field
    QString title;
    QFont titleFont; // a default QFont means the header's own font
    bool customFont = false;
    bool marked = false; // sorted by this column: bold red title
};

// The address grid's model of its view of the current table. Rows are read lazily in
// pages of pageSize rows around the one asked for and only a few pages are kept, so a
// table of a million records opens and scrolls without reading it whole. The model
// follows the view, which follows the store: whoever changes records (a post, a set
// operation of a command, a deletion), the grid shows it without being told. The
// cache is dropped when the view's rows move or many values change, and single rows
// are re-read when they change.
class AddressGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int pageSize = 100;
    static constexpr int maxPages = 40;

    explicit AddressGridModel(QObject* parent = nullptr);

    // nullptr shows nothing. The table is not owned. The grid starts with one column
    // per field, titled with the field name.
    void setTable(AddressTable* table);
    AddressTable* table() const { return m_table; }

    // The grid's columns in display order; fields the table lacks are dropped.
    void setColumns(const QList<GridColumn>& columns);
    const QList<GridColumn>& gridColumns() const { return m_gridColumns; }
    // Index of the table field shown in this grid column; -1 when there is none.
    int fieldAt(int column) const;
    QString fieldNameAt(int column) const;
    // Grid column showing this field (name compared without regard to case); -1 if none.
    int columnOfField(const QString& fieldName) const;

    // Titles: the sorted column is drawn bold and red, all others plain black.
    void setMarkedTitle(int column);
    void resetTitles();
    bool isTitleMarked(int column) const;
    // The header's own font, the base of titles that carry no font of their own.
    void setDefaultTitleFont(const QFont& font) { m_defaultTitleFont = font; }

    // Fields whose cells are drawn as pictures (True.bmp / False.bmp).
    void setPictureFields(const QStringList& fieldNames);
    bool isPictureColumn(int column) const;

    // Grid edit mode: cells become editable; a change is posted at once and a value the
    // engine refuses is reported and not stored.
    void setEditable(bool on);
    bool isEditable() const { return m_editable; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // How many rows were read from the table so far; lets a test prove laziness.
    qint64 rowsRead() const { return m_rowsRead; }
    int cachedPages() const { return int(m_pages.size()); }

private:
    void reset();
    void onRowChanged(qint64 row);
    void onAllRowsChanged();
    const QVariantList* rowAt(int row) const;
    void defaultColumns();

    QPointer<AddressTable> m_table;
    QList<QMetaObject::Connection> m_connections;
    QList<GridColumn> m_gridColumns;
    QSet<QString> m_pictureFields; // lower case
    bool m_editable = false;
    QFont m_defaultTitleFont;
    int m_rows = 0;
    mutable QHash<int, QVector<QVariantList>> m_pages; // page number -> rows
    mutable QList<int> m_recent;                       // page numbers, most recent last
    mutable qint64 m_rowsRead = 0;
};
