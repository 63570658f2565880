#include "records/RecordEditing.h"

#include "database/TableDefinition.h"

#include "common/TextFile.h"
#include "records/RecordsTestSupport.h"

namespace {

class RecordEditingTest : public OpenStandardDatabase {
protected:
    void SetUp() override {
        OpenStandardDatabase::SetUp();
        add({{"Mail", "anna@web.de"}, {"Name", "Adam"}, {"Anrede", "Frau"}, {"Selected", "True"}});
        add({{"Mail", "bert@web.de"}, {"Name", "Bauer"}, {"Anrede", "Herr"}});
        add({{"Mail", "carl@gmx.de"}, {"Name", "Conrad"}, {"Selected", "True"}});
        add({{"Mail", "O'Neill@web.de"}, {"Name", "O'Neill"}});
    }
    QStringList listLines() const { return TextFile::readLines(folder.file("SchonInDB.list")); }
};

} // namespace

TEST_F(RecordEditingTest, ExistingAddressesFollowTheCurrentView) {
    ASSERT_TRUE(WriteExistingAddresses(state.session));
    EXPECT_EQ(listLines(),
              QStringList({"anna@web.de", "bert@web.de", "carl@gmx.de", "O'Neill@web.de"}));
    ASSERT_TRUE(table->setFilter("Selected='True'"));
    table->setFiltered(true);
    ASSERT_TRUE(table->setIndexName("Mail"));
    ASSERT_TRUE(WriteExistingAddresses(state.session));
    EXPECT_EQ(listLines(), QStringList({"anna@web.de", "carl@gmx.de"}));
}

TEST_F(RecordEditingTest, DuplicateCheckAsksForEveryContainingLineAndTheLastAnswerDecides) {
    ASSERT_TRUE(WriteExistingAddresses(state.session));
    {
        ScriptedMessages m;
        m.expectQuestion(duplicateQuestion("anna@web.de"), true);
        m.expectQuestion(duplicateQuestion("bert@web.de"), false);
        m.expectQuestion(duplicateQuestion("O'Neill@web.de"), false);
        EXPECT_FALSE(DuplicateCheckAccepts(folder.path(), "WEB.DE", m));
    }
    {
        ScriptedMessages m;
        m.expectQuestion(duplicateQuestion("anna@web.de"), false);
        m.expectQuestion(duplicateQuestion("bert@web.de"), true);
        m.expectQuestion(duplicateQuestion("O'Neill@web.de"), true);
        EXPECT_TRUE(DuplicateCheckAccepts(folder.path(), "@web.de", m));
    }
    ScriptedMessages none;
    EXPECT_TRUE(DuplicateCheckAccepts(folder.path(), "neu@example.org", none));
    EXPECT_TRUE(DuplicateCheckAccepts(folder.path(), "", none));
}

TEST(EditorRows, LayoutFollowsTheDefinitionLines) {
    const QStringList pro = {
        "FELDNAME | TYP | PFLICHT | GROESSE | INDEXNAME | INDEXFELDER | PRIMAER | SORTIERBAR | "
        "ANZEIGENAME",
        "ID | ftAutoInc | False | 0 | ID | ID | ixPrimary | FALSE | ID",
        "Selected | ftBoolean | False | 0 | | | | FALSE | Markiert",
        "Anrede | ftString | False | 20 | | | | FALSE | ",
        "KundenId | ftString | False | 20 | | | | FALSE | Kunde",
        "KundenID | ftString | False | 20 | | | | FALSE | Kunde",
        "Archive | ftString | False | 20 | | | | FALSE | Archiv",
        "Name | ftString | False | 60 | | | | FALSE | Nachname"};
    const QStringList cb = {"FELD | AUSWAHL", "Anrede |Herr; Frau=Frau Dr.;Firma"};
    const QList<EditorRow> rows = EditorRows(TableDefinition::fromLines(pro, {}, cb));
    ASSERT_EQ(rows.size(), 7);
    EXPECT_TRUE(rows[0].hidden);
    EXPECT_EQ(rows[1].kind, EditorRow::Kind::Check);
    EXPECT_EQ(rows[1].caption, "Markiert");
    EXPECT_EQ(rows[2].kind, EditorRow::Kind::Combo);
    EXPECT_EQ(rows[2].choices, QStringList({"Herr", "Frau", "Firma"}));
    EXPECT_EQ(rows[2].caption, "Anrede"); // empty caption: the field name
    EXPECT_FALSE(rows[3].hidden);         // "ID" only in exact case
    EXPECT_TRUE(rows[4].hidden);
    EXPECT_TRUE(rows[5].hidden);
    EXPECT_EQ(rows[6].kind, EditorRow::Kind::Edit);
    EXPECT_EQ(rows[6].y, 120); // hidden rows keep their place
}

TEST_F(RecordEditingTest, SaveRecordReportsRefusedValuesAndSkipsUnchangedRecords) {
    state.flags.checkDuplicatesOnInput = false;
    ScriptedMessages m;
    m.expectError("\"31.02.2026\" ist kein gültiges Datum für das Feld \"LetztesMail\".");
    EXPECT_EQ(SaveRecord(state.session, true, {{"Mail", "neu@x.de"}, {"LetztesMail", "31.02.2026"}},
                         state.flags.checkDuplicatesOnInput, m),
              SaveOutcome::Failed);
    EXPECT_EQ(table->recordCount(), 4);
    EXPECT_EQ(table->state(), AddressTable::State::Browse);

    table->first();
    EXPECT_EQ(SaveRecord(state.session, false, {{"Mail", "anna@web.de"}, {"Name", "Adam"}},
                         state.flags.checkDuplicatesOnInput, m),
              SaveOutcome::Unchanged);
    EXPECT_EQ(SaveRecord(state.session, false, {{"Mail", "anna@web.de"}, {"Name", "Adams"}},
                         state.flags.checkDuplicatesOnInput, m),
              SaveOutcome::Saved);
    EXPECT_EQ(column("Name").first(), "Adams");
    EXPECT_EQ(table->currentId(), 1);
}

TEST_F(RecordEditingTest, SetColumnOnMarkedRecordsLeavesTheTableUnfiltered) {
    ASSERT_TRUE(table->setFilter("Name='B*'"));
    table->setFiltered(true);
    QStringList progress;
    ScriptedMessages m;
    ASSERT_TRUE(SetColumnContent(
        state.session, "Anrede", "Herr", true, [&](const QString& t) { progress << t; }, m));
    EXPECT_EQ(column("Anrede"), QStringList({"Herr", "Herr", "Herr", ""}));
    EXPECT_FALSE(table->filtered());
    EXPECT_TRUE(table->filter().isEmpty());
    EXPECT_EQ(table->recordCount(), 4);
    EXPECT_EQ(progress, QStringList({"Spaltenbearbeitung: 4 von 4", ""}));

    // An apostrophe is stored as typed; an empty value empties the column everywhere.
    ASSERT_TRUE(SetColumnContent(state.session, "Betreff", "Kunde's Angebot", false, {}, m));
    EXPECT_EQ(column("Betreff"), QStringList(4, "Kunde's Angebot"));
    ASSERT_TRUE(SetColumnContent(state.session, "Anrede", "", false, {}, m));
    EXPECT_EQ(column("Anrede"), QStringList(4, ""));

    // A value the column cannot hold changes nothing.
    m.expectError("\"morgen\" ist kein gültiges Datum für das Feld \"LetztesMail\".");
    EXPECT_FALSE(SetColumnContent(state.session, "LetztesMail", "morgen", false, {}, m));
    EXPECT_EQ(column("LetztesMail"), QStringList(4, ""));
}
