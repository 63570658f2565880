#include "database/forms/DatabaseDialogs.h"

#include "common/TextFile.h"
#include "database/AddressTable.h"
#include "database/Catalogue.h"
#include "database/DatabaseTestSupport.h"
#include "database/forms/TNewDatabaseForm.h"
#include "database/forms/TSelectDatabaseForm.h"
#include "shell/AppState.h"
#include "support/FormTestSupport.h"
#include "support/ScriptedMessages.h"
#include "support/TempProgramFolder.h"

#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

const QString kNoChoice = QStringLiteral("Bitte treffen Sie zuerst eine Auswahl!");

void doubleClickRow(QListWidget* list, int row) {
    const QRect rect = list->visualItemRect(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rect.center());
}

QList<CatalogEntry> threeEntries() {
    return catalogueEntries({"Datenbanken", "Grundstock| cddrive.bmp|Database.ini",
                             "Kunden| cddrive.bmp|kunden.ini",
                             "Altkunden| cddrive.bmp|altkunden.ini"});
}

class DialogsTest : public ::testing::Test {
protected:
    void SetUp() override {
        layOutStandardDatabase(state, folder.path());
        ScriptedMessages messages;
        messages.expectInformation("Datenbank wurde erzeugt!");
        ASSERT_TRUE(CreateDatabase(state.session, "Kunden", {"Ort"}, messages));
        messages.expectInformation("Datenbank wurde erzeugt!");
        ASSERT_TRUE(CreateDatabase(state.session, "Altkunden", {"PLZ"}, messages));
        ASSERT_TRUE(OpenDatabase(state.session, "Database.ini", messages));
        ASSERT_TRUE(writeLastOpenDatabase(folder.path(), "Database.ini"));
    }
    void TearDown() override { CloseDatabase(state.session); }

    QString lastOpen() const { return TextFile::readLines(folder.file("LastopenDB.inc")).value(0); }

    TempProgramFolder folder;
    AppState state;
    QWidget window;
};

} // namespace

TEST(SelectDatabaseForm, OpenModePicksByDoubleClickOrButton) {
    TSelectDatabaseForm form;
    EXPECT_EQ(form.windowTitle(), "Datenbank");
    form.setMode(TSelectDatabaseForm::Mode::Open);
    form.setEntries(threeEntries());
    form.prepare();
    form.show();
    EXPECT_EQ(child<QLabel>(&form, "TopLabel")->text(), QString::fromUtf8("Öffnen Datenbank"));
    EXPECT_TRUE(child<QPushButton>(&form, "OpenBitBtn")->isVisible());
    EXPECT_FALSE(child<QPushButton>(&form, "DeleteBitBtn")->isVisible());
    EXPECT_EQ(child<QPushButton>(&form, "OpenBitBtn")->text(), QString::fromUtf8("Öffnen"));
    EXPECT_EQ(child<QPushButton>(&form, "AbortBitBtn")->text(), "Abbrechen");

    auto* list = child<QListWidget>(&form, "ListBox1");
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->item(1)->text(), "Kunden");

    doubleClickRow(list, 2);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), "altkunden.ini");

    // Reopened: the selection is kept; "Öffnen" picks it.
    form.setEntries(threeEntries());
    form.prepare();
    form.show();
    EXPECT_EQ(list->currentRow(), 2);
    child<QPushButton>(&form, "OpenBitBtn")->click();
    EXPECT_EQ(form.result(), "altkunden.ini");

    // "Abbrechen" picks nothing.
    form.prepare();
    form.show();
    child<QPushButton>(&form, "AbortBitBtn")->click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), "");
}

TEST(SelectDatabaseForm, ButtonWithoutSelectionClosesWithoutPick) {
    TSelectDatabaseForm form;
    form.setEntries(threeEntries());
    for (auto mode : {TSelectDatabaseForm::Mode::Open, TSelectDatabaseForm::Mode::Delete}) {
        form.setMode(mode);
        form.prepare();
        form.show();
        child<QListWidget>(&form, "ListBox1")->clearSelection();
        ScriptedMessages messages;
        messages.expectInformation(kNoChoice);
        child<QPushButton>(&form,
                           mode == TSelectDatabaseForm::Mode::Open ? "OpenBitBtn" : "DeleteBitBtn")
            ->click();
        EXPECT_FALSE(form.isVisible());
        EXPECT_EQ(form.result(), "");
        EXPECT_EQ(form.QDialog::result(), QDialog::Rejected);
    }
}

TEST(SelectDatabaseForm, DeleteModeDoubleClickOnlySelects) {
    TSelectDatabaseForm form;
    form.setMode(TSelectDatabaseForm::Mode::Delete);
    form.setEntries(threeEntries());
    form.prepare();
    form.show();
    EXPECT_EQ(child<QLabel>(&form, "TopLabel")->text(), QString::fromUtf8("Löschen Datenbank"));
    EXPECT_FALSE(child<QPushButton>(&form, "OpenBitBtn")->isVisible());
    auto* deleteButton = child<QPushButton>(&form, "DeleteBitBtn");
    EXPECT_TRUE(deleteButton->isVisible());
    EXPECT_EQ(deleteButton->text(), QString::fromUtf8("Löschen"));

    auto* list = child<QListWidget>(&form, "ListBox1");
    doubleClickRow(list, 1);
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.result(), "");
    EXPECT_EQ(list->currentRow(), 1);
    deleteButton->click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), "kunden.ini");
}

TEST(NewDatabaseForm, PresetAndChecksKeepTheDialogOpen) {
    TempProgramFolder folder;
    AppState state;
    layOutStandardDatabase(state, folder.path());
    TNewDatabaseForm form;
    form.setDataFolder(state.folders.dataFolder);
    EXPECT_EQ(form.windowTitle(), "Neue Datenbank");
    auto* memo1 = child<QPlainTextEdit>(&form, "Memo1");
    EXPECT_TRUE(memo1->isReadOnly());
    EXPECT_EQ(memo1->toPlainText(),
              "ID\nSelected\nInvalid\nLetztesMail\nMail\nAnrede\nBetreff\nName");
    EXPECT_EQ(form.captionLines(),
              QStringList({"Gewinnspielfrage", "Bestellnummer ", "Feedback etc.", "Vorname",
                           "Alter", "Geschlecht", QString::fromUtf8("Straße"), "PLZ", "Ort"}));

    auto* edit = child<QLineEdit>(&form, "Edit1");
    auto* memo2 = child<QPlainTextEdit>(&form, "Memo2");
    auto* ok = child<QPushButton>(&form, "OKBitBtn");
    form.show();

    struct Case {
        QString name;
        QString captions;
        QString message;
    };
    const QList<Case> cases = {
        {"", "Ort", QString::fromUtf8("Bitte geben Sie einen Namen für die neue Datenbank ein!")},
        {QString(27, 'k'), "Ort",
         QString::fromUtf8("Achtung! Es ist nur Datenbanknamen mit maximal 26 Zeichen zulässig!")},
        {"Kunden", "PLZ\nOrt\nplz",
         "Sie haben den Feldnamen plz doppelt vergeben! Bitte korrigieren Sie dieses."},
        {"Kunden", "Name",
         "Sie haben den Feldnamen Name doppelt vergeben! Bitte korrigieren Sie "
         "dieses."},
        {"Data|base", "Ort", "Der Name darf das Zeichen \"|\" nicht enthalten!"},
        {"Database", "Ort",
         QString::fromUtf8("Eine Datenbank mit dem Namen \"database\" existiert bereits. Bitte "
                           "wählen Sie einen anderen Namen!")},
    };
    for (const Case& c : cases) {
        edit->setText(c.name);
        memo2->setPlainText(c.captions);
        ScriptedMessages messages;
        messages.expectInformation(c.message);
        ok->click();
        EXPECT_TRUE(form.isVisible()) << c.message.toStdString();
    }

    edit->setText(QString::fromUtf8("Müller & Söhne"));
    memo2->setPlainText("Ort\n\nPLZ\n");
    ok->click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.QDialog::result(), QDialog::Accepted);
    EXPECT_EQ(form.displayName(), QString::fromUtf8("Müller & Söhne"));
    EXPECT_EQ(form.fileName(), "mueller_a_soehne");
    EXPECT_EQ(form.captionLines(), QStringList({"Ort", "", "PLZ"}));
}

TEST_F(DialogsTest, OpenViaDialogAbortChangesNothing) {
    DatabaseDialogs dialogs(state.session, &window);
    QTimer::singleShot(0, [&] {
        EXPECT_TRUE(dialogs.selectForm()->isVisible());
        child<QPushButton>(dialogs.selectForm(), "AbortBitBtn")->click();
    });
    dialogs.openViaDialog();
    EXPECT_EQ(lastOpen(), "Database.ini");
    EXPECT_EQ(state.session.definitionName(), "Database.ini");
    EXPECT_TRUE(state.session.hasOpenTable());

    QTimer::singleShot(0, [&] {
        auto* list = child<QListWidget>(dialogs.selectForm(), "ListBox1");
        ASSERT_EQ(list->count(), 3);
        doubleClickRow(list, 1);
    });
    dialogs.openViaDialog();
    EXPECT_EQ(lastOpen(), "kunden.ini");
    EXPECT_EQ(state.session.definitionName(), "kunden.ini");
    EXPECT_EQ(state.session.displayName(), "Kunden");
    EXPECT_TRUE(state.session.hasOpenTable());
}

TEST_F(DialogsTest, DeleteViaDialogAndCreateViaDialog) {
    DatabaseDialogs dialogs(state.session, &window);
    ScriptedMessages messages;
    messages
        .expectDestructiveQuestion(
            QString::fromUtf8("Wollen Sie diese Datenbank wirklich löschen?"), true)
        .expectDestructiveQuestion(
            QString::fromUtf8("Alle Daten dieser Datenbank gehen verloren! Wirklich löschen?"),
            true);
    QTimer::singleShot(0, [&] {
        EXPECT_EQ(child<QLabel>(dialogs.selectForm(), "TopLabel")->text(),
                  QString::fromUtf8("Löschen Datenbank"));
        child<QListWidget>(dialogs.selectForm(), "ListBox1")->setCurrentRow(2);
        child<QPushButton>(dialogs.selectForm(), "DeleteBitBtn")->click();
    });
    dialogs.deleteViaDialog();
    EXPECT_FALSE(QFileInfo::exists(state.folders.dataFolder + "altkunden.ini"));
    EXPECT_TRUE(QFileInfo::exists(state.folders.dataFolder + "kunden.ini"));
    EXPECT_EQ(state.session.catalogueDatabaseCount(), 2);
    EXPECT_EQ(lastOpen(), "Database.ini");

    messages.expectInformation("Datenbank wurde erzeugt!");
    QTimer::singleShot(0, [&] {
        child<QLineEdit>(dialogs.newForm(), "Edit1")->setText("Kunden 2024");
        child<QPlainTextEdit>(dialogs.newForm(), "Memo2")->setPlainText("Ort\n\nPLZ");
        child<QPushButton>(dialogs.newForm(), "OKBitBtn")->click();
    });
    dialogs.createViaDialog();
    EXPECT_EQ(state.session.catalogueLines().last(), "Kunden 2024| cddrive.bmp|kunden_2024.ini");
    EXPECT_EQ(lastOpen(), "kunden_2024.ini");
    ASSERT_TRUE(state.session.hasOpenTable());
    EXPECT_EQ(state.session.currentTable()->fieldName(9), "Spalte3");

    // "Abbrechen" in the new-database dialog creates nothing.
    QTimer::singleShot(0, [&] { child<QPushButton>(dialogs.newForm(), "AbortBitBtn")->click(); });
    dialogs.createViaDialog();
    EXPECT_EQ(state.session.catalogueDatabaseCount(), 3);
}
