#include "exchange/OutlookContacts.h"
#include "exchange/VCard.h"

#include "exchange/ContactTestSupport.h"

#include <QDir>

using namespace OutlookContacts;

TEST(VCardTest, CardsOfAnIndependentWriter) {
    TempProgramFolder folder;
    const QString path = folder.file("kontakte.vcf");
    ASSERT_NO_FATAL_FAILURE(writeVobjectCards(path));
    const FolderItems read = readFolder(folder.path());
    EXPECT_EQ(read.unreadable, 0);
    ASSERT_EQ(read.items.size(), 6);
    const VCard& joerg = read.items[0];
    EXPECT_EQ(itemClass(joerg), ContactClass);
    EXPECT_EQ(itemClass(read.items[3]), ContactClass);
    EXPECT_EQ(itemClass(read.items[4]), DistributionListClass);
    EXPECT_EQ(itemClass(read.items[5]), DistributionListClass);

    // The preferred address first, the file order after it.
    EXPECT_EQ(emailAddresses(joerg),
              (QStringList{"erste@example.de", "zweite@example.de", QString()}));
    const QList<QPair<const char*, const char*>> expected = {
        {"FirstName", "Jörg"},
        {"LastName", "Müller"},
        {"FullName", "Jörg Müller"},
        {"Title", "Dr."},
        {"CompanyName", "Müller, Meier & Söhne"},
        {"JobTitle", "Geschäftsführer"},
        {"BusinessAddressStreet", "Hauptstraße 1; Hinterhaus"},
        {"BusinessAddressCity", "Köln"},
        {"BusinessAddressPostalCode", "50667"},
        {"BusinessAddressCountry", "Deutschland"},
        {"BusinessAddress", "Hauptstraße 1; Hinterhaus, 50667 Köln, Deutschland"},
        {"HomeAddressStreet", "Gartenweg 2"},
        {"HomeAddressState", "NRW"},
        {"HomeAddress", "Gartenweg 2, 53111 Bonn, NRW"},
        {"BusinessFaxNumber", "0221 1"},
        {"HomeFaxNumber", ""},
        {"MobileTelephoneNumber", "0170 2"},
        {"PrimaryTelephoneNumber", "0228 3"},
        {"BusinessHomePage", "https://mueller.example"},
        {"PersonalHomePage", "https://joerg.example"},
        {"Email3Address", ""},
        {"Icon", ""},
        {"OfficeLocation", ""},
    };
    for (const auto& [name, value] : expected)
        EXPECT_EQ(property(joerg, QLatin1String(name)), QString::fromUtf8(value)) << name;

    // The preview: contacts with an address only, groups never; the second address
    // stands in for a missing first one.
    PreviewChoice choice;
    choice.extras = {21, 4}; // "Firma", "Adresse geschäftlich: Ort"
    const QList<QStringList> rows = preview(read.items, choice);
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[0], (QStringList{u8"Jörg Müller", "erste@example.de", u8"Müller, Meier & Söhne",
                                    u8"Köln"}));
    EXPECT_EQ(rows[1], (QStringList{"Nur Zweite", "nur.zweite@example.de", "", ""}));
    EXPECT_EQ(rows[2], (QStringList{"Nur Erste", "nur.erste@example.de", "", ""}));
    // "E-Mail 2": a contact with only a first address is not shown.
    choice.email = 1;
    choice.combineNames = false;
    choice.extras.clear();
    EXPECT_EQ(preview(read.items, choice),
              (QList<QStringList>{{u8"Müller", "zweite@example.de"},
                                  {"Zweite", "nur.zweite@example.de"}}));
}

TEST(VCardTest, Version21WithQuotedPrintableCharsetsAndBrokenCards) {
    const QByteArray bytes =
        "BEGIN:VCARD\r\n"
        "VERSION:2.1\r\n"
        "N;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:M=FCller;J=F6rg\r\n"
        "ADR;WORK;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:;;Hauptstra=C3=9Fe 1=0D=0A=\r\n"
        "Hinterhaus;K=C3=B6ln;;50667;\r\n"
        "EMAIL;INTERNET:zweite@example.de\r\n"
        "EMAIL;PREF;INTERNET:erste@example.de\r\n"
        "TEL;WORK;FAX:0221 1\r\n"
        "PHOTO;ENCODING=BASE64;TYPE=JPEG:/9j/4AAQ\r\n"
        " SkZJRgABAQ==\r\n"
        "\r\n"
        "END:VCARD\r\n"
        // Latin-1 bytes without a charset are read as Windows-1252.
        "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Stra\xDF"
        "e;Anna\r\nEMAIL:anna@example.de\r\nEND:VCARD\r\n"
        // An unknown charset, a line that is no property, a card without END.
        "BEGIN:VCARD\r\nN;CHARSET=X-KLINGONISCH:Q;W\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nN:Kaputt;Karl\r\ndiese Zeile gehört nirgends hin\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nN:Offen;Otto\r\n"
        "BEGIN:VCARD\nVERSION:3.0\nN:Neu;Nora\nEMAIL;TYPE=\"work,pref\":nora@example.de\n"
        "NOTE:a\\,b\\;c\\nd\nEND:VCARD\n"
        "BEGIN:VCARD\r\nN:Ohne;Ende\r\n";
    const VCardFile file = readVCards(bytes);
    EXPECT_EQ(file.broken, 4);
    ASSERT_EQ(file.cards.size(), 3);
    const VCard& mueller = file.cards[0];
    EXPECT_EQ(mueller.version, "2.1");
    EXPECT_EQ(property(mueller, "LastName"), u8"Müller");
    EXPECT_EQ(property(mueller, "FirstName"), u8"Jörg");
    EXPECT_EQ(property(mueller, "BusinessAddressStreet"), u8"Hauptstraße 1\r\nHinterhaus");
    EXPECT_EQ(property(mueller, "BusinessAddressCity"), u8"Köln");
    EXPECT_EQ(property(mueller, "BusinessFaxNumber"), "0221 1");
    EXPECT_EQ(property(mueller, "Email1Address"), "erste@example.de");
    EXPECT_EQ(property(file.cards[1], "LastName"), u8"Straße");
    const VCard& nora = file.cards[2];
    EXPECT_EQ(property(nora, "Email1Address"), "nora@example.de");
    EXPECT_EQ(nora.first("NOTE")->text(), "a,b;c\nd");
    EXPECT_EQ(nora.first("EMAIL")->preference(), 1);
    EXPECT_EQ(unreadableText(4),
              "4 Kontakte konnten nicht gelesen werden und werden nicht angeboten.");
}

TEST(VCardTest, FolderAndSubfolders) {
    TempProgramFolder folder;
    writeBytes(folder.file("b.vcf"), "BEGIN:VCARD\nN:B;\nEMAIL:b@x.de\nEND:VCARD\n");
    writeBytes(folder.file("a.VCF"), "BEGIN:VCARD\nN:A;\nEMAIL:a@x.de\nEND:VCARD\n");
    writeBytes(folder.file("notiz.txt"), "kein Kontakt");
    writeBytes(folder.file("leer.vcf"), "nur Text, kein vCard");
    QDir(folder.path()).mkpath("Kunden/Alt");
    QDir(folder.path()).mkpath("arbeit");
    writeBytes(folder.file("Kunden/k.vcf"), "BEGIN:VCARD\nN:K;\nEMAIL:k@x.de\nEND:VCARD\n");
    EXPECT_EQ(subfolders(folder.path()), (QStringList{"arbeit", "Kunden"}));
    const FolderItems main = readFolder(folder.path());
    ASSERT_EQ(main.items.size(), 2); // not the subfolder's
    EXPECT_EQ(property(main.items[0], "LastName"), "A");
    EXPECT_EQ(main.unreadable, 1);
    EXPECT_EQ(readFolder(folder.file("Kunden")).items.size(), 1);
}
