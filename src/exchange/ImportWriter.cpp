#include "exchange/ImportWriter.h"

#include "common/ControlCharacters.h"
#include "common/Messages.h"
#include "database/AddressTable.h"
#include "database/SystemColumns.h"

namespace {

// Below this many records rebuilding the indexes costs more than it saves.
constexpr qint64 kDeferIndexesFrom = 20000;

} // namespace

ImportWriter::ImportWriter(AddressTable* table, const ImportOptions& options)
    : m_table(table), m_options(options) {}

QString ImportWriter::abortedText(const QString& reason, qint64 imported) {
    const QString count = imported == 1
                              ? QStringLiteral("1 Datensatz wurde importiert.")
                              : QStringLiteral("%1 Datensätze wurden importiert.").arg(imported);
    return QStringLiteral("Der Import wurde abgebrochen: ") + reason + QStringLiteral("\r") + count;
}

bool ImportWriter::run(const Source& source, const std::function<QString()>& progressText,
                       const std::function<QString()>& position, const Progress& progress,
                       Messages& messages) {
    m_imported = 0;
    if (!m_table || !m_table->isOpen())
        return false;
    TableStore* store = m_table->store();
    const QList<ColumnDef>& columns = store->columns();
    const int fieldCount = int(columns.size());

    // Field positions once, not per record.
    QList<int> targets;
    for (const QString& name : m_options.fieldNames)
        targets << store->fieldIndex(name);
    const int fixedIndex = m_options.fixedEntry ? store->fieldIndex(m_options.fixedField) : -1;
    const QString fixedValue = m_options.fixedValue.trimmed();
    const int selected = store->fieldIndex(SystemColumns::Selected);
    QVariantList defaults;
    for (const ColumnDef& c : columns)
        defaults << (c.type == FieldType::Boolean ? QVariant(false) : QVariant());
    if (selected >= 0)
        defaults[selected] = true;
    // LetztesMail stays empty: the new record has never been sent anything.

    QString failure;
    QStringList texts;
    auto nextRow = [&](QVariantList& row) {
        texts.clear();
        if (!source(texts, &failure))
            return false;
        row = defaults;
        auto put = [&](int index, const QString& text) -> bool {
            if (index < 0 || index >= fieldCount || index == store->rowidColumn())
                return true;
            if (text.isEmpty()) {
                row[index] = defaults[index];
                return true;
            }
            const ColumnDef& c = columns[index];
            if (c.type == FieldType::String || c.type == FieldType::Memo) {
                // A line break or other control character would forge lines in the
                // exports and lists made from this record; a TAB is text.
                row[index] = ControlCharacters::contains(text)
                                 ? ControlCharacters::blanked(text, true)
                                 : text;
                return true;
            }
            QVariant stored;
            QString why;
            if (!store->toStored(index, text, &stored, &why)) {
                failure = position() + QStringLiteral(", Feld \"") + c.name +
                          QStringLiteral("\": ") + why;
                return false;
            }
            row[index] = stored;
            return true;
        };
        for (int k = 0; k < targets.size(); ++k)
            if (targets[k] != fixedIndex &&
                !put(targets[k], k < texts.size() ? texts[k] : QString()))
                return false;
        if (fixedIndex >= 0 && !put(fixedIndex, fixedValue))
            return false;
        for (int i = 0; i < fieldCount; ++i) {
            const ColumnDef& c = columns[i];
            if (c.required && c.type != FieldType::AutoInc && i != store->rowidColumn() &&
                (row[i].isNull() ||
                 (row[i].typeId() == QMetaType::QString && row[i].toString().isEmpty()))) {
                failure = position() + QStringLiteral(": Das Feld \"") + c.name +
                          QStringLiteral("\" muss einen Wert enthalten.");
                return false;
            }
        }
        return true;
    };

    QString storeError;
    qint64 committed = 0;
    const qint64 present = qint64(store->tableIds().size());
    const bool deferIndexes = m_expected >= kDeferIndexesFrom && m_expected * 10 >= present;
    const qint64 added = m_table->appendRecords(
        nextRow,
        [&](qint64 done, qint64) {
            committed = done;
            progress.text(progressText());
        },
        &storeError, deferIndexes);
    // After a refused batch the ones committed before it stay in the table.
    m_imported = added < 0 ? committed : added;
    if (added < 0 || !failure.isEmpty()) {
        messages.error(abortedText(failure.isEmpty() ? storeError : failure, m_imported));
        return false;
    }
    return true;
}
