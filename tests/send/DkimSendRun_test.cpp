#include "DkimTestSupport.h"
#include "PythonMail.h"
#include "SendRunTestSupport.h"
#include "SendTestSupport.h"

#include "database/WebSettings.h"
#include "send/DkimSigner.h"

#include <QProcess>
#include <QRegularExpression>
#include <unistd.h>

// libopendkim, the reference signer; its header is C and spells bool as _Bool.
#define _Bool bool
extern "C" {
#include <opendkim/dkim.h>
}
#undef _Bool

// DKIM: runs to a real SMTP server with signing on; every message that arrives is checked
// by dkimpy, an independent verifier, against the key record we would publish.

namespace {

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

// With the database's web kit the one-click headers are signed too and still verify.
TEST_F(DkimSendRunFixture, OneClickUnsubscribeHeadersAreSigned) {
    SmtpTestServer server;
    ASSERT_SERVER_RUNS(server);
    writeSendRunSettings(state.folders.programFolder, sendRunAccount(server));
    switchOn(makeKey(state.folders.programFolder, "rsa.pem", kRsa2048));
    WebSettings web(state.folders.dataFolder, state.session.definitionName());
    ASSERT_TRUE(web.setOnlinePath(QStringLiteral("http://www.firma.de/newsletter/")));
    ASSERT_TRUE(web.setOnlinePassword(QStringLiteral("geheim42")));
    appendSendRecords(table, {{"Anna.Katharina.Mustermann@beispiel-versand.example.org", "A"}});
    {
        ScriptedMessages messages;
        SendRun run(context(), mail, messages);
        prepare(run, textMail("Angebot", {"Abmelden: $ABMELDELINK"}), 1);
        ASSERT_TRUE(runToEnd(run).reachedLoop) << messages.shown().join("\n").toStdString();
    }
    ASSERT_EQ(server.received().size(), 1);
    DkimSigner signer;
    QString error;
    ASSERT_TRUE(
        signer.load(DkimSettings::read(state.folders.programFolder + "Quillon.ini"), &error));
    expectVerified(server.received(), signer);
    const QStringList h = signedHeaders(server.received()[0].content);
    EXPECT_TRUE(h.contains("list-unsubscribe") && h.contains("list-unsubscribe-post"))
        << h.join(':').toStdString();
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

namespace {

// The DKIM-Signature header line libopendkim puts in front of the message at time t, fed
// the fields we sign the way a mail filter feeds them.
QByteArray libopendkimHeader(const QByteArray& message, const QString& keyFile, bool rsa,
                             const QByteArray& domain, const QByteArray& selector, uint64_t t) {
    QFile file(keyFile);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray key = file.readAll();
    DKIM_LIB* lib = dkim_init(nullptr, nullptr);
    dkim_options(lib, DKIM_OP_SETOPT, DKIM_OPTS_FIXEDTIME, &t, sizeof t);
    DKIM_STAT status = DKIM_STAT_OK;
    DKIM* dkim = dkim_sign(lib, reinterpret_cast<const u_char*>("test"), nullptr,
                           reinterpret_cast<dkim_sigkey_t>(const_cast<char*>(key.constData())),
                           reinterpret_cast<const u_char*>(selector.constData()),
                           reinterpret_cast<const u_char*>(domain.constData()), DKIM_CANON_RELAXED,
                           DKIM_CANON_RELAXED, rsa ? DKIM_SIGN_RSASHA256 : DKIM_SIGN_ED25519SHA256,
                           -1, &status);
    EXPECT_NE(dkim, nullptr) << dkim_getresultstr(status);
    static const QRegularExpression signedName(
        QStringLiteral("^(from|to|subject|date|message-id|mime-version|content-type|"
                       "list-unsubscribe|list-unsubscribe-post):"),
        QRegularExpression::CaseInsensitiveOption);
    const qsizetype headerEnd = message.indexOf("\r\n\r\n") + 2;
    QByteArray field;
    // The header's last CR LF makes a last, empty line that sends off the last field.
    for (const QByteArray& line : message.left(headerEnd).split('\n')) {
        if (!field.isEmpty() && (line.startsWith(' ') || line.startsWith('\t'))) {
            field += '\n' + line;
            continue;
        }
        if (signedName.match(QString::fromUtf8(field)).hasMatch()) {
            EXPECT_EQ(dkim_header(dkim, reinterpret_cast<u_char*>(field.chopped(1).data()),
                                  size_t(field.size() - 1)),
                      DKIM_STAT_OK);
        }
        field = line;
    }
    EXPECT_EQ(dkim_eoh(dkim), DKIM_STAT_OK);
    QByteArray body = message.mid(headerEnd + 2);
    if (!body.isEmpty())
        dkim_body(dkim, reinterpret_cast<u_char*>(body.data()), size_t(body.size()));
    EXPECT_EQ(dkim_eom(dkim, nullptr), DKIM_STAT_OK) << dkim_geterror(dkim);
    u_char* header = nullptr;
    size_t length = 0;
    EXPECT_EQ(dkim_getsighdr_d(dkim, 16, &header, &length), DKIM_STAT_OK);
    const QByteArray result =
        "DKIM-Signature: " + QByteArray(reinterpret_cast<const char*>(header), qsizetype(length)) +
        "\r\n";
    dkim_free(dkim);
    dkim_close(lib);
    return result;
}

} // namespace

// Our signatures are byte for byte the ones libopendkim makes of the same message at the
// same time (RSA PKCS #1 v1.5 and Ed25519 are deterministic), over awkward headers and
// bodies and over names long enough to be folded.
TEST(DkimSigner, SignsExactlyAsLibopendkim) {
    TempProgramFolder folder;
    const QString rsaKey = makeKey(folder.path(), "rsa.pem", kRsa2048);
    const QString edKey = makeKey(folder.path(), "ed.pem", {"-algorithm", "ed25519"});
    const QByteArray head =
        "Received: from relay\r\n"
        "From: \"Firma GmbH\" <news@firma.de>\r\n"
        "To: anna@example.org\r\n"
        "Subject: Angebot\r\n"
        "Date: Mon, 7 Dec 2026 10:00:00 +0100\r\n"
        "Message-ID: <1.quillon@firma.de>\r\n"
        "MIME-Version: 1.0\r\n"
        "Content-Type: text/plain; charset=utf-8\r\n"
        "List-Unsubscribe: <https://firma.de/mailin.php?action=unsub&m=anna%40example.org&t="
        "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef>\r\n"
        "List-Unsubscribe-Post: List-Unsubscribe=One-Click\r\n";
    const QList<QByteArray> messages = {
        head + "\r\nHallo Anna,\r\n\r\nviele Grüße\r\n",
        // Folded, tabs, blanks at the ends, names in other case, unsigned fields between.
        "X-Mailer: Quillon\r\nFROM:   news@firma.de  \t\r\nto: anna@example.org,\r\n\t  "
        "bert@example.org \r\nSubject: Angebot\r\n \t f\xC3\xBCr   Sie\t\r\nX-Note: a\r\n"
        "content-type: multipart/alternative;\r\n boundary=\"=_b\"\r\n\r\nText\r\n",
        head + "\r\n",                                               // empty body
        head + "\r\nText  mit \t Leerraum  \r\n\r\n \t\r\n\r\n\r\n", // blank lines at the end
        head + "\r\n  eingerückt\r\n\r\n\t \tText\r\n",
        head + "\r\n" + QByteArray(5000, 'x') + "\r\n" + QByteArray(998, '\xE4') + "\r\n",
        "From: a@firma.de\r\nSubject: " + QByteArray(900, 'S') + "\r\n\r\nx\r\n",
    };
    struct Signer {
        QString key;
        QString domain, selector;
    };
    const QList<Signer> signers = {
        {rsaKey, "firma.de", "nl2026"},
        {edKey, "firma.de", "nl2026"},
        // d= and s= too long for one line each.
        {rsaKey, "newsletter-versand.abteilung-marketing.sehr-lange-firmenbezeichnung.de",
         "selektor-mit-einem-langen-namen-2026-12"},
        {edKey, "newsletter-versand.abteilung-marketing.sehr-lange-firmenbezeichnung.de",
         "selektor-mit-einem-langen-namen-2026-12"},
    };
    const qint64 t = 1796000000;
    for (const Signer& s : signers) {
        DkimSigner signer;
        QString error;
        ASSERT_TRUE(signer.load({true, s.domain, s.selector, s.key}, &error))
            << error.toStdString();
        const bool rsa = signer.keyKind() == DkimSigner::KeyKind::Rsa;
        for (const QByteArray& message : messages) {
            QByteArray ours = message;
            ASSERT_TRUE(signer.sign(&ours, &error, t)) << error.toStdString();
            ASSERT_TRUE(ours.endsWith(message));
            EXPECT_EQ(ours.chopped(message.size()),
                      libopendkimHeader(message, s.key, rsa, s.domain.toLatin1(),
                                        s.selector.toLatin1(), uint64_t(t)))
                << message.left(300).constData();
        }
        // Without From (which a signature must cover) or without a body nothing is signed.
        for (QByteArray bad : {QByteArray("To: a@b.de\r\nSubject: x\r\n\r\nx\r\n"),
                               QByteArray("From: a@firma.de\r\nSubject: x\r\n")}) {
            const QByteArray before = bad;
            EXPECT_FALSE(signer.sign(&bad, &error));
            EXPECT_EQ(bad, before);
            EXPECT_TRUE(error.startsWith("Die Nachricht kann nicht mit DKIM signiert werden"));
        }
    }
}
