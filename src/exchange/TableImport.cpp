#include "exchange/TableImport.h"

#include "common/Messages.h"
#include "exchange/ForeignTable.h"
#include "exchange/ImportWriter.h"

bool ImportDataBase(const QString& path, const ImportOptions& options, AddressTable* table,
                    Messages& messages, const Progress& progress, qint64* imported) {
    if (imported)
        *imported = 0;
    BusyScope busy(progress);
    std::unique_ptr<ForeignTable> source = ForeignTable::open(path);
    if (!source) {
        messages.error(QStringLiteral("Ungültiges Datenbankformat!"));
        return false;
    }
    progress.clear();
    const int total = source->recordCount();
    int k = -1;
    // The blacklist, the quote, the header line and the fixed entry belong to the text
    // import only.
    ImportOptions tableOptions = options;
    tableOptions.fixedEntry = false;
    auto next = [&](QStringList& texts, QString* failure) {
        while (++k < total) {
            if (!source->read(k)) {
                *failure = source->error();
                return false;
            }
            if (source->isDeleted())
                continue; // a deleted dBase record is no longer part of the table
            for (int column : options.columns)
                texts << source->text(column);
            return true;
        }
        return false;
    };
    ImportWriter writer(table, tableOptions);
    writer.setExpectedRecords(total);
    const bool ok = writer.run(
        next,
        [&] {
            return QStringLiteral("Import: ") +
                   QString::number(std::clamp(k, 0, std::max(total - 1, 0))) +
                   QStringLiteral(" von ") + QString::number(total);
        },
        [&] { return QStringLiteral("Datensatz %1").arg(k + 1); }, progress, messages);
    progress.clear();
    if (imported)
        *imported = writer.imported();
    return ok;
}
