#include "common/Words.h"

#include <gtest/gtest.h>

TEST(Words, RunsOfDelimitersSeparateLikeOne) {
    const QString line = QStringLiteral("|Kunden 2024|| cddrive.bmp|kunden_2024.ini|");
    EXPECT_EQ(WordCount(line, "|"), 3);
    EXPECT_EQ(ExtractWord(1, line, "|"), "Kunden 2024");
    EXPECT_EQ(ExtractWord(2, line, "|"), " cddrive.bmp");
    EXPECT_EQ(ExtractWord(3, line, "|"), "kunden_2024.ini");
    EXPECT_EQ(ExtractWord(4, line, "|"), "");
    EXPECT_EQ(ExtractWord(0, line, "|"), "");
}

TEST(Words, EmptyFieldsVanishAndShiftLaterWords) {
    EXPECT_EQ(WordCount("", "|"), 0);
    EXPECT_EQ(WordCount("|||", "|"), 0);
    EXPECT_EQ(ExtractWord(2, "a||c", "|"), "c");
    // A blank between separators keeps the field.
    EXPECT_EQ(ExtractWord(2, "a| |c", "|").trimmed(), "");
    EXPECT_EQ(ExtractWord(3, "a| |c", "|"), "c");
}

TEST(Words, SeveralDelimiterCharacters) {
    EXPECT_EQ(WordCount("a;b c;;d", "; "), 4);
    EXPECT_EQ(ExtractWord(4, "a;b c;;d", "; "), "d");
}
