// One-click unsubscribe in real runs to aiosmtpd: every message carries List-Unsubscribe
// and List-Unsubscribe-Post and $ABMELDELINK merges to the same link; the link is computed
// again by Python's hmac and the messages are read by Python's email package.
#include "PythonMail.h"
#include "SendRunTestSupport.h"
#include "SendTestSupport.h"

#include "database/WebSettings.h"

#include <QJsonArray>

namespace {

const QString kServerPath = QStringLiteral("http://www.firma.de/newsletter/");

// The link as Python computes it: HMAC-SHA256 of the lower-cased address keyed with
// the sync password.
QString linkByPython(const QString& address) {
    static const QString script = QStringLiteral(R"PY(
import hashlib, hmac, json, sys, urllib.parse
a = sys.argv[1]
t = hmac.new(b'geheim42', a.lower().encode(), hashlib.sha256).hexdigest()
print(json.dumps({'url': sys.argv[2] + 'mailin.php?action=unsub&m=' + urllib.parse.quote(a, safe='') + '&t=' + t}))
)PY");
    return runPython(script, {address, kServerPath}).value("url").toString();
}

class UnsubscribeRunFixture : public SendRunFixture {
protected:
    WebSettings web() const {
        return WebSettings(state.folders.dataFolder, state.session.definitionName());
    }
    void setUpWebKit() {
        WebSettings w = web();
        ASSERT_TRUE(w.setOnlinePath(kServerPath));
        ASSERT_TRUE(w.setOnlinePassword(QStringLiteral("geheim42")));
    }
    // Sends the mail to the records; the messages as Python reads them.
    QList<QJsonObject> send(const MailTemplate& mail, const QList<SendRecord>& records) {
        appendSendRecords(table, records);
        const qsizetype before = server.received().size();
        {
            ScriptedMessages messages;
            SendRun run(context(), this->mail, messages);
            prepare(run, mail, records.size());
            EXPECT_TRUE(runToEnd(run).reachedLoop) << messages.shown().join("\n").toStdString();
        }
        QList<QJsonObject> read;
        const auto got = server.received().mid(before);
        EXPECT_EQ(got.size(), records.size());
        for (const auto& r : got) {
            const QString path = state.folders.programFolder + "received.eml";
            writeBytes(path, r.content);
            // No header line beyond the limit of RFC 5322.
            for (const QByteArray& line : r.content.left(r.content.indexOf("\r\n\r\n")).split('\n'))
                EXPECT_LE(line.size(), 999) << line.left(60).constData();
            read << readMailByPython(path);
        }
        return read;
    }
    static QStringList header(const QJsonObject& m, const char* name) {
        QStringList values;
        for (const auto& v : m.value("headers").toObject().value(QLatin1String(name)).toArray())
            values << v.toString();
        return values;
    }
    static QString text(const QJsonObject& m, const char* type) {
        for (const QJsonObject& leaf : leavesOf(m.value("tree").toObject()))
            if (leaf.value("type").toString() == QLatin1String(type))
                return leaf.value("text").toString();
        return {};
    }
    static void expectOneClick(const QJsonObject& m, const QString& url) {
        EXPECT_EQ(header(m, "list-unsubscribe"), QStringList{"<" + url + ">"});
        EXPECT_EQ(header(m, "list-unsubscribe-post"), QStringList{"List-Unsubscribe=One-Click"});
        EXPECT_TRUE(m.value("defects").toArray().isEmpty());
    }
    static void expectNoOneClick(const QJsonObject& m) {
        EXPECT_TRUE(header(m, "list-unsubscribe").isEmpty());
        EXPECT_TRUE(header(m, "list-unsubscribe-post").isEmpty());
    }

    void SetUp() override {
        SendRunFixture::SetUp();
        ASSERT_SERVER_RUNS(server);
        writeSendRunSettings(state.folders.programFolder, sendRunAccount(server));
    }

    SmtpTestServer server;
};

} // namespace

TEST_F(UnsubscribeRunFixture, TextRunCarriesTheLinkUntilSwitchedOffOrWithoutKit) {
    setUpWebKit();
    const MailTemplate mail = textMail("Angebot", {"Hallo $NAME,", "Abmelden: $ABMELDELINK"});
    // A long address makes a header line longer than 78 characters; the address with an
    // ampersand is one the site's list cannot take, so it gets no link.
    const QString anna =
        QStringLiteral("Anna.Katharina.Mustermann-Schmidt@Beispiel-Versand.example.org");
    QList<QJsonObject> got = send(mail, {{anna, "Muster"}, {"anna&bert@example.org", "Anna"}});
    ASSERT_EQ(got.size(), 2);
    const QString url = linkByPython(anna);
    ASSERT_FALSE(url.isEmpty());
    expectOneClick(got[0], url);
    EXPECT_TRUE(text(got[0], "text/plain").contains("Abmelden: " + url + "\n"));
    expectNoOneClick(got[1]);
    EXPECT_TRUE(text(got[1], "text/plain").contains("Abmelden: \n"));

    // Switched off for the database: no headers, the placeholder still works.
    ASSERT_TRUE(web().setListUnsubscribe(false));
    got = send(mail, {{"bert@example.org", "Bert"}});
    ASSERT_EQ(got.size(), 1);
    expectNoOneClick(got[0]);
    EXPECT_TRUE(text(got[0], "text/plain").contains(linkByPython("bert@example.org")));

    // Without a web kit the message is as it always was, the placeholder empty.
    ASSERT_TRUE(QFile::remove(web().path()));
    got = send(mail, {{"carl@example.org", "Carl"}});
    ASSERT_EQ(got.size(), 1);
    expectNoOneClick(got[0]);
    EXPECT_TRUE(text(got[0], "text/plain").contains("Abmelden: \n"));
}

TEST_F(UnsubscribeRunFixture, HtmlRunPutsTheLinkIntoHeadersAndAttribute) {
    setUpWebKit();
    const QString eml = state.folders.programFolder + "newsletter.eml";
    ASSERT_TRUE(writeMailByPython(eml));
    MailTemplate mail = htmlMailFromFile(eml);
    mail.htmlBody = QStringLiteral("<p><a href=\"$ABMELDELINK\">Abmelden</a></p>");
    mail.plainBody = QStringLiteral("Abmelden: $ABMELDELINK");
    const QList<QJsonObject> got = send(mail, {{"dora@example.org", "Dora"}});
    ASSERT_EQ(got.size(), 1);
    const QString url = linkByPython("dora@example.org");
    expectOneClick(got[0], url);
    EXPECT_TRUE(
        text(got[0], "text/html").contains("href=\"" + QString(url).replace("&", "&amp;") + "\""));
    EXPECT_TRUE(text(got[0], "text/plain").contains("Abmelden: " + url));
}
