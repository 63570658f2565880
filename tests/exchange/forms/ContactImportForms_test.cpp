#include "exchange/forms/ImportActions.h"
#include "exchange/forms/TOutlookImportForm.h"
#include "exchange/forms/TWMImport.h"
#include "exchange/forms/TWabForm.h"
#include "exchange/forms/TWizardImportForm.h"

#include "compose/forms/ComposeFormsTestSupport.h"
#include "exchange/ContactTestSupport.h"
#include "support/FormTestSupport.h"
#include "support/TestEnvironment.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QTableWidget>
#include <QTreeWidget>

namespace {

class ContactImportFormsTest : public ImportFixture {
protected:
    static void choose(QComboBox* box, const QString& text) {
        const int i = box->findText(text);
        ASSERT_GE(i, 0) << text.toStdString();
        box->setCurrentIndex(i);
        Q_EMIT box->activated(i);
    }
    static QList<QStringList> gridRows(QTableWidget* grid) {
        QList<QStringList> rows;
        for (int r = 0; r < grid->rowCount(); ++r) {
            QStringList row;
            for (int c = 0; c < grid->columnCount(); ++c)
                row << grid->item(r, c)->text();
            rows << row;
        }
        return rows;
    }
    static void tick(QTreeWidget* list, int row) {
        QTreeWidgetItem* item = list->topLevelItem(row);
        item->setCheckState(0, Qt::Checked);
    }

    IsolatedEnvironment env; // a home folder of its own
    QWidget window;
};

} // namespace

TEST_F(ContactImportFormsTest, WizardOpensEveryContactImport) {
    ImportActions actions(state, &window);
    const struct {
        const char* radio;
        QDialog* form;
        bool asksForSource; // a folder or file picker opens first; cancelled here
    } choices[] = {{"OutlookButton", actions.outlookForm(), true},
                   {"OERadioButton", actions.wabForm(), true},
                   {"WindowsMailRadioButton", actions.windowsMailForm(), false}};
    for (const auto& c : choices) {
        ScriptedFilePicker picker;
        if (c.asksForSource)
            picker.answer(QString());
        QWidget* shown = nullptr;
        whenDialogShows([&](QWidget* wizard) {
            auto* radio = child<QRadioButton>(wizard, QLatin1String(c.radio));
            QTest::mouseClick(radio, Qt::LeftButton, {}, QPoint(8, radio->height() / 2));
            whenDialogShows([&](QWidget* form) {
                shown = form;
                QTimer::singleShot(100, form, [form] {
                    if (form->isVisible())
                        static_cast<QDialog*>(form)->reject();
                });
            });
            click(wizard, "WeiterBitBtn");
        });
        actions.start();
        EXPECT_EQ(shown, c.form) << c.radio;
    }
}

TEST_F(ContactImportFormsTest, OutlookContactsFromAVCardFolder) {
    const QString main = folder.path() + "Kontakte/";
    QDir().mkpath(main);
    ASSERT_NO_FATAL_FAILURE(writeVobjectCards(main + "alle.vcf"));
    writeBytes(main + "kaputt.vcf", "BEGIN:VCARD\nN;CHARSET=X-UNBEKANNT:A;B\nEND:VCARD\n");
    writeBytes(main + "Kunden/kunde.vcf",
               "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Kunde;Karl\r\nEMAIL;INTERNET:karl@kunde.de\r\n"
               "ORG:Kunden AG\r\nEND:VCARD\r\n");

    TOutlookImportForm form(state, &window);
    form.setProgress(feedback());
    ScriptedFilePicker picker;
    picker.answer(main);
    ScriptedMessages m;
    m.expectInformation("1 Kontakt konnte nicht gelesen werden und wird nicht angeboten.");
    form.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form.mainFolder().isEmpty(); }, 3000));
    EXPECT_EQ(form.windowTitle(), "  Quillon Outlook Import");

    auto* folders = child<QComboBox>(&form, "cbOutlookFolder");
    auto* grid = child<QTableWidget>(&form, "StringGrid1");
    auto* count = child<QLabel>(&form, "Anzeigelabel");
    auto box = [&](const char* name) { return child<QComboBox>(&form, QLatin1String(name)); };
    EXPECT_EQ(folders->count(), 2);
    EXPECT_EQ(folders->itemText(0), "Kontakt Hauptordner");
    EXPECT_EQ(folders->itemText(1), "Kunden");
    EXPECT_EQ(count->text(), u8"Datensätze: 3");
    EXPECT_EQ(gridRows(grid), (QList<QStringList>{{u8"Jörg Müller", "erste@example.de"},
                                                  {"Nur Zweite", "nur.zweite@example.de"},
                                                  {"Nur Erste", "nur.erste@example.de"}}));
    EXPECT_EQ(box("Import1Comboxbox")->count(), 44);
    EXPECT_EQ(box("ComboBox3")->itemText(0), "Nicht importieren");
    EXPECT_EQ(box("ComboBox3")->findText("Name"), -1);
    EXPECT_GE(box("ComboBox3")->findText("Firma"), 1);

    // The later property boxes open one after the other.
    EXPECT_FALSE(box("Import2Comboxbox")->isEnabled());
    choose(box("Import1Comboxbox"), "Firma");
    EXPECT_TRUE(box("Import2Comboxbox")->isEnabled());
    EXPECT_TRUE(box("ComboBox4")->isEnabled());
    choose(box("Import2Comboxbox"), "Adresse geschäftlich: Ort");
    choose(box("Import3Comboxbox"), "Firma"); // the same property twice is allowed
    EXPECT_EQ(grid->columnCount(), 5);
    EXPECT_EQ(grid->horizontalHeaderItem(3)->text(), u8"Adresse geschäftlich: Ort");
    choose(box("Import1Comboxbox"), "Nicht importieren");
    EXPECT_FALSE(box("Import2Comboxbox")->isEnabled());
    EXPECT_EQ(box("Import2Comboxbox")->currentIndex(), 0);
    EXPECT_EQ(box("Import3Comboxbox")->currentIndex(), 0);
    EXPECT_EQ(grid->columnCount(), 2);

    // "E-Mail 2", last names only, another folder.
    choose(box("ComboBox6"), "E-Mail 2");
    auto* combine = child<QCheckBox>(&form, "CheckBox1");
    QTest::mouseClick(combine, Qt::LeftButton, {}, QPoint(8, combine->height() / 2));
    EXPECT_EQ(gridRows(grid), (QList<QStringList>{{u8"Müller", "zweite@example.de"},
                                                  {"Zweite", "nur.zweite@example.de"}}));
    choose(folders, "Kunden");
    EXPECT_TRUE(gridRows(grid).isEmpty()); // Karl has a first address only
    choose(box("ComboBox6"), "E-Mail");
    EXPECT_EQ(gridRows(grid), (QList<QStringList>{{"Kunde", "karl@kunde.de"}}));
    m.expectInformation("1 Kontakt konnte nicht gelesen werden und wird nicht angeboten.");
    choose(folders, "Kontakt Hauptordner");
    QTest::mouseClick(combine, Qt::LeftButton, {}, QPoint(8, combine->height() / 2));

    // The same target twice is refused; then name, address, firm and city go in.
    choose(box("Import1Comboxbox"), "Firma");
    choose(box("Import2Comboxbox"), "Adresse geschäftlich: Ort");
    choose(box("ComboBox3"), "Firma");
    choose(box("ComboBox4"), "Firma");
    m.expectInformation(
        "Sie haben mehrmals das gleiche Zielfeld angegeben! Bitte korrigieren dieses!");
    click(&form, "StartImportBitBtn");
    EXPECT_EQ(table->recordCount(), 0);
    choose(box("ComboBox4"), "Ort");
    click(&form, "StartImportBitBtn");
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(records({"Name", "Mail", "Firma", "Ort", "Selected"}),
              (QList<QStringList>{
                  {u8"Jörg Müller", "erste@example.de", u8"Müller, Meier & Söhne", u8"Köln", "1"},
                  {"Nur Zweite", "nur.zweite@example.de", "", "", "1"},
                  {"Nur Erste", "nur.erste@example.de", "", "", "1"}}));
    EXPECT_TRUE(statusTexts.contains("Import: 3 von 3"));
    EXPECT_EQ(busyDepth, 0);
}

TEST_F(ContactImportFormsTest, AddressBookFromAThunderbirdLdifExport) {
    const QString ldif = file("adressbuch.ldif",
                              "dn: cn=Anna Alt,mail=anna@example.de\n"
                              "objectclass: top\nobjectclass: person\n"
                              "cn: Anna Alt\nmail: anna@example.de\n"
                              "mozillaHomeStreet: Am Hang 4\nmozillaHomeLocalityName: Jena\n"
                              "mozillaHomePostalCode: 07743\nmozillaHomeUrl: https://anna.example\n"
                              "\n"
                              "dn: cn=Freunde\nobjectclass: top\nobjectclass: groupOfNames\n"
                              "cn: Freunde\nmember: cn=Anna Alt,mail=anna@example.de\n"
                              "\n"
                              "dn:: Y249SsO2cmc=\ncn:: SsO2cmc=\nmail: joerg@example.de\n"
                              "street: Hauptstr. 1\npostalCode: 50667\nl:: S8O2bG4=\n"
                              "\n"
                              "dn: cn=Kaputt\nkeine Zeile eines Eintrags\n");
    TWabForm form(state, &window);
    form.setProgress(feedback());
    ScriptedFilePicker picker;
    picker.answer(ldif);
    ScriptedMessages m;
    m.expectInformation("1 Kontakt konnte nicht gelesen werden und wird nicht angeboten.");
    form.show();
    auto* list = child<QTreeWidget>(&form, "AdrBookListView");
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->topLevelItemCount() == 3; }, 3000));
    EXPECT_EQ(form.windowTitle(), "Outlook Express Addressbook");
    EXPECT_TRUE(QFile::exists(folder.file("CopyOfadressbuch.ldif")));
    EXPECT_EQ(list->headerItem()->text(1), "Email address");
    EXPECT_EQ(list->topLevelItem(0)->text(2), "https://anna.example");
    EXPECT_EQ(list->topLevelItem(1)->foreground(0).color().rgb() & 0xFFFFFFu, 8421504u);
    EXPECT_EQ(list->topLevelItem(2)->text(0), u8"Jörg");
    auto* details = child<QTreeWidget>(&form, "DetailListView");
    EXPECT_FALSE(details->isVisible());

    // The list is ticked whole; the distribution list is skipped, the ticks go.
    click(&form, "AlleButton");
    m.expectInformation("Importvorgang war erfolgreich!");
    click(&form, "ImportButton");
    EXPECT_EQ(records({"Mail", "Name", "Kategorie", "Str", "PLZ", "Ort", "Selected"}),
              (QList<QStringList>{{"anna@example.de", "Anna Alt", "Windows Addressbook",
                                   "Am Hang 4", "07743", "Jena", "1"},
                                  {"joerg@example.de", u8"Jörg", "Windows Addressbook",
                                   "Hauptstr. 1", "50667", u8"Köln", "1"}}));
    EXPECT_EQ(list->topLevelItem(0)->checkState(0), Qt::Unchecked);
    // The last entry was selected on the way: its properties are in the hidden list.
    ASSERT_GT(details->topLevelItemCount(), 2);
    EXPECT_EQ(details->topLevelItem(1)->text(1), "DISPLAY_NAME");
    EXPECT_EQ(details->topLevelItem(1)->text(2), u8"Jörg");

    m.expectInformation(u8"Die Datensätze wurden nur mit den im Windows Adressbuch zur "
                        u8"Verfügung stehenden Daten importiert. Zusätzliche Informationen wie "
                        u8"z.B. die Anrede müssen selbst ergänzt werden.");
    click(&form, "CloseButton");
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(list->topLevelItemCount(), 0);

    // A file that is gone.
    picker.answer(folder.file("weg.ldif"));
    m.expectError("Addressbook not found");
    form.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form.isVisible(); }, 3000));
}

TEST_F(ContactImportFormsTest, WindowsMailContactsFolder) {
    const QString home = env.home.path();
    auto contact = [](const char* mail, const char* name) {
        return QByteArray("\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
                          "<c:contact xmlns:c=\"http://schemas.microsoft.com/Contact\">\r\n"
                          "<c:EmailAddressCollection><c:EmailAddress>\r\n<c:Address>") +
               mail +
               "</c:Address>\r\n</c:EmailAddress></c:EmailAddressCollection>\r\n"
               "<c:NameCollection><c:Name>\r\n<c:FormattedName>" +
               name + "</c:FormattedName>\r\n</c:Name></c:NameCollection>\r\n</c:contact>\r\n";
    };
    writeBytes(home + "contacts/Anna.contact", contact("anna@example.de", "Anna Alt"));
    writeBytes(home + "contacts/Administrator.contact", contact("admin@example.de", "Admin"));
    writeBytes(home + "contacts/kaputt.contact", "<c:contact>");
    writeBytes(folder.file("anders/Bernd.contact"), contact("bernd@example.de", "B\xC3\xBC"
                                                                                "rger"));
    writeBytes(folder.file("anders/Clara.contact"),
               "<?xml version=\"1.0\"?>\n<c:contact xmlns:c=\"x\"><c:Address>\nclara@x.de"
               "</c:Address><c:FormattedName>Clara</c:FormattedName></c:contact>\n");

    TWMImport form(state, &window);
    form.setProgress(feedback());
    ScriptedMessages m;
    m.expectInformation(u8"1 Kontaktdatei ist keine gültige XML-Datei und wurde übersprungen.");
    form.show();
    auto* list = child<QListWidget>(&form, "chklst1");
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->count() == 1; }, 3000));
    EXPECT_EQ(form.windowTitle(), "Import von Windows Mail");
    EXPECT_EQ(child<QLineEdit>(&form, "Edit1")->text(), home + "contacts/");
    EXPECT_EQ(list->item(0)->text(), "Anna");

    m.expectInformation("Bitte wählen Sie zuerst Datensätze zum Importieren aus!");
    click(&form, "startbutton");

    ScriptedFilePicker picker;
    picker.answer(folder.file("anders"));
    click(&form, "Loadbutton");
    EXPECT_EQ(picker.calls.last().caption, u8"Bitte Kontakte-Ordner wählen");
    EXPECT_EQ(form.folder(), folder.file("anders/"));
    ASSERT_EQ(list->count(), 2);
    click(&form, "BitBtn1");
    click(&form, "BitBtn2");
    EXPECT_EQ(list->item(0)->checkState(), Qt::Unchecked);
    click(&form, "BitBtn1");
    m.expectInformation(u8"Es wurden 2 Datensätze erfolgreich importiert!");
    click(&form, "startbutton");
    EXPECT_FALSE(form.isVisible());
    // Clara's address tags stand on two lines: she comes without one.
    EXPECT_EQ(records({"Name", "Mail", "Selected"}),
              (QList<QStringList>{{u8"Bürger", "bernd@example.de", "1"}, {"Clara", "", "1"}}));
}
