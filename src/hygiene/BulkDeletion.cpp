#include "hygiene/BulkDeletion.h"

#include "common/Messages.h"
#include "common/Texts.h"
#include "database/AddressTable.h"
#include "database/Catalogue.h"
#include "database/DatabaseDefinition.h"
#include "database/DatabaseSession.h"
#include "database/SystemColumns.h"
#include "database/TableStore.h"

#include <QDir>
#include <QFile>

namespace BulkDeletion {

qint64 deleteByFlag(AddressTable* table, const QString& flagField, const Progress& feedback,
                    QString* error) {
    if (!table || !table->isOpen())
        return 0;
    // The grid ends unfiltered on its first record; the deletion runs on the store.
    table->setFiltered(false);
    TableStore* store = table->store();
    const std::vector<qint64> ids =
        store->tableIds(store->conditionFromFilter(flagField + QStringLiteral("='True'")));
    ProgressFn progress;
    if (feedback.status)
        progress = [&feedback](qint64 done, qint64) {
            feedback.text(QStringLiteral("Delete: ") + QString::number(done));
        };
    QString failure;
    table->cancel();
    const qint64 deleted = store->deleteManyRecords(ids, progress, &failure);
    table->first();
    feedback.clear();
    if (deleted < 0 && error)
        *error = QStringLiteral("Die Datensätze konnten nicht gelöscht werden: ") + failure;
    return deleted;
}

namespace {

bool deleteFlagged(DatabaseSession& session, Messages& messages, const Progress& feedback,
                   const QString& question, const QString& flagField) {
    if (!messages.destructiveQuestion(question))
        return false;
    AddressTable* table = session.currentTable();
    if (!table) {
        messages.information(Texts::openDatabaseFirst());
        return false;
    }
    QString error;
    qint64 deleted;
    {
        BusyScope busy(feedback);
        deleted = deleteByFlag(table, flagField, feedback, &error);
    }
    if (deleted < 0) {
        messages.error(error);
        return false;
    }
    return true;
}

} // namespace

bool deleteAllMarked(DatabaseSession& session, Messages& messages, const Progress& feedback) {
    return deleteFlagged(session, messages, feedback,
                         QStringLiteral("Wollen Sie wirklich alle markierten Datensätze löschen?"),
                         SystemColumns::Selected);
}

bool deleteAllInvalid(DatabaseSession& session, Messages& messages, const Progress& feedback) {
    return deleteFlagged(session, messages, feedback,
                         QStringLiteral("Wollen Sie wirklich alle invaliden Datensätze löschen?"),
                         SystemColumns::Invalid);
}

bool emptyDatabase(DatabaseSession& session, Messages& messages, const Progress& feedback) {
    if (!session.hasOpenTable()) {
        messages.information(Texts::openDatabaseFirst());
        return false;
    }
    if (!messages.destructiveQuestion(
            QStringLiteral("Datenbank komplett leeren? Alle Datensätze gehen dabei verloren!")))
        return false;
    if (!messages.destructiveQuestion(
            QStringLiteral("Wollen Sie wirklich alle Datensätze in dieser Datenbank löschen?")))
        return false;

    BusyScope busy(feedback);
    const QString tablePath = session.currentTablePath();
    // The database is reopened under the definition it was opened with; its grid
    // layout carries the definition's base name (the main window saves it there
    // while the database closes, so it is removed afterwards).
    const QString definitionName = session.definitionName();
    const QString dataFolder = session.dataFolder();
    const QString layoutName = session.definitionBaseName() + QStringLiteral(".grd");

    CloseDatabase(session);

    bool removed = true;
    if (!tablePath.isEmpty()) {
        for (const char* suffix : {"-wal", "-shm", "-journal"})
            QFile::remove(tablePath + QLatin1String(suffix));
        removed = QFile::remove(tablePath) || !QFile::exists(tablePath);
    }
    const QString layoutPath = resolveDataFile(dataFolder, layoutName);
    if (!layoutPath.isEmpty())
        QFile::remove(layoutPath);
    if (!removed)
        messages.error(QStringLiteral("Die Tabellendatei \"%1\" kann nicht gelöscht werden. Die "
                                      "Datenbank wurde nicht geleert.")
                           .arg(QDir::toNativeSeparators(tablePath)));

    const bool reopened = OpenDatabase(session, definitionName, messages);
    return removed && reopened;
}

} // namespace BulkDeletion
