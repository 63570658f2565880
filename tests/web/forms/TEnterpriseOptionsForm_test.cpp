#include "web/forms/TEnterpriseOptionsForm.h"

#include "database/Catalogue.h"
#include "database/WebSettings.h"
#include "shell/AppState.h"
#include "support/FormTestSupport.h"
#include "support/ScriptedMessages.h"
#include "support/TestEnvironment.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class EnterpriseOptionsFormTest : public WindowTest<TEnterpriseOptionsForm> {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(layOutFilledStandardDatabase(folder.path(), {}, {}));
        state.setFolders(
            WorkingFolders::fromProgramFolder(folder.path(), QString(), QDir::tempPath()));
        state.session.reloadCatalogue();
        SilentMessages silent;
        ASSERT_TRUE(OpenDatabase(state.session, "Database.ini", silent));
        form = std::make_unique<TEnterpriseOptionsForm>(state);
        form->loadSettings();
        form->buildFieldRows();
        form->show();
    }
    void TearDown() override {
        form.reset();
        CloseDatabase(state.session);
    }
    void retype(const char* name, const QString& text) {
        QLineEdit* e = child<QLineEdit>(name);
        e->selectAll();
        QTest::keyClick(e, Qt::Key_Backspace);
        QTest::keyClicks(e, text);
    }
    QStringList lines(const QString& path) const {
        QStringList result = QString::fromLatin1(readBytes(path)).split("\r\n");
        EXPECT_EQ(result.takeLast(), QString()) << path.toStdString(); // ends with CR LF
        return result;
    }

    TempProgramFolder folder;
    AppState state;
    RecordingOpener opener;
};

} // namespace

TEST_F(EnterpriseOptionsFormTest, SaveChecksServerPathAndPasswordInTheirOrder) {
    ScriptedMessages messages;
    messages.expectError(u("Keinen Serverpfad für die Online-Datenbank eingegeben!"));
    click("FormularErzeugenBitBtn1");
    retype("OnlineDBEdit", "www.beispiel.de/newsletter/");
    messages.expectError(
        u("Sie haben kein Passwort für die Newslettersynchronisation eingegeben!"));
    click("FormularErzeugenBitBtn1");
    // Only letters and digits can be typed.
    messages.expectInformation("Bitte geben Sie nur Buchstaben und Zahlen ein!");
    retype("PasswordEdit", "geheim#42");
    EXPECT_EQ(child<QLineEdit>("PasswordEdit")->text(), "geheim42");
    messages.expectError(u("Sie haben die  Zeichen \"http://\" vor dem Serverpfad vergessen!"));
    click("FormularErzeugenBitBtn1");
    retype("OnlineDBEdit", "http://www.beispiel.de/");
    messages.expectError(
        u("Ungültigen Serverpfad eingegenben!\rBitte geben Sie den Serverpfad folgendermaßen "
          "ein:\r\"http://www.ihre-seite.de/newsletter/\""));
    click("FormularErzeugenBitBtn1");
    retype("OnlineDBEdit", "HTTPS://www.beispiel.de/NL");
    messages.expectError(u("Das Zeichen \"/\" am Ende der Zeichenkette wurde vergessen. Bitte "
                           "fügen Sie ein \"/\" an"));
    click("FormularErzeugenBitBtn1");
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(QFileInfo::exists(folder.file("online")));
    // Fits a 1024x768 screen with its frame.
    EXPECT_LE(form->minimumSizeHint().width(), 1000);
    EXPECT_LE(form->minimumSizeHint().height(), 720);
}

TEST_F(EnterpriseOptionsFormTest, SaveWritesTheKitAndTheWebSettings) {
    retype("OnlineDBEdit", "https://www.beispiel.de/kunden/newsletter/");
    retype("PasswordEdit", "geheim42");
    QTest::mouseClick(child<QCheckBox>("Check_Name"), Qt::LeftButton);
    QTest::mouseClick(child<QCheckBox>("Check_Anrede"), Qt::LeftButton);
    EXPECT_FALSE(child<QCheckBox>("Check_Mail")->isEnabled());
    ScriptedMessages messages;
    messages.expectQuestion(
        u("Bestellformular, Abbestellformular und Einbauanleitung wurden erstellt! Möchten "
          "Sie die Voransicht nun starten?"),
        false);
    click("FormularErzeugenBitBtn1");
    EXPECT_FALSE(form->isVisible());

    const QString kit = folder.file("online/newsletter/");
    const char* kitFiles[] = {"subscribe.html",       "unsubscribe.html",  "index.html",
                              "mailin_pw.php",        "email_list_in.php", "email_list_out.php",
                              "hashes.csv",           "layout.css",        "mailin.php",
                              "captcha.php",          "captcha.png",       "XFILES.TTF",
                              "version.php",          "wipe_files.php",    "submit-seite.php",
                              "subscribemessage.txt", "email_subject.txt", "email_text.txt"};
    for (const char* name : kitFiles)
        EXPECT_TRUE(QFileInfo::exists(kit + name)) << name;
    for (const char* name : {"quelltext-version.html", "einbau.html", "extra-einbau.html",
                             "integriert-einbau.html", "extra.html"})
        EXPECT_TRUE(QFileInfo::exists(folder.file(name))) << name;
    EXPECT_EQ(readBytes(kit + "mailin.php"), readBytes(folder.file("mailin.php")));

    const QStringList subscribe = lines(kit + "subscribe.html");
    EXPECT_EQ(subscribe.value(0),
              "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">");
    EXPECT_EQ(subscribe.value(3), " ");
    EXPECT_EQ(subscribe.value(6), "&nbsp;<span class=\"headline\">Newsletter</span><br><br>");
    EXPECT_EQ(subscribe.value(7),
              "<form name=\"subscribe\" method=\"get\" "
              "action=\"https://www.beispiel.de/kunden/newsletter/mailin.php\">");
    EXPECT_EQ(subscribe.mid(8, 4),
              QStringList({"<input type=\"hidden\" name=\"send\" value=\"ok\">",
                           "<input type=\"hidden\" name=\"action\" value=\"sign\" checked>",
                           "<input type=\"hidden\" name=\"double\" value=\"off\">",
                           "<input type=\"hidden\" name=\"cap\" value=\"0\">"}));
    EXPECT_EQ(subscribe.mid(13, 12),
              QStringList({"<tr>", "<td class=\"label\">E-Mail</td>",
                           "<td><input type=\"text\" name=\"Mail\" size=30></td>", "</tr>", "<tr>",
                           "<td class=\"label\">Anrede</td>", "<td>",
                           "<select name=\"Anrede\" size=\"1\">", "<option>Herr</option>",
                           "<option>Frau</option>", "<option>Firma</option>", "</select> </td>"}));
    EXPECT_EQ(subscribe.value(26), "<tr>");
    EXPECT_EQ(subscribe.value(27), "<td class=\"label\">Name</td>");
    EXPECT_EQ(subscribe.last(), "</body></html>");

    const QStringList css = lines(kit + "layout.css");
    ASSERT_EQ(css.size(), 12);
    EXPECT_EQ(css[3], "INPUT\t{font-family: Verdana, Arial, Helvetica, sans-serif; color:#000000; "
                      "font-size: 10px; "
                      "font-weight: bold; border-style: groove}");
    EXPECT_EQ(
        css[10],
        ".headline \t{FONT-FAMILY: Verdana, Arial, Helvetica, sans-serif; FONT-SIZE: 16px; Color: "
        "#000000; font : bold; }");
    EXPECT_EQ(css[6], ".rahmen \t{background-color: #004080;}");

    const QStringList snippet = lines(folder.file("quelltext-version.html"));
    EXPECT_EQ(
        snippet.value(4),
        "<table width=\"100%\" border=\"0\"><tr><td><font face=\"Verdana, Arial, Helvetica, "
        "sans-serif\" size=\"1\" color=\"#000000\"><b>Newsletter</b></font></td></tr></table>");
    EXPECT_EQ(snippet.last(), "<!-- Ende Quillon Quelltext -->");
    const QStringList cancel = lines(kit + "unsubscribe.html");
    EXPECT_EQ(cancel.value(0),
              "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\"><html>");
    EXPECT_FALSE(cancel.join('\n').contains("name=\"double\""));

    EXPECT_EQ(readBytes(kit + "mailin_pw.php"), "<?php $my_pass = \"geheim42\"; ?>\r\n\r\r\n");
    EXPECT_EQ(readBytes(kit + "hashes.csv"), "\r\r\n");
    EXPECT_EQ(readBytes(kit + "version.php"), "<?php $quillon_version = \"0.1.0\"; ?>\r\n");
    const QStringList guard = lines(kit + "email_list_in.php");
    EXPECT_EQ(
        guard.mid(0, 4),
        QStringList({"<?php", "error_reporting(E_ERROR | E_PARSE);", "include(\"mailin_pw.php\");",
                     "if(isset($_GET[\"password\"])){$act_pass = $_GET[\"password\"];} else { "
                     "$act_pass = \"\"; }"}));
    EXPECT_TRUE(guard.value(4).contains(
        "hash_equals((string)$my_pass, $act_pass)) { echo \"Access denied\"; Exit; }"));
    EXPECT_EQ(guard.mid(guard.size() - 2), QStringList({"?>", "\r"}));
    EXPECT_EQ(readBytes(kit + "email_list_out.php"), readBytes(kit + "email_list_in.php"));
    // Windows-1252: the umlauts of the default texts are single bytes.
    EXPECT_EQ(readBytes(kit + "email_text.txt"),
              "Sie haben den Newsletter von XXXX bestellt. Um die Bestellung zu best\xe4tigen, "
              "klicken Sie bitte "
              "auf diesen Link\r\n");
    EXPECT_TRUE(
        readBytes(kit + "subscribemessage.txt").startsWith("Vielen Dank f\xfcr Ihr Interesse."));
    EXPECT_EQ(readBytes(kit + "email_subject.txt"), "Newsletter Bestellung\r\n");

    const WebSettings web(state.folders.dataFolder, "Database.ini");
    EXPECT_EQ(web.onlinePath(), "https://www.beispiel.de/kunden/newsletter/");
    EXPECT_EQ(web.onlinePassword(), "geheim42");
    EXPECT_FALSE(web.doubleOptIn());
    EXPECT_TRUE(state.session.webFetchEnabled());
    EXPECT_TRUE(state.session.webLinksEnabled());
    // One choice line per offered field; Name and Anrede were switched on.
    const QStringList choices = lines(folder.file("enterprise_fields.ini"));
    ASSERT_EQ(choices.size(), state.session.definition().targetFields().size());
    EXPECT_EQ(choices.mid(0, 4), QStringList({"1", "1", "0", "1"}));
}
