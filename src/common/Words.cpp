#include "common/Words.h"

namespace {

// Calls visit(start, length) for each word until it returns false.
template <typename Visit>
void forEachWord(const QString& text, const QString& delimiters, Visit visit) {
    const int n = int(text.size());
    int i = 0;
    while (i < n) {
        while (i < n && delimiters.contains(text.at(i)))
            ++i;
        if (i >= n)
            return;
        const int start = i;
        while (i < n && !delimiters.contains(text.at(i)))
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
