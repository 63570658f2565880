#include "PythonMail.h"
#include "SendRunTestSupport.h"
#include "SendTestSupport.h"

#include "send/DkimSigner.h"

#include <QProcess>
#include <QRegularExpression>
#include <unistd.h>

// DKIM: runs to a real SMTP server with signing on; every message that arrives is checked
// by dkimpy, an independent verifier, against the key record we would publish.

namespace {

// Makes a key with openssl; extra arguments after the algorithm's options.
QString makeKey(const QString& folder, const QString& name, const QStringList& args) {
    const QString path = folder + name;
    QProcess p;
    p.start(QStringLiteral("openssl"),
            QStringList{QStringLiteral("genpkey")} + args + QStringList{"-out", path});
    EXPECT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().constData();
    return path;
}

const QStringList kRsa2048{"-algorithm", "RSA", "-pkeyopt", "rsa_keygen_bits:2048"};

// dkim.verify on the message file with DNS answered by the record; also verifies a copy
// whose body has one letter more.
QJsonObject verifyByDkimpy(const QString& path, const QString& recordName, const QString& record) {
    static const QString script = QStringLiteral(R"PY(
import dkim, json, sys
data = open(sys.argv[1], 'rb').read()
asked = []
def dns(name, timeout=5):
    asked.append(name.decode() if isinstance(name, bytes) else name)
    return sys.argv[3].encode() if asked[-1].rstrip('.') == sys.argv[2] else None
head, body = data.split(b'\r\n\r\n', 1)
altered = head + b'\r\n\r\nX' + body
print(json.dumps({'ok': dkim.verify(data, dnsfunc=dns), 'altered': dkim.verify(altered, dnsfunc=dns),
                  'asked': asked}))
)PY");
    return runPython(script, {path, recordName, record});
}

// The h= tag of the signature, lower case, as a list.
QStringList signedHeaders(const QByteArray& message) {
    static const QRegularExpression tag(QStringLiteral("[;\\s]h=([^;]*);"));
    QString h =
        tag.match(QString::fromLatin1(message.left(message.indexOf("\r\n\r\n")))).captured(1);
    h.remove(QRegularExpression(QStringLiteral("\\s")));
    return h.toLower().split(QLatin1Char(':'));
}

class DkimSendRunFixture : public SendRunFixture {
protected:
    void switchOn(const QString& keyFile, const QString& domain = QStringLiteral("firma.de"),
                  const QString& selector = QStringLiteral("nl2026")) {
        DkimSettings s;
        s.active = true;
        s.domain = domain;
        s.selector = selector;
        s.keyFile = keyFile;
        QString error;
        ASSERT_TRUE(s.write(state.folders.programFolder + "Quillon.ini", &error));
    }

    // Every message the server got verifies, an altered copy does not.
    void expectVerified(const QList<SmtpTestServer::Received>& got, const DkimSigner& signer) {
        for (const auto& r : got) {
            const QString path = state.folders.programFolder + "received.eml";
            writeBytes(path, r.content);
            const QJsonObject v = verifyByDkimpy(path, signer.recordName(), signer.record());
            EXPECT_TRUE(v.value("ok").toBool()) << r.content.left(1500).constData();
            EXPECT_FALSE(v.value("altered").toBool());
            EXPECT_TRUE(r.content.startsWith("DKIM-Signature: v=1;"));
            EXPECT_TRUE(r.content.contains("c=relaxed/relaxed"));
            const QStringList h = signedHeaders(r.content);
            for (const char* name :
                 {"from", "to", "subject", "date", "message-id", "mime-version", "content-type"})
                EXPECT_TRUE(h.contains(QLatin1String(name)))
                    << name << " " << h.join(':').toStdString();
        }
    }
};

} // namespace

TEST_F(DkimSendRunFixture, TextAndHtmlRunsAreSignedAndVerify) {
    SmtpTestServer server;
    ASSERT_SERVER_RUNS(server);
    writeSendRunSettings(state.folders.programFolder, sendRunAccount(server));
    const QString rsa = makeKey(state.folders.programFolder, "rsa.pem", kRsa2048);
    switchOn(rsa);
    appendSendRecords(table, {{"anna@example.org", "Müller"}, {"bert@example.org", "Weber"}});

    {
        ScriptedMessages messages;
        SendRun run(context(), mail, messages);
        prepare(run, textMail("Angebot für $NAME", {"$ANREDE $NAME,", "", "viele Grüße €"}), 2);
        ASSERT_TRUE(runToEnd(run).reachedLoop) << messages.shown().join("\n").toStdString();
    }
    ASSERT_EQ(server.received().size(), 2);
    DkimSigner signer;
    QString error;
    ASSERT_TRUE(
        signer.load(DkimSettings::read(state.folders.programFolder + "Quillon.ini"), &error))
        << error.toStdString();
    EXPECT_EQ(signer.recordName(), QStringLiteral("nl2026._domainkey.firma.de"));
    expectVerified(server.received(), signer);

    // HTML, with an Ed25519 key and the sender in a subdomain of the signing domain.
    const QString ed = makeKey(state.folders.programFolder, "ed.pem", {"-algorithm", "ed25519"});
    switchOn(ed);
    appendSendRecords(table, {{"carl@example.org", "Zöller"}, {"dora@example.org", "Weber"}});
    {
        ScriptedMessages messages;
        SendRun run(context(), mail, messages);
        const QString eml = state.folders.programFolder + "newsletter.eml";
        ASSERT_TRUE(writeMailByPython(eml));
        prepare(run, htmlMailFromFile(eml), 2);
        run.inputs.senderEntry = QStringLiteral("news@mail.firma.de <Firma GmbH>");
        ASSERT_TRUE(runToEnd(run).reachedLoop) << messages.shown().join("\n").toStdString();
    }
    ASSERT_EQ(server.received().size(), 4);
    DkimSigner edSigner;
    ASSERT_TRUE(
        edSigner.load(DkimSettings::read(state.folders.programFolder + "Quillon.ini"), &error));
    EXPECT_TRUE(edSigner.record().startsWith("v=DKIM1; k=ed25519; p="));
    expectVerified(server.received().mid(2), edSigner);
}

// A key that cannot sign, a selector DNS does not allow or a sender of another domain:
// a German message, nothing sent, every record still marked.
TEST_F(DkimSendRunFixture, BadKeyOrNamesStopTheRunBeforeAnythingIsSent) {
    SmtpTestServer server;
    ASSERT_SERVER_RUNS(server);
    writeSendRunSettings(state.folders.programFolder, sendRunAccount(server));
    appendSendRecords(table, {{"anna@example.org", "Müller"}});
    const QString folder = state.folders.programFolder;
    const QString rsa = makeKey(folder, "rsa.pem", kRsa2048);
    const QString encrypted =
        makeKey(folder, "enc.pem", kRsa2048 + QStringList{"-aes256", "-pass", "pass:geheim"});
    const QString small =
        makeKey(folder, "small.pem", {"-algorithm", "RSA", "-pkeyopt", "rsa_keygen_bits:1024"});
    const QString ec =
        makeKey(folder, "ec.pem", {"-algorithm", "EC", "-pkeyopt", "ec_paramgen_curve:P-256"});
    writeBytes(folder + "public.pem",
               QByteArray("-----BEGIN PUBLIC KEY-----\nMFkw\n-----END PUBLIC KEY-----\n"));
    QFile::copy(rsa, folder + "locked.pem");
    QFile::setPermissions(folder + "locked.pem", QFileDevice::Permissions());

    struct Case {
        QString key, domain, selector, expected;
    };
    const QList<Case> cases = {
        {folder + "fehlt.pem", "firma.de", "s1", "wurde nicht gefunden"},
        {encrypted, "firma.de", "s1", "verschlüsselt"},
        {small, "firma.de", "s1", "nur 1024 Bit"},
        {ec, "firma.de", "s1", "weder ein RSA- noch ein Ed25519-Schlüssel"},
        {folder + "public.pem", "firma.de", "s1", "keinen privaten Schlüssel"},
        {rsa, "firma.de", "s_1", "im DNS nicht erlaubt"},
        {rsa, "firma.de", "mail 2026", "im DNS nicht erlaubt"},
        {rsa, "andere-firma.de", "s1", "passt nicht zur Absenderadresse"},
        {rsa, "ma.de", "s1", "passt nicht zur Absenderadresse"},
    };
    for (const Case& c : cases) {
        switchOn(c.key, c.domain, c.selector);
        RecordingMessages messages;
        SendRun run(context(), mail, messages);
        prepare(run, textMail("Hallo", {"Text"}), 1);
        EXPECT_FALSE(runToEnd(run).reachedLoop) << c.expected.toStdString();
        ASSERT_EQ(messages.shown.size(), 1) << c.expected.toStdString();
        EXPECT_TRUE(messages.shown.value(0).startsWith("E:"));
        EXPECT_TRUE(messages.shown.value(0).contains(c.expected))
            << messages.shown.value(0).toStdString();
        EXPECT_TRUE(server.received().isEmpty());
        EXPECT_TRUE(bookedOf(table, 1).selected);
    }
    if (::geteuid() != 0) { // root reads any file
        switchOn(folder + "locked.pem");
        RecordingMessages messages;
        SendRun run(context(), mail, messages);
        prepare(run, textMail("Hallo", {"Text"}), 1);
        EXPECT_FALSE(runToEnd(run).reachedLoop);
        EXPECT_TRUE(messages.shown.value(0).contains("kann nicht gelesen werden"));
    }
    // Switched off, the same broken settings do not matter: the mail goes unsigned.
    DkimSettings off = DkimSettings::read(folder + "Quillon.ini");
    off.active = false;
    ASSERT_TRUE(off.write(folder + "Quillon.ini", nullptr));
    ScriptedMessages messages;
    SendRun run(context(), mail, messages);
    prepare(run, textMail("Hallo", {"Text"}), 1);
    EXPECT_TRUE(runToEnd(run).reachedLoop);
    ASSERT_EQ(server.received().size(), 1);
    EXPECT_FALSE(server.received().value(0).content.contains("DKIM-Signature"));
}

TEST(DkimSigner, RecordComparisonAndSenderDomain) {
    TempProgramFolder folder;
    const QString key = makeKey(folder.path(), "k.pem", kRsa2048);
    DkimSigner signer;
    QString error;
    ASSERT_TRUE(signer.load({true, "Firma.DE", "Sel", key}, &error)) << error.toStdString();
    EXPECT_EQ(signer.recordName(), QStringLiteral("sel._domainkey.firma.de"));
    const QString record = signer.record();
    EXPECT_EQ(signer.compare(record), DkimSigner::RecordMatch::Matches);
    // As DNS hands it out: split into strings, blanks inside p=, no k= (rsa by default).
    QString published = record;
    published.replace("k=rsa; ", "").insert(40, "  ");
    EXPECT_EQ(signer.compare(published), DkimSigner::RecordMatch::Matches);
    EXPECT_EQ(signer.compare(QString(record).replace("k=rsa", "k=ed25519")),
              DkimSigner::RecordMatch::Differs);
    EXPECT_EQ(signer.compare(record.left(record.size() - 8) + "AAAAAAAA"),
              DkimSigner::RecordMatch::Differs);
    EXPECT_EQ(signer.compare("v=spf1 -all"), DkimSigner::RecordMatch::NoKeyRecord);

    EXPECT_TRUE(DkimSigner::senderProblem("firma.de", "info@firma.de").isEmpty());
    EXPECT_TRUE(DkimSigner::senderProblem("firma.de", "info@news.FIRMA.de").isEmpty());
    EXPECT_FALSE(DkimSigner::senderProblem("firma.de", "info@meinefirma.de").isEmpty());
    EXPECT_FALSE(DkimSigner::senderProblem("news.firma.de", "info@firma.de").isEmpty());
    EXPECT_FALSE(DkimSigner::selectorProblem("-a").isEmpty());
    EXPECT_TRUE(DkimSigner::selectorProblem("mail.2026").isEmpty());
}
