#include "records/Marking.h"

#include "database/AddressTable.h"
#include "database/Catalogue.h"
#include "database/DatabaseTestSupport.h"
#include "support/ScriptedMessages.h"
#include "support/TempProgramFolder.h"

#include <gtest/gtest.h>

namespace {

class MarkingTest : public StandardDatabaseTest {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(StandardDatabaseTest::SetUp());
        const char* names[] = {"Maier", "Schulz", "Kurz",  "O'Neill", "Braun",
                               "Weber", "Koch",   "Lange", "Wolf",    "Krause"};
        for (int i = 0; i < 10; ++i) {
            table->append();
            table->setString("Name", names[i]);
            table->setString("Mail", QString("%1@example.de").arg(QString(names[i]).toLower()));
            table->setString("Ort", i < 5 ? "Köln" : "Bonn");
            table->setBool("Selected", false);
            table->setBool("Invalid", i % 3 == 0);
            ASSERT_TRUE(table->post());
        }
        table->first();
    }

    QList<int> markedIds() {
        QList<int> ids;
        for (qint64 id : table->tableIds(table->conditionFromFilter("Selected='True'")))
            ids << int(id);
        return ids;
    }

    QStringList statusTexts;
    Progress status = [this](const QString& text) { statusTexts << text; };
};

} // namespace

TEST_F(MarkingTest, MarkAllKeepsTheViewAndUnmarkAllClearsEverythingAndTheFilter) {
    ASSERT_TRUE(table->setFilter("Ort='Bonn'"));
    table->setFiltered(true);
    table->moveTo(2);
    const qint64 current = table->currentId();
    EXPECT_EQ(Marking::markAll(table, status), 5);
    EXPECT_EQ(markedIds(), QList<int>({6, 7, 8, 9, 10}));
    EXPECT_EQ(statusTexts, QStringList({"Markieren: 5 von 5", ""}));
    EXPECT_TRUE(table->filtered());
    EXPECT_EQ(table->currentId(), current);

    statusTexts.clear();
    EXPECT_EQ(Marking::unmarkAll(table, status), 10);
    EXPECT_TRUE(markedIds().isEmpty());
    EXPECT_FALSE(table->filtered());
    EXPECT_TRUE(table->filter().isEmpty());
    EXPECT_EQ(table->recordCount(), 10);
    EXPECT_EQ(table->currentId(), current);
    EXPECT_EQ(statusTexts.first(), "Unmarkieren: 10 von 10");
}

TEST_F(MarkingTest, IdRangeMarksOnlyTheRangeAndRefusesEmptyFields) {
    table->edit();
    table->setBool("Selected", true); // record 1 stays marked
    table->post();
    ASSERT_TRUE(table->setFilter("Ort='Köln'"));
    table->setFiltered(true);
    qint64 low = 0, high = 0;
    QString error;
    ASSERT_TRUE(Marking::parseIdRange(" 5", "7 ", &low, &high, &error));
    EXPECT_EQ(Marking::markIdRange(table, low, high, status), 3);
    EXPECT_EQ(markedIds(), QList<int>({1, 5, 6, 7}));
    EXPECT_FALSE(table->filtered());
    EXPECT_EQ(table->recNo(), 0);
    EXPECT_EQ(statusTexts.first(), "Record: 10 von 10");

    EXPECT_FALSE(Marking::parseIdRange("", "7", &low, &high, &error));
    EXPECT_EQ(error, "Bitte geben Sie eine Start ID ein!");
    EXPECT_FALSE(Marking::parseIdRange("1", "x7", &low, &high, &error));
    EXPECT_EQ(error, "Die End ID \"x7\" ist keine gültige Zahl!");
    EXPECT_FALSE(Marking::parseIdRange("1", "123456789012", &low, &high, &error));
}

TEST_F(MarkingTest, MarkByTextSearchesEveryFieldFromTheCurrentRecord) {
    EXPECT_EQ(Marking::markByText(table, "MAIER"), 1); // Name and Mail of record 1
    EXPECT_EQ(markedIds(), QList<int>({1}));
    EXPECT_EQ(Marking::markByText(table, "o'neill"), 1); // an apostrophe is plain text
    EXPECT_EQ(markedIds(), QList<int>({1, 4}));
    table->moveTo(6);
    EXPECT_EQ(Marking::markByText(table, "bonn"), 4); // records 7 to 10 only
    EXPECT_EQ(markedIds(), QList<int>({1, 4, 7, 8, 9, 10}));
    EXPECT_EQ(Marking::countMarked(table), 6);
}

TEST_F(MarkingTest, ResetInvalidClearsTheFlagEverywhere) {
    ASSERT_TRUE(table->setFilter("Selected='True'"));
    table->setFiltered(true);
    EXPECT_EQ(Marking::resetInvalid(table, status), 10);
    EXPECT_TRUE(table->tableIds(table->conditionFromFilter("Invalid='True'")).empty());
    EXPECT_FALSE(table->filtered());
    EXPECT_EQ(statusTexts.first(), "Zurücksetzen: 10 von 10");
    // Without a table nothing happens and nothing is said.
    EXPECT_EQ(Marking::resetInvalid(nullptr, status), 0);
    EXPECT_EQ(Marking::markAll(nullptr), 0);
}
