#include "database/DatabaseDefinition.h"

#include "common/TextFile.h"
#include "database/AddressTable.h"
#include "database/TableDefinition.h"
#include "support/ScriptedMessages.h"
#include "support/TempProgramFolder.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

const QString kHeader = QStringLiteral(
    "FELDNAME | TYP | PFLICHT | GROESSE | INDEX | FELDER | PRIMAER | SORT | ANZEIGENAME");
const QString kIdLine =
    QStringLiteral("ID | ftAutoInc | False | 0 | ID | ID | ixPrimary | FALSE | Nummer");

class DefinitionFolder : public ::testing::Test {
protected:
    void writePro(const QString& table, const QStringList& lines) {
        ASSERT_TRUE(TextFile::writeLines(data() + table + ".pro", lines));
    }
    QString data() const { return folder.path(); }
    TempProgramFolder folder;
};

const ColumnDef* column(const AddressTable& t, const QString& name) {
    for (const ColumnDef& c : t.columns())
        if (c.name.compare(name, Qt::CaseInsensitive) == 0)
            return &c;
    return nullptr;
}

} // namespace

TEST(FieldDefinitionLine, FreeColumnLineParsesToIndexedSortableText) {
    const QString line = freeColumnLine(3, QStringLiteral("PLZ"));
    EXPECT_EQ(line,
              QStringLiteral("Spalte3| ftString   | False      |80     | Spalte3 | Spalte3    "
                             "|                     | TRUE        | PLZ"));
    const FieldDefinition d = FieldDefinition::parse(line);
    EXPECT_EQ(d.name, "Spalte3");
    EXPECT_EQ(d.typeName, "ftString");
    EXPECT_FALSE(d.required);
    EXPECT_TRUE(d.sizeValid);
    EXPECT_EQ(d.size, 80);
    EXPECT_EQ(d.indexName, "Spalte3");
    EXPECT_EQ(d.indexFields, "Spalte3");
    EXPECT_FALSE(d.primary);
    EXPECT_TRUE(d.sortable);
    EXPECT_EQ(d.caption, "PLZ");
}

TEST(FieldDefinitionLine, CaptionFallsBackToNameAndMissingMiddleFieldShifts) {
    const FieldDefinition noCaption =
        FieldDefinition::parse("Firma | ftString | true | 40 |   |   |   | false |   ");
    EXPECT_TRUE(noCaption.required);
    EXPECT_FALSE(noCaption.sortable);
    EXPECT_EQ(noCaption.rawCaption, "");
    EXPECT_EQ(noCaption.caption, "Firma");

    // "Ja" is no required word; an empty middle field shifts the later words.
    const FieldDefinition shifted = FieldDefinition::parse("Ort | ftString | Ja || 40 | Ort");
    EXPECT_FALSE(shifted.required);
    EXPECT_EQ(shifted.size, 40);
    EXPECT_EQ(shifted.indexName, "Ort");
}

TEST(DefinitionFiles, HeaderAndBlankLinesCarryNoEntry) {
    const QStringList fil = {"Alle | Selected='True'", "Alle", "", "Markierte|Selected='True'"};
    const QList<ViewFilter> filters = parseViewFilters(fil);
    ASSERT_EQ(filters.size(), 2);
    // A caption alone means no condition: all records.
    EXPECT_EQ(filters[0].caption, "Alle");
    EXPECT_TRUE(filters[0].expression.isEmpty());
    EXPECT_EQ(filters[1].expression, "Selected='True'");

    const QStringList cb = {"Anrede|Herr", "Anrede | Herr;Frau;Firma",
                            "Land|D=Deutschland; A=Österreich;;CH"};
    const QList<ChoiceList> lists = parseChoiceLists(cb);
    ASSERT_EQ(lists.size(), 2);
    EXPECT_EQ(lists[0].choices, QStringList({"Herr", "Frau", "Firma"}));
    EXPECT_EQ(lists[1].choices, QStringList({"D", "A", "CH"}));
    const TableDefinition withChoices = TableDefinition::fromLines({kHeader}, {}, cb);
    EXPECT_EQ(withChoices.choicesFor("LAND"), QStringList({"D", "A", "CH"}));
    EXPECT_TRUE(withChoices.choicesFor("Ort").isEmpty());

    const DatabaseDefinition def =
        parseDatabaseDefinition({"TABLE        TABELNAME", "Table1      |kunden", "Table2|archiv"});
    ASSERT_EQ(def.tables.size(), 2);
    EXPECT_EQ(def.tables[0].label, "Table1");
    EXPECT_EQ(def.tables[0].tableName, "kunden");
    EXPECT_EQ(def.tables[1].tableName, "archiv");

    const QStringList pro = {kHeader,
                             kIdLine,
                             "Selected|ftBoolean|False|0",
                             "Invalid|ftBoolean|False|0",
                             "LetztesMail|ftDate|False|0",
                             "Mail|ftString|False|80| | | |TRUE|E-Mail"};
    const QList<FieldDefinition> targets =
        TableDefinition::fromLines(QStringList(pro) << "Anrede|ftString|False|20| | | |FALSE| ")
            .targetFields();
    ASSERT_EQ(targets.size(), 2);
    EXPECT_EQ(targets[0].caption, "E-Mail");
    EXPECT_EQ(targets[1].caption, "Anrede");
}

TEST_F(DefinitionFolder, CreateTableFollowsDefinitionAndWritesCreationRecord) {
    writePro("kunden", {kHeader, kIdLine,
                        "Mail    | ftString  | true  | 80  | MailIdx | Mail |   | TRUE | E-Mail",
                        "Bild    | ftPicture | Ja    | 200 |   |   |   | FALSE | Bild",
                        "Notiz   | ftRaetsel | False | 10  |   |   |   | FALSE | Notiz",
                        freeColumnLine(3, "PLZ")});
    ScriptedMessages messages;
    ASSERT_TRUE(CreateTableFromDefinition(data(), "kunden", messages));

    AddressTable table;
    ASSERT_TRUE(table.open(data() + "kunden.DB"));
    ASSERT_EQ(table.fieldCount(), 4); // the unknown type creates no column
    EXPECT_EQ(table.fieldName(0), "ID");
    EXPECT_EQ(table.fieldType(0), FieldType::AutoInc);
    const ColumnDef* mail = column(table, "Mail");
    ASSERT_TRUE(mail);
    EXPECT_TRUE(mail->required);
    EXPECT_EQ(mail->size, 80);
    const ColumnDef* picture = column(table, "Bild");
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->size, 2);
    EXPECT_FALSE(picture->required);
    const ColumnDef* plz = column(table, "Spalte3");
    ASSERT_TRUE(plz);
    EXPECT_EQ(plz->type, FieldType::String);
    EXPECT_EQ(plz->size, 80);
    EXPECT_EQ(column(table, "Notiz"), nullptr);

    bool spalte3Index = false;
    for (const IndexDef& ix : table.indexes()) {
        if (ix.name == "Spalte3") {
            spalte3Index = true;
            EXPECT_EQ(ix.fields, QStringList{"Spalte3"});
            EXPECT_FALSE(ix.primary);
        }
    }
    EXPECT_TRUE(spalte3Index);
    table.close();

    EXPECT_EQ(
        TextFile::readLines(data() + "kunden.log"),
        QStringList(
            {"FieldDefs.Add(ID,ftAutoInc,0,FALSE);", "FieldDefs.Add(Mail,ftString,80,TRUE);",
             "FieldDefs.Add(Bild,ftPicture,200,JA);", "FieldDefs.Add(Notiz,ftRaetsel,10,FALSE);",
             "FieldDefs.Add(Spalte3,ftString,80,FALSE);",
             "IndexDefs.Add(ID,ID,[ixPrimary,ixUnique]);", "IndexDefs.Add(MailIdx,Mail,[]);",
             "IndexDefs.Add(Spalte3,Spalte3,[]);"}));
}

TEST_F(DefinitionFolder, CreateTableRefusals) {
    // A size word that is no integer stops before anything is written.
    writePro("bad",
             {kHeader, kIdLine, "Name | ftString | False | achtzig |  |  |  | FALSE | Name"});
    {
        ScriptedMessages messages;
        messages.expectError("Die Spalte \"Name\" in \"bad.pro\" hat die Größe \"achtzig\", die "
                             "keine ganze Zahl ist.\r\rDie Tabelle \"bad\" wurde nicht erzeugt.");
        EXPECT_FALSE(CreateTableFromDefinition(data(), "bad", messages));
    }
    EXPECT_FALSE(QFileInfo::exists(data() + "bad.DB"));
    EXPECT_FALSE(QFileInfo::exists(data() + "bad.log"));

    // Two columns of the same name cannot be made; the message says why, and the log
    // stays.
    writePro("dup", {kHeader, kIdLine, "Name|ftString|False|20", "NAME|ftString|False|20"});
    {
        ScriptedMessages messages;
        messages.expectError("Database not created!\rDie Spalte \"NAME\" ist in \"dup.pro\" "
                             "zweimal definiert.");
        EXPECT_FALSE(CreateTableFromDefinition(data(), "dup", messages));
    }
    EXPECT_FALSE(QFileInfo::exists(data() + "dup.DB"));
    EXPECT_EQ(TextFile::readLines(data() + "dup.log").size(), 4);
    // The engine's refusal follows the message too.
    writePro("leer", {kHeader, "Name|Text|False|20"});
    {
        ScriptedMessages messages;
        messages.expectError("Database not created!\rDie Tabelle \"" +
                             QDir::toNativeSeparators(data() + "leer.DB") +
                             "\" kann nicht angelegt werden: Die Tabelle hat keine Spalten.");
        EXPECT_FALSE(CreateTableFromDefinition(data(), "leer", messages));
    }

    // A missing .pro is a file error.
    {
        ScriptedMessages messages;
        messages.expectAnyError();
        EXPECT_FALSE(CreateTableFromDefinition(data(), "fehlt", messages));
    }
}

TEST_F(DefinitionFolder, ColumnLookupIgnoresCase) {
    writePro("t", {kHeader, kIdLine, "mail|ftString|False|80", "Name|ftString|False|40"});
    ScriptedMessages messages;
    ASSERT_TRUE(CreateTableFromDefinition(data(), "t", messages));
    writePro("u", {kHeader, kIdLine, "EMail|ftString|False|80"});
    ASSERT_TRUE(CreateTableFromDefinition(data(), "u", messages));

    AddressTable withMail;
    ASSERT_TRUE(withMail.open(data() + "t.DB"));
    EXPECT_EQ(FindMailColumn(&withMail), 1);
    EXPECT_EQ(FindColumnByName("NAME", &withMail), 2);
    EXPECT_EQ(FindColumnByName("Vorname", &withMail), -1);
    withMail.close();

    AddressTable withoutMail;
    ASSERT_TRUE(withoutMail.open(data() + "u.DB"));
    EXPECT_EQ(FindMailColumn(&withoutMail), -1);
    withoutMail.close();
    EXPECT_EQ(FindMailColumn(&withoutMail), -1); // closed table
    EXPECT_EQ(FindMailColumn(nullptr), -1);
    EXPECT_EQ(FindColumnByName("Mail", nullptr), -1);
}

TEST(DisplayCaptions, OnlyWithAnzeigenameInTheHeader) {
    const QStringList body = {kIdLine, "Mail|ftString|False|80| | | |TRUE|E-Mail",
                              "Fax|ftString|False|40| | | |FALSE| ", freeColumnLine(1, "Name"),
                              "Name|ftString|False|40| | | |FALSE|Nachname"};
    const QStringList fields = {"ID", "MAIL", "Fax", "Spalte1", "Name"};

    QStringList titles = fields;
    ApplyDisplayCaptions(TableDefinition::fromLines(QStringList{kHeader} + body), titles);
    // An empty caption is taken too; a caption equal to a field name is not renamed again.
    EXPECT_EQ(titles, QStringList({"Nummer", "E-Mail", "", "Name", "Nachname"}));

    titles = fields;
    ApplyDisplayCaptions(
        TableDefinition::fromLines(QStringList{"FELDNAME | TYP | anzeigename"} + body), titles);
    EXPECT_EQ(titles, fields);
    ApplyDisplayCaptions(TableDefinition{}, titles);
    EXPECT_EQ(titles, fields);
}

TEST(DataFiles, NamesAreMatchedWithoutRegardToCaseAndStayInTheFolder) {
    TempProgramFolder folder;
    ASSERT_TRUE(TextFile::writeLines(folder.file("KUNDEN.Pro"), {"x"}));
    EXPECT_EQ(resolveDataFile(folder.path(), "kunden.pro"), folder.file("KUNDEN.Pro"));
    EXPECT_EQ(dataFilePath(folder.path(), "kunden.log"), folder.file("kunden.log"));
    EXPECT_TRUE(resolveDataFile(folder.path(), "kunden.fil").isEmpty());
    EXPECT_TRUE(resolveDataFile(folder.path(), "../KUNDEN.Pro").isEmpty());
    EXPECT_TRUE(dataFilePath(folder.path(), "..").isEmpty());
}
