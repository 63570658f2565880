#include "database/DatabaseTestSupport.h"
#include "database/SqlFunctions.h"
#include "support/ChildTest.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <csignal>
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
const char* kTableVariable = "QUILLON_INDEX_CHILD_TABLE";
constexpr int kChildRows = 150000;

int indexNamed(sqlite3* db, const QString& name) {
    const QByteArray sql =
        "SELECT COUNT(*) FROM sqlite_master WHERE type='index' AND name='" + name.toUtf8() + "'";
    return count(db, sql.constData());
}

const char* kPending = "SELECT COUNT(*) FROM quillon_pending_indexes";

// A fresh standard table in the folder: its path, and how many secondary indexes it has.
int freshStandardTable(const TempProgramFolder& folder, QString* path) {
    AppState state;
    *path = createStandardTable(state, folder.path());
    AddressTable table;
    return table.open(*path) ? count(table.handle(), kIndexes) : -1;
}

} // namespace

// A large append makes the address index at once (the program looks records up by
// address) and leaves the others noted; a view makes one when it first orders or
// narrows by its column. An append cut off by the end of the process leaves the note,
// and the next opening makes the address index.
TEST(DeferredIndexes, AddressIndexAtOnceTheOthersWhenAViewNeedsThem) {
    TempProgramFolder folder;
    QString path;
    const int indexes = freshStandardTable(folder, &path);
    ASSERT_GT(indexes, 3);
    {
        AddressTable table;
        ASSERT_TRUE(table.open(path));
        sqlite3* db = table.handle();
        int n = 0;
        ASSERT_EQ(table.appendRecords(
                      [&](QVariantList& row) {
                          row = QVariantList(table.fieldCount());
                          row[table.fieldIndex("Name")] = QString("N%1").arg(n);
                          row[table.fieldIndex("Ort")] = n % 2 ? "Berlin" : "Bonn";
                          return ++n <= 30;
                      },
                      {}, nullptr, true),
                  30);
        EXPECT_EQ(count(db, kIndexes), 1);
        EXPECT_EQ(indexNamed(db, "ix_Mail"), 1);
        EXPECT_EQ(count(db, kPending), indexes - 1);

        std::vector<qint64> ids;
        ASSERT_TRUE(table.store()->selectIds({}, "Name", &ids));
        EXPECT_EQ(ids.size(), 30u);
        EXPECT_EQ(indexNamed(db, "ix_Name"), 1);
        const RecordCondition inBerlin{"\"Ort\" = ? COLLATE QNOCASE", {"berlin"}};
        ASSERT_TRUE(table.store()->selectIds(inBerlin, {}, &ids));
        EXPECT_EQ(ids.size(), 15u);
        EXPECT_EQ(indexNamed(db, "ix_Ort"), 1);
        EXPECT_EQ(count(db, kIndexes), 3);
        EXPECT_EQ(count(db, kPending), indexes - 3);
    }
    // The state a process leaves that ends between dropping and building.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "INSERT INTO quillon_pending_indexes SELECT sql FROM sqlite_master "
                           "WHERE name='ix_Mail'; DROP INDEX ix_Mail;",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    EXPECT_EQ(count(db, kIndexes), 2);
    sqlite3_close(db);

    AddressTable table;
    ASSERT_TRUE(table.open(path));
    EXPECT_EQ(indexNamed(table.handle(), "ix_Mail"), 1);
    EXPECT_EQ(count(table.handle(), kIndexes), 3);
    EXPECT_EQ(count(table.handle(), kPending), indexes - 3);
    EXPECT_EQ(table.recordCount(), 30);

    // Within a transaction the index waits: its build must not undo the open change.
    std::vector<qint64> ids;
    ASSERT_EQ(sqlite3_exec(table.handle(), "BEGIN; UPDATE records SET Ort='Köln'", nullptr, nullptr,
                           nullptr),
              SQLITE_OK);
    ASSERT_TRUE(table.store()->selectIds({}, "Vorname", &ids));
    ASSERT_EQ(sqlite3_exec(table.handle(), "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_EQ(count(table.handle(), "SELECT COUNT(*) FROM records WHERE Ort='Köln'"), 30);
    EXPECT_EQ(indexNamed(table.handle(), "ix_Vorname"), 0);
}

// Stored indexes are ordered by the collation, so its quick paths must agree with Qt's
// case-insensitive comparison of the decoded texts for every pair: mixed case, umlauts,
// characters of three and four bytes, and malformed bytes.
TEST(DeferredIndexes, CollationOrdersExactlyAsQtCompares) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
    ASSERT_TRUE(SqlFunctions::registerAll(db));
    sqlite3_stmt* s = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT (?1 > ?2 COLLATE QNOCASE) - (?1 < ?2 COLLATE QNOCASE)",
                                 -1, &s, nullptr),
              SQLITE_OK);
    const QList<QByteArray> pieces = {"a",    "A",      "z",        "ä",      "Ä",
                                      "ß",    "ẞ",      "ü",        "Ü",      "ı",
                                      "İ",    "K",      "\u212a",   "€",      "\xf0\x9d\x84\x9e",
                                      "\xff", "\xc3",   "\xc0\xaf", "Σ",      "ς",
                                      "",     "Müller", "MÜLLER",   "Öztürk", " "};
    quint32 seed = 7;
    auto next = [&] { return (seed = seed * 1103515245u + 12345u) >> 8; };
    for (int k = 0; k < 20000; ++k) {
        QByteArray x;
        QByteArray y;
        const int shared = int(next() % 3);
        for (int p = 0; p < shared; ++p) {
            const QByteArray& piece = pieces[int(next() % pieces.size())];
            x += piece;
            y += piece;
        }
        for (int p = int(next() % 4); p > 0; --p)
            x += pieces[int(next() % pieces.size())];
        for (int p = int(next() % 4); p > 0; --p)
            y += pieces[int(next() % pieces.size())];
        const int qt = QString::fromUtf8(x).compare(QString::fromUtf8(y), Qt::CaseInsensitive);
        sqlite3_bind_text(s, 1, x.constData(), int(x.size()), SQLITE_STATIC);
        sqlite3_bind_text(s, 2, y.constData(), int(y.size()), SQLITE_STATIC);
        ASSERT_EQ(sqlite3_step(s), SQLITE_ROW);
        const int ours = sqlite3_column_int(s, 0);
        sqlite3_reset(s);
        ASSERT_EQ(ours, qt < 0 ? -1 : (qt > 0 ? 1 : 0))
            << x.toHex().constData() << " / " << y.toHex().constData();
    }
    sqlite3_finalize(s);
    sqlite3_close(db);
}

// Started by the test below in a child process, never on its own.
TEST(DeferredIndexes, DISABLED_ChildAppend) {
    const QString path = qEnvironmentVariable(kTableVariable);
    ASSERT_FALSE(path.isEmpty()) << "only the kill test starts this";
    AddressTable table;
    ASSERT_TRUE(table.open(path));
    int n = 0;
    table.appendRecords(
        [&](QVariantList& row) {
            row = QVariantList(table.fieldCount());
            row[table.fieldIndex("Name")] = QString("Name %1").arg(n % 977);
            row[table.fieldIndex("Mail")] = QString("m%1@example.org").arg(n);
            return ++n <= kChildRows;
        },
        {}, nullptr, true);
}

// The indexes are built under a rollback journal: a process killed while it builds them
// leaves a hot journal, the next opening rolls the build back and makes them again.
TEST(DeferredIndexes, BuildKilledHalfwayIsRolledBackAndMadeAgain) {
    TempProgramFolder folder;
    QString path;
    const int indexes = freshStandardTable(folder, &path);
    ASSERT_GT(indexes, 0);
    QProcess child;
    startChildTest(child, "DeferredIndexes.DISABLED_ChildAppend",
                   {{QString::fromLatin1(kTableVariable), path}});
    ASSERT_TRUE(child.waitForStarted());
    const QString journal = path + "-journal";
    const QDeadlineTimer deadline(120000);
    while (!(QFileInfo::exists(journal) && QFileInfo(journal).size() > 0) &&
           child.state() == QProcess::Running && !deadline.hasExpired())
        QThread::msleep(1);
    ASSERT_EQ(child.state(), QProcess::Running)
        << "the append ended before the kill: " << child.readAll().toStdString();
    ::kill(pid_t(child.processId()), SIGKILL);
    ASSERT_TRUE(child.waitForFinished());

    // Plain SQLite rolls the journal back: the records are there, the indexes not yet.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
    EXPECT_EQ(count(db, "SELECT COUNT(*) FROM records"), kChildRows);
    EXPECT_EQ(count(db, "SELECT COUNT(*) FROM quillon_pending_indexes"), indexes);
    sqlite3_close(db);

    QString report;
    EXPECT_TRUE(AddressTable::maintain(path, &report)) << report.toStdString();
    AddressTable table;
    ASSERT_TRUE(table.open(path));
    EXPECT_EQ(indexNamed(table.handle(), "ix_Mail"), 1);
    ASSERT_TRUE(table.store()->makePendingIndexes());
    EXPECT_EQ(count(table.handle(), kIndexes), indexes);
    EXPECT_EQ(count(table.handle(), kPending), 0);
    sqlite3_stmt* mode = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(table.handle(), "PRAGMA journal_mode", -1, &mode, nullptr),
              SQLITE_OK);
    ASSERT_EQ(sqlite3_step(mode), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(mode, 0)), "wal");
    sqlite3_finalize(mode);
    EXPECT_EQ(table.recordCount(), kChildRows);
    table.close();
    EXPECT_TRUE(AddressTable::maintain(path, &report)) << report.toStdString();
}
