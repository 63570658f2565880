#pragma once
#include "exchange/VCard.h"

#include <QList>
#include <QString>
#include <QStringList>

// The contacts of the Outlook import, read from a folder of vCard files: the folder the
// user picks is the main contacts folder, its direct subfolders are the subfolders,
// every card in a .vcf file (one file may hold many) is an item. A card is a contact
// (class 40); a group card is a distribution list (class 69) and never imported.
namespace OutlookContacts {

constexpr int ContactClass = 40;
constexpr int DistributionListClass = 69;

// "Kontakt Hauptordner", the first entry of the folder list.
QString mainFolderCaption();

// The 43 extra properties in list order: caption and the contact property read.
struct PropertyChoice {
    QString caption;
    QString property;
};
const QList<PropertyChoice>& extraProperties();

// The names of the folder's direct subfolders, sorted without regard to case.
QStringList subfolders(const QString& folder);

// The items of one folder (not of its subfolders), file by file in name order and
// within a file in card order; and how many cards or files could not be read.
struct FolderItems {
    QList<VCard> items;
    int unreadable = 0;
};
FolderItems readFolder(const QString& folder);
// "<n> Kontakte konnten nicht gelesen werden ..." for a count above 0.
QString unreadableText(int count);

int itemClass(const VCard& card);

// A contact property by its name ("FirstName", "Email2Address", "BusinessAddressCity",
// ...), trimmed; a property a card cannot hold reads empty.
QString property(const VCard& card, const QString& name);
// The card's first three addresses in the order of their preference (file order among
// equals); missing ones are empty.
QStringList emailAddresses(const VCard& card);

// What the window's controls say for the preview.
struct PreviewChoice {
    int email = 0;            // 0, 1, 2: "E-Mail", "E-Mail 2", "E-Mail 3"
    bool combineNames = true; // "Vorname und Nachname kombinieren"
    QList<int> extras;        // chosen positions 1..43 of the extra properties, in order
};
// One row per contact with an address: name, address, then the chosen extra properties.
QList<QStringList> preview(const QList<VCard>& items, const PreviewChoice& choice);

} // namespace OutlookContacts
