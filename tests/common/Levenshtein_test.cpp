#include "common/Levenshtein.h"

#include <gtest/gtest.h>

TEST(Levenshtein, PercentOfTheSecondTextsLength) {
    EXPECT_EQ(LevenshteinPercent("MEIER", "MAIER"), 20);
    EXPECT_EQ(LevenshteinPercent("MEIER", "MEYR"), 50);
    EXPECT_EQ(LevenshteinPercent("AB", "AC"), 50);
    EXPECT_EQ(LevenshteinPercent("SCHMIDT", "SCHMITT"), 14);
    EXPECT_EQ(LevenshteinPercent("", ""), 0);
    EXPECT_EQ(LevenshteinPercent("", "X"), 100);
    EXPECT_EQ(LevenshteinPercent("X", ""), 100);
    EXPECT_EQ(LevenshteinPercent("MÜLLER", "MULLER"), 16); // characters compared exactly
    EXPECT_EQ(LevenshteinPercent("ABCDEFGH", "AB"), 300);  // may exceed 100
}
