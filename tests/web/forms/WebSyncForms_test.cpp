#include "web/forms/TEnterpriseLinksForm.h"
#include "web/forms/TMehrplatzForm.h"
#include "web/forms/TStatsForm.h"
#include "web/forms/TSuscribeForm.h"

#include "database/AddressTable.h"
#include "database/WebSettings.h"
#include "shell/forms/MainFormTestSupport.h"
#include "support/PhpTestServer.h"
#include "support/ScriptedMessages.h"
#include "web/WebTestSupport.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScreen>

namespace {

class WebWindowTest : public MainWindowTest {
protected:
    void SetUp() override { ASSERT_TRUE(startProgram()); }
    WebSettings web() { return WebSettings(dataFolder(), "Database.ini"); }
    AddressTable* table() { return state().session.currentTable(); }
    void add(const QString& mail) {
        table()->append();
        table()->setString("Mail", mail);
        ASSERT_TRUE(table()->post());
    }
    static bool waitHidden(QWidget* w) {
        for (int i = 0; i < 600 && w->isVisible(); ++i)
            QTest::qWait(50);
        return !w->isVisible();
    }
};

} // namespace

TEST_F(WebWindowTest, FetchCheckApplyAndWipe) {
    QTemporaryDir site;
    writeSite(site.path(), "Sync9",
              {"neu@example.de|x|Frau|Newsletter|Erika_Muster|Ort=Bad=Hamm|ende",
               "zweiter@example.de|x|Herr|B|Zweiter|ende", "schon@example.de|x|Herr|B|S|ende"},
              {"weg@example.de|1", "nie@example.de|1"});
    PhpTestServer php(site.path());
    ASSERT_TRUE(php.error().isEmpty());
    ASSERT_TRUE(web().setOnlinePath(php.baseUrl()) && web().setOnlinePassword("Sync9") &&
                web().setInvalidOnCancel(false));
    add("schon@example.de");
    add("weg@example.de");

    TSuscribeForm form(state());
    ASSERT_TRUE(form.prepare());
    form.show();
    EXPECT_EQ(form.windowTitle(), "Bestellungen / Abbestellungen");
    EXPECT_FALSE(child<QPushButton>(&form, "InDatabaseBitBtn")->isEnabled());
    EXPECT_EQ(child<QLabel>(&form, "GesamtLabel")->text(), u("Gesamteinträge:"));
    EXPECT_TRUE(child<QWidget>(&form, "WebBrowserPanel")->isHidden());
    EXPECT_FALSE(child<QCheckBox>(&form, "OnlyInvalidCheckBox")->isChecked());
    {
        ScriptedMessages messages;
        messages.expectInformation(php.baseUrl() + "email_list_in.php?password=Sync9");
        click(&form, "GetOrdersBitBtn");
    }
    auto* list = child<QListWidget>(&form, "CheckListBox1");
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->item(0)->text(), "Bestellung | neu@example.de");
    EXPECT_EQ(list->item(1)->text(), "Abbestellung | weg@example.de");
    EXPECT_EQ(list->item(2)->text(), "Bestellung | zweiter@example.de");
    EXPECT_EQ(child<QLabel>(&form, "GesamtLabel")->text(), u("Gesamteinträge: 100% (5 Stück)"));
    EXPECT_EQ(child<QLabel>(&form, "SuscribeLabel")->text(),
              u("Davon neue Bestellungen: 40% (2 Stück)"));
    EXPECT_EQ(child<QLabel>(&form, "UnsuscribeLabel")->text(),
              u("Davon neue Abbestellungen: 20% (1 Stück)"));
    EXPECT_EQ(child<QProgressBar>(&form, "ProgressBar2")->value(), 40);
    EXPECT_EQ(child<QLabel>(&form, "StatusLabel")->text(),
              u("Bestellungen / Abbestellungen abgeholt - fertig"));
    EXPECT_EQ(child<QPlainTextEdit>(&form, "UnsuscribeMemo")->toPlainText(),
              "weg@example.de|1\nnie@example.de|1");
    EXPECT_TRUE(QFile::exists(form.resultPath()));

    // The user leaves out the second order; the cancellation marks invalid this once.
    list->item(2)->setCheckState(Qt::Unchecked);
    {
        ScriptedMessages messages;
        messages.expectInformation(
            u("Diese Einstellung ist nur einmalig aktiv, möchten Sie dieses Verhalten dauerhaft "
              "einstellen, aktivieren Sie die Option\runter \"Web und Newsletter -> "
              "Automatisches abholen von Bestellungen einrichten\"!"));
        QTest::mouseClick(child<QCheckBox>(&form, "OnlyInvalidCheckBox"), Qt::LeftButton);
    }
    {
        ScriptedMessages none;
        click(&form, "InDatabaseBitBtn");
        EXPECT_TRUE(child<QWidget>(&form, "WebBrowserPanel")->isVisible());
        EXPECT_TRUE(waitHidden(&form));
    }
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_FALSE(QFile::exists(form.resultPath()));
    EXPECT_FALSE(QFile::exists(form.newResultPath()));
    EXPECT_TRUE(QFile::exists(site.path() + "/wiped.txt"));
    EXPECT_EQ(readBytes(site.path() + "/email_list_in.php"), listGuard());
    EXPECT_FALSE(web().invalidOnCancel()); // the switch was for this dialog only

    AddressTable* t = table();
    EXPECT_EQ(t->recordCount(), 3);
    QStringList mails;
    for (t->first(); !t->eof(); t->next()) {
        mails << t->asString("Mail");
        if (t->asString("Mail") == "neu@example.de") {
            EXPECT_EQ(t->asString("Name"), "Erika Muster");
            EXPECT_EQ(t->asString("Ort"), "BadHamm");
        }
        if (t->asString("Mail") == "weg@example.de") {
            EXPECT_TRUE(t->asBool("Invalid"));
        }
    }
    EXPECT_EQ(mails, QStringList({"schon@example.de", "weg@example.de", "neu@example.de"}));
}

TEST_F(WebWindowTest, FetchErrorsCloseOrStop) {
    QTemporaryDir site;
    writeSite(site.path(), "Richtig1", {}, {});
    writeBytes(site.path() + "/email_list_in.txt", "<html><body>Nicht gefunden</body></html>");
    PhpTestServer php(site.path());
    ASSERT_TRUE(php.error().isEmpty());
    TSuscribeForm form(state());

    // A password the site does not know.
    ASSERT_TRUE(web().setOnlinePath(php.baseUrl()) && web().setOnlinePassword("Falsch1"));
    ASSERT_TRUE(form.prepare());
    form.show();
    {
        ScriptedMessages messages;
        messages.expectInformation(php.baseUrl() + "email_list_in.php?password=Falsch1");
        messages.expectError(
            u("FEHLER!\rDas online hinterlegte Passwort stimmt nicht mit dem im Programm "
              "vergebenen überein.\rBitte aktualisieren Sie die Ihre Daten online! Indem Sie "
              "das \r\"Automatische Abholen von Bestellungen\" neu einrichten."));
        click(&form, "GetOrdersBitBtn");
    }
    EXPECT_FALSE(form.isVisible());

    // The old method without a password: warned first; an HTML page instead of a list.
    ASSERT_TRUE(web().setOnlinePassword(""));
    ASSERT_TRUE(form.prepare());
    form.show();
    {
        ScriptedMessages messages;
        messages.expectQuestion(
            u("Achtung! Sie verwenden derzeit noch die alte, ungesicherte Methode um Ihre "
              "Einträge online abzuholen, wir empfehlen Ihnen alle Einträge abzuholen und danach "
              "unter dem Punkt \"Automatisches Abholen von Bestellungen einrichten\" Ihre "
              "automatische Abholung zu aktualisieren! Möchten Sie mit der Abholung "
              "forfahren?"),
            true);
        messages.expectError(
            u("FEHLER!\r\rEntweder:\r\rIm angegebenen Onlinepfad\r") + php.baseUrl() +
            u("\rbefinden sich nicht die aktuellen Formulare und Scripte! Bitte stellen Sie "
              "zuerst Ihre Formulare und Scripte mit Ihrem FTP-Programm online!\r\roder:\rSie "
              "sind nicht mit dem Internet verbunden! Bitte stellen Sie eine "
              "Internetverbindung her!\r"));
        click(&form, "GetOrdersBitBtn");
    }
    EXPECT_FALSE(form.isVisible());

    // A site that does not answer: the HTTP layer's message, the dialog stays.
    ASSERT_TRUE(web().setOnlinePath("http://127.0.0.1:1/nl/") && web().setOnlinePassword("A1"));
    ASSERT_TRUE(form.prepare());
    form.show();
    {
        ScriptedMessages messages;
        messages.expectInformation("http://127.0.0.1:1/nl/email_list_in.php?password=A1");
        messages.expectError(u("Die Adresse\rhttp://127.0.0.1:1/nl/email_list_in.php?password=A1"
                               "\rkann nicht abgerufen werden: Der Server nimmt keine "
                               "Verbindung an."));
        click(&form, "GetOrdersBitBtn");
    }
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(child<QPushButton>(&form, "InDatabaseBitBtn")->isEnabled());
}

TEST_F(WebWindowTest, TrackingSetupChecksPreparesAndStores) {
    TStatsForm form(state());
    ASSERT_TRUE(form.prepare());
    form.show();
    EXPECT_EQ(form.windowTitle(), "Newsletter Statistik einrichten");
    auto* url = child<QLineEdit>(&form, "URLEdit");
    auto* pw = child<QLineEdit>(&form, "PasswdEdit");
    {
        ScriptedMessages messages;
        messages.expectError(u("Keinen Serverpfad für die Online-Statistik eingegeben!"));
        messages.expectError(u("Sie haben kein Passwort eingegeben!"));
        messages.expectInformation(u("Bitte geben Sie nur Buchstaben und Zahlen ein!"));
        click(&form, "BitBtn1");
        QTest::keyClicks(url, "https://www.example.de/klicks");
        click(&form, "BitBtn1");
        QTest::keyClicks(pw, "ab-1");
    }
    EXPECT_EQ(pw->text(), "ab1");
    child<QCheckBox>(&form, "TrackingCheckBox")->setChecked(true);
    {
        ScriptedMessages messages;
        messages.expectQuestion(
            u("Dateien wurden erstellt! Möchten Sie nun die Einbauanleitung starten?"), false);
        click(&form, "BitBtn1");
    }
    EXPECT_FALSE(form.isVisible());
    const QString folder = state().folders.programFolder + "online/klicks/";
    for (const char* f : {"stats_pw.php", "stats.php", "auswertung.php", "red_point.gif"})
        EXPECT_TRUE(QFile::exists(folder + f)) << f;
    EXPECT_TRUE(QFile::exists(state().folders.programFolder + "stats-einbau.html"));
    const TrackingState t = web().tracking();
    EXPECT_EQ(t.statsAddress, "https://www.example.de/klicks");
    EXPECT_EQ(t.password, "ab1");
    EXPECT_TRUE(t.onByDefault);
    EXPECT_EQ(state().session.tracking().password, "ab1");
    EXPECT_TRUE(state().session.webLinksEnabled());

    // The web links now show the statistics, but no order links yet.
    RecordingOpener opener;
    TEnterpriseLinksForm links(state());
    ASSERT_TRUE(links.prepare());
    links.show();
    EXPECT_FALSE(child<QLineEdit>(&links, "SubEdit")->isEnabled());
    EXPECT_FALSE(child<QPushButton>(&links, "BitBtn3")->isEnabled());
    auto* stats = child<QLineEdit>(&links, "OnlineStats");
    EXPECT_TRUE(stats->isEnabled());
    EXPECT_EQ(stats->text(), "https://www.example.de/klicksauswertung.php?password=ab1");
    stats->setText("https://www.example.de/klicks/auswertung.php?password=ab1");
    click(&links, "OnlineStatsBtn");
    EXPECT_EQ(opener.opened,
              QStringList({"https://www.example.de/klicks/auswertung.php?password=ab1"}));

    ASSERT_TRUE(web().setOnlinePath("https://www.example.de/nl/"));
    ASSERT_TRUE(links.prepare());
    EXPECT_EQ(child<QLineEdit>(&links, "UnsubEdit")->text(),
              "https://www.example.de/nl/unsubscribe.html");
    click(&links, "SubLinkBitBtn");
    EXPECT_EQ(QApplication::clipboard()->text(), "https://www.example.de/nl/subscribe.html");
}

TEST_F(WebWindowTest, MenuEntriesOpenTheWindows) {
    TMainForm& main = createForm(true);
    for (const char* name :
         {"Newsletterstatistikeinrichten1", "BetriebsanleitungMehrplatzversion1"})
        EXPECT_TRUE(main.findChild<QAction*>(QLatin1String(name))->isEnabled()) << name;
    RecordingOpener opener;
    bool shown = false;
    whenDialogShows([&](QWidget* w) {
        auto* page = qobject_cast<TMehrplatzForm*>(w);
        ASSERT_NE(page, nullptr);
        shown = true;
        const QString text = child<QLabel>(page, "PageLabel")->text();
        EXPECT_TRUE(text.contains("Mehrplatzversion (Server-Version) einrichten"));
        EXPECT_TRUE(text.contains("QUILLON_HOME"));
        EXPECT_TRUE(text.contains(QDir::toNativeSeparators(state().folders.programFolder)));
        Q_EMIT child<QLabel>(page, "PageLabel")->linkActivated("download");
        click(page, "OKBtn");
    });
    main.findChild<QAction*>("BetriebsanleitungMehrplatzversion1")->trigger();
    EXPECT_TRUE(shown);
    EXPECT_EQ(opener.opened, QStringList({TMehrplatzForm::downloadAddress()}));

    shown = false;
    whenDialogShows([&](QWidget* w) {
        shown = qobject_cast<TStatsForm*>(w) != nullptr;
        w->close();
    });
    main.findChild<QAction*>("Newsletterstatistikeinrichten1")->trigger();
    EXPECT_TRUE(shown);
}

TEST_F(WebWindowTest, WindowsFitTheScreenAndTheirControlsTakeTheMouse) {
    ASSERT_TRUE(web().setOnlinePath("https://www.example.de/nl/") &&
                web().setStatsUrl("https://www.example.de/st/") && web().setStatsPassword("a1"));
    TSuscribeForm suscribe(state());
    TStatsForm stats(state());
    TEnterpriseLinksForm links(state());
    TMehrplatzForm multi(state().folders.programFolder);
    ASSERT_TRUE(suscribe.prepare() && stats.prepare() && links.prepare());
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    for (QDialog* d : std::initializer_list<QDialog*>{&suscribe, &stats, &links, &multi}) {
        d->show();
        QApplication::processEvents();
        EXPECT_TRUE(screen.contains(d->frameGeometry())) << d->objectName().toStdString();
        for (QWidget* w : d->findChildren<QWidget*>()) {
            if (!w->isVisibleTo(d) || w->objectName().isEmpty() ||
                !(qobject_cast<QPushButton*>(w) || qobject_cast<QLineEdit*>(w) ||
                  qobject_cast<QCheckBox*>(w) || qobject_cast<QListWidget*>(w)))
                continue;
            const QPoint middle = w->mapTo(d, w->rect().center());
            QWidget* hit = d->childAt(middle);
            EXPECT_TRUE(hit == w || w->isAncestorOf(hit)) << w->objectName().toStdString();
        }
        d->hide();
    }
}
