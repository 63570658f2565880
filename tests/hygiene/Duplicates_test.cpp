#include "hygiene/Duplicates.h"

#include "HygieneTestSupport.h"

using Duplicates::Action;
using Duplicates::Choice;
using Duplicates::KeepRule;
using Duplicates::Tool;

namespace {

class DuplicatesTest : public HygieneFixture {
protected:
    void SetUp() override {
        HygieneFixture::SetUp();
        // anna at 1 and 3 (case only), bob at 2 and 4 (with blanks), o'neill at 5, 7
        // and 10; 6 and 8 empty; carl once.
        const char* mails[] = {
            "anna@x.de", "bob@x.de",     "ANNA@x.de", " bob@x.de ", "o'neill@x.de",
            "",          "o'neill@x.de", "",          "carl@x.de",  "O'Neill@X.DE"};
        for (int i = 0; i < 10; ++i)
            addRecords(table, {{{"Mail", QString::fromLatin1(mails[i])},
                                {"Name", QString("N%1").arg(i + 1)},
                                {"Selected", i == 0 || i == 8 || i == 9}}});
    }

    qint64 run(Tool tool, const QString& field, Choice choice, const QString& finalText) {
        ScriptedMessages messages;
        if (!finalText.isEmpty())
            messages.expectInformation(finalText);
        int asked = 0;
        const qint64 n = Duplicates::run(
            state.folders, state.session, tool, field,
            [&] {
                ++asked;
                return choice;
            },
            messages, feedback());
        EXPECT_EQ(asked, 1);
        EXPECT_EQ(busyDepth, 0);
        return n;
    }

    static Choice choose(Action action, KeepRule keep = KeepRule::Oldest) {
        return Choice{true, action, keep};
    }
};

} // namespace

TEST(DuplicateKeys, KeysAndFirstOccurrenceOrder) {
    EXPECT_EQ(Duplicates::keyOf("  Anna.MÜLLER@X.De "), QString::fromUtf8("anna.mÜller@x.de"));
    EXPECT_EQ(Duplicates::duplicateKeys({"b", "a", "", "a", "", "c", "b", "b", "d"}),
              QStringList({"b", "a"}));
    // A key that turns double late still sits at its first occurrence.
    EXPECT_EQ(Duplicates::duplicateKeys({"x", "y", "y", "x"}), QStringList({"x", "y"}));
    QStringList progress;
    Duplicates::duplicateKeys({"a", "a", "b"}, [&](qint64 done, qint64 total) {
        progress << QString("%1/%2").arg(done).arg(total);
    });
    EXPECT_EQ(progress.last(), "3/3");
}

TEST_F(DuplicatesTest, OldestRuleKeepsTheFirstAndWritesBothLists) {
    EXPECT_EQ(run(Tool::Mail, {}, choose(Action::Delete),
                  QString::fromUtf8("Prüfung abgeschlossen. 3 doppelte E-Mail-Adressen gelöscht!")),
              3);
    EXPECT_EQ(allIds(table), QList<qint64>({1, 2, 5, 6, 8, 9}));
    EXPECT_EQ(idsWhere(table, "Selected='True'"), QList<qint64>({1, 9})); // marks unchanged
    EXPECT_FALSE(table->filtered());

    EXPECT_EQ(TextFile::readLines(Duplicates::keyListPath(state.folders)),
              QStringList({"anna@x.de", "bob@x.de", "anna@x.de", "bob@x.de", "o'neill@x.de", "",
                           "o'neill@x.de", "", "carl@x.de", "o'neill@x.de"}));
    EXPECT_EQ(Duplicates::resultListPath(state.folders, Tool::Mail),
              state.folders.tempFolder + "Dubletten_Ergebnis.txt");
    EXPECT_EQ(TextFile::readLines(Duplicates::resultListPath(state.folders, Tool::Mail)),
              QStringList({"anna@x.de", "bob@x.de", "o'neill@x.de"}));
    EXPECT_TRUE(statusTexts.contains("Getmail: 10 von 10"));
    EXPECT_TRUE(statusTexts.contains("Check doublettes: 10 von 10"));
    EXPECT_TRUE(statusTexts.contains("Delete doublettes: 3 von 3"));
    EXPECT_EQ(statusTexts.last(), "");
    EXPECT_GE(countRefreshes, 1);
}

TEST_F(DuplicatesTest, NewestRuleKeepsTheLastUnmarked) {
    EXPECT_EQ(run(Tool::Mail, {}, choose(Action::Delete, KeepRule::Newest),
                  QString::fromUtf8("Prüfung abgeschlossen. 3 doppelte E-Mail-Adressen gelöscht!")),
              3);
    EXPECT_EQ(allIds(table), QList<qint64>({3, 4, 6, 8, 9, 10}));
    // The survivors of the groups lose their marks; carl keeps his.
    EXPECT_EQ(idsWhere(table, "Selected='True'"), QList<qint64>({9}));
}

TEST_F(DuplicatesTest, OldestFollowsTheGridOrder) {
    // Sorted by name descending the "first" of a group is another record.
    table->edit();
    table->setString("Name", "A");
    ASSERT_TRUE(table->post());
    ASSERT_TRUE(table->locateId(3));
    table->edit();
    table->setString("Name", "0");
    ASSERT_TRUE(table->post());
    ASSERT_TRUE(table->setIndexName("Name"));
    run(Tool::Mail, {}, choose(Action::Delete),
        QString::fromUtf8("Prüfung abgeschlossen. 3 doppelte E-Mail-Adressen gelöscht!"));
    // Order: "0" (3), "A" (1), "N10" (10), "N2", "N4", "N5", ... so 3, 2 and 10 stay.
    EXPECT_EQ(allIds(table), QList<qint64>({2, 3, 6, 8, 9, 10}));
}

TEST_F(DuplicatesTest, MailToolMarksEveryCopyAndKeepsOtherMarks) {
    EXPECT_EQ(run(Tool::Mail, {}, choose(Action::Mark),
                  QString::fromUtf8("Prüfung abgeschlossen. 3 doppelte E-Mail-Adressen markiert!")),
              3);
    EXPECT_EQ(allIds(table).size(), 10);
    EXPECT_EQ(idsWhere(table, "Selected='True'"), QList<qint64>({1, 2, 3, 4, 5, 7, 9, 10}));
    EXPECT_TRUE(statusTexts.contains("Select doublettes: 3 von 3"));
}

TEST_F(DuplicatesTest, SelectiveToolMarksAfterClearingAllMarks) {
    // Names: two "O'Brien", one "o'brien " (case and blanks), "Weiß" twice.
    const QList<qint64> ids = allIds(table);
    const char* names[] = {"O'Brien", "Weiß", "x", "o'brien ", "Weiß", "", "O'Brien", "", "y", "z"};
    for (int i = 0; i < 10; ++i)
        table->updateRecords({ids[i]}, {{"Name", QString::fromUtf8(names[i])}});
    EXPECT_EQ(run(Tool::Selective, "name", choose(Action::Mark),
                  QString::fromUtf8("Prüfung abgeschlossen. Doppelte Datensätze markiert!")),
              2);
    EXPECT_EQ(idsWhere(table, "Selected='True'"), QList<qint64>({1, 2, 4, 5, 7}));
    EXPECT_TRUE(statusTexts.contains("Get Data: 10 von 10"));
    EXPECT_TRUE(statusTexts.contains("Unmarkieren: 10 von 10"));
    EXPECT_EQ(Duplicates::resultListPath(state.folders, Tool::Selective),
              state.folders.systemTempFolder + "Dubletten_Ergebnis.txt");
    EXPECT_EQ(TextFile::readLines(Duplicates::resultListPath(state.folders, Tool::Selective)),
              QStringList({"o'brien", QString::fromUtf8("weiß")}));

    statusTexts.clear();
    EXPECT_EQ(run(Tool::Selective, "Name", choose(Action::Delete),
                  QString::fromUtf8("Prüfung abgeschlossen. 2 doppelte Datensätze gelöscht!")),
              2);
    EXPECT_EQ(allIds(table), QList<qint64>({1, 2, 3, 6, 8, 9, 10}));
}

TEST_F(DuplicatesTest, CancelledChoiceChangesNothing) {
    EXPECT_EQ(run(Tool::Mail, {}, Choice{}, {}), -1);
    EXPECT_EQ(allIds(table).size(), 10);
    EXPECT_EQ(idsWhere(table, "Selected='True'"), QList<qint64>({1, 9, 10}));
    // The lists are written before the question.
    EXPECT_EQ(TextFile::readLines(Duplicates::resultListPath(state.folders, Tool::Mail)).size(), 3);
}

TEST_F(DuplicatesTest, TableWithoutMailColumnFindsNothing) {
    writeCustomDatabase(state, "NoMail", {idLine(), textLine("Name", true)});
    ScriptedMessages none;
    ASSERT_TRUE(OpenDatabase(state.session, "NoMail.ini", none));
    table = state.session.currentTable();
    addRecords(table, {{{"Name", "a"}}, {{"Name", "a"}}});
    EXPECT_EQ(run(Tool::Mail, {}, choose(Action::Delete),
                  QString::fromUtf8("Prüfung abgeschlossen. 0 doppelte E-Mail-Adressen gelöscht!")),
              0);
    EXPECT_EQ(allIds(table).size(), 2);
    EXPECT_TRUE(TextFile::readLines(Duplicates::keyListPath(state.folders)).isEmpty());

    CloseDatabase(state.session);
    ScriptedMessages messages;
    messages.expectInformation(QString::fromUtf8("Zuerst Datenbank öffnen!"));
    EXPECT_EQ(
        Duplicates::run(state.folders, state.session, Tool::Mail, {}, {}, messages, feedback()),
        -1);
}
