#include "exchange/OutlookContacts.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <algorithm>
#include <functional>

namespace OutlookContacts {

namespace {

// ADR components.
enum { PoBox, Extended, Street, Locality, Region, PostalCode, Country };

// The address of the kind: "work", "home", or "mailing" (the preferred one, else the
// first). An address without work or home type counts as work when the card has no
// work address: vCard 3.0 takes "work" as the default type.
const VCardProperty* address(const VCard& card, const QString& kind) {
    const QList<const VCardProperty*> all = card.all(QStringLiteral("ADR"));
    if (all.isEmpty())
        return nullptr;
    if (kind == QLatin1String("mailing")) {
        const auto best = std::min_element(all.begin(), all.end(), [](auto* a, auto* b) {
            return a->preference() < b->preference();
        });
        return *best;
    }
    for (const VCardProperty* p : all)
        if (p->hasType(kind))
            return p;
    if (kind == QLatin1String("work"))
        for (const VCardProperty* p : all)
            if (!p->hasType(QStringLiteral("home")))
                return p;
    return nullptr;
}

QString addressPart(const VCard& card, const QString& kind, int part) {
    const VCardProperty* p = address(card, kind);
    return p ? p->component(part).trimmed() : QString();
}

// The whole address on one line: "Hauptstr. 1, 10115 Berlin, Deutschland".
QString wholeAddress(const VCard& card, const QString& kind) {
    const VCardProperty* p = address(card, kind);
    if (!p)
        return {};
    const QStringList c = p->components();
    auto at = [&](int i) { return c.value(i).trimmed(); };
    QStringList parts;
    for (const QString& s :
         {at(PoBox), at(Extended), at(Street),
          (at(PostalCode) + QChar(u' ') + at(Locality)).trimmed(), at(Region), at(Country)})
        if (!s.isEmpty())
            parts << s;
    return parts.join(QStringLiteral(", "));
}

// The first TEL that has every one of the types.
QString phone(const VCard& card, const QStringList& types) {
    for (const VCardProperty* p : card.all(QStringLiteral("TEL"))) {
        bool all = true;
        for (const QString& t : types)
            all = all && p->hasType(t);
        if (all)
            return p->text().trimmed();
    }
    return {};
}

// The main number: the preferred one, else one typed "main", else the first that is
// no fax, mobile or pager number.
QString primaryPhone(const VCard& card) {
    const QList<const VCardProperty*> all = card.all(QStringLiteral("TEL"));
    for (const VCardProperty* p : all)
        if (p->preference() <= 100)
            return p->text().trimmed();
    const QString main = phone(card, {QStringLiteral("main")});
    if (!main.isEmpty())
        return main;
    for (const VCardProperty* p : all)
        if (!p->hasType(QStringLiteral("fax")) && !p->hasType(QStringLiteral("cell")) &&
            !p->hasType(QStringLiteral("pager")))
            return p->text().trimmed();
    return {};
}

QString homePage(const VCard& card, bool business) {
    const QList<const VCardProperty*> all = card.all(QStringLiteral("URL"));
    for (const VCardProperty* p : all)
        if (p->hasType(business ? QStringLiteral("work") : QStringLiteral("home")))
            return p->text().trimmed();
    if (!business)
        for (const VCardProperty* p : all)
            if (!p->hasType(QStringLiteral("work")))
                return p->text().trimmed();
    return {};
}

QString firstOf(const VCard& card, std::initializer_list<const char*> names) {
    for (const char* n : names) {
        const QString t = card.text(QLatin1String(n));
        if (!t.isEmpty())
            return t;
    }
    return {};
}

using Reader = std::function<QString(const VCard&)>;

const QHash<QString, Reader>& readers() {
    static const QHash<QString, Reader> table = [] {
        QHash<QString, Reader> r;
        auto n = [](int i) {
            return [i](const VCard& c) {
                const VCardProperty* p = c.first(QStringLiteral("N"));
                return p ? p->component(i).trimmed() : QString();
            };
        };
        r[QStringLiteral("LastName")] = n(0);
        r[QStringLiteral("FirstName")] = n(1);
        r[QStringLiteral("Title")] = n(3); // the honorific prefix: "Herr", "Dr."
        r[QStringLiteral("FullName")] = [](const VCard& c) {
            const QString fn = c.text(QStringLiteral("FN"));
            if (!fn.isEmpty())
                return fn;
            const VCardProperty* p = c.first(QStringLiteral("N"));
            return p ? (p->component(1).trimmed() + QChar(u' ') + p->component(0).trimmed())
                           .trimmed()
                     : QString();
        };
        r[QStringLiteral("NickName")] = [](const VCard& c) {
            const VCardProperty* p = c.first(QStringLiteral("NICKNAME"));
            return p ? p->text().replace(u',', QStringLiteral(", ")).trimmed() : QString();
        };
        r[QStringLiteral("JobTitle")] = [](const VCard& c) {
            return c.text(QStringLiteral("TITLE"));
        };
        r[QStringLiteral("Profession")] = [](const VCard& c) {
            return c.text(QStringLiteral("ROLE"));
        };
        r[QStringLiteral("CompanyName")] = [](const VCard& c) {
            const VCardProperty* p = c.first(QStringLiteral("ORG"));
            return p ? p->component(0).trimmed() : QString();
        };
        r[QStringLiteral("Language")] = [](const VCard& c) {
            return c.text(QStringLiteral("LANG"));
        };
        r[QStringLiteral("AssistantName")] = [](const VCard& c) {
            return firstOf(c, {"X-ASSISTANT", "X-MS-ASSISTANT", "X-EVOLUTION-ASSISTANT"});
        };
        r[QStringLiteral("AssistantTelephoneNumber")] = [](const VCard& c) {
            const QString t = phone(c, {QStringLiteral("x-evolution-assistant")});
            return t.isEmpty() ? firstOf(c, {"X-ASSISTANT-TEL", "X-MS-ASSISTANT-TEL"}) : t;
        };
        r[QStringLiteral("CallbackTelephoneNumber")] = [](const VCard& c) {
            const QString t = phone(c, {QStringLiteral("x-evolution-callback")});
            return t.isEmpty() ? phone(c, {QStringLiteral("x-callback")}) : t;
        };
        r[QStringLiteral("BusinessFaxNumber")] = [](const VCard& c) {
            return phone(c, {QStringLiteral("work"), QStringLiteral("fax")});
        };
        r[QStringLiteral("HomeFaxNumber")] = [](const VCard& c) {
            return phone(c, {QStringLiteral("home"), QStringLiteral("fax")});
        };
        r[QStringLiteral("MobileTelephoneNumber")] = [](const VCard& c) {
            return phone(c, {QStringLiteral("cell")});
        };
        r[QStringLiteral("PrimaryTelephoneNumber")] = primaryPhone;
        r[QStringLiteral("BusinessHomePage")] = [](const VCard& c) { return homePage(c, true); };
        r[QStringLiteral("PersonalHomePage")] = [](const VCard& c) { return homePage(c, false); };
        r[QStringLiteral("MailingAddress")] = [](const VCard& c) {
            return wholeAddress(c, QStringLiteral("mailing"));
        };
        const struct {
            const char* prefix;
            const char* kind;
        } kinds[] = {{"Business", "work"}, {"Home", "home"}};
        for (const auto& k : kinds) {
            const QString prefix = QLatin1String(k.prefix);
            const QString kind = QLatin1String(k.kind);
            r[prefix + QStringLiteral("Address")] = [kind](const VCard& c) {
                return wholeAddress(c, kind);
            };
            const struct {
                const char* suffix;
                int part;
            } parts[] = {{"Country", Country},     {"City", Locality}, {"PostalCode", PostalCode},
                         {"PostOfficeBox", PoBox}, {"State", Region},  {"Street", Street}};
            for (const auto& p : parts)
                r[prefix + QStringLiteral("Address") + QLatin1String(p.suffix)] =
                    [kind, part = p.part](const VCard& c) { return addressPart(c, kind, part); };
        }
        for (int i = 0; i < 3; ++i)
            r[QStringLiteral("Email%1Address").arg(i + 1)] = [i](const VCard& c) {
                return emailAddresses(c)[i];
            };
        return r;
    }();
    return table;
}

} // namespace

QString mainFolderCaption() {
    return QStringLiteral("Kontakt Hauptordner");
}

const QList<PropertyChoice>& extraProperties() {
    static const QList<PropertyChoice> list = [] {
        const char* const pairs[][2] = {
            {"Vorname", "FirstName"},
            {"Adresse geschäftlich", "BusinessAddress"},
            {"Adresse geschäftlich: Land", "BusinessAddressCountry"},
            {"Adresse geschäftlich: Ort", "BusinessAddressCity"},
            {"Adresse geschäftlich: PLZ", "BusinessAddressPostalCode"},
            {"Adresse geschäftlich: Postfach", "BusinessAddressPostOfficeBox"},
            {"Adresse geschäftlich: Region", "BusinessAddressState"},
            {"Adresse geschäftlich: Straße", "BusinessAddressStreet"},
            {"Adresse privat", "HomeAddress"},
            {"Adresse privat: Land", "HomeAddressCountry"},
            {"Adresse privat: Ort", "HomeAddressCity"},
            {"Adresse privat: PLZ", "HomeAddressPostalCode"},
            {"Adresse privat: Postfach", "HomeAddressPostOfficeBox"},
            {"Adresse privat: Region", "HomeAddressState"},
            {"Adresse privat: Straße", "HomeAddressStreet"},
            {"Anrede", "Title"},
            {"Beruf", "Profession"},
            {"Büro", "OfficeLocation"},
            {"Fax geschäftlich", "BusinessFaxNumber"},
            {"Fax privat", "HomeFaxNumber"},
            {"Firma", "CompanyName"},
            {"Haupttelefon", "PrimaryTelephoneNumber"},
            {"Vorname", "FirstName"},
            {"Land/Region", "HomeAddressCountry"},
            {"Mobiltelefon", "MobileTelephoneNumber"},
            {"Nachname", "LastName"},
            {"Name", "FullName"},
            {"Name Assistent", "AssistantName"},
            {"HeimtatOrt", "HomeAddressCity"},
            {"Ort", "OfficeLocation"},
            {"PLZ", "HomeAddressPostalCode"},
            {"Position", "JobTitle"},
            {"Postanschrift", "MailingAddress"},
            {"Postfach", "HomeAddressPostOfficeBox"},
            {"Region", "HomeAddressState"},
            {"Spitzname", "NickName"},
            {"Sprache", "Language"},
            {"Startseite geschäftlich", "BusinessHomePage"},
            {"Startseite privat", "PersonalHomePage"},
            {"Straße", "HomeAddressStreet"},
            {"Symbol", "Icon"},
            {"Tel. für Rückmeldung", "CallbackTelephoneNumber"},
            {"Telefon Assistent", "AssistantTelephoneNumber"},
        };
        QList<PropertyChoice> out;
        for (const auto& p : pairs)
            out.append({QString::fromUtf8(p[0]), QString::fromLatin1(p[1])});
        return out;
    }();
    return list;
}

QStringList subfolders(const QString& folder) {
    if (folder.isEmpty())
        return {};
    QStringList names =
        QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    return names;
}

FolderItems readFolder(const QString& folder) {
    FolderItems out;
    if (folder.isEmpty())
        return out;
    const QDir dir(folder);
    const QStringList files = dir.entryList({QStringLiteral("*.vcf"), QStringLiteral("*.vcard")},
                                            QDir::Files, QDir::Name | QDir::IgnoreCase);
    for (const QString& name : files) {
        QFile f(dir.filePath(name));
        if (!f.open(QIODevice::ReadOnly)) {
            ++out.unreadable;
            continue;
        }
        const QByteArray bytes = f.readAll();
        VCardFile read = readVCards(bytes);
        if (read.cards.isEmpty() && read.broken == 0 && !bytes.trimmed().isEmpty())
            ++read.broken; // a file that holds no card at all
        out.unreadable += read.broken;
        out.items += read.cards;
    }
    return out;
}

QString unreadableText(int count) {
    return count == 1
               ? QStringLiteral("1 Kontakt konnte nicht gelesen werden und wird nicht angeboten.")
               : QStringLiteral(
                     "%1 Kontakte konnten nicht gelesen werden und werden nicht angeboten.")
                     .arg(count);
}

int itemClass(const VCard& card) {
    return card.isGroup() ? DistributionListClass : ContactClass;
}

QStringList emailAddresses(const VCard& card) {
    QList<const VCardProperty*> all = card.all(QStringLiteral("EMAIL"));
    std::stable_sort(all.begin(), all.end(),
                     [](auto* a, auto* b) { return a->preference() < b->preference(); });
    QStringList out;
    // An empty EMAIL still takes its place: a card may hold only a second address.
    for (const VCardProperty* p : all)
        if (out.size() < 3)
            out << p->text().trimmed();
    while (out.size() < 3)
        out << QString();
    return out;
}

QString property(const VCard& card, const QString& name) {
    const auto it = readers().constFind(name);
    return it == readers().constEnd() ? QString() : (*it)(card);
}

QList<QStringList> preview(const QList<VCard>& items, const PreviewChoice& choice) {
    const QList<PropertyChoice>& extras = extraProperties();
    QList<QStringList> rows;
    for (const VCard& card : items) {
        if (itemClass(card) != ContactClass)
            continue;
        const QStringList mails = emailAddresses(card);
        QString address = mails[std::clamp(choice.email, 0, 2)];
        if (address.isEmpty())
            address = !mails[1].isEmpty() ? mails[1] : mails[2];
        if (address.isEmpty())
            continue;
        const QString last = property(card, QStringLiteral("LastName"));
        const QString name = choice.combineNames
                                 ? property(card, QStringLiteral("FirstName")) + QChar(u' ') + last
                                 : last;
        QStringList row{name, address};
        for (int position : choice.extras)
            row << (position >= 1 && position <= extras.size()
                        ? property(card, extras[position - 1].property)
                        : QString());
        rows << row;
    }
    return rows;
}

} // namespace OutlookContacts
