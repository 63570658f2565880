#pragma once
#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

// An Excel 97-2003 workbook (BIFF8) with one worksheet of text cells: the records are
// ours, the OLE2 compound file around them is libgsf's. Every text goes once into the
// shared string table; cells refer to it. Empty texts leave the cell blank.
class XlsWorkbook {
public:
    static constexpr int maxRows = 65536;
    static constexpr int maxColumns = 256;
    static constexpr int maxTextLength = 32767; // UTF-16 code units per cell

    explicit XlsWorkbook(const QString& sheetName);

    // Appends the next row; at most maxRows rows of at most maxColumns cells. A longer
    // text is cut to maxTextLength.
    void addRow(const QStringList& cells);
    int rowCount() const { return m_rows; }

    // The whole file in memory, and written to path through a temporary file, so a
    // failed write leaves no half-written file. False with a German message.
    QByteArray fileBytes(QString* error) const;
    bool save(const QString& path, QString* error) const;

private:
    QByteArray workbookStream() const;

    QString m_sheetName;
    QByteArray m_cells; // the cell records of the sheet
    QHash<QString, quint32> m_index;
    QStringList m_strings; // in order of first use
    quint32 m_references = 0;
    int m_rows = 0;
    int m_columns = 0;
};
