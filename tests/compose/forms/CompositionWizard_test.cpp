#include "compose/forms/CompositionWizard.h"

#include "ComposeFormsTestSupport.h"
#include "common/Messages.h"
#include "compose/Merge.h"
#include "compose/WizardRules.h"
#include "compose/forms/TGenerateEmailForm.h"
#include "compose/forms/THTMLImportForm.h"
#include "compose/forms/THTMLorTEXTForm.h"
#include "compose/forms/TMailerForm.h"
#include "compose/forms/TMailquestionsForm.h"
#include "compose/forms/TOpenMailForm.h"
#include "compose/forms/TOpenOrNewForm.h"
#include "platform/DocumentOpener.h"
#include "shell/AppState.h"
#include "shell/Startup.h"
#include "shell/forms/TMainForm.h"
#include "support/FormTestSupport.h"
#include "support/ScriptedMessages.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QUrl>
#include <memory>

namespace {

class WizardTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Startup::run(state, Messages::instance()));
        form = std::make_unique<TMainForm>(state);
        form->show();
        QApplication::processEvents();
        ASSERT_NO_FATAL_FAILURE(markIds(form->state().session.currentTable(), {1, 3}));
        wizard = form->compositionWizard();
        QDir().mkpath(form->state().folders.lettersFolder);
    }
    void TearDown() override { form.reset(); }

    static void choose(QWidget* page, const char* name) {
        auto* r = page->findChild<QRadioButton*>(QLatin1String(name));
        ASSERT_NE(r, nullptr) << name;
        r->setChecked(true);
    }
    QString letters(const QString& name) const {
        return form->state().folders.lettersFolder + name;
    }
    bool anyPageVisible() const {
        return wizard->startPage()->isVisible() || wizard->typePage()->isVisible() ||
               wizard->actionPage()->isVisible() || wizard->newHtmlMailPage()->isVisible() ||
               wizard->openPage()->isVisible();
    }

    ComposeEnvironment env{3};
    AppState state; // started as main() starts it
    std::unique_ptr<TMainForm> form;
    CompositionWizard* wizard = nullptr;
};

} // namespace

TEST_F(WizardTest, F2LeadsThroughThePagesToTheComposer) {
    ScriptedMessages messages;
    ScriptedFilePicker picker;
    child<QAction>(form.get(), "SerienEmailschreiben1")->trigger();
    EXPECT_EQ(form->compositionWizard()->markedCount(), 2);

    // Start page with the marked count.
    TMailquestionsForm* start = wizard->startPage();
    ASSERT_TRUE(start->isVisible());
    EXPECT_TRUE(start->isModal());
    EXPECT_EQ(start->windowTitle(), "Serien E-Mails erstellen");
    EXPECT_EQ(child<QLabel>(start, "CountLabel")->text(),
              u("Serien-E-Mail wird an 2 markierte Datensätze gesendet."));
    click(start, "WeiterBitBtn");

    // Type page: text, HTML and the samples; "Weiter" needs a choice.
    THTMLorTEXTForm* type = wizard->typePage();
    ASSERT_TRUE(type->isVisible());
    EXPECT_EQ(child<QPushButton>(type, "AbbrechenBitBtn")->text(), "Abbruch");
    EXPECT_TRUE(child<QRadioButton>(type, "HTMLRadioButton")->isEnabled());
    EXPECT_TRUE(child<QRadioButton>(type, "MusterRadioButton")->isEnabled());
    EXPECT_EQ(child<QRadioButton>(type, "TextRadioButton")->text(), "Text E-Mail");
    messages.expectInformation("Bitte zuerst eine Auswahl treffen!");
    click(type, "WeiterBitBtn");
    EXPECT_TRUE(messages.allShown());
    EXPECT_TRUE(type->isVisible());
    choose(type, "TextRadioButton");
    click(type, "WeiterBitBtn");

    // Action page.
    TOpenOrNewForm* action = wizard->actionPage();
    ASSERT_TRUE(action->isVisible());
    EXPECT_EQ(action->windowTitle(), "Serien E-Mail erstellen");
    EXPECT_TRUE(child<QRadioButton>(action, "ImportIntRadioButton")->isEnabled());
    messages.expectInformation("Bitte zuerst eine Auswahl treffen!");
    click(action, "WeiterBitBtn");
    EXPECT_TRUE(messages.allShown());

    // Open a template: the dialog starts in the letters folder.
    TextFile::writeLines(letters("Vorlage.mail"), {"[SUBJECT]", "Betreff der Vorlage", "[TEXT]",
                                                   "Hallo $NAME", "[ATTACHEMENT]", ""});
    choose(action, "OeffnenRadioButton");
    picker.answer(letters("Vorlage.mail"));
    click(action, "WeiterBitBtn");
    ASSERT_EQ(picker.calls.size(), 1);
    EXPECT_EQ(picker.calls[0].folder, form->state().folders.lettersFolder);
    EXPECT_EQ(picker.calls[0].filter, "Quillon (*.mail)");
    EXPECT_FALSE(anyPageVisible());

    TMailerForm* mailer = form->mailerForm();
    ASSERT_TRUE(mailer->isVisible());
    EXPECT_EQ(child<QLineEdit>(mailer, "SubjectEdit")->text(), "Betreff der Vorlage");
    EXPECT_EQ(child<QPlainTextEdit>(mailer, "MessageMemo")->toPlainText(), "Hallo $NAME");
    QTest::mouseClick(child<QPushButton>(mailer, "AbortBitBtn"), Qt::LeftButton);
    EXPECT_FALSE(mailer->isVisible());

    // Again, cancelling the template dialog: the template chosen the last time.
    child<QAction>(form.get(), "SerienEmailschreiben1")->trigger();
    click(start, "WeiterBitBtn");
    click(type, "WeiterBitBtn"); // the pages keep their choices
    picker.answer(QString());
    click(action, "WeiterBitBtn");
    ASSERT_TRUE(mailer->isVisible());
    EXPECT_EQ(mailer->currentTemplate().templatePath, letters("Vorlage.mail"));
    EXPECT_EQ(child<QLineEdit>(mailer, "SubjectEdit")->text(), "Betreff der Vorlage");
    QTest::mouseClick(child<QPushButton>(mailer, "AbortBitBtn"), Qt::LeftButton);

    // A new mail: empty subject and body, no template path.
    child<QAction>(form.get(), "SerienEmailschreiben1")->trigger();
    click(start, "WeiterBitBtn");
    click(type, "WeiterBitBtn");
    choose(action, "NeueRadioButton");
    click(action, "WeiterBitBtn");
    ASSERT_TRUE(mailer->isVisible());
    EXPECT_TRUE(child<QLineEdit>(mailer, "SubjectEdit")->text().isEmpty());
    EXPECT_TRUE(child<QPlainTextEdit>(mailer, "MessageMemo")->toPlainText().isEmpty());
    EXPECT_TRUE(mailer->currentTemplate().templatePath.isEmpty());
    QTest::mouseClick(child<QPushButton>(mailer, "AbortBitBtn"), Qt::LeftButton);
}

TEST_F(WizardTest, BackAndCancelCloseThePages) {
    ScriptedMessages messages;
    child<QAction>(form.get(), "SerienEmailschreiben1")->trigger();
    TMailquestionsForm* start = wizard->startPage();
    THTMLorTEXTForm* type = wizard->typePage();
    TOpenOrNewForm* action = wizard->actionPage();

    // "Hilfe" opens the program's help page.
    RecordingOpener opener;
    click(start, "HilfeBitBtn");
    ASSERT_EQ(opener.opened.size(), 1);
    EXPECT_TRUE(opener.opened[0].endsWith("/Help/help.html")) << opener.opened[0].toStdString();

    // "Zurück" returns to the page below.
    click(start, "WeiterBitBtn");
    click(type, "ZurueckBitBtn");
    EXPECT_FALSE(type->isVisible());
    EXPECT_TRUE(start->isVisible());

    // "Abbruch" on the type page closes it and the start page.
    click(start, "WeiterBitBtn");
    click(type, "AbbrechenBitBtn");
    EXPECT_FALSE(anyPageVisible());

    // "Abbrechen" on the action page closes every page; no composer opens.
    child<QAction>(form.get(), "SerienEmailschreiben1")->trigger();
    click(start, "WeiterBitBtn");
    choose(type, "TextRadioButton");
    click(type, "WeiterBitBtn");
    ASSERT_TRUE(action->isVisible());
    click(action, "AbbrechenBitBtn");
    EXPECT_FALSE(anyPageVisible());
    EXPECT_FALSE(form->mailerForm()->isVisible());

    // Without marked records the wizard does not start.
    AddressTable* table = form->state().session.currentTable();
    for (qint64 id : {1, 3}) {
        ASSERT_TRUE(table->locateId(id));
        table->edit();
        table->setBool(QStringLiteral("Selected"), false);
        ASSERT_TRUE(table->post());
    }
    messages.expectInformation(
        u("Keine Datensätze zum versenden markiert! \rKlicken Sie doppelt auf die Spalte "
          "\"Selected\" um Datensätze zu markieren!"));
    child<QAction>(form.get(), "SerienEmailschreiben1")->trigger();
    EXPECT_FALSE(anyPageVisible());
}

// "Standardmailer mit der selektierten E-Mail starten" and the grid's context entry hand
// "mailto:" and the current record's address in lower case to the desktop.
TEST_F(WizardTest, SingleMailToTheCurrentRecord) {
    ScriptedMessages messages;
    RecordingOpener opener;
    AddressTable* table = form->state().session.currentTable();
    ASSERT_TRUE(table->locateId(2));
    table->edit();
    table->setString(QStringLiteral("Mail"), QStringLiteral("Bernd.Schulz@Example.DE"));
    ASSERT_TRUE(table->post());
    ASSERT_TRUE(table->locateId(2));
    child<QAction>(form.get(), "OutlookmitderselektiertenEmailstarten1")->trigger();
    child<QAction>(form.get(), "OutlookStarten")->trigger();
    EXPECT_EQ(opener.opened,
              QStringList({"mailto:bernd.schulz@example.de", "mailto:bernd.schulz@example.de"}));
}

namespace {

void writeMail(const QString& path, const QString& subject) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write("From: Firma <info@firma.de>\r\nSubject: " + subject.toUtf8() +
            "\r\nMIME-Version: 1.0\r\nContent-Type: text/html; charset=utf-8\r\n\r\n"
            "<p>$ANREDE $NAME,</p>\r\n");
}

} // namespace

TEST_F(WizardTest, HtmlPathsOpenEmailFilesNewMailsAndTheSamples) {
    ScriptedMessages messages;
    ScriptedFilePicker picker;
    RecordingOpener opener;
    const WorkingFolders& folders = form->state().folders;
    TMailquestionsForm* start = wizard->startPage();
    THTMLorTEXTForm* type = wizard->typePage();
    TOpenOrNewForm* action = wizard->actionPage();
    TOpenMailForm* open = wizard->openPage();
    TMailerForm* mailer = form->mailerForm();
    auto toActionPage = [&] {
        child<QAction>(form.get(), "SerienEmailschreiben1")->trigger();
        click(start, "WeiterBitBtn");
        choose(type, "HTMLRadioButton");
        click(type, "WeiterBitBtn");
    };

    // An existing e-mail file: the open page, then a private copy goes to the composer.
    const QString chosen = folders.lettersFolder + "Rundbrief.eml";
    writeMail(chosen, "Rundbrief");
    toActionPage();
    choose(action, "OeffnenRadioButton");
    click(action, "WeiterBitBtn");
    ASSERT_TRUE(open->isVisible());
    EXPECT_EQ(open->instruction(), WizardRules::openExistingInstruction());
    QDir(folders.userTemplatesFolder).removeRecursively();
    picker.answer(QString()); // cancelled: the page stays
    click(open, "WeiterBitBtn");
    EXPECT_TRUE(open->isVisible());
    ASSERT_EQ(picker.calls.size(), 1);
    EXPECT_EQ(picker.calls[0].folder, folders.userTemplatesFolder);
    EXPECT_TRUE(QDir(folders.userTemplatesFolder).exists());
    EXPECT_EQ(picker.calls[0].filter, "Outlook / Windows Mail Datei (*.msg *.eml)");

    // A broken Outlook file is refused and the page stays open.
    const QString broken = folders.lettersFolder + "kaputt.msg";
    writeMail(broken, "kein OLE2");
    messages.expectError(u("Die Datei \"") + QDir::toNativeSeparators(broken) +
                         u("\" ist keine Outlook-Nachricht (.msg) oder ist beschädigt."));
    picker.answer(broken);
    click(open, "WeiterBitBtn");
    EXPECT_TRUE(messages.allShown());
    EXPECT_TRUE(open->isVisible());

    picker.answer(chosen);
    click(open, "WeiterBitBtn");
    EXPECT_FALSE(anyPageVisible());
    ASSERT_TRUE(mailer->isVisible());
    EXPECT_EQ(mailer->mode(), MailTemplate::Mode::Html);
    const QString copy = mailer->currentTemplate().messageFile;
    EXPECT_TRUE(copy.startsWith(folders.systemTempFolder)) << copy.toStdString();
    EXPECT_TRUE(copy.endsWith(".eml"));
    EXPECT_TRUE(QFile::exists(copy));
    QTest::mouseClick(child<QPushButton>(mailer, "AbortBitBtn"), Qt::LeftButton);

    // A new mail: the mail program gets a mail listing the placeholders; after the wait
    // the open page asks for the saved file.
    TGenerateEmailForm* generate = wizard->newHtmlMailPage();
    generate->setWaitMilliseconds(50);
    toActionPage();
    choose(action, "NeueRadioButton");
    click(action, "WeiterBitBtn");
    ASSERT_TRUE(generate->isVisible());
    messages.expectInformation(Merge::placeholderMessage(form->state().session.definition()));
    click(generate, "PlatzhalterBitBtn");
    EXPECT_TRUE(messages.allShown());
    click(generate, "WeiterBitBtn");
    EXPECT_TRUE(generate->isWaiting());
    EXPECT_FALSE(generate->isEnabled());
    ASSERT_EQ(opener.opened.size(), 1);
    const QUrl link(opener.opened[0]);
    EXPECT_EQ(link.scheme() + ":" + link.path(), "mailto:Vorlage1");
    const QString query = link.query(QUrl::FullyDecoded);
    EXPECT_TRUE(query.startsWith(u("Subject=Geben Sie hier Ihren Betreff ein&Body=1. Bauen Sie")))
        << query.toStdString();
    EXPECT_TRUE(query.contains(u("Gültige Platzhalter sind: \n$MAIL"))) << query.toStdString();
    EXPECT_FALSE(query.contains("$DATUM"));
    // With a web kit the link's list names the unsubscribe placeholder, still without $DATUM.
    const QString withKit =
        QUrl(WizardRules::newHtmlMailLink(form->state().session.definition(), true))
            .query(QUrl::FullyDecoded);
    EXPECT_TRUE(withKit.contains(u("\n$ABMELDELINK für Abmelde-Link"))) << withKit.toStdString();
    EXPECT_FALSE(withKit.contains("$DATUM"));
    QTest::qWait(300);
    EXPECT_TRUE(generate->isEnabled());
    ASSERT_TRUE(open->isVisible());
    EXPECT_EQ(open->instruction(), WizardRules::openNewMailInstruction());
    click(open, "AbbrechenBitBtn");
    EXPECT_FALSE(anyPageVisible());

    // The samples: copied into a missing user folder, a changed copy is kept, and the
    // chosen sample itself is the message file.
    QDir().mkpath(folders.templatesFolder);
    for (const QString& name : WizardRules::sampleMailNames()) {
        QFile::remove(folders.templatesFolder + name);
        ASSERT_NO_FATAL_FAILURE(writeMail(folders.templatesFolder + name, name));
    }
    QDir(folders.userTemplatesFolder).removeRecursively();
    QDir().mkpath(folders.userTemplatesFolder);
    ASSERT_NO_FATAL_FAILURE(writeMail(folders.userTemplatesFolder + "Quillon_Bsp1.eml", "Meins"));
    child<QAction>(form.get(), "SerienEmailschreiben1")->trigger();
    click(start, "WeiterBitBtn");
    choose(type, "MusterRadioButton");
    picker.answer(folders.userTemplatesFolder + "Quillon_Bsp3.eml");
    click(type, "WeiterBitBtn");
    EXPECT_EQ(picker.calls.last().folder, folders.userTemplatesFolder);
    EXPECT_EQ(picker.calls.last().filter, "Outlook Express Datei (*.eml)");
    for (const QString& name : WizardRules::sampleMailNames())
        EXPECT_TRUE(QFile::exists(folders.userTemplatesFolder + name)) << name.toStdString();
    QFile mine(folders.userTemplatesFolder + "Quillon_Bsp1.eml");
    ASSERT_TRUE(mine.open(QIODevice::ReadOnly));
    EXPECT_TRUE(mine.readAll().contains("Subject: Meins"));
    EXPECT_FALSE(anyPageVisible());
    ASSERT_TRUE(mailer->isVisible());
    EXPECT_EQ(mailer->currentTemplate().messageFile,
              folders.userTemplatesFolder + "Quillon_Bsp3.eml");
    QTest::mouseClick(child<QPushButton>(mailer, "AbortBitBtn"), Qt::LeftButton);
}

TEST_F(WizardTest, HtmlImportWindowTurnsAPageIntoTheComposersMail) {
    ScriptedMessages messages;
    ScriptedFilePicker picker;
    const WorkingFolders& folders = form->state().folders;
    const QString page = folders.lettersFolder + "seite.html";
    QDir().mkpath(folders.lettersFolder + "bilder");
    {
        QFile image(folders.lettersFolder + "bilder/logo.png");
        ASSERT_TRUE(image.open(QIODevice::WriteOnly));
        image.write("\x89PNG\r\n\x1a\n");
        QFile html(page);
        ASSERT_TRUE(html.open(QIODevice::WriteOnly));
        html.write("<html><body><p>$ANREDE $NAME,</p><img src=\"bilder/logo.png\"></body></html>");
    }
    child<QAction>(form.get(), "SerienEmailschreiben1")->trigger();
    click(wizard->startPage(), "WeiterBitBtn");
    choose(wizard->typePage(), "HTMLRadioButton");
    click(wizard->typePage(), "WeiterBitBtn");
    choose(wizard->actionPage(), "ImportIntRadioButton");
    click(wizard->actionPage(), "WeiterBitBtn");
    EXPECT_FALSE(wizard->actionPage()->isVisible());
    THTMLImportForm* import = wizard->importPage();
    ASSERT_TRUE(import->isVisible());
    EXPECT_FALSE(import->isModal());
    EXPECT_FALSE(child<QPushButton>(import, "WeiterBitBtn")->isEnabled());
    EXPECT_EQ(child<QLineEdit>(import, "Edit2")->text(), "Meine neue Serien-E-Mail");

    picker.answer(page);
    click(import, "HTMLOpenBitBtn");
    EXPECT_EQ(picker.calls.last().filter, "HTML Dateien (*.html *.htm)");
    EXPECT_EQ(child<QLineEdit>(import, "Edit1")->text(), page);
    ASSERT_TRUE(child<QPushButton>(import, "WeiterBitBtn")->isEnabled());
    child<QLineEdit>(import, "Edit2")->setText(u("Grüße zum Herbst"));
    click(import, "WeiterBitBtn");
    EXPECT_TRUE(import->wasUsed());
    EXPECT_FALSE(import->isVisible());
    EXPECT_FALSE(anyPageVisible());

    TMailerForm* mailer = form->mailerForm();
    ASSERT_TRUE(mailer->isVisible());
    EXPECT_EQ(mailer->mode(), MailTemplate::Mode::Html);
    EXPECT_EQ(mailer->currentTemplate().messageFile, folders.systemTempFolder + "out.eml");
    EXPECT_EQ(child<QLineEdit>(mailer, "SubjectEdit")->text(), u("Grüße zum Herbst"));
    QTest::mouseClick(child<QPushButton>(mailer, "AbortBitBtn"), Qt::LeftButton);
}
