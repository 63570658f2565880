#include "web/WebHttp.h"
#include "web/WebSync.h"

#include "common/ControlCharacters.h"
#include "common/TextFile.h"
#include "database/DatabaseTestSupport.h"
#include "settings/AccountSettings.h"
#include "support/PhpTestServer.h"
#include "support/TestServers.h"
#include "web/WebTestSupport.h"

#include <QProcess>
#include <QThread>

using namespace WebSync;

TEST(WebSyncAnalysis, LastLinePerAddressAndWhatIsNew) {
    const QSet<QString> lookup = {"known@example.de", "alt@example.de"};
    const QStringList orders = {"neu@example.de|x|Herr|Betr|Erster",
                                "NEU@example.de|x|Herr|Betr|Zweiter",
                                "known@example.de|x|Frau|B|Schon da", // already in the table
                                "kaputt@@x|x|Herr|B|N",               // fails the address check
                                "beide@example.de|x|Herr|B|Bestellt"};
    const QStringList cancellations = {"known@example.de|1", "fremd@example.de|1",
                                       "beide@example.de|2", "alt@example.de|1"};
    const Analysis a = analyse(orders, cancellations, lookup);
    EXPECT_EQ(a.total, 9);
    // Case ignored when sorting: the two lines of neu@ sort together and the later one
    // survives. Of beide@ and known@ the order sorts after the cancellation ("x" after
    // "1"/"2"): beide@'s order is new, known@'s is not.
    EXPECT_EQ(a.newLines, QStringList({"alt@example.de|1", "beide@example.de|x|Herr|B|Bestellt",
                                       "NEU@example.de|x|Herr|Betr|Zweiter"}));
    EXPECT_EQ(a.checkEntries,
              QStringList({"Abbestellung | alt@example.de", "Bestellung | beide@example.de",
                           "Bestellung | NEU@example.de"}));
    EXPECT_EQ(a.newOrders, 2);
    EXPECT_EQ(a.newCancellations, 1);
    EXPECT_EQ(ordersText(a), QString::fromUtf8("Davon neue Bestellungen: 22% (2 Stück)"));
    EXPECT_EQ(cancellationsText(a), QString::fromUtf8("Davon neue Abbestellungen: 11% (1 Stück)"));
    EXPECT_EQ(totalText(a), QString::fromUtf8("Gesamteinträge: 100% (9 Stück)"));

    // A last line after a line with an invalid address is taken once.
    const Analysis b = analyse({"a@example.de|x|H|B|N", "zz@@bad|x|H|B|N"}, {}, QSet<QString>{});
    EXPECT_EQ(b.newLines, QStringList({"a@example.de|x|H|B|N"}));
    const Analysis c = analyse({"zz@@bad|x|H|B|N", "zzz@example.de|x|H|B|N"}, {}, QSet<QString>{});
    EXPECT_EQ(c.newLines, QStringList({"zzz@example.de|x|H|B|N"}));

    const Analysis empty = analyse({}, {}, QSet<QString>{});
    EXPECT_EQ(cancellationsText(empty),
              QString::fromUtf8("Davon neue Abbestellungen: 0% (0 Stück)"));
}

TEST(WebSyncAnalysis, PercentagesRoundHalvesToEven) {
    EXPECT_EQ(percent(1, 8), 12);  // 12.5
    EXPECT_EQ(percent(3, 8), 38);  // 37.5
    EXPECT_EQ(percent(1, 200), 0); // 0.5
    EXPECT_EQ(percent(3, 200), 2); // 1.5
    EXPECT_EQ(percent(2, 3), 67);
    EXPECT_EQ(percent(5, 0), 0);
    EXPECT_EQ(percent(7, 7), 100);
}

TEST(WebSyncAnalysis, AddressCheckAndHostileLines) {
    EXPECT_TRUE(isListEntryAddress("a.b-c_d@sub.example.de"));
    for (const char* bad : {"a@b.c", "@example.de", "a@example", "a..b@example.de", "a b@x.de",
                            "a@example.d", "a'b@example.de", "a@exa<mple.de"})
        EXPECT_FALSE(isListEntryAddress(bad)) << bad;

    QByteArray body = "  ok@example.de|x\\\\240|Herr|B|N  \r\n\r\n\r\r\n";
    body += "cr@example.de|x|H|B|Na\rme\r\n";
    body += "tab\x01@example.de|1\r\n";
    body += "long@example.de|" + QByteArray(WebSync::maxLineLength, 'a') + "\r\n";
    body += "many@example.de" + QByteArray(WebSync::maxFields, '|') + "\r\n";
    body += "back\\slash@example.de|1\n";
    QStringList rejected;
    const QStringList lines = listLines(body, &rejected);
    EXPECT_EQ(lines, QStringList({"ok@example.de|x|Herr|B|N", "backslash@example.de|1"}));
    EXPECT_EQ(rejected.size(), 4);
    for (const QString& r : rejected)
        EXPECT_FALSE(ControlCharacters::contains(r)) << r.left(60).toStdString();

    EXPECT_TRUE(looksLikeHtml({"a", "<html><body>"}));
    EXPECT_FALSE(looksLikeHtml({"a <b", "c"}));
}

TEST(WebSyncAnalysis, ConfirmedLinesMatchWholeAddresses) {
    const QStringList result = {"anna@example.de|x|Frau|B|Anna", "hanna@example.de|1",
                                "otto@example.de|x|Herr|B|Otto"};
    EXPECT_EQ(
        confirmedLines(result, {"Abbestellung | hanna@example.de", "Bestellung | ANNA@example.de"}),
        QStringList({"hanna@example.de|1", "anna@example.de|x|Frau|B|Anna"}));
}

class WebSyncApply : public StandardDatabaseTest {
protected:
    void add(const QString& mail, const QString& name = {}) {
        table->append();
        table->setString("Mail", mail);
        table->setString("Name", name);
        ASSERT_TRUE(table->post());
    }
    std::vector<qint64> withMail(const QString& mail) {
        return table->tableIds({QStringLiteral("Mail = ? COLLATE QNOCASE"), {mail}});
    }
};

TEST_F(WebSyncApply, OrdersAppendedAndCancellationsDeletedOrMarked) {
    add("o'brien@example.de", "Apostroph");
    add("twice@example.de", "Eins");
    add("TWICE@example.de", "Zwei");
    add("hanna@example.de", "Hanna");
    const ApplyResult r =
        apply(*table->store(),
              {"neu@example.de|x|Herr|Dr._med.|Hans_Muster|Ort=Bad=Hamm|PLZ=\"12345\"|=leer|ID=1|"
               "Selected=True|Unbekannt=1|ende",
               "kurz@example.de|x|Herr", "ohne@example.de|x|Herr|B|N|Ort|ende", "anna@example.de|1",
               "twice@example.de|1"},
              false);
    ASSERT_TRUE(r.ok) << r.error.toStdString();
    EXPECT_EQ(r.added, 2);
    EXPECT_EQ(r.cancelled, 2);
    EXPECT_EQ(r.refused.size(), 1); // too few fields
    EXPECT_TRUE(withMail("twice@example.de").empty());
    EXPECT_EQ(withMail("hanna@example.de").size(), 1u); // "anna@" is not "hanna@"
    EXPECT_TRUE(withMail("kurz@example.de").empty());
    EXPECT_EQ(withMail("ohne@example.de").size(), 1u); // "Ort" alone sets nothing
    const auto ids = withMail("neu@example.de");
    ASSERT_EQ(ids.size(), 1u);
    ASSERT_TRUE(table->locateId(ids[0]));
    EXPECT_EQ(table->asString("Anrede"), "Herr");
    EXPECT_EQ(table->asString("Betreff"), "Dr. med.");
    EXPECT_EQ(table->asString("Name"), "Hans Muster");
    EXPECT_EQ(table->asString("Ort"), "BadHamm");
    EXPECT_EQ(table->asString("PLZ"), "12345");
    EXPECT_FALSE(table->asBool("Selected")); // a visitor never sets the program's columns
    EXPECT_NE(ids[0], 1);

    // Invalid mode marks every record of the address, an apostrophe included.
    add("twice@example.de");
    add("Twice@Example.de");
    const ApplyResult m =
        apply(*table->store(), {"twice@example.de|1", "o'brien@example.de|1"}, true);
    ASSERT_TRUE(m.ok);
    EXPECT_EQ(m.cancelled, 2); // the apostrophe fails the list-entry address check
    EXPECT_EQ(m.refused.size(), 1);
    for (qint64 id : withMail("twice@example.de")) {
        ASSERT_TRUE(table->locateId(id));
        EXPECT_TRUE(table->asBool("Invalid"));
    }
    EXPECT_EQ(withMail("o'brien@example.de").size(), 1u);
}

class WebSyncFetch : public StandardDatabaseTest {
protected:
    QTemporaryDir site;
};

TEST_F(WebSyncFetch, ListsFromThePhpServerAnalysedAndApplied) {
    writeSite(site.path(), "geheim42",
              {"neu@example.de|x|Frau|Newsletter|Erika_Alt|Ort=Koeln|ende",
               "neu@example.de|x|Frau|Newsletter|Erika_Neu|Ort=Bonn|ende",
               "evil@example.de|x|H|B|N" + QString(200, '|')},
              {"alt@example.de|1"});
    PhpTestServer php(site.path());
    ASSERT_TRUE(php.error().isEmpty()) << php.error().toStdString();
    table->append();
    table->setString("Mail", "alt@example.de");
    ASSERT_TRUE(table->post());

    const ProxySettings noProxy;
    const WebHttp::Result in = WebHttp::get(ordersAddress(php.baseUrl(), "geheim42"), noProxy);
    ASSERT_TRUE(in.ok) << in.error.toStdString();
    QStringList rejected;
    const QStringList orders = listLines(in.body, &rejected);
    EXPECT_EQ(orders.size(), 2);
    EXPECT_EQ(rejected.size(), 1);
    const WebHttp::Result out =
        WebHttp::get(cancellationsAddress(php.baseUrl(), "geheim42"), noProxy);
    ASSERT_TRUE(out.ok);
    const Analysis a = analyse(orders, listLines(out.body), *table->store());
    EXPECT_EQ(a.newOrders, 1);
    EXPECT_EQ(a.newCancellations, 1);
    const ApplyResult r = apply(*table->store(), a.newLines, false);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(table->store()->tableIds().size(), 1u);
    table->first();
    EXPECT_EQ(table->asString("Name"), "Erika Neu");
    EXPECT_EQ(table->asString("Ort"), "Bonn");

    // A wrong and a number-like password get the guard's refusal.
    for (const char* wrong : {"falsch", "0"}) {
        const WebHttp::Result denied = WebHttp::get(ordersAddress(php.baseUrl(), wrong), noProxy);
        ASSERT_TRUE(denied.ok);
        EXPECT_TRUE(accessDenied(listLines(denied.body))) << wrong;
    }
}

TEST(WebHttpErrors, RefusedPortMissingPageProxyPortAndUntrustedCertificate) {
    const ProxySettings noProxy;
    const int port = TestServers::freePort();
    const QString url = QStringLiteral("http://127.0.0.1:%1/email_list_in.txt").arg(port);
    WebHttp::Result r = WebHttp::get(url, noProxy);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, QString::fromUtf8("Die Adresse\r") + url +
                           QString::fromUtf8("\rkann nicht abgerufen werden: Der Server nimmt "
                                             "keine Verbindung an."));

    QTemporaryDir empty;
    PhpTestServer php(empty.path());
    ASSERT_TRUE(php.error().isEmpty());
    r = WebHttp::get(php.baseUrl() + "email_list_in.txt", noProxy);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(
        r.error.endsWith(QString::fromUtf8("Der Server antwortet mit dem HTTP-Status 404.")))
        << r.error.toStdString();

    ProxySettings proxy;
    proxy.useProxy = true;
    proxy.server = "127.0.0.1";
    proxy.portText = "acht";
    r = WebHttp::get(php.baseUrl(), proxy);
    EXPECT_EQ(r.error, QString::fromUtf8("\"acht\" ist kein gültiger Port für den Proxy-Server."));

    r = WebHttp::get("javascript:alert(1)", noProxy);
    EXPECT_FALSE(r.ok);

    // TLS: a self-signed certificate is refused unless it is the configured authority.
    const TestServers::Certificate& cert = TestServers::certificate();
    ASSERT_TRUE(cert.error.isEmpty()) << cert.error.toStdString();
    const int tlsPort = TestServers::freePort();
    QProcess tls;
    tls.start("openssl", {"s_server", "-quiet", "-accept", QString::number(tlsPort), "-cert",
                          cert.certFile, "-key", cert.keyFile, "-www"});
    ASSERT_TRUE(tls.waitForStarted(10000));
    for (int i = 0; i < 200 && !TestServers::accepts(tlsPort); ++i)
        QThread::msleep(25);
    const QString secure = QStringLiteral("https://127.0.0.1:%1/").arg(tlsPort);
    r = WebHttp::get(secure, noProxy);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.error.endsWith(
        QString::fromUtf8("Das Zertifikat des Servers ist nicht vertrauenswürdig.")))
        << r.error.toStdString();
    r = WebHttp::get(secure, noProxy, cert.certFile);
    EXPECT_TRUE(r.ok) << r.error.toStdString();
    tls.kill();
    tls.waitForFinished();
}

// A proxy on 127.0.0.1 that wants basic authentication and forwards GET requests.
TEST(WebHttpProxy, RequestsGoThroughTheProxyWithBasicAuthentication) {
    QTemporaryDir site;
    writeSite(site.path(), "Pw1", {"neu@example.de|x|Herr|B|N|ende"}, {});
    PhpTestServer php(site.path());
    ASSERT_TRUE(php.error().isEmpty());
    const int port = TestServers::freePort();
    const QString script = QStringLiteral(R"(
import base64, http.server, sys, urllib.request
want = 'Basic ' + base64.b64encode(b'nutzer:geheim').decode()
class P(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        if self.headers.get('Proxy-Authorization') != want:
            self.send_response(407)
            self.send_header('Proxy-Authenticate', 'Basic realm="p"')
            self.send_header('Content-Length', '0')
            self.end_headers()
            return
        body = urllib.request.urlopen(self.path).read()
        self.send_response(200)
        self.send_header('Content-Length', str(len(body)))
        self.end_headers()
        self.wfile.write(body)
    def log_message(self, *a):
        pass
http.server.HTTPServer(('127.0.0.1', int(sys.argv[1])), P).serve_forever()
)");
    QProcess proxyServer;
    proxyServer.start("/usr/bin/python3", {"-c", script, QString::number(port)});
    ASSERT_TRUE(proxyServer.waitForStarted(10000));
    for (int i = 0; i < 200 && !TestServers::accepts(port); ++i)
        QThread::msleep(25);

    ProxySettings proxy;
    proxy.useProxy = true;
    proxy.server = "127.0.0.1";
    proxy.portText = QString::number(port);
    proxy.userName = "nutzer";
    proxy.password = "geheim";
    const QString url = ordersAddress(php.baseUrl(), "Pw1");
    WebHttp::Result r = WebHttp::get(url, proxy);
    ASSERT_TRUE(r.ok) << r.error.toStdString();
    EXPECT_EQ(listLines(r.body), QStringList({"neu@example.de|x|Herr|B|N|ende"}));

    proxy.password = "falsch";
    r = WebHttp::get(url, proxy);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.error.endsWith(
        QString::fromUtf8("Der Proxy-Server verlangt eine gültige Anmeldung (HTTP-Status 407).")))
        << r.error.toStdString();
    proxyServer.kill();
    proxyServer.waitForFinished();
}
