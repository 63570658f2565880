#pragma once
#include "common/Progress.h"
#include "exchange/ImportOptions.h"

#include <QList>
#include <QString>
#include <QStringList>

class AddressTable;
class Messages;

// The delimited text import: one record per line, fields cut at the delimiter
// characters, optionally unquoted.
namespace TextImport {

// The delimiter text of an item of the delimiter box: "Tab" and "Space" stand for the
// tab and the blank; anything else is taken trimmed.
QString delimiterFromItem(const QString& item);
// The quote character of an item of the quote box; null for "keiner" or an empty item.
QChar quoteFromItem(const QString& item);

// The prepared line: trimmed (never of a delimiter), "*" removed, empty fields between
// adjacent delimiters and at the start marked with a blank. With a blank among the
// delimiters, runs of blanks separate like one: nothing is inserted and blanks at the
// ends are trimmed. Empty when the line is to be skipped.
QString prepareLine(const QString& line, const QString& delimiter);
// The n-th field (from 1) of a prepared line, unquoted and trimmed; empty for n = 0.
QString extractField(const QString& prepared, int n, const QString& delimiter, QChar quote);
// The fields of the given columns (from 1; 0 gives empty), appended to *fields.
void extractFields(const QString& prepared, const QList<int>& columns, const QString& delimiter,
                   QChar quote, QStringList* fields);

// The blacklist entries upper-cased and trimmed, empty ones left out. False with a
// German message when the file cannot be read.
bool loadBlacklist(const QString& path, QStringList* entries, QString* error);
bool isBlacklisted(const QString& prepared, const QStringList& upperEntries);

// The preview rows: for each of rows rows one cell per target field (empty where its
// column is 0 or the file has ended). Reads only the lines it shows. False with a
// German message when the file or the blacklist cannot be read.
bool preview(const QString& path, const ImportOptions& options, int rows, QList<QStringList>* cells,
             QString* error);

} // namespace TextImport

// Appends one record per accepted line of the text file to the table (see
// ImportWriter). Shows "Import: i von n" after each batch. Returns true when it ran to
// the end of the file; a failure is shown to the user (German) and keeps what was
// imported before it. *imported receives the number of new records.
bool ImportCVS(const QString& path, const ImportOptions& options, AddressTable* table,
               Messages& messages, const Progress& progress, qint64* imported = nullptr);
