#include "records/Marking.h"

#include "database/AddressTable.h"
#include "database/SystemColumns.h"

namespace {

bool usable(const AddressTable* table) {
    return table && table->isOpen();
}

void clearFilter(AddressTable* table) {
    table->setFiltered(false);
    table->setFilter(QString());
}

// One set operation on the store over ids; the views, the grid's included, follow the
// store's notification.
qint64 setOnRecords(AddressTable* table, const std::vector<qint64>& ids, const QString& field,
                    bool value, const RecordCondition& where, const Progress& status,
                    const QString& word) {
    if (table->state() != AddressTable::State::Browse)
        table->post();
    const qint64 changed =
        table->store()->updateRecords(ids, {{field, value}}, where, status.counter(word));
    status.clear();
    return changed;
}

} // namespace

namespace Marking {

qint64 markAll(AddressTable* table, const Progress& status) {
    if (!usable(table))
        return 0;
    return setOnRecords(table, table->viewIds(), SystemColumns::Selected, true, {}, status,
                        QStringLiteral("Markieren: "));
}

qint64 unmarkAll(AddressTable* table, const Progress& status) {
    if (!usable(table))
        return 0;
    const auto keep = table->bookmark();
    clearFilter(table);
    const qint64 changed = setOnRecords(table, table->store()->tableIds(), SystemColumns::Selected,
                                        false, {}, status, QStringLiteral("Unmarkieren: "));
    table->gotoBookmark(keep);
    return changed;
}

bool parseIdRange(const QString& startText, const QString& endText, qint64* low, qint64* high,
                  QString* error) {
    auto parse = [&](const QString& text, const QString& label, qint64* out) {
        QString t = text;
        t.remove(QChar(' '));
        if (t.isEmpty()) {
            *error = QStringLiteral("Bitte geben Sie eine %1 ein!").arg(label);
            return false;
        }
        bool ok = false;
        *out = t.toLongLong(&ok);
        if (!ok || t.size() > 11 || *out < 0) {
            *error =
                QStringLiteral("Die %1 \"%2\" ist keine gültige Zahl!").arg(label, text.trimmed());
            return false;
        }
        return true;
    };
    return parse(startText, QStringLiteral("Start ID"), low) &&
           parse(endText, QStringLiteral("End ID"), high);
}

qint64 markIdRange(AddressTable* table, qint64 low, qint64 high, const Progress& status) {
    if (!usable(table))
        return 0;
    clearFilter(table);
    const qint64 changed =
        setOnRecords(table, table->store()->tableIds(), SystemColumns::Selected, true,
                     table->conditionFieldBetween(SystemColumns::ID, low, high), status,
                     QStringLiteral("Record: "));
    table->first();
    return changed;
}

qint64 markByText(AddressTable* table, const QString& text, const Progress& status) {
    if (!usable(table))
        return 0;
    return setOnRecords(table, table->viewIds(true), SystemColumns::Selected, true,
                        table->conditionAnyFieldContains(text), status,
                        QStringLiteral("Markieren: "));
}

qint64 resetInvalid(AddressTable* table, const Progress& status) {
    if (!usable(table))
        return 0;
    clearFilter(table);
    const qint64 changed = setOnRecords(table, table->store()->tableIds(), SystemColumns::Invalid,
                                        false, {}, status, QStringLiteral("Zurücksetzen: "));
    table->first();
    return changed;
}

qint64 countMarked(const AddressTable* table) {
    if (!usable(table))
        return 0;
    const TableStore* store = table->store();
    return qint64(store->tableIds(store->conditionFromFilter(SystemColumns::markedFilter)).size());
}

} // namespace Marking
