#pragma once
#include <QString>
#include <QStringList>

// The contacts of Windows Mail: one XML file "<name>.contact" per contact in a folder.
// Each file is read as XML (it must be well-formed to be offered); a value is the text
// between an opening and a closing tag that stand on one line, the first such line
// giving it, so a value whose tags are split over lines reads empty.
namespace WindowsMailContacts {

// "contacts" in the user's home folder, with a trailing separator.
QString defaultFolder();

// The contact names of the folder (file names without ".contact", any letter case,
// "Administrator.contact" left out), sorted without regard to case. Files that are not
// well-formed XML are left out and counted in *unreadable.
QStringList list(const QString& folder, int* unreadable = nullptr);

// The value of the tag ("c:Address") in the text by the line rule, XML entities
// resolved; empty when no line holds both tags.
QString value(const QString& text, const QString& tag);

struct Contact {
    QString name; // <c:FormattedName>
    QString mail; // the first <c:Address>
};
// Reads the contact file folder + name + ".contact". False when it is no XML file.
bool read(const QString& folder, const QString& name, Contact* contact);

// "Es wurden 3 Datensätze erfolgreich importiert!" / "Es wurde ein Datensatz ...".
QString importedText(int count);
// "<n> Kontaktdateien konnten nicht gelesen werden ..." for a count above 0.
QString unreadableText(int count);

} // namespace WindowsMailContacts
