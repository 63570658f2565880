#pragma once
#include <QChar>
#include <QList>
#include <QString>
#include <QStringList>

// What the import window hands to an import: the target fields with their column
// numbers and the settings of the text import.
struct ImportOptions {
    QStringList fieldNames; // target fields, in definition order
    QList<int> columns;     // one per target field; 0 = not in the source
    QString delimiter;      // delimiter characters ("\t" for "Tab", " " for "Space")
    QChar quote;            // null for "keiner"
    bool skipFirstLine = false;
    QString blacklistPath; // empty: no blacklist
    bool fixedEntry = false;
    QString fixedField; // field name
    QString fixedValue;
};
