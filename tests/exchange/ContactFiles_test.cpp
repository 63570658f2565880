#include "exchange/AddressBook.h"
#include "exchange/WindowsMailContacts.h"

#include "exchange/ExchangeTestSupport.h"

#include <QDir>

using namespace AddressBook;

namespace {

// As Thunderbird exports an address book: values that are not plain ASCII in base64,
// long values continued on the next line, a mailing list as groupOfNames.
const char* const kThunderbirdLdif = "dn:: Y249SsO2cmcgTcO8bGxlcixtYWlsPWpvZXJnQGV4YW1wbGUuZGU=\n"
                                     "objectclass: top\n"
                                     "objectclass: person\n"
                                     "objectclass: organizationalPerson\n"
                                     "objectclass: inetOrgPerson\n"
                                     "objectclass: mozillaAbPersonAlpha\n"
                                     "givenName:: SsO2cmc=\n"
                                     "sn:: TcO8bGxlcg==\n"
                                     "cn:: SsO2cmcgTcO8bGxlcg==\n"
                                     "mail: joerg@example.de\n"
                                     "modifytimestamp: 0\n"
                                     "mozillaHomeStreet: Gartenweg 2\n"
                                     "mozillaHomeLocalityName: Bonn\n"
                                     "mozillaHomePostalCode: 53111\n"
                                     "street:: SGF1cHRzdHJhw59lIDE=\n"
                                     "l:: S8O2bG4=\n"
                                     "postalCode: 50667\n"
                                     "mozillaHomeUrl: https://joerg.exa\n"
                                     " mple\n"
                                     "\n"
                                     "dn: cn=Nur Privat,mail=privat@example.de\n"
                                     "objectclass: top\n"
                                     "objectclass: person\n"
                                     "cn: Nur Privat\n"
                                     "mail: privat@example.de\n"
                                     "mozillaHomeStreet: Heimweg 3\n"
                                     "mozillaHomeLocalityName: Ulm\n"
                                     "\n"
                                     "dn: cn=Kollegen\n"
                                     "objectclass: top\n"
                                     "objectclass: groupOfNames\n"
                                     "cn: Kollegen\n"
                                     "member: cn=Nur Privat,mail=privat@example.de\n"
                                     "\n"
                                     "# a record that cannot be read\n"
                                     "dn: cn=Kaputt\n"
                                     "cn:: !!!kein base64!!!\n"
                                     "\n"
                                     "dn: cn=Ohne Adresse\n"
                                     "cn: Ohne Adresse\n"
                                     "mail: ohne@example.de\n";

} // namespace

TEST(AddressBookTest, ThunderbirdLdifAndVCardFiles) {
    Book book;
    QString error;
    ASSERT_TRUE(read(kThunderbirdLdif, &book, &error)) << error.toStdString();
    EXPECT_EQ(book.unreadable, 1);
    ASSERT_EQ(book.entries.size(), 4);
    const Entry& joerg = book.entries[0];
    EXPECT_EQ(joerg.objectType, PersonType);
    EXPECT_EQ(joerg.displayName(), u8"Jörg Müller");
    EXPECT_EQ(joerg.email(), "joerg@example.de");
    EXPECT_EQ(joerg.homePage(), "https://joerg.example");
    EXPECT_EQ(joerg.properties.first().name, "OBJECT_TYPE");
    EXPECT_EQ(tagName(0x3A29001E), "STREET_ADDRESS");
    EXPECT_EQ(tagName(0x66AB001E), "[66ab]");
    // Business values first, the private ones where the business ones are missing, a
    // single blank where neither is.
    EXPECT_EQ(importValues(joerg), (QStringList{"joerg@example.de", u8"Jörg Müller",
                                                u8"Hauptstraße 1", "50667", u8"Köln"}));
    EXPECT_EQ(importValues(book.entries[1]),
              (QStringList{"privat@example.de", "Nur Privat", "Heimweg 3", " ", "Ulm"}));
    EXPECT_EQ(book.entries[2].objectType, DistributionListType);
    EXPECT_EQ(importValues(book.entries[3]),
              (QStringList{"ohne@example.de", "Ohne Adresse", " ", " ", " "}));

    // A vCard file: the group card is a distribution list.
    ASSERT_TRUE(read("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Anna Alt\r\nN:Alt;Anna;;;\r\n"
                     "EMAIL;TYPE=INTERNET:anna@example.de\r\n"
                     "ADR;TYPE=HOME:;;Am Hang 4;Jena;;07743;\r\nEND:VCARD\r\n"
                     "BEGIN:VCARD\r\nVERSION:4.0\r\nKIND:group\r\nFN:Freunde\r\nEND:VCARD\r\n",
                     &book, &error));
    ASSERT_EQ(book.entries.size(), 2);
    EXPECT_EQ(importValues(book.entries[0]),
              (QStringList{"anna@example.de", "Anna Alt", "Am Hang 4", "07743", "Jena"}));
    EXPECT_EQ(book.entries[1].objectType, DistributionListType);

    EXPECT_FALSE(read("Name;Mail\r\nAnna;anna@example.de\r\n", &book, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(copyPath("/tmp/x/adressen.ldif"), "/tmp/x/CopyOfadressen.ldif");
}

TEST(WindowsMailContactsTest, LineRuleListAndBrokenFiles) {
    TempProgramFolder folder;
    const QString dir = folder.path();
    // Several addresses (the first wins), an umlaut, an entity.
    writeBytes(dir + "Jörg Müller.contact",
               "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
               "<c:contact c:Version=\"1\" xmlns:c=\"http://schemas.microsoft.com/Contact\">\r\n"
               "<c:EmailAddressCollection><c:EmailAddress c:ElementID=\"1\">\r\n"
               "<c:Address>joerg@example.de</c:Address>\r\n"
               "</c:EmailAddress><c:EmailAddress c:ElementID=\"2\">\r\n"
               "<c:Address>zweite@example.de</c:Address></c:EmailAddress>\r\n"
               "</c:EmailAddressCollection>\r\n"
               "<c:NameCollection><c:Name><c:FormattedName>J\xC3\xB6rg M\xC3\xBCller &amp; Co"
               "</c:FormattedName>\r\n"
               "<c:GivenName>J\xC3\xB6rg</c:GivenName></c:Name></c:NameCollection>\r\n"
               "</c:contact>\r\n");
    // The address tags split over two lines: no address.
    writeBytes(dir + "geteilt.CONTACT",
               "<?xml version=\"1.0\"?>\n<c:contact xmlns:c=\"x\"><c:Address>\n"
               "geteilt@example.de</c:Address>\n<c:FormattedName>Geteilt</c:FormattedName>\n"
               "</c:contact>\n");
    writeBytes(dir + "Administrator.contact", "<c:contact xmlns:c=\"x\"/>");
    writeBytes(dir + "kaputt.contact", "<c:contact><c:Address>x@y.de</c:Address>");
    writeBytes(dir + "notiz.txt", "<a/>");
    int unreadable = -1;
    EXPECT_EQ(WindowsMailContacts::list(dir, &unreadable),
              (QStringList{"geteilt", u8"Jörg Müller"}));
    EXPECT_EQ(unreadable, 1);

    WindowsMailContacts::Contact c;
    ASSERT_TRUE(WindowsMailContacts::read(dir, u8"Jörg Müller", &c));
    EXPECT_EQ(c.mail, "joerg@example.de");
    EXPECT_EQ(c.name, u8"Jörg Müller & Co");
    ASSERT_TRUE(WindowsMailContacts::read(dir, "geteilt", &c));
    EXPECT_EQ(c.mail, "");
    EXPECT_EQ(c.name, "Geteilt");
    EXPECT_FALSE(WindowsMailContacts::read(dir, "kaputt", &c));
    EXPECT_EQ(WindowsMailContacts::importedText(2),
              u8"Es wurden 2 Datensätze erfolgreich importiert!");
    EXPECT_EQ(WindowsMailContacts::importedText(1),
              "Es wurde ein Datensatz erfolgreich importiert!");
}
