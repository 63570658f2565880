#pragma once
#include <QString>
#include <QVariant>

struct sqlite3;
enum class FieldType;

// The collation and functions every table connection registers, and the storage
// form of values. Text comparisons ignore case for all of Unicode.
namespace SqlFunctions {

inline constexpr const char* collation = "QNOCASE";
inline constexpr const char* prefixFunction = "qprefix";     // qprefix(text, prefix) -> 0/1
inline constexpr const char* containsFunction = "qcontains"; // qcontains(text, part) -> 0/1
inline constexpr const char* displayFunction = "qdisplay";   // qdisplay(value, typeCode) -> text
// qcontainscs(text, part) -> 0/1, case respected
inline constexpr const char* containsExactFunction = "qcontainscs";
// qfuzzy(text, search) -> 1 when a blank-separated word of text is within 25% edit
// distance of search (both upper-cased)
inline constexpr const char* fuzzyFunction = "qfuzzy";

bool registerAll(sqlite3* db);

// Dates are stored as yyyy-MM-dd, times as HH:mm:ss. These accept the German forms
// (d.M.yyyy, H:mm) and the stored forms; an empty result means "not a date/time".
QString dateToStorage(const QString& text);
QString timeToStorage(const QString& text);

// The text a user sees for a stored value of that type ("True", "24.12.2026", "1,5").
QString displayText(const QVariant& stored, FieldType type);

int typeCode(FieldType type);

} // namespace SqlFunctions
