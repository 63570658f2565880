#include "compose/forms/TMailerForm.h"

#include "ComposeFormsTestSupport.h"
#include "compose/MailTemplate.h"
#include "database/WebSettings.h"
#include "support/FormTestSupport.h"
#include "support/ScriptedMessages.h"
#include "support/TempProgramFolder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTest>
#include <QTextBlock>
#include <QToolButton>
#include <memory>

namespace {

class MailerFormTest : public WindowTest<TMailerForm> {
protected:
    void SetUp() override {
        env.openInto(state);
        QDir().mkpath(state.folders.lettersFolder);
        form = std::make_unique<TMailerForm>(state);
    }
    QPushButton* button(const char* name) const { return child<QPushButton>(name); }
    QPlainTextEdit* memo() const { return child<QPlainTextEdit>("MessageMemo"); }
    QString letters(const QString& name) const { return state.folders.lettersFolder + name; }
    // Puts the caret into the body at line and column.
    void caretAt(int line, int column) {
        QTextCursor c(memo()->document()->findBlockByNumber(line));
        c.setPosition(c.block().position() + column);
        memo()->setTextCursor(c);
    }
    void selectPlaceholder(const QString& token) {
        auto* list = child<QListWidget>("VariablesListBox");
        for (int i = 0; i < list->count(); ++i)
            if (list->item(i)->text().startsWith(token + QChar(' ')) ||
                list->item(i)->text() == token)
                list->setCurrentRow(i);
        ASSERT_TRUE(list->currentItem());
    }

    ComposeEnvironment env{1};
    AppState state;
};

} // namespace

TEST_F(MailerFormTest, ControlsCaptionsAndTheWindowThatOnlyAbbrechenCloses) {
    ScriptedMessages messages;
    TextFile::writeLines(env.dataFolder() + "AbsenderMails.ini",
                         {"info@firma.de <Firma>", "chef@firma.de <Chef>"});
    form->openForComposition(MailTemplate::Mode::Text, QString(), 0);
    ASSERT_TRUE(form->isVisible());
    EXPECT_TRUE(form->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(form->windowFlags() & Qt::WindowCloseButtonHint);

    const std::pair<const char*, const char*> buttons[] = {
        {"SaveMailButton", "Als Vorlage speichern"},
        {"OpenButton", "Vorlage öffnen"},
        {"TextBitbtn", "Text öffnen"},
        {"PreviewBitBtn", "Vorschau"},
        {"SendBitBtn", "Senden"},
        {"AbortBitBtn", "Abbrechen"}};
    for (const auto& [name, caption] : buttons) {
        EXPECT_EQ(button(name)->text(), u(caption)) << name;
        EXPECT_TRUE(button(name)->isVisible()) << name;
    }
    EXPECT_EQ(button("BitBtn1")->toolTip(), u("Datei Anhang hinzufügen"));
    EXPECT_EQ(button("BitBtn2")->toolTip(), u("Dateianhang entfernen"));
    EXPECT_FALSE(button("BitBtn2")->isVisible());
    EXPECT_EQ(child<QToolButton>("VariableSpeedButton")->text(), "<");
    EXPECT_FALSE(child<QLineEdit>("ToEdit")->isVisible());
    EXPECT_FALSE(child<QWidget>("Panel2")->isVisible());
    EXPECT_TRUE(child<QWidget>("SelectVariablesPanel")->isVisible());
    EXPECT_EQ(child<QCheckBox>("IngoreConnecProb")->text(), "Verbindungsprobleme ignorieren");
    EXPECT_EQ(child<QCheckBox>("IngoreConnecProb2")->text(), "Verbindungsprobleme ignorieren");
    EXPECT_EQ(child<QCheckBox>("TrackingCheckBox")->text(), "Newsletter Tracking aktivieren");
    for (const char* name : {"ListBox1", "FAttachmentListBox"})
        child<QListWidget>(name);
    child<QWidget>("Chart2");
    child<QStatusBar>("StatusBar1");
    for (const char* name : {"TotalLabel", "eMailsLabel", "InvalidMailsLabel"})
        EXPECT_EQ(child<QLabel>(name)->text(), "0") << name;
    for (const char* name : {"ProgressBar1", "ProgressBar2", "ProgressBar3"})
        EXPECT_EQ(child<QProgressBar>(name)->value(), 0) << name;

    auto* prio = child<QComboBox>("PrioComobox");
    EXPECT_EQ(prio->count(), 3);
    EXPECT_EQ(prio->currentText(), "Normal");
    EXPECT_EQ(form->priority(), 3);
    prio->setCurrentIndex(0);
    EXPECT_EQ(form->priority(), 1);

    // Sender list: every line, the first selected on every activation.
    auto* sender = child<QComboBox>("ComboBox1");
    EXPECT_EQ(sender->count(), 2);
    sender->setCurrentIndex(1);
    form->activationSetUp();
    EXPECT_EQ(sender->currentText(), "info@firma.de <Firma>");

    // The placeholders of the table, $DATUM last.
    auto* list = child<QListWidget>("VariablesListBox");
    ASSERT_GT(list->count(), 3);
    EXPECT_EQ(list->item(list->count() - 1)->text(), "$DATUM");

    // Word wrap and its caption.
    auto* wrap = child<QCheckBox>("CheckBox1");
    EXPECT_EQ(wrap->text(), "Zeilenumbruch ein");
    EXPECT_EQ(memo()->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    QTest::mouseClick(wrap, Qt::LeftButton, {}, QPoint(4, wrap->height() / 2));
    EXPECT_EQ(wrap->text(), "Zeilenumbruch aus");
    EXPECT_EQ(memo()->lineWrapMode(), QPlainTextEdit::NoWrap);

    // The user cannot close the window; "Abbrechen" does.
    EXPECT_FALSE(form->close());
    EXPECT_TRUE(form->isVisible());
    click("AbortBitBtn");
    EXPECT_FALSE(form->isVisible());
}

TEST_F(MailerFormTest, TrackingBoxFollowsTheWebSettingsOnActivation) {
    ScriptedMessages messages;
    form->openForComposition(MailTemplate::Mode::Text, QString(), 0);
    auto* tracking = child<QCheckBox>("TrackingCheckBox");
    EXPECT_FALSE(tracking->isChecked());
    EXPECT_FALSE(tracking->isEnabled());

    WebSettings web(state.folders.dataFolder, state.session.definitionName());
    ASSERT_TRUE(web.setStatsActive(true));
    ASSERT_TRUE(web.setStatsUrl("https://example.de/stats/"));
    form->activationSetUp();
    EXPECT_FALSE(tracking->isChecked()) << "the password is missing";
    ASSERT_TRUE(web.setStatsPassword("geheim"));
    form->activationSetUp();
    EXPECT_TRUE(tracking->isChecked());
    EXPECT_TRUE(tracking->isEnabled());
    ASSERT_TRUE(web.setStatsActive(false));
    form->activationSetUp();
    EXPECT_FALSE(tracking->isChecked());
    EXPECT_FALSE(tracking->isEnabled());
}

// $ABMELDELINK is offered only while the database has a web kit that makes links.
TEST_F(MailerFormTest, UnsubscribePlaceholderIsListedWithAWebKit) {
    ScriptedMessages messages;
    form->openForComposition(MailTemplate::Mode::Text, QString(), 0);
    auto* list = child<QListWidget>("VariablesListBox");
    const QString entry = u("$ABMELDELINK für Abmelde-Link");
    EXPECT_TRUE(list->findItems(entry, Qt::MatchExactly).isEmpty());
    WebSettings web(state.folders.dataFolder, state.session.definitionName());
    ASSERT_TRUE(web.setOnlinePath("http://www.firma.de/newsletter/"));
    form->activationSetUp();
    EXPECT_TRUE(list->findItems(entry, Qt::MatchExactly).isEmpty()) << "no sync password yet";
    ASSERT_TRUE(web.setOnlinePassword("geheim42"));
    form->activationSetUp();
    EXPECT_EQ(list->findItems(entry, Qt::MatchExactly).size(), 1);
    EXPECT_EQ(list->item(list->count() - 1)->text(), "$DATUM");
}

TEST_F(MailerFormTest, PlaceholderGoesToTheCaretOfTheBody) {
    ScriptedMessages messages;
    form->openForComposition(MailTemplate::Mode::Text, QString(), 0);
    auto* list = child<QListWidget>("VariablesListBox");
    auto* insert = child<QToolButton>("VariableSpeedButton");

    // Nothing selected.
    messages.expectInformation(u("Bitte markieren Sie zuerst einen Platzhalter zum einfügen!"));
    list->clearSelection();
    list->setCurrentRow(-1);
    QTest::mouseClick(insert, Qt::LeftButton);
    EXPECT_TRUE(messages.allShown());

    // An empty body gets the placeholder as its first line.
    selectPlaceholder("$NAME");
    QTest::mouseClick(insert, Qt::LeftButton);
    EXPECT_EQ(memo()->toPlainText(), "$NAME");

    // In the middle of "Hallo", after "Ha"; other lines stay, the subject is untouched.
    child<QLineEdit>("SubjectEdit")->setText("Betreff");
    memo()->setPlainText("Erste Zeile\nHallo\n\nEnde");
    caretAt(1, 2);
    QTest::mouseClick(insert, Qt::LeftButton);
    EXPECT_EQ(memo()->toPlainText(), "Erste Zeile\nHa $NAME llo\n\nEnde");
    EXPECT_EQ(child<QLineEdit>("SubjectEdit")->text(), "Betreff");

    // A double click on an entry inserts it too; "$X für caption" gives "$X" alone.
    auto* captioned = [&]() -> QListWidgetItem* {
        for (int i = 0; i < list->count(); ++i)
            if (list->item(i)->text().contains(u(" für ")))
                return list->item(i);
        return nullptr;
    }();
    ASSERT_NE(captioned, nullptr);
    const QString token = captioned->text().section(QChar(' '), 0, 0);
    list->setCurrentItem(captioned);
    caretAt(3, 0);
    Q_EMIT list->itemDoubleClicked(captioned);
    EXPECT_EQ(memo()->toPlainText().split('\n').at(3), token + " Ende");
}

TEST_F(MailerFormTest, TemplatesOpenSaveAndTextFilesThroughTheDialogs) {
    ScriptedMessages messages;
    ScriptedFilePicker picker;
    form->openForComposition(MailTemplate::Mode::Text, QString(), 0);

    // Save: the dialog starts in the letters folder; the extension is added.
    child<QLineEdit>("SubjectEdit")->setText(u("Grüße an $NAME"));
    memo()->setPlainText("Hallo $NAME,\n\nbis bald");
    picker.answer(letters("Rundbrief"));
    click("SaveMailButton");
    ASSERT_EQ(picker.calls.size(), 1);
    EXPECT_EQ(picker.calls[0].kind, "save");
    EXPECT_EQ(picker.calls[0].folder, state.folders.lettersFolder);
    EXPECT_EQ(picker.calls[0].filter, "Quillon (*.mail)");
    const QStringList saved = {"[SUBJECT]", u("Grüße an $NAME"), "[TEXT]",        "Hallo $NAME,",
                               "",          "bis bald",          "[ATTACHEMENT]", ""};
    EXPECT_EQ(TextFile::readLines(letters("Rundbrief.mail")), saved);

    // Open: another template replaces subject and body.
    TextFile::writeLines(letters("Zweiter.mail"), {"[SUBJECT]", "Zweiter", "[TEXT]", "eins", "",
                                                   "zwei", "[ATTACHEMENT]", ""});
    picker.answer(letters("Zweiter.mail"));
    click("OpenButton");
    EXPECT_EQ(picker.calls.last().filter, "Text Mail (*.mail)");
    EXPECT_EQ(picker.calls.last().folder, state.folders.lettersFolder);
    EXPECT_EQ(child<QLineEdit>("SubjectEdit")->text(), "Zweiter");
    EXPECT_EQ(memo()->toPlainText(), "eins\n\nzwei");
    EXPECT_EQ(form->currentTemplate().templatePath, letters("Zweiter.mail"));

    // A cancelled dialog changes nothing.
    picker.answer(QString());
    click("OpenButton");
    EXPECT_EQ(child<QLineEdit>("SubjectEdit")->text(), "Zweiter");

    // "Text öffnen" replaces the body only.
    const QString textFile = env.programFolder() + "brief.txt";
    TextFile::writeLines(textFile, {u("Zeile 1 mit ä"), "Zeile 2"});
    picker.answer(textFile);
    click("TextBitbtn");
    EXPECT_EQ(picker.calls.last().filter, "Text Datei (*.txt)");
    EXPECT_EQ(memo()->toPlainText(), u("Zeile 1 mit ä\nZeile 2"));
    EXPECT_EQ(child<QLineEdit>("SubjectEdit")->text(), "Zweiter");

    // A template naming a deleted attachment: the message, then the file is rewritten at
    // once without it.
    TextFile::writeLines(letters("Alt.mail"), {"[SUBJECT]", "Alt", "[TEXT]", "x", "[ATTACHEMENT]",
                                               "/nicht/mehr/da.pdf"});
    messages.expectInformation(MailTemplateFile::missingAttachmentMessage("/nicht/mehr/da.pdf"));
    picker.answer(letters("Alt.mail"));
    click("OpenButton");
    EXPECT_TRUE(messages.allShown());
    EXPECT_EQ(child<QListWidget>("FAttachmentListBox")->count(), 0);
    EXPECT_EQ(TextFile::readLines(letters("Alt.mail")),
              QStringList({"[SUBJECT]", "Alt", "[TEXT]", "x", "[ATTACHEMENT]", ""}));
}

TEST_F(MailerFormTest, AttachmentAddAndRemoveRewritesTheTemplate) {
    ScriptedMessages messages;
    ScriptedFilePicker picker;
    const QString attachment = env.programFolder() + "Preisliste.pdf";
    ASSERT_NO_FATAL_FAILURE(writeBytes(attachment, "%PDF"));
    TextFile::writeLines(letters("Angebot.mail"),
                         {"[SUBJECT]", "Angebot", "[TEXT]", "Hallo", "[ATTACHEMENT]", attachment});
    // Opened from the wizard with the template path.
    form->openForComposition(MailTemplate::Mode::Text, letters("Angebot.mail"), 0);
    auto* list = child<QListWidget>("FAttachmentListBox");
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->text(), "Preisliste.pdf");
    EXPECT_TRUE(button("BitBtn2")->isVisible());

    // Remove: list emptied, button hidden, the template saved without the attachment.
    memo()->setPlainText("Hallo\nneu");
    click("BitBtn2");
    EXPECT_EQ(list->count(), 0);
    EXPECT_FALSE(button("BitBtn2")->isVisible());
    EXPECT_EQ(TextFile::readLines(letters("Angebot.mail")),
              QStringList({"[SUBJECT]", "Angebot", "[TEXT]", "Hallo", "neu", "[ATTACHEMENT]", ""}));

    // Add: the chosen file replaces any previous one.
    picker.answer(attachment);
    click("BitBtn1");
    EXPECT_TRUE(picker.calls.last().filter.startsWith("Dokumente (*.doc *.dot"));
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(form->currentTemplate().attachment, attachment);
    EXPECT_TRUE(button("BitBtn2")->isVisible());

    // Abbrechen closes and clears the attachment; a new composition starts empty.
    click("AbortBitBtn");
    EXPECT_EQ(list->count(), 0);
    form->openForComposition(MailTemplate::Mode::Text, QString(), 0);
    EXPECT_TRUE(child<QLineEdit>("SubjectEdit")->text().isEmpty());
    EXPECT_TRUE(memo()->toPlainText().isEmpty());
    EXPECT_TRUE(form->currentTemplate().templatePath.isEmpty());
    EXPECT_TRUE(form->currentTemplate().attachment.isEmpty());
}
