#include "records/Marking.h"

#include "database/AddressTable.h"

namespace {

ProgressFn progressText(const Marking::StatusFn& status, const QString& word) {
    if (!status)
        return {};
    return [status, word](qint64 done, qint64 total) {
        status(word + QString::number(done) + QStringLiteral(" von ") + QString::number(total));
    };
}

void clearStatus(const Marking::StatusFn& status) {
    if (status)
        status(QString());
}

bool usable(const AddressTable* table) {
    return table && table->isOpen();
}

void clearFilter(AddressTable* table) {
    table->setFiltered(false);
    table->setFilter(QString());
}

qint64 setOnTable(AddressTable* table, const char* field, bool value, const RecordCondition& where,
                  const Marking::StatusFn& status, const QString& word) {
    table->disableControls();
    const qint64 changed = table->updateRecords(
        table->viewIds(), {{QString::fromLatin1(field), value}}, where, progressText(status, word));
    table->enableControls();
    clearStatus(status);
    return changed;
}

} // namespace

namespace Marking {

qint64 markAll(AddressTable* table, const StatusFn& status) {
    if (!usable(table))
        return 0;
    return setOnTable(table, "Selected", true, {}, status, QStringLiteral("Markieren: "));
}

qint64 unmarkAll(AddressTable* table, const StatusFn& status) {
    if (!usable(table))
        return 0;
    const auto keep = table->bookmark();
    clearFilter(table);
    const qint64 changed =
        setOnTable(table, "Selected", false, {}, status, QStringLiteral("Unmarkieren: "));
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

qint64 markIdRange(AddressTable* table, qint64 low, qint64 high, const StatusFn& status) {
    if (!usable(table))
        return 0;
    clearFilter(table);
    const qint64 changed = setOnTable(table, "Selected", true,
                                      table->conditionFieldBetween(QStringLiteral("ID"), low, high),
                                      status, QStringLiteral("Record: "));
    table->refresh();
    table->first();
    return changed;
}

qint64 markByText(AddressTable* table, const QString& text, const StatusFn& status) {
    if (!usable(table))
        return 0;
    table->disableControls();
    const qint64 changed =
        table->updateRecords(table->viewIds(true), {{QStringLiteral("Selected"), true}},
                             table->conditionAnyFieldContains(text),
                             progressText(status, QStringLiteral("Markieren: ")));
    table->enableControls();
    clearStatus(status);
    return changed;
}

qint64 resetInvalid(AddressTable* table, const StatusFn& status) {
    if (!usable(table))
        return 0;
    clearFilter(table);
    table->first();
    const qint64 changed =
        setOnTable(table, "Invalid", false, {}, status, QStringLiteral("Zurücksetzen: "));
    table->first();
    return changed;
}

qint64 countMarked(const AddressTable* table) {
    if (!usable(table))
        return 0;
    return qint64(
        table->tableIds(table->conditionFromFilter(QStringLiteral("Selected='True'"))).size());
}

} // namespace Marking
