#include "shell/forms/MainFormTestSupport.h"

#include "common/IniFile.h"
#include "database/AddressTable.h"
#include "shell/forms/TEdForm.h"
#include "support/FormTestSupport.h"
#include "support/ScriptedMessages.h"

#include <QAction>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {

const char* const kOffer =
    "Willkommen bei Quillon!\r\rDie Einstellungen für Ihr E-Mail-Konto (Absender und "
    "Postausgangsserver) wurden noch nicht vorgenommen. Ohne sie kann keine E-Mail versendet "
    "werden.\r\rMöchten Sie die Einstellungen jetzt im Dialog \"Optionen\" vornehmen?";
const char* const kEmptyHint = "Noch keine Adressen – importieren Sie Adressen oder legen Sie "
                               "mit F5 einen neuen Datensatz an.";

// Opens nothing, as a desktop without any registered program.
class NoProgramOpener : public DocumentOpener {
public:
    NoProgramOpener() { DocumentOpener::install(this); }
    ~NoProgramOpener() override { DocumentOpener::install(nullptr); }
    bool openUrl(const QUrl&) override { return false; }
    bool startBrowser(const QString&) override { return false; }
};

class FirstStartTest : public MainWindowTest {};

} // namespace

TEST_F(FirstStartTest, AnEmptyDatabaseSaysHowToBeginUntilItHasRecords) {
    TMainForm& form = createForm(true);
    auto* hint = child<QLabel>("EmptyGridLabel");
    ASSERT_NE(hint, nullptr);
    EXPECT_EQ(hint->text(), u(kEmptyHint));
    EXPECT_TRUE(hint->isVisible());

    // F5 and a saved record: the grid shows it and the hint is gone.
    form.state().flags.checkDuplicatesOnInput = false;
    whenDialogShows([](QWidget* editor) {
        ASSERT_NE(editor, nullptr);
        child<QLineEdit>(editor, "Edit_Mail")->setText("anna@example.de");
        QTest::keyClick(child<QLineEdit>(editor, "Edit_Mail"), Qt::Key_F2);
    });
    child<QAction>("NewRec")->trigger();
    ASSERT_EQ(form.state().session.currentTable()->recordCount(), 1);
    EXPECT_FALSE(hint->isVisible());
}

TEST_F(FirstStartTest, SettingsNeverSavedAreOfferedAndOpenTheOptions) {
    TMainForm& form = createForm(true);
    {
        ScriptedMessages messages;
        messages.expectQuestion(u(kOffer), false);
        form.offerFirstSettings();
    }
    {
        // "Ja" opens the options dialog.
        ScriptedMessages messages;
        messages.expectQuestion(u(kOffer), true);
        QString opened;
        whenDialogShows([&opened](QWidget* dialog) {
            ASSERT_NE(dialog, nullptr);
            opened = dialog->objectName();
            click(dialog, "AbbrechenButton");
        });
        form.offerFirstSettings();
        EXPECT_EQ(opened, "OptionsForm");
    }
    // Once saved, nothing is offered.
    IniFile(file("Quillon.ini")).writeString("FIRSTSETTINGS", "FirstSettingsDone", "Done");
    ScriptedMessages none;
    form.offerFirstSettings();
}

TEST_F(FirstStartTest, HelpAndTheMailProgramSayWhenNoProgramIsThere) {
    ASSERT_NO_FATAL_FAILURE(layOutFilledStandardDatabase(m_program.path(), {"Mail", "Name"},
                                                         {{"Anna@Example.de", "A"}}));
    TMainForm& form = createForm(true);
    NoProgramOpener opener;
    ScriptedMessages messages;
    messages.expectError(
        u("Es ist kein Programm zum Öffnen von E-Mail-Adressen (mailto:anna@example.de) "
          "eingerichtet."));
    child<QAction>("OutlookmitderselektiertenEmailstarten1")->trigger();

    const QString page = form.state().folders.helpFolder + "help.html";
    messages.expectError(u("Die Hilfeseite ") + QDir::toNativeSeparators(page) +
                         u(" konnte nicht geöffnet werden!"));
    child<QAction>("Hilfedatei1")->trigger();

    // The record editor's "Hilfe" the same way.
    messages.expectError(u("Die Hilfeseite ") + QDir::toNativeSeparators(page) +
                         u(" konnte nicht geöffnet werden!"));
    whenDialogShows([](QWidget* editor) {
        ASSERT_NE(editor, nullptr);
        click(editor, "HilfeBitBtn");
        click(editor, "AbortSpeedButton");
    });
    child<QAction>("EditRec")->trigger();
}
