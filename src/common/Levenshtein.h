#pragma once
#include <QString>

// Edit distance of a and b (insert, delete, substitute cost 1; characters compared
// exactly) times 100 divided by the length of b, remainder dropped. Both empty: 0;
// exactly one empty: 100. Uses one row of length(b) + 1 entries.
int LevenshteinPercent(const QString& a, const QString& b);
