#pragma once
#include <QString>
#include <QStringList>

class DatabaseSession;

// The import mapping file DataFolder + definition base name + ".imp": one line per target
// field with its column number as typed, then the delimiter that was in force, trimmed.
namespace ImportMapping {

QString path(const DatabaseSession& session);

struct Stored {
    QStringList columns; // one entry per target field, "0" where the file has none
    QString delimiter;   // the stored delimiter line (read, never applied)
    bool present = false;
    // Entries that were not whole numbers >= 0 were set to "0"; a German description of
    // the first such line, or empty when every line was sound.
    QString problem;
};

// Reads the file for fieldCount target fields. A missing, empty or unreadable file
// gives present == false and every column "0" (an unreadable one also a problem text).
Stored read(const QString& path, int fieldCount);
// Writes the columns as typed and the delimiter (trimmed) as the last line.
bool write(const QString& path, const QStringList& columns, const QString& delimiter,
           QString* error);

// A column number as typed: a whole number >= 0, or -1 when the text is none.
int parseColumn(const QString& text);

} // namespace ImportMapping
