#include "exchange/ImportRun.h"

#include "common/Messages.h"
#include "common/Texts.h"
#include "database/AddressTable.h"
#include "database/DatabaseSession.h"
#include "exchange/ImportMapping.h"
#include "exchange/ImportWriter.h"
#include "exchange/TableImport.h"
#include "exchange/TextImport.h"

#include <QFileInfo>

namespace ImportRun {

bool isTableFile(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toUpper();
    return suffix == QStringLiteral("DB") || suffix == QStringLiteral("DBF");
}

int firstInvalidColumn(const QStringList& columnTexts) {
    for (int i = 0; i < columnTexts.size(); ++i)
        if (ImportMapping::parseColumn(columnTexts[i]) < 0)
            return i;
    return -1;
}

QString invalidColumnText(const QString& caption, const QString& typed) {
    return QStringLiteral("Im Feld \"%1\" steht \"%2\": Geben Sie die Spaltennummer als ganze "
                          "Zahl ein (0 für nicht vorhandene Spalten). Es wurde nichts importiert.")
        .arg(caption, typed);
}

bool start(DatabaseSession& session, const QString& path, const ImportOptions& options,
           const QStringList& columnTexts, Messages& messages, const Progress& progress,
           qint64* imported) {
    AddressTable* table = session.currentTable();
    if (!table) {
        messages.information(Texts::openDatabaseFirst());
        return false;
    }
    BusyScope busy(progress);
    if (table->state() != TableView::State::Browse)
        table->post();
    const qint64 current = table->currentId();
    const bool ok = isTableFile(path)
                        ? ImportDataBase(path, options, table, messages, progress, imported)
                        : ImportCVS(path, options, table, messages, progress, imported);
    QString error;
    if (!ImportMapping::write(ImportMapping::path(session), columnTexts, options.delimiter, &error))
        messages.error(error);

    if (!reopenTable(session, current, messages))
        return false;
    return ok;
}

bool appendRows(AddressTable* table, const QStringList& fields, const QList<QStringList>& rows,
                Messages& messages, const Progress& progress, bool trim, qint64* imported) {
    ImportOptions options;
    for (const QString& f : fields)
        options.fieldNames << (f.isEmpty() ? QStringLiteral("\x01") : f); // matches no field
    ImportWriter writer(table, options);
    writer.setExpectedRecords(rows.size());
    qsizetype next = 0;
    const QString total = QString::number(rows.size());
    const bool ok = writer.run(
        [&](QStringList& texts, QString*) {
            if (next >= rows.size())
                return false;
            for (const QString& t : rows[next])
                texts << (trim ? t.trimmed() : t);
            ++next;
            return true;
        },
        [&] {
            return QStringLiteral("Import: ") + QString::number(next) + QStringLiteral(" von ") +
                   total;
        },
        [&] { return QStringLiteral("Datensatz ") + QString::number(next); }, progress, messages);
    progress.clear();
    if (imported)
        *imported = writer.imported();
    return ok;
}

bool reopenTable(DatabaseSession& session, qint64 current, Messages& messages) {
    AddressTable* table = session.currentTable();
    if (!table)
        return false;
    const QString tablePath = table->path();
    const QString filter = table->filter();
    const bool filtered = table->filtered();
    const QString index = table->indexName();
    QString error;
    table->close();
    if (!table->open(tablePath, &error)) {
        messages.error(error);
        return false;
    }
    if (!index.isEmpty())
        table->setIndexName(index);
    if (!filter.isEmpty()) {
        table->setFilter(filter);
        table->setFiltered(filtered);
    }
    table->refresh();
    if (current != 0)
        table->locateId(current);
    return true;
}

} // namespace ImportRun
