#pragma once
#include <QList>
#include <QString>
#include <QStringList>

class AddressTable;
class Messages;

// The "|"-separated definition files of a database. Every file starts with a header
// line that is never an entry; each further line is split with ExtractWord on "|" and
// every word is trimmed, so an empty field has to be written as blanks.

// One line of a *table*.pro file: a column and, optionally, an index on it.
struct FieldDefinition {
    QString name;          // word 1
    QString typeName;      // word 2, e.g. "ftString"
    QString requiredWord;  // word 3 as written
    bool required = false; // word 3 upper-cased equals "TRUE"
    QString sizeWord;      // word 4 as written
    int size = 0;          // word 4 as integer; 0 when sizeValid is false
    bool sizeValid = false;
    QString indexName;     // word 5; empty: no index
    QString indexFields;   // word 6, several fields separated by ";"
    bool primary = false;  // word 7 not empty
    bool sortable = false; // word 8 upper-cased equals "TRUE"
    QString rawCaption;    // word 9 as written (may be empty)
    QString caption;       // word 9, or the field name when word 9 is empty

    static FieldDefinition parse(const QString& line);
};

// One line of a *table*.fil file: a view mode of the main window.
struct ViewFilter {
    QString caption;    // word 1
    QString expression; // word 2; empty: all records

    static ViewFilter parse(const QString& line);
};

// One line of a *table*.cb file: the drop-down choices of a field.
struct ChoiceList {
    QString fieldName;   // word 1
    QStringList choices; // keys offered: of "key=text" only the key

    static ChoiceList parse(const QString& line);
};

// One line of a *base*.ini file.
struct TableEntry {
    QString label;     // word 1, e.g. "Table1"
    QString tableName; // word 2: the table file is DataFolder + tableName + ".DB"

    static TableEntry parse(const QString& line);
};

// The tables of one database, read from *base*.ini.
struct DatabaseDefinition {
    QList<TableEntry> tables;
};

// Entries of the files, header skipped. Blank lines carry no entry.
QList<FieldDefinition> parseFieldDefinitions(const QStringList& proLines);
QList<ViewFilter> parseViewFilters(const QStringList& filLines);
QList<ChoiceList> parseChoiceLists(const QStringList& cbLines);
DatabaseDefinition parseDatabaseDefinition(const QStringList& iniLines);

// Path of the file of that name in folder, compared without regard to case; an exact
// match wins. Empty when there is none or the name would leave the folder.
QString resolveDataFile(const QString& folder, const QString& fileName);
// Path for a file of that name in folder: the existing one in whatever case, else the
// name as given. Empty when the name would leave the folder.
QString dataFilePath(const QString& folder, const QString& fileName);
// True when name is a plain file name (no folder part, not "." or "..").
bool isPlainFileName(const QString& name);

// The faults of a .pro file's lines that the engine would pass over silently: a type
// name it does not know or a size that is no integer, each as "Zeile n: ..." in German.
// Such a line usually lost a field: an empty field must be written as blanks.
QStringList fieldDefinitionFaults(const QStringList& proLines);

// Reads the lines of a definition file (header included); a missing or unreadable
// file gives false and a German message.
bool readDefinitionLines(const QString& path, QStringList* lines, QString* error);

// Definition line of the free column number n of a new database: a non-required text
// of 80 characters with a secondary index on itself, sortable, with the caption.
QString freeColumnLine(int n, const QString& caption);

// Creates DataFolder + tableName + ".DB" from DataFolder + tableName + ".pro" and
// writes the creation record DataFolder + tableName + ".log". Failures are reported
// through messages; false when no table was created.
bool CreateTableFromDefinition(const QString& dataFolder, const QString& tableName,
                               Messages& messages);

// Index of the last column named "Mail" in any case; -1 when none or no open table.
int FindMailColumn(const AddressTable* table);
// Index of the last column of that name in any case; -1 when none or no open table.
int FindColumnByName(const QString& name, const AddressTable* table);
