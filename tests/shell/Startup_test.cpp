#include "shell/Startup.h"

#include "common/IniFile.h"
#include "common/TextFile.h"
#include "common/Words.h"
#include "database/Catalogue.h"
#include "platform/FileLock.h"
#include "shell/AppState.h"
#include "support/ScriptedMessages.h"
#include "support/TempProgramFolder.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Sets or clears an environment variable for one test and restores it afterwards.
class EnvGuard {
public:
    explicit EnvGuard(const char* name) : m_name(name), m_had(qEnvironmentVariableIsSet(name)) {
        m_old = qgetenv(name);
    }
    ~EnvGuard() {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }

private:
    const char* m_name;
    bool m_had;
    QByteArray m_old;
};

} // namespace

TEST(Startup, ProgramFolderFollowsQuillonHomeThenMarkersThenUserData) {
    EnvGuard guard("QUILLON_HOME");
    QStandardPaths::setTestModeEnabled(true);
    TempProgramFolder programFile;
    TempProgramFolder home;

    // QUILLON_HOME wins, and a missing folder is created.
    const QString homePath = home.path() + QStringLiteral("sub/Quillon");
    qputenv("QUILLON_HOME", homePath.toLocal8Bit());
    EXPECT_EQ(Startup::resolveProgramFolder(programFile.path()), homePath + QChar('/'));
    EXPECT_TRUE(QFileInfo(homePath).isDir());
    writeBytes(programFile.file(QStringLiteral("Buttons.ini")), "x");
    EXPECT_EQ(Startup::resolveProgramFolder(programFile.path()), homePath + QChar('/'));

    // Without it, an installation laid out next to the program file is used...
    qunsetenv("QUILLON_HOME");
    EXPECT_EQ(Startup::resolveProgramFolder(programFile.path()), programFile.path());
    // ...or a folder marked as portable...
    QFile::remove(programFile.file(QStringLiteral("Buttons.ini")));
    writeBytes(programFile.file(QStringLiteral("portable")), "");
    EXPECT_EQ(Startup::resolveProgramFolder(programFile.path()), programFile.path());

    // ...but never a bare build folder: then the per-user data folder, created.
    QFile::remove(programFile.file(QStringLiteral("portable")));
    const QString chosen = Startup::resolveProgramFolder(programFile.path());
    EXPECT_NE(chosen, programFile.path());
    EXPECT_TRUE(chosen.endsWith(QChar('/')));
    EXPECT_EQ(QDir(chosen),
              QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)));
    EXPECT_TRUE(QFileInfo(chosen).isDir());
    // An empty variable counts as unset.
    qputenv("QUILLON_HOME", "");
    EXPECT_EQ(Startup::resolveProgramFolder(programFile.path()), chosen);
    QStandardPaths::setTestModeEnabled(false);
}

TEST(Startup, ShippedFilesAreLaidOutButNeverOverwritten) {
    TempProgramFolder pf;
    EXPECT_TRUE(Startup::layOutShippedFiles(pf.path()).isEmpty());
    for (const char* name : {"Buttons.ini", "Quillon.ini", "Images/True.bmp", "Images/False.bmp",
                             "Help/help.html", "Data/Database.ini", "Data/Database.pro"})
        EXPECT_TRUE(QFileInfo::exists(pf.file(QLatin1String(name)))) << name;
    EXPECT_FALSE(QDir(pf.path() + QStringLiteral("recom")).isEmpty());

    // Laid-out files can be changed by the program later; the settings file holding
    // passwords is private to its owner.
    EXPECT_TRUE(QFileInfo(pf.file(QStringLiteral("Buttons.ini"))).isWritable());
    EXPECT_EQ(QFileInfo(pf.file(QStringLiteral("Quillon.ini"))).permissions() &
                  (QFile::ReadGroup | QFile::ReadOther),
              QFile::Permissions());

    // The shipped catalogue: a header and the standard database.
    const QStringList catalogue = TextFile::readLines(pf.file(QStringLiteral("Buttons.ini")));
    ASSERT_EQ(catalogue.size(), 2);
    EXPECT_EQ(ExtractWord(3, catalogue[1], QStringLiteral("|")).trimmed(),
              QStringLiteral("Database.ini"));
    EXPECT_TRUE(readBytes(pf.file(QStringLiteral("Buttons.ini"))).contains("\r\n"));

    // The user's changes win; a deleted file comes back.
    writeBytes(pf.file(QStringLiteral("Buttons.ini")), "Kopf\r\nMeine| cddrive.bmp|meine.ini\r\n");
    QFile::remove(pf.file(QStringLiteral("Images/False.bmp")));
    EXPECT_TRUE(Startup::layOutShippedFiles(pf.path()).isEmpty());
    EXPECT_EQ(readBytes(pf.file(QStringLiteral("Buttons.ini"))),
              QByteArray("Kopf\r\nMeine| cddrive.bmp|meine.ini\r\n"));
    EXPECT_TRUE(QFileInfo::exists(pf.file(QStringLiteral("Images/False.bmp"))));

    // A file that cannot be laid out is reported by name.
    TempProgramFolder blocked;
    writeBytes(blocked.file(QStringLiteral("Images")), "a file where a folder belongs");
    const QStringList failed = Startup::layOutShippedFiles(blocked.path());
    EXPECT_TRUE(failed.contains(QStringLiteral("Images/True.bmp")));
    EXPECT_TRUE(failed.contains(QStringLiteral("Images/False.bmp")));
    EXPECT_FALSE(failed.contains(QStringLiteral("Buttons.ini")));
}

TEST(Startup, ShippedSettingsFileHoldsEveryRequiredEntry) {
    TempProgramFolder pf;
    Startup::layOutShippedFiles(pf.path());
    const QString ini = pf.file(QStringLiteral("Quillon.ini"));
    const std::pair<const char*, const char*> entries[] = {
        {"SMTP", "host"},
        {"SMTP", "port"},
        {"SMTP", "username"},
        {"SMTP", "password"},
        {"AUT", "Authentification"},
        {"SSL", "active"},
        {"CodeSet", "Index"},
        {"POP", "host"},
        {"POP", "konto"},
        {"POP", "password"},
        {"POP", "port"},
        {"DELAY", "delay"},
        {"POPvorSMTP", "POPvorSMTP"},
        {"XMAILER", "Type"},
        {"FIRSTSETTINGS", "FirstSettingsDone"},
    };
    ScriptedMessages none; // any "Block"/"Item" report fails the test
    for (const auto& [section, key] : entries)
        ReadRequiredString(ini, QLatin1String(section), QLatin1String(key), QString(), none);
    const IniFile file(ini);
    EXPECT_EQ(file.readString(QStringLiteral("SMTP"), QStringLiteral("host")),
              QStringLiteral("Ihr SMTP Server"));
    EXPECT_EQ(file.readString(QStringLiteral("POP"), QStringLiteral("port")),
              QStringLiteral("110"));
    EXPECT_NE(file.readString(QStringLiteral("FIRSTSETTINGS"), QStringLiteral("FirstSettingsDone")),
              QStringLiteral("Done"));
}

TEST(Startup, ConfigFileDefaultsAndIntegerFlags) {
    TempProgramFolder pf;
    Startup::ShellConfig c = Startup::readShellConfig(pf.path());
    EXPECT_TRUE(c.checkDuplicatesOnInput);
    EXPECT_FALSE(c.transactionLogEnabled);
    EXPECT_FALSE(c.gridEditMode);
    EXPECT_FALSE(QFileInfo::exists(Startup::configPath(pf.path())));

    // Written as 1/0, the file created at the first write.
    ASSERT_TRUE(Startup::writeShellFlag(pf.path(), Startup::keyTransActLog, true));
    ASSERT_TRUE(Startup::writeShellFlag(pf.path(), Startup::keyCheckdoublettes, false));
    const QStringList lines = TextFile::readLines(Startup::configPath(pf.path()));
    EXPECT_TRUE(lines.contains(QStringLiteral("[Database]")));
    EXPECT_TRUE(lines.contains(QStringLiteral("TransActLog=1")));
    EXPECT_TRUE(lines.contains(QStringLiteral("Checkdoublettes=0")));
    c = Startup::readShellConfig(pf.path());
    EXPECT_FALSE(c.checkDuplicatesOnInput);
    EXPECT_TRUE(c.transactionLogEnabled);
    EXPECT_FALSE(c.gridEditMode);

    // Any non-zero integer is on; a word that is no integer gives the default.
    TextFile::writeLines(Startup::configPath(pf.path()),
                         {QStringLiteral("[Database]"), QStringLiteral("Checkdoublettes=True"),
                          QStringLiteral("TransActLog=0"), QStringLiteral("GridEdit=-3")});
    c = Startup::readShellConfig(pf.path());
    EXPECT_TRUE(c.checkDuplicatesOnInput);
    EXPECT_FALSE(c.transactionLogEnabled);
    EXPECT_TRUE(c.gridEditMode);
}

TEST(Startup, StaleLockFilesAreRemovedAndAHeldOneEndsTheStart) {
    TempProgramFolder pf;
    const QString data = pf.path() + QStringLiteral("Data/");
    {
        // No data folder yet: nothing to do.
        ScriptedMessages none;
        EXPECT_TRUE(Startup::clearStaleLockFiles(data, none));
    }
    // Left behind by instances that ended abnormally, in any case of their names.
    writeBytes(data + QStringLiteral("PDOXUSRS.NET"), "");
    writeBytes(data + QStringLiteral("Paradox.lck"), "");
    writeBytes(data + QStringLiteral("pdoxusrs.lck"), "");
    writeBytes(data + QStringLiteral("Database.DB"), "data");
    {
        ScriptedMessages none;
        EXPECT_TRUE(Startup::clearStaleLockFiles(data, none));
    }
    EXPECT_EQ(QDir(data).entryList(QDir::Files), QStringList{QStringLiteral("Database.DB")});

    // Another running instance holds its lock file.
    FileLock held;
    ASSERT_TRUE(held.tryLock(data + QStringLiteral("Paradox.lck")));
    writeBytes(data + QStringLiteral("Pdoxusrs.net"), "");
    {
        ScriptedMessages messages;
        messages.expectInformation(
            QStringLiteral("Datenbank ist in Benutzung durch einen anderen Benutzer!\r\rBitte "
                           "warten Sie bis der andere Benutzer die Datenbank wieder geschlossen "
                           "hat!"));
        EXPECT_FALSE(Startup::clearStaleLockFiles(data, messages));
    }
    EXPECT_TRUE(QFileInfo::exists(data + QStringLiteral("Paradox.lck")));
    EXPECT_FALSE(QFileInfo::exists(data + QStringLiteral("Pdoxusrs.net")));

    held.unlock();
    ScriptedMessages none;
    EXPECT_TRUE(Startup::clearStaleLockFiles(data, none));
}

TEST(Startup, LastOpenDatabaseRules) {
    TempProgramFolder pf;
    const QString file = pf.file(QStringLiteral("LastopenDB.inc"));
    EXPECT_EQ(readLastOpenDatabase(pf.path()), QStringLiteral("Database.ini"));
    writeBytes(file, "  kunden_2024.ini  \r\nother.ini\r\n");
    EXPECT_EQ(readLastOpenDatabase(pf.path()), QStringLiteral("kunden_2024.ini"));
    writeBytes(file, "\r\nkunden.ini\r\n");
    EXPECT_EQ(readLastOpenDatabase(pf.path()), QString());
    writeBytes(file, "");
    EXPECT_EQ(readLastOpenDatabase(pf.path()), QString());
}

TEST(Startup, UserTemplatesAreRefreshedFromTheShippedOnes) {
    TempProgramFolder pf;
    const QString shipped = pf.path() + QStringLiteral("Vorlagen/");
    const QString user = pf.path() + QStringLiteral("Dokumente/Nested/Quillon/");
    writeBytes(shipped + QStringLiteral("Newsletter.mail"), "shipped newsletter");
    writeBytes(shipped + QStringLiteral("Einladung.mail"), "shipped invitation");
    writeBytes(shipped + QStringLiteral(".hidden"), "not for users");
    QDir().mkpath(shipped + QStringLiteral("Unterordner"));

    Startup::refreshUserTemplates(shipped, user);
    EXPECT_EQ(readBytes(user + QStringLiteral("Newsletter.mail")), "shipped newsletter");

    // The user edits a shipped template and saves another under an own name.
    writeBytes(user + QStringLiteral("Newsletter.mail"), "edited by the user");
    writeBytes(user + QStringLiteral("Meine.mail"), "own template");
    writeBytes(shipped + QStringLiteral("Neu.mail"), "new in this version");
    Startup::refreshUserTemplates(shipped, user);

    EXPECT_EQ(readBytes(user + QStringLiteral("Newsletter.mail")), "shipped newsletter");
    EXPECT_EQ(readBytes(user + QStringLiteral("Meine.mail")), "own template");
    EXPECT_EQ(readBytes(user + QStringLiteral("Neu.mail")), "new in this version");
    EXPECT_FALSE(QFileInfo::exists(user + QStringLiteral(".hidden")));
    EXPECT_FALSE(QFileInfo::exists(user + QStringLiteral("Unterordner")));

    // Failures are ignored: no templates folder, no user folder.
    Startup::refreshUserTemplates(pf.path() + QStringLiteral("fehlt/"), user);
    Startup::refreshUserTemplates(shipped, QString());
    EXPECT_EQ(readBytes(user + QStringLiteral("Meine.mail")), "own template");
}

TEST(Startup, ActivationCheckReportsMissingSettingsAndReadsFirstSettings) {
    TempProgramFolder pf;
    const QString ini = pf.file(QStringLiteral("Quillon.ini"));
    {
        ScriptedMessages messages;
        messages
            .expectError(QStringLiteral("Inifile ") + pf.path() +
                         QStringLiteral("Quillon.ini not found!"))
            .expectError(QStringLiteral("Block FIRSTSETTINGS not found in ") + ini)
            .expectError(QStringLiteral("Item FirstSettingsDone not found in ") + ini);
        EXPECT_FALSE(Startup::checkActivation(pf.path(), messages));
    }
    {
        // The shipped file: never saved yet, and nothing to report.
        Startup::layOutShippedFiles(pf.path());
        ScriptedMessages none;
        EXPECT_FALSE(Startup::checkActivation(pf.path(), none));
    }
    IniFile(ini).writeString(QStringLiteral("FIRSTSETTINGS"), QStringLiteral("FirstSettingsDone"),
                             QStringLiteral("Done"));
    {
        ScriptedMessages none;
        EXPECT_TRUE(Startup::checkActivation(pf.path(), none));
    }
    IniFile(ini).writeString(QStringLiteral("FIRSTSETTINGS"), QStringLiteral("FirstSettingsDone"),
                             QStringLiteral("done"));
    ScriptedMessages none;
    EXPECT_FALSE(Startup::checkActivation(pf.path(), none));
}

TEST(Startup, RunOpensTheLastDatabaseAndReportsCatalogueLinesThatNameNoDatabase) {
    IsolatedEnvironment env;
    ASSERT_TRUE(Startup::layOutShippedFiles(env.programFolder()).isEmpty());
    writeBytes(env.program.file(QStringLiteral("Buttons.ini")),
               QByteArray("Datenbanken\r\n\x01\x02M\xFCll\r\n"
                          "Grundstockdatenbank| cddrive.bmp|Database.ini\r\n"));
    ScriptedMessages messages;
    messages.expectError(QStringLiteral("Die Datenbankliste \"") +
                         QDir::toNativeSeparators(env.program.file(QStringLiteral("Buttons.ini"))) +
                         QStringLiteral("\" enthält Zeilen, die keine Datenbank beschreiben. Sie "
                                        "werden übergangen:\rZeile 2: \"??Müll\""));
    AppState state;
    ASSERT_TRUE(Startup::run(state, messages));
    EXPECT_EQ(state.folders.programFolder, env.programFolder());
    EXPECT_TRUE(state.session.hasOpenTable());
    EXPECT_EQ(state.session.displayName(), QStringLiteral("Grundstockdatenbank"));
    EXPECT_EQ(catalogueEntries(state.session.catalogueLines()).size(), 1);
}
