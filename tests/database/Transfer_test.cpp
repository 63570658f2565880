#include "database/Transfer.h"

#include "database/DatabaseTestSupport.h"

namespace {

// The standard database as target and a source database "Quelle" with the free columns
// Stadt (Spalte1) and Telefon (Spalte2), holding four records, two of them marked.
class TransferTest : public ::testing::Test {
protected:
    void SetUp() override {
        layOutStandardDatabase(state, folder.path());
        ScriptedMessages messages;
        messages.expectInformation("Datenbank wurde erzeugt!");
        ASSERT_TRUE(CreateDatabase(state.session, "Quelle", {"Stadt", "Telefon"}, messages));
        source = state.session.definitionName();
        AddressTable* t = state.session.currentTable();
        const char* rows[][5] = {{"anna@example.de", "Frau", "Müller", "Köln", "0221"},
                                 {"bernd@example.de", "Herr", "Özdemir", "Bonn", "0228"},
                                 {"clara@example.de", "Frau", "Nguyễn", "Essen", "0201"},
                                 {"dirk@example.de", "Herr", "Weiß", "Aachen", "0241"}};
        for (int i = 0; i < 4; ++i) {
            t->append();
            t->setBool("Selected", i % 2 == 0);
            t->setBool("Invalid", i == 1);
            t->setDate("LetztesMail", QDate(2026, 1, i + 1));
            t->setString("Mail", rows[i][0]);
            t->setString("Anrede", rows[i][1]);
            t->setString("Betreff", "Hallo");
            t->setString("Name", rows[i][2]);
            t->setString("Spalte1", rows[i][3]);
            t->setString("Spalte2", rows[i][4]);
            ASSERT_TRUE(t->post());
        }
        ASSERT_TRUE(OpenDatabase(state.session, "Database.ini", messages));
        table = state.session.currentTable();
        ASSERT_NE(table, nullptr);
        // One record of its own, which keeps its number.
        table->append();
        table->setString("Mail", "eigen@example.de");
        ASSERT_TRUE(table->post());
    }
    void TearDown() override { CloseDatabase(state.session); }

    TempProgramFolder folder;
    AppState state;
    QString source;
    AddressTable* table = nullptr;
};

} // namespace

TEST_F(TransferTest, PositionsTwoToNineThenTheMappedFields) {
    QList<FieldDefinition> fields;
    QString error;
    ASSERT_TRUE(Transfer::mappableFields(state.folders.dataFolder, source, &fields, &error));
    ASSERT_EQ(fields.size(), 2);
    EXPECT_EQ(fields[0].name, "Spalte1");
    EXPECT_EQ(fields[0].caption, "Stadt");

    Transfer::Run run;
    ASSERT_TRUE(run.open(state.folders.dataFolder, source, false, &error)) << error.toStdString();
    EXPECT_EQ(run.count(), 4);
    qint64 unfit = -1;
    QList<qint64> progress;
    const qint64 copied = run.copyInto(
        *table, {{"Ort", "Spalte1"}, {"Tel", "Spalte2"}, {"Vorname", "Spalte2"}},
        [&](qint64 k, qint64) { progress << k; }, &unfit, &error);
    run.close();
    ASSERT_EQ(copied, 4) << error.toStdString();
    EXPECT_EQ(unfit, 0);
    EXPECT_EQ(progress.last(), 4);

    const std::vector<qint64> ids = table->tableIds();
    ASSERT_EQ(ids.size(), 5u);
    EXPECT_EQ(ids[1], ids[0] + 1); // new numbers of the target table
    table->locateId(ids[2]);
    EXPECT_EQ(table->asString("Mail"), "bernd@example.de");
    EXPECT_EQ(table->asString("Selected"), "False");
    EXPECT_EQ(table->asString("Invalid"), "True");
    EXPECT_EQ(table->asDate("LetztesMail"), QDate(2026, 1, 2));
    EXPECT_EQ(table->asString("Anrede"), "Herr");
    EXPECT_EQ(table->asString("Betreff"), "Hallo");
    EXPECT_EQ(table->asString("Name"), QString::fromUtf8("Özdemir"));
    // Position 9 came over by position, then the mapping overrode it.
    EXPECT_EQ(table->asString("Vorname"), "0228");
    EXPECT_EQ(table->asString("Ort"), "Bonn");
    EXPECT_EQ(table->asString("Tel"), "0228");
    EXPECT_EQ(table->asString("Firma"), "");
    table->locateId(ids[3]);
    EXPECT_EQ(table->asString("Name"), QString::fromUtf8("Nguyễn"));
}

TEST_F(TransferTest, OnlyMarkedRecordsAndPositionNineWithoutMapping) {
    Transfer::Run run;
    QString error;
    ASSERT_TRUE(run.open(state.folders.dataFolder, source, true, &error));
    EXPECT_EQ(run.count(), 2);
    qint64 unfit = 0;
    ASSERT_EQ(run.copyInto(*table, {}, {}, &unfit, &error), 2);
    run.close();
    const std::vector<qint64> ids = table->tableIds();
    ASSERT_EQ(ids.size(), 3u);
    table->locateId(ids[1]);
    EXPECT_EQ(table->asString("Mail"), "anna@example.de");
    EXPECT_EQ(table->asString("Selected"), "True");
    EXPECT_EQ(table->asString("Vorname"), QString::fromUtf8("Köln"));
    EXPECT_EQ(table->asString("Ort"), "");
    table->locateId(ids[2]);
    EXPECT_EQ(table->asString("Mail"), "clara@example.de");

    EXPECT_FALSE(run.open(state.folders.dataFolder, "Fehlt.ini", false, &error));
    EXPECT_TRUE(error.contains("Fehlt.DB")) << error.toStdString();
}

// A source of six fields has nothing at positions 7 to 9: those stay empty.
TEST_F(TransferTest, SourceWithFewerThanNineFieldsCopiesWhatExists) {
    const QString data = state.folders.dataFolder;
    QStringList pro = TextFile::readLines(data + "Database.pro").mid(0, 7);
    ASSERT_TRUE(TextFile::writeLines(data + "Kurz.pro", pro));
    ScriptedMessages messages;
    ASSERT_TRUE(CreateTableFromDefinition(data, "Kurz", messages));
    {
        AddressTable shortTable;
        ASSERT_TRUE(shortTable.open(data + "Kurz.DB"));
        ASSERT_EQ(shortTable.fieldCount(), 6);
        shortTable.append();
        shortTable.setString("Mail", "kurz@example.de");
        shortTable.setString("Anrede", "Frau");
        ASSERT_TRUE(shortTable.post());
    }
    Transfer::Run run;
    QString error;
    ASSERT_TRUE(run.open(data, "Kurz.ini", false, &error)) << error.toStdString();
    qint64 unfit = 0;
    ASSERT_EQ(run.copyInto(*table, {{"Ort", "Fehlt"}}, {}, &unfit, &error), 1);
    run.close();
    table->last();
    EXPECT_EQ(table->asString("Mail"), "kurz@example.de");
    EXPECT_EQ(table->asString("Anrede"), "Frau");
    EXPECT_EQ(table->asString("Name"), "");
    EXPECT_EQ(table->asString("Vorname"), "");
    EXPECT_EQ(table->asString("Selected"), "False");
}
