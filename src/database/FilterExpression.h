#pragma once
#include "database/TableTypes.h"

#include <QString>
#include <QVariantList>

// Filter expressions of the address tables, for example
//   Selected='True'    Name = 'Mei*'    (PLZ >= '50000' AND Ort <> 'Köln') OR NOT Invalid='True'
// Grammar: expr := term {OR term}; term := factor {AND factor};
// factor := NOT factor | '(' expr ')' | field op value; op := = <> != < > <= >=;
// field := name | [name]; value := 'text' ('' for an apostrophe) | number | True | False.
// A text value ending in * matches every value beginning with the text before it.
// Comparisons ignore case for all of Unicode. The result is a parameterised SQL
// condition: values are bound, never pasted into the SQL text.
namespace FilterExpression {

// Limits that keep every accepted expression within what SQLite takes: levels of NOT
// and parentheses inside each other, and comparisons in one expression.
inline constexpr int maxNesting = 32;
inline constexpr int maxComparisons = 200;

// Parses the expression against the columns. An empty expression yields an empty
// condition (all records). On failure returns false and a German message with the
// 1-based position of the fault.
bool parse(const QString& expression, const QList<ColumnDef>& columns, RecordCondition* out,
           QString* error);

// Quotes a value for use in an expression: O'Brien -> 'O''Brien'.
QString quote(const QString& value);

} // namespace FilterExpression
