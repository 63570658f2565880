#include "compose/forms/TPreviewForm.h"

#include "ComposeFormsTestSupport.h"
#include "compose/forms/TMailerForm.h"
#include "support/ScriptedMessages.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <memory>

namespace {

class PreviewFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        env.openInto(state);
        // Marked: IDs 2 and 4.
        ASSERT_NO_FATAL_FAILURE(markIds(state.session.currentTable(), {2, 4}));
        ASSERT_TRUE(state.session.currentTable()->locateId(1));
        mailer = std::make_unique<TMailerForm>(state);
        mailer->openForComposition(MailTemplate::Mode::Text, QString(), 0);
        preview = mailer->previewForm();
    }
    void TearDown() override { mailer.reset(); }

    template <typename T> T* child(const char* name) const {
        T* w = preview->findChild<T*>(QLatin1String(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    void click(const char* name) {
        QTest::mouseClick(preview->findChild<QPushButton*>(QLatin1String(name)), Qt::LeftButton);
    }
    QString label() const { return child<QLabel>("PreviewLabel")->text(); }
    QString subject() const { return child<QLineEdit>("PreviewSubjectEdit")->text(); }
    QString body() const { return child<QPlainTextEdit>("PreviewMemo")->toPlainText(); }

    ComposeEnvironment env{4};
    AppState state;
    std::unique_ptr<TMailerForm> mailer;
    TPreviewForm* preview = nullptr;
};

} // namespace

TEST_F(PreviewFormTest, StepsThroughTheMarkedRecordsWithTheMergedText) {
    ScriptedMessages messages;
    const QString attachment = env.programFolder() + "Anhang.txt";
    TextFile::writeLines(attachment, {"x"});
    mailer->findChild<QLineEdit*>("SubjectEdit")->setText("Angebot für $NAME");
    mailer->findChild<QPlainTextEdit*>("MessageMemo")->setPlainText("$ANREDE $NAME,\n\nGruß");

    QTest::mouseClick(mailer->findChild<QPushButton*>("PreviewBitBtn"), Qt::LeftButton);
    ASSERT_TRUE(preview->isVisible());
    EXPECT_EQ(preview->windowTitle(), "Vorschau");
    // The preview walks the marked records on its own: the grid keeps every record and
    // its current one.
    AddressTable* table = state.session.currentTable();
    EXPECT_FALSE(table->filtered());
    EXPECT_EQ(table->recordCount(), 4);
    EXPECT_EQ(table->currentId(), 1);
    EXPECT_EQ(label(), "Vorschau Datensatz Nr: 2");
    EXPECT_EQ(subject(), QString::fromUtf8("Angebot für Schulz"));
    EXPECT_EQ(body(), "Sehr geehrter Herr Schulz,\n\nGruß");
    EXPECT_FALSE(child<QWidget>("BrowserPanel")->isVisible());

    // The files of the preview: the template and the merged message.
    const QString temp = state.folders.systemTempFolder;
    EXPECT_EQ(TextFile::readLines(temp + "temp.mail"),
              QStringList({"[SUBJECT]", QString::fromUtf8("Angebot für $NAME"), "[TEXT]",
                           "$ANREDE $NAME,", "", QString::fromUtf8("Gruß"), "[ATTACHEMENT]", ""}));
    EXPECT_EQ(TextFile::readLines(temp + "Preview.mail").at(1),
              QString::fromUtf8("Angebot für Schulz"));
    // The composer keeps its placeholders.
    EXPECT_EQ(mailer->currentTemplate().subject, QString::fromUtf8("Angebot für $NAME"));

    click("NextButton");
    EXPECT_EQ(label(), "Vorschau Datensatz Nr: 4");
    EXPECT_EQ(body(), "Sehr geehrte Frau Dorn,\n\nGruß");
    click("NextButton"); // the last marked record stays
    EXPECT_EQ(label(), "Vorschau Datensatz Nr: 4");
    click("PriorButton");
    EXPECT_EQ(label(), "Vorschau Datensatz Nr: 2");
    EXPECT_EQ(table->currentId(), 1);

    // "Aktualisieren" takes the composer's changes; an attachment is not shown.
    mailer->findChild<QPlainTextEdit*>("MessageMemo")->setPlainText("Neu: $NAME");
    ScriptedFilePicker picker;
    picker.answer(attachment);
    QTest::mouseClick(mailer->findChild<QPushButton*>("BitBtn1"), Qt::LeftButton);
    click("RefreshButton");
    EXPECT_EQ(body(), "Neu: Schulz");
    EXPECT_TRUE(TextFile::readLines(temp + "Preview.mail").contains(attachment));

    // "Schliessen": the grid is as it was.
    click("CloseButton");
    EXPECT_FALSE(preview->isVisible());
    EXPECT_FALSE(table->filtered());
    EXPECT_TRUE(table->filter().isEmpty());
    EXPECT_EQ(table->recordCount(), 4);
    EXPECT_EQ(table->currentId(), 1);
}

TEST_F(PreviewFormTest, WithoutMarkedRecordsNothingIsShown) {
    ScriptedMessages messages;
    AddressTable* table = state.session.currentTable();
    for (qint64 id : {2, 4}) {
        ASSERT_TRUE(table->locateId(id));
        table->edit();
        table->setBool(QStringLiteral("Selected"), false);
        ASSERT_TRUE(table->post());
    }
    messages.expectInformation(QString::fromUtf8("Keine Datensätze zum Versenden markiert!"));
    mailer->preview();
    EXPECT_FALSE(preview->isVisible());
    EXPECT_FALSE(table->filtered());
    EXPECT_EQ(table->recordCount(), 4);
}
