#include "shell/forms/QtMessages.h"

#include "database/AddressTable.h"
#include "platform/QtTranslations.h"
#include "shell/forms/MainFormTestSupport.h"
#include "support/FormTestSupport.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QTranslator>
#include <gtest/gtest.h>

namespace {

// What a message box offered before a key was pressed on it.
struct BoxSeen {
    QStringList buttons; // texts without mnemonics, in the box's order
    QString defaultButton;
};

QString plain(QString text) {
    return text.remove(QChar('&'));
}

// Presses the key on the message box the next call opens and records its buttons.
void pressOnNextBox(Qt::Key key, BoxSeen* seen) {
    QTimer::singleShot(0, [key, seen] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        const auto* buttonBox = box->findChild<QDialogButtonBox*>();
        ASSERT_NE(buttonBox, nullptr);
        for (QAbstractButton* b : buttonBox->buttons())
            seen->buttons << plain(b->text());
        seen->buttons.sort();
        if (box->defaultButton())
            seen->defaultButton = plain(box->defaultButton()->text());
        QTest::keyClick(box, key);
    });
}

} // namespace

TEST(QtMessages, DestructiveQuestionsDefaultToNeinAndEveryButtonIsGerman) {
    QtMessages messages;
    BoxSeen seen;

    pressOnNextBox(Qt::Key_Return, &seen);
    EXPECT_FALSE(messages.destructiveQuestion(u("Datenbank komplett leeren?")));
    EXPECT_EQ(seen.buttons, QStringList({"Ja", "Nein"}));
    EXPECT_EQ(seen.defaultButton, "Nein");

    seen = {};
    pressOnNextBox(Qt::Key_Escape, &seen);
    EXPECT_FALSE(messages.destructiveQuestion(u("Datensatz wirklich löschen?")));

    // An ordinary question keeps "Ja" as its default.
    seen = {};
    pressOnNextBox(Qt::Key_Return, &seen);
    EXPECT_TRUE(messages.question(u("Weiter?")));
    EXPECT_EQ(seen.defaultButton, "Ja");

    seen = {};
    pressOnNextBox(Qt::Key_Escape, &seen);
    EXPECT_EQ(messages.questionYesNoAbort(u("Nur für diese Datenbank?")), Messages::Answer::Abort);
    EXPECT_EQ(seen.buttons, QStringList({"Abbrechen", "Ja", "Nein"}));

    seen = {};
    pressOnNextBox(Qt::Key_Return, &seen);
    messages.information(u("Fertig"));
    EXPECT_EQ(seen.buttons, QStringList({"OK"}));
}

// The user's case: Enter on both questions of "Datenbank komplett leeren" keeps every record.
class DestructiveDefaultTest : public MainWindowTest {};

TEST_F(DestructiveDefaultTest, EnterNeverEmptiesTheDatabase) {
    ASSERT_NO_FATAL_FAILURE(layOutFilledStandardDatabase(
        m_program.path(), {"Mail", "Name"}, {{"a@example.de", "A"}, {"b@example.de", "B"}}));
    QtMessages messages;
    Messages::install(&messages);
    TMainForm& form = createForm(true);
    BoxSeen seen;
    pressOnNextBox(Qt::Key_Return, &seen);
    child<QAction>("Datenbankkomplettleeren1")->trigger();
    Messages::install(nullptr);
    EXPECT_EQ(seen.defaultButton, "Nein");
    ASSERT_NE(form.state().session.currentTable(), nullptr);
    EXPECT_EQ(form.state().session.currentTable()->recordCount(), 2);
}

// Qt's own dialogs after the start-up's translation loading.
TEST(QtTranslations, StandardDialogsSpeakGerman) {
    QTranslator* translator = InstallGermanQtTranslations(*qApp);
    ASSERT_NE(translator, nullptr) << "qtbase_de not found (package qt6-translations-l10n)";

    QMessageBox box(QMessageBox::Question, "Quillon", "?",
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    QStringList texts;
    for (QAbstractButton* b : box.buttons())
        texts << plain(b->text());
    texts.sort();
    EXPECT_EQ(texts, QStringList({"Abbrechen", "Ja", "Nein"}));

    QFileDialog dialog(nullptr, "Datei");
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    const auto* fileNameLabel = dialog.findChild<QLabel*>("fileNameLabel");
    ASSERT_NE(fileNameLabel, nullptr);
    EXPECT_EQ(plain(fileNameLabel->text()), "Dateiname:");
    const auto* buttons = dialog.findChild<QDialogButtonBox*>("buttonBox");
    ASSERT_NE(buttons, nullptr);
    QStringList dialogTexts;
    for (QAbstractButton* b : buttons->buttons())
        dialogTexts << plain(b->text());
    dialogTexts.sort();
    EXPECT_EQ(dialogTexts, QStringList({"Abbrechen", "Speichern"}));

    // Later tests see Qt's texts as they were.
    QCoreApplication::removeTranslator(translator);
    delete translator;
}
