#include "ComposeFormsTestSupport.h"
#include "compose/forms/HtmlView.h"
#include "compose/forms/TMailerForm.h"
#include "compose/forms/TPreviewForm.h"
#include "send/PythonMail.h"
#include "support/FormTestSupport.h"
#include "support/ScriptedMessages.h"

#include <QFrame>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QWebEngineView>
#include <memory>

// The composer's HTML mode: an e-mail file opened, shown in the browser view and
// previewed merged for the marked records; the view never runs a mail's scripts and
// hands clicked links to the desktop.

namespace {

bool waitForPage(HtmlView* view) {
    QSignalSpy loaded(view, &HtmlView::loadFinished);
    return view->isLoading() ? loaded.wait(30000) && loaded.first().value(0).toBool()
                             : !view->pageText().isNull();
}

class HtmlComposerTest : public ::testing::Test {
protected:
    void SetUp() override {
        env.openInto(state);
        ASSERT_NO_FATAL_FAILURE(markIds(state.session.currentTable(), {2, 4}));
        env.writeAccount(25, "info@firma.de <Firma GmbH>");
        mailFile = env.programFolder() + "Newsletter.eml";
        ASSERT_TRUE(writeMailByPython(mailFile));
        mailer = std::make_unique<TMailerForm>(state);
        mailer->openForComposition(MailTemplate::Mode::Html, QString(), 2);
    }
    void TearDown() override { mailer.reset(); }

    QString shownName() const {
        return QFileInfo(mailer->browser()->shownUrl().toLocalFile()).fileName();
    }

    ComposeEnvironment env{4};
    AppState state;
    QString mailFile;
    std::unique_ptr<TMailerForm> mailer;
};

} // namespace

TEST_F(HtmlComposerTest, OpensAnEmailFileIntoAPrivateCopyAndShowsItWithoutItsScripts) {
    ScriptedFilePicker picker;
    picker.answer(mailFile).answer(mailFile).answer(mailFile);
    const QByteArray before = readBytes(mailFile);
    click(mailer.get(), "OpenButton");
    ASSERT_EQ(picker.calls.size(), 1);
    EXPECT_EQ(picker.calls[0].folder, state.folders.userTemplatesFolder);
    EXPECT_TRUE(QDir(state.folders.userTemplatesFolder).exists());
    EXPECT_TRUE(picker.calls[0].filter.contains("*.eml"));

    const MailTemplate t = mailer->currentTemplate();
    EXPECT_TRUE(QRegularExpression("^[A-Za-z0-9]{10}\\.html$")
                    .match(QFileInfo(t.messageFile).fileName())
                    .hasMatch())
        << t.messageFile.toStdString();
    EXPECT_EQ(QFileInfo(t.messageFile).absolutePath() + "/", state.folders.systemTempFolder);
    EXPECT_EQ(readBytes(t.messageFile), before);
    EXPECT_EQ(mailer->findChild<QLineEdit*>("SubjectEdit")->text(),
              u("Grüße für unsere € Kunden – $NAME"));
    EXPECT_TRUE(t.htmlBody.contains("Hallo $NAME"));
    EXPECT_TRUE(t.plainBody.contains("Hallo $ANREDE $NAME"));
    for (const char* f :
         {"innerpreview1.html", "innerpreview2.html", "images1/bild_1.png", "images2/bild_1.png"})
        EXPECT_TRUE(QFile::exists(state.folders.systemTempFolder + f)) << f;
    EXPECT_FALSE(mailer->findChild<QPlainTextEdit*>("MessageMemo")->isVisible());
    EXPECT_TRUE(mailer->findChild<QFrame*>("Panel2")->isVisible());

    EXPECT_EQ(shownName(), "innerpreview1.html");
    ASSERT_TRUE(waitForPage(mailer->browser()));
    EXPECT_TRUE(mailer->browser()->pageText().contains("Hallo $NAME"));
    EXPECT_FALSE(mailer->browser()->pageText().contains("SKRIPT LIEF"));
    // Opened again: the other preview copy, then the first again.
    click(mailer.get(), "OpenButton");
    EXPECT_EQ(shownName(), "innerpreview2.html");
    ASSERT_TRUE(waitForPage(mailer->browser()));
    click(mailer.get(), "OpenButton");
    EXPECT_EQ(shownName(), "innerpreview1.html");
    ASSERT_TRUE(waitForPage(mailer->browser()));

    // An activation keeps a typed subject while the file is unchanged.
    mailer->findChild<QLineEdit*>("SubjectEdit")->setText("Eigener Betreff $NAME");
    mailer->activationSetUp();
    EXPECT_EQ(mailer->findChild<QLineEdit*>("SubjectEdit")->text(), "Eigener Betreff $NAME");
}

TEST_F(HtmlComposerTest, PreviewShowsTheMergedMessageOfEachMarkedRecord) {
    ScriptedFilePicker picker;
    picker.answer(mailFile);
    click(mailer.get(), "OpenButton");
    ScriptedMessages messages;
    click(mailer.get(), "PreviewBitBtn");
    TPreviewForm* preview = mailer->previewForm();
    ASSERT_TRUE(preview->isVisible());
    EXPECT_TRUE(preview->findChild<QFrame*>("BrowserPanel")->isVisible());
    EXPECT_FALSE(preview->findChild<QPlainTextEdit*>("PreviewMemo")->isVisible());
    ASSERT_TRUE(waitForPage(preview->browser()));
    EXPECT_TRUE(preview->browser()->pageText().contains("Hallo Schulz")) // record 2
        << preview->browser()->pageText().toStdString();
    EXPECT_TRUE(QFile::exists(state.folders.systemTempFolder + "Sending.eml"));
    const QString first = preview->browser()->shownUrl().toLocalFile();
    click(preview, "NextButton");
    ASSERT_TRUE(waitForPage(preview->browser()));
    EXPECT_TRUE(preview->browser()->pageText().contains("Hallo Dorn")); // record 4
    EXPECT_NE(preview->browser()->shownUrl().toLocalFile(), first);
    preview->close();
}

// A click on a link goes to the desktop; the view stays on its page. Scripts never run.
TEST(HtmlView, HandsClickedLinksToTheDesktopAndRunsNoScript) {
    TempProgramFolder folder;
    const QString page = folder.file("seite.html");
    writeBytes(page, "<html><body style='margin:0'><a href='https://www.firma.de/ziel' "
                     "style='display:block;width:100%;height:400px'>Ziel</a>"
                     "<script>document.body.innerHTML='SKRIPT LIEF'</script></body></html>");
    RecordingOpener opener;
    HtmlView view;
    view.resize(400, 400);
    view.show();
    view.showFile(page);
    ASSERT_TRUE(waitForPage(&view));
    EXPECT_TRUE(view.pageText().contains("Ziel"));
    EXPECT_FALSE(view.pageText().contains("SKRIPT"));
    QSignalSpy opened(&view, &HtmlView::linkOpened);
    QWidget* target = view.view()->focusProxy();
    ASSERT_NE(target, nullptr);
    for (int i = 0; i < 20 && opened.isEmpty(); ++i) {
        QTest::mouseClick(target, Qt::LeftButton, {}, QPoint(200, 100));
        opened.wait(500);
    }
    ASSERT_FALSE(opened.isEmpty());
    EXPECT_EQ(opener.opened, QStringList{"https://www.firma.de/ziel"});
    EXPECT_EQ(view.view()->url(), QUrl::fromLocalFile(page));
}
