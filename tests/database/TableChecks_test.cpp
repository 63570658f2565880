#include "database/AddressTable.h"
#include "database/DatabaseTestSupport.h"
#include "support/DamagedTable.h"
#include "support/ScriptedMessages.h"
#include "support/TempProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {

class TableChecksTest : public StandardDatabaseTest {};

} // namespace

TEST_F(TableChecksTest, DamagedPagesAreFoundAfterOpeningAndDamagedFilesToldOnce) {
    // Enough records for an index of several pages.
    QString error;
    qint64 n = 0;
    ASSERT_EQ(table->appendRecords(
                  [&](QVariantList& row) {
                      row = QVariantList(table->fieldCount());
                      row[table->fieldIndex("Name")] = QString("Name %1").arg(n, 6, 10, QChar('0'));
                      row[table->fieldIndex("Mail")] = QString("a%1@example.de").arg(n);
                      return ++n <= 3000;
                  },
                  {}, &error),
              3000)
        << error.toStdString();
    const QString path = table->path();
    QString unused;
    EXPECT_TRUE(table->store()->quickCheck(&unused));
    CloseDatabase(state.session);
    const qint64 page = nameIndexPage(path);
    ASSERT_GT(page, 1);
    damagePage(path, page);

    // The table opens, and the check finds the damage and says what to do.
    ScriptedMessages none;
    ASSERT_TRUE(OpenDatabase(state.session, "Database.ini", none));
    table = state.session.currentTable();
    EXPECT_EQ(table->recordCount(), 3000);
    QString message;
    EXPECT_FALSE(table->store()->quickCheck(&message));
    EXPECT_EQ(message, "Die Tabelle \"Database.DB\" ist beschädigt. Bitte führen Sie "
                       "\"Datenbank Wartung/Reparatur\" aus.");
    CloseDatabase(state.session);

    // A file that is no table is refused before anything is written, in one German
    // sentence.
    writeBytes(path, QByteArray());
    ScriptedMessages messages;
    messages.expectError("Die Tabelle \"" + QDir::toNativeSeparators(path) +
                         "\" kann nicht geöffnet werden: Die Datei ist leer und keine "
                         "Adresstabelle.");
    EXPECT_FALSE(OpenDatabase(state.session, "Database.ini", messages));
    EXPECT_TRUE(messages.allShown());
    EXPECT_EQ(QFileInfo(path).size(), 0);
    EXPECT_FALSE(QFileInfo::exists(path + "-wal"));
}
