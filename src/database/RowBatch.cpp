#include "database/RowBatch.h"

#include <QDate>

void RowBatch::reset(int width) {
    m_width = width;
    m_cells.clear();
    m_bytes.clear();
}

void RowBatch::setInteger(int field, qint64 v) {
    Cell& c = last(field);
    c.kind = Kind::Integer;
    c.integer = v;
}

void RowBatch::setReal(int field, double v) {
    Cell& c = last(field);
    c.kind = Kind::Real;
    c.real = v;
}

void RowBatch::putText(int field, QStringView text, bool emptyIsNull) {
    if (text.isEmpty() && emptyIsNull) {
        setNull(field);
        return;
    }
    const size_t start = m_bytes.size();
    // Names and addresses are one- and two-byte characters: encoded here directly.
    // Anything else (and a broken surrogate) is left to Qt, whose encoding the stored
    // values have always had.
    bool simple = true;
    for (const QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u < 0x80) {
            m_bytes.push_back(char(u));
        } else if (u < 0x800) {
            m_bytes.push_back(char(0xC0 | (u >> 6)));
            m_bytes.push_back(char(0x80 | (u & 0x3F)));
        } else {
            simple = false;
            break;
        }
    }
    if (!simple) {
        m_bytes.resize(start);
        const QByteArray utf8 = text.toUtf8();
        m_bytes.append(utf8.constData(), size_t(utf8.size()));
    }
    Cell& c = last(field);
    c.kind = Kind::Text;
    c.offset = qint64(start);
    c.size = int(m_bytes.size() - start);
}

void RowBatch::setValue(int field, const QVariant& v) {
    if (!v.isValid() || v.isNull()) {
        setNull(field);
        return;
    }
    switch (v.typeId()) {
    case QMetaType::Bool:
        setInteger(field, v.toBool() ? 1 : 0);
        break;
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        setInteger(field, v.toLongLong());
        break;
    case QMetaType::Double:
        setReal(field, v.toDouble());
        break;
    case QMetaType::QDate:
        setText(field, v.toDate().toString(QStringLiteral("yyyy-MM-dd")));
        break;
    case QMetaType::QString:
        setText(field, v.toString());
        break;
    default:
        putText(field, v.toString(), false);
    }
}
