#include "database/SqlFunctions.h"

#include "common/Levenshtein.h"
#include "database/TableTypes.h"

#include <QDate>
#include <QTime>
#include <algorithm>
#include <cstring>
#include <sqlite3.h>
#include <string_view>

namespace {

bool isAscii(const unsigned char* s, int n) {
    for (int i = 0; i < n; ++i)
        if (s[i] >= 0x80)
            return false;
    return true;
}

inline unsigned char lowerAscii(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c;
}

// Decodes the character at s[i] when it is ASCII or a well-formed two-byte sequence
// (Latin, Greek, Cyrillic, ...) and advances i; returns -1, leaving i, for anything
// else: longer sequences and malformed bytes go the slow way.
inline int shortCodePoint(const unsigned char* s, int n, int& i) {
    const unsigned char c = s[i];
    if (c < 0x80) {
        ++i;
        return c;
    }
    if (c >= 0xC2 && c <= 0xDF && i + 1 < n && (s[i + 1] & 0xC0) == 0x80) {
        const int cp = ((c & 0x1F) << 6) | (s[i + 1] & 0x3F);
        i += 2;
        return cp;
    }
    return -1;
}

int compareNoCase(void*, int n1, const void* p1, int n2, const void* p2) {
    const auto* a = static_cast<const unsigned char*>(p1);
    const auto* b = static_cast<const unsigned char*>(p2);
    // Sorting a column of names compares equal values all the time.
    if (n1 == n2 && std::memcmp(a, b, size_t(n1)) == 0)
        return 0;
    // The result must be exactly that of Qt's case-insensitive comparison of the
    // decoded texts (stored indexes are ordered by it). Qt folds the case of each
    // UTF-16 unit and compares the folded values; every character decoded here is a
    // single unit, so folding it in place gives the same order without decoding the
    // texts into strings, which sorting millions of keys would otherwise do for every
    // comparison that meets an umlaut.
    int i = 0;
    int j = 0;
    while (i < n1 && j < n2) {
        const unsigned char x = a[i];
        const unsigned char y = b[j];
        if ((x | y) < 0x80) {
            ++i;
            ++j;
            if (x == y)
                continue;
            const unsigned char lx = lowerAscii(x);
            const unsigned char ly = lowerAscii(y);
            if (lx != ly)
                return lx < ly ? -1 : 1;
            continue;
        }
        int ni = i;
        int nj = j;
        const int cx = shortCodePoint(a, n1, ni);
        const int cy = shortCodePoint(b, n2, nj);
        if (cx < 0 || cy < 0)
            break;
        const auto fx = QChar::toCaseFolded(char32_t(cx));
        const auto fy = QChar::toCaseFolded(char32_t(cy));
        if (fx != fy)
            return fx < fy ? -1 : 1;
        i = ni;
        j = nj;
    }
    if (i == n1 || j == n2)
        return i == n1 && j == n2 ? 0 : (i == n1 ? -1 : 1);
    const QString sa = QString::fromUtf8(reinterpret_cast<const char*>(a + i), n1 - i);
    const QString sb = QString::fromUtf8(reinterpret_cast<const char*>(b + j), n2 - j);
    const int r = sa.compare(sb, Qt::CaseInsensitive);
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

QString argText(sqlite3_value* v) {
    const auto* t = sqlite3_value_text(v);
    return t ? QString::fromUtf8(reinterpret_cast<const char*>(t), sqlite3_value_bytes(v))
             : QString();
}

void prefixFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const auto* s = sqlite3_value_text(argv[0]);
    const auto* p = sqlite3_value_text(argv[1]);
    if (!p) {
        sqlite3_result_int(ctx, 1);
        return;
    }
    if (!s) {
        sqlite3_result_int(ctx, sqlite3_value_bytes(argv[1]) == 0);
        return;
    }
    const int ns = sqlite3_value_bytes(argv[0]);
    const int np = sqlite3_value_bytes(argv[1]);
    // A character takes at most three bytes per UTF-16 unit: a search text of more
    // than three times the value's bytes has more units than the value and cannot be
    // in it (a long search text is not scanned again for every row).
    if (qint64(np) > 3 * qint64(ns)) {
        sqlite3_result_int(ctx, 0);
        return;
    }
    if (isAscii(s, ns) && isAscii(p, np)) {
        if (np > ns) {
            sqlite3_result_int(ctx, 0);
            return;
        }
        for (int i = 0; i < np; ++i)
            if (lowerAscii(s[i]) != lowerAscii(p[i])) {
                sqlite3_result_int(ctx, 0);
                return;
            }
        sqlite3_result_int(ctx, 1);
        return;
    }
    sqlite3_result_int(ctx, argText(argv[0]).startsWith(argText(argv[1]), Qt::CaseInsensitive));
}

void containsFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const auto* s = sqlite3_value_text(argv[0]);
    const auto* p = sqlite3_value_text(argv[1]);
    if (!s || !p) {
        sqlite3_result_int(ctx, p == nullptr || sqlite3_value_bytes(argv[1]) == 0);
        return;
    }
    const int ns = sqlite3_value_bytes(argv[0]);
    const int np = sqlite3_value_bytes(argv[1]);
    // A character takes at most three bytes per UTF-16 unit: a search text of more
    // than three times the value's bytes has more units than the value and cannot be
    // in it (a long search text is not scanned again for every row).
    if (qint64(np) > 3 * qint64(ns)) {
        sqlite3_result_int(ctx, 0);
        return;
    }
    if (isAscii(s, ns) && isAscii(p, np)) {
        if (np == 0) {
            sqlite3_result_int(ctx, 1);
            return;
        }
        for (int i = 0; i + np <= ns; ++i) {
            int k = 0;
            while (k < np && lowerAscii(s[i + k]) == lowerAscii(p[k]))
                ++k;
            if (k == np) {
                sqlite3_result_int(ctx, 1);
                return;
            }
        }
        sqlite3_result_int(ctx, 0);
        return;
    }
    sqlite3_result_int(ctx, argText(argv[0]).contains(argText(argv[1]), Qt::CaseInsensitive));
}

void containsExactFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const auto* p = sqlite3_value_text(argv[1]);
    if (!p || sqlite3_value_bytes(argv[1]) == 0) {
        sqlite3_result_int(ctx, 1);
        return;
    }
    const auto* s = sqlite3_value_text(argv[0]);
    if (!s) {
        sqlite3_result_int(ctx, 0);
        return;
    }
    const std::string_view hay(reinterpret_cast<const char*>(s),
                               size_t(sqlite3_value_bytes(argv[0])));
    const std::string_view needle(reinterpret_cast<const char*>(p),
                                  size_t(sqlite3_value_bytes(argv[1])));
    sqlite3_result_int(ctx, needle.size() <= hay.size() && hay.find(needle) != hay.npos);
}

// The search text as the fuzzy comparison uses it: only its first characters take
// part, so no more of it is decoded than they can need (four bytes each at most).
QString fuzzySearchText(sqlite3_value* v) {
    const auto* p = sqlite3_value_text(v);
    if (!p)
        return {};
    const int bytes = std::min(sqlite3_value_bytes(v), 4 * fuzzyCompareLength + 4);
    return QString::fromUtf8(reinterpret_cast<const char*>(p), bytes)
        .left(fuzzyCompareLength)
        .toUpper();
}

void fuzzyFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    // The search text is a bound value, the same for every row of a statement: it is
    // prepared once and kept with the statement rather than once per row and column.
    const auto* cached = static_cast<const QString*>(sqlite3_get_auxdata(ctx, 1));
    QString uncached;
    if (!cached) {
        auto* prepared = new QString(fuzzySearchText(argv[1]));
        sqlite3_set_auxdata(ctx, 1, prepared, [](void* s) { delete static_cast<QString*>(s); });
        // SQLite may drop the value at once (for a value that is not constant).
        cached = static_cast<const QString*>(sqlite3_get_auxdata(ctx, 1));
        if (!cached) {
            uncached = fuzzySearchText(argv[1]);
            cached = &uncached;
        }
    }
    const QString& search = *cached;
    const QString text = argText(argv[0]).toUpper();
    // Words at every blank: two blanks in a row give an empty word.
    qsizetype start = 0;
    while (true) {
        const qsizetype blank = text.indexOf(QChar(' '), start);
        const qsizetype end = blank < 0 ? text.size() : blank;
        if (LevenshteinPercentBelow(search, QStringView(text).mid(start, end - start), 25)) {
            sqlite3_result_int(ctx, 1);
            return;
        }
        if (blank < 0)
            break;
        start = blank + 1;
    }
    sqlite3_result_int(ctx, 0);
}

FieldType typeFromCode(int code) {
    return static_cast<FieldType>(code);
}

void displayFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    QVariant v;
    switch (sqlite3_value_type(argv[0])) {
    case SQLITE_INTEGER:
        v = qint64(sqlite3_value_int64(argv[0]));
        break;
    case SQLITE_FLOAT:
        v = sqlite3_value_double(argv[0]);
        break;
    case SQLITE_NULL:
        break;
    default:
        v = argText(argv[0]);
    }
    const QByteArray out =
        SqlFunctions::displayText(v, typeFromCode(sqlite3_value_int(argv[1]))).toUtf8();
    sqlite3_result_text(ctx, out.constData(), int(out.size()), SQLITE_TRANSIENT);
}

} // namespace

namespace SqlFunctions {

int typeCode(FieldType type) {
    return static_cast<int>(type);
}

bool registerAll(sqlite3* db) {
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    return sqlite3_create_collation(db, collation, SQLITE_UTF8, nullptr, compareNoCase) ==
               SQLITE_OK &&
           sqlite3_create_function(db, prefixFunction, 2, flags, nullptr, prefixFn, nullptr,
                                   nullptr) == SQLITE_OK &&
           sqlite3_create_function(db, containsFunction, 2, flags, nullptr, containsFn, nullptr,
                                   nullptr) == SQLITE_OK &&
           sqlite3_create_function(db, displayFunction, 2, flags, nullptr, displayFn, nullptr,
                                   nullptr) == SQLITE_OK &&
           sqlite3_create_function(db, containsExactFunction, 2, flags, nullptr, containsExactFn,
                                   nullptr, nullptr) == SQLITE_OK &&
           sqlite3_create_function(db, fuzzyFunction, 2, flags, nullptr, fuzzyFn, nullptr,
                                   nullptr) == SQLITE_OK;
}

QString dateToStorage(const QString& text) {
    const QString t = text.trimmed();
    for (const char* format : {"d.M.yyyy", "yyyy-MM-dd", "d.M.yy"}) {
        QDate d = QDate::fromString(t, QString::fromLatin1(format));
        if (d.isValid()) {
            if (QLatin1String(format) == QLatin1String("d.M.yy") && d.year() < 1950)
                d = d.addYears(100);
            return d.toString(QStringLiteral("yyyy-MM-dd"));
        }
    }
    // A stored date with a time part (yyyy-MM-ddTHH:mm:ss) keeps its date.
    const QDateTime dt = QDateTime::fromString(t, Qt::ISODate);
    if (dt.isValid())
        return dt.date().toString(QStringLiteral("yyyy-MM-dd"));
    return {};
}

QString timeToStorage(const QString& text) {
    const QString t = text.trimmed();
    for (const char* format : {"H:mm:ss", "H:mm", "HH:mm:ss"}) {
        const QTime time = QTime::fromString(t, QString::fromLatin1(format));
        if (time.isValid())
            return time.toString(QStringLiteral("HH:mm:ss"));
    }
    return {};
}

QString displayText(const QVariant& stored, FieldType type) {
    switch (type) {
    case FieldType::Boolean:
        return (stored.isValid() && !stored.isNull() && stored.toLongLong() != 0)
                   ? QStringLiteral("True")
                   : QStringLiteral("False");
    case FieldType::Date: {
        if (!stored.isValid() || stored.isNull())
            return {};
        const QDate d = QDate::fromString(stored.toString().left(10), QStringLiteral("yyyy-MM-dd"));
        return d.isValid() ? d.toString(QStringLiteral("dd.MM.yyyy")) : stored.toString();
    }
    case FieldType::Time: {
        if (!stored.isValid() || stored.isNull())
            return {};
        const QTime t = QTime::fromString(stored.toString(), QStringLiteral("HH:mm:ss"));
        return t.isValid() ? t.toString(QStringLiteral("HH:mm:ss")) : stored.toString();
    }
    case FieldType::Float:
    case FieldType::Currency: {
        if (!stored.isValid() || stored.isNull())
            return {};
        QString s = type == FieldType::Currency ? QString::number(stored.toDouble(), 'f', 2)
                                                : QString::number(stored.toDouble(), 'g', 15);
        s.replace(QChar('.'), QChar(','));
        return s;
    }
    default:
        if (!stored.isValid() || stored.isNull())
            return {};
        return stored.toString();
    }
}

} // namespace SqlFunctions
