#pragma once
#include "common/Progress.h"
#include "exchange/ImportOptions.h"

#include <QString>
#include <QStringList>
#include <QVariantList>
#include <functional>

class AddressTable;
class Messages;

// Appends the records of an import to the table as one batched operation of the table
// store, committed batch by batch: a failure keeps every finished batch. Each new
// record is marked (Selected), has no last mail date and is not invalid; the target
// fields get the texts the source gives them.
class ImportWriter {
public:
    ImportWriter(AddressTable* table, const ImportOptions& options);

    // Gives the next record's texts, one per target field (empty where nothing goes),
    // and returns true; or returns false when the source has ended. On a failure of the
    // source it sets *failure (German) and returns false. The source, progressText and
    // position are called on a reading thread of their own, one batch ahead of the
    // storing: they must not touch the table or a window.
    using Source = std::function<bool(QStringList& texts, QString* failure)>;

    // Runs the import. progressText gives the status text shown after each batch,
    // position where in the source the last record came from ("Zeile 17"). Returns true
    // when the source ran to its end and everything was stored; otherwise shows the
    // reason and how many records were imported, and returns false.
    bool run(const Source& source, const std::function<QString()>& progressText,
             const std::function<QString()>& position, const Progress& progress,
             Messages& messages);

    qint64 imported() const { return m_imported; }
    // How many records the source may give at most. A large import into a table that
    // is small beside it builds the table's indexes once at the end instead of record
    // by record, which is several times faster.
    void setExpectedRecords(qint64 n) { m_expected = n; }

    // "Der Import wurde abgebrochen: ..." with the count of imported records.
    static QString abortedText(const QString& reason, qint64 imported);

private:
    AddressTable* m_table;
    const ImportOptions& m_options;
    qint64 m_imported = 0;
    qint64 m_expected = 0;
};
