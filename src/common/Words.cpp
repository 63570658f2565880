#include "common/Words.h"

namespace {

// Calls visit(start, length) for each word until it returns false. The delimiter test
// is inlined: it runs for every character of every line of a large import.
template <typename Visit>
void forEachWord(const QString& text, const QString& delimiters, Visit visit) {
    const char16_t* d = reinterpret_cast<const char16_t*>(delimiters.constData());
    const qsizetype dn = delimiters.size();
    const char16_t single = dn == 1 ? d[0] : 0;
    auto isDelimiter = [&](char16_t c) {
        if (dn == 1)
            return c == single;
        for (qsizetype k = 0; k < dn; ++k)
            if (d[k] == c)
                return true;
        return false;
    };
    const char16_t* t = reinterpret_cast<const char16_t*>(text.constData());
    const int n = int(text.size());
    int i = 0;
    while (i < n) {
        while (i < n && isDelimiter(t[i]))
            ++i;
        if (i >= n)
            return;
        const int start = i;
        while (i < n && !isDelimiter(t[i]))
            ++i;
        if (!visit(start, i - start))
            return;
    }
}

} // namespace

QString ExtractWord(int n, const QString& text, const QString& delimiters) {
    if (n < 1)
        return {};
    QString result;
    int index = 0;
    forEachWord(text, delimiters, [&](int start, int length) {
        if (++index == n) {
            result = text.mid(start, length);
            return false;
        }
        return true;
    });
    return result;
}

int WordCount(const QString& text, const QString& delimiters) {
    int count = 0;
    forEachWord(text, delimiters, [&](int, int) {
        ++count;
        return true;
    });
    return count;
}

void SplitWords(const QString& text, const QString& delimiters, QList<QStringView>* words) {
    words->clear();
    forEachWord(text, delimiters, [&](int start, int length) {
        words->append(QStringView(text).mid(start, length));
        return true;
    });
}
