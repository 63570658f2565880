#pragma once
#include <QString>
#include <QStringList>

// The one place where the program's own text files are read and written.
// Writing: CR LF line ends in Windows-1252; a text holding a character that
// Windows-1252 lacks, or whose Windows-1252 bytes would also read as UTF-8, is written
// as UTF-8 with a byte-order mark, so every text reads back as it was written. A line
// never carries a control character other than TAB: each becomes a blank.
// Reading: UTF-8 with a mark, UTF-8 without a mark when the bytes are valid UTF-8 with
// at least one multi-byte sequence, otherwise Windows-1252. Any line end is accepted.
namespace TextFile {

enum class Encoding { Windows1252, Utf8Bom };

QString decode(const QByteArray& bytes);
// Encodes the text, choosing Windows-1252 when it can hold every character.
QByteArray encode(const QString& text, Encoding* used = nullptr);
bool canEncodeWindows1252(const QString& text);
QByteArray toWindows1252(const QString& text); // unmappable characters become '?'
QString fromWindows1252(const QByteArray& bytes);

// Reads a file as lines (without line ends). A missing or unreadable file returns
// false and a German message in *error.
bool readLines(const QString& path, QStringList* lines, QString* error = nullptr);
QStringList readLines(const QString& path); // empty when unreadable
bool readText(const QString& path, QString* text, QString* error = nullptr);

// Writes the lines, each followed by CR LF. Writes to a temporary file first and
// replaces the target, so a failed write leaves the old file intact.
bool writeLines(const QString& path, const QStringList& lines, QString* error = nullptr);
bool writeText(const QString& path, const QString& text, QString* error = nullptr);
bool appendLine(const QString& path, const QString& line, QString* error = nullptr);

} // namespace TextFile
