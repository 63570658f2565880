#include "common/Levenshtein.h"

#include <algorithm>
#include <vector>

int LevenshteinPercent(const QString& a, const QString& b) {
    const int n = int(a.size());
    const int m = int(b.size());
    if (n == 0 && m == 0)
        return 0;
    if (n == 0 || m == 0)
        return 100;
    thread_local std::vector<int> row;
    row.resize(size_t(m) + 1);
    for (int j = 0; j <= m; ++j)
        row[size_t(j)] = j;
    for (int i = 1; i <= n; ++i) {
        int diagonal = row[0]; // value of [i-1][j-1]
        row[0] = i;
        const QChar ca = a.at(i - 1);
        for (int j = 1; j <= m; ++j) {
            const int above = row[size_t(j)];
            const int cost = ca == b.at(j - 1) ? 0 : 1;
            row[size_t(j)] = std::min({above + 1, row[size_t(j) - 1] + 1, diagonal + cost});
            diagonal = above;
        }
    }
    return row[size_t(m)] * 100 / m;
}

bool LevenshteinPercentBelow(QStringView a, QStringView b, int percent) {
    a = a.left(fuzzyCompareLength);
    b = b.left(fuzzyCompareLength);
    const int n = int(a.size());
    const int m = int(b.size());
    if (m == 0)
        return (n == 0 ? 0 : 100) < percent;
    if (n == 0)
        return 100 < percent;
    // distance * 100 / m < percent  <=>  distance <= limit
    const int limit = (percent * m - 1) / 100;
    if (percent <= 0 || std::abs(n - m) > limit)
        return false;
    // Only cells within limit of the diagonal can stay within limit.
    const int beyond = limit + 1;
    thread_local std::vector<int> row;
    row.assign(size_t(m) + 1, beyond);
    for (int j = 0; j <= std::min(m, limit); ++j)
        row[size_t(j)] = j;
    for (int i = 1; i <= n; ++i) {
        const int from = std::max(1, i - limit);
        const int to = std::min(m, i + limit);
        int diagonal = row[size_t(from) - 1]; // [i-1][from-1]
        row[size_t(from) - 1] = from - 1 == 0 && i <= limit ? i : beyond;
        int best = row[size_t(from) - 1];
        const QChar ca = a.at(i - 1);
        for (int j = from; j <= to; ++j) {
            const int above = row[size_t(j)];
            const int cost = ca == b.at(j - 1) ? 0 : 1;
            const int v = std::min({above + 1, row[size_t(j) - 1] + 1, diagonal + cost, beyond});
            row[size_t(j)] = v;
            best = std::min(best, v);
            diagonal = above;
        }
        if (to < m)
            row[size_t(to) + 1] = beyond;
        if (best > limit)
            return false;
    }
    return row[size_t(m)] <= limit;
}
