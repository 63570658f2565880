#include "shell/forms/MainFormTestSupport.h"
#include "shell/forms/TMainForm.h"

#include "common/IniFile.h"
#include "common/TextFile.h"
#include "database/AddressTable.h"
#include "database/DatabaseDefinition.h"
#include "platform/FileLock.h"
#include "shell/Startup.h"
#include "shell/forms/AddressGridModel.h"
#include "support/DamagedTable.h"
#include "support/ScriptedMessages.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>
#include <memory>

namespace {

class MainFormTest : public MainWindowTest {
protected:
    QAction* action(const char* name) const { return child<QAction>(name); }
};

} // namespace

TEST_F(MainFormTest, MenuHoldsEveryEntryWithCaptionAndKey) {
    ScriptedMessages none;
    TMainForm& form = createForm();
    EXPECT_EQ(form.objectName(), QStringLiteral("MainForm"));
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Quillon"));
    EXPECT_EQ(form.minimumSize(), QSize(994, 673));

    const char* const names[] = {"SerienEmailschreiben1",
                                 "Options",
                                 "DatenstzeImportieren1",
                                 "Datenstzeexportieren1",
                                 "Beenden1",
                                 "NewRec",
                                 "EditRec",
                                 "DeleteRec",
                                 "Suchen1",
                                 "Filter1",
                                 "Platzhalter",
                                 "BearbeitenimGrid1",
                                 "LogDateimitzuletztversendetenEmails1",
                                 "OutlookmitderselektiertenEmailstarten1",
                                 "BCCinsClipbord1",
                                 "N250erBCCStringinDateien",
                                 "MarkierenvonIDbisID1",
                                 "MarkierenallerDatenstzemitbestimmtenWortlaut1",
                                 "AlleInvalidzurcksetzen1",
                                 "Spalteninhaltlschensetzen1",
                                 "Grussormel1",
                                 "EmailAdressenaufGltigkeitberprfen2",
                                 "TransactionlogwrdendesMailversandes1",
                                 "NachdoppeltenEmailadressenprfen1",
                                 "DatenbankWartung1",
                                 "AllemarkiertenDatenstzelschen2",
                                 "DoppelteEmailAdressenlschen1",
                                 "SelektivesLschendoppelterDatenstze1",
                                 "Datenbankkomplettleeren1",
                                 "AlleinvalidenDatenstzelschen1",
                                 "Backup2",
                                 "Restore1",
                                 "Datenbankffnen2",
                                 "NeueDatenbankerzeugen1",
                                 "Datenbanklschen2",
                                 "Datentransfer1",
                                 "BetriebsanleitungMehrplatzversion1",
                                 "NeueEintrageabholen1",
                                 "Links1",
                                 "Bestellformular1",
                                 "Newsletterstatistikeinrichten1",
                                 "Hilfedatei1",
                                 "NachUpdatessuchen1",
                                 "Update1",
                                 "Info1"};
    for (const char* name : names)
        EXPECT_NE(action(name), nullptr) << name;

    EXPECT_EQ(action("Beenden1")->shortcut(), QKeySequence(Qt::ALT | Qt::Key_X));
    EXPECT_EQ(action("Datenbankffnen2")->shortcut(), QKeySequence(Qt::Key_F12));
    EXPECT_EQ(action("SerienEmailschreiben1")->shortcut(), QKeySequence(Qt::Key_F2));
    EXPECT_EQ(action("Hilfedatei1")->shortcut(), QKeySequence(Qt::Key_F1));
    EXPECT_EQ(action("NeueEintrageabholen1")->shortcut(), QKeySequence(Qt::Key_F10));
    EXPECT_EQ(action("NachdoppeltenEmailadressenprfen1")->text(),
              u("Eingabeprüfung E-Mail-Adresse"));
    EXPECT_EQ(action("BearbeitenimGrid1")->text(), u("&Datensätze in der Tabelle bearbeiten"));
    EXPECT_TRUE(action("Beenden1")->isEnabled());
    EXPECT_TRUE(action("NeueDatenbankerzeugen1")->isEnabled());
    // Without web settings the web entries stay off.
    EXPECT_FALSE(action("Links1")->isEnabled());
    EXPECT_FALSE(action("NeueEintrageabholen1")->isEnabled());

    const std::pair<const char*, const char*> buttons[] = {
        {"NewBitBtn", "Neuer Datensatz (F5)"},      {"EditBitBtn", "Datensatz bearbeiten (F4)"},
        {"DeleteBitBtn", "Datensatz löschen (F8)"}, {"MailBitBtn", "Serien-E-Mail senden (F2)"},
        {"ImportBitBtn", "Datensatz suchen (F3)"},  {"OpenModeBitBtn", "DB öffnen (F12)"}};
    for (const auto& [name, caption] : buttons) {
        auto* b = child<QPushButton>(name);
        ASSERT_NE(b, nullptr) << name;
        EXPECT_EQ(b->text(), u(caption));
    }
    for (const char* name : {"Panel1",        "Image1",        "ControllBar1",
                             "MainToolPanel", "ToolButton3",   "SearchTB",
                             "ToolButton2",   "ToolButton1",   "FilterBtn",
                             "ToolBar2",      "ComboBox1",     "ToolBar1",
                             "SelectAllTB",   "UnselectAllTB", "StatusPanel",
                             "FirstButton",   "LastButton",    "Panel2",
                             "DatabaseLabel", "DBGrid1",       "BottomButtonsPanel",
                             "StatusBar1"})
        EXPECT_NE(form.findChild<QWidget*>(QLatin1String(name)), nullptr) << name;
}

TEST_F(MainFormTest, StartupLaysOutFilesAndOpensTheStandardDatabase) {
    ScriptedMessages none;
    ASSERT_TRUE(startProgram());
    TMainForm& form = createForm();
    EXPECT_TRUE(QFileInfo::exists(file("Quillon.ini")));
    EXPECT_TRUE(QFileInfo::exists(file("Images/True.bmp")));
    EXPECT_FALSE(form.trueBitmap().isNull());
    EXPECT_FALSE(child<QLabel>("Image1")->pixmap().isNull());
    EXPECT_EQ(form.state().folders.programFolder, m_program.path());

    ASSERT_TRUE(form.state().session.hasOpenTable());
    EXPECT_EQ(form.state().session.definitionName(), QStringLiteral("Database.ini"));
    EXPECT_EQ(child<QLabel>("DatabaseLabel")->text(),
              u("Geöffnete Datenbank: Grundstockdatenbank"));
    EXPECT_EQ(statusText(), u("0 Datensätze"));

    // Each post refreshes the record count.
    AddressTable* table = form.state().session.currentTable();
    for (const char* mail : {"anna@example.de", "bernd@example.de"}) {
        table->append();
        ASSERT_TRUE(table->setString(QStringLiteral("Mail"), QLatin1String(mail)));
        ASSERT_TRUE(table->post());
    }
    EXPECT_EQ(statusText(), u("2 Datensätze"));
    EXPECT_EQ(form.gridModel()->rowCount(), 2);
    // The shipped .pro header asks for captions as titles.
    EXPECT_EQ(form.gridModel()->headerData(4, Qt::Horizontal).toString(), QStringLiteral("E-Mail"));

    // First and last record move the table's cursor and the grid with it.
    QTest::mouseClick(child<QToolButton>("FirstButton"), Qt::LeftButton);
    EXPECT_EQ(table->recNo(), 0);
    EXPECT_EQ(form.grid()->currentIndex().row(), 0);
    QTest::mouseClick(child<QToolButton>("LastButton"), Qt::LeftButton);
    EXPECT_EQ(table->recNo(), 1);
    EXPECT_EQ(form.grid()->currentIndex().row(), 1);
    // Choosing a row in the grid makes its record current.
    form.grid()->setCurrentIndex(form.gridModel()->index(0, 4));
    EXPECT_EQ(table->asString(QStringLiteral("Mail")), QStringLiteral("anna@example.de"));

    // A changed record shows its new values; the cached page is not stale.
    EXPECT_EQ(form.gridModel()->index(0, 4).data().toString(), QStringLiteral("anna@example.de"));
    table->edit();
    ASSERT_TRUE(table->setString(QStringLiteral("Mail"), QStringLiteral("anna@example.com")));
    ASSERT_TRUE(table->setBool(QStringLiteral("Selected"), true));
    ASSERT_TRUE(table->setDate(QStringLiteral("LetztesMail"), QDate(2026, 12, 9)));
    ASSERT_TRUE(table->post());
    EXPECT_EQ(form.gridModel()->index(0, 4).data().toString(), QStringLiteral("anna@example.com"));
    // Dates show in the German form, as everywhere else.
    EXPECT_EQ(form.gridModel()->index(0, 3).data().toString(), QStringLiteral("09.12.2026"));
    EXPECT_EQ(form.gridModel()->index(0, 1).data().toString(), QStringLiteral("True"));
    EXPECT_EQ(form.gridModel()->index(1, 1).data().toString(), QStringLiteral("False"));
}

TEST_F(MainFormTest, DatabaseControlsNeedTwoDatabasesInTheCatalogue) {
    ScriptedMessages none;
    {
        TMainForm& form = createForm();
        EXPECT_TRUE(child<QPushButton>("OpenModeBitBtn")->isHidden());
        EXPECT_FALSE(action("Datenbankffnen2")->isEnabled());
        EXPECT_FALSE(action("Datenbanklschen2")->isEnabled());
        EXPECT_FALSE(action("Datentransfer1")->isEnabled());

        // A database added to the catalogue while running makes them available.
        TextFile::appendLine(form.state().session.cataloguePath(),
                             QStringLiteral("Kunden| cddrive.bmp|kunden.ini"));
        form.state().session.reloadCatalogue();
        EXPECT_FALSE(child<QPushButton>("OpenModeBitBtn")->isHidden());
        EXPECT_TRUE(action("Datenbankffnen2")->isEnabled());
        m_form.reset();
    }
    // Three lines at start-up.
    createForm();
    EXPECT_FALSE(child<QPushButton>("OpenModeBitBtn")->isHidden());
    EXPECT_TRUE(action("Datenbankffnen2")->isEnabled());
    EXPECT_TRUE(action("Datenbanklschen2")->isEnabled());
}

TEST_F(MainFormTest, EmptyLastOpenLineOpensNothing) {
    Startup::layOutShippedFiles(m_program.path());
    TextFile::writeLines(file("LastopenDB.inc"), {QString()});
    ScriptedMessages messages;
    TMainForm& form = createForm();
    EXPECT_FALSE(form.state().session.hasOpenTable());
    EXPECT_EQ(statusText(), QString());
    EXPECT_EQ(form.gridModel()->rowCount(), 0);

    messages.expectInformation(u("Zuerst Datenbank öffnen!"))
        .expectInformation(u("Zuerst Datenbank öffnen!"))
        .expectInformation(u("Zuerst Datenbank öffnen!"));
    QTest::mouseClick(child<QToolButton>("FirstButton"), Qt::LeftButton);
    action("OutlookmitderselektiertenEmailstarten1")->trigger();
    EXPECT_FALSE(form.requireTable());
    EXPECT_TRUE(messages.allShown());
}

TEST_F(MainFormTest, DataHeldByAnotherUserEndsTheStart) {
    Startup::layOutShippedFiles(m_program.path());
    FileLock otherUser;
    ASSERT_TRUE(otherUser.tryLock(dataFile("Paradox.lck")));
    ScriptedMessages messages;
    messages.expectInformation(
        u("Datenbank ist in Benutzung durch einen anderen Benutzer!\r\rBitte warten Sie bis der "
          "andere Benutzer die Datenbank wieder geschlossen hat!"));
    EXPECT_FALSE(startProgram());
    EXPECT_FALSE(state().session.hasOpenTable());
}

TEST_F(MainFormTest, MenuSwitchesAreKeptInConfigFile) {
    Startup::layOutShippedFiles(m_program.path());
    TextFile::writeLines(Startup::configPath(m_program.path()),
                         {QStringLiteral("[Database]"), QStringLiteral("Checkdoublettes=0"),
                          QStringLiteral("TransActLog=1"), QStringLiteral("GridEdit=7")});
    ScriptedMessages none;
    TMainForm& form = createForm();
    const IniFile config(Startup::configPath(m_program.path()));
    const QString section = QStringLiteral("Database");

    EXPECT_FALSE(action("NachdoppeltenEmailadressenprfen1")->isChecked());
    EXPECT_FALSE(form.state().flags.checkDuplicatesOnInput);
    EXPECT_TRUE(action("TransactionlogwrdendesMailversandes1")->isChecked());
    EXPECT_TRUE(form.state().flags.transactionLogEnabled);
    EXPECT_TRUE(action("BearbeitenimGrid1")->isChecked());
    EXPECT_TRUE(form.state().flags.gridEditMode);
    // Switching on at start writes the key again, as 1.
    EXPECT_EQ(config.readString(section, QStringLiteral("GridEdit")), QStringLiteral("1"));

    // Each toggle writes its key at once.
    action("TransactionlogwrdendesMailversandes1")->trigger();
    EXPECT_EQ(config.readString(section, QStringLiteral("TransActLog")), QStringLiteral("0"));
    EXPECT_FALSE(form.state().flags.transactionLogEnabled);
    action("BearbeitenimGrid1")->trigger();
    EXPECT_EQ(config.readString(section, QStringLiteral("GridEdit")), QStringLiteral("0"));
    // The duplicate check is written only at shutdown.
    action("NachdoppeltenEmailadressenprfen1")->trigger();
    EXPECT_TRUE(form.state().flags.checkDuplicatesOnInput);
    EXPECT_EQ(config.readString(section, QStringLiteral("Checkdoublettes")), QStringLiteral("0"));
}

TEST_F(MainFormTest, ShutdownWritesSettingsPostsTheEditedRecordAndSavesPlacement) {
    ScriptedMessages none;
    TMainForm& form = createForm();
    AddressTable* table = form.state().session.currentTable();
    ASSERT_NE(table, nullptr);
    const QString tablePath = table->path();
    QFile::remove(dataFile("Database.grd"));
    action("NachdoppeltenEmailadressenprfen1")->trigger(); // off

    table->append();
    ASSERT_TRUE(table->setString(QStringLiteral("Mail"), QStringLiteral("offen@example.de")));
    form.show();
    action("Beenden1")->trigger();
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(QFileInfo::exists(dataFile("Database.grd"))); // the grid layout was saved
    EXPECT_EQ(IniFile(Startup::configPath(m_program.path()))
                  .readString(QStringLiteral("Database"), QStringLiteral("Checkdoublettes")),
              QStringLiteral("0"));
    // The program ends: the window goes, then its state.
    m_form.reset();
    m_state.reset();

    AddressTable reopened;
    ASSERT_TRUE(reopened.open(tablePath));
    ASSERT_EQ(reopened.recordCount(), 1);
    EXPECT_EQ(reopened.asString(QStringLiteral("Mail")), QStringLiteral("offen@example.de"));
    reopened.close();

    // The placement went to the settings store under the program and window name.
    QSettings settings(QStringLiteral("NORVALE"), QString());
    settings.beginGroup(QStringLiteral("WindowPos/") +
                        QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName() +
                        QStringLiteral("/MainForm"));
    const QStringList resolutions = settings.childGroups();
    ASSERT_EQ(resolutions.size(), 1);
    settings.beginGroup(resolutions.first());
    for (const char* key : {"Top", "Left", "Right", "Bottom", "FormState"})
        EXPECT_TRUE(settings.contains(QLatin1String(key))) << key;
}

TEST_F(MainFormTest, GridReadsOnlyTheRowsItShows) {
    Startup::layOutShippedFiles(m_program.path());
    {
        SilentMessages silent;
        ASSERT_TRUE(CreateTableFromDefinition(dataFolder(), QStringLiteral("Database"), silent));
        AddressTable table;
        ASSERT_TRUE(table.open(dataFile("Database.DB")));
        qint64 n = 0;
        const int fields = table.fieldCount();
        const int mail = table.fieldIndex(QStringLiteral("Mail"));
        ASSERT_EQ(table.appendRecords([&](QVariantList& row) {
            if (n == 200000)
                return false;
            row = QVariantList(fields);
            row[mail] = QStringLiteral("person%1@example.de").arg(++n);
            return true;
        }),
                  200000);
    }
    ScriptedMessages none;
    TMainForm& form = createForm();
    ASSERT_TRUE(form.state().session.hasOpenTable());
    EXPECT_EQ(form.gridModel()->rowCount(), 200000);
    EXPECT_EQ(statusText(), u("200000 Datensätze"));
    form.show();
    QApplication::processEvents();
    // Opened on the last record, showing the end of the table.
    EXPECT_EQ(form.grid()->currentIndex().row(), 199999);
    EXPECT_EQ(form.grid()->currentIndex().siblingAtColumn(4).data().toString(),
              QStringLiteral("person200000@example.de"));

    form.grid()->scrollTo(form.gridModel()->index(100000, 0));
    QApplication::processEvents();
    EXPECT_EQ(form.gridModel()->index(100000, 4).data().toString(),
              QStringLiteral("person100001@example.de"));
    EXPECT_LE(form.gridModel()->rowsRead(), 5 * AddressGridModel::pageSize);
    EXPECT_LE(form.gridModel()->cachedPages(), AddressGridModel::maxPages);
}

TEST_F(MainFormTest, DamagedTableIsReportedOnceTheGridShowsIt) {
    Startup::layOutShippedFiles(m_program.path());
    const QString path = dataFile("Database.DB");
    {
        SilentMessages silent;
        ASSERT_TRUE(CreateTableFromDefinition(dataFolder(), QStringLiteral("Database"), silent));
        AddressTable table;
        ASSERT_TRUE(table.open(path));
        qint64 n = 0;
        const int fields = table.fieldCount();
        const int name = table.fieldIndex(QStringLiteral("Name"));
        ASSERT_EQ(table.appendRecords([&](QVariantList& row) {
            row = QVariantList(fields);
            row[name] = QStringLiteral("Name %1").arg(n, 6, 10, QChar('0'));
            return ++n <= 3000;
        }),
                  3000);
    }
    const qint64 page = nameIndexPage(path);
    ASSERT_GT(page, 1);
    damagePage(path, page);

    ScriptedMessages messages;
    messages.expectError(u("Die Tabelle \"Database.DB\" ist beschädigt. Bitte führen Sie "
                           "\"Datenbank Wartung/Reparatur\" aus."));
    TMainForm& form = createForm();
    // Opening itself does not wait for the check ...
    ASSERT_TRUE(form.state().session.hasOpenTable());
    EXPECT_TRUE(messages.shown().isEmpty());
    EXPECT_EQ(statusText(), u("3000 Datensätze"));
    // ... which speaks once the window shows the table.
    form.show();
    QApplication::processEvents();
    EXPECT_TRUE(messages.allShown());
}
