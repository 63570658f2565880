#include "hygiene/AddressCheck.h"

#include "HygieneTestSupport.h"

namespace {

const QString kDone3 =
    QString::fromUtf8("Prüfung ist abgeschlossen! 3 ungültige (invalid) E-Mail-Adressen wurden "
                      "markiert!");
const QString kDeleteQuestion =
    QString::fromUtf8("Wollen Sie alle ungültigen E-Mail-Adressen löschen?");

class AddressCheckTest : public HygieneFixture {
protected:
    void SetUp() override {
        HygieneFixture::SetUp();
        addRecords(table, {
                              {{"Mail", "anna@x.de"}, {"Invalid", true}}, // failed send, valid
                              {{"Mail", ""}, {"Ort", "Bonn"}},            // empty: invalid
                              {{"Mail", "Bernd.Braun@Example.COM"}},
                              {{"Mail", "a b@x.de"}, {"Ort", "Bonn"}},
                              {{"Mail", "carl@x_y.de"}},
                              {{"Mail", "dora@mein-verein.de"}},
                          });
        ASSERT_TRUE(table->setFilter("Ort='Bonn'"));
        table->setFiltered(true);
    }
};

} // namespace

TEST_F(AddressCheckTest, MarksByTheRuleAndDeletesOnRequest) {
    {
        ScriptedMessages messages;
        messages.expectInformation(kDone3).expectDestructiveQuestion(kDeleteQuestion, false);
        AddressCheck::run(table, messages, feedback());
    }
    EXPECT_EQ(idsWhere(table, "Invalid='True'"), QList<qint64>({2, 4, 5}));
    EXPECT_FALSE(table->filtered());
    EXPECT_TRUE(table->filter().isEmpty());
    EXPECT_EQ(table->recordCount(), 6);
    EXPECT_EQ(table->recNo(), 0);
    EXPECT_EQ(busyDepth, 0);
    EXPECT_TRUE(statusTexts.contains("Unmarkieren: 6 von 6"));
    EXPECT_TRUE(statusTexts.contains("Checkmail: 6 von 6"));
    EXPECT_EQ(statusTexts.last(), "");

    statusTexts.clear();
    {
        ScriptedMessages messages;
        messages.expectInformation(kDone3).expectDestructiveQuestion(kDeleteQuestion, true);
        AddressCheck::run(table, messages, feedback());
    }
    EXPECT_EQ(allIds(table), QList<qint64>({1, 3, 6}));
    EXPECT_TRUE(statusTexts.contains("Delete: 3"));
    EXPECT_EQ(table->recNo(), 0);
    EXPECT_EQ(statusTexts.last(), "");

    // Nothing invalid left: no question.
    ScriptedMessages messages;
    messages.expectInformation(QString::fromUtf8(
        "Prüfung ist abgeschlossen! 0 ungültige (invalid) E-Mail-Adressen wurden markiert!"));
    AddressCheck::run(table, messages, feedback());
    EXPECT_TRUE(idsWhere(table, "Invalid='True'").isEmpty());
}

TEST_F(AddressCheckTest, TableWithoutMailColumnIsLeftAlone) {
    writeCustomDatabase(state, "NoMail", {idLine(), textLine("Name"), textLine("Invalid")});
    ScriptedMessages none;
    ASSERT_TRUE(OpenDatabase(state.session, "NoMail.ini", none));
    table = state.session.currentTable();
    addRecords(table, {{{"Name", "Maier"}}});
    ScriptedMessages messages;
    messages.expectError(QString::fromUtf8(
        "Die Tabelle hat keine Spalte \"Mail\". Die E-Mail-Adressen können nicht geprüft "
        "werden."));
    AddressCheck::run(table, messages, feedback());
    EXPECT_EQ(table->recordCount(), 1);
    // Without a table nothing happens and nothing is said.
    AddressCheck::run(nullptr, messages, feedback());
}
