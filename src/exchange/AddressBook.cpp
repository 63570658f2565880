#include "exchange/AddressBook.h"

#include "common/TextFile.h"
#include "exchange/OutlookContacts.h"
#include "exchange/VCard.h"

#include <QFileInfo>
#include <QHash>

namespace AddressBook {

namespace {

struct Tag {
    const char* name;
    quint32 tag;
};

// The properties an entry may carry, in the order the detail list shows them.
constexpr Tag kTags[] = {
    {"OBJECT_TYPE", 0x0FFE0003},
    {"DISPLAY_NAME", 0x3001001E},
    {"EMAIL_ADDRESS", 0x3003001E},
    {"GIVEN_NAME", 0x3A06001E},
    {"SURNAME", 0x3A11001E},
    {"NICKNAME", 0x3A4F001E},
    {"COMPANY_NAME", 0x3A16001E},
    {"TITLE", 0x3A17001E},
    {"STREET_ADDRESS", 0x3A29001E},
    {"POSTAL_CODE", 0x3A2A001E},
    {"LOCALITY", 0x3A27001E},
    {"STATE_OR_PROVINCE", 0x3A28001E},
    {"COUNTRY", 0x3A26001E},
    {"HOME_ADDRESS_STREET", 0x3A5D001E},
    {"HOME_ADDRESS_POSTAL_CODE", 0x3A5B001E},
    {"HOME_ADDRESS_CITY", 0x3A59001E},
    {"HOME_ADDRESS_STATE_OR_PROVINCE", 0x3A5C001E},
    {"HOME_ADDRESS_COUNTRY", 0x3A5A001E},
    {"BUSINESS_TELEPHONE_NUMBER", 0x3A08001E},
    {"HOME_TELEPHONE_NUMBER", 0x3A09001E},
    {"MOBILE_TELEPHONE_NUMBER", 0x3A1C001E},
    {"PERSONAL_HOME_PAGE", 0x3A50001E},
    {"BUSINESS_HOME_PAGE", 0x3A51001E},
};

// Builds the entry from values by property name, in the order of kTags.
Entry makeEntry(int objectType, const QHash<QString, QString>& values) {
    Entry e;
    e.objectType = objectType;
    e.properties.append({QStringLiteral("OBJECT_TYPE"), kTags[0].tag, QString::number(objectType)});
    for (const Tag& t : kTags) {
        const QString value = values.value(QLatin1String(t.name)).trimmed();
        if (!value.isEmpty() && t.tag != kTags[0].tag)
            e.properties.append({QLatin1String(t.name), t.tag, value});
    }
    return e;
}

Entry fromCard(const VCard& card) {
    using OutlookContacts::property;
    QHash<QString, QString> v;
    v[QStringLiteral("DISPLAY_NAME")] = property(card, QStringLiteral("FullName"));
    for (const QString& mail : OutlookContacts::emailAddresses(card))
        if (!mail.isEmpty()) {
            v[QStringLiteral("EMAIL_ADDRESS")] = mail;
            break;
        }
    const char* const map[][2] = {
        {"GIVEN_NAME", "FirstName"},
        {"SURNAME", "LastName"},
        {"NICKNAME", "NickName"},
        {"COMPANY_NAME", "CompanyName"},
        {"TITLE", "JobTitle"},
        {"STREET_ADDRESS", "BusinessAddressStreet"},
        {"POSTAL_CODE", "BusinessAddressPostalCode"},
        {"LOCALITY", "BusinessAddressCity"},
        {"STATE_OR_PROVINCE", "BusinessAddressState"},
        {"COUNTRY", "BusinessAddressCountry"},
        {"HOME_ADDRESS_STREET", "HomeAddressStreet"},
        {"HOME_ADDRESS_POSTAL_CODE", "HomeAddressPostalCode"},
        {"HOME_ADDRESS_CITY", "HomeAddressCity"},
        {"HOME_ADDRESS_STATE_OR_PROVINCE", "HomeAddressState"},
        {"HOME_ADDRESS_COUNTRY", "HomeAddressCountry"},
        {"MOBILE_TELEPHONE_NUMBER", "MobileTelephoneNumber"},
        {"PERSONAL_HOME_PAGE", "PersonalHomePage"},
        {"BUSINESS_HOME_PAGE", "BusinessHomePage"},
    };
    for (const auto& m : map)
        v[QLatin1String(m[0])] = property(card, QLatin1String(m[1]));
    for (const VCardProperty* tel : card.all(QStringLiteral("TEL"))) {
        if (tel->hasType(QStringLiteral("fax")) || tel->hasType(QStringLiteral("cell")))
            continue;
        const QString key = tel->hasType(QStringLiteral("home"))
                                ? QStringLiteral("HOME_TELEPHONE_NUMBER")
                                : QStringLiteral("BUSINESS_TELEPHONE_NUMBER");
        if (v.value(key).isEmpty())
            v[key] = tel->text();
    }
    return makeEntry(card.isGroup() ? DistributionListType : PersonType, v);
}

// Joins street and its second line as the address book holds them, one text.
QString street(const QHash<QString, QStringList>& attrs, const char* first, const char* second) {
    QStringList parts;
    for (const char* a : {first, second}) {
        const QString s = attrs.value(QString::fromLatin1(a).toLower()).value(0).trimmed();
        if (!s.isEmpty())
            parts << s;
    }
    return parts.join(QStringLiteral(", "));
}

Entry fromLdifRecord(const QHash<QString, QStringList>& attrs) {
    auto one = [&](std::initializer_list<const char*> names) {
        for (const char* n : names) {
            const QString s = attrs.value(QString::fromLatin1(n).toLower()).value(0).trimmed();
            if (!s.isEmpty())
                return s;
        }
        return QString();
    };
    bool group = false;
    for (const QString& c : attrs.value(QStringLiteral("objectclass")))
        group = group ||
                c.trimmed().compare(QLatin1String("groupOfNames"), Qt::CaseInsensitive) == 0 ||
                c.trimmed().compare(QLatin1String("groupOfUniqueNames"), Qt::CaseInsensitive) == 0;
    QHash<QString, QString> v;
    QString display = one({"cn", "displayName"});
    if (display.isEmpty())
        display = (one({"givenName"}) + QChar(u' ') + one({"sn"})).trimmed();
    v[QStringLiteral("DISPLAY_NAME")] = display;
    v[QStringLiteral("EMAIL_ADDRESS")] = one({"mail"});
    v[QStringLiteral("GIVEN_NAME")] = one({"givenName"});
    v[QStringLiteral("SURNAME")] = one({"sn"});
    v[QStringLiteral("NICKNAME")] = one({"mozillaNickname"});
    v[QStringLiteral("COMPANY_NAME")] = one({"o", "company"});
    v[QStringLiteral("TITLE")] = one({"title"});
    v[QStringLiteral("STREET_ADDRESS")] = street(attrs, "street", "mozillaWorkStreet2");
    if (v[QStringLiteral("STREET_ADDRESS")].isEmpty())
        v[QStringLiteral("STREET_ADDRESS")] = one({"streetAddress", "postalAddress"});
    v[QStringLiteral("POSTAL_CODE")] = one({"postalCode"});
    v[QStringLiteral("LOCALITY")] = one({"l", "locality"});
    v[QStringLiteral("STATE_OR_PROVINCE")] = one({"st"});
    v[QStringLiteral("COUNTRY")] = one({"c", "countryName"});
    v[QStringLiteral("HOME_ADDRESS_STREET")] =
        street(attrs, "mozillaHomeStreet", "mozillaHomeStreet2");
    v[QStringLiteral("HOME_ADDRESS_POSTAL_CODE")] = one({"mozillaHomePostalCode"});
    v[QStringLiteral("HOME_ADDRESS_CITY")] = one({"mozillaHomeLocalityName"});
    v[QStringLiteral("HOME_ADDRESS_STATE_OR_PROVINCE")] = one({"mozillaHomeState"});
    v[QStringLiteral("HOME_ADDRESS_COUNTRY")] = one({"mozillaHomeCountryName"});
    v[QStringLiteral("BUSINESS_TELEPHONE_NUMBER")] = one({"telephoneNumber"});
    v[QStringLiteral("HOME_TELEPHONE_NUMBER")] = one({"homePhone"});
    v[QStringLiteral("MOBILE_TELEPHONE_NUMBER")] = one({"mobile"});
    v[QStringLiteral("PERSONAL_HOME_PAGE")] = one({"mozillaHomeUrl", "homeurl"});
    v[QStringLiteral("BUSINESS_HOME_PAGE")] = one({"mozillaWorkUrl", "workurl"});
    return makeEntry(group ? DistributionListType : PersonType, v);
}

} // namespace

QString Entry::value(const QString& name) const {
    for (const Property& p : properties)
        if (p.name == name)
            return p.value;
    return {};
}

QString copyPath(const QString& path) {
    const QFileInfo info(path);
    return info.absolutePath() + QStringLiteral("/CopyOf") + info.fileName();
}

QString tagName(quint32 tag) {
    for (const Tag& t : kTags)
        if (t.tag == tag)
            return QLatin1String(t.name);
    return QStringLiteral("[%1]").arg(tag >> 16, 0, 16);
}

Book readLdif(const QByteArray& bytes) {
    Book book;
    // Logical lines: a line starting with a blank continues the one before.
    QList<QByteArray> lines;
    {
        qsizetype start = bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0;
        for (qsizetype i = start; i <= bytes.size(); ++i) {
            if (i < bytes.size() && bytes[i] != '\n')
                continue;
            QByteArray line = bytes.mid(start, i - start);
            if (line.endsWith('\r'))
                line.chop(1);
            start = i + 1;
            if (line.startsWith(' ') && !lines.isEmpty() && !lines.last().isEmpty())
                lines.last() += line.mid(1);
            else
                lines << line;
        }
    }
    lines << QByteArray(); // the last record ends here

    QHash<QString, QStringList> attrs;
    bool broken = false;
    bool any = false;
    for (const QByteArray& line : lines) {
        if (line.isEmpty()) {
            if (broken)
                ++book.unreadable;
            else if (any && attrs.contains(QStringLiteral("dn")))
                book.entries << fromLdifRecord(attrs);
            else if (any)
                ++book.unreadable;
            attrs.clear();
            broken = false;
            any = false;
            continue;
        }
        if (line.startsWith('#'))
            continue;
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0) {
            broken = true;
            any = true;
            continue;
        }
        QString name = QString::fromLatin1(line.left(colon)).trimmed().toLower();
        name = name.section(u';', 0, 0); // options such as ";lang-de"
        if (name == QLatin1String("version") && !any)
            continue;
        any = true;
        QByteArray value = line.mid(colon + 1);
        if (value.startsWith(':')) {
            const auto decoded = QByteArray::fromBase64Encoding(
                value.mid(1).trimmed(), QByteArray::AbortOnBase64DecodingErrors);
            if (!decoded) {
                broken = true;
                continue;
            }
            value = *decoded;
        } else if (value.startsWith('<')) {
            continue; // a value kept elsewhere (a URL): nothing to read here
        } else {
            value = value.startsWith(' ') ? value.mid(1) : value;
        }
        attrs[name] << TextFile::decode(value);
    }
    return book;
}

bool read(const QByteArray& bytes, Book* book, QString* error) {
    *book = Book();
    if (looksLikeVCard(bytes)) {
        const VCardFile cards = readVCards(bytes);
        for (const VCard& c : cards.cards)
            book->entries << fromCard(c);
        book->unreadable = cards.broken;
        return true;
    }
    *book = readLdif(bytes);
    // Nothing that reads as an LDIF record: neither format.
    if (book->entries.isEmpty() && !bytes.trimmed().isEmpty() &&
        (book->unreadable == 0 || !bytes.contains("dn:"))) {
        *error = QStringLiteral("Die Datei ist weder eine vCard-Datei noch ein LDIF-Export "
                                "und kann nicht als Adressbuch gelesen werden.");
        return false;
    }
    return true;
}

QStringList importValues(const Entry& entry) {
    auto pick = [&](const char* business, const char* home) {
        QString v = entry.value(QLatin1String(business));
        if (v.isEmpty())
            v = entry.value(QLatin1String(home));
        return v.isEmpty() ? QStringLiteral(" ") : v;
    };
    return {entry.email(), entry.displayName(), pick("STREET_ADDRESS", "HOME_ADDRESS_STREET"),
            pick("POSTAL_CODE", "HOME_ADDRESS_POSTAL_CODE"), pick("LOCALITY", "HOME_ADDRESS_CITY")};
}

} // namespace AddressBook
