#pragma once
#include "common/Progress.h"
#include "exchange/ExportRows.h"

#include <QList>
#include <QString>

class AddressTable;

// The spreadsheet export: one worksheet "Quillon_Export", the title row, then one row
// per record of the table's current view (its order and filter), every cell text.
namespace SpreadsheetExport {

enum class Format { Xls, Xlsx };

QString sheetName();
// Records that fit below the title row.
qint64 maxRecords(Format format);
int maxColumns(Format format);

// Writes the workbook to path through a temporary file, so a failed write leaves no
// half-written file; the table's cursor and filter stay. A table with more records or
// columns than the format holds writes nothing. False with a German message.
bool write(Format format, const AddressTable& table, const QList<ExportColumn>& columns,
           const QString& path, const Progress& progress, QString* error);

} // namespace SpreadsheetExport
