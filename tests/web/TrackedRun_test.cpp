#include "send/PythonMail.h"
#include "send/SendRunTestSupport.h"
#include "send/SendTestSupport.h"

#include "send/MimeMessage.h"
#include "support/PhpTestServer.h"
#include "web/TrackingSetup.h"

#include <QProcess>
#include <QRegularExpression>

static void initTrackedRunResources() {
    Q_INIT_RESOURCE(tracking);
}

namespace {

QString curl(const QStringList& args) {
    QProcess p;
    p.start("curl", QStringList{"-s", "-g"} + args);
    EXPECT_TRUE(p.waitForFinished(20000));
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace

// A tracked link of a real HTML run, clicked: stats.php on the site counts it and sends
// the reader on; auswertung.php shows the click for the run's newsletter id.
TEST_F(SendRunFixture, TrackedLinkOfAnHtmlRunIsCountedOnTheSite) {
    initTrackedRunResources();
    const QString program = state.folders.programFolder;
    for (const char* f : {"stats.php", "auswertung.php", "red_point.gif"})
        ASSERT_TRUE(QFile::copy(QStringLiteral(":/shipped/") + QLatin1String(f),
                                program + QLatin1String(f)));
    QString error;
    ASSERT_TRUE(TrackingSetup::prepare(program, program + "online/klicks",
                                       "http://127.0.0.1/klicks/", "Klick5", "Test", &error));
    PhpTestServer php(program + "online/klicks");
    ASSERT_TRUE(php.error().isEmpty()) << php.error().toStdString();

    SmtpTestServer server;
    ASSERT_SERVER_RUNS(server);
    writeSendRunSettings(program, sendRunAccount(server));
    appendSendRecords(table, {{"anna@example.org", "Muster"}});
    const QString eml = program + "newsletter.eml";
    ASSERT_TRUE(writeMailByPython(eml));
    const MailTemplate m = htmlMailFromFile(eml);

    ScriptedMessages messages;
    SendRun run(context(), mail, messages);
    prepare(run, m, 1);
    run.inputs.tracking = true;
    run.inputs.statsAddress = php.baseUrl();
    ASSERT_TRUE(runToEnd(run).reachedLoop) << messages.shown().join("\n").toStdString();
    const auto got = server.received();
    ASSERT_EQ(got.size(), 1);
    MimeMessage back;
    ASSERT_TRUE(back.loadMessageBytes(got[0].content, &error)) << error.toStdString();
    const QRegularExpressionMatch link =
        QRegularExpression(
            "href=\"(http://127\\.0\\.0\\.1:\\d+/stats\\.php\\?nid=\\d{12}&url=[^\"]+)\"")
            .match(back.htmlText());
    ASSERT_TRUE(link.hasMatch()) << back.htmlText().toStdString();

    EXPECT_EQ(curl({"-o", "/dev/null", "-w", "%{http_code} %{redirect_url}", link.captured(1)}),
              "302 https://www.firma.de/a?b=1");
    const QString shown = curl({php.baseUrl() + "auswertung.php?password=Klick5"});
    EXPECT_TRUE(shown.contains("(" + run.newsletterId() + ")")) << shown.toStdString();
    EXPECT_TRUE(shown.contains("<td>https://www.firma.de/a?b=1</td><td class=\"n\">1</td>"))
        << shown.toStdString();
}
