#pragma once
#include <QString>

// Edit distance of a and b (insert, delete, substitute cost 1; characters compared
// exactly) times 100 divided by the length of b, remainder dropped. Both empty: 0;
// exactly one empty: 100. Uses one row of length(b) + 1 entries.
int LevenshteinPercent(const QString& a, const QString& b);

// The fuzzy comparison of the searches: LevenshteinPercent(a, b) < percent, with both
// texts cut to their first fuzzyCompareLength characters. Cutting bounds the work of
// one comparison whatever the texts, and the distance is only followed as far as it
// can still stay below the limit.
inline constexpr int fuzzyCompareLength = 100;
bool LevenshteinPercentBelow(QStringView a, QStringView b, int percent);
