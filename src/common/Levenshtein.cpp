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
