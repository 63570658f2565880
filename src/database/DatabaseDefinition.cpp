#include "database/DatabaseDefinition.h"

#include "common/Messages.h"
#include "common/TextFile.h"
#include "common/Words.h"
#include "database/AddressTable.h"

#include <QDir>
#include <QFileInfo>

namespace {

const QString kBar = QStringLiteral("|");

QString word(int n, const QString& line) {
    return ExtractWord(n, line, kBar).trimmed();
}

// Entry lines of a definition file: everything after the header that is not blank.
template <typename T> QList<T> parseEntries(const QStringList& lines) {
    QList<T> result;
    for (int i = 1; i < lines.size(); ++i)
        if (!lines[i].trimmed().isEmpty())
            result.append(T::parse(lines[i]));
    return result;
}

QStringList splitFields(const QString& fields) {
    QStringList result;
    for (const QString& f : fields.split(QChar(';'), Qt::SkipEmptyParts))
        if (!f.trimmed().isEmpty())
            result.append(f.trimmed());
    return result;
}

} // namespace

FieldDefinition FieldDefinition::parse(const QString& line) {
    FieldDefinition d;
    d.name = word(1, line);
    d.typeName = word(2, line);
    d.requiredWord = word(3, line);
    d.required = d.requiredWord.toUpper() == QStringLiteral("TRUE");
    d.sizeWord = word(4, line);
    d.size = d.sizeWord.toInt(&d.sizeValid, 10);
    d.indexName = word(5, line);
    d.indexFields = word(6, line);
    d.primary = !word(7, line).isEmpty();
    d.sortable = word(8, line).toUpper() == QStringLiteral("TRUE");
    d.rawCaption = word(9, line);
    d.caption = d.rawCaption.isEmpty() ? d.name : d.rawCaption;
    return d;
}

ViewFilter ViewFilter::parse(const QString& line) {
    ViewFilter f;
    f.caption = word(1, line);
    f.expression = word(2, line);
    return f;
}

ChoiceList ChoiceList::parse(const QString& line) {
    ChoiceList c;
    c.fieldName = word(1, line);
    for (const QString& choice : word(2, line).split(QChar(';'), Qt::SkipEmptyParts)) {
        const auto eq = choice.indexOf(QChar('='));
        const QString key = (eq < 0 ? choice : choice.left(eq)).trimmed();
        if (!key.isEmpty())
            c.choices.append(key);
    }
    return c;
}

TableEntry TableEntry::parse(const QString& line) {
    TableEntry t;
    t.label = word(1, line);
    t.tableName = word(2, line);
    return t;
}

QList<FieldDefinition> parseFieldDefinitions(const QStringList& proLines) {
    return parseEntries<FieldDefinition>(proLines);
}

QList<ViewFilter> parseViewFilters(const QStringList& filLines) {
    return parseEntries<ViewFilter>(filLines);
}

QList<ChoiceList> parseChoiceLists(const QStringList& cbLines) {
    return parseEntries<ChoiceList>(cbLines);
}

DatabaseDefinition parseDatabaseDefinition(const QStringList& iniLines) {
    return DatabaseDefinition{parseEntries<TableEntry>(iniLines)};
}

bool isPlainFileName(const QString& name) {
    return !name.isEmpty() && name != QStringLiteral(".") && name != QStringLiteral("..") &&
           !name.contains(QChar('/')) && !name.contains(QChar('\\')) && !name.contains(QChar(':'));
}

QString resolveDataFile(const QString& folder, const QString& fileName) {
    if (!isPlainFileName(fileName))
        return {};
    const QDir dir(folder);
    if (QFileInfo(dir.filePath(fileName)).isFile()) {
        // On a case-insensitive file system this also finds other spellings; either way
        // the name as given reaches the file.
        return dir.filePath(fileName);
    }
    const QStringList names = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& n : names)
        if (n.compare(fileName, Qt::CaseInsensitive) == 0)
            return dir.filePath(n);
    return {};
}

QString dataFilePath(const QString& folder, const QString& fileName) {
    if (!isPlainFileName(fileName))
        return {};
    const QString existing = resolveDataFile(folder, fileName);
    return existing.isEmpty() ? QDir(folder).filePath(fileName) : existing;
}

QStringList fieldDefinitionFaults(const QStringList& proLines) {
    QStringList faults;
    for (int i = 1; i < proLines.size(); ++i) {
        if (proLines[i].trimmed().isEmpty())
            continue;
        const FieldDefinition d = FieldDefinition::parse(proLines[i]);
        const QString line = QStringLiteral("Zeile %1 (\"%2\"): ").arg(i + 1).arg(d.name);
        if (!fieldTypeFromName(d.typeName))
            faults.append(line + QStringLiteral("unbekannter Typ \"%1\"").arg(d.typeName));
        else if (!d.sizeValid)
            faults.append(line +
                          QStringLiteral("die Größe \"%1\" ist keine ganze Zahl").arg(d.sizeWord));
    }
    return faults;
}

bool readDefinitionLines(const QString& path, QStringList* lines, QString* error) {
    return TextFile::readLines(path, lines, error);
}

QString freeColumnLine(int n, const QString& caption) {
    const QString num = QString::number(n);
    return QStringLiteral("Spalte") + num +
           QStringLiteral("| ftString   | False      |80     | Spalte") + num +
           QStringLiteral(" | Spalte") + num +
           QStringLiteral("    |                     | TRUE        | ") + caption;
}

bool CreateTableFromDefinition(const QString& dataFolder, const QString& tableName,
                               Messages& messages) {
    const QString proName = tableName + QStringLiteral(".pro");
    const QString proPath = dataFilePath(dataFolder, proName);
    if (proPath.isEmpty()) {
        messages.error(QStringLiteral("Der Tabellenname \"%1\" ist kein gültiger Dateiname. "
                                      "Die Tabelle wurde nicht erzeugt.")
                           .arg(tableName));
        return false;
    }
    QStringList lines;
    QString error;
    if (!readDefinitionLines(proPath, &lines, &error)) {
        messages.error(error);
        return false;
    }

    const QList<FieldDefinition> defs = parseFieldDefinitions(lines);
    QStringList log;
    QList<ColumnDef> columns;
    // Why the table was not made; the engine's own text is no help to the user.
    QString refusal;
    for (const FieldDefinition& d : defs) {
        if (!d.sizeValid) {
            messages.error(QStringLiteral("Die Spalte \"%1\" in \"%2\" hat die Größe \"%3\", die "
                                          "keine ganze Zahl ist.\r\rDie Tabelle \"%4\" wurde "
                                          "nicht erzeugt.")
                               .arg(d.name, QFileInfo(proPath).fileName(), d.sizeWord, tableName));
            return false;
        }
        if (const auto type = fieldTypeFromName(d.typeName)) {
            for (const ColumnDef& before : columns)
                if (refusal.isEmpty() && before.name.compare(d.name, Qt::CaseInsensitive) == 0)
                    refusal = QStringLiteral("Die Spalte \"%1\" ist in \"%2\" zweimal definiert.")
                                  .arg(d.name, QFileInfo(proPath).fileName());
            ColumnDef c;
            c.name = d.name;
            c.type = *type;
            c.size = *type == FieldType::Picture ? 2 : d.size;
            c.required = d.required;
            columns.append(c);
        }
        log.append(QStringLiteral("FieldDefs.Add(%1,%2,%3,%4);")
                       .arg(d.name, d.typeName, QString::number(d.size), d.requiredWord.toUpper()));
    }

    QList<IndexDef> indexes;
    for (const FieldDefinition& d : defs) {
        if (d.indexName.isEmpty())
            continue;
        IndexDef index;
        index.name = d.indexName;
        index.fields = splitFields(d.indexFields);
        index.primary = d.primary;
        indexes.append(index);
        log.append(
            QStringLiteral("IndexDefs.Add(%1,%2,%3);")
                .arg(d.indexName, d.indexFields,
                     d.primary ? QStringLiteral("[ixPrimary,ixUnique]") : QStringLiteral("[]")));
    }

    const QString logPath = dataFilePath(dataFolder, tableName + QStringLiteral(".log"));
    if (!TextFile::writeLines(logPath, log, &error))
        messages.error(error); // the record is informative; the table can still be made

    const QString tablePath = QDir(dataFolder).filePath(tableName + QStringLiteral(".DB"));
    if (!refusal.isEmpty() || !AddressTable::create(tablePath, columns, indexes, &error)) {
        messages.error(QStringLiteral("Database not created!\r") +
                       (refusal.isEmpty() ? error : refusal));
        return false;
    }
    return true;
}

int FindColumnByName(const QString& name, const AddressTable* table) {
    if (!table || !table->isOpen())
        return -1;
    int found = -1;
    for (int i = 0; i < table->fieldCount(); ++i)
        if (table->fieldName(i).compare(name, Qt::CaseInsensitive) == 0)
            found = i;
    return found;
}

int FindMailColumn(const AddressTable* table) {
    return FindColumnByName(QStringLiteral("MAIL"), table);
}
