#include "hygiene/AddressCheck.h"

#include "common/Messages.h"
#include "database/AddressTable.h"
#include "database/ColumnScan.h"
#include "database/DatabaseDefinition.h"
#include "database/SystemColumns.h"
#include "database/TableStore.h"
#include "hygiene/BulkDeletion.h"
#include "hygiene/EmailAddress.h"

namespace AddressCheck {

qint64 markInvalidAddresses(AddressTable* table, const Progress& feedback) {
    if (!table || !table->isOpen())
        return 0;
    const int mailColumn = FindMailColumn(table);
    if (mailColumn < 0)
        return -1;

    // The grid ends unfiltered on its first record; the work runs on the store over a
    // snapshot of every id.
    table->setFiltered(false);
    table->setFilter(QString());
    TableStore* store = table->store();
    const std::vector<qint64> ids = store->tableIds();

    // Reset pass: only records flagged now need a write.
    store->updateRecords(ids, {{SystemColumns::Invalid, false}},
                         store->conditionFromFilter(SystemColumns::invalidFilter),
                         feedback.counter(QStringLiteral("Unmarkieren: ")));

    // Check pass: the addresses are read in one sweep and judged here.
    const QStringList mails =
        ColumnScan::texts(*store, mailColumn, ids, feedback.counter(QStringLiteral("Checkmail: ")));
    std::vector<qint64> invalid;
    for (size_t i = 0; i < ids.size(); ++i)
        if (!IsValidEmailAddress(mails[qsizetype(i)]))
            invalid.push_back(ids[i]);
    store->updateRecords(invalid, {{SystemColumns::Invalid, true}});
    table->first();
    feedback.clear();
    return qint64(invalid.size());
}

void run(AddressTable* table, Messages& messages, const Progress& feedback) {
    if (!table || !table->isOpen())
        return;
    qint64 count;
    {
        BusyScope busy(feedback);
        count = markInvalidAddresses(table, feedback);
    }
    if (count < 0) {
        messages.error(QStringLiteral("Die Tabelle hat keine Spalte \"Mail\". Die "
                                      "E-Mail-Adressen können nicht geprüft werden."));
        return;
    }
    messages.information(QStringLiteral("Prüfung ist abgeschlossen! ") + QString::number(count) +
                         QStringLiteral(" ungültige (invalid) E-Mail-Adressen wurden markiert!"));
    if (count != 0 && messages.destructiveQuestion(
                          QStringLiteral("Wollen Sie alle ungültigen E-Mail-Adressen löschen?"))) {
        BusyScope busy(feedback);
        QString error;
        if (BulkDeletion::deleteByFlag(table, SystemColumns::Invalid, feedback, &error) < 0)
            messages.error(error);
    }
    feedback.clear();
}

} // namespace AddressCheck
