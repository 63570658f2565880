// The HTML road through the program: records marked in the main window, F2, the wizard's
// HTML path with an e-mail file, the composer, "Senden", the messages arriving at a real
// SMTP server and the table's bookkeeping.

#include "ComposeFormsTestSupport.h"
#include "compose/forms/CompositionWizard.h"
#include "compose/forms/THTMLorTEXTForm.h"
#include "compose/forms/TMailerForm.h"
#include "compose/forms/TMailquestionsForm.h"
#include "compose/forms/TOpenMailForm.h"
#include "compose/forms/TOpenOrNewForm.h"
#include "send/PythonMail.h"
#include "send/SendTestSupport.h"
#include "shell/forms/AddressGridModel.h"
#include "shell/forms/TMainForm.h"
#include "support/FormTestSupport.h"
#include "support/ScriptedMessages.h"

#include <QJsonArray>
#include <QLineEdit>
#include <QRadioButton>
#include <QTableView>
#include <QTest>

TEST(HtmlSerialMailEndToEnd, AnOpenedEmailFileReachesTheMarkedRecordsMerged) {
    SmtpTestServer server;
    ASSERT_SERVER_RUNS(server);
    ComposeEnvironment env{4};
    env.writeAccount(server.port(), QStringLiteral("info@firma.de <Firma GmbH>"));
    const QString mailFile = env.programFolder() + "Newsletter.eml";
    ASSERT_TRUE(writeMailByPython(mailFile));
    ScriptedMessages messages;
    AppState state;
    ASSERT_TRUE(Startup::run(state, Messages::instance()));
    auto form = std::make_unique<TMainForm>(state);
    form->show();
    QApplication::processEvents();
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(form.get(), &activate);

    QTableView* grid = form->grid();
    const int selected = form->gridModel()->columnOfField(QStringLiteral("Selected"));
    for (int row : {0, 1, 2}) {
        const QPoint at = grid->visualRect(form->gridModel()->index(row, selected)).center();
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, at);
    }
    QTest::keyClick(form.get(), Qt::Key_F2);
    CompositionWizard* wizard = form->compositionWizard();
    click(wizard->startPage(), "WeiterBitBtn");
    child<QRadioButton>(wizard->typePage(), "HTMLRadioButton")->setChecked(true);
    click(wizard->typePage(), "WeiterBitBtn");
    child<QRadioButton>(wizard->actionPage(), "OeffnenRadioButton")->setChecked(true);
    click(wizard->actionPage(), "WeiterBitBtn");
    ASSERT_TRUE(wizard->openPage()->isVisible());
    {
        ScriptedFilePicker picker;
        picker.answer(mailFile);
        click(wizard->openPage(), "WeiterBitBtn");
    }
    TMailerForm* mailer = form->mailerForm();
    ASSERT_TRUE(mailer->isVisible());
    EXPECT_EQ(mailer->mode(), MailTemplate::Mode::Html);
    EXPECT_EQ(child<QLineEdit>(mailer, "SubjectEdit")->text(),
              u("Grüße für unsere € Kunden – $NAME"));

    click(mailer, "SendBitBtn");
    for (int waited = 0; mailer->isSending() && waited < 60000; waited += 10)
        QTest::qWait(10);
    ASSERT_FALSE(mailer->isSending());
    EXPECT_FALSE(mailer->isVisible());

    const auto got = server.received();
    ASSERT_EQ(got.size(), 3);
    const char* const names[] = {"Maier", "Schulz", "Ernst"};
    for (int i = 0; i < 3; ++i) {
        const QString path = env.programFolder() + "received.eml";
        writeBytes(path, got[i].content);
        const QJsonObject read = readMailByPython(path);
        EXPECT_TRUE(read.value("defects").toArray().isEmpty());
        const QList<QJsonObject> leaves = leavesOf(read.value("tree").toObject());
        ASSERT_EQ(leaves.size(), 5);
        EXPECT_TRUE(leaves[1].value("text").toString().contains(
            u("Hallo ") + QLatin1String(names[i]) + u(", Grüße €")));
        EXPECT_EQ(read.value("headers").toObject().value("subject").toArray(),
                  QJsonArray{u("Grüße für unsere € Kunden – ") + QLatin1String(names[i])});
    }
    AddressTable* table = form->state().session.currentTable();
    for (qint64 id = 1; id <= 4; ++id) {
        ASSERT_TRUE(table->locateId(id));
        EXPECT_FALSE(table->asBool("Selected")) << id;
        EXPECT_FALSE(table->asBool("Invalid")) << id;
        EXPECT_EQ(table->asDate("LetztesMail").isValid(), id <= 3) << id;
    }
    form.reset();
}
