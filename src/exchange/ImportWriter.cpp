#include "exchange/ImportWriter.h"

#include "common/ControlCharacters.h"
#include "common/Messages.h"
#include "database/AddressTable.h"
#include "database/RowBatch.h"
#include "database/SystemColumns.h"

#include <condition_variable>
#include <mutex>
#include <thread>

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

namespace {

// The next batch, handed from the thread that reads the source to the one that stores:
// one slot, filled only when empty, so reading runs at most one batch ahead of storing.
struct Handover {
    std::mutex mutex;
    std::condition_variable changed;
    bool full = false;
    bool last = false; // the batch in the slot is the source's last
    bool stop = false; // the storing side gave up
    RowBatch batch;
    QString text; // the progress text once the batch is stored
};

} // namespace

bool ImportWriter::run(const Source& source, const std::function<QString()>& progressText,
                       const std::function<QString()>& position, const Progress& progress,
                       Messages& messages) {
    m_imported = 0;
    if (!m_table || !m_table->isOpen())
        return false;
    TableStore* store = m_table->store();
    const QList<ColumnDef>& columns = store->columns();
    const int fieldCount = int(columns.size());
    const int rowid = store->rowidColumn();

    // Field positions once, not per record.
    QList<int> targets;
    for (const QString& name : m_options.fieldNames)
        targets << store->fieldIndex(name);
    const int fixedIndex = m_options.fixedEntry ? store->fieldIndex(m_options.fixedField) : -1;
    const QString fixedValue = m_options.fixedValue.trimmed();
    const int selected = store->fieldIndex(SystemColumns::Selected);
    // A new record is marked, not invalid; LetztesMail stays empty: it has never been
    // sent anything. A field given no text keeps this.
    auto putDefault = [&](RowBatch& rows, int index) {
        if (index == selected)
            rows.setInteger(index, 1);
        else if (columns[index].type == FieldType::Boolean)
            rows.setInteger(index, 0);
        else
            rows.setNull(index);
    };

    // Everything below up to the batch runs on the reading thread; the schema and the
    // conversions it uses do not change while the import runs.
    QString failure;
    auto addRow = [&](RowBatch& rows, const QStringList& texts) {
        rows.addRow();
        for (int i = 0; i < fieldCount; ++i)
            if (i != rowid)
                putDefault(rows, i);
        auto put = [&](int index, const QString& text) -> bool {
            if (index < 0 || index >= fieldCount || index == rowid)
                return true;
            if (text.isEmpty()) {
                putDefault(rows, index);
                return true;
            }
            const ColumnDef& c = columns[index];
            if (c.type == FieldType::String || c.type == FieldType::Memo) {
                // A line break or other control character would forge lines in the
                // exports and lists made from this record; a TAB is text.
                if (ControlCharacters::contains(text))
                    rows.setText(index, ControlCharacters::blanked(text, true));
                else
                    rows.setText(index, text);
                return true;
            }
            QVariant stored;
            QString why;
            if (!store->toStored(index, text, &stored, &why)) {
                failure = position() + QStringLiteral(", Feld \"") + c.name +
                          QStringLiteral("\": ") + why;
                return false;
            }
            rows.setValue(index, stored);
            return true;
        };
        bool ok = true;
        for (int k = 0; ok && k < targets.size(); ++k)
            if (targets[k] != fixedIndex)
                ok = put(targets[k], k < texts.size() ? texts[k] : QString());
        if (ok && fixedIndex >= 0)
            ok = put(fixedIndex, fixedValue);
        for (int i = 0; ok && i < fieldCount; ++i) {
            const ColumnDef& c = columns[i];
            if (c.required && c.type != FieldType::AutoInc && i != rowid &&
                rows.cell(rows.rows() - 1, i).kind == RowBatch::Kind::Null) {
                failure = position() + QStringLiteral(": Das Feld \"") + c.name +
                          QStringLiteral("\" muss einen Wert enthalten.");
                ok = false;
            }
        }
        if (!ok)
            rows.dropRow();
        return ok;
    };

    // The source is read and converted on a thread of its own while this one stores the
    // batch before: on two cores an import takes little more than its storing.
    Handover handover;
    std::thread reader([&] {
        QStringList texts;
        RowBatch rows;
        bool more = true;
        while (more) {
            {
                std::unique_lock lock(handover.mutex);
                handover.changed.wait(lock, [&] { return !handover.full || handover.stop; });
                if (handover.stop)
                    return;
            }
            rows.reset(fieldCount);
            while (rows.rows() < TableStore::appendBatchRows) {
                texts.clear();
                if (!source(texts, &failure) || !addRow(rows, texts)) {
                    more = false;
                    break;
                }
            }
            const QString text = progressText();
            std::lock_guard lock(handover.mutex);
            std::swap(handover.batch, rows);
            handover.text = text;
            handover.last = !more;
            handover.full = true;
            handover.changed.notify_all();
        }
    });
    QString shownText;
    bool ended = false;
    auto nextBatch = [&](RowBatch& batch) {
        if (ended)
            return false;
        std::unique_lock lock(handover.mutex);
        handover.changed.wait(lock, [&] { return handover.full; });
        std::swap(batch, handover.batch);
        shownText = handover.text;
        ended = handover.last;
        handover.full = false;
        handover.changed.notify_all();
        return !batch.isEmpty() || !ended;
    };

    QString storeError;
    qint64 committed = 0;
    const qint64 present = qint64(store->tableIds().size());
    const bool deferIndexes = m_expected >= kDeferIndexesFrom && m_expected * 10 >= present;
    const qint64 added = m_table->appendBatches(
        nextBatch,
        [&](qint64 done, qint64) {
            committed = done;
            progress.text(shownText);
        },
        &storeError, deferIndexes);
    {
        std::lock_guard lock(handover.mutex);
        handover.stop = true;
        handover.changed.notify_all();
    }
    reader.join();
    // After a refused batch the ones committed before it stay in the table.
    m_imported = added < 0 ? committed : added;
    if (added < 0 || !failure.isEmpty()) {
        messages.error(abortedText(failure.isEmpty() ? storeError : failure, m_imported));
        return false;
    }
    return true;
}
