#include "database/Catalogue.h"

#include "common/FileNames.h"
#include "common/IniFile.h"
#include "common/TextFile.h"
#include "database/AddressTable.h"
#include "database/DatabaseDefinition.h"
#include "database/DatabaseTestSupport.h"
#include "shell/AppState.h"
#include "support/ScriptedMessages.h"
#include "support/TempProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

const QString kCreated = QStringLiteral("Datenbank wurde erzeugt!");
const QString kReallyDelete = QStringLiteral("Wollen Sie diese Datenbank wirklich löschen?");
const QString kAllLost =
    QStringLiteral("Alle Daten dieser Datenbank gehen verloren! Wirklich löschen?");

class CatalogueTest : public ::testing::Test {
protected:
    void SetUp() override { layOutStandardDatabase(state, folder.path()); }
    void TearDown() override { CloseDatabase(state.session); }

    QString data() const { return state.folders.dataFolder; }
    QStringList dataFiles() const { return filesIn(data()); }
    QString lastOpen() const { return TextFile::readLines(folder.file("LastopenDB.inc")).value(0); }

    void create(const QString& name, const QStringList& captions) {
        ScriptedMessages messages;
        messages.expectInformation(kCreated);
        ASSERT_TRUE(CreateDatabase(state.session, name, captions, messages));
    }

    TempProgramFolder folder;
    AppState state;
};

} // namespace

TEST(SafeFileName, DerivesFileNamesFromDisplayNames) {
    EXPECT_EQ(ToSafeFileName("Kunden 2024"), "kunden_2024");
    EXPECT_EQ(ToSafeFileName(QString::fromUtf8("Müller & Söhne")), "mueller_a_soehne");
    // Typed in Windows-1252, the same name arrives as these bytes.
    EXPECT_EQ(ToSafeFileName(TextFile::fromWindows1252("M\xFCller & S\xF6hne")),
              "mueller_a_soehne");
    // UTF-8 bytes of umlauts read as Windows-1252 characters are repaired first.
    EXPECT_EQ(ToSafeFileName(TextFile::fromWindows1252("M\xC3\xBCller \xC3\x9C\xC3\x9F")),
              "mueller_uess");
    EXPECT_EQ(ToSafeFileName(TextFile::fromWindows1252("\xC3\x84rger \xC3\x96l")), "aerger_oel");
    EXPECT_EQ(ToSafeFileName(QString::fromUtf8("Preis 5€")), "preis_5euro");
    EXPECT_EQ(ToSafeFileName(QString::fromUtf8("a.b-c!d$e%f=g\"h§i?j,k´l`m")),
              "a_b_c_d_e_f_g_h_i_j_k_l_m");
    EXPECT_EQ(ToSafeFileName(QString::fromUtf8("Café à la crème")),
              QString::fromUtf8("caf__à_la_crème"));
    EXPECT_EQ(ToSafeFileName("a*b:c(d)e\\f/g>h<i"), "axbxcxdxexfxgxhxi");
    EXPECT_EQ(ToSafeFileName(QString::fromUtf8("ÄÖÜäöüß")), "aeoeueaeoeuess");
    EXPECT_EQ(ToSafeFileName("ABC xyz_09"), "abc_xyz_09");
}

TEST(NewDatabaseChecks, InOrderFirstFailureWins) {
    const QStringList core = coreColumnNames();
    const QStringList captions = defaultFreeColumnCaptions();
    EXPECT_EQ(captions[1], "Bestellnummer ");

    EXPECT_EQ(checkNewDatabaseInput("   ", core, captions),
              "Bitte geben Sie einen Namen für die neue Datenbank ein!");
    EXPECT_EQ(checkNewDatabaseInput(QString(26, 'a'), core, captions), "");
    EXPECT_EQ(checkNewDatabaseInput("  " + QString(26, 'a') + "  ", core, captions), "");
    EXPECT_EQ(checkNewDatabaseInput(QString(27, 'a'), core, captions),
              "Achtung! Es ist nur Datenbanknamen mit maximal 26 Zeichen zulässig!");
    EXPECT_EQ(checkNewDatabaseInput("Kunden|Alt", core, captions),
              "Der Name darf das Zeichen \"|\" nicht enthalten!");

    QStringList many;
    for (int i = 1; i <= 170; ++i)
        many << QStringLiteral("Feld%1").arg(i);
    EXPECT_EQ(checkNewDatabaseInput("Kunden", core, many), "");
    many << "Feld171";
    EXPECT_EQ(checkNewDatabaseInput("Kunden", core, many),
              "Sie können maximal 170 zusätzliche Datenbankfelder benutzen, Sie haben aber 171 "
              "eingegeben!");

    EXPECT_EQ(checkNewDatabaseInput("Kunden", core, {"PLZ", "Ort", " plz "}),
              "Sie haben den Feldnamen plz doppelt vergeben! Bitte korrigieren Sie dieses.");
    EXPECT_EQ(checkNewDatabaseInput("Kunden", core, {"Vorname", "name"}),
              "Sie haben den Feldnamen name doppelt vergeben! Bitte korrigieren Sie dieses.");
    EXPECT_EQ(checkNewDatabaseInput("Kunden", core, {"Ort", "", "PLZ"}), "");
    EXPECT_EQ(checkNewDatabaseInput("Kunden", core, {"Ort", "", " "}),
              "Sie haben den Feldnamen  doppelt vergeben! Bitte korrigieren Sie dieses.");
    EXPECT_EQ(checkNewDatabaseInput("Kunden", core, {"Ort", "Land|Staat"}),
              "Der Feldname Land|Staat darf das Zeichen \"|\" nicht enthalten!");
}

TEST_F(CatalogueTest, ShippedStandardDatabaseOpens) {
    ScriptedMessages messages;
    ASSERT_TRUE(OpenDatabase(state.session, FileNames::standardDefinition(), messages));
    AddressTable* table = state.session.currentTable();
    ASSERT_TRUE(table);
    EXPECT_EQ(state.session.displayName(), "Grundstockdatenbank");
    EXPECT_TRUE(QFileInfo::exists(data() + "Database.DB"));
    const QStringList core = coreColumnNames();
    ASSERT_GE(table->fieldCount(), 18);
    for (int i = 0; i < core.size(); ++i)
        EXPECT_EQ(table->fieldName(i), core[i]);
    EXPECT_EQ(table->fieldType(0), FieldType::AutoInc);
    EXPECT_EQ(table->fieldType(1), FieldType::Boolean);
    EXPECT_EQ(table->fieldType(3), FieldType::Date);
    for (const char* name : {"Vorname", "Firma", "Ansprechpartner", "Str", "PLZ", "Ort", "Land",
                             "Tel", "Fax", "Kategorie"})
        EXPECT_GE(FindColumnByName(name, table), 8) << name;
    EXPECT_EQ(FindMailColumn(table), 4);

    // Every sortable column names an index the table has.
    QStringList indexNames;
    for (const IndexDef& ix : table->indexes())
        indexNames << ix.name;
    for (const FieldDefinition& d : state.session.definition().fields)
        if (d.sortable) {
            EXPECT_TRUE(indexNames.contains(d.indexName)) << d.name.toStdString();
        }
    EXPECT_TRUE(state.session.definition().showsCaptions());

    QStringList captions;
    for (const ViewFilter& f : state.session.definition().viewFilters) {
        captions << f.caption;
        EXPECT_TRUE(f.expression.isEmpty() || table->checkFilter(f.expression))
            << f.caption.toStdString();
    }
    EXPECT_EQ(captions.mid(0, 3), QStringList({"Alle", "Markierte", "Nicht markierte"}));
    EXPECT_TRUE(captions.contains(QString::fromUtf8("Ungültige")));
    EXPECT_EQ(state.session.definition().choicesFor("Anrede"),
              QStringList({"Herr", "Frau", "Firma"}));
}

TEST_F(CatalogueTest, CreateKunden2024) {
    create("Kunden 2024", {"Ort", "", "PLZ", "Str.:*", "./"});

    for (const char* ext : {".ini", ".pro", ".fil", ".cb", ".DB"})
        EXPECT_TRUE(QFileInfo::exists(data() + "kunden_2024" + ext)) << ext;
    EXPECT_EQ(state.session.catalogueLines().last(), "Kunden 2024| cddrive.bmp|kunden_2024.ini");
    EXPECT_EQ(TextFile::readLines(state.session.cataloguePath()).last(),
              "Kunden 2024| cddrive.bmp|kunden_2024.ini");
    EXPECT_EQ(TextFile::readLines(data() + "kunden_2024.ini"),
              QStringList({"TABLE        TABELNAME", "Table1      |kunden_2024"}));
    EXPECT_EQ(lastOpen(), "kunden_2024.ini");
    EXPECT_EQ(state.session.definitionName(), "kunden_2024.ini");
    EXPECT_EQ(state.session.displayName(), "Kunden 2024");

    // The header and the core lines of the template, then one line per kept caption;
    // blank and emptied lines use up their number.
    const QStringList shipped = TextFile::readLines(data() + "Database.pro");
    const QStringList pro = TextFile::readLines(data() + "kunden_2024.pro");
    EXPECT_EQ(pro.mid(0, 9), shipped.mid(0, 9));
    EXPECT_EQ(pro.mid(9), QStringList({freeColumnLine(1, "Ort"), freeColumnLine(3, "PLZ"),
                                       freeColumnLine(4, "Str")}));
    EXPECT_EQ(TextFile::readLines(data() + "kunden_2024.fil"),
              TextFile::readLines(data() + "Database.fil"));

    AddressTable* table = state.session.currentTable();
    ASSERT_TRUE(table);
    EXPECT_EQ(table->fieldCount(), 11);
    EXPECT_EQ(table->fieldName(8), "Spalte1");
    EXPECT_EQ(table->fieldName(9), "Spalte3");
    EXPECT_EQ(FindColumnByName("Spalte2", table), -1);
    QStringList titles = {"Spalte1", "Spalte3"};
    ApplyDisplayCaptions(state.session.definition(), titles);
    EXPECT_EQ(titles, QStringList({"Ort", "PLZ"}));
}

TEST_F(CatalogueTest, NamesWithControlCharactersNeverReachTheCatalogueOrAFileName) {
    const QString refused = QString::fromUtf8(
        "Der Name darf keine Steuerzeichen (Zeilenumbruch, Tabulator) enthalten!");
    ScriptedMessages messages;
    for (const QString& name : {QStringLiteral("Kunden\t2024"), QStringLiteral("Kunden\r\nAlt"),
                                QStringLiteral("Kunden") + QChar(0) + QStringLiteral("x"),
                                QStringLiteral("Kunden") + QChar(0x85)}) {
        messages.expectInformation(refused);
        EXPECT_FALSE(CreateDatabase(state.session, name, {"Ort"}, messages));
    }
    messages.expectInformation(QString::fromUtf8(
        "Der Feldname Ort Land darf keine Steuerzeichen (Zeilenumbruch, Tabulator) enthalten!"));
    EXPECT_FALSE(CreateDatabase(state.session, "Kunden", {"PLZ", "Ort\tLand"}, messages));
    EXPECT_EQ(state.session.catalogueLines().size(), 2);
    EXPECT_EQ(TextFile::readLines(state.session.cataloguePath()).size(), 2);
    EXPECT_EQ(dataFiles(),
              QStringList({"Database.cb", "Database.fil", "Database.ini", "Database.pro"}));
    // A name made elsewhere still gives a plain file name.
    EXPECT_EQ(ToSafeFileName(QStringLiteral("a\tb") + QChar(0) + QStringLiteral("c\nd")),
              "a_b_c_d");
}

TEST_F(CatalogueTest, CreateRefusesExistingNames) {
    ScriptedMessages messages;
    messages.expectInformation("Eine Datenbank mit dem Namen \"database\" existiert bereits. "
                               "Bitte wählen Sie einen anderen Namen!");
    EXPECT_FALSE(CreateDatabase(state.session, "Database", {"Ort"}, messages));
    messages.expectInformation("Der Name darf das Zeichen \"|\" nicht enthalten!");
    EXPECT_FALSE(CreateDatabase(state.session, "A|B", {"Ort"}, messages));
    messages.expectInformation("Bitte geben Sie einen Namen für die neue Datenbank ein!");
    EXPECT_FALSE(CreateDatabase(state.session, "  ", {}, messages));
    EXPECT_EQ(state.session.catalogueLines().size(), 2);
    EXPECT_EQ(dataFiles(),
              QStringList({"Database.cb", "Database.fil", "Database.ini", "Database.pro"}));
}

TEST_F(CatalogueTest, DeleteRemovesOnlyTheFilesOfThatDatabase) {
    create("Kunden", {"Ort"});
    create("Altkunden", {"PLZ"});
    // Companion files another part of the program writes.
    ASSERT_TRUE(TextFile::writeLines(data() + "kunden.grd", {"x"}));
    ASSERT_TRUE(TextFile::writeLines(data() + "KUNDEN.web", {"[SETTINGS]"}));
    {
        ScriptedMessages messages;
        ASSERT_TRUE(OpenDatabase(state.session, "kunden.ini", messages));
        EXPECT_EQ(state.session.displayName(),
                  "Kunden"); // not "Altkunden", whose line also contains it
    }
    const QStringList altFiles = {"altkunden.DB",  "altkunden.cb",  "altkunden.fil",
                                  "altkunden.ini", "altkunden.log", "altkunden.pro"};

    {
        ScriptedMessages messages;
        messages.expectDestructiveQuestion(kReallyDelete, true)
            .expectDestructiveQuestion(kAllLost, true);
        EXPECT_TRUE(DeleteDatabase(state.session, "kunden.ini", messages));
    }
    QStringList left = dataFiles();
    for (const QString& f : altFiles)
        EXPECT_TRUE(left.contains(f)) << f.toStdString();
    for (const QString& f : left)
        EXPECT_FALSE(f.startsWith("kunden.", Qt::CaseInsensitive)) << f.toStdString();
    EXPECT_EQ(state.session.catalogueLines(),
              QStringList({"Datenbanken", "Grundstockdatenbank| cddrive.bmp|Database.ini",
                           "Altkunden| cddrive.bmp|altkunden.ini"}));
    EXPECT_EQ(lastOpen(), "Database.ini");
    EXPECT_EQ(state.session.definitionName(), "Database.ini");
    EXPECT_TRUE(state.session.hasOpenTable());

    // "Nein" to either question changes nothing.
    for (bool first : {false, true}) {
        ScriptedMessages messages;
        messages.expectDestructiveQuestion(kReallyDelete, first);
        if (first)
            messages.expectDestructiveQuestion(kAllLost, false);
        EXPECT_FALSE(DeleteDatabase(state.session, "altkunden.ini", messages));
    }
    EXPECT_EQ(state.session.catalogueLines().size(), 3);
    EXPECT_TRUE(dataFiles().contains("altkunden.DB"));
}

TEST_F(CatalogueTest, StandardDatabaseCannotBeDeleted) {
    create("Kunden", {"Ort"});
    ScriptedMessages messages;
    messages.expectInformation(
        "Diese Datenbank ist die Grundstockdatenbank von Quillon!\r\rDiese Datenbank kann nicht "
        "gelöscht werden!\r\rWollen Sie diese Daten trotzdem löschen, gehen Sie auf den "
        "Menüpunkt \"Löschen --> Datenbank komplett leeren\"");
    EXPECT_FALSE(DeleteDatabase(state.session, "database.INI", messages));
    EXPECT_EQ(state.session.definitionName(), "Database.ini"); // reopened
    EXPECT_TRUE(state.session.hasOpenTable());
    EXPECT_TRUE(QFileInfo::exists(data() + "Database.pro"));
    EXPECT_EQ(state.session.catalogueLines().size(), 3);
}

TEST_F(CatalogueTest, OpenFailuresAreReportedAndTouchNothingElse) {
    create("Kunden", {"Ort"});
    ScriptedMessages messages;
    ASSERT_TRUE(OpenDatabase(state.session, "Database.ini", messages));
    CloseDatabase(state.session);

    // Garbage in the table file.
    QFile db(data() + "kunden.DB");
    ASSERT_TRUE(db.open(QIODevice::WriteOnly | QIODevice::Truncate));
    db.write(QByteArray(4096, '\x5A'));
    db.close();
    messages.expectAnyError();
    EXPECT_FALSE(OpenDatabase(state.session, "kunden.ini", messages));
    EXPECT_FALSE(state.session.hasOpenTable());
    EXPECT_TRUE(state.session.definition().isEmpty());
    ASSERT_TRUE(messages.shown().last().contains("kunden.DB"))
        << messages.shown().last().toStdString();

    // The database stays selected, so maintenance can be tried on the broken table.
    EXPECT_EQ(state.session.definitionName(), "kunden.ini");
    RecordingMessages recording(true);
    EXPECT_FALSE(MaintainDatabase(state.session, recording));
    ASSERT_EQ(recording.shown.size(), 3);
    EXPECT_TRUE(recording.shown[0].startsWith("Q:"));
    EXPECT_TRUE(recording.shown[1].startsWith("E:") && recording.shown[1].contains("kunden.DB"));
    EXPECT_TRUE(recording.shown[2].startsWith("E:")); // reopening fails again
    EXPECT_FALSE(state.session.hasOpenTable());

    // The other database is untouched and opens.
    ASSERT_TRUE(OpenDatabase(state.session, "Database.ini", messages));
    EXPECT_TRUE(state.session.hasOpenTable());

    // A missing .pro: error, the previous database is closed.
    ASSERT_TRUE(QFile::remove(data() + "kunden.pro"));
    ASSERT_TRUE(QFile::remove(data() + "kunden.DB"));
    messages.expectError("Die Datenbank \"kunden.ini\" kann nicht geöffnet werden:\r"
                         "Die Datei \"" +
                         QDir::toNativeSeparators(data() + "kunden.pro") + "\" existiert nicht.");
    EXPECT_FALSE(OpenDatabase(state.session, "kunden.ini", messages));
    EXPECT_FALSE(state.session.hasOpenTable());
    EXPECT_TRUE(state.session.definitionName().isEmpty());

    // A missing definition file.
    messages.expectError("Die Datenbank \"weg.ini\" kann nicht geöffnet werden:\r"
                         "Die Datei \"" +
                         QDir::toNativeSeparators(data() + "weg.ini") + "\" existiert nicht.");
    EXPECT_FALSE(OpenDatabase(state.session, "weg.ini", messages));

    // An empty name opens nothing and changes nothing.
    EXPECT_FALSE(OpenDatabase(state.session, "  ", messages));
    EXPECT_FALSE(state.session.hasOpenTable());
    ASSERT_TRUE(OpenDatabase(state.session, "DATABASE.INI", messages)); // any case
    EXPECT_FALSE(OpenDatabase(state.session, "", messages));
    EXPECT_TRUE(state.session.hasOpenTable());
}

TEST_F(CatalogueTest, OpenShowsLastRecordAndReadsWebSettings) {
    ScriptedMessages messages;
    ASSERT_TRUE(OpenDatabase(state.session, "Database.ini", messages));
    AddressTable* table = state.session.currentTable();
    for (const char* mail : {"a@example.com", "b@example.com", "c@example.com"}) {
        table->append();
        ASSERT_TRUE(table->setString("Mail", mail));
        ASSERT_TRUE(table->post());
    }
    table->edit(); // pending edits are kept when the database closes
    ASSERT_TRUE(table->setString("Name", "Zuletzt"));

    int aboutToClose = 0;
    QObject::connect(&state.session, &DatabaseSession::aboutToClose, [&] {
        ++aboutToClose;
        EXPECT_TRUE(state.session.hasOpenTable()); // the grid layout can still be read
    });
    IniFile web(data() + "Database.web");
    web.writeString("SETTINGS", "StatsURL", "http://example.com/stats/");
    ASSERT_TRUE(OpenDatabase(state.session, "Database.ini", messages));
    EXPECT_EQ(aboutToClose, 1);
    table = state.session.currentTable();
    EXPECT_EQ(table->recordCount(), 3);
    EXPECT_EQ(table->recNo(), 2);
    EXPECT_EQ(table->asString("Mail"), "c@example.com");
    EXPECT_EQ(table->asString("Name"), "Zuletzt");
    EXPECT_TRUE(state.session.webLinksEnabled());
    EXPECT_FALSE(state.session.webFetchEnabled());
    // Loaded from the opened database's file, never left from the closed one.
    EXPECT_EQ(state.session.tracking().statsAddress, "http://example.com/stats/");

    web.writeString("SETTINGS", "OnlinePath", "http://example.com/kit/");
    web.writeString("SETTINGS", "StatsURL", "");
    ASSERT_TRUE(OpenDatabase(state.session, "Database.ini", messages));
    EXPECT_TRUE(state.session.webLinksEnabled());
    EXPECT_TRUE(state.session.webFetchEnabled());
    ASSERT_TRUE(QFile::remove(data() + "Database.web"));
    ASSERT_TRUE(OpenDatabase(state.session, "Database.ini", messages));
    EXPECT_FALSE(state.session.webLinksEnabled());
    EXPECT_FALSE(state.session.webFetchEnabled());
}

TEST(CatalogueLines, DisplayNameAndLastOpen) {
    const QStringList lines = {"Datenbanken", "Grundstock| cddrive.bmp|Database.ini",
                               "Kunden| cddrive.bmp|kunden.ini",
                               "Altkunden| cddrive.bmp|altkunden.ini"};
    EXPECT_EQ(catalogueDisplayName(lines, "KUNDEN.INI"), "Kunden");
    EXPECT_EQ(catalogueDisplayName(lines, "altkunden.ini"), "Altkunden");
    EXPECT_EQ(catalogueDisplayName(lines, "kunden"), "Altkunden"); // last line containing it
    EXPECT_EQ(catalogueDisplayName(lines, "fremd.ini"), "Grundstock");
    EXPECT_EQ(catalogueDisplayName({"Datenbanken"}, "fremd.ini"), "");
    ASSERT_EQ(catalogueEntries(lines).size(), 3);
    EXPECT_EQ(catalogueEntries(lines)[1].definitionName, "kunden.ini");

    TempProgramFolder folder;
    EXPECT_EQ(readLastOpenDatabase(folder.path()), "Database.ini");
    ASSERT_TRUE(TextFile::writeLines(folder.file("LastopenDB.inc"), {"", "kunden.ini"}));
    EXPECT_EQ(readLastOpenDatabase(folder.path()), "");
    ASSERT_TRUE(writeLastOpenDatabase(folder.path(), "kunden.ini"));
    EXPECT_EQ(readLastOpenDatabase(folder.path()), "kunden.ini");
    EXPECT_EQ(readBytes(folder.file("LastopenDB.inc")), QByteArray("kunden.ini\r\n"));
}

TEST(CatalogueLines, LinesThatNameNoDatabaseAreReportedAndNeverShown) {
    const QStringList lines = {"Datenbanken",  QString::fromLatin1("\x01\x7f\xff\xfe junk"),
                               "nur ein Wort", "Ohne Datei| cddrive.bmp|kunden",
                               "  ",           "Kunden| cddrive.bmp|kunden.ini"};
    EXPECT_EQ(
        catalogueFaults(lines),
        QStringList({QString::fromLatin1("Zeile 2: \"??\xff\xfe junk\""),
                     "Zeile 3: \"nur ein Wort\"", "Zeile 4: \"Ohne Datei| cddrive.bmp|kunden\""}));
    ASSERT_EQ(catalogueEntries(lines).size(), 1);
    // The junk is never taken for the name of the open database.
    EXPECT_EQ(catalogueDisplayName(lines, "Database.ini"), "Kunden");
    EXPECT_EQ(catalogueDisplayName(lines, "kunden"), "Kunden");
    EXPECT_EQ(catalogueEntryFor({"Datenbanken", "nur ein Wort"}, "Database.ini").displayName,
              "Database");
    EXPECT_TRUE(catalogueFaults({"Datenbanken", "Grundstock| cddrive.bmp|Database.ini"}).isEmpty());
}

TEST_F(CatalogueTest, ShiftedDefinitionLinesAreReportedWhenTheTableOpens) {
    ScriptedMessages messages;
    ASSERT_TRUE(OpenDatabase(state.session, "Database.ini", messages));
    QStringList pro = TextFile::readLines(data() + "Database.pro");
    ASSERT_TRUE(pro.at(2).startsWith("Selected"));
    // The type was left out: every later word moves one place.
    pro[2] = "Selected||False|0| | | |FALSE|Markiert";
    pro[3] = "Invalid|ftBoolean|False|null| | | |FALSE|Ungültig";
    ASSERT_TRUE(TextFile::writeLines(data() + "Database.pro", pro));
    messages.expectError(
        "Die Spaltendefinition \"" + QDir::toNativeSeparators(data() + "Database.pro") +
        "\" ist fehlerhaft:\rZeile 3 (\"Selected\"): unbekannter Typ \"False\"\rZeile 4 "
        "(\"Invalid\"): die Größe \"null\" ist keine ganze Zahl\r\rVermutlich fehlt in diesen "
        "Zeilen ein Feld: ein leeres Feld muss als Leerzeichen zwischen zwei \"|\" stehen. "
        "Spalten dieser Zeilen werden nicht richtig angezeigt.");
    // The table opens all the same.
    EXPECT_TRUE(OpenDatabase(state.session, "Database.ini", messages));
    EXPECT_TRUE(state.session.hasOpenTable());
    EXPECT_TRUE(messages.allShown());
}

TEST_F(CatalogueTest, MaintenanceChecksAndReopens) {
    {
        ScriptedMessages messages;
        messages.expectInformation("Zuerst Datenbank öffnen!");
        EXPECT_FALSE(MaintainDatabase(state.session, messages));
    }
    ScriptedMessages quiet;
    ASSERT_TRUE(OpenDatabase(state.session, "Database.ini", quiet));
    {
        ScriptedMessages messages;
        messages.expectQuestion("Die Tabellen der Datenbank \"Grundstockdatenbank\" werden jetzt "
                                "geprüft und, wenn nötig, repariert. Die Datenbank wird dazu kurz "
                                "geschlossen.\r\rJetzt prüfen und reparieren?",
                                false);
        EXPECT_FALSE(MaintainDatabase(state.session, messages));
        EXPECT_TRUE(state.session.hasOpenTable());
    }
    RecordingMessages recording(true);
    EXPECT_TRUE(MaintainDatabase(state.session, recording));
    ASSERT_EQ(recording.shown.size(), 2);
    EXPECT_TRUE(recording.shown[0].startsWith("Q:"));
    EXPECT_TRUE(recording.shown[1].startsWith("I:"));
    EXPECT_TRUE(recording.shown[1].contains("Database.DB"));
    EXPECT_TRUE(state.session.hasOpenTable());
    EXPECT_EQ(state.session.definitionName(), "Database.ini");
}
