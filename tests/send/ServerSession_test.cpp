#include "send/ServerSession.h"

#include "SendTestSupport.h"
#include "common/IniFile.h"
#include "send/ConnectionTest.h"
#include "send/Pop3Login.h"
#include "support/Pop3TestServer.h"
#include "support/ScriptedMessages.h"
#include "support/SmtpTestServer.h"
#include "support/TempProgramFolder.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

AccountSettings accountFor(const SmtpTestServer& server) {
    AccountSettings a;
    a.smtpHost = server.host();
    a.smtpPort = QString::number(server.port());
    a.authentication = server.options().requireAuth;
    a.smtpUserName = server.options().user;
    a.smtpPassword = a.authentication ? server.options().password : QString();
    a.sslActive = server.options().tls != SmtpTestServer::Tls::None;
    a.codeSetIndex = 3;
    a.clientIdentityIndex = 3;
    return a;
}

void writeSettings(const TempProgramFolder& folder, const AccountSettings& a,
                   const QString& caFile = {}) {
    QString error;
    ASSERT_TRUE(
        Settings::writeAccountSettings(folder.file(QStringLiteral("Quillon.ini")), a, &error))
        << error.toStdString();
    if (!caFile.isEmpty())
        IniFile(folder.file(QStringLiteral("Quillon.ini")))
            .writeString(QStringLiteral("SSL"), QStringLiteral("CAFile"), caFile);
}

void setMessage(SmtpMail& mail, const QString& to) {
    mail.ClearRecipients();
    mail.FromAddr = QStringLiteral("info@firma.de");
    mail.AddRecipient(to, to, 0);
    mail.Subject = QStringLiteral("Betreff");
    mail.BodyText = QStringLiteral("Text\r\n");
}

struct Hooks {
    int closable = 0;
    int stops = 0;
    bool ignore = false;
    QStringList status;
    void attach(ServerSession& s) {
        s.makeClosable = [this] { ++closable; };
        s.stopRun = [this] { ++stops; };
        s.ignoreConnectionProblems = [this] { return ignore; };
        s.showStatus = [this](const QString& text) { status.append(text); };
    }
};

const QString kDb = QStringLiteral("Database.ini");

// Set-up with the settings in folder shows this error and fails.
void expectSetUpError(SmtpMail& mail, const TempProgramFolder& folder, const QString& error) {
    ScriptedMessages messages;
    messages.expectError(error);
    ServerSession session(mail, messages);
    EXPECT_FALSE(session.setUp(folder.path(), kDb));
}

// The component's error text for the standard message refused by server, as a box
// would quote it; known only after a send.
QString refusalText(const SmtpTestServer& server) {
    SmtpMail probe;
    probe.ServerAddr = server.host();
    probe.ServerPort = server.port();
    setMessage(probe, QStringLiteral("a@example.org"));
    EXPECT_NE(probe.SendMail(), 0);
    return probe.LastErrorDescription();
}

} // namespace

TEST(ServerSession, SetUpHandsTheSettingsToTheComponentAndSends) {
    SmtpTestServer::Options options;
    options.requireAuth = true;
    SmtpTestServer server(options);
    ASSERT_SERVER_RUNS(server);
    TempProgramFolder folder;
    writeSettings(folder, accountFor(server));
    ScriptedMessages messages;
    SmtpMail mail;
    ServerSession session(mail, messages);
    Hooks hooks;
    hooks.attach(session);
    ASSERT_TRUE(session.setUp(folder.path(), kDb));
    EXPECT_EQ(mail.AuthMode, 1);
    EXPECT_EQ(mail.UserName, options.user);
    EXPECT_EQ(mail.XMailer, clientIdentityText(3));
    EXPECT_EQ(mail.CodeSet, 3);

    for (const char* to : {"a@example.org", "b@example.org"}) {
        setMessage(mail, QString::fromLatin1(to));
        const auto outcome = session.send(ServerSession::RunKind::Text);
        EXPECT_TRUE(outcome.sent) << outcome.error.toStdString();
    }
    session.finishRun();
    EXPECT_EQ(server.received().size(), 2);
    EXPECT_EQ(hooks.status.first(), QStringLiteral("Connected"));
    EXPECT_TRUE(hooks.status.contains(QStringLiteral("Sending")));
    EXPECT_EQ(hooks.status.last(), QStringLiteral("Disconnected"));
    EXPECT_EQ(hooks.closable, 0);
}

TEST(ServerSession, SetUpWithTlsAndTheExtraAuthorityOfTheSettings) {
    SmtpTestServer::Options options;
    options.tls = SmtpTestServer::Tls::StartTls;
    SmtpTestServer server(options);
    ASSERT_SERVER_RUNS(server);
    TempProgramFolder folder;
    writeSettings(folder, accountFor(server), server.caFile());
    ScriptedMessages messages;
    SmtpMail mail;
    ServerSession session(mail, messages);
    ASSERT_TRUE(session.setUp(folder.path(), kDb));
    EXPECT_TRUE(session.settings().sslActive);
    setMessage(mail, QStringLiteral("a@example.org"));
    const auto outcome = session.send(ServerSession::RunKind::Html);
    EXPECT_TRUE(outcome.sent) << outcome.error.toStdString();
    EXPECT_EQ(server.received().size(), 1);
}

TEST(ServerSession, SetUpFailuresAreReported) {
    TempProgramFolder folder;
    SmtpMail mail;
    {
        // No settings file at all: the missing Quillon.ini is reported, the set-up fails.
        ScriptedMessages messages;
        messages.expectError(QStringLiteral("Inifile ") + folder.path() +
                             QStringLiteral("Quillon.ini not found!"));
        ServerSession session(mail, messages);
        Hooks hooks;
        hooks.attach(session);
        EXPECT_FALSE(session.setUp(folder.path(), kDb));
        EXPECT_EQ(hooks.closable, 1);
    }
    AccountSettings a;
    a.smtpHost = QStringLiteral("127.0.0.1");
    a.smtpPort = QStringLiteral("25x");
    writeSettings(folder, a);
    expectSetUpError(mail, folder, QStringLiteral("\"25x\" ist kein gültiger ganzzahliger Wert."));
    a.smtpHost.clear();
    a.smtpPort = QStringLiteral("25");
    writeSettings(folder, a);
    expectSetUpError(mail, folder, ServerSession::mailboxMissingMessage());
    {
        // A missing key is named, the set-up goes on with its default.
        a.smtpHost = QStringLiteral("127.0.0.1");
        writeSettings(folder, a);
        IniFile(folder.file(QStringLiteral("Quillon.ini")))
            .deleteKey(QStringLiteral("POP"), QStringLiteral("konto"));
        ScriptedMessages messages;
        messages.expectError(QStringLiteral("Item konto not found in ") +
                             folder.file(QStringLiteral("Quillon.ini")));
        ServerSession session(mail, messages);
        EXPECT_TRUE(session.setUp(folder.path(), kDb));
    }
}

TEST(ServerSession, PopBeforeSmtpWithRightAndWrongPassword) {
    Pop3TestServer pop;
    ASSERT_SERVER_RUNS(pop);
    SmtpTestServer server;
    ASSERT_SERVER_RUNS(server);
    TempProgramFolder folder;
    AccountSettings a = accountFor(server);
    a.popBeforeSmtp = true;
    a.popHost = pop.host();
    a.popPort = QString::number(pop.port());
    a.popAccount = pop.user();
    a.popPassword = pop.password();
    writeSettings(folder, a);
    SmtpMail mail;
    {
        ScriptedMessages messages;
        ServerSession session(mail, messages);
        ASSERT_TRUE(session.setUp(folder.path(), kDb));
        EXPECT_EQ(pop.loginCount(), 1);
    }
    a.popPassword = QStringLiteral("falsch");
    writeSettings(folder, a);
    {
        ScriptedMessages messages;
        messages.expectError(QStringLiteral("Es kann keine POP-Verbindung hergestellt werden!"));
        ServerSession session(mail, messages);
        Hooks hooks;
        hooks.attach(session);
        EXPECT_FALSE(session.setUp(folder.path(), kDb));
        EXPECT_EQ(hooks.closable, 1);
        // The remaining steps ran all the same.
        EXPECT_EQ(mail.ServerPort, server.port());
    }
    EXPECT_EQ(pop.loginCount(), 1);
    a.popPort = QStringLiteral("pop");
    writeSettings(folder, a);
    expectSetUpError(mail, folder, Pop3Login::failureMessage());
}

TEST(ServerSession, PopLoginOverTls) {
    Pop3TestServer pop(true);
    ASSERT_SERVER_RUNS(pop);
    Pop3Account account{pop.host(), pop.port(), pop.user(), pop.password(), true, {}};
    QString detail;
    // Untrusted until the test authority is given.
    EXPECT_FALSE(Pop3Login::login(account, &detail));
    account.caFile = pop.caFile();
    EXPECT_TRUE(Pop3Login::login(account, &detail)) << detail.toStdString();
    EXPECT_EQ(pop.loginCount(), 1);
}

TEST(ServerSession, ClassificationAsksStopsOrGoesOn) {
    SmtpTestServer::Options authOptions;
    authOptions.requireAuth = true;
    SmtpTestServer authServer(authOptions);
    ASSERT_SERVER_RUNS(authServer);
    TempProgramFolder folder;
    AccountSettings a = accountFor(authServer);
    a.authentication = false; // the server wants a login the settings do not give
    writeSettings(folder, a);
    SmtpMail mail;

    // Text run without SSL: the question; Yes stops, No goes on.
    for (const bool yes : {true, false}) {
        ScriptedMessages messages;
        ServerSession session(mail, messages);
        ASSERT_TRUE(session.setUp(folder.path(), kDb));
        setMessage(mail, QStringLiteral("a@example.org"));
        messages.expectQuestion(ServerSession::continueQuestion(refusalText(authServer)), yes);
        const auto outcome = session.send(ServerSession::RunKind::Text);
        EXPECT_FALSE(outcome.sent);
        EXPECT_EQ(outcome.stopRun, yes);
        EXPECT_TRUE(outcome.error.contains(QStringLiteral("must be authenticated")));
    }
    {
        // HTML run: stopped with the message.
        ScriptedMessages messages;
        ServerSession session(mail, messages);
        ASSERT_TRUE(session.setUp(folder.path(), kDb));
        setMessage(mail, QStringLiteral("a@example.org"));
        messages.expectError(ServerSession::stopMessage(refusalText(authServer)));
        EXPECT_TRUE(session.send(ServerSession::RunKind::Html).stopRun);
    }
    {
        // Either ignore box: no box, the run goes on, the record still failed.
        ScriptedMessages messages;
        ServerSession session(mail, messages);
        Hooks hooks;
        hooks.ignore = true;
        hooks.attach(session);
        ASSERT_TRUE(session.setUp(folder.path(), kDb));
        for (const auto kind : {ServerSession::RunKind::Text, ServerSession::RunKind::Html}) {
            setMessage(mail, QStringLiteral("a@example.org"));
            const auto outcome = session.send(kind);
            EXPECT_FALSE(outcome.sent);
            EXPECT_FALSE(outcome.stopRun);
        }
    }

    // A refusal of another kind: no box, the run goes on.
    SmtpTestServer::Options refuseOptions;
    refuseOptions.refuseRecipients = true;
    SmtpTestServer refusing(refuseOptions);
    ASSERT_SERVER_RUNS(refusing);
    writeSettings(folder, accountFor(refusing));
    ScriptedMessages messages;
    ServerSession session(mail, messages);
    ASSERT_TRUE(session.setUp(folder.path(), kDb));
    for (const auto kind : {ServerSession::RunKind::Text, ServerSession::RunKind::Html}) {
        setMessage(mail, QStringLiteral("a@example.org"));
        const auto outcome = session.send(kind);
        EXPECT_FALSE(outcome.sent);
        EXPECT_FALSE(outcome.stopRun);
        EXPECT_TRUE(outcome.error.contains(QStringLiteral("550")));
    }
    EXPECT_TRUE(refusing.received().isEmpty());
}

// The classification follows the component's error code, whatever the text says.
TEST(ServerSession, ClassificationFollowsTheErrorCode) {
    EXPECT_TRUE(ServerSession::isConnectionProblem(SmtpMail::ConnectionError));
    EXPECT_TRUE(ServerSession::isConnectionProblem(SmtpMail::AuthenticationRequired));
    EXPECT_FALSE(ServerSession::isConnectionProblem(SmtpMail::ServerRefused));
    EXPECT_FALSE(ServerSession::isConnectionProblem(SmtpMail::MessageError));
    EXPECT_FALSE(ServerSession::isConnectionProblem(SmtpMail::Aborted));
}

TEST(ServerSession, ErrorEventAsksAndMayStop) {
    SmtpTestServer server;
    ASSERT_SERVER_RUNS(server);
    TempProgramFolder folder;
    writeSettings(folder, accountFor(server));
    SmtpMail mail;
    for (const bool yes : {true, false}) {
        ScriptedMessages messages;
        ServerSession session(mail, messages);
        Hooks hooks;
        hooks.attach(session);
        ASSERT_TRUE(session.setUp(folder.path(), kDb));
        // A protocol file that cannot be written is the component's error event.
        mail.LogFileName = folder.file(QStringLiteral("fehlt/Logfile.txt"));
        QFile probe(mail.LogFileName);
        ASSERT_FALSE(probe.open(QIODevice::WriteOnly | QIODevice::Append));
        const QString description = QStringLiteral("Die Protokolldatei ") + mail.LogFileName +
                                    QStringLiteral(" kann nicht geschrieben werden: ") +
                                    probe.errorString();
        messages.expectQuestion(ServerSession::errorEventQuestion(description), yes);
        setMessage(mail, QStringLiteral("a@example.org"));
        EXPECT_TRUE(session.send(ServerSession::RunKind::Text).sent);
        EXPECT_EQ(hooks.stops, yes ? 1 : 0);
        EXPECT_TRUE(ServerSession::errorEventQuestion(description)
                        .endsWith(QStringLiteral(
                            "! Möchten Sie den Versand abbrechen?\r\r(Falls Sie diese Meldungen "
                            "nicht mehr wünschen, setzen Sie den Haken \"Verbindungsprobleme "
                            "ignorieren\"")));
    }
}

TEST(ConnectionTest, SendsTheTestMailWithTheDialogValues) {
    EXPECT_EQ(ConnectionTest::addressProblem(QStringLiteral("Emailadresse eingeben")),
              QStringLiteral("Bitte geben Sie eine Emailadresse ein"));
    EXPECT_EQ(ConnectionTest::addressProblem(QStringLiteral("ich@firma")),
              QStringLiteral("Bitte geben Sie eine gültige Emailadresse ein"));
    EXPECT_TRUE(ConnectionTest::addressProblem(QStringLiteral("ich@firma.de")).isEmpty());

    SmtpTestServer::Options options;
    options.requireAuth = true;
    options.tls = SmtpTestServer::Tls::StartTls;
    SmtpTestServer server(options);
    ASSERT_SERVER_RUNS(server);
    TempProgramFolder folder;
    writeSettings(folder, AccountSettings{});
    ConnectionTest::TestMail values;
    values.account = accountFor(server);
    values.caFile = server.caFile();
    values.senderAddress = QStringLiteral("info@firma.de");
    values.senderName = QStringLiteral("Firma");
    values.priority = 1;
    values.testAddress = QStringLiteral("ich@firma.de");
    SmtpMail mail;
    {
        ScriptedMessages messages;
        messages.expectInformation(QStringLiteral("Test-E-Mail wurde gesendet!"));
        EXPECT_TRUE(ConnectionTest::sendTestMail(mail, folder.path(), values, messages));
    }
    const auto got = server.received();
    ASSERT_EQ(got.size(), 1);
    EXPECT_EQ(got[0].recipients, QStringList{QStringLiteral("ich@firma.de")});
    EXPECT_EQ(got[0].header("Subject"), QByteArray("Quillon Test-E-Mail"));
    EXPECT_EQ(got[0].header("X-Priority"), QByteArray("1"));
    EXPECT_TRUE(decodeQuotedPrintable(got[0].body()).contains("erfolgreich durchgef\xC3\xBChrt"));

    // A refusal says why: the server's reply follows the message.
    values.account.smtpPassword = QStringLiteral("falsch");
    RecordingMessages messages;
    EXPECT_FALSE(ConnectionTest::sendTestMail(mail, folder.path(), values, messages));
    EXPECT_EQ(server.received().size(), 1);
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(messages.shown[0].startsWith(
        QStringLiteral("E:Test-E-Mail konnte nicht gesendet werden!\r\r")));
    EXPECT_TRUE(messages.shown[0].contains(QStringLiteral("535")))
        << messages.shown[0].toStdString();

    // The options dialog's preset server: the settings are not filled in, nothing is sent.
    for (const QString& host : {QStringLiteral("Ihr SMTP Server"), QString()}) {
        values.account.smtpHost = host;
        ScriptedMessages preset;
        preset.expectError(ConnectionTest::failedMessage(ConnectionTest::settingsMissingReason()));
        EXPECT_FALSE(ConnectionTest::sendTestMail(mail, folder.path(), values, preset));
    }
    EXPECT_TRUE(ConnectionTest::settingsMissingReason().contains(QStringLiteral("ausgefüllt")));
}
