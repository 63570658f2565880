#pragma once
#include <QString>
#include <QVariant>
#include <string>
#include <vector>

// Records on their way into a table, in the form they are stored: one cell per field of
// the table in field order (the auto-increment id stays unbound), text as UTF-8. A batch
// can be filled on any thread and is bound as it is, without a conversion per value on
// the table's thread.
class RowBatch {
public:
    enum class Kind : unsigned char { Null, Integer, Real, Text };
    struct Cell {
        Kind kind = Kind::Null;
        int size = 0; // bytes of a text
        union {
            qint64 integer = 0;
            double real;
            qint64 offset; // of a text in the batch's bytes
        };
    };

    explicit RowBatch(int width = 0) : m_width(width) {}

    // Empties the batch for rows of the given number of cells.
    void reset(int width);
    int width() const { return m_width; }
    int rows() const { return m_width > 0 ? int(m_cells.size() / size_t(m_width)) : 0; }
    bool isEmpty() const { return m_cells.empty(); }

    // Appends a row of empty cells; the set functions fill the last row.
    void addRow() { m_cells.resize(m_cells.size() + size_t(m_width)); }
    // Takes the last row away again.
    void dropRow() { m_cells.resize(m_cells.size() - size_t(m_width)); }
    void setNull(int field) { last(field) = Cell(); }
    void setInteger(int field, qint64 v);
    void setReal(int field, double v);
    // An empty text is stored as no value.
    void setText(int field, QStringView text) { putText(field, text, true); }
    // A stored value as the table store makes them (bool as 0/1, a date as yyyy-MM-dd).
    void setValue(int field, const QVariant& stored);

    const Cell& cell(int row, int field) const {
        return m_cells[size_t(row) * size_t(m_width) + size_t(field)];
    }
    const char* text(const Cell& c) const { return m_bytes.data() + c.offset; }

private:
    void putText(int field, QStringView text, bool emptyIsNull);
    Cell& last(int field) { return m_cells[m_cells.size() - size_t(m_width) + size_t(field)]; }

    int m_width = 0;
    std::vector<Cell> m_cells;
    std::string m_bytes;
};
