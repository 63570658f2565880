#include "database/forms/TBackupForm.h"
#include "database/forms/TMigrationForm.h"

#include "common/TextFile.h"
#include "database/AddressTable.h"
#include "database/Catalogue.h"
#include "shell/forms/AddressGridModel.h"
#include "shell/forms/MainFormTestSupport.h"
#include "support/ScriptedMessages.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeView>

namespace {

QAction* menuAction(QWidget* form, const char* name) {
    return form->findChild<QAction*>(QLatin1String(name));
}

void addRecords(AddressTable* table, const QStringList& mails) {
    for (const QString& mail : mails) {
        table->append();
        table->setString("Mail", mail);
        ASSERT_TRUE(table->post());
    }
}

// Clicks the middle of a control: the window must hand the click to that control.
void expectTakesMouse(QWidget* window, QWidget* control) {
    const QPoint middle = control->mapTo(window, control->rect().center());
    QWidget* hit = window->childAt(middle);
    EXPECT_TRUE(hit == control || control->isAncestorOf(hit))
        << control->objectName().toStdString();
}

using BackupWindowTest = MainWindowTest;

} // namespace

TEST_F(BackupWindowTest, BackupAndRestoreThroughTheMenu) {
    TMainForm& main = createForm(true);
    AddressTable* table = state().session.currentTable();
    ASSERT_NE(table, nullptr);
    addRecords(table, {"anna@example.de", "bernd@example.de", u("jörg@example.de")});
    const QString start = state().folders.userTemplatesFolder;
    QDir(start).removeRecursively();

    {
        ScriptedMessages messages;
        messages.expectInformation(u("Backup wurde durchgeführt!"));
        bool shown = false;
        whenDialogShows([&](QWidget* w) {
            auto* form = qobject_cast<TBackupForm*>(w);
            ASSERT_NE(form, nullptr);
            shown = true;
            EXPECT_EQ(form->windowTitle(), "Backup");
            EXPECT_EQ(child<QLabel>(form, "DoLabel")->text(),
                      "Backup soll im folgendem Ordner erstellt werden:");
            EXPECT_EQ(child<QPushButton>(form, "SaveBitBtn")->text(), "Speichern");
            EXPECT_EQ(child<QPushButton>(form, "AbortBitBtn")->text(), "Abbrechen");
            EXPECT_TRUE(child<QListWidget>(form, "ListBox1")->isHidden());
            EXPECT_EQ(child<QLabel>(form, "DateinameLabel")->text(),
                      u("Neuer Ordner für das Backup:"));
            // The user's folder is made and chosen.
            EXPECT_TRUE(QFileInfo(start).isDir());
            EXPECT_EQ(QDir(form->folder()), QDir(start));
            auto* name = child<QLineEdit>(form, "FileNameEdit");
            for (const char* c : {"FileNameEdit", "SaveBitBtn", "AbortBitBtn", "DriveComboBox1",
                                  "DirectoryListBox1"})
                expectTakesMouse(form, child<QWidget>(form, c));
            EXPECT_TRUE(name->text().isEmpty());
            QTest::mouseClick(name, Qt::LeftButton);
            QTest::keyClicks(name, "Sicherung Dezember ");
            QTest::sendKeyEvent(QTest::Click, name, Qt::Key_Adiaeresis, u("ä"), Qt::NoModifier);
            click(form, "SaveBitBtn");
            EXPECT_EQ(child<QProgressBar>(form, "ProgressBar1")->value(), 100);
        });
        menuAction(&main, "Backup2")->trigger();
        EXPECT_TRUE(shown);
        EXPECT_FALSE(main.backupForm()->isVisible());
    }
    const QString made = start + u("Sicherung Dezember ä/");
    ASSERT_TRUE(QFile::exists(made + "Database.DB"));
    // The new subfolder name is emptied on the next showing.
    main.backupForm()->prepare(TBackupForm::Mode::Backup);
    EXPECT_TRUE(child<QLineEdit>(main.backupForm(), "FileNameEdit")->text().isEmpty());

    // Afterwards the records go and the backup's catalogue lists three databases.
    table->deleteRecords(table->tableIds());
    EXPECT_EQ(main.gridModel()->rowCount(), 0);
    TextFile::appendLine(made + "Buttons.ini", "Kunden| cddrive.bmp|kunden.ini");
    TextFile::appendLine(made + "Buttons.ini", "Altkunden| cddrive.bmp|altkunden.ini");
    EXPECT_TRUE(child<QPushButton>("OpenModeBitBtn")->isHidden());

    ScriptedMessages messages;
    messages
        .expectDestructiveQuestion(
            u("Wollen Sie diese Backup wirklich wieder herstellen?\r\rHinweis: Damit wird die "
              "derzeitige Datenbank überschrieben. Derzeitige Daten gehen somit verloren!"),
            true)
        .expectInformation("Backup wurde erfolgreich wiederhergestellt!");
    whenDialogShows([&](QWidget* w) {
        auto* form = qobject_cast<TBackupForm*>(w);
        ASSERT_NE(form, nullptr);
        EXPECT_EQ(child<QLabel>(form, "DoLabel")->text(), u("Ordner mit Backup auswählen:"));
        EXPECT_EQ(child<QPushButton>(form, "SaveBitBtn")->text(), u("Öffnen"));
        EXPECT_TRUE(child<QLineEdit>(form, "FileNameEdit")->isHidden());
        EXPECT_TRUE(child<QLabel>(form, "DateinameLabel")->isHidden());
        auto* list = child<QListWidget>(form, "ListBox1");
        EXPECT_FALSE(list->isHidden());
        EXPECT_EQ(list->count(), 0); // the user's folder holds no backup
        form->setFolder(made);
        ASSERT_EQ(list->count(), 2);
        EXPECT_EQ(list->item(0)->text(), "Quillon Backup");
        click(form, "SaveBitBtn");
    });
    menuAction(&main, "Restore1")->trigger();
    EXPECT_TRUE(messages.allShown());
    table = state().session.currentTable();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(main.gridModel()->rowCount(), 3);
    EXPECT_EQ(table->recordCount(), 3);
    EXPECT_FALSE(child<QPushButton>("OpenModeBitBtn")->isHidden());
    EXPECT_TRUE(menuAction(&main, "Datenbankffnen2")->isEnabled());
    EXPECT_TRUE(menuAction(&main, "Datentransfer1")->isEnabled());
}

TEST_F(BackupWindowTest, RestoreFromAFolderWithoutBackupKeepsTheWindowOpen) {
    TMainForm& main = createForm(true);
    TBackupForm* form = main.backupForm();
    form->prepare(TBackupForm::Mode::Restore);
    form->show();
    ScriptedMessages messages;
    messages.expectInformation("Kein Backup in diesem Ordner gefunden!");
    click(form, "SaveBitBtn");
    EXPECT_TRUE(form->isVisible());
    EXPECT_NE(state().session.currentTable(), nullptr); // reopened
    click(form, "AbortBitBtn");
    EXPECT_FALSE(form->isVisible());
}

namespace {

// A second database "Quelle" with the free columns Stadt and Telefon, three records of
// which two are marked; the standard database is open.
class TransferWindowTest : public MainWindowTest {
protected:
    TMainForm& prepareDatabases() {
        TMainForm& main = createForm(true);
        ScriptedMessages messages;
        messages.expectInformation("Datenbank wurde erzeugt!");
        EXPECT_TRUE(CreateDatabase(state().session, "Quelle", {"Stadt", "Telefon"}, messages));
        AddressTable* source = state().session.currentTable();
        const char* rows[][3] = {{"anna@example.de", "Köln", "1"},
                                 {"bernd@example.de", "Bonn", "0"},
                                 {"clara@example.de", "Essen", "1"}};
        for (const auto& r : rows) {
            source->append();
            source->setString("Mail", QString::fromUtf8(r[0]));
            source->setString("Spalte1", QString::fromUtf8(r[1]));
            source->setBool("Selected", r[2][0] == '1');
            EXPECT_TRUE(source->post());
        }
        EXPECT_TRUE(OpenDatabase(state().session, "Database.ini", messages));
        return main;
    }

    static void chooseWithKeys(QComboBox* box, int steps) {
        box->setFocus();
        for (int i = 0; i < steps; ++i)
            QTest::keyClick(box, Qt::Key_Down);
    }
};

} // namespace

TEST_F(TransferWindowTest, MappedTransferOfTheMarkedRecords) {
    TMainForm& main = prepareDatabases();
    ASSERT_TRUE(menuAction(&main, "Datentransfer1")->isEnabled());
    const QString displayName = state().session.displayName();
    ScriptedMessages messages;
    messages
        .expectInformation(u("Quell und Zieldatenbank identisch! Datensätze können nicht in "
                             "sich selbst übernommen werden!"))
        .expectQuestion(u("Wollen Sie wirklich keine weiteren Felder zuordnen?"), false)
        .expectQuestion(u("Es werden 2 Datensätze aus der Datenbank \"Quelle\" in die Datenbank "
                          "\"") +
                            displayName + u(" \" übernommen.\rWollen Sie den Transfer starten?"),
                        false)
        .expectQuestion(u("Es werden 2 Datensätze aus der Datenbank \"Quelle\" in die Datenbank "
                          "\"") +
                            displayName + u(" \" übernommen.\rWollen Sie den Transfer starten?"),
                        true);
    bool shown = false;
    whenDialogShows([&](QWidget* w) {
        auto* form = qobject_cast<TMigrationForm*>(w);
        ASSERT_NE(form, nullptr);
        shown = true;
        EXPECT_EQ(form->windowTitle(), "Transfer");
        auto* source = child<QComboBox>(form, "ComboBox1");
        auto* target = child<QComboBox>(form, "ComboBox2");
        auto* start = child<QPushButton>(form, "StartBitBtn");
        ASSERT_EQ(source->count(), 2);
        EXPECT_EQ(source->currentIndex(), -1);
        EXPECT_EQ(target->currentText(), displayName);
        EXPECT_FALSE(target->isEnabled());
        EXPECT_FALSE(start->isEnabled());
        EXPECT_TRUE(child<QRadioButton>(form, "AlleRadioButton")->isChecked());
        EXPECT_TRUE(child<QLabel>(form, "StatusLabel")->text().isEmpty());
        for (const char* c : {"ComboBox1", "StartBitBtn", "AbortBitBtn", "HilfeBitBtn",
                              "AlleRadioButton", "SeletctierteRadioButton"})
            expectTakesMouse(form, child<QWidget>(form, c));
        // One row per field from the ninth on.
        auto* ort = child<QComboBox>(form, "Combo_Ort");
        ASSERT_NE(ort, nullptr);
        EXPECT_EQ(child<QLabel>(form, "Label_Ort")->text(),
                  u("----->  wird übernommen in das Feld \"Ort\""));
        EXPECT_EQ(child<QLabel>(form, "Label_Str")->text(),
                  u("----->  wird übernommen in das Feld \"Straße\""));
        EXPECT_NE(form->findChild<QComboBox*>("Combo_Vorname"), nullptr);
        EXPECT_EQ(form->findChild<QComboBox*>("Combo_Name"), nullptr);
        EXPECT_EQ(ort->maxVisibleItems(), 40);

        chooseWithKeys(source, 1); // the open database itself
        EXPECT_FALSE(start->isEnabled());
        chooseWithKeys(source, 1);
        EXPECT_EQ(source->currentText(), "Quelle");
        EXPECT_TRUE(start->isEnabled());
        ort = child<QComboBox>(form, "Combo_Ort");
        EXPECT_EQ(ort->count(), 3);
        EXPECT_EQ(ort->currentText(), "Nichts");
        QTest::mouseClick(child<QRadioButton>(form, "SeletctierteRadioButton"), Qt::LeftButton);
        click(form, "StartBitBtn"); // no field mapped: declined
        chooseWithKeys(ort, 1);
        EXPECT_EQ(ort->currentText(), "Stadt");
        click(form, "StartBitBtn"); // declined: the window stays with its choices
        EXPECT_TRUE(form->isVisible());
        EXPECT_EQ(state().session.currentTable()->recordCount(), 0);
        click(form, "StartBitBtn");
        EXPECT_EQ(child<QLabel>(form, "StatusLabel")->text(), u("2 Datensäte von 2 (100 Prozent)"));
        EXPECT_EQ(child<QProgressBar>(form, "ProgressBar1")->value(), 100);
    });
    menuAction(&main, "Datentransfer1")->trigger();
    EXPECT_TRUE(shown);
    EXPECT_TRUE(messages.allShown());
    AddressTable* table = state().session.currentTable();
    ASSERT_EQ(table->recordCount(), 2);
    EXPECT_EQ(main.gridModel()->rowCount(), 2);
    table->first();
    EXPECT_EQ(table->asString("Mail"), "anna@example.de");
    EXPECT_EQ(table->asString("Ort"), u("Köln"));
    EXPECT_EQ(table->asString("Vorname"), u("Köln")); // position 9
    table->next();
    EXPECT_EQ(table->asString("Mail"), "clara@example.de");
}
