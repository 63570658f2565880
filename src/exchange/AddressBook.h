#pragma once
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// An address-book file read as the address book of the address-book import: a vCard
// file or an LDIF export (as Thunderbird and most address books write it). Each card or
// LDIF record is an entry of object type 6 (a person) or 8 (a distribution list: a group
// card, an LDIF groupOfNames), with its properties named as the address book names them.
namespace AddressBook {

constexpr int PersonType = 6;
constexpr int DistributionListType = 8;

struct Property {
    QString name; // "DISPLAY_NAME", "EMAIL_ADDRESS", ...
    quint32 tag;  // 0x3001001E, ...
    QString value;
};

struct Entry {
    int objectType = PersonType;
    QList<Property> properties; // OBJECT_TYPE first, then the non-empty ones

    QString value(const QString& name) const; // empty when absent
    QString displayName() const { return value(QStringLiteral("DISPLAY_NAME")); }
    QString email() const { return value(QStringLiteral("EMAIL_ADDRESS")); }
    QString homePage() const { return value(QStringLiteral("PERSONAL_HOME_PAGE")); }
};

struct Book {
    QList<Entry> entries;
    int unreadable = 0; // cards or records that could not be read
};

// The copy the import reads: "CopyOf" + file name in the file's folder.
QString copyPath(const QString& path);

// Reads the bytes as vCard when they start with a card, else as LDIF. False (and a
// German reason) when they are neither.
bool read(const QByteArray& bytes, Book* book, QString* error);
Book readLdif(const QByteArray& bytes);

// The record of an entry of object type 6 for the import: e-mail, display name, then
// street, postal code and city, each the business value, else the private one, else a
// single blank.
QStringList importValues(const Entry& entry);

// "[%x]" for a tag without name, else the name.
QString tagName(quint32 tag);

} // namespace AddressBook
