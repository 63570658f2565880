// The stored form of values: what a user types or code passes becomes the form the
// table file holds (booleans 0/1, dates yyyy-MM-dd, times HH:mm:ss, numbers).
#include "database/TableStore.h"

#include "database/SqlFunctions.h"

#include <QDate>
#include <climits>

namespace {

bool textToStored(const ColumnDef& c, const QString& text, QVariant* stored, QString* error) {
    const QString t = text.trimmed();
    auto refuse = [&](const QString& what) {
        if (error)
            *error = QChar('"') + text + QStringLiteral("\" ist ") + what +
                     QStringLiteral(" für das Feld \"") + c.name + QStringLiteral("\".");
        return false;
    };
    *stored = QVariant();
    switch (c.type) {
    case FieldType::Boolean: {
        const QString u = t.toUpper();
        if (u == QStringLiteral("TRUE") || u == QStringLiteral("1") || u == QStringLiteral("JA"))
            *stored = qint64(1);
        else if (u.isEmpty() || u == QStringLiteral("FALSE") || u == QStringLiteral("0") ||
                 u == QStringLiteral("NEIN"))
            *stored = qint64(0);
        else
            return refuse(QStringLiteral("kein gültiger Wahrheitswert"));
        return true;
    }
    case FieldType::Integer:
    case FieldType::AutoInc: {
        if (t.isEmpty())
            return true;
        bool ok = false;
        const qint64 v = t.toLongLong(&ok);
        if (!ok || (c.type == FieldType::Integer && (v < INT32_MIN || v > INT32_MAX)))
            return refuse(QStringLiteral("kein gültiger Ganzzahlwert"));
        *stored = v;
        return true;
    }
    case FieldType::Float:
    case FieldType::Currency: {
        if (t.isEmpty())
            return true;
        QString n = t;
        n.remove(QChar(' '));
        if (n.contains(QChar(',')))
            n.remove(QChar('.')).replace(QChar(','), QChar('.')); // German 1.234,5
        bool ok = false;
        const double v = n.toDouble(&ok);
        if (!ok)
            return refuse(QStringLiteral("kein gültiger Zahlenwert"));
        *stored = v;
        return true;
    }
    case FieldType::Date: {
        if (t.isEmpty())
            return true;
        const QString s = SqlFunctions::dateToStorage(t);
        if (s.isEmpty())
            return refuse(QStringLiteral("kein gültiges Datum"));
        *stored = s;
        return true;
    }
    case FieldType::Time: {
        if (t.isEmpty())
            return true;
        const QString s = SqlFunctions::timeToStorage(t);
        if (s.isEmpty())
            return refuse(QStringLiteral("keine gültige Uhrzeit"));
        *stored = s;
        return true;
    }
    default:
        if (!text.isEmpty())
            *stored = text; // longer texts are kept whole
        return true;
    }
}

} // namespace

bool TableStore::toStored(int field, const QVariant& v, QVariant* stored, QString* error) const {
    if (field < 0 || field >= m_columns.size()) {
        if (error)
            *error = QStringLiteral("Das Feld gibt es in dieser Tabelle nicht.");
        return false;
    }
    const ColumnDef& c = m_columns[field];
    if (!v.isValid() || v.isNull()) {
        *stored = c.type == FieldType::Boolean ? QVariant(qint64(0)) : QVariant();
        return true;
    }
    const bool isText = v.typeId() == QMetaType::QString;
    switch (c.type) {
    case FieldType::Boolean:
        if (!isText && (v.typeId() == QMetaType::Bool || v.canConvert<qint64>())) {
            *stored = qint64(v.toBool() ? 1 : 0);
            return true;
        }
        break;
    case FieldType::Date:
        if (v.typeId() == QMetaType::QDate) {
            *stored = v.toDate().toString(QStringLiteral("yyyy-MM-dd"));
            return true;
        }
        break;
    case FieldType::Integer:
    case FieldType::AutoInc:
        if (!isText) {
            *stored = v.toLongLong();
            return true;
        }
        break;
    case FieldType::Float:
    case FieldType::Currency:
        if (!isText) {
            *stored = v.toDouble();
            return true;
        }
        break;
    default:
        break;
    }
    return textToStored(c, v.toString(), stored, error);
}
