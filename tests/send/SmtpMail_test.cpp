#include "send/SmtpMail.h"

#include "send/MimeMessage.h"

#include "SendTestSupport.h"
#include "support/SmtpTestServer.h"
#include "support/TempProgramFolder.h"
#include "support/TestServers.h"

#include <QEventLoop>
#include <QFile>
#include <QSet>
#include <QThread>
#include <QTimer>
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

void pointAt(SmtpMail& mail, const SmtpTestServer& server) {
    mail.ServerAddr = server.host();
    mail.ServerPort = server.port();
}

void setMessage(SmtpMail& mail, const QString& to) {
    mail.FromAddr = QStringLiteral("info@firma.de");
    mail.From = QStringLiteral("Firma Müller & Söhne");
    mail.ClearRecipients();
    mail.AddRecipient(to, to, 0);
    mail.Subject = QStringLiteral("Grüße an Herrn Müller");
    mail.BodyText = QStringLiteral("Sehr geehrter Herr Müller,\r\nviele Grüße.\r\n");
    mail.XMailer = QStringLiteral("XMailer");
}

// Sends the standard message to one address; it must go through.
void sendTo(SmtpMail& mail, const QString& to) {
    setMessage(mail, to);
    ASSERT_EQ(mail.SendMail(), 0) << mail.LastErrorDescription().toStdString();
}

// Sending fails as a connection problem, with a German text that names the server;
// the class is in the code, not in the text.
void expectConnectionError(SmtpMail& mail) {
    EXPECT_EQ(mail.SendMail(), SmtpMail::ConnectionError);
    EXPECT_EQ(mail.LastErrorCode(), SmtpMail::ConnectionError);
    const QString text = mail.LastErrorDescription();
    EXPECT_TRUE(text.contains(QStringLiteral("SMTP-Server ") + mail.ServerAddr.trimmed() +
                              QStringLiteral(" (Port ") + QString::number(mail.ServerPort) +
                              QChar(')')))
        << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("Error with connecting server")));
}

} // namespace

TEST(SmtpMail, DeliversMessagesOverOneConnectionWithHeadersAndCharset) {
    SmtpTestServer server;
    ASSERT_SERVER_RUNS(server);
    SmtpMail mail;
    int connected = 0, closed = 0, sending = 0;
    QObject::connect(&mail, &SmtpMail::OnConnected, [&] { ++connected; });
    QObject::connect(&mail, &SmtpMail::OnClosed, [&] { ++closed; });
    QObject::connect(&mail, &SmtpMail::OnSending, [&](qint64, qint64) { ++sending; });
    pointAt(mail, server);
    mail.CodeSet = 3;
    mail.Priority = 1;
    ASSERT_NO_FATAL_FAILURE(sendTo(mail, QStringLiteral("a.mueller@example.org")));
    mail.CodeSet = 0;
    mail.Priority = 5;
    ASSERT_NO_FATAL_FAILURE(sendTo(mail, QStringLiteral("b.meier@example.org")));
    mail.Priority = 3;
    ASSERT_NO_FATAL_FAILURE(sendTo(mail, QStringLiteral("c@example.org")));

    const auto got = server.received();
    ASSERT_EQ(got.size(), 3);
    // One connection carries the whole run.
    EXPECT_EQ(got[0].connection, got[1].connection);
    EXPECT_EQ(got[1].connection, got[2].connection);
    EXPECT_EQ(connected, 1);
    EXPECT_GE(sending, 3);
    EXPECT_EQ(closed, 0);
    mail.Release();
    EXPECT_EQ(closed, 1);

    EXPECT_EQ(got[0].mailFrom, QStringLiteral("info@firma.de"));
    EXPECT_EQ(got[0].recipients, QStringList{QStringLiteral("a.mueller@example.org")});
    EXPECT_EQ(got[1].recipients, QStringList{QStringLiteral("b.meier@example.org")});
    for (const auto& r : got) {
        for (const char* h : {"Date", "Message-Id", "MIME-Version", "To", "From", "Subject"})
            EXPECT_FALSE(r.header(h).isEmpty()) << h;
        EXPECT_EQ(r.header("X-Mailer"), QByteArray("XMailer"));
        EXPECT_EQ(r.header("Content-Transfer-Encoding"), QByteArray("quoted-printable"));
        EXPECT_FALSE(r.content.contains("\n\n")) << "bare line feeds";
    }
    EXPECT_TRUE(got[0].header("Message-Id").contains("@firma.de>"));
    EXPECT_NE(got[0].header("Message-Id"), got[1].header("Message-Id"));

    // utf-8: Müller is M C3 BC ller, in the body and in the encoded words.
    EXPECT_TRUE(got[0].header("Content-Type").contains("charset=utf-8"));
    EXPECT_TRUE(decodeQuotedPrintable(got[0].body()).contains("Herr M\xC3\xBCller,\r\n"));
    EXPECT_TRUE(got[0].header("Subject").toLower().startsWith("=?utf-8?"));
    EXPECT_TRUE(got[0].header("From").toLower().contains("=?utf-8?"));
    EXPECT_TRUE(got[0].header("From").contains("<info@firma.de>"));
    EXPECT_EQ(got[0].header("X-Priority"), QByteArray("1"));
    EXPECT_EQ(got[0].header("X-MSMail-Priority"), QByteArray("High"));
    // iso-8859-1: one byte FC.
    EXPECT_TRUE(got[1].header("Content-Type").contains("charset=iso-8859-1"));
    EXPECT_TRUE(decodeQuotedPrintable(got[1].body()).contains("Herr M\xFCller,\r\n"));
    EXPECT_TRUE(got[1].header("Subject").toLower().startsWith("=?iso-8859-1?"));
    EXPECT_EQ(got[1].header("X-Priority"), QByteArray("5"));
    EXPECT_EQ(got[1].header("X-MSMail-Priority"), QByteArray("Low"));
    // Normal priority sets no priority header.
    EXPECT_TRUE(got[2].header("X-Priority").isEmpty());
    EXPECT_TRUE(got[2].header("X-MSMail-Priority").isEmpty());
}

TEST(SmtpMail, AttachmentTravelsWithEveryMessage) {
    SmtpTestServer server;
    ASSERT_SERVER_RUNS(server);
    TempProgramFolder folder;
    const QString path = folder.file(QStringLiteral("Preisliste 2024.pdf"));
    QByteArray bytes;
    for (int i = 0; i < 3000; ++i)
        bytes.append(char(i * 7));
    ASSERT_NO_FATAL_FAILURE(writeBytes(path, bytes));
    SmtpMail mail;
    pointAt(mail, server);
    mail.AddAttachment(path);
    ASSERT_NO_FATAL_FAILURE(sendTo(mail, QStringLiteral("a@example.org")));
    ASSERT_NO_FATAL_FAILURE(sendTo(mail, QStringLiteral("b@example.org")));

    const auto got = server.received();
    ASSERT_EQ(got.size(), 2);
    for (const auto& r : got) {
        EXPECT_TRUE(r.header("Content-Type").startsWith("multipart/mixed"));
        const qsizetype at = r.content.indexOf("filename=\"Preisliste 2024.pdf\"");
        ASSERT_GE(at, 0);
        const qsizetype start = r.content.indexOf("\r\n\r\n", at) + 4;
        const qsizetype end = r.content.indexOf("\r\n--", start);
        EXPECT_EQ(QByteArray::fromBase64(r.content.mid(start, end - start)), bytes);
    }

    // An attachment that has vanished fails the message; nothing is sent.
    QFile::remove(path);
    EXPECT_EQ(mail.SendMail(), SmtpMail::MessageError);
    EXPECT_TRUE(mail.LastErrorDescription().contains(QStringLiteral("Preisliste 2024.pdf")));
    EXPECT_EQ(server.received().size(), 2);
}

TEST(SmtpMail, LineBreaksFromDataNeverReachAHeader) {
    SmtpTestServer server;
    ASSERT_SERVER_RUNS(server);
    SmtpMail mail;
    pointAt(mail, server);
    setMessage(mail, QStringLiteral("a@example.org"));
    mail.Subject = QStringLiteral("Angebot\r\nBcc: opfer@example.org");
    mail.From = QStringLiteral("Firma\nX-Evil: 1");
    ASSERT_EQ(mail.SendMail(), 0) << mail.LastErrorDescription().toStdString();
    auto got = server.received();
    ASSERT_EQ(got.size(), 1);
    EXPECT_TRUE(got[0].header("Bcc").isEmpty());
    EXPECT_TRUE(got[0].header("X-Evil").isEmpty());
    EXPECT_EQ(got[0].recipients, QStringList{QStringLiteral("a@example.org")});

    // An address with a line break or a bracket is refused before anything is sent.
    for (const QString& bad : {QStringLiteral("a@example.org\r\nRCPT TO:<b@example.org>"),
                               QStringLiteral("a@example.org>"), QStringLiteral("kein-at")}) {
        setMessage(mail, bad);
        EXPECT_EQ(mail.SendMail(), SmtpMail::MessageError) << bad.toStdString();
        EXPECT_FALSE(mail.LastErrorDescription().contains(QStringLiteral("Error with connecting")));
    }
    EXPECT_EQ(server.received().size(), 1);
}

TEST(SmtpMail, LogsInWithPlainAndLoginAndKeepsPasswordsOutOfTheProtocol) {
    for (const QString& mechanism : {QStringLiteral("PLAIN"), QStringLiteral("LOGIN")}) {
        SmtpTestServer::Options options;
        options.requireAuth = true;
        options.mechanisms = {mechanism};
        SmtpTestServer server(options);
        ASSERT_SERVER_RUNS(server);
        TempProgramFolder folder;
        SmtpMail mail;
        pointAt(mail, server);
        mail.LogFileName = folder.file(QStringLiteral("Logfile.txt"));
        mail.AuthMode = 1;
        mail.UserName = options.user;
        mail.Password = options.password;
        ASSERT_NO_FATAL_FAILURE(sendTo(mail, QStringLiteral("a@example.org")));
        ASSERT_NO_FATAL_FAILURE(sendTo(mail, QStringLiteral("b@example.org")));
        const auto got = server.received();
        ASSERT_EQ(got.size(), 2);
        EXPECT_EQ(got[0].login, options.user);
        EXPECT_EQ(got[0].connection, got[1].connection);

        const QByteArray log = readBytes(mail.LogFileName);
        EXPECT_TRUE(log.contains("C: AUTH " + mechanism.toLatin1())) << log.constData();
        EXPECT_TRUE(log.contains("C: MAIL FROM:<info@firma.de>"));
        EXPECT_TRUE(log.contains("S: 250"));
        const QByteArray password = options.password.toUtf8();
        for (const QByteArray& secret :
             {password, password.toBase64(),
              ('\0' + options.user.toUtf8() + '\0' + password).toBase64(),
              options.user.toUtf8().toBase64()})
            EXPECT_FALSE(log.contains(secret)) << secret.constData();
    }
}

TEST(SmtpMail, ErrorTextsFallIntoTheirClasses) {
    SmtpTestServer::Options authOptions;
    authOptions.requireAuth = true;
    SmtpTestServer authServer(authOptions);
    ASSERT_SERVER_RUNS(authServer);
    SmtpMail mail;
    pointAt(mail, authServer);
    setMessage(mail, QStringLiteral("a@example.org"));
    // No login where one is needed, and a wrong password.
    EXPECT_EQ(mail.SendMail(), SmtpMail::AuthenticationRequired);
    EXPECT_TRUE(mail.LastErrorDescription().contains(QStringLiteral("must be authenticated")));
    EXPECT_TRUE(mail.LastErrorDescription().contains(QStringLiteral("530")));
    mail.UserName = authOptions.user;
    mail.Password = QStringLiteral("falsch");
    EXPECT_EQ(mail.SendMail(), SmtpMail::AuthenticationRequired);
    EXPECT_TRUE(mail.LastErrorDescription().contains(QStringLiteral("must be authenticated")));
    EXPECT_TRUE(authServer.received().isEmpty());

    // Any other refusal carries the server's reply and neither marker.
    SmtpTestServer::Options refuseOptions;
    refuseOptions.refuseRecipients = true;
    SmtpTestServer refusing(refuseOptions);
    ASSERT_SERVER_RUNS(refusing);
    SmtpMail second;
    pointAt(second, refusing);
    setMessage(second, QStringLiteral("a@example.org"));
    EXPECT_EQ(second.SendMail(), SmtpMail::ServerRefused);
    const QString refused = second.LastErrorDescription();
    EXPECT_TRUE(refused.contains(QStringLiteral("550 5.7.1 Recipient refused by policy")))
        << refused.toStdString();
    EXPECT_FALSE(refused.toUpper().contains(QStringLiteral("ERROR WITH CONNECTING SERVER")));
    EXPECT_FALSE(refused.toUpper().contains(QStringLiteral("MUST BE AUTHENTICATED")));
    // The connection still serves the next message after a refusal.
    setMessage(second, QStringLiteral("b@example.org"));
    EXPECT_EQ(second.SendMail(), SmtpMail::ServerRefused);

    // Nobody listening, and a server name that cannot be used.
    SmtpMail third;
    third.ServerAddr = QStringLiteral("127.0.0.1");
    third.ServerPort = TestServers::freePort(); // nobody listens there
    setMessage(third, QStringLiteral("a@example.org"));
    expectConnectionError(third);
    // A server that never answered: the text says plainly that no connection was made,
    // in German only.
    EXPECT_TRUE(third.LastErrorDescription().startsWith(
        QStringLiteral("Es kann keine Verbindung zum SMTP-Server 127.0.0.1 (Port ") +
        QString::number(third.ServerPort) + QStringLiteral(") hergestellt werden: ")))
        << third.LastErrorDescription().toStdString();
    EXPECT_FALSE(third.LastErrorDescription().contains(QStringLiteral("Couldn't")));
    third.ServerAddr = QStringLiteral("host/../x");
    expectConnectionError(third);
}

// The greeting names the sender's domain, so a server that wants a fully-qualified name
// accepts the session; a server that refuses the session, the sender, or a recipient with
// a protocol error reports it as a refused session, not as a refused message.
TEST(SmtpMail, GreetsWithTheSendersDomainAndTellsARefusedSessionFromARefusedRecipient) {
    SmtpTestServer::Options fqdn;
    fqdn.requireFullyQualifiedGreeting = true;
    SmtpTestServer server(fqdn);
    ASSERT_SERVER_RUNS(server);
    SmtpMail mail;
    pointAt(mail, server);
    ASSERT_NO_FATAL_FAILURE(sendTo(mail, QStringLiteral("a@example.org")));
    EXPECT_EQ(mail.greetingName(), QStringLiteral("firma.de"));
    ASSERT_EQ(server.received().size(), 1);
    EXPECT_EQ(server.received()[0].greeting, QStringLiteral("firma.de"));

    // A recipient's own problem stays the message's.
    const struct {
        QString mailReply;
        QString rcptReply;
        int code;
    } refusals[] = {
        {QStringLiteral("553 5.7.1 <info@firma.de>: Sender address rejected"), QString(),
         SmtpMail::SessionRefused},
        {QString(),
         QStringLiteral("504 5.5.2 <vm>: Helo command rejected: need fully-qualified hostname"),
         SmtpMail::SessionRefused},
        {QString(), QStringLiteral("503 Bad sequence of commands"), SmtpMail::SessionRefused},
        {QString(), QStringLiteral("550 5.1.1 <a@example.org>: Recipient address rejected"),
         SmtpMail::ServerRefused}};
    for (const auto& r : refusals) {
        SmtpTestServer::Options o;
        o.mailReply = r.mailReply;
        o.rcptReply = r.rcptReply;
        SmtpTestServer refusing(o);
        ASSERT_SERVER_RUNS(refusing);
        SmtpMail m;
        pointAt(m, refusing);
        setMessage(m, QStringLiteral("a@example.org"));
        EXPECT_EQ(m.SendMail(), r.code) << m.LastErrorDescription().toStdString();
        EXPECT_TRUE(m.LastErrorDescription().contains(r.mailReply + r.rcptReply))
            << m.LastErrorDescription().toStdString();
    }
}

TEST(SmtpMail, TlsByStartTlsAndFromTheFirstByteWithVerifiedCertificates) {
    for (const auto tls : {SmtpTestServer::Tls::StartTls, SmtpTestServer::Tls::Implicit}) {
        SmtpTestServer::Options options;
        options.tls = tls;
        options.requireAuth = true;
        SmtpTestServer server(options);
        ASSERT_SERVER_RUNS(server);
        SmtpMail mail;
        pointAt(mail, server);
        if (tls == SmtpTestServer::Tls::Implicit)
            mail.ImplicitTlsPort = server.port();
        mail.UserName = options.user;
        mail.Password = options.password;
        setMessage(mail, QStringLiteral("a@example.org"));

        // The test certificate is no authority of the system: refused until it is added.
        ASSERT_EQ(mail.SslInit(), 0);
        mail.SslStart();
        expectConnectionError(mail);

        mail.CaFile = server.caFile();
        ASSERT_EQ(mail.SslInit(), 0) << mail.LastErrorDescription().toStdString();
        mail.SslStart();
        ASSERT_EQ(mail.SendMail(), 0) << mail.LastErrorDescription().toStdString();
        // A run prepares TLS before every message; the connection stays all the same.
        ASSERT_EQ(mail.SslInit(), 0);
        mail.SslStart();
        ASSERT_EQ(mail.SendMail(), 0) << mail.LastErrorDescription().toStdString();
        const auto got = server.received();
        ASSERT_EQ(got.size(), 2);
        EXPECT_EQ(got[0].login, options.user);
        EXPECT_EQ(got[1].connection, got[0].connection);
    }

    // A server that requires STARTTLS while SSL is off: a connection problem.
    SmtpTestServer::Options options;
    options.tls = SmtpTestServer::Tls::StartTls;
    SmtpTestServer server(options);
    ASSERT_SERVER_RUNS(server);
    SmtpMail mail;
    pointAt(mail, server);
    setMessage(mail, QStringLiteral("a@example.org"));
    expectConnectionError(mail);

    // A missing certificate file is reported, not ignored.
    mail.CaFile = QStringLiteral("/nicht/vorhanden.pem");
    EXPECT_NE(mail.SslInit(), 0);
    EXPECT_TRUE(mail.LastErrorDescription().contains(QStringLiteral("vorhanden.pem")));
}

TEST(SmtpMail, FinishedMessageIsSentUnchanged) {
    SmtpTestServer server;
    ASSERT_SERVER_RUNS(server);
    TempProgramFolder folder;
    const QString path = folder.file(QStringLiteral("Sending.eml"));
    const QByteArray message = "From: a@firma.de\nTo: x@example.org\nSubject: Fertig\n"
                               "Content-Type: text/html; charset=utf-8\n\n<p>M\xC3\xBCller</p>\n"
                               ".Punkt am Zeilenanfang\n";
    ASSERT_NO_FATAL_FAILURE(writeBytes(path, message));
    SmtpMail mail;
    pointAt(mail, server);
    mail.FromAddr = QStringLiteral("a@firma.de");
    mail.AddRecipient({}, QStringLiteral("x@example.org"), 0);
    mail.BodyFormat = 1;
    ASSERT_TRUE(mail.ImportMailFile(path));
    mail.raw_Content = mail.Content();
    ASSERT_EQ(mail.SendMail(), 0) << mail.LastErrorDescription().toStdString();
    const auto got = server.received();
    ASSERT_EQ(got.size(), 1);
    QByteArray expected = message;
    expected.replace("\n", "\r\n");
    EXPECT_EQ(got[0].content, expected);
    EXPECT_FALSE(mail.ImportMailFile(folder.file(QStringLiteral("fehlt.eml"))));
}

TEST(SmtpMail, AbortEndsAStalledTransfer) {
    // A listener that never answers: the connection is made but no greeting comes.
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(fd, 4), 0);
    ASSERT_EQ(::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length), 0);

    SmtpMail mail;
    mail.ServerAddr = QStringLiteral("127.0.0.1");
    mail.ServerPort = ntohs(address.sin_port);
    setMessage(mail, QStringLiteral("a@example.org"));
    // Abbrechen arrives through the event loop that turns while the transfer waits.
    QObject::connect(&mail, &SmtpMail::OnConnected, [&] { mail.Abort(); });
    EXPECT_EQ(mail.SendMail(), SmtpMail::Aborted);
    EXPECT_TRUE(mail.wasAborted());
    ::close(fd);
}

namespace {} // namespace

// A held message waits before its end until it is released: given up (or aborted)
// the server never accepts it and the next message still arrives whole; released it is
// delivered. A prepared message keeps the values it was built from.
TEST(SmtpMail, HeldMessageEndsOnlyWhenReleased) {
    SmtpTestServer server;
    ASSERT_SERVER_RUNS(server);
    SmtpMail mail;
    pointAt(mail, server);

    setMessage(mail, QStringLiteral("gehalten@example.org"));
    ASSERT_EQ(mail.BeginMail(true), 0);
    settle(300); // time enough for the envelope and DATA
    EXPECT_TRUE(server.received().isEmpty()) << "the held message must not be complete";
    mail.ReleaseMail(false);
    EXPECT_EQ(mail.EndMail(), SmtpMail::Aborted);
    EXPECT_TRUE(mail.wasAborted());

    setMessage(mail, QStringLiteral("danach@example.org"));
    ASSERT_EQ(mail.SendMail(), 0) << mail.LastErrorDescription().toStdString();

    setMessage(mail, QStringLiteral("freigegeben@example.org"));
    ASSERT_EQ(mail.PrepareMail(), 0);
    setMessage(mail, QStringLiteral("zu-spaet@example.org")); // after the build: not used
    ASSERT_EQ(mail.BeginMail(true), 0);
    settle(100);
    mail.ReleaseMail(true);
    EXPECT_EQ(mail.EndMail(), 0) << mail.LastErrorDescription().toStdString();

    setMessage(mail, QStringLiteral("abgebrochen@example.org"));
    ASSERT_EQ(mail.BeginMail(true), 0);
    settle(100);
    mail.Abort();
    EXPECT_EQ(mail.EndMail(), SmtpMail::Aborted);

    // Closing the connection gives a held message up as well.
    setMessage(mail, QStringLiteral("beim-schliessen@example.org"));
    ASSERT_EQ(mail.BeginMail(true), 0);
    settle(100);
    mail.Release();
    EXPECT_FALSE(mail.isConnected());

    setMessage(mail, QStringLiteral("ohne-absender@example.org"));
    mail.FromAddr = QStringLiteral("kein Absender");
    EXPECT_EQ(mail.BeginMail(true), SmtpMail::MessageError);
    EXPECT_EQ(mail.EndMail(), SmtpMail::MessageError);

    const auto got = server.received();
    EXPECT_EQ(recipientsOf(got), (QStringList{"danach@example.org", "freigegeben@example.org"}));
    for (const auto& r : got) {
        EXPECT_TRUE(r.header("To").contains(r.recipients.value(0).toUtf8()))
            << "headers and envelope from the same build";
        EXPECT_TRUE(r.body().contains("viele Gr")) << r.content.toStdString();
        EXPECT_FALSE(r.content.contains("gehalten@")) << "nothing of the given-up message";
    }
}

// Messages chained to the one under way are begun by the transfer's own thread once the
// one before is accepted, each held until it is released; a message given up takes what
// was chained after it along, unsent.
TEST(SmtpMail, ChainedMessagesBeginWhenTheOneBeforeIsAccepted) {
    SmtpTestServer server;
    ASSERT_SERVER_RUNS(server);
    SmtpMail mail;
    pointAt(mail, server);
    auto endOfTransfer = [&] {
        for (int waited = 0; !mail.transferDone() && waited < 10000; waited += 10)
            settle(10);
        return mail.EndMail();
    };
    auto chain = [&](const QString& to) {
        setMessage(mail, to);
        return mail.PrepareMail() == 0 && mail.ChainMail();
    };

    setMessage(mail, QStringLiteral("erste@example.org"));
    ASSERT_EQ(mail.BeginMail(true), 0);
    ASSERT_TRUE(chain(QStringLiteral("zweite@example.org")));
    ASSERT_TRUE(chain(QStringLiteral("dritte@example.org")));
    settle(300);
    EXPECT_TRUE(server.received().isEmpty()) << "the first is held; nothing passes it";
    mail.ReleaseMail(true);
    EXPECT_EQ(endOfTransfer(), 0) << mail.LastErrorDescription().toStdString();
    ASSERT_TRUE(mail.transferChained()) << "the second is under way already";
    settle(300);
    EXPECT_EQ(recipientsOf(server.received()), QStringList{"erste@example.org"})
        << "the second waits for its release";
    mail.ReleaseMail(true);
    EXPECT_EQ(endOfTransfer(), 0);
    ASSERT_TRUE(mail.transferChained());

    ASSERT_TRUE(chain(QStringLiteral("vierte@example.org")));
    mail.ReleaseMail(false); // the third is given up
    EXPECT_EQ(endOfTransfer(), SmtpMail::Aborted);
    EXPECT_FALSE(mail.transferChained());
    EXPECT_FALSE(mail.isTransferring()) << "the fourth was dropped with it";
    EXPECT_FALSE(mail.ChainMail()) << "nothing is under way to chain to";

    // Closing the connection while a chained message is under way gives it up as well.
    setMessage(mail, QStringLiteral("fuenfte@example.org"));
    ASSERT_EQ(mail.BeginMail(false), 0);
    ASSERT_TRUE(chain(QStringLiteral("sechste@example.org")));
    // The fifth arrives and the sixth begins before this thread hears of it.
    for (int waited = 0; server.received().size() < 3 && waited < 10000; waited += 10)
        QThread::msleep(10);
    QThread::msleep(100);
    mail.Release();
    EXPECT_FALSE(mail.isTransferring());

    sendTo(mail, QStringLiteral("siebte@example.org"));
    const auto got = server.received();
    EXPECT_EQ(recipientsOf(got), QStringList({"erste@example.org", "fuenfte@example.org",
                                              "siebte@example.org", "zweite@example.org"}));
    QSet<QByteArray> ids;
    for (const auto& r : got) {
        EXPECT_TRUE(r.header("To").contains(r.recipients.value(0).toUtf8()))
            << "each chained message keeps its own build";
        ids.insert(r.header("Message-Id"));
    }
    EXPECT_EQ(ids.size(), got.size()) << "every message has an id of its own";
}

TEST(SmtpMail, AddressesTheToHeaderWouldReadDifferentlyAreRefused) {
    SmtpTestServer server;
    ASSERT_SERVER_RUNS(server);
    SmtpMail mail;
    pointAt(mail, server);
    // Each would put one address into the envelope and another (or two) into To.
    for (const QString& bad :
         {QStringLiteral("a@b@example.org"), QStringLiteral("a@example.org,b@example.org"),
          QStringLiteral("a@example.org;b@example.org"), QStringLiteral("a(b)@example.org"),
          QStringLiteral("\"a\"@example.org"), QStringLiteral("gruppe:a@example.org"),
          QStringLiteral("a@[127.0.0.1]"), QString::fromUtf8("a@exa\u008Bmple.org"),
          QString::fromUtf8("a\u200B@example.org")}) {
        setMessage(mail, bad);
        EXPECT_EQ(mail.SendMail(), SmtpMail::MessageError) << bad.toStdString();
        EXPECT_TRUE(mail.LastErrorDescription().contains(QString::fromUtf8("ungültig")))
            << mail.LastErrorDescription().toStdString();
    }
    EXPECT_TRUE(server.received().isEmpty());
    EXPECT_TRUE(MimeMessage::isUsableAddress(QString::fromUtf8("jürgen@müller.de")));
}
