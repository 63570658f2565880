#pragma once
#include "common/Progress.h"

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>

class TableStore;

// Orders and cancellations of the newsletter, fetched from the lists the site's scripts
// keep, compared with the open table and applied to it.
//
// List lines: a cancellation has exactly two "|"-separated fields (the address and one
// the program does not use); an order has at least five (address, unused, Anrede,
// Betreff, Name), then column=value pairs and a last unused field. "_" in a value
// stands for a blank.
namespace WebSync {

// The script and list names after the server path.
QString ordersAddress(const QString& serverPath, const QString& syncPassword);
QString cancellationsAddress(const QString& serverPath, const QString& syncPassword);

// A fetched list cut into its lines as the program reads them: each line trimmed, the
// sequence \\240 and then every backslash removed, empty lines left out. Lines a list
// should never hold (a control character, a character the bytes could not be read as,
// more than maxLineLength characters or maxFields fields) are not taken: they are
// counted in *rejected and kept in *rejectedLines (control characters shown as "?"),
// so nothing a visitor sent is lost without a trace.
inline constexpr int maxLineLength = 4000;
inline constexpr int maxFields = 200;
QStringList listLines(const QByteArray& body, QStringList* rejectedLines = nullptr);

// An HTML page came instead of a list (a line with both "<" and ">").
bool looksLikeHtml(const QStringList& lines);
bool accessDenied(const QStringList& lines);

// The address check for list entries: an "@", no "..", a non-empty local part, a domain
// of more than three characters with a "." followed by at least two characters, and
// only A-Z, a-z, 0-9, "-", "." and "_" on either side.
bool isListEntryAddress(const QString& text);

// N of total as a whole percentage, halves to even; 0 for an empty total.
int percent(qint64 n, qint64 total);

struct Analysis {
    qint64 total = 0;         // order and cancellation lines together
    QStringList newLines;     // the lines of Result.txt, in order
    QStringList checkEntries; // "Bestellung | addr" / "Abbestellung | addr"
    qint64 newOrders = 0;
    qint64 newCancellations = 0;
};

bool isCancellation(const QString& line);

// Sorts both lists together without regard to case, keeps the last line of every
// address (among the lines with a valid address) and of those the orders for addresses
// not in the table and the cancellations for addresses in it. lookup: the lower-cased
// Mail values of the table.
Analysis analyse(const QStringList& orders, const QStringList& cancellations,
                 const QSet<QString>& lookup);
// The same against the table: only the addresses that survive are looked up in it.
Analysis analyse(const QStringList& orders, const QStringList& cancellations,
                 const TableStore& table);
// Those of the lower-cased addresses that some record's Mail equals, case ignored.
QSet<QString> knownAddresses(const TableStore& table, const QStringList& keys);

// The "Gesamteinträge" / "Davon neue ..." texts of the result labels.
QString totalText(const Analysis& a);
QString ordersText(const Analysis& a);
QString cancellationsText(const Analysis& a);

// The lines of the result whose address (first field, lower-cased) is one of the
// checked entries' addresses (word 2 of the entry, trimmed and lower-cased), in the
// order of the checked entries.
QStringList confirmedLines(const QStringList& resultLines, const QStringList& checkedEntries);

struct ApplyResult {
    bool ok = true;
    QString error;        // German, when a write failed
    qint64 added = 0;     // new records for orders
    qint64 cancelled = 0; // records deleted or marked invalid
    QStringList refused;  // lines that could not be applied as a whole, with why
};

// Applies the confirmed lines to the table: cancellations delete their records (or,
// with onlyInvalid, mark them Invalid), matched on Mail without regard to case with
// the addresses bound as values; orders are appended in one batched append. A line
// that cannot be applied whole (an order with fewer than five fields, a value its
// column refuses, an empty required column) is left out entirely and named in refused.
// A pair field without "=" or with an empty column name sets nothing.
ApplyResult apply(TableStore& table, const QStringList& lines, bool onlyInvalid,
                  const ProgressFn& progress = {});

} // namespace WebSync
