#include "database/DatabaseTestSupport.h"

#include <sqlite3.h>

namespace {

int count(sqlite3* db, const char* sql) {
    sqlite3_stmt* s = nullptr;
    int n = -1;
    if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW)
        n = sqlite3_column_int(s, 0);
    sqlite3_finalize(s);
    return n;
}

const char* kIndexes = "SELECT COUNT(*) FROM sqlite_master WHERE type='index' AND sql IS NOT NULL";

} // namespace

// A large append builds the indexes once at the end; one cut off by the end of the
// process leaves a note, and the next opening builds what it dropped.
TEST(DeferredIndexes, AppendCutOffGetsItsIndexesBackOnOpening) {
    TempProgramFolder folder;
    AppState state;
    layOutStandardDatabase(state, folder.path());
    ScriptedMessages none;
    ASSERT_TRUE(CreateTableFromDefinition(state.folders.dataFolder, "Database", none));
    const QString path = state.folders.dataFolder + "Database.DB";
    int indexes = 0;
    {
        AddressTable table;
        ASSERT_TRUE(table.open(path));
        indexes = count(table.handle(), kIndexes);
        ASSERT_GT(indexes, 2);
        int n = 0;
        ASSERT_EQ(table.appendRecords(
                      [&](QVariantList& row) {
                          row = QVariantList(table.fieldCount());
                          row[table.fieldIndex("Name")] = QString("N%1").arg(n);
                          return ++n <= 30;
                      },
                      {}, nullptr, true),
                  30);
        EXPECT_EQ(count(table.handle(), kIndexes), indexes);
        EXPECT_EQ(count(table.handle(), "SELECT COUNT(*) FROM quillon_pending_indexes"), 0);
    }
    // The state a process leaves that ends between dropping and building.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "INSERT INTO quillon_pending_indexes SELECT sql FROM sqlite_master "
                           "WHERE name='ix_Name'; DROP INDEX ix_Name;",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    EXPECT_EQ(count(db, kIndexes), indexes - 1);
    sqlite3_close(db);

    AddressTable table;
    ASSERT_TRUE(table.open(path));
    EXPECT_EQ(count(table.handle(), kIndexes), indexes);
    EXPECT_EQ(count(table.handle(), "SELECT COUNT(*) FROM quillon_pending_indexes"), 0);
    EXPECT_EQ(table.recordCount(), 30);
}
