#include "exchange/forms/ImportActions.h"
#include "exchange/forms/TImportForm.h"
#include "exchange/forms/TWizardImportForm.h"

#include "compose/forms/ComposeFormsTestSupport.h"
#include "exchange/ExchangeTestSupport.h"
#include "support/FormTestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QScrollArea>
#include <QTableWidget>

namespace {

class ImportFormsTest : public ImportFixture {
protected:
    void SetUp() override {
        ImportFixture::SetUp();
        ASSERT_TRUE(Startup::layOutShippedFiles(folder.path()).isEmpty());
    }

    // The preview cell of the row under the field's caption.
    static QString cell(QTableWidget* grid, int row, const QString& caption) {
        for (int c = 0; c < grid->columnCount(); ++c)
            if (grid->horizontalHeaderItem(c)->text() == caption)
                return grid->item(row, c) ? grid->item(row, c)->text() : QString();
        ADD_FAILURE() << "no column " << caption.toStdString();
        return {};
    }

    static void typeInto(QLineEdit* edit, const QString& text) {
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, text);
    }

    QWidget window;
};

} // namespace

TEST_F(ImportFormsTest, MenuEntryAndWizard) {
    ImportActions actions(state, &window);
    CloseDatabase(state.session);
    {
        ScriptedMessages m;
        m.expectInformation(u8"Zuerst Datenbank öffnen!");
        actions.start();
    }
    ScriptedMessages reopen;
    ASSERT_TRUE(OpenDatabase(state.session, "Database.ini", reopen));

    TWizardImportForm* wizard = actions.wizardForm();
    bool importShown = false;
    ScriptedMessages m;
    m.expectInformation("Bitte zuerst eine Auswahl treffen!");
    whenDialogShows([&](QWidget* dialog) {
        ASSERT_EQ(dialog, wizard);
        EXPECT_EQ(wizard->windowTitle(), "Import");
        EXPECT_EQ(child<QLabel>(wizard, "QuestionLabel")->text(), "Was wollen Sie tun?");
        // Every source has its stand-in, so every choice is offered.
        for (const char* name : {"OERadioButton", "OutlookButton", "WindowsMailRadioButton"})
            EXPECT_TRUE(child<QRadioButton>(wizard, name)->isEnabled()) << name;
        EXPECT_EQ(child<QRadioButton>(wizard, "OutlookButton")->text(),
                  "Outlook Kontakte importieren");
        auto* other = child<QRadioButton>(wizard, "OtherRadioButton");
        EXPECT_EQ(other->text(), "Andere Datenformate importieren");
        EXPECT_TRUE(other->isEnabled());
        click(wizard, "WeiterBitBtn"); // nothing chosen yet
        EXPECT_TRUE(wizard->isVisible());
        QTest::mouseClick(other, Qt::LeftButton, {}, QPoint(8, other->height() / 2));
        EXPECT_TRUE(other->isChecked());
        whenDialogShows([&](QWidget* next) {
            importShown = next == actions.importForm();
            click(next, "AbbrechenBitBtn");
        });
        click(wizard, "WeiterBitBtn");
    });
    actions.start();
    EXPECT_TRUE(importShown);
    EXPECT_EQ(wizard->checkedChoice(), TWizardImportForm::Choice::Other); // kept
}

TEST_F(ImportFormsTest, MappingPreviewBlacklistFixedEntryAndImport) {
    addRecords(table, {{{"Name", "Alt"}}, {{"Name", "Bleibt aktuell"}}});
    ASSERT_TRUE(table->locateId(2));
    // A mapping from last time: Mail in column 2, Name in column 1.
    writeBytes(folder.file("Data/Database.imp"), "2\r\n0\r\n0\r\n1\r\n;\r\n");
    const QString csv = file("adressen.csv", QString(u8"Name;Mail;Ort\r\n"
                                                     u8"Anna;anna@x.de;Berlin\r\n"
                                                     u8"Bernd;bernd@spam.de;Bonn\r\n"
                                                     u8"Jörg;joerg@x.de;Köln\r\n")
                                                 .toUtf8());
    const QString blacklist = file("blacklist.txt", "@SPAM.DE\r\n");

    TImportForm form(state, &window);
    form.setProgress(feedback());
    form.show();
    auto box = [&](const char* name) { return child<QLineEdit>(&form, name); };
    auto* fileEdit = child<QLineEdit>(&form, "FilenameEdit");
    auto* import = child<QPushButton>(&form, "ImportBitBtn");
    auto* grid = child<QTableWidget>(&form, "StringGrid1");
    auto* rows = child<QComboBox>(&form, "PreviewComboBox");
    EXPECT_EQ(fileEdit->text(), u8"Noch keine Datei gewählt");
    EXPECT_FALSE(import->isEnabled());
    EXPECT_FALSE(grid->isVisible());
    EXPECT_EQ(child<QLabel>(&form, "Label_Mail")->text(), "\"E-Mail\" ist in Spalte");
    EXPECT_EQ(box("Edit_Mail")->text(), "2");
    EXPECT_EQ(box("Edit_Name")->text(), "1");
    EXPECT_EQ(box("Edit_Ort")->text(), "0");
    EXPECT_EQ(child<QComboBox>(&form, "DelimiterComboBox")->currentText(), ";");
    EXPECT_EQ(child<QComboBox>(&form, "ComboBox1")->currentText(), "keiner");

    ScriptedFilePicker picker;
    picker.answer(csv).answer(blacklist);
    click(&form, "OpenBitBtn");
    EXPECT_EQ(picker.calls.last().filter, "Import (*.txt *.csv *.db *.dbf)");
    EXPECT_EQ(fileEdit->text(), "adressen.csv");
    // The periodic check enables the button within a tick.
    EXPECT_TRUE(QTest::qWaitFor([&] { return import->isEnabled(); }, 2000));

    typeInto(box("Edit_Ort"), "3");
    click(&form, "BitBtn1");
    ASSERT_TRUE(grid->isVisible());
    const int counts[] = {1, 5, 10, 20};
    for (int i = 0; i < 4; ++i) {
        rows->setCurrentIndex(i);
        EXPECT_EQ(grid->rowCount(), counts[i]);
    }
    rows->setCurrentIndex(1);
    EXPECT_EQ(cell(grid, 0, "Name"), "Name"); // the header line is still shown
    QTest::mouseClick(child<QCheckBox>(&form, "SkipCheckBox"), Qt::LeftButton, {}, QPoint(8, 8));
    EXPECT_EQ(cell(grid, 0, "Name"), "Anna");
    EXPECT_EQ(cell(grid, 0, "E-Mail"), "anna@x.de");
    EXPECT_EQ(cell(grid, 2, "Ort"), u8"Köln");
    EXPECT_EQ(cell(grid, 3, "Name"), ""); // beyond the end

    click(&form, "Blacklistbtn");
    EXPECT_TRUE(child<QPushButton>(&form, "BlacklistDeletebtn")->isEnabled());
    EXPECT_EQ(form.blacklistFile(), blacklist);
    {
        ScriptedMessages m;
        m.expectInformation(
            u8"Was ist eine Blacklist? Sie können hier eine Textdatei laden, in der pro Zeile "
            u8"ein Begriff (Name, E-Mail-Adresse) steht. Datensätze, die diese Daten enhalten, "
            u8"werden beim Import nicht berücksichtigt. Es ist z.B. auch möglich hier mit "
            u8"Begriffen wie \"@beispiel-domain.de\", alle Datensätze mit E-Mail-Adressen "
            u8"dieser Domain nicht zu importieren!");
        click(&form, "BlacklistInfobtn");
    }

    auto* fixCheck = child<QCheckBox>(&form, "FixEntryChkBox");
    auto* fixCombo = child<QComboBox>(&form, "FixedEntryComboBox");
    EXPECT_FALSE(fixCombo->isEnabled());
    QTest::mouseClick(fixCheck, Qt::LeftButton, {}, QPoint(8, 8));
    EXPECT_TRUE(fixCombo->isEnabled());
    fixCombo->setCurrentIndex(fixCombo->findText("Kategorie"));
    QTest::keyClicks(child<QLineEdit>(&form, "FixedEntryEdit"), " Messe ");

    // A number box that holds no column number: the field is named, nothing happens.
    typeInto(box("Edit_Vorname"), "zwei");
    {
        ScriptedMessages m;
        m.expectError(u8"Im Feld \"Vorname\" steht \"zwei\": Geben Sie die Spaltennummer als "
                      u8"ganze Zahl ein (0 für nicht vorhandene Spalten). Es wurde nichts "
                      u8"importiert.");
        click(&form, "ImportBitBtn");
    }
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(table->recordCount(), 2);
    typeInto(box("Edit_Vorname"), "0");

    {
        ScriptedMessages none; // no summary message
        click(&form, "ImportBitBtn");
    }
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.findChild<QLineEdit*>("Edit_Mail"), nullptr); // rows go with the window
    EXPECT_EQ(records({"Name", "Mail", "Ort", "Kategorie", "Selected"}),
              QList<QStringList>({{"Alt", "", "", "", "0"},
                                  {"Bleibt aktuell", "", "", "", "0"},
                                  {"Anna", "anna@x.de", "Berlin", "Messe", "1"},
                                  {u8"Jörg", "joerg@x.de", u8"Köln", "Messe", "1"}}));
    EXPECT_EQ(table->recordCount(), 4);
    EXPECT_EQ(table->currentId(), 2);
    EXPECT_EQ(busyDepth, 0);
    EXPECT_TRUE(statusTexts.contains("Import: 3 von 4"));
    EXPECT_EQ(statusTexts.last(), "");
    const QStringList mapping = TextFile::readLines(folder.file("Data/Database.imp"));
    ASSERT_EQ(mapping.size(), table->fieldCount() - 4 + 1);
    EXPECT_EQ(mapping.mid(0, 5), QStringList({"2", "0", "0", "1", "0"}));
    EXPECT_EQ(mapping.last(), ";");

    // Shown again: file, blacklist and preview start afresh, the settings stay.
    form.show();
    EXPECT_EQ(fileEdit->text(), u8"Noch keine Datei gewählt");
    EXPECT_FALSE(import->isEnabled());
    EXPECT_FALSE(child<QPushButton>(&form, "BlacklistDeletebtn")->isEnabled());
    EXPECT_TRUE(form.blacklistFile().isEmpty());
    EXPECT_FALSE(grid->isVisible());
    EXPECT_TRUE(child<QCheckBox>(&form, "SkipCheckBox")->isChecked());
    EXPECT_EQ(fixCombo->currentText(), "Kategorie");
    EXPECT_EQ(rows->currentIndex(), 1);
    EXPECT_EQ(box("Edit_Ort")->text(), "3");

    // Every box and link takes the mouse where it is drawn; the help links open their pages.
    RecordingOpener opener;
    for (const char* name : {"HilfeBitBtn", "ExcelHelpLabel", "AccessHelpLabel",
                             "DatenbankenHelpLabel", "TextimportHelpLabel"})
        click(&form, name);
    ASSERT_EQ(opener.opened.size(), 5);
    const char* pages[] = {"help.html", "excel.html", "access.html", "datenbanken.html",
                           "textimport.html"};
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(opener.opened[i].endsWith(QString("/Help/") + pages[i]))
            << opener.opened[i].toStdString();
    form.close();
}
