#include "hygiene/EmailAddress.h"

#include "common/ControlCharacters.h"
#include "database/AddressTable.h"
#include "database/ColumnScan.h"

#include <QSet>
#include <array>

namespace {

// Characters an address must not contain (after A-Z were raised to upper case):
// brackets, quotes, umlauts and accents, separators of mail headers and URLs and the
// blank.
constexpr char16_t kForbidden[] = u"[]{}'ß~\",+*/\\üöäÜÖÄéáúóí´:;=?%§!()^° ";

struct ForbiddenTable {
    std::array<bool, 256> latin{};
    ForbiddenTable() {
        for (const char16_t* p = kForbidden; *p; ++p)
            latin[*p] = true;
    }
};

// Control characters of every kind (C0, DEL, C1, line separators) and the invisible
// format characters (soft hyphen, zero-width and direction marks, byte-order mark):
// none belongs to a deliverable address, and what the user sees would differ from
// what a server receives.
bool invisible(char16_t c) {
    return ControlCharacters::isControl(QChar(c)) || QChar::category(c) == QChar::Other_Format;
}

bool forbidden(char16_t c) {
    static const ForbiddenTable table;
    if (c >= 0x20 && c < 0x7F)
        return table.latin[c];
    return (c < 256 && table.latin[c]) || invisible(c);
}

// Pairs of neighbours an address must not hold: "@.", "@-", ".@", "..".
bool forbiddenPair(char16_t a, char16_t b) {
    return (a == u'@' && (b == u'.' || b == u'-')) || (a == u'.' && (b == u'@' || b == u'.'));
}

} // namespace

const QStringList& BlockedMailDomains() {
    // Empty by default; a name added here ("NAME.DE", "NAME.COM") is refused anywhere
    // in an address, compared in upper case.
    static const QStringList domains;
    return domains;
}

bool IsValidEmailAddress(const QString& address) {
    // Raise only the letters a to z; umlauts and other letters stay as they are, so
    // the tests for "ü" and "Ü" below both apply.
    QString upper = address;
    for (QChar& c : upper)
        if (c >= QChar('a') && c <= QChar('z'))
            c = QChar(char16_t(c.unicode() - ('a' - 'A')));

    const qsizetype n = upper.size();
    const char16_t* s = reinterpret_cast<const char16_t*>(upper.constData());
    bool hasDot = false;
    int atCount = 0;
    qsizetype at = -1;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = s[i];
        if (forbidden(c))
            return false;
        if (i + 1 < n && forbiddenPair(c, s[i + 1]))
            return false;
        if (c == u'.')
            hasDot = true;
        else if (c == u'@') {
            ++atCount;
            at = i;
        }
    }
    if (!hasDot || atCount != 1)
        return false;

    const char16_t first = s[0];
    const char16_t last = s[n - 1];
    if (first == u'.' || first == u'@')
        return false;
    if (last == u'.' || last == u'@' || last == u'_' || last == u'-')
        return false;

    const QStringView domain = QStringView(upper).mid(at + 1);
    if (domain.contains(QChar('_')) || !domain.contains(QChar('.')))
        return false;

    for (const QString& blocked : BlockedMailDomains())
        if (!blocked.isEmpty() && upper.contains(blocked.toUpper()))
            return false;
    return true;
}

QString CollectMarkedAddresses(AddressTable* table, int mailColumn, const QString& separator,
                               Messages& messages) {
    if (!table || !table->isOpen())
        return {};

    int selectionColumn = -1;
    for (int i = 0; i < table->fieldCount(); ++i)
        if (table->fieldName(i).toUpper().contains(QStringLiteral("SELECTED")))
            selectionColumn = i;

    // A snapshot of the current view; the grid is only touched for the end state.
    const std::vector<qint64> ids = table->viewIds();
    const QStringList mails = ColumnScan::texts(*table->store(), mailColumn, ids);
    QStringList selections;
    if (selectionColumn >= 0)
        selections = ColumnScan::texts(*table->store(), selectionColumn, ids);
    const bool booleanSelection =
        selectionColumn >= 0 && table->fieldType(selectionColumn) == FieldType::Boolean;

    QString collected;
    QSet<QString> taken;
    for (qsizetype i = 0; i < mails.size(); ++i) {
        const QString v = mails[i].trimmed();
        if (v.isEmpty() || taken.contains(v) || !v.contains(QChar('@')) || !v.contains(QChar('.')))
            continue;
        if (selectionColumn >= 0) {
            const bool marked = booleanSelection ? selections[i] == QStringLiteral("True")
                                                 : QVariant(selections[i]).toBool();
            if (!marked)
                continue;
            taken.insert(v);
            collected += (IsValidEmailAddress(v) ? v : QStringLiteral("-1")) + separator;
        } else {
            taken.insert(v);
            if (IsValidEmailAddress(v)) {
                collected += v + separator;
            } else {
                collected += QChar(0x00DE) + separator;
                messages.information(QStringLiteral("Falsche E-Mail-Adresse: ") + v);
            }
        }
    }

    table->setFiltered(false);
    table->last();

    QString result = collected.trimmed();
    if (!result.isEmpty())
        result.chop(1);
    if (result.startsWith(QChar(','))) {
        result.remove(0, 1);
        result = result.trimmed();
    }
    return result;
}
