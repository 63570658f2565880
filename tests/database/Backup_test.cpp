#include "database/Backup.h"

#include "database/DatabaseTestSupport.h"

#include <QDir>
#include <QFile>
#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QString kDone = QStringLiteral("Backup wurde durchgeführt!");
const QString kRestoreQuestion =
    QStringLiteral("Wollen Sie diese Backup wirklich wieder herstellen?\r\rHinweis: Damit wird die "
                   "derzeitige Datenbank überschrieben. Derzeitige Daten gehen somit verloren!");
const QString kRestored = QStringLiteral("Backup wurde erfolgreich wiederhergestellt!");

// Every record of the table, in id order.
QList<QVariantList> allRecords(const AddressTable* table) {
    QList<QVariantList> rows;
    for (qint64 id : table->tableIds())
        rows << table->recordValues(id);
    return rows;
}

void appendRecords(AddressTable* table, int n, const QString& prefix) {
    int k = 0;
    ASSERT_EQ(table->appendRecords([&](QVariantList& row) {
        if (k >= n)
            return false;
        row = QVariantList(table->fieldCount());
        row[4] = prefix + QString::number(k) + QStringLiteral("@example.de");
        row[7] =
            QStringLiteral("Müller-Lüdenscheidt ") + QString(200, QChar('x')) + QString::number(k);
        row[1] = k % 3 == 0;
        ++k;
        return true;
    }),
              n);
}

class BackupTest : public StandardDatabaseTest {
protected:
    // A folder with umlauts and blanks, as users name them.
    QString backupFolder() {
        const QString path = folder.path() + QStringLiteral("Sicherungen für Größe/");
        QDir().mkpath(path);
        return path;
    }
};

} // namespace

TEST_F(BackupTest, OpenTableWrittenDuringTheBackupIsRestoredRecordByRecord) {
    appendRecords(table, 3000, QStringLiteral("a"));
    const QList<QVariantList> before = allRecords(table);
    const QString target = backupFolder();
    int writes = 0;
    Backup::Options options;
    options.blockSize = 16384;
    options.percent = [&](int) {
        // Records are posted and changed while the copy runs, far more than SQLite
        // keeps in its journal before it writes them into the table file.
        ++writes;
        table->append();
        table->setString(QStringLiteral("Mail"), QStringLiteral("neu%1@example.de").arg(writes));
        ASSERT_TRUE(table->post());
        table->updateRecords(table->tableIds(), {{"Betreff", QString("Runde %1").arg(writes)}});
    };
    {
        ScriptedMessages messages;
        messages.expectInformation(kDone);
        ASSERT_TRUE(Backup::MakeBackup(state.session, target, QStringLiteral("Mein Backup ü"),
                                       messages, options));
    }
    EXPECT_GT(writes, 40);
    EXPECT_EQ(table->recordCount(), 3000 + writes);
    const QString made = target + QStringLiteral("Mein Backup ü/");
    const QStringList lines = TextFile::readLines(made + QStringLiteral("Quillon_Backup.bup"));
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], "Quillon Backup");
    EXPECT_EQ(readBytes(made + "Quillon_Backup.bup").right(2), QByteArray("\r\n"));
    EXPECT_EQ(Backup::describeFolder(made), lines);
    for (const char* name : {"Database.DB", "Database.ini", "Database.pro", "Buttons.ini"})
        EXPECT_TRUE(QFile::exists(made + QLatin1String(name))) << name;
    // No lock file, no journal and no staging folder went into the backup.
    QStringList madeFiles =
        QDir(made).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    madeFiles.sort(Qt::CaseInsensitive);
    EXPECT_EQ(madeFiles,
              QStringList({"Buttons.ini", "Database.cb", "Database.DB", "Database.fil",
                           "Database.ini", "Database.log", "Database.pro", "Quillon_Backup.bup"}));
    ASSERT_EQ(before.size(), 3000);

    // Everything changes afterwards: records, catalogue.
    table->deleteRecords(table->tableIds());
    appendRecords(table, 5, QStringLiteral("b"));
    TextFile::appendLine(state.session.cataloguePath(), "Kunden| cddrive.bmp|kunden.ini");
    state.session.reloadCatalogue();
    {
        ScriptedMessages messages;
        messages.expectDestructiveQuestion(kRestoreQuestion, true).expectInformation(kRestored);
        ASSERT_TRUE(Backup::RestoreBackup(state.session, made, messages));
    }
    table = state.session.currentTable();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(allRecords(table), before);
    EXPECT_EQ(state.session.catalogueDatabaseCount(), 1);
    EXPECT_EQ(state.session.definitionName(), "Database.ini");
    EXPECT_TRUE(QDir(state.folders.dataFolder + ".quillon-restore-tmp").isEmpty() ||
                !QFileInfo::exists(state.folders.dataFolder + ".quillon-restore-tmp"));
}

TEST_F(BackupTest, OldBackupIsOverwrittenOnlyWhenConfirmed) {
    appendRecords(table, 10, QStringLiteral("a"));
    const QString target = backupFolder();
    {
        ScriptedMessages messages;
        messages.expectInformation(kDone);
        ASSERT_TRUE(Backup::MakeBackup(state.session, target, {}, messages));
    }
    writeBytes(target + "Alt.txt", "vom alten Backup");
    const QByteArray oldTable = readBytes(target + "Database.DB");
    appendRecords(table, 10, QStringLiteral("b"));
    {
        ScriptedMessages messages;
        messages.expectDestructiveQuestion("Altes Backup überschreiben?", false)
            .expectInformation("Backup wurde nicht durchgeführt! Wählen Sie einen neuen Ordner "
                               "für das neue Backup!");
        EXPECT_FALSE(Backup::MakeBackup(state.session, target, {}, messages));
    }
    EXPECT_EQ(readBytes(target + "Database.DB"), oldTable);
    {
        ScriptedMessages messages;
        messages.expectDestructiveQuestion("Altes Backup überschreiben?", true)
            .expectInformation(kDone);
        EXPECT_TRUE(Backup::MakeBackup(state.session, target, {}, messages));
    }
    EXPECT_NE(readBytes(target + "Database.DB"), oldTable);
    EXPECT_TRUE(QFile::exists(target + "Alt.txt")); // files of the old backup stay

    // A subfolder that exists already is asked about first.
    QDir().mkpath(target + "Vorhanden");
    ScriptedMessages messages;
    messages
        .expectQuestion(QStringLiteral("Der Ordner \"") +
                            QDir::toNativeSeparators(target + "Vorhanden/") +
                            "\" existiert bereits.\rSoll das Backup in diesem Ordner erstellt "
                            "werden?",
                        false)
        .expectInformation("Backup wurde nicht durchgeführt! Wählen Sie einen neuen Ordner für "
                           "das neue Backup!");
    EXPECT_FALSE(Backup::MakeBackup(state.session, target, "Vorhanden", messages));
}

TEST_F(BackupTest, BrokenForeignOrMissingBackupsAreRefusedBeforeAnythingIsOverwritten) {
    appendRecords(table, 500, QStringLiteral("a"));
    const QList<QVariantList> current = allRecords(table);
    const QString catalogue = TextFile::readLines(state.session.cataloguePath()).join('\n');
    const QString target = backupFolder();
    {
        ScriptedMessages messages;
        messages.expectInformation(kDone);
        ASSERT_TRUE(Backup::MakeBackup(state.session, target, "gut", messages));
    }
    auto copyBackup = [&](const QString& name) {
        const QString to = target + name + "/";
        QDir().mkpath(to);
        for (const QString& f : filesIn(target + "gut/"))
            QFile::copy(target + "gut/" + f, to + f);
        TextFile::writeLines(to + "Buttons.ini", {"Datenbanken", "Fremd| x.bmp|fremd.ini"});
        return to;
    };
    auto expectUntouched = [&] {
        table = state.session.currentTable();
        ASSERT_NE(table, nullptr);
        EXPECT_EQ(allRecords(table), current);
        EXPECT_EQ(TextFile::readLines(state.session.cataloguePath()).join('\n'), catalogue);
    };

    {
        ScriptedMessages messages;
        messages.expectInformation("Kein Backup in diesem Ordner gefunden!");
        EXPECT_FALSE(Backup::RestoreBackup(state.session, folder.path() + "Data/../", messages));
    }
    // An empty folder: no backup there.
    EXPECT_TRUE(Backup::describeFolder(target).isEmpty());
    expectUntouched();

    // Damaged pages in the middle of the table.
    const QString broken = copyBackup("kaputt");
    QByteArray bytes = readBytes(broken + "Database.DB");
    ASSERT_GT(bytes.size(), 40000);
    for (int i = 8192; i < 40000; ++i)
        bytes[i] = char(i * 7);
    writeBytes(broken + "Database.DB", bytes);
    {
        RecordingMessages messages(true);
        EXPECT_FALSE(Backup::RestoreBackup(state.session, broken, messages));
        ASSERT_EQ(messages.shown.size(), 2);
        EXPECT_TRUE(messages.shown[1].startsWith("E:Das Backup wurde nicht wiederhergestellt! "
                                                 "Das Backup ist beschädigt"));
        EXPECT_TRUE(messages.shown[1].endsWith("Die derzeitigen Daten sind unverändert."));
    }
    expectUntouched();

    // A table of another program under the expected name.
    const QString foreign = copyBackup("fremd");
    writeBytes(foreign + "DATABASE.DB", QByteArray(4096, '\x02'));
    QFile::remove(foreign + "Database.DB");
    {
        RecordingMessages messages(true);
        EXPECT_FALSE(Backup::RestoreBackup(state.session, foreign, messages));
        ASSERT_EQ(messages.shown.size(), 2);
        EXPECT_TRUE(messages.shown[1].contains("DATABASE.DB: Die Datei ist keine Adresstabelle "
                                               "dieses Programms (fremdes Format"));
    }
    expectUntouched();

    // A table file of a newer format that this SQLite cannot read.
    const QString newer = copyBackup("neuer");
    bytes = readBytes(newer + "Database.DB");
    bytes[18] = 3;
    bytes[19] = 3;
    writeBytes(newer + "Database.DB", bytes);
    {
        RecordingMessages messages(true);
        EXPECT_FALSE(Backup::RestoreBackup(state.session, newer, messages));
        ASSERT_EQ(messages.shown.size(), 2);
        EXPECT_TRUE(messages.shown[1].contains("neueres oder fremdes Format"));
    }
    expectUntouched();

    // A marker of something else.
    const QString other = copyBackup("andere");
    TextFile::writeLines(other + "Quillon_Backup.bup", {"Anderes Programm", "1.1.20"});
    {
        ScriptedMessages messages;
        messages.expectError("Das Backup wurde nicht wiederhergestellt! Der Ordner enthält ein "
                             "Backup in einem fremden Format.\rDie derzeitigen Daten sind "
                             "unverändert.");
        EXPECT_FALSE(Backup::RestoreBackup(state.session, other, messages));
    }
    expectUntouched();

    // A backup without marker restores; the list shows the title alone.
    const QString plain = copyBackup("ohne Marker");
    QFile::remove(plain + "Quillon_Backup.bup");
    EXPECT_EQ(Backup::describeFolder(plain), QStringList{"Quillon Backup"});
    {
        ScriptedMessages messages;
        messages.expectDestructiveQuestion(kRestoreQuestion, false);
        EXPECT_FALSE(Backup::RestoreBackup(state.session, plain, messages));
    }
    expectUntouched();
    {
        ScriptedMessages messages;
        messages.expectDestructiveQuestion(kRestoreQuestion, true).expectInformation(kRestored);
        EXPECT_TRUE(Backup::RestoreBackup(state.session, plain, messages));
    }
    EXPECT_EQ(state.session.catalogueLines(),
              QStringList({"Datenbanken", "Fremd| x.bmp|fremd.ini"}));
}

// A file-size limit stands in for a full disk: writes beyond it fail with EFBIG.
TEST_F(BackupTest, FullDiskLeavesNeitherHalfBackupNorHalfRestoredData) {
    appendRecords(table, 3000, QStringLiteral("a"));
    const QString target = backupFolder();
    {
        ScriptedMessages messages;
        messages.expectInformation(kDone);
        ASSERT_TRUE(Backup::MakeBackup(state.session, target, "voll", messages));
    }
    const QByteArray goodBackup = readBytes(target + "voll/Database.DB");
    appendRecords(table, 3000, QStringLiteral("b"));
    const QList<QVariantList> current = allRecords(table);
    ASSERT_GT(QFileInfo(table->path()).size(), 256 * 1024);

    // The child opens the database on its own: a connection must not cross fork().
    CloseDatabase(state.session);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{256 * 1024, 256 * 1024};
        setrlimit(RLIMIT_FSIZE, &limit);
        int code = 0;
        SilentMessages quiet;
        if (!OpenDatabase(state.session, "Database.ini", quiet))
            _exit(64);
        RecordingMessages yes(true);
        if (Backup::MakeBackup(state.session, target, "neu", yes))
            code |= 1;
        if (yes.shown.size() != 1 ||
            !yes.shown[0].contains("Ist der Datenträger voll oder schreibgeschützt?"))
            code |= 2;
        RecordingMessages overwrite(true);
        if (Backup::MakeBackup(state.session, target, "voll", overwrite))
            code |= 4;
        // The restore of the first backup finds no room for its copies either.
        RecordingMessages restore(true);
        if (Backup::RestoreBackup(state.session, target + "voll/", restore))
            code |= 8;
        if (restore.shown.size() != 2 || !restore.shown[1].contains("Ist der Datenträger voll?"))
            code |= 16;
        CloseDatabase(state.session);
        _exit(code);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    ScriptedMessages none;
    ASSERT_TRUE(OpenDatabase(state.session, "Database.ini", none));
    table = state.session.currentTable();
    EXPECT_FALSE(QFileInfo::exists(target + "neu"));
    EXPECT_EQ(readBytes(target + "voll/Database.DB"), goodBackup);
    EXPECT_FALSE(QFileInfo::exists(target + "voll/.quillon-backup-tmp"));
    EXPECT_FALSE(QFileInfo::exists(state.folders.dataFolder + ".quillon-restore-tmp"));
    EXPECT_EQ(allRecords(table), current);
}

// A file that cannot be read is named at the end; the rest of the backup is made.
TEST_F(BackupTest, FileThatCannotBeCopiedIsReportedAtTheEnd) {
    const QString target = backupFolder();
    ASSERT_TRUE(QFile::remove(state.session.cataloguePath()));
    ScriptedMessages messages;
    messages.expectError(
        QStringLiteral("Backup wurde durchgeführt, aber folgende Dateien konnten nicht gesichert "
                       "werden:\r") +
        QDir::toNativeSeparators(state.session.cataloguePath()) + ": Die Datei existiert nicht.");
    EXPECT_TRUE(Backup::MakeBackup(state.session, target, {}, messages));
    EXPECT_TRUE(QFile::exists(target + "Database.DB"));
    EXPECT_TRUE(QFile::exists(target + "Quillon_Backup.bup"));
    EXPECT_FALSE(QFile::exists(target + "Buttons.ini"));
}
