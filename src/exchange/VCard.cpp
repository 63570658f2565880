#include "exchange/VCard.h"

#include "common/TextFile.h"

#include <QStringDecoder>
#include <algorithm>
#include <cctype>

namespace {

bool isEncodingWord(const QString& upper) {
    return upper == QLatin1String("QUOTED-PRINTABLE") || upper == QLatin1String("BASE64") ||
           upper == QLatin1String("8BIT") || upper == QLatin1String("7BIT") ||
           upper == QLatin1String("B");
}

QByteArray decodeQuotedPrintable(const QByteArray& in) {
    QByteArray out;
    out.reserve(in.size());
    auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        return -1;
    };
    for (qsizetype i = 0; i < in.size(); ++i) {
        const char c = in[i];
        if (c == '=' && i + 2 < in.size()) {
            const int hi = hex(in[i + 1]), lo = hex(in[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out += char(hi * 16 + lo);
                i += 2;
                continue;
            }
        }
        if (c == '=' && i == in.size() - 1)
            break; // a soft break left at the very end
        out += c;
    }
    return out;
}

// Splits at the first character c outside double quotes; -1 when there is none.
qsizetype indexOutsideQuotes(const QByteArray& line, char c, qsizetype from = 0) {
    bool quoted = false;
    for (qsizetype i = from; i < line.size(); ++i) {
        if (line[i] == '"')
            quoted = !quoted;
        else if (line[i] == c && !quoted)
            return i;
    }
    return -1;
}

QString unescape(QStringView v) {
    QString out;
    out.reserve(v.size());
    for (qsizetype i = 0; i < v.size(); ++i) {
        if (v[i] == u'\\' && i + 1 < v.size()) {
            const QChar n = v[++i];
            out += (n == u'n' || n == u'N') ? QChar(u'\n') : n;
        } else {
            out += v[i];
        }
    }
    return out;
}

// One content line: name, parameters and value, or false when it is no property.
bool parseLine(const QByteArray& line, VCardProperty* p, QByteArray* rawValue) {
    const qsizetype colon = indexOutsideQuotes(line, ':');
    if (colon <= 0)
        return false;
    const QByteArray head = line.left(colon);
    *rawValue = line.mid(colon + 1);
    qsizetype semi = indexOutsideQuotes(head, ';');
    QByteArray name = (semi < 0 ? head : head.left(semi)).trimmed();
    const qsizetype dot = name.lastIndexOf('.');
    if (dot >= 0) {
        p->group = QString::fromLatin1(name.left(dot)).toUpper();
        name = name.mid(dot + 1);
    }
    if (name.isEmpty())
        return false;
    for (char c : name)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '-'))
            return false;
    p->name = QString::fromLatin1(name).toUpper();
    while (semi >= 0) {
        const qsizetype next = indexOutsideQuotes(head, ';', semi + 1);
        const QByteArray param = head.mid(semi + 1, next < 0 ? -1 : next - semi - 1).trimmed();
        semi = next;
        if (param.isEmpty())
            continue;
        const qsizetype eq = param.indexOf('=');
        QString key, values;
        if (eq < 0) {
            values = QString::fromLatin1(param);
            key = isEncodingWord(values.toUpper()) ? QStringLiteral("ENCODING")
                                                   : QStringLiteral("TYPE");
        } else {
            key = QString::fromLatin1(param.left(eq)).trimmed().toUpper();
            values = QString::fromUtf8(param.mid(eq + 1)).trimmed();
        }
        QStringList list;
        // A quoted value is one value; an unquoted one may list several, split on ",".
        if (values.startsWith(u'"') && values.endsWith(u'"') && values.size() >= 2)
            list << values.mid(1, values.size() - 2);
        else
            list = values.split(u',', Qt::SkipEmptyParts);
        p->params.append({key, list});
    }
    return true;
}

} // namespace

QStringList VCardProperty::param(const QString& key) const {
    QStringList out;
    for (const auto& [k, v] : params)
        if (k == key)
            out += v;
    return out;
}

bool VCardProperty::hasType(const QString& type) const {
    // TYPE="work,voice" (as vCard 4.0 writes it) lists two types as well.
    for (const QString& value : param(QStringLiteral("TYPE")))
        for (QStringView t : QStringView(value).split(u','))
            if (t.trimmed().compare(type, Qt::CaseInsensitive) == 0)
                return true;
    return false;
}

int VCardProperty::preference() const {
    for (const QString& v : param(QStringLiteral("PREF"))) {
        bool ok = false;
        const int n = v.toInt(&ok);
        if (ok)
            return std::clamp(n, 1, 100);
    }
    if (hasType(QStringLiteral("pref")))
        return 1;
    return 101;
}

QString VCardProperty::text() const {
    return unescape(value);
}

QStringList VCardProperty::components() const {
    QStringList out;
    qsizetype start = 0;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] == u'\\') {
            ++i;
        } else if (value[i] == u';') {
            out << unescape(QStringView(value).mid(start, i - start));
            start = i + 1;
        }
    }
    out << unescape(QStringView(value).mid(start));
    return out;
}

QList<const VCardProperty*> VCard::all(const QString& name) const {
    QList<const VCardProperty*> out;
    for (const VCardProperty& p : properties)
        if (p.name == name)
            out << &p;
    return out;
}

const VCardProperty* VCard::first(const QString& name) const {
    for (const VCardProperty& p : properties)
        if (p.name == name)
            return &p;
    return nullptr;
}

QString VCard::text(const QString& name) const {
    const VCardProperty* p = first(name);
    return p ? p->text().trimmed() : QString();
}

bool VCard::isGroup() const {
    for (const char* kind : {"KIND", "X-ADDRESSBOOKSERVER-KIND"})
        if (text(QLatin1String(kind)).compare(QLatin1String("group"), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

bool looksLikeVCard(const QByteArray& bytes) {
    const QByteArray head = bytes.left(4096).trimmed().toUpper();
    const qsizetype bom = head.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    return head.mid(bom).trimmed().startsWith("BEGIN:VCARD");
}

VCardFile readVCards(const QByteArray& bytes) {
    VCardFile file;
    // Physical lines, any line end.
    QList<QByteArray> lines;
    {
        qsizetype start = bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0;
        for (qsizetype i = start; i <= bytes.size(); ++i) {
            if (i == bytes.size() || bytes[i] == '\n' || bytes[i] == '\r') {
                lines << bytes.mid(start, i - start);
                if (i + 1 < bytes.size() && bytes[i] == '\r' && bytes[i + 1] == '\n')
                    ++i;
                start = i + 1;
            }
        }
    }

    bool inCard = false;
    bool cardBroken = false;
    VCard card;

    auto finishProperty = [&](const QByteArray& logical) {
        VCardProperty p;
        QByteArray raw;
        if (!parseLine(logical, &p, &raw)) {
            cardBroken = true;
            return;
        }
        const QStringList encoding = p.param(QStringLiteral("ENCODING"));
        const QString enc = encoding.isEmpty() ? QString() : encoding.first().toUpper();
        if (enc == QLatin1String("QUOTED-PRINTABLE"))
            raw = decodeQuotedPrintable(raw);
        else if (enc == QLatin1String("BASE64") || enc == QLatin1String("B")) {
            // Pictures and sounds: no text to offer.
            p.value.clear();
            card.properties << p;
            return;
        }
        const QStringList charset = p.param(QStringLiteral("CHARSET"));
        if (!charset.isEmpty()) {
            QStringDecoder decoder(charset.first().toLatin1().constData());
            if (!decoder.isValid()) {
                cardBroken = true;
                return;
            }
            p.value = decoder.decode(raw);
        } else {
            p.value = TextFile::decode(raw);
        }
        if (p.name == QLatin1String("VERSION"))
            card.version = p.value.trimmed();
        card.properties << p;
    };

    QByteArray logical;
    bool qpContinues = false;
    auto flush = [&] {
        if (!logical.isEmpty())
            finishProperty(logical);
        logical.clear();
    };

    for (const QByteArray& line : lines) {
        if (!inCard) {
            if (line.trimmed().toUpper() == "BEGIN:VCARD") {
                inCard = true;
                cardBroken = false;
                card = VCard();
                logical.clear();
                qpContinues = false;
            }
            continue;
        }
        if (qpContinues) {
            // A quoted-printable soft break: "=" at the end joins the next line as it is.
            logical.chop(1);
            logical += line;
        } else if (!line.isEmpty() && (line[0] == ' ' || line[0] == '\t')) {
            logical += line.mid(1);
        } else {
            flush();
            const QByteArray upper = line.trimmed().toUpper();
            if (upper == "END:VCARD") {
                if (cardBroken)
                    ++file.broken;
                else
                    file.cards << card;
                inCard = false;
                continue;
            }
            if (upper == "BEGIN:VCARD") {
                // The card before lost its END: it does not count, this one starts afresh.
                ++file.broken;
                cardBroken = false;
                card = VCard();
                continue;
            }
            if (line.trimmed().isEmpty())
                continue;
            logical = line;
        }
        qpContinues = logical.endsWith('=') &&
                      logical.left(std::max<qsizetype>(0, indexOutsideQuotes(logical, ':')))
                          .toUpper()
                          .contains("QUOTED-PRINTABLE");
    }
    if (inCard)
        ++file.broken;
    return file;
}
