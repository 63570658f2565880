// The main road through the program: mark records in the main window, F2, the wizard,
// the composer, "Senden", and the messages arriving at a real SMTP server.

#include "ComposeFormsTestSupport.h"
#include "common/IniFile.h"
#include "common/Messages.h"
#include "compose/forms/CompositionWizard.h"
#include "compose/forms/THTMLorTEXTForm.h"
#include "compose/forms/TMailerForm.h"
#include "compose/forms/TMailquestionsForm.h"
#include "compose/forms/TOpenOrNewForm.h"
#include "compose/forms/TPreviewForm.h"
#include "send/SendLimits.h"
#include "send/SendTestSupport.h"
#include "send/forms/TLogForm.h"
#include "settings/AccountSettings.h"
#include "shell/AppState.h"
#include "shell/Startup.h"
#include "shell/forms/AddressGridModel.h"
#include "shell/forms/TMainForm.h"
#include "support/FormTestSupport.h"
#include "support/ScriptedMessages.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <memory>

namespace {

// Four records in the standard database, the account pointing at the test server, the
// main window shown with the first three records marked by double clicks, and the
// wizard taken to a new text mail in the composer.
class SerialMailEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_SERVER_RUNS(server);
        env.writeAccount(server.port(), QStringLiteral("info@firma.de <Firma GmbH>"));
        ASSERT_TRUE(Startup::run(state, Messages::instance()));
        form = std::make_unique<TMainForm>(state);
        form->show();
        QApplication::processEvents();
        // Each activation of the main window re-reads whether the account was set up.
        QEvent activate(QEvent::WindowActivate);
        QApplication::sendEvent(form.get(), &activate);
        ASSERT_TRUE(form->state().flags.firstSettingsDone);

        QTableView* grid = form->grid();
        const int selected = form->gridModel()->columnOfField(QStringLiteral("Selected"));
        for (int row : {0, 1, 2}) {
            const QPoint at = grid->visualRect(form->gridModel()->index(row, selected)).center();
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, at);
        }

        // F2 and the wizard: text mail, new mail.
        QTest::keyClick(form.get(), Qt::Key_F2);
        CompositionWizard* wizard = form->compositionWizard();
        ASSERT_TRUE(wizard->startPage()->isVisible());
        EXPECT_EQ(form->compositionWizard()->markedCount(), 3);
        click(wizard->startPage(), "WeiterBitBtn");
        child<QRadioButton>(wizard->typePage(), "TextRadioButton")->setChecked(true);
        click(wizard->typePage(), "WeiterBitBtn");
        child<QRadioButton>(wizard->actionPage(), "NeueRadioButton")->setChecked(true);
        click(wizard->actionPage(), "WeiterBitBtn");
        mailer = form->mailerForm();
        ASSERT_TRUE(mailer->isVisible());
    }
    void TearDown() override { form.reset(); }

    // Subject and body typed, $NAME inserted from the list after "Hallo".
    void writeMail() {
        QTest::keyClicks(child<QLineEdit>(mailer, "SubjectEdit"), "Angebot an $NAME");
        auto* body = child<QPlainTextEdit>(mailer, "MessageMemo");
        QTest::keyClicks(body, "Hallo");
        auto* list = child<QListWidget>(mailer, "VariablesListBox");
        for (int i = 0; i < list->count(); ++i)
            if (list->item(i)->text().section(QChar(' '), 0, 0) == QStringLiteral("$NAME"))
                list->setCurrentRow(i);
        QTest::mouseClick(child<QWidget>(mailer, "VariableSpeedButton"), Qt::LeftButton);
        QTest::keyClick(body, Qt::Key_End);
        QTest::keyClick(body, Qt::Key_Return);
        QTest::keyClicks(body, "bis bald");
        ASSERT_EQ(body->toPlainText(), "Hallo $NAME \nbis bald");
    }

    // "Senden", then the event loop turns until the run has ended.
    void sendAndWait() {
        click(mailer, "SendBitBtn");
        for (int waited = 0; mailer->isSending() && waited < 60000; waited += 10)
            QTest::qWait(10);
        ASSERT_FALSE(mailer->isSending());
    }

    struct Booked {
        bool selected;
        bool invalid;
        QDate lastMail;
    };
    Booked booked(qint64 id) const {
        AddressTable* table = form->state().session.currentTable();
        EXPECT_TRUE(table->locateId(id));
        return {table->asBool("Selected"), table->asBool("Invalid"), table->asDate("LetztesMail")};
    }

    SmtpTestServer server;
    ComposeEnvironment env{4};
    ScriptedMessages messages;
    AppState state; // started as main() starts it
    std::unique_ptr<TMainForm> form;
    TMailerForm* mailer = nullptr;
};

} // namespace

TEST_F(SerialMailEndToEnd, ThreeMarkedRecordsReachTheServerMergedAndAreBookedSent) {
    // Without a subject nothing is sent and the composer stays open.
    messages.expectInformation("Kein Betreff eingegeben! - E-Mail wird nicht versendet!");
    click(mailer, "SendBitBtn");
    EXPECT_TRUE(messages.allShown());
    EXPECT_TRUE(mailer->isVisible());
    EXPECT_TRUE(child<QWidget>(mailer, "SelectVariablesPanel")->isVisible());
    EXPECT_TRUE(server.received().isEmpty());
    // Nor was a file of the run written.
    const WorkingFolders& folders = form->state().folders;
    EXPECT_FALSE(QFile::exists(folders.lettersFolder + "_Zuletzt versande Email.mail"));
    EXPECT_FALSE(QFile::exists(folders.systemTempFolder + "temp.mail"));

    writeMail();
    sendAndWait();

    // Three merged messages, one per marked record, in table order.
    const auto got = server.received();
    ASSERT_EQ(got.size(), 3);
    const char* const names[] = {"Maier", "Schulz", "Ernst"};
    const char* const addresses[] = {"anna@example.de", "bernd@example.de", "carla@example.de"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(got[i].recipients, QStringList{QLatin1String(addresses[i])});
        EXPECT_EQ(got[i].mailFrom, "info@firma.de");
        EXPECT_EQ(got[i].header("Subject"), QByteArray("Angebot an ") + names[i]);
        EXPECT_TRUE(decodeQuotedPrintable(got[i].body())
                        .contains(QByteArray("Hallo ") + names[i] + " \r\nbis bald"))
            << got[i].body().toStdString();
    }

    // The run closed the composer and the table shows the bookkeeping.
    EXPECT_FALSE(mailer->isVisible());
    EXPECT_EQ(child<QListWidget>(mailer, "ListBox1")->count(), 3);
    EXPECT_EQ(child<QLabel>(mailer, "TotalLabel")->text(), "3 von 3");
    AddressTable* table = form->state().session.currentTable();
    EXPECT_FALSE(table->filtered());
    ASSERT_EQ(table->recordCount(), 4);
    for (qint64 id = 1; id <= 3; ++id) {
        const Booked b = booked(id);
        EXPECT_FALSE(b.selected) << id;
        EXPECT_FALSE(b.invalid) << id;
        EXPECT_EQ(b.lastMail, QDate::currentDate()) << id;
    }
    const Booked untouched = booked(4);
    EXPECT_FALSE(untouched.selected);
    EXPECT_FALSE(untouched.lastMail.isValid());

    // The log window lists the three addresses.
    QStringList logged;
    QTimer::singleShot(0, [&] {
        TLogForm* log = form->logForm();
        logged = log->lines();
        log->reject();
    });
    child<QAction>(form.get(), "LogDateimitzuletztversendetenEmails1")->trigger();
    EXPECT_EQ(logged, QStringList({"anna@example.de", "bernd@example.de", "carla@example.de"}));
}

// "Abbrechen" while the run goes on: the window closes, the record being processed and
// those after it stay marked, and sending again delivers exactly those.
TEST_F(SerialMailEndToEnd, AbbrechenStopsTheRunAndSendingAgainResumes) {
    writeMail();
    auto* sentList = child<QListWidget>(mailer, "ListBox1");
    // As soon as the first address is listed as sent, the user tries to close the main
    // window (the run holds its table), then clicks "Abbrechen".
    // The preview works during the run, on the records still marked, with the mail's
    // placeholders (not the merged text the composer shows meanwhile).
    bool mainWindowClosed = true;
    bool previewDuringRun = false;
    QString previewCaption, previewBody;
    QMetaObject::Connection once =
        QObject::connect(sentList->model(), &QAbstractItemModel::rowsInserted, mailer, [&] {
            QObject::disconnect(once);
            mainWindowClosed = form->close();
            previewDuringRun = child<QPushButton>(mailer, "PreviewBitBtn")->isEnabled();
            click(mailer, "PreviewBitBtn");
            QWidget* preview = mailer->previewForm();
            previewCaption = child<QLabel>(preview, "PreviewLabel")->text();
            previewBody = child<QPlainTextEdit>(preview, "PreviewMemo")->toPlainText();
            click(preview, "CloseButton");
            click(mailer, "AbortBitBtn");
        });
    click(mailer, "SendBitBtn");
    // "Senden" returns at once; the run ends in the event loop.
    for (int waited = 0; mailer->isSending() && waited < 60000; waited += 10)
        QTest::qWait(10);
    EXPECT_FALSE(mainWindowClosed);
    EXPECT_TRUE(previewDuringRun);
    EXPECT_EQ(previewCaption, "Vorschau Datensatz Nr: 2");
    EXPECT_EQ(previewBody, "Hallo Schulz \nbis bald");
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(mailer->isVisible());
    ASSERT_EQ(server.received().size(), 1);
    EXPECT_FALSE(booked(1).selected);
    EXPECT_TRUE(booked(2).selected);
    EXPECT_TRUE(booked(3).selected);
    EXPECT_FALSE(booked(2).invalid);

    // Again: "Serien-E-Mail senden" counts two marked records.
    click(form.get(), "MailBitBtn");
    EXPECT_EQ(form->compositionWizard()->markedCount(), 2);
    CompositionWizard* wizard = form->compositionWizard();
    ASSERT_TRUE(wizard->startPage()->isVisible());
    click(wizard->startPage(), "WeiterBitBtn");
    click(wizard->typePage(), "WeiterBitBtn");
    click(wizard->actionPage(), "WeiterBitBtn");
    ASSERT_TRUE(mailer->isVisible());
    writeMail();
    sendAndWait();
    const auto got = server.received();
    ASSERT_EQ(got.size(), 3);
    EXPECT_EQ(got[1].recipients, QStringList{"bernd@example.de"});
    EXPECT_EQ(got[2].recipients, QStringList{"carla@example.de"});
    for (qint64 id = 1; id <= 3; ++id)
        EXPECT_FALSE(booked(id).selected) << id;
    EXPECT_EQ(child<QLabel>(mailer, "TotalLabel")->text(), "2 von 2");
}

// At the end of a run the main window shows the booked table, its record count and its
// record buttons, while the list of invalid addresses is open.
TEST_F(SerialMailEndToEnd, MainWindowIsCurrentWhileTheInvalidAddressesAreListed) {
    AddressTable* table = form->state().session.currentTable();
    ASSERT_TRUE(table->locateId(2));
    table->edit();
    table->setString(QStringLiteral("Mail"), QStringLiteral("kein-at.example.de"));
    ASSERT_TRUE(table->post());
    // A filter of the user's own: the run sends to every marked record all the same, and
    // the grid ends unfiltered.
    ASSERT_TRUE(table->setFilter(QStringLiteral("ID < 3")));
    table->setFiltered(true);
    ASSERT_EQ(table->recordCount(), 2);
    writeMail();
    QString status;
    bool editEnabled = false, deleteEnabled = false;
    QStringList listed;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || dialog->objectName() != QStringLiteral("TErrorMailForm"))
            return;
        poll.stop();
        status = child<QLabel>(form.get(), "StatusPanel")->text();
        editEnabled = child<QPushButton>(form.get(), "EditBitBtn")->isEnabled();
        deleteEnabled = child<QPushButton>(form.get(), "DeleteBitBtn")->isEnabled();
        listed = child<QPlainTextEdit>(dialog, "Memo1")->toPlainText().split(QChar('\n'));
        dialog->reject();
    });
    poll.start(10);
    sendAndWait();
    EXPECT_EQ(listed, QStringList{"2: kein-at.example.de"});
    EXPECT_EQ(status, QString::fromUtf8("4 Datensätze"));
    EXPECT_TRUE(editEnabled);
    EXPECT_TRUE(deleteEnabled);
    EXPECT_EQ(server.received().size(), 2);
    EXPECT_FALSE(table->filtered());
}

// A day limit reached at once, with "automatisch fortsetzen": the composer stays open,
// says why it waits, and sends by itself once the limit allows, as far as it allows.
TEST_F(SerialMailEndToEnd, DayLimitWaitsInTheOpenComposerAndResumesByItself) {
    const QString settings = SettingsFiles::generalSettingsPath(state.folders.programFolder);
    IniFile ini(settings);
    ini.writeString("Versandlimits", "ProTag", "2");
    ini.writeString("Versandlimits", "AutomatischFortsetzen", "True");
    {
        // Two messages sent almost a day ago: they leave the window in two seconds.
        SendLimitSettings limits;
        limits.perDay = 2;
        SendLimits earlier(limits, state.folders.programFolder + SendLimits::stateFileName(),
                           SendLimits::accountKey(Settings::readAccountSettingsPlain(settings)));
        QString error;
        ASSERT_TRUE(earlier.open(&error)) << error.toStdString();
        const qint64 then = QDateTime::currentMSecsSinceEpoch() - 86400000LL + 2000;
        ASSERT_TRUE(earlier.record(then, &error) && earlier.record(then, &error));
    }
    writeMail();
    sendAndWait();
    EXPECT_TRUE(mailer->isVisible());
    EXPECT_TRUE(mailer->waitsToResume());
    EXPECT_TRUE(child<QStatusBar>(mailer, "StatusBar1")
                    ->currentMessage()
                    .startsWith("Tageslimit erreicht: weiter am "));
    EXPECT_EQ(server.received().size(), 0u);

    // Two go once the old ones have left the day; the third waits for tomorrow.
    for (int waited = 0; server.received().size() < 2 && waited < 15000; waited += 20)
        QTest::qWait(20);
    for (int waited = 0; (mailer->isSending() || !mailer->waitsToResume()) && waited < 15000;
         waited += 20)
        QTest::qWait(20);
    const auto got = server.received();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].recipients, QStringList{"anna@example.de"});
    EXPECT_EQ(got[1].recipients, QStringList{"bernd@example.de"});
    EXPECT_TRUE(mailer->waitsToResume());
    EXPECT_TRUE(booked(3).selected);
    // Merged with each record, not with the text shown during the first run.
    EXPECT_TRUE(got[1].content.contains("Hallo Schulz")) << got[1].content.toStdString();

    click(mailer, "AbortBitBtn");
    EXPECT_FALSE(mailer->isVisible());
    EXPECT_FALSE(mailer->waitsToResume());
}
