#include "send/forms/TFTryconnection.h"

#include "common/IniFile.h"
#include "settings/SettingsTestSupport.h"
#include "settings/forms/TOptionsForm.h"
#include "support/FormTestSupport.h"
#include "support/ScriptedMessages.h"
#include "support/SmtpTestServer.h"
#include "support/TempProgramFolder.h"

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace {

// The options dialog as the program opens it, with its connection test window.
class ConnectionTestWindow : public ::testing::Test {
protected:
    void open(const QString& definitionName, const QString& displayName) {
        layOutSettingsFolder(state, folder.path(), definitionName, displayName);
        form = std::make_unique<TOptionsForm>(state);
        form->prepare();
        form->show();
        test = form->connectionTest();
        ASSERT_NE(test, nullptr);
    }
    void TearDown() override { form.reset(); }

    QLineEdit* optionsEdit(const char* name) const {
        for (QLineEdit* e : form->findChildren<QLineEdit*>(QLatin1String(name)))
            if (!test->isAncestorOf(e))
                return e;
        return nullptr;
    }
    void fillAccount(const SmtpTestServer& server) {
        optionsEdit("EmailEdit")->setText("absender@example.org");
        optionsEdit("NameEdit")->setText("Absender");
        optionsEdit("SMTPHostEdit")->setText(server.host());
        optionsEdit("SMTPPortEdit")->setText(QString::number(server.port()));
    }
    QLineEdit* address() const { return test->findChild<QLineEdit*>("EmailEdit"); }
    void sendTest() {
        QTest::mouseClick(test->findChild<QPushButton*>("TestMailButton"), Qt::LeftButton);
    }
    void openTestWindow() {
        QTest::mouseClick(form->findChild<QPushButton*>("TryConnetionButton"), Qt::LeftButton);
    }

    TempProgramFolder folder;
    AppState state;
    std::unique_ptr<TOptionsForm> form;
    TFTryconnection* test = nullptr;
};

} // namespace

TEST_F(ConnectionTestWindow, SendsTheTestMailWithTheDialogsValuesAfterSavingThem) {
    SmtpTestServer server;
    ASSERT_TRUE(server.error().isEmpty()) << server.error().toStdString();
    open(QStringLiteral("Database.ini"), QStringLiteral("Grundstock"));
    ScriptedMessages messages;
    test->priority = [] { return 1; };
    fillAccount(server);

    openTestWindow();
    ASSERT_TRUE(test->isVisible());
    EXPECT_EQ(test->windowTitle(), "Verbindungstest");
    EXPECT_EQ(address()->text(), "Emailadresse eingeben");

    // The address checks keep the window open.
    messages.expectInformation("Bitte geben Sie eine Emailadresse ein");
    sendTest();
    address()->setText("niemand-example-org");
    messages.expectInformation(u("Bitte geben Sie eine gültige Emailadresse ein"));
    sendTest();
    address()->setText("niemand@example");
    messages.expectInformation(u("Bitte geben Sie eine gültige Emailadresse ein"));
    sendTest();
    EXPECT_TRUE(messages.allShown());
    EXPECT_TRUE(test->isVisible());
    EXPECT_TRUE(server.received().isEmpty());

    const QString transactionLog = state.folders.programFolder + "Transaction.log";
    TextFile::writeLines(transactionLog, {"alt"});
    address()->setText("empfaenger@example.org");
    messages.expectInformation("Test-E-Mail wurde gesendet!");
    sendTest();
    EXPECT_TRUE(messages.allShown());
    EXPECT_FALSE(test->isVisible());
    EXPECT_FALSE(QFile::exists(transactionLog));

    const auto got = server.received();
    ASSERT_EQ(got.size(), 1);
    EXPECT_EQ(got[0].recipients, QStringList{"empfaenger@example.org"});
    EXPECT_EQ(got[0].mailFrom, "absender@example.org");
    EXPECT_EQ(got[0].header("Subject"), QByteArray("Quillon Test-E-Mail"));
    EXPECT_EQ(got[0].header("X-Priority"), QByteArray("1"));

    // The dialog's values were saved as the general settings first.
    const IniFile ini(state.folders.programFolder + "Quillon.ini");
    EXPECT_EQ(ini.readString("SMTP", "host", {}), server.host());
    EXPECT_EQ(ini.readString("SMTP", "port", {}), QString::number(server.port()));
    EXPECT_EQ(linesOf(state.folders.dataFolder + "AbsenderMails.ini").value(0),
              "absender@example.org <Absender>");
    EXPECT_TRUE(state.flags.firstSettingsDone);
}

TEST_F(ConnectionTestWindow, ARefusedMailIsReportedAndTheDatabasesOwnSettingsAreSaved) {
    SmtpTestServer::Options options;
    options.refuseRecipients = true;
    SmtpTestServer server(options);
    ASSERT_TRUE(server.error().isEmpty()) << server.error().toStdString();
    open(QStringLiteral("Kunden.ini"), QStringLiteral("Kunden"));
    ScriptedMessages messages;
    fillAccount(server);

    openTestWindow();
    address()->setText("empfaenger@example.org");
    // The message says why: the server's reply.
    messages.expectError("Test-E-Mail konnte nicht gesendet werden!\r\rDer Server hat die "
                         "Nachricht abgelehnt: 550 5.7.1 Recipient refused by policy");
    sendTest();
    EXPECT_TRUE(messages.allShown());
    EXPECT_FALSE(test->isVisible());
    EXPECT_TRUE(server.received().isEmpty());

    // A database other than the standard one keeps the values in its own file.
    const IniFile own(state.folders.programFolder + "Kunden.ini");
    EXPECT_EQ(own.readString("SMTP", "host", {}), server.host());
    EXPECT_NE(IniFile(state.folders.programFolder + "Quillon.ini").readString("SMTP", "host", {}),
              server.host());
}

// With the options dialog's preset server the test says that the settings are not filled
// in, instead of a bare failure; nothing is sent.
TEST_F(ConnectionTestWindow, ThePresetServerIsReportedAsSettingsNotFilledIn) {
    open(QStringLiteral("Database.ini"), QStringLiteral("Grundstock"));
    ScriptedMessages messages;
    optionsEdit("EmailEdit")->setText("absender@example.org");
    optionsEdit("SMTPHostEdit")->setText("Ihr SMTP Server");
    optionsEdit("SMTPPortEdit")->setText("25");
    openTestWindow();
    ASSERT_TRUE(test->isVisible());
    QTest::mouseClick(address(), Qt::LeftButton);
    address()->selectAll();
    QTest::keyClicks(address(), "empfaenger@example.org");
    messages.expectError(u("Test-E-Mail konnte nicht gesendet werden!\r\rDie Einstellungen sind "
                           "noch nicht ausgefüllt: Bitte tragen Sie den Postausgangsserver "
                           "(SMTP) Ihres Mailkontos ein."));
    sendTest();
    EXPECT_TRUE(messages.allShown());
    EXPECT_FALSE(test->isVisible());
}
