#include "settings/forms/TOptionsForm.h"

#include "common/IniFile.h"
#include "database/WebSettings.h"
#include "platform/DocumentOpener.h"
#include "settings/SenderList.h"
#include "settings/SettingsTestSupport.h"
#include "support/FormTestSupport.h"
#include "support/ScriptedMessages.h"
#include "support/TempProgramFolder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class OptionsFormTest : public WindowTest<TOptionsForm> {
protected:
    void SetUp() override {
        layOutSettingsFolder(state, folder.path());
        form = std::make_unique<TOptionsForm>(state);
    }
    QLineEdit* edit(const char* name) const { return child<QLineEdit>(name); }
    void retype(const char* name, const QString& text) {
        QLineEdit* e = edit(name);
        e->selectAll();
        if (text.isEmpty())
            QTest::keyClick(e, Qt::Key_Backspace);
        else
            QTest::keyClicks(e, text);
    }
    // Opens the dialog the way the program does, without blocking.
    void open() {
        form->prepare();
        form->show();
    }
    void enterSender(const QString& address, const QString& name) {
        edit("EmailEdit")->setText(address);
        edit("NameEdit")->setText(name);
    }
    QString program(const QString& name) const { return state.folders.programFolder + name; }
    QString data(const QString& name) const { return state.folders.dataFolder + name; }

    TempProgramFolder folder;
    AppState state;
    RecordingOpener opener;
};

} // namespace

TEST_F(OptionsFormTest, ShowsEveryControlWithItsTexts) {
    open();
    EXPECT_EQ(form->windowTitle(), "Optionen");
    QStringList texts;
    for (auto* l : form->findChildren<QLabel*>())
        texts << l->text();
    for (auto* b : form->findChildren<QAbstractButton*>())
        texts << b->text();
    for (auto* g : form->findChildren<QGroupBox*>())
        texts << g->title();
    for (const char* t : {"Absender",
                          "Postausgang",
                          "Identifikation",
                          "Delay",
                          "Zeichensatz",
                          "Proxy-Einstellungen",
                          "Einstellungsgültigkeit",
                          "Posteingang",
                          "Ihre Absender-E-Mail-Adresse",
                          "Ihr Absender-Name",
                          "Postaussgangsserver (SMTP)",
                          "(oder die IP-Adresse Ihres Mailservers)",
                          "Port",
                          "Wartepause in Sekunden zwischen den E-Mails",
                          "Posteingangsserver (POP)",
                          "Kontoname:",
                          "Kennwort:",
                          "Username",
                          "Passwort",
                          "IP Adresse",
                          "User Name",
                          "Quillon meldet als folgender Client am SMTP Server an:",
                          "Diese Einstellungen für folgende Datenbank:",
                          "Hilfe zu:",
                          "POP vor SMTP",
                          "Server Authentifikation",
                          "SSL",
                          "Proxyserver verwenden",
                          "Dies ist z.B. beim Provider ALICE erforderlich.",
                          "GMX (United Internet)",
                          "WEB.de (United Internet)",
                          "T-Online",
                          "1und1",
                          "Strato",
                          "Microsoft Exchange",
                          "Verbindung testen",
                          "Hilfe",
                          "OK",
                          "Abbrechen"})
        EXPECT_TRUE(texts.contains(u(t))) << t;
    EXPECT_EQ(child<QComboBox>("ComboBox1")->itemText(0), u("Westeuropäisch (ISO) (Standard)"));
    EXPECT_EQ(child<QComboBox>("ComboBox1")->count(), 4);
    EXPECT_EQ(child<QComboBox>("EmuComboBox")->itemText(5), "Outlook 2010");
    EXPECT_TRUE(child<QCheckBox>("SSLActiveCheckBox")
                    ->toolTip()
                    .startsWith(u("Aktivieren Sie diesen Schalter wenn Ihr SMTP-Server eine "
                                  "verschlüsselte Verbindung "
                                  "(SSL) benötigt! \nBitte beachten")));
    EXPECT_EQ(edit("Edit8")->toolTip(), "ip address of the proxy server");
    EXPECT_EQ(edit("Edit9")->toolTip(), "port of the proxy server");
    EXPECT_EQ(edit("MaskEdit1")->toolTip(), "password to use for authenticate on the proxy server");
    for (const char* pw : {"SMTPPasswordEdit", "POPPasswordEdit", "MaskEdit1"})
        EXPECT_EQ(edit(pw)->echoMode(), QLineEdit::Password) << pw;
    // The connection test and the account import from Thunderbird are offered; the
    // Outlook account import needs Outlook.
    EXPECT_TRUE(child<QPushButton>("TryConnetionButton")->isEnabled());
    EXPECT_TRUE(child<QPushButton>("ImportAccountBitBtn")->isVisible());
    EXPECT_TRUE(child<QPushButton>("ImportAccountBitBtn")->isEnabled());
    EXPECT_EQ(child<QPushButton>("ImportAccountBitBtn")->text(), "Thunderbird");
    EXPECT_FALSE(child<QPushButton>("OutlookImport")->isEnabled());
    // Standard database: no "Einstellungsgültigkeit" group.
    EXPECT_FALSE(child<QLabel>("DBSettings")->isVisible());
}

TEST_F(OptionsFormTest, PortDelayAndPanelRules) {
    open();
    // Field, what is typed, what the field then shows; in this order.
    const char* const typing[][3] = {
        {"SMTPPortEdit", "58x", "25"}, {"POPPortEdit", "", "110"}, {"DelayEdit", "-", "0"},
        {"DelayEdit", "12", "12"},     {"Edit9", "", ""},          {"Edit9", "31a", "3128"},
        {"Edit9", "8080", "8080"}};
    for (const auto& [field, typed, shown] : typing) {
        retype(field, typed);
        EXPECT_EQ(edit(field)->text(), shown) << field << " after " << typed;
    }
    EXPECT_EQ(form->currentValues().account.delaySeconds, 12);

    // Shipped file: POP-before-SMTP and authentication off, so both panels are hidden.
    QWidget* panel1 = child<QWidget>("Panel1");
    QWidget* panel2 = child<QWidget>("Panel2");
    EXPECT_FALSE(panel1->isVisible());
    EXPECT_FALSE(panel2->isVisible());
    child<QCheckBox>("POPvorSMTPCheckBox")->click();
    EXPECT_TRUE(panel1->isVisible());
    child<QCheckBox>("AuthentificationCheckBox")->click();
    EXPECT_TRUE(panel2->isVisible());
    child<QCheckBox>("POPvorSMTPCheckBox")->click();
    EXPECT_FALSE(panel1->isVisible());
}

TEST_F(OptionsFormTest, OkChecksKeepTheDialogOpenAndStandardSaveAsksNothing) {
    TextFile::writeLines(
        data("AbsenderMails.ini"),
        {"alt@example.de <Alt>", "zwei@example.de <Zwei>", "drei@example.de <Drei>"});
    open();
    EXPECT_EQ(edit("EmailEdit")->text(), "alt@example.de");
    EXPECT_EQ(edit("NameEdit")->text(), "Alt");
    {
        ScriptedMessages messages;
        messages.expectInformation(u("Bitte geben Sie Ihre Absender-E-Mail-Adresse ein!"));
        enterSender(" ", "Anna");
        click("UebernehmenButton");
    }
    {
        ScriptedMessages messages;
        messages.expectError(
            u("webmaster@..., postmaster@..., mailmaster@... E-Mail-Adressen in Verbindung mit "
              "Quillon werden von vielen Mail-Providern blockiert. Bitte verwenden Sie eine "
              "andere E-Mail-Adresse!"));
        enterSender("info.webmaster@example.de", "Anna");
        click("UebernehmenButton");
    }
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(edit("EmailEdit")->text(), "info.webmaster@example.de"); // entries unchanged
    EXPECT_FALSE(state.flags.firstSettingsDone);

    ScriptedMessages none; // the standard database never asks for the level
    enterSender("anna@example.de", "Anna Schmidt");
    edit("SMTPHostEdit")->setText("smtp.example.de");
    child<QCheckBox>("SSLActiveCheckBox")->click();
    child<QComboBox>("ComboBox1")->setCurrentIndex(3);
    click("UebernehmenButton");
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->result(), QDialog::Accepted);
    EXPECT_TRUE(state.flags.firstSettingsDone);
    const IniFile ini(program("Quillon.ini"));
    EXPECT_EQ(ini.readString("SMTP", "host"), "smtp.example.de");
    EXPECT_EQ(ini.readString("SSL", "active"), "1");
    EXPECT_EQ(ini.readString("CodeSet", "Index"), "3");
    EXPECT_EQ(ini.readString("FIRSTSETTINGS", "FirstSettingsDone"), "Done");
    EXPECT_EQ(linesOf(data("AbsenderMails.ini")),
              QStringList({"anna@example.de <Anna Schmidt>", "zwei@example.de <Zwei>",
                           "drei@example.de <Drei>"}));
    // The composer offers the list in force, the new default sender first.
    QStringList offered;
    ASSERT_TRUE(SenderList::read(SenderList::activePath(state.folders.programFolder,
                                                        state.folders.dataFolder,
                                                        state.session.definitionName()),
                                 &offered, nullptr));
    EXPECT_EQ(offered.first(), "anna@example.de <Anna Schmidt>");
}

TEST_F(OptionsFormTest, DatabaseLevelQuestionAndReset) {
    selectDatabase(state, "Kunden.ini", "Kunden");
    open();
    EXPECT_TRUE(child<QLabel>("DBSettings")->isVisible());
    EXPECT_EQ(child<QLabel>("DBSettings")->text(), "Kunden");
    QPushButton* reset = child<QPushButton>("DBSettingsButton");
    EXPECT_FALSE(reset->isEnabled());
    EXPECT_EQ(reset->toolTip(), u("Diese Datenbank besitzt keine eigenen Einstellungen und "
                                  "verwendet die Standardeinstellungen!"));
    // An empty sender list leaves the fields as they were.
    enterSender("kunden@example.de", "Kundenservice");
    edit("SMTPHostEdit")->setText("smtp.kunden.de");
    {
        ScriptedMessages messages;
        messages.expectQuestion3(u("Möchten Sie diese Einstellungen nur für\rdie Datenbank Kunden "
                                   "benutzen [JA]\roder als Allgemeine Einstellungen [Nein] "
                                   "benutzen?"),
                                 Messages::Answer::Yes);
        click("UebernehmenButton");
    }
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(QFileInfo::exists(program("Kunden.ini")));
    EXPECT_EQ(linesOf(data("Absender-Kunden.ini")),
              QStringList({"kunden@example.de <Kundenservice>"}));
    EXPECT_EQ(IniFile(program("Quillon.ini")).readString("SMTP", "host"), "Ihr SMTP Server");

    // Reopened: the database's own values, and the reset button is offered.
    edit("SMTPHostEdit")->setText("typed but not saved");
    open();
    EXPECT_EQ(edit("SMTPHostEdit")->text(), "smtp.kunden.de");
    EXPECT_TRUE(reset->isEnabled());
    EXPECT_EQ(
        reset->toolTip(),
        u("Einstellungen für diese Datenbank löschen und allgemeine Einstellungen verwenden"));
    {
        ScriptedMessages messages;
        messages.expectDestructiveQuestion(
            u("Möchten Sie wirklich die Einstellungen für Datenbank Kunden "
              "löschen und die allgemeinen Einstellungen verwenden?"),
            false);
        click("DBSettingsButton");
        EXPECT_TRUE(form->isVisible());
        messages.expectDestructiveQuestion(
            u("Möchten Sie wirklich die Einstellungen für Datenbank Kunden "
              "löschen und die allgemeinen Einstellungen verwenden?"),
            true);
        click("DBSettingsButton");
    }
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(QFileInfo::exists(program("Kunden.ini")));
    EXPECT_FALSE(QFileInfo::exists(data("Absender-Kunden.ini")));
    open();
    EXPECT_EQ(edit("SMTPHostEdit")->text(), "Ihr SMTP Server");
    EXPECT_FALSE(reset->isEnabled());
}

TEST_F(OptionsFormTest, HelpProviderPagesAndExchange) {
    open();
    for (const char* page : {"help.html", "gmx.html"})
        TextFile::writeLines(state.folders.helpFolder + QLatin1String(page), {"<html></html>"});
    click("GMXBitBtn");
    click("HilfeBitBtn");
    {
        ScriptedMessages messages;
        messages.expectError(u("Die Hilfeseite ") + state.folders.helpFolder +
                             u("strato.html wurde nicht gefunden!"));
        click("StratoBitBtn");
    }
    EXPECT_EQ(
        opener.opened,
        QStringList({QUrl::fromLocalFile(state.folders.helpFolder + "gmx.html").toString(),
                     QUrl::fromLocalFile(state.folders.helpFolder + "help.html").toString()}));
    opener.opened.clear();
    const QString exchange =
        u("Um Quillon an einem Exchange-Server (5.5/2000/2003/2008) zu betreiben, müssen Sie die "
          "Funktionalität \"SMTP-Connector\" im Exchange-Server aktivieren. Eine Anleitung hierzu "
          "finden Sie im Quillon FAQ Bereich!\r\rMöchten Sie den FAQ-Bereich jetzt besuchen?");
    {
        ScriptedMessages messages;
        messages.expectQuestion(exchange, false).expectQuestion(exchange, true);
        click("FreenetBitBtn");
        EXPECT_TRUE(opener.opened.isEmpty());
        click("FreenetBitBtn");
    }
    ASSERT_EQ(opener.opened.size(), 1);
    EXPECT_TRUE(opener.opened.first().endsWith("#exchange"));
    // Every provider page is shipped.
    Q_INIT_RESOURCE(settings);
    for (const char* page :
         {"gmx.html", "web.html", "t-online.html", "puretec.html", "strato.html"})
        EXPECT_TRUE(QFileInfo::exists(QStringLiteral(":/shipped/Help/") + QLatin1String(page)))
            << page;
}

TEST_F(OptionsFormTest, SendLimitsAreTypedCheckedAndSavedWithTheAccount) {
    TextFile::writeLines(data("AbsenderMails.ini"), {"anna@example.de <Anna>"});
    open();
    EXPECT_EQ(child<QGroupBox>("SendLimitsGroup")->title(), "Versandlimits");
    for (const char* name : {"LimitMinuteEdit", "LimitHourEdit", "LimitDayEdit"})
        EXPECT_TRUE(edit(name)->text().isEmpty()) << name; // no limit until one is typed
    {
        ScriptedMessages messages;
        messages.expectInformation(
            u("Versandlimit pro Tag: \"0\" ist keine ganze Zahl größer als 0. Lassen Sie das "
              "Feld leer, wenn es kein Limit geben soll."));
        retype("LimitDayEdit", "0");
        click("UebernehmenButton");
    }
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(IniFile(program("Quillon.ini")).sectionExists("Versandlimits"));

    ScriptedMessages none;
    retype("LimitMinuteEdit", "30");
    retype("LimitDayEdit", "2000");
    child<QCheckBox>("AutoResumeCheckBox")->click();
    click("UebernehmenButton");
    EXPECT_FALSE(form->isVisible());
    const IniFile ini(program("Quillon.ini"));
    EXPECT_EQ(ini.readString("Versandlimits", "ProMinute"), "30");
    EXPECT_EQ(ini.readString("Versandlimits", "ProStunde"), "");
    EXPECT_EQ(ini.readString("Versandlimits", "ProTag"), "2000");
    EXPECT_EQ(ini.readString("Versandlimits", "AutomatischFortsetzen"), "True");
    open();
    EXPECT_EQ(edit("LimitDayEdit")->text(), "2000");
}

// The one-click unsubscribe switch of the open database: only with a web kit, on by
// default, clicked where it is drawn, saved by OK into the web settings, not by
// "Abbrechen".
TEST_F(OptionsFormTest, UnsubscribeSwitchFollowsTheWebKitAndIsSavedPerDatabase) {
    TextFile::writeLines(data("AbsenderMails.ini"), {"anna@example.de <Anna>"});
    open();
    auto* box = child<QCheckBox>("ListUnsubscribeCheckBox");
    EXPECT_EQ(box->text(), "Abmelde-Link (List-Unsubscribe) in jede E-Mail setzen");
    EXPECT_FALSE(box->isEnabled()); // no web kit yet
    EXPECT_FALSE(box->isChecked());
    form->hide();

    WebSettings web(state.folders.dataFolder, state.session.definitionName());
    ASSERT_TRUE(web.setOnlinePath("http://www.firma.de/newsletter/"));
    ASSERT_TRUE(web.setOnlinePassword("geheim42"));
    open();
    ASSERT_TRUE(box->isEnabled());
    EXPECT_TRUE(box->isChecked());
    const QPoint middle = box->mapTo(form.get(), box->rect().center());
    EXPECT_EQ(form->childAt(middle), box);
    QTest::mouseClick(box, Qt::LeftButton, {}, box->rect().center());
    EXPECT_FALSE(box->isChecked());
    click("AbbrechenButton");
    EXPECT_TRUE(web.listUnsubscribe());

    ScriptedMessages none;
    open();
    EXPECT_TRUE(box->isChecked());
    QTest::mouseClick(box, Qt::LeftButton, {}, box->rect().center());
    click("UebernehmenButton");
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(IniFile(web.path()).readString("SETTINGS", "ListUnsubscribe"), "0");
    EXPECT_FALSE(web.listUnsubscribe());
    open();
    EXPECT_FALSE(box->isChecked());
}
