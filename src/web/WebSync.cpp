#include "web/WebSync.h"

#include "common/ControlCharacters.h"
#include "common/TextFile.h"
#include "common/Words.h"
#include "database/ColumnScan.h"
#include "database/SqlSupport.h"
#include "database/SystemColumns.h"
#include "database/TableStore.h"

#include <sqlite3.h>

#include <QHash>
#include <algorithm>

namespace WebSync {

namespace {

const QString bar = QStringLiteral("|");

QString keyOf(const QString& line) {
    return ExtractWord(1, line, bar).toLower();
}

bool addressChar(QChar c) {
    const char16_t u = c.unicode();
    return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '-' ||
           u == '.' || u == '_';
}

// Why a fetched line is not taken; empty when it is fine.
QString lineFault(const QString& line) {
    if (line.size() > maxLineLength)
        return QStringLiteral("zu lang");
    if (line.count(QChar('|')) + 1 > maxFields)
        return QStringLiteral("zu viele Felder");
    for (const QChar c : line) {
        if (c == QChar(0xFFFD))
            return QStringLiteral("unlesbare Zeichen");
        if (c != QChar('\t') && ControlCharacters::contains(QString(c)))
            return QStringLiteral("Steuerzeichen");
    }
    return {};
}

} // namespace

QString ordersAddress(const QString& serverPath, const QString& syncPassword) {
    return syncPassword.isEmpty()
               ? serverPath + QStringLiteral("email_list_in.txt")
               : serverPath + QStringLiteral("email_list_in.php?password=") + syncPassword;
}

QString cancellationsAddress(const QString& serverPath, const QString& syncPassword) {
    return syncPassword.isEmpty()
               ? serverPath + QStringLiteral("email_list_out.txt")
               : serverPath + QStringLiteral("email_list_out.php?password=") + syncPassword;
}

QStringList listLines(const QByteArray& body, QStringList* rejectedLines) {
    const QString text = TextFile::decode(body);
    QStringList out;
    const QStringList raw = text.split(QChar('\n'));
    out.reserve(raw.size());
    for (const QString& r : raw) {
        QString line = r.trimmed();
        line.remove(QStringLiteral("\\\\240"));
        line.remove(QChar('\\'));
        if (line.isEmpty())
            continue;
        const QString fault = lineFault(line);
        if (!fault.isEmpty()) {
            if (rejectedLines) {
                QString shown = ControlCharacters::blanked(line.left(maxLineLength));
                rejectedLines->append(fault + QStringLiteral(": ") + shown);
            }
            continue;
        }
        out.append(line);
    }
    return out;
}

bool looksLikeHtml(const QStringList& lines) {
    return std::any_of(lines.begin(), lines.end(), [](const QString& l) {
        return l.contains(QChar('<')) && l.contains(QChar('>'));
    });
}

bool accessDenied(const QStringList& lines) {
    return std::any_of(lines.begin(), lines.end(), [](const QString& l) {
        return l.contains(QStringLiteral("Access denied"));
    });
}

bool isListEntryAddress(const QString& text) {
    const qsizetype at = text.indexOf(QChar('@'));
    if (at < 0 || text.contains(QStringLiteral("..")))
        return false;
    const QStringView local = QStringView(text).left(at);
    const QStringView domain = QStringView(text).mid(at + 1);
    if (local.isEmpty() || domain.size() <= 3)
        return false;
    const qsizetype dot = domain.indexOf(QChar('.'));
    if (dot < 0 || domain.size() - dot - 1 < 2)
        return false;
    return std::all_of(local.begin(), local.end(), addressChar) &&
           std::all_of(domain.begin(), domain.end(), addressChar);
}

int percent(qint64 n, qint64 total) {
    if (total <= 0)
        return 0;
    const qint64 scaled = n * 100;
    qint64 q = scaled / total;
    const qint64 twice = (scaled % total) * 2;
    if (twice > total || (twice == total && (q % 2) == 1))
        ++q;
    return int(q);
}

bool isCancellation(const QString& line) {
    return WordCount(line, bar) == 2;
}

namespace {

// The sorted lines that survive the address check and the last-line-per-address rule,
// with their lower-cased addresses.
struct Survivors {
    qint64 total = 0;
    QStringList lines;
    QStringList keys;
};

Survivors survivors(const QStringList& orders, const QStringList& cancellations) {
    Survivors s;
    QStringList all = orders + cancellations;
    s.total = all.size();
    std::stable_sort(all.begin(), all.end(), [](const QString& x, const QString& y) {
        return QString::compare(x, y, Qt::CaseInsensitive) < 0;
    });
    QStringList keys;
    keys.reserve(all.size());
    for (const QString& l : all)
        keys.append(keyOf(l));
    for (qsizetype i = 0; i < all.size(); ++i) {
        if (!isListEntryAddress(keys[i]))
            continue;
        const bool last = i + 1 == all.size();
        if (!last && (keys[i + 1].isEmpty() || keys[i + 1] == keys[i]))
            continue;
        s.lines.append(all[i]);
        s.keys.append(keys[i]);
    }
    return s;
}

Analysis classify(const Survivors& s, const QSet<QString>& lookup) {
    Analysis a;
    a.total = s.total;
    for (qsizetype i = 0; i < s.lines.size(); ++i) {
        const QString& line = s.lines[i];
        const bool cancellation = isCancellation(line);
        if (cancellation != lookup.contains(s.keys[i]))
            continue;
        a.newLines.append(line);
        const QString address = ExtractWord(1, line, bar).trimmed();
        if (cancellation) {
            ++a.newCancellations;
            a.checkEntries.append(QStringLiteral("Abbestellung | ") + address);
        } else {
            ++a.newOrders;
            a.checkEntries.append(QStringLiteral("Bestellung | ") + address);
        }
    }
    return a;
}

} // namespace

QSet<QString> knownAddresses(const TableStore& table, const QStringList& keys) {
    QSet<QString> known;
    const int mail = table.fieldIndex(SystemColumns::Mail);
    sqlite3* db = table.handle();
    if (mail < 0 || !db)
        return known;
    // The keys are bound as values, a few hundred per statement; the Mail index (built
    // with the table's case-blind collation) answers each group.
    const qsizetype group = 500;
    for (qsizetype i = 0; i < keys.size(); i += group) {
        const QStringList part = keys.mid(i, group);
        const RecordCondition cond = ColumnScan::equalsAnyIgnoringCase(table, mail, part);
        const QByteArray sql =
            (QStringLiteral("SELECT ") + SqlSupport::quoteIdent(table.fieldName(mail)) +
             QStringLiteral(" FROM ") + QLatin1String(TableStore::tableName()) +
             QStringLiteral(" WHERE ") + cond.sql)
                .toUtf8();
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &stmt, nullptr) != SQLITE_OK) {
            sqlite3_finalize(stmt);
            continue;
        }
        SqlSupport::bindAll(stmt, cond.params);
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
            if (text)
                known.insert(QString::fromUtf8(text, sqlite3_column_bytes(stmt, 0)).toLower());
        }
        sqlite3_finalize(stmt);
    }
    return known;
}

Analysis analyse(const QStringList& orders, const QStringList& cancellations,
                 const QSet<QString>& lookup) {
    return classify(survivors(orders, cancellations), lookup);
}

Analysis analyse(const QStringList& orders, const QStringList& cancellations,
                 const TableStore& table) {
    const Survivors s = survivors(orders, cancellations);
    return classify(s, knownAddresses(table, s.keys));
}

QString totalText(const Analysis& a) {
    return QStringLiteral("Gesamteinträge: 100% (") + QString::number(a.total) +
           QStringLiteral(" Stück)");
}

QString ordersText(const Analysis& a) {
    return QStringLiteral("Davon neue Bestellungen: ") +
           QString::number(percent(a.newOrders, a.total)) + QStringLiteral("% (") +
           QString::number(a.newOrders) + QStringLiteral(" Stück)");
}

QString cancellationsText(const Analysis& a) {
    return QStringLiteral("Davon neue Abbestellungen: ") +
           QString::number(percent(a.newCancellations, a.total)) + QStringLiteral("% (") +
           QString::number(a.newCancellations) + QStringLiteral(" Stück)");
}

QStringList confirmedLines(const QStringList& resultLines, const QStringList& checkedEntries) {
    QHash<QString, QList<qsizetype>> byAddress;
    for (qsizetype i = 0; i < resultLines.size(); ++i)
        byAddress[ExtractWord(1, resultLines[i], bar).trimmed().toLower()].append(i);
    QStringList out;
    QSet<QString> taken;
    for (const QString& entry : checkedEntries) {
        const QString address = ExtractWord(2, entry, bar).trimmed().toLower();
        if (address.isEmpty() || taken.contains(address))
            continue;
        taken.insert(address);
        for (qsizetype i : byAddress.value(address))
            out.append(resultLines[i]);
    }
    return out;
}

ApplyResult apply(TableStore& table, const QStringList& lines, bool onlyInvalid,
                  const ProgressFn& progress) {
    ApplyResult r;
    const QList<ColumnDef>& columns = table.columns();
    const int fieldCount = int(columns.size());
    const int mail = table.fieldIndex(SystemColumns::Mail);
    if (mail < 0) {
        r.ok = false;
        r.error = QStringLiteral("Die Tabelle hat keine Spalte \"Mail\".");
        return r;
    }
    // A visitor's pairs never set the columns the program keeps itself, nor the address.
    QSet<int> closed{mail, table.rowidColumn()};
    for (const QString& name : {SystemColumns::ID, SystemColumns::Selected, SystemColumns::Invalid,
                                SystemColumns::LetztesMail})
        closed.insert(table.fieldIndex(name));
    QVariantList defaults;
    for (const ColumnDef& c : columns)
        defaults << (c.type == FieldType::Boolean ? QVariant(false) : QVariant());

    QStringList cancellations;
    std::vector<QVariantList> rows;
    auto refuse = [&](const QString& line, const QString& why) {
        r.refused.append(line + QStringLiteral(" (") + why + QChar(')'));
    };
    auto blank = [](QString v) { return v.replace(QChar('_'), QChar(' ')); };

    for (const QString& original : lines) {
        QString line = original;
        line.replace(QChar(' '), QChar('_'));
        const QStringList f = line.split(QChar('|'));
        const QString address = f[0].trimmed();
        if (!isListEntryAddress(address)) {
            refuse(original, QStringLiteral("ungültige E-Mail-Adresse"));
            continue;
        }
        if (f.size() == 2) {
            cancellations.append(address);
            continue;
        }
        if (f.size() < 5) {
            refuse(original, QStringLiteral("weniger als fünf Felder"));
            continue;
        }
        QVariantList row = defaults;
        QString fault;
        auto put = [&](int index, const QString& text) {
            if (index < 0 || index >= fieldCount || !fault.isEmpty())
                return;
            const ColumnDef& c = columns[index];
            if (text.isEmpty()) {
                row[index] = defaults[index];
            } else if (c.type == FieldType::String || c.type == FieldType::Memo) {
                row[index] = ControlCharacters::blanked(text);
            } else {
                QVariant stored;
                QString why;
                if (!table.toStored(index, text, &stored, &why))
                    fault = QStringLiteral("Feld \"") + c.name + QStringLiteral("\": ") + why;
                else
                    row[index] = stored;
            }
        };
        row[mail] = address;
        put(table.fieldIndex(QStringLiteral("Anrede")), blank(f[2]));
        put(table.fieldIndex(QStringLiteral("Betreff")), blank(f[3]));
        put(table.fieldIndex(QStringLiteral("Name")), blank(f[4]));
        for (qsizetype k = 5; k + 1 < f.size() && fault.isEmpty(); ++k) {
            const qsizetype eq = f[k].indexOf(QChar('='));
            // A field without "=" names no column (the site may keep a time stamp
            // there); like one with an empty name it sets nothing.
            if (eq <= 0)
                continue;
            const QString name = f[k].left(eq);
            const int index = table.fieldIndex(name);
            if (index < 0 || closed.contains(index))
                continue;
            QString value = f[k].mid(eq + 1);
            value.remove(QChar('='));
            value.remove(QChar('"'));
            put(index, blank(value));
        }
        for (int i = 0; i < fieldCount && fault.isEmpty(); ++i) {
            const ColumnDef& c = columns[i];
            if (c.required && c.type != FieldType::AutoInc && i != table.rowidColumn() &&
                (row[i].isNull() ||
                 (row[i].typeId() == QMetaType::QString && row[i].toString().isEmpty())))
                fault = QStringLiteral("Das Feld \"") + c.name +
                        QStringLiteral("\" muss einen Wert enthalten.");
        }
        if (!fault.isEmpty()) {
            refuse(original, fault);
            continue;
        }
        rows.push_back(std::move(row));
    }

    const qint64 steps = qint64(cancellations.size()) + qint64(rows.size());
    // Cancellations: the records of each address, found with the addresses bound as
    // values in groups, then changed or deleted in batches.
    if (!cancellations.isEmpty()) {
        std::vector<qint64> ids;
        {
            ColumnScan::GroupFinder finder(table, mail);
            const qsizetype group = 200;
            for (qsizetype i = 0; i < cancellations.size(); i += group) {
                const std::vector<qint64> found = finder.ids(cancellations.mid(i, group));
                ids.insert(ids.end(), found.begin(), found.end());
                if (progress)
                    progress(std::min<qint64>(i + group, cancellations.size()), steps);
            }
        }
        std::sort(ids.begin(), ids.end());
        ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
        QString error;
        const qint64 n =
            onlyInvalid ? table.updateRecords(ids, {{SystemColumns::Invalid, true}}, {}, {}, &error)
                        : table.deleteManyRecords(ids, {}, &error);
        if (n < 0) {
            r.ok = false;
            r.error = error;
            return r;
        }
        r.cancelled = n;
    }
    if (!rows.empty()) {
        size_t next = 0;
        QString error;
        const qint64 added = table.appendRecords(
            [&](QVariantList& row) {
                if (next >= rows.size())
                    return false;
                row = rows[next++];
                return true;
            },
            [&](qint64 done, qint64) {
                if (progress)
                    progress(qint64(cancellations.size()) + done, steps);
            },
            &error);
        if (added < 0) {
            r.ok = false;
            r.error = error;
            return r;
        }
        r.added = added;
    }
    if (progress)
        progress(steps, steps);
    return r;
}

} // namespace WebSync
