#include "database/DatabaseTestSupport.h"

#include <sqlite3.h>

using RowBatchTest = StandardDatabaseTest;

// Appended texts are stored in exactly the bytes Qt's UTF-8 encoding gives, whichever way
// the batch encodes them; empty texts become no value, numbers and booleans stay numbers.
TEST_F(RowBatchTest, AppendedValuesAreStoredAsQtEncodesThem) {
    const QStringList texts = {"Anna",
                               u8"Müller-Lüdenscheidt ß",
                               u8"Ωmega Ж",
                               u8"Preis 5 € ≈ ok",
                               u8"Note \U0001D11E und 😀",
                               QString("a") + QChar(0xD800) + "b", // a broken surrogate
                               QString(QChar(0x7FF)) + QChar(0x800),
                               ""};
    int n = 0;
    const int name = table->fieldIndex("Name");
    const int selected = table->fieldIndex("Selected");
    ASSERT_EQ(table->appendRecords([&](QVariantList& row) {
        if (n >= texts.size())
            return false;
        row = QVariantList(table->fieldCount());
        row[name] = texts[n];
        row[selected] = n % 2 == 0;
        ++n;
        return true;
    }),
              texts.size());
    sqlite3_stmt* s = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(table->handle(),
                                 "SELECT Name, typeof(Name), Selected, typeof(Selected) FROM "
                                 "records ORDER BY ID",
                                 -1, &s, nullptr),
              SQLITE_OK);
    for (int i = 0; i < texts.size(); ++i) {
        ASSERT_EQ(sqlite3_step(s), SQLITE_ROW);
        const QByteArray stored(reinterpret_cast<const char*>(sqlite3_column_blob(s, 0)),
                                sqlite3_column_bytes(s, 0));
        EXPECT_EQ(stored, texts[i].toUtf8()) << i;
        EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(s, 1)),
                     texts[i].isEmpty() ? "null" : "text");
        EXPECT_EQ(sqlite3_column_int(s, 2), i % 2 == 0 ? 1 : 0);
        EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(s, 3)), "integer");
    }
    EXPECT_EQ(sqlite3_step(s), SQLITE_DONE);
    sqlite3_finalize(s);
}

// Rows go in many per statement and batch by batch: the ids the views are told are the
// stored ones, and a batch whose commit is refused is neither kept nor counted.
TEST_F(RowBatchTest, ARefusedCommitEndsTheAppendAndKeepsTheBatchesBefore) {
    std::vector<qint64> told;
    QObject::connect(table->store(), &TableStore::recordsAdded,
                     [&](const std::vector<qint64>& ids) { told = ids; });
    int commits = 0;
    sqlite3_commit_hook(
        table->handle(), [](void* count) { return ++*static_cast<int*>(count) == 3 ? 1 : 0; },
        &commits);
    const int rows = 2 * TableStore::appendBatchRows + 7; // the third batch is refused
    int n = 0;
    QString error;
    EXPECT_EQ(table->appendRecords(
                  [&](QVariantList& row) {
                      row = QVariantList(table->fieldCount());
                      row[table->fieldIndex("Name")] = QString("N%1").arg(n);
                      return ++n <= rows;
                  },
                  {}, &error),
              -1);
    sqlite3_commit_hook(table->handle(), nullptr, nullptr);
    EXPECT_TRUE(error.startsWith("Die Datensätze können nicht gespeichert werden"))
        << error.toStdString();
    const std::vector<qint64> stored = table->tableIds();
    EXPECT_EQ(stored.size(), size_t(2 * TableStore::appendBatchRows));
    EXPECT_EQ(told, stored);
}
