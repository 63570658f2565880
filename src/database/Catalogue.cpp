#include "database/Catalogue.h"

#include "common/ControlCharacters.h"
#include "common/FileNames.h"
#include "common/Messages.h"
#include "common/TextFile.h"
#include "common/Texts.h"
#include "common/Words.h"
#include "database/AddressTable.h"
#include "database/DatabaseDefinition.h"
#include "database/DatabaseSession.h"
#include "database/SystemColumns.h"
#include "database/WebSettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace {

const QString kBar = QStringLiteral("|");
const QString kLastOpenFile = QStringLiteral("LastopenDB.inc");
constexpr int kMaxNameLength = 26;
constexpr int kMaxFreeColumns = 170;
constexpr int kCoreLinesKept = 9; // header and the eight core columns

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString baseNameOf(const QString& fileName) {
    const auto dot = fileName.indexOf(QChar('.'));
    return dot < 0 ? fileName : fileName.left(dot);
}

QString cannotOpen(const QString& definitionName, const QString& reason) {
    return QStringLiteral("Die Datenbank \"%1\" kann nicht geöffnet werden:\r%2")
        .arg(definitionName, reason);
}

QString missingFile(const QString& path) {
    return QStringLiteral("Die Datei \"%1\" existiert nicht.").arg(QDir::toNativeSeparators(path));
}

} // namespace

// ---------------------------------------------------------------------------
// Catalogue and LastopenDB.inc

CatalogEntry CatalogEntry::parse(const QString& line) {
    CatalogEntry e;
    e.displayName = ExtractWord(1, line, kBar).trimmed();
    e.bitmap = ExtractWord(2, line, kBar);
    e.definitionName = ExtractWord(3, line, kBar).trimmed();
    return e;
}

namespace {

bool hasControlCharacter(const QString& text) {
    return std::any_of(text.begin(), text.end(),
                       [](QChar c) { return c.category() == QChar::Other_Control; });
}

// The header, and every entry line that names a database.
bool isUsableLine(const QStringList& catalogueLines, int i) {
    return i == 0 || CatalogEntry::parse(catalogueLines[i]).isValid();
}

} // namespace

bool CatalogEntry::isValid() const {
    return !displayName.isEmpty() && !hasControlCharacter(displayName) &&
           isPlainFileName(definitionName) && !hasControlCharacter(definitionName) &&
           definitionName.endsWith(QStringLiteral(".ini"), Qt::CaseInsensitive) &&
           definitionName.size() > 4;
}

QList<CatalogEntry> catalogueEntries(const QStringList& catalogueLines) {
    QList<CatalogEntry> entries;
    for (int i = 1; i < catalogueLines.size(); ++i) {
        const CatalogEntry e = CatalogEntry::parse(catalogueLines[i]);
        if (e.isValid())
            entries.append(e);
    }
    return entries;
}

QStringList catalogueFaults(const QStringList& catalogueLines) {
    QStringList faults;
    for (int i = 1; i < catalogueLines.size(); ++i) {
        if (catalogueLines[i].trimmed().isEmpty() || isUsableLine(catalogueLines, i))
            continue;
        // Shown as far as it is readable: control characters become "?".
        QString shown = catalogueLines[i].left(60);
        for (QChar& c : shown)
            if (c.category() == QChar::Other_Control)
                c = QChar('?');
        faults.append(QStringLiteral("Zeile %1: \"%2\"").arg(i + 1).arg(shown));
    }
    return faults;
}

QString catalogueDisplayName(const QStringList& catalogueLines, const QString& definitionName) {
    // An entry naming exactly this definition file wins. Otherwise the last line that
    // contains the name anywhere; a bare substring match would give "kunden.ini" the
    // name of "altkunden.ini" when that was created later.
    for (int i = int(catalogueLines.size()) - 1; i >= 1; --i) {
        const CatalogEntry e = CatalogEntry::parse(catalogueLines[i]);
        if (e.isValid() && sameName(e.definitionName, definitionName))
            return e.displayName;
    }
    const QString upper = definitionName.toUpper();
    for (int i = int(catalogueLines.size()) - 1; i >= 0; --i)
        if (isUsableLine(catalogueLines, i) && catalogueLines[i].toUpper().contains(upper))
            return ExtractWord(1, catalogueLines[i], kBar).trimmed();
    const QList<CatalogEntry> entries = catalogueEntries(catalogueLines);
    return entries.isEmpty() ? QString() : entries.first().displayName;
}

CatalogEntry catalogueEntryFor(const QStringList& catalogueLines, const QString& definitionName) {
    CatalogEntry entry;
    for (const CatalogEntry& e : catalogueEntries(catalogueLines))
        if (sameName(e.definitionName, definitionName))
            entry = e;
    entry.displayName = catalogueDisplayName(catalogueLines, definitionName);
    // A catalogue without a usable entry still names the database somehow.
    if (entry.displayName.isEmpty())
        entry.displayName = baseNameOf(definitionName);
    entry.definitionName = definitionName;
    return entry;
}

QString catalogueLine(const QString& displayName, const QString& fileName) {
    return displayName + QStringLiteral("| cddrive.bmp|") + fileName + QStringLiteral(".ini");
}

QString readLastOpenDatabase(const QString& programFolder) {
    const QString path = QDir(programFolder).filePath(kLastOpenFile);
    if (!QFileInfo::exists(path))
        return FileNames::standardDefinition();
    const QStringList lines = TextFile::readLines(path);
    return lines.isEmpty() ? QString() : lines.first().trimmed();
}

bool writeLastOpenDatabase(const QString& programFolder, const QString& definitionName,
                           QString* error) {
    return TextFile::writeLines(QDir(programFolder).filePath(kLastOpenFile), {definitionName},
                                error);
}

// ---------------------------------------------------------------------------
// File names and the checks of a new database

QString ToSafeFileName(const QString& displayName) {
    QString s = displayName;

    // UTF-8 bytes of umlauts read as Windows-1252 characters (and the euro sign).
    static const std::pair<const char16_t*, const char16_t*> kSequences[] = {
        {u"\u00C3\u0153", u"Ü"}, {u"\u00C3\u00BC", u"ü"},    {u"\u00C3\u201E", u"Ä"},
        {u"\u00C3\"", u"Ä"},     {u"\u00C3\u00A4", u"ä"},    {u"\u00C3\u00FB", u"Ö"},
        {u"\u00C3\u2013", u"Ö"}, {u"\u00C3\u00B6", u"ö"},    {u"\u00C3\u0178", u"ß"},
        {u"\u20AC", u"Euro"},    {u"\u00E2\u201A", u"Euro"},
    };
    for (const auto& [from, to] : kSequences)
        s.replace(QString::fromUtf16(from), QString::fromUtf16(to));

    static const QString kUnderscore = QString::fromUtf16(u" '.-!$%=\"§?,´`€éáúóêâûô");
    static const QString kCross = QStringLiteral("*:()\\/><");
    QString out;
    out.reserve(s.size() * 2);
    for (QChar c : s) {
        if (kUnderscore.contains(c) || ControlCharacters::isControl(c))
            out += QChar('_');
        else if (c == QChar('&'))
            out += QChar('a');
        else if (kCross.contains(c))
            out += QChar('x');
        else if (c == QChar(u'Ä'))
            out += QStringLiteral("Ae");
        else if (c == QChar(u'Ö'))
            out += QStringLiteral("Oe");
        else if (c == QChar(u'Ü'))
            out += QStringLiteral("Ue");
        else if (c == QChar(u'ß'))
            out += QStringLiteral("ss");
        else if (c == QChar(u'ä'))
            out += QStringLiteral("ae");
        else if (c == QChar(u'ö'))
            out += QStringLiteral("oe");
        else if (c == QChar(u'ü'))
            out += QStringLiteral("ue");
        else
            out += c;
    }
    for (QChar& c : out)
        if (c >= QChar('A') && c <= QChar('Z'))
            c = QChar(c.unicode() + ('a' - 'A'));
    return out;
}

QStringList coreColumnNames() {
    return {SystemColumns::ID,          SystemColumns::Selected, SystemColumns::Invalid,
            SystemColumns::LetztesMail, SystemColumns::Mail,     QStringLiteral("Anrede"),
            QStringLiteral("Betreff"),  QStringLiteral("Name")};
}

QStringList defaultFreeColumnCaptions() {
    return {QStringLiteral("Gewinnspielfrage"),
            QStringLiteral("Bestellnummer "),
            QStringLiteral("Feedback etc."),
            QStringLiteral("Vorname"),
            QStringLiteral("Alter"),
            QStringLiteral("Geschlecht"),
            QStringLiteral("Straße"),
            QStringLiteral("PLZ"),
            QStringLiteral("Ort")};
}

QString checkNewDatabaseInput(const QString& name, const QStringList& coreLines,
                              const QStringList& captionLines) {
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty())
        return QStringLiteral("Bitte geben Sie einen Namen für die neue Datenbank ein!");
    if (trimmed.size() > kMaxNameLength)
        return QStringLiteral(
            "Achtung! Es ist nur Datenbanknamen mit maximal 26 Zeichen zulässig!");
    // "|" separates the words of the catalogue line; a line break or TAB would forge
    // catalogue entries and end up in file names.
    if (name.contains(kBar))
        return QStringLiteral("Der Name darf das Zeichen \"|\" nicht enthalten!");
    if (ControlCharacters::contains(name))
        return QStringLiteral("Der Name darf keine Steuerzeichen (Zeilenumbruch, Tabulator) "
                              "enthalten!");
    if (captionLines.size() > kMaxFreeColumns)
        return QStringLiteral("Sie können maximal 170 zusätzliche Datenbankfelder benutzen, Sie "
                              "haben aber %1 eingegeben!")
            .arg(captionLines.size());
    QStringList seen;
    for (const QString& line : coreLines)
        seen.append(line.trimmed().toLower());
    for (const QString& line : captionLines) {
        const QString t = line.trimmed();
        if (seen.contains(t, Qt::CaseInsensitive))
            return QStringLiteral("Sie haben den Feldnamen %1 doppelt vergeben! Bitte korrigieren "
                                  "Sie dieses.")
                .arg(t);
        seen.append(t);
    }
    // The caption is the last word of a "|"-separated definition line.
    for (const QString& line : captionLines) {
        if (line.contains(kBar))
            return QStringLiteral("Der Feldname %1 darf das Zeichen \"|\" nicht enthalten!")
                .arg(line.trimmed());
        if (ControlCharacters::contains(line))
            return QStringLiteral(
                       "Der Feldname %1 darf keine Steuerzeichen (Zeilenumbruch, Tabulator) "
                       "enthalten!")
                .arg(ControlCharacters::blanked(line).trimmed());
    }
    return {};
}

bool databaseFilesExist(const QString& dataFolder, const QString& base) {
    const QStringList names = QDir(dataFolder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& n : names)
        if (sameName(baseNameOf(n), base))
            return true;
    return false;
}

QString checkNewDatabaseFileName(const QString& dataFolder, const QString& fileName) {
    if (fileName.trimmed().isEmpty())
        return QStringLiteral("Bitte geben Sie einen Namen für die neue Datenbank ein!");
    if (databaseFilesExist(dataFolder, fileName))
        return QStringLiteral("Eine Datenbank mit dem Namen \"%1\" existiert bereits. Bitte wählen "
                              "Sie einen anderen Namen!")
            .arg(fileName);
    return {};
}

// ---------------------------------------------------------------------------
// Creating and deleting

bool CreateDatabase(DatabaseSession& session, const QString& displayName,
                    const QStringList& captionLines, Messages& messages) {
    const QString& data = session.dataFolder();
    QString problem = checkNewDatabaseInput(displayName, coreColumnNames(), captionLines);
    const QString fileName = ToSafeFileName(displayName);
    if (problem.isEmpty())
        problem = checkNewDatabaseFileName(data, fileName);
    if (problem.isEmpty() && !isPlainFileName(fileName + QStringLiteral(".ini")))
        problem = QStringLiteral("Bitte geben Sie einen Namen für die neue Datenbank ein!");
    if (!problem.isEmpty()) {
        messages.information(problem);
        return false;
    }

    // The standard database's definition files are the templates.
    const QString templatePro = resolveDataFile(data, QStringLiteral("database.pro"));
    if (templatePro.isEmpty()) {
        messages.error(QStringLiteral("Die Datenbank wurde nicht erzeugt: ") +
                       missingFile(data + QStringLiteral("Database.pro")));
        return false;
    }
    QStringList proLines;
    QString error;
    if (!TextFile::readLines(templatePro, &proLines, &error)) {
        messages.error(QStringLiteral("Die Datenbank wurde nicht erzeugt: ") + error);
        return false;
    }
    for (const QString& ext :
         {QStringLiteral(".cb"), QStringLiteral(".fil"), QStringLiteral(".pro")}) {
        const QString source = resolveDataFile(data, QStringLiteral("database") + ext);
        const QString target = data + fileName + ext;
        if (!source.isEmpty() && !QFileInfo::exists(target) && QFile::copy(source, target))
            QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                              QFile::ReadOther); // the template may be read-only
    }

    QStringList lines = {QStringLiteral("TABLE        TABELNAME"),
                         QStringLiteral("Table1      |") + fileName};
    if (!TextFile::writeLines(data + fileName + QStringLiteral(".ini"), lines, &error)) {
        messages.error(QStringLiteral("Die Datenbank wurde nicht erzeugt: ") + error);
        return false;
    }

    QStringList newPro = proLines.mid(0, kCoreLinesKept);
    for (int n = 1; n <= captionLines.size(); ++n) {
        QString caption = captionLines[n - 1].trimmed();
        for (const QChar c : {QChar(':'), QChar('\\'), QChar('/'), QChar('.'), QChar('*')})
            caption.remove(c);
        if (!caption.isEmpty())
            newPro.append(freeColumnLine(n, caption));
    }
    if (!TextFile::writeLines(data + fileName + QStringLiteral(".pro"), newPro, &error)) {
        messages.error(QStringLiteral("Die Datenbank wurde nicht erzeugt: ") + error);
        return false;
    }

    if (!session.appendCatalogueLine(catalogueLine(displayName, fileName), &error)) {
        messages.error(error);
        return false;
    }
    messages.information(QStringLiteral("Datenbank wurde erzeugt!"));

    const QString definitionName =
        catalogueEntries(session.catalogueLines()).isEmpty()
            ? fileName + QStringLiteral(".ini")
            : catalogueEntries(session.catalogueLines()).last().definitionName;
    if (!writeLastOpenDatabase(session.programFolder(), definitionName, &error))
        messages.error(error);
    OpenDatabase(session, definitionName, messages);
    return true;
}

bool DeleteDatabase(DatabaseSession& session, const QString& definitionName, Messages& messages) {
    if (definitionName.toUpper() == QStringLiteral("DATABASE.INI")) {
        messages.information(
            QStringLiteral("Diese Datenbank ist die Grundstockdatenbank von Quillon!\r\rDiese "
                           "Datenbank kann nicht gelöscht werden!\r\rWollen Sie diese Daten "
                           "trotzdem löschen, gehen Sie auf den Menüpunkt \"Löschen --> "
                           "Datenbank komplett leeren\""));
        OpenDatabase(session, FileNames::standardDefinition(), messages);
        return false;
    }
    if (!messages.destructiveQuestion(
            QStringLiteral("Wollen Sie diese Datenbank wirklich löschen?")))
        return false;
    if (!messages.destructiveQuestion(
            QStringLiteral("Alle Daten dieser Datenbank gehen verloren! Wirklich löschen?")))
        return false;

    CloseDatabase(session);

    // Every file "<base>.<anything>" belongs to the database; "altkunden.*" does not
    // belong to "kunden".
    const QString base = baseNameOf(definitionName);
    QStringList failed;
    if (!base.isEmpty() && isPlainFileName(definitionName)) {
        QDir dir(session.dataFolder());
        for (const QString& n : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
            const auto dot = n.indexOf(QChar('.'));
            if (dot >= 0 && sameName(n.left(dot), base) && !dir.remove(n))
                failed.append(n);
        }
    }
    if (!failed.isEmpty())
        messages.error(QStringLiteral("Diese Dateien der Datenbank konnten nicht gelöscht "
                                      "werden:\r") +
                       failed.join(QStringLiteral("\r")));

    QString error;
    if (!session.removeCatalogueEntry(definitionName, &error))
        messages.error(error);
    if (!writeLastOpenDatabase(session.programFolder(), FileNames::standardDefinition(), &error))
        messages.error(error);
    OpenDatabase(session, FileNames::standardDefinition(), messages);
    return true;
}

// ---------------------------------------------------------------------------
// Opening and closing

namespace {

// Reads an optional companion file (.fil, .cb): missing means no entries.
QStringList optionalLines(const QString& dataFolder, const QString& fileName) {
    const QString path = resolveDataFile(dataFolder, fileName);
    return path.isEmpty() ? QStringList() : TextFile::readLines(path);
}

} // namespace

void CloseDatabase(DatabaseSession& session) {
    if (session.hasOpenTable())
        Q_EMIT session.aboutToClose(); // windows save the grid layout of the open database
    for (auto& t : session.m_tables) {
        if (!t || !t->isOpen())
            continue;
        if (t->state() == AddressTable::State::Edit || t->state() == AddressTable::State::Insert)
            if (!t->post())
                t->cancel();
        t->close();
    }
    session.m_tables.clear();
    session.m_currentTablePath.clear();
    session.m_definition = TableDefinition{};
    session.m_tracking = TrackingState{};
    Q_EMIT session.closed();
}

bool OpenDatabase(DatabaseSession& session, const QString& definitionName, Messages& messages) {
    const QString name = definitionName.trimmed();
    if (name.isEmpty())
        return false;

    CloseDatabase(session);
    const QString& data = session.dataFolder();
    auto fail = [&](const QString& reason) {
        messages.error(cannotOpen(name, reason));
        session.forget();
        Q_EMIT session.closed();
        return false;
    };

    const QString iniPath = resolveDataFile(data, name);
    if (iniPath.isEmpty())
        return fail(missingFile(data + name));
    QStringList iniLines;
    QString error;
    if (!readDefinitionLines(iniPath, &iniLines, &error))
        return fail(error);
    const DatabaseDefinition definition = parseDatabaseDefinition(iniLines);

    for (const TableEntry& entry : definition.tables) {
        const QString dbName = entry.tableName + QStringLiteral(".DB");
        if (!isPlainFileName(dbName) || entry.tableName.isEmpty())
            return fail(
                QStringLiteral("Der Tabellenname \"%1\" ist ungültig.").arg(entry.tableName));
        if (resolveDataFile(data, dbName).isEmpty()) {
            const QString proName = entry.tableName + QStringLiteral(".pro");
            if (resolveDataFile(data, proName).isEmpty())
                return fail(missingFile(data + proName));
            CreateTableFromDefinition(data, entry.tableName, messages);
        }
        session.m_tables.push_back(std::make_unique<AddressTable>());
    }

    bool tableOpen = false;
    if (!definition.tables.isEmpty()) {
        const QString tableName = definition.tables.first().tableName;
        const QString proPath = resolveDataFile(data, tableName + QStringLiteral(".pro"));
        if (proPath.isEmpty())
            return fail(missingFile(data + tableName + QStringLiteral(".pro")));
        QStringList proLines;
        if (!readDefinitionLines(proPath, &proLines, &error))
            return fail(error);

        const QString tablePath = resolveDataFile(data, tableName + QStringLiteral(".DB"));
        // A table the engine refused to create was reported already; the database
        // opens without it.
        if (!tablePath.isEmpty()) {
            AddressTable* table = session.m_tables.front().get();
            if (table->open(tablePath, &error)) {
                table->last();
                session.m_currentTablePath = tablePath;
                const QStringList faults = fieldDefinitionFaults(proLines);
                if (!faults.isEmpty())
                    messages.error(
                        QStringLiteral("Die Spaltendefinition \"%1\" ist fehlerhaft:\r")
                            .arg(QDir::toNativeSeparators(proPath)) +
                        faults.join(QChar('\r')) +
                        QStringLiteral("\r\rVermutlich fehlt in diesen Zeilen ein Feld: ein "
                                       "leeres Feld muss als Leerzeichen zwischen zwei \"|\" "
                                       "stehen. Spalten dieser Zeilen werden nicht richtig "
                                       "angezeigt."));
                session.m_definition = TableDefinition::fromLines(
                    proLines, optionalLines(data, tableName + QStringLiteral(".fil")),
                    optionalLines(data, tableName + QStringLiteral(".cb")));
                tableOpen = true;
            } else {
                // The database stays selected so that maintenance can repair the table.
                messages.error(error); // it names the table and the reason
            }
        }
    }

    session.m_entry = catalogueEntryFor(session.catalogueLines(), name);
    session.readWebSettings();
    Q_EMIT session.opened();
    return tableOpen;
}

// ---------------------------------------------------------------------------
// Maintenance

bool MaintainDatabase(DatabaseSession& session, Messages& messages) {
    if (session.definitionName().isEmpty()) {
        messages.information(Texts::openDatabaseFirst());
        return false;
    }
    if (!messages.question(
            QStringLiteral("Die Tabellen der Datenbank \"%1\" werden jetzt geprüft und, wenn "
                           "nötig, repariert. Die Datenbank wird dazu kurz geschlossen.\r\rJetzt "
                           "prüfen und reparieren?")
                .arg(session.displayName().isEmpty() ? session.definitionName()
                                                     : session.displayName())))
        return false;

    const QString name = session.definitionName();
    const QString& data = session.dataFolder();
    QStringList iniLines;
    QString error;
    QStringList tableNames;
    if (readDefinitionLines(resolveDataFile(data, name), &iniLines, &error))
        for (const TableEntry& e : parseDatabaseDefinition(iniLines).tables)
            tableNames.append(e.tableName);

    CloseDatabase(session);

    bool allOk = true;
    QStringList report;
    for (const QString& tableName : tableNames) {
        const QString path = resolveDataFile(data, tableName + QStringLiteral(".DB"));
        QString text;
        if (path.isEmpty()) {
            text = missingFile(data + tableName + QStringLiteral(".DB"));
            allOk = false;
        } else if (!AddressTable::maintain(path, &text)) {
            allOk = false;
        }
        report.append(text); // names the table file itself
    }
    if (report.isEmpty()) {
        report.append(QStringLiteral("Die Datenbank \"%1\" enthält keine Tabelle.").arg(name));
        allOk = false;
    }
    const QString text = report.join(QStringLiteral("\r"));
    if (allOk)
        messages.information(text);
    else
        messages.error(text);

    OpenDatabase(session, name, messages);
    return allOk;
}
