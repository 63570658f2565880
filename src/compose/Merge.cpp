#include "compose/Merge.h"

#include "common/ControlCharacters.h"
#include "common/Words.h"
#include "compose/SalutationFormula.h"
#include "database/AddressTable.h"
#include "database/TableDefinition.h"

#include <algorithm>

namespace Merge {

namespace {

struct FieldInfo {
    const char* placeholder;
    const char* column;
    bool required;
};

// Indexed by Field.
constexpr FieldInfo fields[FieldCount] = {
    {"$ANREDE", "Anrede", true},    {"$NAME", "Name", true},
    {"$VORNAME", "Vorname", false}, {"$ANSPRECHPARTNER", "Ansprechpartner", false},
    {"$LAND", "Land", false},       {"$KATEGORIE", "Kategorie", false},
    {"$BETREFF", "Betreff", false}, {"$STRASSE", "Str", false},
    {"$STR", "Str", false},         {"$PLZ", "PLZ", false},
    {"$ORT", "Ort", false},         {"$TEL", "Tel", false},
    {"$FAX", "Fax", false},         {"$MAIL", "Mail", true},
    {"$DATUM", "", false},          {"$FIRMA", "Firma", false},
    {"$ABMELDELINK", "", false},
};

bool isTrimmed(QChar c) {
    return c.unicode() <= 0x20 || c.category() == QChar::Other_Control;
}

} // namespace

QString placeholder(Field field) {
    return QLatin1String(fields[field].placeholder);
}

QString columnName(Field field) {
    return QLatin1String(fields[field].column);
}

bool isRequired(Field field) {
    return fields[field].required;
}

const std::vector<Field>& subjectOrder() {
    // The link goes first, so a value holding its placeholder stays as it is.
    static const std::vector<Field> order = {
        AbmeldeLink, Anrede,    Name,    Vorname, Ansprechpartner,
        Land,        Kategorie, Betreff, Strasse, Str,
        Plz,         Ort,       Tel,     Fax,     Mail,
        Datum,       Firma};
    return order;
}

const std::vector<Field>& lineOrder() {
    static const std::vector<Field> order = {
        AbmeldeLink, Anrede, Name,  Kategorie, Betreff, Strasse,         Str, Plz, Ort, Tel,
        Fax,         Mail,   Datum, Firma,     Vorname, Ansprechpartner, Land};
    return order;
}

const std::vector<Field>& htmlOrder() {
    static const std::vector<Field> order = {
        AbmeldeLink, Anrede, Name,  Kategorie, Betreff, Strasse,         Str, Plz, Ort, Tel, Fax,
        Mail,        Datum,  Firma, Name,      Vorname, Ansprechpartner, Land};
    return order;
}

QString cleanValue(const QString& text) {
    qsizetype begin = 0, end = text.size();
    while (begin < end && isTrimmed(text[begin]))
        ++begin;
    while (end > begin && isTrimmed(text[end - 1]))
        --end;
    return begin == 0 && end == text.size() ? text : text.mid(begin, end - begin);
}

QString germanDate(const QDate& date) {
    return date.toString(QStringLiteral("dd.MM.yyyy"));
}

QStringList placeholderList(const TableDefinition& definition, bool unsubscribeLink) {
    QStringList list;
    for (const FieldDefinition& f : definition.targetFields()) {
        if (f.name.isEmpty())
            continue;
        QString entry = QChar('$') + f.name.toUpper();
        if (!f.rawCaption.isEmpty())
            entry += QStringLiteral(" für ") + f.rawCaption;
        list.append(entry);
    }
    if (unsubscribeLink)
        list.append(QStringLiteral("$ABMELDELINK für Abmelde-Link"));
    list.append(QStringLiteral("$DATUM"));
    return list;
}

QString placeholderMessage(const TableDefinition& definition, bool unsubscribeLink) {
    QString text = QStringLiteral("Folgende Platzhalter können Sie in Ihrer Vorlage benutzen!\r"
                                  "Diese werden dann von Quillon während des Versandes "
                                  "ersetzt!\r\r");
    QStringList list = placeholderList(definition, unsubscribeLink);
    list.removeLast(); // "$DATUM" is listed with its explanation below
    for (const QString& entry : list)
        text += entry + QChar('\r');
    text += QStringLiteral("$DATUM für aktuelles Datum\r");
    return text;
}

} // namespace Merge

using namespace Merge;

MergeColumns::MergeColumns() {
    m_columns.fill(-1);
}

MergeColumns MergeColumns::forNames(const QStringList& columnNames) {
    MergeColumns c;
    auto find = [&](const QString& name) -> int {
        for (qsizetype i = 0; i < columnNames.size(); ++i)
            if (columnNames[i].compare(name, Qt::CaseInsensitive) == 0)
                return int(i);
        return -1;
    };
    for (int f = 0; f < FieldCount; ++f)
        if (!columnName(Field(f)).isEmpty())
            c.m_columns[f] = find(columnName(Field(f)));
    for (int n = 150; n >= 1; --n) {
        const int at = find(QStringLiteral("Spalte") + QString::number(n));
        if (at >= 0)
            c.m_spalten.push_back({n, at, QStringLiteral("$SPALTE") + QString::number(n)});
    }
    return c;
}

MergeColumns MergeColumns::forTable(const AddressTable& table) {
    QStringList names;
    for (int i = 0; i < table.fieldCount(); ++i)
        names.append(table.fieldName(i));
    return forNames(names);
}

QString MergeColumns::missingRequiredMessage() const {
    for (int f = 0; f < FieldCount; ++f)
        if (isRequired(Field(f)) && m_columns[f] < 0)
            return QStringLiteral("Die Tabelle hat keine Spalte \"") + columnName(Field(f)) +
                   QStringLiteral("\"; die Platzhalter können nicht ersetzt werden!");
    return {};
}

MergeRecordReader::MergeRecordReader(MergeColumns columns, SalutationFormula* formula)
    : m_columns(std::move(columns)), m_formula(formula) {}

QString MergeRecordReader::dateText() {
    const QDate date = m_fixedDate.isValid() ? m_fixedDate : QDate::currentDate();
    if (date != m_lastDate) {
        m_lastDate = date;
        m_lastDateText = germanDate(date);
    }
    return m_lastDateText;
}

MergeRecord MergeRecordReader::read(const std::function<QString(int)>& valueAt) {
    MergeRecord r;
    const QChar dollar('$');
    for (int f = 0; f < FieldCount; ++f) {
        const int column = m_columns.column(Field(f));
        if (f == Strasse || column < 0)
            continue;
        r.values[f] = cleanValue(valueAt(column));
    }
    r.values[Strasse] = r.values[Str];
    r.values[Datum] = dateText();
    if (m_formula)
        r.values[Anrede] = m_formula->lookup(r.values[Anrede]);
    r.spalten.reserve(m_columns.spalten().size());
    for (const MergeColumns::Spalte& s : m_columns.spalten())
        r.spalten.push_back(cleanValue(valueAt(s.column)));
    for (const QString& v : r.values)
        r.hasDollar = r.hasDollar || v.contains(dollar);
    for (const QString& v : r.spalten)
        r.hasDollar = r.hasDollar || v.contains(dollar);
    return r;
}

MergeRecord MergeRecordReader::readCurrent(const AddressTable& table) {
    return read([&table](int column) { return table.asString(column); });
}

MergeRecord MergeRecordReader::read(const QVariantList& row) {
    return read([&row](int column) { return row.value(column).toString(); });
}

namespace {

// The longest placeholder, "$ANSPRECHPARTNER"; every other one, "$SPALTE150" included,
// is shorter.
constexpr qsizetype longestPlaceholder = 16;

bool matchesAt(QStringView text, qsizetype at, QStringView ph, bool caseless) {
    if (text.size() - at < ph.size())
        return false;
    for (qsizetype i = 0; i < ph.size(); ++i) {
        char16_t c = text[at + i].unicode();
        if (caseless && c >= u'a' && c <= u'z')
            c = char16_t(c - u'a' + u'A'); // placeholders are ASCII capitals
        if (c != ph[i].unicode())
            return false;
    }
    return true;
}

void replaceFirstCaseless(QString& text, const QString& ph, const QString& value) {
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = text.indexOf(QChar('$'), from);
        if (at < 0)
            return;
        if (matchesAt(text, at, ph, true)) {
            text.replace(at, ph.size(), value);
            return;
        }
        from = at + 1;
    }
}

const QString spalteMark = QStringLiteral("$SPALTE");

// Whether the text (beginning with "$") is, in any letter case, the beginning of a
// longer placeholder: a named one, "$SPALTE" or "$SPALTE" with up to three digits.
bool mayGrowIntoPlaceholder(QStringView slice) {
    for (int f = 0; f < FieldCount; ++f) {
        const QString ph = placeholder(Field(f));
        if (ph.size() > slice.size() && matchesAt(ph, 0, slice.toString().toUpper(), false))
            return true;
    }
    const QString upper = slice.toString().toUpper();
    if (upper.size() < spalteMark.size())
        return spalteMark.startsWith(upper);
    if (!upper.startsWith(spalteMark) || upper.size() >= spalteMark.size() + 3)
        return false;
    for (qsizetype i = spalteMark.size(); i < upper.size(); ++i)
        if (!upper[i].isDigit())
            return false;
    return true;
}

// A subject is one header line: a line break from a value becomes one blank.
void oneLine(QString& text) {
    text = ControlCharacters::blanked(text);
}

// Every line break (CR LF, a lone CR or a lone LF) as CR LF.
QString crlfLineBreaks(const QString& text) {
    if (!text.contains(QChar('\r')) && !text.contains(QChar('\n')))
        return text;
    QString out;
    out.reserve(text.size() + 16);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QChar('\r') || c == QChar('\n')) {
            if (c == QChar('\r') && i + 1 < text.size() && text[i + 1] == QChar('\n'))
                ++i;
            out += QStringLiteral("\r\n");
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

QString MergeText::mergeStepByStep(const QString& source, Mode mode, const MergeColumns& columns,
                                   const MergeRecord& record) {
    QString text = source;
    if (mode == Mode::Html) {
        for (Field f : htmlOrder())
            text.replace(placeholder(f), record.values[f], Qt::CaseSensitive);
    } else {
        for (Field f : mode == Mode::Subject ? subjectOrder() : lineOrder())
            replaceFirstCaseless(text, placeholder(f), record.values[f]);
    }
    if (text.contains(spalteMark, Qt::CaseSensitive)) {
        const auto& spalten = columns.spalten();
        for (size_t i = 0; i < spalten.size(); ++i)
            text.replace(spalten[i].placeholder, record.spalten.at(i), Qt::CaseSensitive);
    }
    return text;
}

MergeText::MergeText(const QString& text, Mode mode, const MergeColumns& columns)
    : m_text(text), m_mode(mode), m_columns(columns) {
    std::vector<qsizetype> dollars;
    for (qsizetype at = text.indexOf(QChar('$')); at >= 0; at = text.indexOf(QChar('$'), at + 1))
        dollars.push_back(at);
    m_hasDollar = !dollars.empty();
    if (!m_hasDollar)
        return;
    // A placeholder begins with its only "$", so one that matches at a "$" lies before
    // the next "$" unless the text between them could grow into a longer placeholder
    // once the next one is replaced. Where none can, and no value brings a "$" of its
    // own, which placeholder each "$" becomes is fixed by the text alone.
    for (size_t i = 1; i < dollars.size(); ++i)
        if (dollars[i] - dollars[i - 1] < longestPlaceholder &&
            mayGrowIntoPlaceholder(
                QStringView(text).mid(dollars[i - 1], dollars[i] - dollars[i - 1])))
            return;
    std::vector<int> owner(dollars.size(), -1);
    const bool html = mode == Mode::Html;
    const auto& order = html ? htmlOrder() : mode == Mode::Subject ? subjectOrder() : lineOrder();
    for (Field f : order) {
        const QString ph = placeholder(f);
        for (size_t i = 0; i < dollars.size(); ++i) {
            if (owner[i] >= 0 || !matchesAt(text, dollars[i], ph, !html))
                continue;
            owner[i] = f;
            if (!html)
                break; // the text merge replaces the first occurrence only
        }
    }
    bool spalteLeft = false;
    for (size_t i = 0; i < dollars.size(); ++i)
        spalteLeft = spalteLeft || (owner[i] < 0 && matchesAt(text, dollars[i], spalteMark, false));
    if (spalteLeft) {
        const auto& spalten = columns.spalten();
        for (size_t s = 0; s < spalten.size(); ++s)
            for (size_t i = 0; i < dollars.size(); ++i)
                if (owner[i] < 0 && matchesAt(text, dollars[i], spalten[s].placeholder, false))
                    owner[i] = FieldCount + int(s);
    }
    for (size_t i = 0; i < dollars.size(); ++i) {
        if (owner[i] < 0)
            continue;
        const qsizetype length = owner[i] < FieldCount
                                     ? placeholder(Field(owner[i])).size()
                                     : columns.spalten()[owner[i] - FieldCount].placeholder.size();
        m_tokens.push_back({dollars[i], length, owner[i]});
    }
    m_planned = true;
}

QString MergeText::merge(const MergeRecord& record, bool singleLine) const {
    QString result;
    if (!m_hasDollar) {
        result = m_text;
    } else if (!m_planned || record.hasDollar) {
        result = mergeStepByStep(m_text, m_mode, m_columns, record);
    } else if (m_tokens.empty()) {
        result = m_text;
    } else {
        auto valueOf = [&](int v) -> const QString& {
            return v < FieldCount ? record.values[v] : record.spalten.at(v - FieldCount);
        };
        qsizetype size = m_text.size();
        for (const Token& t : m_tokens)
            size += valueOf(t.value).size() - t.length;
        result.reserve(size);
        const QStringView text(m_text);
        qsizetype from = 0;
        for (const Token& t : m_tokens) {
            result.append(text.mid(from, t.start - from));
            result.append(valueOf(t.value));
            from = t.start + t.length;
        }
        result.append(text.mid(from));
    }
    if (singleLine)
        oneLine(result);
    return result;
}

TextMailMerge::TextMailMerge(const QString& subject, const QStringList& lines,
                             const MergeColumns& columns)
    : m_subject(subject, MergeText::Mode::Subject, columns) {
    m_lines.reserve(lines.size());
    for (const QString& line : lines)
        m_lines.emplace_back(line, MergeText::Mode::Line, columns);
}

TextMailMerge::Result TextMailMerge::merge(const MergeRecord& record) const {
    Result r;
    r.subject = m_subject.merge(record, true);
    r.lines.reserve(qsizetype(m_lines.size()));
    for (const MergeText& line : m_lines) {
        // A value holding a line break continues on a line of its own, so the body
        // gets CR LF there and never a lone CR or LF.
        const QString merged = line.merge(record);
        if (merged.contains(QChar('\r')) || merged.contains(QChar('\n')))
            r.lines += crlfLineBreaks(merged).split(QStringLiteral("\r\n"));
        else
            r.lines.append(merged);
    }
    return r;
}

HtmlMailMerge::HtmlMailMerge(const QString& subject, const QString& html, const QString& plain,
                             const MergeColumns& columns)
    : m_subject(subject, MergeText::Mode::Html, columns),
      m_html(html, MergeText::Mode::Html, columns), m_plain(plain, MergeText::Mode::Html, columns) {
}

namespace {

// A value as text of an HTML document, in an element or in a quoted attribute: a name
// like "Müller & Söhne" or an address with "<" must not turn into markup.
void escapeForHtml(QString& value) {
    static const QString special = QStringLiteral("<>&\"'");
    bool plain = true;
    for (const QChar c : value)
        plain = plain && !special.contains(c);
    if (plain)
        return;
    QString out;
    out.reserve(value.size() + 16);
    for (const QChar c : value) {
        switch (c.unicode()) {
        case '<':
            out += QLatin1String("&lt;");
            break;
        case '>':
            out += QLatin1String("&gt;");
            break;
        case '&':
            out += QLatin1String("&amp;");
            break;
        case '"':
            out += QLatin1String("&quot;");
            break;
        case '\'':
            out += QLatin1String("&#39;");
            break;
        default:
            out += c;
        }
    }
    value = out;
}

} // namespace

HtmlMailMerge::Result HtmlMailMerge::merge(const MergeRecord& record) const {
    MergeRecord escaped = record;
    for (QString& v : escaped.values)
        escapeForHtml(v);
    for (QString& v : escaped.spalten)
        escapeForHtml(v);
    return {m_subject.merge(record, true), crlfLineBreaks(m_html.merge(escaped)),
            crlfLineBreaks(m_plain.merge(record))};
}

QString mergeHtmlText(const QString& text, const MergeColumns& columns, const MergeRecord& record,
                      bool singleLine) {
    const QString merged =
        MergeText(text, MergeText::Mode::Html, columns).merge(record, singleLine);
    return singleLine ? merged : crlfLineBreaks(merged);
}
