#include "hygiene/AddressCheck.h"

#include "common/Messages.h"
#include "database/AddressTable.h"
#include "database/ColumnScan.h"
#include "database/DatabaseDefinition.h"
#include "hygiene/BulkDeletion.h"
#include "hygiene/EmailAddress.h"

namespace AddressCheck {

qint64 markInvalidAddresses(AddressTable* table, const Feedback& feedback) {
    if (!table || !table->isOpen())
        return 0;
    const int mailColumn = FindMailColumn(table);
    if (mailColumn < 0)
        return -1;

    table->first();
    table->setFilter(QString());
    table->setFiltered(false);
    table->disableControls();
    const std::vector<qint64> ids = table->viewIds();

    // Reset pass: only records flagged now need a write.
    table->updateRecords(ids, {{QStringLiteral("Invalid"), false}},
                         table->conditionFromFilter(QStringLiteral("Invalid='True'")),
                         feedback.counter(QStringLiteral("Unmarkieren: ")));

    // Check pass: the addresses are read in one sweep and judged here.
    const QStringList mails =
        ColumnScan::texts(*table, mailColumn, ids, feedback.counter(QStringLiteral("Checkmail: ")));
    std::vector<qint64> invalid;
    for (size_t i = 0; i < ids.size(); ++i)
        if (!IsValidEmailAddress(mails[qsizetype(i)]))
            invalid.push_back(ids[i]);
    table->updateRecords(invalid, {{QStringLiteral("Invalid"), true}});

    table->first();
    table->setFiltered(false);
    table->enableControls();
    feedback.clear();
    return qint64(invalid.size());
}

void run(AddressTable* table, Messages& messages, const Feedback& feedback) {
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
        if (BulkDeletion::deleteByFlag(table, QStringLiteral("Invalid"), feedback, &error) < 0)
            messages.error(error);
    }
    feedback.clear();
    feedback.refreshCount();
}

} // namespace AddressCheck
