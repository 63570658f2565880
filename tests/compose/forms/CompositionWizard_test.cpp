#include "compose/forms/CompositionWizard.h"

#include "ComposeFormsTestSupport.h"
#include "compose/forms/THTMLorTEXTForm.h"
#include "compose/forms/TMailerForm.h"
#include "compose/forms/TMailquestionsForm.h"
#include "compose/forms/TOpenOrNewForm.h"
#include "platform/DocumentOpener.h"
#include "shell/forms/TMainForm.h"
#include "support/ScriptedMessages.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <memory>

namespace {

QString u(const char* utf8) {
    return QString::fromUtf8(utf8);
}

class RecordingOpener : public DocumentOpener {
public:
    RecordingOpener() { DocumentOpener::install(this); }
    ~RecordingOpener() override { DocumentOpener::install(nullptr); }
    bool openUrl(const QUrl& url) override {
        opened << url.toString();
        return true;
    }
    bool startBrowser(const QString&) override { return false; }
    QStringList opened;
};

class WizardTest : public ::testing::Test {
protected:
    void SetUp() override {
        form = std::make_unique<TMainForm>();
        form->show();
        QApplication::processEvents();
        AddressTable* table = form->state().currentTable();
        ASSERT_NE(table, nullptr);
        for (qint64 id : {1, 3}) {
            ASSERT_TRUE(table->locateId(id));
            table->edit();
            table->setBool(QStringLiteral("Selected"), true);
            ASSERT_TRUE(table->post());
        }
        wizard = form->compositionWizard();
        QDir().mkpath(form->state().folders.lettersFolder);
    }
    void TearDown() override { form.reset(); }

    static void click(QWidget* page, const char* name) {
        auto* b = page->findChild<QPushButton*>(QLatin1String(name));
        ASSERT_NE(b, nullptr) << name;
        QTest::mouseClick(b, Qt::LeftButton);
    }
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
               wizard->actionPage()->isVisible();
    }

    ComposeEnvironment env{{{"anna@example.de", "Maier", "Frau"},
                            {"bernd@example.de", "Schulz", "Herr"},
                            {"carla@example.de", "Ernst", "Frau"}}};
    std::unique_ptr<TMainForm> form;
    CompositionWizard* wizard = nullptr;
};

} // namespace

TEST_F(WizardTest, F2LeadsThroughThePagesToTheComposer) {
    ScriptedMessages messages;
    ScriptedFilePicker picker;
    form->findChild<QAction*>("SerienEmailschreiben1")->trigger();
    EXPECT_EQ(form->state().markedCountForSend, 2);

    // Start page with the marked count.
    TMailquestionsForm* start = wizard->startPage();
    ASSERT_TRUE(start->isVisible());
    EXPECT_TRUE(start->isModal());
    EXPECT_EQ(start->windowTitle(), "Serien E-Mails erstellen");
    EXPECT_EQ(start->findChild<QLabel*>("CountLabel")->text(),
              u("Serien-E-Mail wird an 2 markierte Datensätze gesendet."));
    click(start, "WeiterBitBtn");

    // Type page: HTML and samples shown but not available; "Weiter" needs a choice.
    THTMLorTEXTForm* type = wizard->typePage();
    ASSERT_TRUE(type->isVisible());
    EXPECT_EQ(type->findChild<QPushButton*>("AbbrechenBitBtn")->text(), "Abbruch");
    EXPECT_FALSE(type->findChild<QRadioButton*>("HTMLRadioButton")->isEnabled());
    EXPECT_FALSE(type->findChild<QRadioButton*>("MusterRadioButton")->isEnabled());
    EXPECT_EQ(type->findChild<QRadioButton*>("TextRadioButton")->text(), "Text E-Mail");
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
    EXPECT_FALSE(action->findChild<QRadioButton*>("ImportIntRadioButton")->isEnabled());
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
    EXPECT_EQ(mailer->findChild<QLineEdit*>("SubjectEdit")->text(), "Betreff der Vorlage");
    EXPECT_EQ(mailer->findChild<QPlainTextEdit*>("MessageMemo")->toPlainText(), "Hallo $NAME");
    QTest::mouseClick(mailer->findChild<QPushButton*>("AbortBitBtn"), Qt::LeftButton);
    EXPECT_FALSE(mailer->isVisible());

    // Again, cancelling the template dialog: the template chosen the last time.
    form->findChild<QAction*>("SerienEmailschreiben1")->trigger();
    click(start, "WeiterBitBtn");
    click(type, "WeiterBitBtn"); // the pages keep their choices
    picker.answer(QString());
    click(action, "WeiterBitBtn");
    ASSERT_TRUE(mailer->isVisible());
    EXPECT_EQ(mailer->currentTemplate().templatePath, letters("Vorlage.mail"));
    EXPECT_EQ(mailer->findChild<QLineEdit*>("SubjectEdit")->text(), "Betreff der Vorlage");
    QTest::mouseClick(mailer->findChild<QPushButton*>("AbortBitBtn"), Qt::LeftButton);

    // A new mail: empty subject and body, no template path.
    form->findChild<QAction*>("SerienEmailschreiben1")->trigger();
    click(start, "WeiterBitBtn");
    click(type, "WeiterBitBtn");
    choose(action, "NeueRadioButton");
    click(action, "WeiterBitBtn");
    ASSERT_TRUE(mailer->isVisible());
    EXPECT_TRUE(mailer->findChild<QLineEdit*>("SubjectEdit")->text().isEmpty());
    EXPECT_TRUE(mailer->findChild<QPlainTextEdit*>("MessageMemo")->toPlainText().isEmpty());
    EXPECT_TRUE(mailer->currentTemplate().templatePath.isEmpty());
    QTest::mouseClick(mailer->findChild<QPushButton*>("AbortBitBtn"), Qt::LeftButton);
}

TEST_F(WizardTest, BackAndCancelCloseThePages) {
    ScriptedMessages messages;
    form->findChild<QAction*>("SerienEmailschreiben1")->trigger();
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
    form->findChild<QAction*>("SerienEmailschreiben1")->trigger();
    click(start, "WeiterBitBtn");
    choose(type, "TextRadioButton");
    click(type, "WeiterBitBtn");
    ASSERT_TRUE(action->isVisible());
    click(action, "AbbrechenBitBtn");
    EXPECT_FALSE(anyPageVisible());
    EXPECT_FALSE(form->mailerForm()->isVisible());

    // Without marked records the wizard does not start.
    AddressTable* table = form->state().currentTable();
    for (qint64 id : {1, 3}) {
        ASSERT_TRUE(table->locateId(id));
        table->edit();
        table->setBool(QStringLiteral("Selected"), false);
        ASSERT_TRUE(table->post());
    }
    messages.expectInformation(
        u("Keine Datensätze zum versenden markiert! \rKlicken Sie doppelt auf die Spalte "
          "\"Selected\" um Datensätze zu markieren!"));
    form->findChild<QAction*>("SerienEmailschreiben1")->trigger();
    EXPECT_FALSE(anyPageVisible());
}

// "Standardmailer mit der selektierten E-Mail starten" and the grid's context entry hand
// "mailto:" and the current record's address in lower case to the desktop.
TEST_F(WizardTest, SingleMailToTheCurrentRecord) {
    ScriptedMessages messages;
    RecordingOpener opener;
    AddressTable* table = form->state().currentTable();
    ASSERT_TRUE(table->locateId(2));
    table->edit();
    table->setString(QStringLiteral("Mail"), QStringLiteral("Bernd.Schulz@Example.DE"));
    ASSERT_TRUE(table->post());
    ASSERT_TRUE(table->locateId(2));
    form->findChild<QAction*>("OutlookmitderselektiertenEmailstarten1")->trigger();
    form->findChild<QAction*>("OutlookStarten")->trigger();
    EXPECT_EQ(opener.opened,
              QStringList({"mailto:bernd.schulz@example.de", "mailto:bernd.schulz@example.de"}));
}
