#include "hygiene/BulkDeletion.h"

#include "HygieneTestSupport.h"

#include <QFile>

namespace {

const QString kMarkedQuestion =
    QString::fromUtf8("Wollen Sie wirklich alle markierten Datensätze löschen?");
const QString kInvalidQuestion =
    QString::fromUtf8("Wollen Sie wirklich alle invaliden Datensätze löschen?");
const QString kEmpty1 =
    QString::fromUtf8("Datenbank komplett leeren? Alle Datensätze gehen dabei verloren!");
const QString kEmpty2 =
    QString::fromUtf8("Wollen Sie wirklich alle Datensätze in dieser Datenbank löschen?");
const QString kOpenFirst = QString::fromUtf8("Zuerst Datenbank öffnen!");

class BulkDeletionTest : public HygieneFixture {
protected:
    void SetUp() override {
        HygieneFixture::SetUp();
        // Marked: 2, 3, 4 (consecutive) and 7 (outside the filter below). Invalid: 1, 7.
        for (int i = 1; i <= 8; ++i)
            addRecords(table, {{{"Name", QString("N%1").arg(i)},
                                {"Ort", i <= 5 ? "Köln" : "Bonn"},
                                {"Selected", i == 2 || i == 3 || i == 4 || i == 7},
                                {"Invalid", i == 1 || i == 7}}});
        ASSERT_TRUE(table->setFilter("Ort='Köln'"));
        table->setFiltered(true);
    }
};

} // namespace

TEST_F(BulkDeletionTest, MarkedRecordsGoWhateverTheFilter) {
    {
        ScriptedMessages messages;
        messages.expectDestructiveQuestion(kMarkedQuestion, false);
        EXPECT_FALSE(BulkDeletion::deleteAllMarked(state.session, messages, feedback()));
        EXPECT_EQ(allIds(table).size(), 8);
        EXPECT_TRUE(table->filtered());
    }
    ScriptedMessages messages;
    messages.expectDestructiveQuestion(kMarkedQuestion, true);
    EXPECT_TRUE(BulkDeletion::deleteAllMarked(state.session, messages, feedback()));
    EXPECT_EQ(allIds(table), QList<qint64>({1, 5, 6, 8}));
    EXPECT_FALSE(table->filtered());
    EXPECT_EQ(table->filter(), QString::fromUtf8("Ort='Köln'"));
    EXPECT_EQ(table->recNo(), 0);
    EXPECT_EQ(statusTexts, QStringList({"Delete: 4", ""}));
    EXPECT_EQ(busyDepth, 0);

    messages.expectDestructiveQuestion(kInvalidQuestion, true);
    EXPECT_TRUE(BulkDeletion::deleteAllInvalid(state.session, messages, feedback()));
    EXPECT_EQ(allIds(table), QList<qint64>({5, 6, 8}));
}

TEST_F(BulkDeletionTest, EveryRecordMarkedLeavesAnEmptyTable) {
    table->updateRecords(table->tableIds(), {{"Selected", true}});
    ScriptedMessages messages;
    messages.expectDestructiveQuestion(kMarkedQuestion, true);
    EXPECT_TRUE(BulkDeletion::deleteAllMarked(state.session, messages, feedback()));
    EXPECT_EQ(table->recordCount(), 0);
    EXPECT_TRUE(allIds(table).isEmpty());
}

TEST_F(BulkDeletionTest, WithoutTableTheQuestionComesFirst) {
    CloseDatabase(state.session);
    ScriptedMessages messages;
    messages.expectDestructiveQuestion(kInvalidQuestion, true).expectInformation(kOpenFirst);
    EXPECT_FALSE(BulkDeletion::deleteAllInvalid(state.session, messages, feedback()));
    messages.expectInformation(kOpenFirst);
    EXPECT_FALSE(BulkDeletion::emptyDatabase(state.session, messages, feedback()));
}

TEST_F(BulkDeletionTest, EmptyingRecreatesTheTableFromItsDefinition) {
    const QString layout = state.folders.dataFolder + "Database.grd";
    ASSERT_TRUE(TextFile::writeLines(layout, {"Layout", QString(120, 'x')}));
    const QStringList columnsBefore = [&] {
        QStringList names;
        for (const ColumnDef& c : table->columns())
            names << c.name;
        return names;
    }();
    {
        ScriptedMessages messages;
        messages.expectDestructiveQuestion(kEmpty1, true).expectDestructiveQuestion(kEmpty2, false);
        EXPECT_FALSE(BulkDeletion::emptyDatabase(state.session, messages, feedback()));
        EXPECT_EQ(allIds(state.session.currentTable()).size(), 8);
        EXPECT_TRUE(QFile::exists(layout));
    }
    int opened = 0;
    int aboutToClose = 0;
    QObject::connect(&state.session, &DatabaseSession::opened, [&] { ++opened; });
    QObject::connect(&state.session, &DatabaseSession::aboutToClose, [&] { ++aboutToClose; });
    ScriptedMessages messages;
    messages.expectDestructiveQuestion(kEmpty1, true).expectDestructiveQuestion(kEmpty2, true);
    EXPECT_TRUE(BulkDeletion::emptyDatabase(state.session, messages, feedback()));
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(aboutToClose, 1);
    table = state.session.currentTable();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(state.session.definitionName(), "Database.ini");
    EXPECT_EQ(table->recordCount(), 0);
    QStringList columnsAfter;
    for (const ColumnDef& c : table->columns())
        columnsAfter << c.name;
    EXPECT_EQ(columnsAfter, columnsBefore);
    EXPECT_FALSE(QFile::exists(layout));
    EXPECT_EQ(busyDepth, 0);
    // The new table works: ids start again.
    addRecords(table, {{{"Name", "Neu"}}});
    EXPECT_EQ(table->recordCount(), 1);
}

TEST_F(BulkDeletionTest, LargeDeletionRebuildsTheIndexes) {
    // Enough records for the index rebuild: every third one is marked.
    qint64 n = 0;
    ASSERT_EQ(table->appendRecords([&](QVariantList& row) {
        if (n == 30000)
            return false;
        ++n;
        row = QVariantList(table->fieldCount());
        row[table->fieldIndex("Mail")] = QString("user%1@x.de").arg(n);
        row[table->fieldIndex("Name")] = n % 2 ? "O'Brien" : "Maier";
        row[table->fieldIndex("Selected")] = n % 3 == 0;
        return true;
    }),
              30000);
    const auto indexesBefore = table->indexes().size();
    ScriptedMessages messages;
    messages.expectDestructiveQuestion(kMarkedQuestion, true);
    EXPECT_TRUE(BulkDeletion::deleteAllMarked(state.session, messages, feedback()));
    EXPECT_EQ(allIds(table).size(), 8 - 4 + 20000);
    EXPECT_TRUE(idsWhere(table, "Selected='True'").isEmpty());
    EXPECT_TRUE(statusTexts.contains("Delete: 10004"));
    // The indexes are back and serve their lookups.
    EXPECT_EQ(table->indexes().size(), indexesBefore);
    EXPECT_EQ(idsWhere(table, "Mail='USER2@x.de'"), QList<qint64>({8 + 2}));
    EXPECT_TRUE(idsWhere(table, "Mail='user3@x.de'").isEmpty());
    EXPECT_EQ(idsWhere(table, "Name='o''brien'").size(), 10000);
    ASSERT_TRUE(table->setIndexName("Mail"));
    ASSERT_TRUE(table->moveTo(4)); // after the four records without an address
    EXPECT_EQ(table->asString("Mail"), "user10000@x.de");
    table->next();
    EXPECT_EQ(table->asString("Mail"), "user10001@x.de");
}
