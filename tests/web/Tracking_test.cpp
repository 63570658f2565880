#include "web/TrackingSetup.h"

#include "common/TextFile.h"
#include "support/PhpTestServer.h"
#include "support/TempProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QThread>

// Resources of a static library are registered by hand, outside any namespace.
static void initTrackingResources() {
    Q_INIT_RESOURCE(tracking);
}

namespace {

// The counter and evaluation scripts as the program ships them, laid out in a program
// folder and prepared into its tracking folder the way the dialog does.
class TrackingSite : public ::testing::Test {
protected:
    void SetUp() override {
        initTrackingResources();
        for (const char* f : {"stats.php", "auswertung.php", "red_point.gif"})
            ASSERT_TRUE(QFile::copy(QStringLiteral(":/shipped/") + QLatin1String(f),
                                    program.file(QLatin1String(f))));
        QString error;
        ASSERT_TRUE(TrackingSetup::prepare(program.path(), program.path() + "online/statistik",
                                           "http://www.example.de/statistik/", password,
                                           QString::fromUtf8("Kunden & <Partner>"), &error))
            << error.toStdString();
        root = program.path() + "online/statistik";
        qputenv("PHP_CLI_SERVER_WORKERS", "4");
        php = std::make_unique<PhpTestServer>(root);
        qunsetenv("PHP_CLI_SERVER_WORKERS");
        ASSERT_TRUE(php->error().isEmpty()) << php->error().toStdString();
    }

    // "status redirect-target" of one request, redirects not followed.
    QString request(const QString& pathAndQuery) {
        QProcess curl;
        curl.start("curl", {"-s", "-g", "-o", "/dev/null", "-w", "%{http_code} %{redirect_url}",
                            php->baseUrl() + pathAndQuery});
        EXPECT_TRUE(curl.waitForFinished(20000));
        return QString::fromUtf8(curl.readAllStandardOutput());
    }
    QString page(const QString& pathAndQuery) {
        QProcess curl;
        curl.start("curl", {"-s", "-g", php->baseUrl() + pathAndQuery});
        EXPECT_TRUE(curl.waitForFinished(20000));
        return QString::fromUtf8(curl.readAllStandardOutput());
    }

    TempProgramFolder program;
    QString root;
    const QString password = "Geheim7";
    std::unique_ptr<PhpTestServer> php;
};

} // namespace

TEST_F(TrackingSite, PreparedFolderAndInstructionPage) {
    EXPECT_EQ(QDir(root).entryList(QDir::Files, QDir::Name),
              QStringList({"auswertung.php", "red_point.gif", "stats.php", "stats_pw.php"}));
    EXPECT_EQ(readBytes(root + "/stats_pw.php"), "<?php $my_pass = \"Geheim7\"; ?>\r\n\r\r\n");
    for (const char* f : {"stats.php", "auswertung.php", "stats_pw.php"})
        EXPECT_EQ(phpLintError(root + "/" + f), QString()) << f;
    const QByteArray howTo = readBytes(program.file("stats-einbau.html"));
    EXPECT_TRUE(howTo.contains("Kunden &amp; &lt;Partner&gt;"));
    EXPECT_TRUE(howTo.contains("<a href=\"http://www.example.de/statistik/auswertung.php?password="
                               "Geheim7\" target=\"_blank\">"));
    EXPECT_TRUE(howTo.contains("\r\n"));
    EXPECT_EQ(TrackingSetup::check("http://www.example.de/", "x"),
              QString::fromUtf8("Ungültigen Serverpfad eingegenben!\rBitte geben Sie den "
                                "Serverpfad folgendermaßen ein:\r\"http://www.ihre-domain.de/"
                                "statistik/\""));
    EXPECT_EQ(TrackingSetup::check("https://www.example.de/stat", "a\"b"),
              QString::fromUtf8("Bitte geben Sie nur Buchstaben und Zahlen ein!"));
    EXPECT_EQ(TrackingSetup::check("https://www.example.de/stat", "ab12"), QString());
}

TEST_F(TrackingSite, ClicksCountedRedirectedAndShown) {
    // The target's own "&" parameters stay whole.
    EXPECT_EQ(request("stats.php?nid=202612091830&url=https://shop.example.de/a?x=1&y=2"),
              "302 https://shop.example.de/a?x=1&y=2");
    EXPECT_EQ(request("stats.php?nid=202612091830&url=http://www.example.de/"),
              "302 http://www.example.de/");
    // Only http: and https: targets are followed; no CR/LF reaches a header.
    for (const char* bad :
         {"stats.php?nid=1&url=javascript:alert(1)", "stats.php?nid=1&url=JavaScript://x.de/%0Aa",
          "stats.php?nid=1&url=http://x.de/%0D%0ASet-Cookie:a=b",
          "stats.php?nid=1&url=", "stats.php?nid=1&url=//evil.example/"})
        EXPECT_EQ(request(bad), "400 ") << bad;

    // Parallel clicks on one link all count.
    std::vector<std::unique_ptr<QProcess>> clicks;
    for (int i = 0; i < 16; ++i) {
        auto p = std::make_unique<QProcess>();
        p->start("curl",
                 {"-s", "-g", "-o", "/dev/null",
                  php->baseUrl() + "stats.php?nid=202612091830&url=http://www.example.de/"});
        clicks.push_back(std::move(p));
    }
    for (auto& p : clicks)
        EXPECT_TRUE(p->waitForFinished(30000));

    const QString shown = page("auswertung.php?password=Geheim7");
    EXPECT_TRUE(shown.contains("09.12.2026 18:30 Uhr")) << shown.toStdString();
    EXPECT_TRUE(
        shown.contains("<td>https://shop.example.de/a?x=1&amp;y=2</td><td class=\"n\">1</td>"))
        << shown.toStdString();
    EXPECT_TRUE(shown.contains("<td>http://www.example.de/</td><td class=\"n\">17</td>"))
        << shown.toStdString();
    EXPECT_FALSE(shown.contains("javascript"));

    // Other passwords see nothing, a number-like one included.
    for (const char* wrong : {"auswertung.php?password=geheim7", "auswertung.php",
                              "auswertung.php?password[]=Geheim7"}) {
        const QString denied = page(wrong);
        EXPECT_TRUE(denied.contains("Zugriff verweigert")) << wrong;
        EXPECT_FALSE(denied.contains("example.de")) << wrong;
    }
    QFile pw(root + "/stats_pw.php");
    ASSERT_TRUE(pw.open(QIODevice::WriteOnly));
    pw.write("<?php $my_pass = \"0e123\"; ?>\r\n");
    pw.close();
    // PHP's opcode cache looks at a changed script again after two seconds.
    QThread::sleep(3);
    EXPECT_TRUE(page("auswertung.php?password=0").contains("Zugriff verweigert"));
    const QString right = page("auswertung.php?password=0e123");
    EXPECT_TRUE(right.contains("Summe")) << right.toStdString();
}
