#include "exchange/forms/ExportActions.h"
#include "exchange/forms/TAsciiForm.h"
#include "exchange/forms/TExportWizzard1Form.h"

#include "compose/forms/ComposeFormsTestSupport.h"
#include "exchange/ExchangeTestSupport.h"
#include "exchange/ExportReaders.h"
#include "shell/forms/AddressGridModel.h"
#include "shell/forms/MainFormTestSupport.h"
#include "support/FormTestSupport.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QRadioButton>
#include <QTableView>

namespace {

class ExportFormsTest : public ImportFixture {
protected:
    void SetUp() override {
        ImportFixture::SetUp();
        ASSERT_TRUE(Startup::layOutShippedFiles(folder.path()).isEmpty());
        actions = std::make_unique<ExportActions>(state, &window);
        actions->status = [this](const QString& t) { statusTexts << t; };
        QObject::connect(actions.get(), &ExportActions::filterSwitchedOff,
                         [this] { ++filterOffSignals; });
    }
    void TearDown() override {
        actions.reset();
        ImportFixture::TearDown();
    }
    void reopen() {
        ScriptedMessages none;
        ASSERT_TRUE(OpenDatabase(state.session, "Database.ini", none));
        table = state.session.currentTable();
    }
    static void choose(QRadioButton* r) {
        QTest::mouseClick(r, Qt::LeftButton, {}, QPoint(8, r->height() / 2));
    }
    static void tick(QCheckBox* c) { QTest::mouseClick(c, Qt::LeftButton, {}, QPoint(8, 8)); }

    QWidget window;
    std::unique_ptr<ExportActions> actions;
    int filterOffSignals = 0;
};

} // namespace

TEST_F(ExportFormsTest, WizardLeadsToTheCsvWindowWhichWritesTheTickedColumns) {
    CloseDatabase(state.session);
    {
        ScriptedMessages m;
        m.expectInformation(u8"Zuerst Datenbank öffnen!");
        actions->start();
    }
    ASSERT_NO_FATAL_FAILURE(reopen());
    addRecords(table, {{{"Mail", "a@x.de"}, {"Name", "Maier"}, {"Selected", true}},
                       {{"Mail", "b@x.de"}, {"Name", QString(u8"Öztürk")}},
                       {{"Mail", "c@x.de"}, {"Name", "Meyer"}}});
    ASSERT_TRUE(table->setFilter("Name = 'M*'"));
    table->setFiltered(true);
    ASSERT_TRUE(table->locateId(3));

    TExportWizzard1Form* wizard = actions->wizardForm();
    TAsciiForm* ascii = actions->asciiForm();
    ScriptedFilePicker picker;
    picker.answer(folder.file("kunden"));
    bool asciiShown = false;
    qint64 currentWhenShown = 0;
    ScriptedMessages m;
    m.expectInformation("Bitte zuerst eine Auswahl treffen!");
    whenDialogShows([&](QWidget* dialog) {
        ASSERT_EQ(dialog, wizard);
        currentWhenShown = table->currentId();
        EXPECT_EQ(wizard->windowTitle(), "Export");
        EXPECT_EQ(child<QLabel>(wizard, "QuestionLabel")->text(), "Was wollen Sie tun?");
        EXPECT_EQ(child<QRadioButton>(wizard, "ExcelRadioButton")->text(),
                  "Eine Excel Datei herstellen");
        EXPECT_EQ(child<QRadioButton>(wizard, "XlsxRadioButton")->text(),
                  "Eine Excel Datei (.xlsx) herstellen");
        auto* other = child<QRadioButton>(wizard, "OtherRadioButton");
        EXPECT_EQ(other->text(), "Einen anderen Datenbank-Typ herstellen");
        EXPECT_EQ(child<QPushButton>(wizard, "AbortBitBtn")->text(), "Abbrechen");
        EXPECT_EQ(child<QPushButton>(wizard, "HilfeBitBtn")->text(), "Hilfe");
        click(wizard, "WeiterBitBtn"); // nothing chosen yet
        EXPECT_TRUE(wizard->isVisible());
        choose(other);
        whenDialogShows([&](QWidget* next) {
            ASSERT_EQ(next, ascii);
            asciiShown = true;
            EXPECT_EQ(ascii->windowTitle(), "Export");
            EXPECT_TRUE(child<QLabel>(ascii, "ExplanationLabel")
                            ->text()
                            .startsWith("Export in eine mit Trennzeichen getrennte Datei (CSV)."));
            auto* list = child<QListWidget>(ascii, "CheckListBox1");
            ASSERT_EQ(list->count(), table->fieldCount());
            for (int i = 0; i < list->count(); ++i) {
                EXPECT_EQ(list->item(i)->text(), table->fieldName(i));
                EXPECT_EQ(list->item(i)->checkState(), Qt::Checked);
            }
            auto* delimiter = child<QLineEdit>(ascii, "Edit1");
            EXPECT_EQ(delimiter->text(), ";");
            EXPECT_EQ(child<QLabel>(ascii, "DelimiterLabel")->text(), "Trennzeichen (Delimiter)");
            auto* header = child<QCheckBox>(ascii, "TableHeaderCheckBox");
            auto* marked = child<QCheckBox>(ascii, "OnlyMarkedCheckBox");
            auto* trim = child<QCheckBox>(ascii, "TrimCheckBox");
            EXPECT_EQ(header->text(), "Tabellenkopf verwenden ?");
            EXPECT_TRUE(header->isChecked());
            EXPECT_EQ(marked->text(), "nur markierte Daten exportieren?");
            EXPECT_FALSE(marked->isChecked());
            EXPECT_EQ(trim->text(), "Leerzeichen entfernen (Trim)?");
            EXPECT_FALSE(trim->isChecked());
            EXPECT_EQ(child<QPushButton>(ascii, "OKBitBtn")->text(), "OK");
            EXPECT_EQ(child<QPushButton>(ascii, "AbortBitBtn")->text(), "Abbrechen");
            // Only Mail and Name stay ticked, unticked with the keyboard.
            list->setFocus();
            for (int i = 0; i < list->count(); ++i) {
                if (i == table->fieldIndex("Mail") || i == table->fieldIndex("Name"))
                    continue;
                list->setCurrentRow(i);
                QTest::keyClick(list, Qt::Key_Space);
            }
            delimiter->selectAll();
            QTest::keyClicks(delimiter, ",");
            tick(trim);
            click(ascii, "OKBitBtn");
        });
        click(wizard, "WeiterBitBtn");
    });
    actions->start();
    ASSERT_TRUE(asciiShown);
    EXPECT_EQ(currentWhenShown, 1); // the entry went to the first record
    EXPECT_FALSE(ascii->isVisible());
    EXPECT_EQ(picker.calls.last().filter, "Trennzeichen getrennte Datei (*.csv)");
    // Mail is 80 wide plus 10, Name 60 plus 10; the view's filter applied.
    EXPECT_EQ(readBytes(folder.file("kunden.csv")), "Mail" + QByteArray(86, ' ') + ",Name" +
                                                        QByteArray(66, ' ') +
                                                        ",\r\na@x.de,Maier,\r\nc@x.de,Meyer,\r\n");
    // The table ends unfiltered on the record it stood on when the window opened.
    EXPECT_FALSE(table->filtered());
    EXPECT_EQ(table->currentId(), 1);
    EXPECT_EQ(filterOffSignals, 1);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(wizard->checkedChoice(), TExportWizzard1Form::Choice::Other); // kept

    // Opened again: every column ticked again, the other settings kept.
    ascii->show();
    auto* list = child<QListWidget>(ascii, "CheckListBox1");
    for (int i = 0; i < list->count(); ++i)
        EXPECT_EQ(list->item(i)->checkState(), Qt::Checked);
    EXPECT_EQ(child<QLineEdit>(ascii, "Edit1")->text(), ",");
    EXPECT_TRUE(child<QCheckBox>(ascii, "TrimCheckBox")->isChecked());
    // Nothing ticked: said so, nothing asked.
    for (int i = 0; i < list->count(); ++i)
        list->item(i)->setCheckState(Qt::Unchecked);
    {
        ScriptedMessages none;
        none.expectInformation(u8"Bitte wählen Sie mindestens eine Spalte für den Export aus.");
        click(ascii, "OKBitBtn");
    }
    EXPECT_TRUE(ascii->isVisible());
    ascii->hide();
}

TEST_F(ExportFormsTest, WorkbookChoicesAndTheRowLimitOfXls) {
    addRecords(table, {{{"Mail", QString(u8"jörg@x.de")}, {"Name", QString(u8"Jörg")}}});
    actions->gridColumns = [this] {
        return QList<ExportColumn>{{table->fieldIndex("Name"), "Name"},
                                   {table->fieldIndex("Mail"), "E-Mail"}};
    };
    auto runWizard = [&](const char* radio) {
        whenDialogShows([&, radio](QWidget* wizard) {
            choose(child<QRadioButton>(wizard, radio));
            click(wizard, "WeiterBitBtn");
        });
        actions->start();
    };
    const QString xls = folder.file("liste.xls");
    writeBytes(xls, "alt");
    {
        ScriptedFilePicker picker;
        picker.answer(folder.file("liste"));
        ScriptedMessages m;
        m.expectDestructiveQuestion(QString(u8"Die Datei \"%1\" existiert bereits. Wollen Sie sie "
                                            u8"ersetzen?")
                                        .arg(QDir::toNativeSeparators(xls)),
                                    true);
        runWizard("ExcelRadioButton");
        EXPECT_EQ(picker.calls.last().filter, "Excel-Datei (*.xls)");
    }
    const ReadWorkbook book = readXls(xls);
    EXPECT_EQ(book.sheets, QStringList({"Quillon_Export"}));
    EXPECT_EQ(book.rows, QList<QStringList>({{"Name", "E-Mail"}, {u8"Jörg", u8"jörg@x.de"}}));
    {
        ScriptedFilePicker picker;
        picker.answer(folder.file("liste.xlsx"));
        ScriptedMessages none;
        runWizard("XlsxRadioButton");
        EXPECT_EQ(picker.calls.last().filter, "Excel-Arbeitsmappe (*.xlsx)");
    }
    EXPECT_EQ(readXlsx(folder.file("liste.xlsx")).rows, book.rows);

    // More records than an .xls holds: said so, the modern workbook offered instead.
    qint64 n = 0;
    table->appendRecords([&](QVariantList& row) {
        row = QVariantList(table->fieldCount());
        row[table->fieldIndex("Name")] = QString::number(n);
        return ++n <= 65535;
    });
    table->refresh();
    const QString question =
        u8"Die Tabelle zeigt 65.536 Datensätze. Eine Excel 97-2003 Datei (.xls) fasst höchstens "
        u8"65.535 Datensätze unter der Titelzeile.\r\rWollen Sie stattdessen eine Excel Datei "
        u8"(.xlsx) herstellen?";
    {
        ScriptedMessages m;
        m.expectQuestion(question, false);
        runWizard("ExcelRadioButton"); // no file dialog
    }
    {
        ScriptedFilePicker picker;
        picker.answer(folder.file("alle.xlsx"));
        ScriptedMessages m;
        m.expectQuestion(question, true);
        runWizard("ExcelRadioButton");
        EXPECT_EQ(picker.calls.last().filter, "Excel-Arbeitsmappe (*.xlsx)");
    }
    QProcess p;
    p.start("/usr/bin/python3",
            {"-c",
             "import sys, openpyxl; ws = openpyxl.load_workbook(sys.argv[1], read_only=True)"
             "['Quillon_Export']; print(ws.max_row, ws.max_column)",
             folder.file("alle.xlsx")});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.readAllStandardOutput().trimmed(), "65537 2");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(ExportFormsTest, BccEntriesPutTheMarkedAddressesOnTheClipboardAndIntoFiles) {
    CloseDatabase(state.session);
    {
        ScriptedMessages m;
        m.expectInformation(u8"Öffnen Sie zuerst eine Datenbank!");
        m.expectInformation(u8"Öffnen Sie zuerst eine Datenbank!");
        actions->copyMarkedToClipboard();
        actions->writeBccFiles();
    }
    writeCustomDatabase(state, "OhneMail", {idLine(), textLine("Name")});
    {
        ScriptedMessages none;
        ASSERT_TRUE(OpenDatabase(state.session, "OhneMail.ini", none));
        ScriptedMessages m;
        m.expectInformation("Keine Mail - Spalte vorhanden in der Tabelle!");
        m.expectInformation("Keine Mail - Spalte vorhanden in der Tabelle!");
        actions->copyMarkedToClipboard();
        actions->writeBccFiles();
    }
    ASSERT_NO_FATAL_FAILURE(reopen());
    addRecords(table, {{{"Mail", "a@x.de"}, {"Selected", true}},
                       {{"Mail", "b@x.de"}},
                       {{"Mail", "kein gutes@x.de"}, {"Selected", true}},
                       {{"Mail", "c@x.de"}, {"Selected", true}},
                       {{"Mail", "e@x.de"}}});
    ASSERT_TRUE(table->setFilter("Mail <> 'b@x.de'"));
    table->setFiltered(true);
    const QString exportFolder = state.folders.exportFolder;
    QDir().mkpath(exportFolder);
    writeBytes(exportFolder + "BCC007.bcc", "alt");

    {
        ScriptedMessages m;
        m.expectInformation("\"a@x.de, -1, c@x.de\" ins Clipbord kopiert!");
        actions->copyMarkedToClipboard();
    }
    EXPECT_EQ(QApplication::clipboard()->text(), "a@x.de, -1, c@x.de");
    EXPECT_FALSE(table->filtered());
    EXPECT_EQ(table->currentId(), 5); // the last record
    {
        ScriptedMessages m;
        m.expectInformation("BCC-Dateien wurden unter " + QDir::toNativeSeparators(exportFolder) +
                            " gespeichert!");
        actions->writeBccFiles();
    }
    EXPECT_EQ(QApplication::clipboard()->text(), "a@x.de; -1; c@x.de");
    EXPECT_EQ(filesIn(exportFolder), QStringList({"BCC001.bcc"}));
    EXPECT_EQ(readBytes(exportFolder + "BCC001.bcc"), "a@x.de; -1; c@x.de\r\n");
    EXPECT_EQ(filterOffSignals, 2);

    // Nothing marked: the old files go, none is written, the message comes all the same.
    table->updateRecords(table->tableIds(), {{"Selected", false}});
    {
        ScriptedMessages m;
        m.expectInformation("BCC-Dateien wurden unter " + QDir::toNativeSeparators(exportFolder) +
                            " gespeichert!");
        actions->writeBccFiles();
    }
    EXPECT_TRUE(filesIn(exportFolder).isEmpty());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

namespace {

class ExportMainWindowTest : public MainWindowTest {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(layOutFilledStandardDatabase(
            m_program.path(), {"Mail", "Name", "Ort"},
            {{"anna@example.de", "Maier", "Köln"}, {"sean@example.ie", "O'Brien", "Dublin"}}));
    }
};

} // namespace

TEST_F(ExportMainWindowTest, MenuEntriesGridColumnsAndCellCopy) {
    ScriptedMessages none;
    TMainForm& form = createForm(true);
    for (const char* name :
         {"Datenstzeexportieren1", "BCCinsClipbord1", "N250erBCCStringinDateien"})
        EXPECT_TRUE(child<QAction>(name)->isEnabled()) << name;

    // The workbook takes the grid's columns in the order shown, with their titles.
    QHeaderView* header = form.grid()->horizontalHeader();
    const int ort = form.gridModel()->columnOfField("Ort");
    const int mail = form.gridModel()->columnOfField("Mail");
    header->moveSection(header->visualIndex(ort), 0);
    const QList<ExportColumn> columns = form.shownColumns();
    ASSERT_EQ(columns.size(), form.gridModel()->columnCount());
    EXPECT_EQ(columns[0].field, state().session.currentTable()->fieldIndex("Ort"));
    EXPECT_EQ(columns[0].title, "Ort");
    bool mailTitled = false;
    for (const ExportColumn& c : columns)
        if (c.field == state().session.currentTable()->fieldIndex("Mail"))
            mailTitled = c.title == form.gridModel()->headerData(mail, Qt::Horizontal).toString();
    EXPECT_TRUE(mailTitled);

    // "Ausdruck ins Clipboard kopieren": the selected cell of the current record.
    form.grid()->setCurrentIndex(form.gridModel()->index(1, ort));
    QApplication::clipboard()->clear();
    child<QAction>("CopyDBGridToClipboard")->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), "Dublin");
}
