#pragma once
#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// One content line of a vCard, decoded: group and name upper-cased, parameters with
// upper-cased names, the value decoded from its transfer encoding and charset but with
// its backslash escapes still in place (structured values split on them).
struct VCardProperty {
    QString group;
    QString name;
    QList<QPair<QString, QStringList>> params;
    QString value;

    // All values of the named parameter (a 2.1 bare parameter counts as TYPE).
    QStringList param(const QString& name) const;
    // Whether TYPE holds the word, case ignored ("work", "home", "cell", "pref").
    bool hasType(const QString& type) const;
    // The preference: PREF=n, or 1 for TYPE=pref / a bare PREF; 101 when absent.
    int preference() const;
    // The value with its escapes resolved.
    QString text() const;
    // The value split on unescaped ";" and each part unescaped (N, ADR, ORG).
    QStringList components() const;
    QString component(int index) const { return components().value(index); }
};

struct VCard {
    QString version; // "2.1", "3.0", "4.0" or empty
    QList<VCardProperty> properties;

    QList<const VCardProperty*> all(const QString& name) const;
    const VCardProperty* first(const QString& name) const;
    QString text(const QString& name) const; // first property's text, trimmed
    // A group card (KIND:group, X-ADDRESSBOOKSERVER-KIND:group): a distribution list.
    bool isGroup() const;
};

// A vCard file read whole: every card that could be read, and how many could not
// (a line that is no property, an unknown charset, a card without its END).
struct VCardFile {
    QList<VCard> cards;
    int broken = 0;
};

// Reads vCard 2.1, 3.0 and 4.0: folded lines, quoted-printable with soft line breaks,
// base64, CHARSET parameters (without one: UTF-8 when the bytes are valid UTF-8, else
// Windows-1252), groups and quoted parameter values.
VCardFile readVCards(const QByteArray& bytes);
// Whether the bytes hold a vCard (a BEGIN:VCARD line before anything else that counts).
bool looksLikeVCard(const QByteArray& bytes);
