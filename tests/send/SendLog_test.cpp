#include "send/SendLog.h"

#include "common/TextFile.h"
#include "database/AddressTable.h"
#include "support/TempProgramFolder.h"

#include <QFile>
#include <gtest/gtest.h>
#include <sqlite3.h>

// Appending must give exactly the file that reading, extending and rewriting gives,
// including the switch to UTF-8 when a line needs it.
TEST(SendLog, AppendGivesTheSameFileAsRewriting) {
    TempProgramFolder folder;
    const QStringList lines = {
        "a@example.org", "müller@example.org", " ", "łukasz@example.pl", "Straße", "€"};
    const QString reference = folder.file("reference.log");
    const QString fast = folder.file("fast.log");
    SendLog log(fast);
    log.remove();
    for (const QString& line : lines) {
        ASSERT_TRUE(TextFile::appendLine(reference, line));
        ASSERT_TRUE(log.append(line));
        EXPECT_EQ(readBytes(fast), readBytes(reference)) << line.toStdString();
    }
    EXPECT_TRUE(readBytes(fast).startsWith("\xEF\xBB\xBF"));

    // A file the log did not start (here: Windows-1252 from before) is extended right.
    const QString old = folder.file("old.log");
    TextFile::writeLines(old, {"alt@example.org"});
    QFile::copy(old, reference + "2");
    SendLog later(old);
    for (const QString& line : {QStringLiteral("ä@example.org"), QStringLiteral("b@example.org")}) {
        ASSERT_TRUE(later.append(line));
        ASSERT_TRUE(TextFile::appendLine(reference + "2", line));
    }
    EXPECT_EQ(readBytes(old), readBytes(reference + "2"));
    EXPECT_EQ(TextFile::readLines(old),
              QStringList({"alt@example.org", "ä@example.org", "b@example.org"}));
}

TEST(AddressTable, DurableCommitsSwitchSynchronousFullAndBack) {
    TempProgramFolder folder;
    const QString path = folder.file("t.DB");
    QString error;
    ASSERT_TRUE(AddressTable::create(path, {{"ID", FieldType::AutoInc, 0, false}}, {}, &error))
        << error.toStdString();
    AddressTable table;
    ASSERT_TRUE(table.open(path, &error)) << error.toStdString();
    auto synchronous = [&] {
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(table.handle(), "PRAGMA synchronous", -1, &stmt, nullptr);
        sqlite3_step(stmt);
        const int value = sqlite3_column_int(stmt, 0);
        sqlite3_finalize(stmt);
        return value;
    };
    EXPECT_EQ(synchronous(), 1); // NORMAL
    ASSERT_TRUE(table.setDurableCommits(true));
    EXPECT_EQ(synchronous(), 2); // FULL
    ASSERT_TRUE(table.setDurableCommits(false));
    EXPECT_EQ(synchronous(), 1);
    table.close();
    EXPECT_FALSE(table.setDurableCommits(true)); // no table open
}
