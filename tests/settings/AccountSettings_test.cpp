#include "settings/AccountSettings.h"

#include "common/IniFile.h"
#include "settings/AccountOptions.h"
#include "settings/SenderList.h"
#include "settings/SettingsTestSupport.h"
#include "support/ScriptedMessages.h"
#include "support/TempProgramFolder.h"

#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

using Level = SettingsFiles::Level;
using Answer = Messages::Answer;

constexpr auto ownerOnly = QFile::ReadOwner | QFile::WriteOwner;

bool isOwnerOnly(const QString& path) {
    const auto p = QFileInfo(path).permissions();
    return (p & (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther |
                 QFile::ExeGroup | QFile::ExeOther)) == 0 &&
           (p & ownerOnly) == ownerOnly;
}

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override { layOutSettingsFolder(state, folder.path()); }

    QString program(const QString& name) const { return state.folders.programFolder + name; }
    QString data(const QString& name) const { return state.folders.dataFolder + name; }
    void openOwnDatabase() {
        selectDatabase(state, QStringLiteral("Kunden.ini"), QStringLiteral("Kunden"));
    }

    OptionsValues values(const QString& host) const {
        OptionsValues v;
        v.account.smtpHost = host;
        v.account.smtpPort = QStringLiteral("587");
        v.account.authentication = true;
        v.account.smtpUserName = QStringLiteral("anna@example.de");
        v.account.smtpPassword = QStringLiteral("geheim");
        v.account.sslActive = true;
        v.account.codeSetIndex = 3;
        v.account.popHost = QStringLiteral("pop.example.de");
        v.account.popAccount = QStringLiteral("anna");
        v.account.popPassword = QStringLiteral("pop-geheim");
        v.account.popPort = QStringLiteral("995");
        v.account.popBeforeSmtp = true;
        v.account.delaySeconds = 7;
        v.account.clientIdentityIndex = 4;
        v.proxy.useProxy = true;
        v.proxy.server = QStringLiteral("10.0.0.1");
        v.proxy.portText = QStringLiteral("3128");
        v.proxy.userName = QStringLiteral("proxyuser");
        v.proxy.password = QStringLiteral("proxypass");
        v.senderAddress = QStringLiteral("anna@example.de");
        v.senderName = QStringLiteral("Anna Schmidt");
        return v;
    }

    TempProgramFolder folder;
    AppState state;
};

} // namespace

TEST_F(SettingsTest, ChoiceRuleAndFileNames) {
    const QString pf = state.folders.programFolder;
    EXPECT_EQ(SettingsFiles::chooseSettingsFile(pf, "Database.ini"), program("Quillon.ini"));
    EXPECT_EQ(SettingsFiles::chooseSettingsFile(pf, "Kunden.ini"), program("Quillon.ini"));
    // The database's own file, even when it sits in the program folder in another case.
    TextFile::writeLines(program("kunden.INI"), {"[SMTP]", "host=own"});
    EXPECT_EQ(SettingsFiles::chooseSettingsFile(pf, "Kunden.ini"), program("kunden.INI"));
    EXPECT_EQ(SettingsFiles::databaseSettingsPath(pf, "Kunden.ini"), program("kunden.INI"));
    // A standard database file of that name never counts, whatever its case.
    TextFile::writeLines(program("database.ini"), {"[SMTP]", "host=x"});
    EXPECT_EQ(SettingsFiles::chooseSettingsFile(pf, "DATABASE.INI"), program("Quillon.ini"));
    // The first ".ini" (any case) is taken off and ".ini" put back.
    EXPECT_EQ(SettingsFiles::databaseSettingsPath(pf, "Verein.INI"), program("Verein.ini"));
    // A database named like one of the program's own files never gets settings of its
    // own: its settings file would be the general settings, the catalogue or config.
    for (const char* name : {"quillon.ini", "Buttons.ini", "config.ini", "PROXY.ini"}) {
        EXPECT_FALSE(SettingsFiles::mayHaveOwnSettings(name)) << name;
        EXPECT_EQ(SettingsFiles::chooseSettingsFile(pf, name), program("Quillon.ini")) << name;
        EXPECT_TRUE(
            SettingsFiles::databaseSenderListPath(state.folders.dataFolder, name).isEmpty());
    }
    EXPECT_EQ(
        SettingsFiles::senderListPath(state.folders.dataFolder, "Kunden.ini", Level::Database),
        data("Absender-Kunden.ini"));
    EXPECT_EQ(SettingsFiles::senderListPath(state.folders.dataFolder, "Kunden.ini", Level::General),
              data("AbsenderMails.ini"));
}

TEST_F(SettingsTest, LoadingUsesTheCheckingReadsAndKeepsBothBooleanStylesApart) {
    const QString file = program("Quillon.ini");
    TextFile::writeLines(file, {"garbage line without equals",
                                "[SMTP]",
                                "host=smtp.example.de",
                                "port=465",
                                "username=anna",
                                "password=secret",
                                "[AUT]",
                                "Authentification=true",
                                "[SSL]",
                                "active=True",
                                "[CodeSet]",
                                "Index=9",
                                "[POP]",
                                "host=pop",
                                "konto=k",
                                "password=p",
                                "[DELAY]",
                                "delay=zehn",
                                "[POPvorSMTP]",
                                "POPvorSMTP=True",
                                "[XMAILER]",
                                "Type=0x2"});
    {
        // POP/port is missing: reported, and its default 110 used.
        ScriptedMessages messages;
        messages.expectError("Item port not found in " + file);
        const AccountSettings s = Settings::loadAccountSettings(
            state.folders.programFolder, state.session.definitionName(), messages);
        EXPECT_EQ(s.smtpHost, "smtp.example.de");
        EXPECT_EQ(s.smtpPortNumber(), 465);
        EXPECT_FALSE(s.authentication);        // "true" is not "True"
        EXPECT_TRUE(s.smtpPassword.isEmpty()); // not read while authentication is off
        EXPECT_FALSE(s.sslActive);             // integer style: "True" is no number
        EXPECT_EQ(s.codeSetIndex, 0);          // out of range
        EXPECT_EQ(s.popPort, "110");
        EXPECT_EQ(s.delaySeconds, 0); // not a number
        EXPECT_TRUE(s.popBeforeSmtp);
        EXPECT_EQ(s.clientIdentityIndex, 2);
        EXPECT_EQ(clientIdentityText(s.clientIdentityIndex), "Microsoft Outlook, Build 10.0.2627");
    }
    IniFile(file).writeString("AUT", "Authentification", "True");
    IniFile(file).writeString("SSL", "active", "2");
    IniFile(file).writeString("CodeSet", "Index", "1");
    IniFile(file).writeString("POP", "port", "995");
    {
        ScriptedMessages messages;
        const AccountSettings s = Settings::loadAccountSettings(
            state.folders.programFolder, state.session.definitionName(), messages);
        EXPECT_TRUE(s.authentication);
        EXPECT_EQ(s.smtpPassword, "secret");
        EXPECT_TRUE(s.sslActive);
        EXPECT_EQ(codeSetCharset(s.codeSetIndex), "windows-1252");
        EXPECT_EQ(s.codeSetIndex, 1);
    }
    // A missing section is reported with its key.
    IniFile(file).eraseSection("DELAY");
    {
        ScriptedMessages messages;
        messages.expectError("Block DELAY not found in " + file)
            .expectError("Item delay not found in " + file);
        EXPECT_EQ(Settings::loadAccountSettings(state.folders.programFolder,
                                                state.session.definitionName(), messages)
                      .delaySeconds,
                  0);
    }
    // Without Quillon.ini: one message, defaults, no score of missing-key boxes.
    QFile::remove(file);
    {
        ScriptedMessages messages;
        messages.expectError("Inifile " + state.folders.programFolder + "Quillon.ini not found!");
        const AccountSettings s = Settings::loadAccountSettings(
            state.folders.programFolder, state.session.definitionName(), messages);
        EXPECT_TRUE(s.smtpHost.isEmpty());
        EXPECT_EQ(s.popPort, "110");
    }
}

TEST_F(SettingsTest, SavingWritesEveryKeyInItsStyleAndRoundTripsAtBothLevels) {
    ScriptedMessages messages;
    TextFile::writeLines(
        data("AbsenderMails.ini"),
        {"old@example.de <Alt>", "zwei@example.de <Zwei>", "drei@example.de <Drei>"});
    QStringList savedSenders;
    ASSERT_TRUE(AccountOptions::saveAtLevel(state.session, state.flags, Level::General,
                                            values("smtp.general.de"), messages, &savedSenders));
    EXPECT_TRUE(state.flags.firstSettingsDone);
    const QStringList text = linesOf(program("Quillon.ini"));
    for (const char* line : {"Authentification=True", "active=1", "POPvorSMTP=True", "Index=3",
                             "Type=4", "delay=7", "FirstSettingsDone=Done", "password=geheim"})
        EXPECT_TRUE(text.contains(QLatin1String(line))) << line;
    EXPECT_TRUE(isOwnerOnly(program("Quillon.ini")));
    EXPECT_TRUE(isOwnerOnly(program("proxy.ini")));
    EXPECT_EQ(IniFile(program("proxy.ini")).readString("PROXY", "BasicAuthentification"), "1");

    // The sender list keeps its lines from the second on.
    EXPECT_EQ(linesOf(data("AbsenderMails.ini")),
              QStringList({"anna@example.de <Anna Schmidt>", "zwei@example.de <Zwei>",
                           "drei@example.de <Drei>"}));
    EXPECT_EQ(savedSenders, linesOf(data("AbsenderMails.ini")));

    const AccountSettings back = Settings::loadAccountSettings(
        state.folders.programFolder, state.session.definitionName(), messages);
    const AccountSettings want = values("smtp.general.de").account;
    EXPECT_EQ(back.smtpHost, want.smtpHost);
    EXPECT_EQ(back.smtpPassword, want.smtpPassword);
    EXPECT_EQ(back.popPassword, want.popPassword);
    EXPECT_EQ(back.popPort, want.popPort);
    EXPECT_EQ(back.delaySeconds, want.delaySeconds);
    EXPECT_EQ(back.clientIdentityIndex, want.clientIdentityIndex);
    EXPECT_TRUE(back.sslActive && back.popBeforeSmtp && back.authentication);
    const ProxySettings proxy = Settings::loadProxySettings(state.folders.programFolder);
    EXPECT_TRUE(proxy.useProxy);
    EXPECT_EQ(proxy.port(), 3128);
    EXPECT_EQ(proxy.password, "proxypass");

    // Database level: a new owner-only file for the database, the general one untouched.
    openOwnDatabase();
    OptionsValues own = values("smtp.kunden.de");
    own.senderAddress = "kunden@example.de";
    own.senderName = "Kundenservice";
    ASSERT_TRUE(
        AccountOptions::saveAtLevel(state.session, state.flags, Level::Database, own, messages));
    EXPECT_TRUE(isOwnerOnly(program("Kunden.ini")));
    EXPECT_EQ(Settings::loadAccountSettings(state.folders.programFolder,
                                            state.session.definitionName(), messages)
                  .smtpHost,
              "smtp.kunden.de");
    EXPECT_EQ(IniFile(program("Quillon.ini")).readString("SMTP", "host"), "smtp.general.de");
    EXPECT_EQ(linesOf(data("Absender-Kunden.ini")),
              QStringList({"kunden@example.de <Kundenservice>", "zwei@example.de <Zwei>",
                           "drei@example.de <Drei>"}));
    EXPECT_EQ(linesOf(data("AbsenderMails.ini")).first(), "anna@example.de <Anna Schmidt>");
    // A line break in a value cannot forge a further entry.
    own.account.smtpHost = "host\r\n[AUT]\r\nAuthentification=False";
    ASSERT_TRUE(
        AccountOptions::saveAtLevel(state.session, state.flags, Level::Database, own, messages));
    EXPECT_EQ(IniFile(program("Kunden.ini")).readString("AUT", "Authentification"), "True");
}

TEST_F(SettingsTest, SenderListLinesAndFailures) {
    auto parsed = [](const QString& line) {
        const SenderList::Sender s = SenderList::parseLine(line);
        return QStringList{s.address, s.name};
    };
    EXPECT_EQ(parsed(" anna@example.de  < Anna Schmidt > "),
              QStringList({"anna@example.de", "Anna Schmidt"}));
    EXPECT_EQ(parsed("anna@example.de"), QStringList({"anna@example.de", ""}));
    EXPECT_EQ(parsed("anna@example.de <Anna"), QStringList({"anna@example.de", "Anna"}));
    EXPECT_EQ(SenderList::formatLine(" a@b.de ", " Name "), "a@b.de <Name>");
    // A line break in a value never forges a second sender.
    EXPECT_EQ(SenderList::formatLine("a@b.de", "Name\r\nevil@x.de <Evil"),
              "a@b.de <Name evil@x.de <Evil>");

    // A missing list is written with one line.
    QStringList saved;
    QString error;
    ASSERT_TRUE(
        SenderList::saveDefaultSender(data("AbsenderMails.ini"), "a@b.de", "A", &saved, &error));
    EXPECT_EQ(saved, QStringList({"a@b.de <A>"}));
    ASSERT_TRUE(SenderList::saveDefaultSender(data("AbsenderMails.ini"), "a@b.de",
                                              "A\nevil@x.de <Evil>", &saved, &error));
    EXPECT_EQ(linesOf(data("AbsenderMails.ini")), QStringList({"a@b.de <A evil@x.de <Evil>>"}));

    // A list that cannot be read is reported and never overwritten.
    const QString locked = data("Absender-Gesperrt.ini");
    TextFile::writeLines(locked, {"x@y.de <X>", "keep@y.de <Keep>"});
    QFile::setPermissions(locked, QFileDevice::Permissions());
    QStringList probe;
    if (!TextFile::readLines(locked, &probe, nullptr)) { // root reads anything
        EXPECT_FALSE(SenderList::saveDefaultSender(locked, "n@y.de", "N", &saved, &error));
        EXPECT_FALSE(error.isEmpty());
        QFile::setPermissions(locked, ownerOnly);
        EXPECT_EQ(linesOf(locked).size(), 2);
    }
    QFile::setPermissions(locked, ownerOnly);
}

TEST_F(SettingsTest, OkChecksInTheirOrder) {
    struct Case {
        const char* address;
        const char* name;
        bool error;
        const char* message;
    };
    const Case cases[] = {
        {"  ", "Anna", false, "Bitte geben Sie Ihre Absender-E-Mail-Adresse ein!"},
        {"anna@", "", false, "Absender-E-Mail-Adresse ungültig!"},
        {"anna@example.de", " ", false, "Bitte geben Sie Ihren Absender-Namen ein!"},
        {"info.webmaster@example.de", "Anna", true,
         "webmaster@..., postmaster@..., mailmaster@... E-Mail-Adressen in Verbindung mit "
         "Quillon werden von vielen Mail-Providern blockiert. Bitte verwenden Sie eine andere "
         "E-Mail-Adresse!"},
        {"PostMaster@example.de", "Anna", true,
         "webmaster@..., postmaster@..., mailmaster@... E-Mail-Adressen in Verbindung mit "
         "Quillon werden von vielen Mail-Providern blockiert. Bitte verwenden Sie eine andere "
         "E-Mail-Adresse!"},
        {"anna@example.de", "Anna <Chefin>", false,
         "Der Absender-Name darf weder das Zeichen \"<\" noch Zeilenumbrüche enthalten!"},
    };
    for (const Case& c : cases) {
        ScriptedMessages messages;
        if (c.error)
            messages.expectError(QString::fromUtf8(c.message));
        else
            messages.expectInformation(QString::fromUtf8(c.message));
        EXPECT_FALSE(AccountOptions::checkSender(QString::fromUtf8(c.address),
                                                 QString::fromUtf8(c.name), messages))
            << c.address;
    }
    ScriptedMessages none;
    EXPECT_TRUE(AccountOptions::checkSender("webmaster.info@example.de", "Anna", none));
    EXPECT_FALSE(QFileInfo::exists(data("AbsenderMails.ini"))); // nothing saved by checks
}

TEST_F(SettingsTest, LevelQuestionAnswersAndReset) {
    TextFile::writeLines(data("AbsenderMails.ini"),
                         {"g@example.de <General>", "zwei@example.de <Zwei>"});
    openOwnDatabase();
    const QString question = AccountOptions::levelQuestion("Kunden");
    EXPECT_EQ(question, QString::fromUtf8("Möchten Sie diese Einstellungen nur für\rdie Datenbank "
                                          "Kunden benutzen [JA]\roder als Allgemeine "
                                          "Einstellungen [Nein] benutzen?"));
    const QString quillonBefore = linesOf(program("Quillon.ini")).join('\n');
    {
        // Abort: nothing is written, and the dialog closes.
        ScriptedMessages messages;
        messages.expectQuestion3(question, Answer::Abort);
        EXPECT_TRUE(
            AccountOptions::accept(state.session, state.flags, values("smtp.abort.de"), messages));
        EXPECT_FALSE(QFileInfo::exists(program("Kunden.ini")));
        EXPECT_FALSE(QFileInfo::exists(data("Absender-Kunden.ini")));
        EXPECT_EQ(linesOf(program("Quillon.ini")).join('\n'), quillonBefore);
        EXPECT_FALSE(state.flags.firstSettingsDone);
    }
    {
        ScriptedMessages messages;
        messages.expectQuestion3(question, Answer::Yes);
        EXPECT_TRUE(
            AccountOptions::accept(state.session, state.flags, values("smtp.kunden.de"), messages));
        EXPECT_TRUE(state.flags.firstSettingsDone);
        EXPECT_EQ(linesOf(program("Quillon.ini")).join('\n'), quillonBefore);
        EXPECT_TRUE(AccountOptions::canResetToGeneral(state.session));
        // The next opening shows the database's values and list.
        const OptionsValues shown = AccountOptions::loadForDialog(state.session, messages);
        EXPECT_EQ(shown.account.smtpHost, "smtp.kunden.de");
        EXPECT_EQ(shown.senderName, "Anna Schmidt");
    }
    {
        // No: both database files go, the general level is saved.
        ScriptedMessages messages;
        messages.expectQuestion3(question, Answer::No);
        EXPECT_TRUE(AccountOptions::accept(state.session, state.flags, values("smtp.general.de"),
                                           messages));
        EXPECT_FALSE(QFileInfo::exists(program("Kunden.ini")));
        EXPECT_FALSE(QFileInfo::exists(data("Absender-Kunden.ini")));
        EXPECT_FALSE(AccountOptions::canResetToGeneral(state.session));
        EXPECT_EQ(IniFile(program("Quillon.ini")).readString("SMTP", "host"), "smtp.general.de");
        EXPECT_EQ(linesOf(data("AbsenderMails.ini")),
                  QStringList({"anna@example.de <Anna Schmidt>", "zwei@example.de <Zwei>"}));
    }
    {
        // The standard database never asks.
        selectDatabase(state, "Database.ini", "Grundstock");
        ScriptedMessages messages;
        EXPECT_TRUE(AccountOptions::accept(state.session, state.flags, values("smtp.standard.de"),
                                           messages));
        EXPECT_EQ(IniFile(program("Quillon.ini")).readString("SMTP", "host"), "smtp.standard.de");
        EXPECT_FALSE(AccountOptions::showsLevelGroup(state.session));
    }
}
