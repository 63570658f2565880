#include "hygiene/forms/HygieneActions.h"
#include "hygiene/forms/TBouncesForm.h"

#include "send/SendRunTestSupport.h"
#include "send/SendTestSupport.h"
#include "support/FormTestSupport.h"
#include "support/Pop3TestServer.h"

#include <QCheckBox>
#include <QLabel>
#include <QTableWidget>

// The bounce window on a real mailbox: the list, "Übernehmen" with the box for deleting
// ticked, and the table and the mailbox afterwards.
class BouncesFormTest : public StandardDatabaseTest {};

TEST_F(BouncesFormTest, ListsTheBouncesMarksHardOnesAndDeletesOnlyThose) {
    Pop3TestServer server;
    ASSERT_TRUE(server.error().isEmpty()) << server.error().toStdString();
    for (const char* name : {"postfix-dsn.eml", "outlook-mailbox-full.eml", "normal.eml"}) {
        QByteArray bytes =
            readBytes(QStringLiteral(QT_TESTCASE_SOURCEDIR "/fixtures/bounces/") + name);
        server.deliver(bytes.replace("\n", "\r\n"));
    }
    AccountSettings account;
    account.smtpHost = "127.0.0.1";
    account.popHost = server.host();
    account.popPort = QString::number(server.port());
    account.popAccount = server.user();
    account.popPassword = server.password();
    writeSendRunSettings(state.folders.programFolder, account);
    appendSendRecords(table, {{"anna@example.org", "A", "Frau", false},
                              {"emil@example.org", "E", "Herr", false}});

    HygieneActions actions(state, nullptr);
    TBouncesForm* form = actions.bouncesForm();
    form->show();
    EXPECT_FALSE(child<QCheckBox>(form, "BouncesDeleteCheckBox")->isChecked());
    click(form, "BouncesFetchButton");
    auto* list = child<QTableWidget>(form, "BouncesTable");
    ASSERT_EQ(list->rowCount(), 2);
    EXPECT_EQ(list->item(0, 0)->text(), "anna@example.org");
    EXPECT_EQ(list->item(0, 1)->text(), "hart");
    EXPECT_EQ(list->item(1, 0)->text(), "emil@example.org");
    EXPECT_EQ(list->item(1, 1)->text(), "weich");
    EXPECT_TRUE(
        child<QLabel>(form, "BouncesSummaryLabel")->text().startsWith("3 E-Mails im Postfach"));

    QTest::mouseClick(child<QCheckBox>(form, "BouncesDeleteCheckBox"), Qt::LeftButton);
    {
        ScriptedMessages messages;
        messages.expectInformation(
            u("1 Datensätze wurden als ungültig (Invalid) markiert.\r1 weiche Rückläufer wurden "
              "nicht markiert.\r0 Adressen harter Rückläufer stehen nicht in der Tabelle.\r2 "
              "ausgewertete Rückläufer wurden auf dem Server gelöscht."));
        click(form, "BouncesApplyButton");
    }
    EXPECT_TRUE(bookedOf(table, 1).invalid);
    EXPECT_FALSE(bookedOf(table, 2).invalid);
    EXPECT_EQ(server.mailboxCount(), 1); // the normal mail stays
}
