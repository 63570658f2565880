#include "exchange/CsvExport.h"

#include "common/TextFile.h"
#include "database/AddressTable.h"
#include "database/TableDefinition.h"
#include "exchange/ExportRows.h"

namespace CsvExport {

int columnWidth(const TableDefinition& definition, const QString& fieldName) {
    const FieldDefinition* f = definition.field(fieldName);
    return (f ? f->size : 0) + 10;
}

bool write(const AddressTable& table, const TableDefinition& definition,
           const CsvExportOptions& options, const QString& path, const Progress& progress,
           QString* error) {
    const TableStore& store = *table.store();
    QList<int> widths;
    for (int f : options.fields)
        widths << columnWidth(definition, store.fieldName(f));

    BusyScope busy(progress);
    TextFile::LineWriter out;
    if (!out.open(path, error))
        return false;
    QString line;
    if (options.header) {
        for (qsizetype i = 0; i < options.fields.size(); ++i)
            line += store.fieldName(options.fields[i]).leftJustified(widths[i]) + options.delimiter;
        if (options.trim) {
            // Only the blanks at the ends go; a delimiter such as TAB stays the last
            // character, like on every other line.
            qsizetype from = 0;
            qsizetype to = line.size();
            while (from < to && line[from] == QChar(' '))
                ++from;
            while (to > from && line[to - 1] == QChar(' '))
                --to;
            line = line.mid(from, to - from);
        }
        out.writeLine(line);
    }

    QList<int> fields = options.fields;
    const int selection = options.onlyMarked ? SelectionColumn(store) : -1;
    if (selection >= 0)
        fields << selection;
    const qsizetype shown = options.fields.size();
    const ExportRows rows(store, fields);
    const bool ok = rows.read(
        table.viewIds(),
        [&](const QStringList& values) {
            if (selection >= 0 && !IsMarkedText(store, selection, values[shown]))
                return true;
            for (qsizetype i = 0; i < shown; ++i) {
                const QString& v = values[i];
                out.append(v);
                if (!options.trim)
                    out.appendBlanks(widths[i] - v.size());
                out.append(options.delimiter);
            }
            return out.endLine();
        },
        progress.counter(QStringLiteral("Export: ")), error);
    progress.clear();
    if (!ok) {
        out.discard();
        return false;
    }
    return out.commit(error);
}

} // namespace CsvExport
