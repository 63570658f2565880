#include "records/FilterBuilder.h"

#include <gtest/gtest.h>

TEST(FilterBuilder, ValuePartsQuoteAndMatchPrefixesOutsideTheCoreColumns) {
    // The first four entries are ID, Selected, Invalid, LetztesMail: compared whole.
    EXPECT_EQ(FilterBuilder::valuePart("True", 1), "'True'");
    EXPECT_EQ(FilterBuilder::valuePart("12", 0), "'12'");
    EXPECT_EQ(FilterBuilder::valuePart("Köln", 4), "'Köln*'");
    EXPECT_EQ(FilterBuilder::valuePart("O'Brien", 7), "'O''Brien*'");
    EXPECT_EQ(FilterBuilder::valuePart("", 7), "'*'");
}

TEST(FilterBuilder, PartsAreCutToFortyCharacters) {
    FilterBuilder b;
    const QString longName(50, QChar('x'));
    b.setPart(FilterBuilder::Field1, longName);
    EXPECT_EQ(b.part(FilterBuilder::Field1), QString(40, QChar('x')));

    // A cut value stays unterminated, so the engine refuses it.
    const QString cut = FilterBuilder::cutPart(FilterBuilder::valuePart(QString(45, 'a'), 7));
    EXPECT_EQ(cut, "'" + QString(39, QChar('a')));
    // 38 letters and an apostrophe: cut after the first half of the doubled apostrophe,
    // the part would read as the complete value of the 38 letters.
    const QString tricky =
        FilterBuilder::cutPart(FilterBuilder::valuePart(QString(38, 'a') + "'b", 7));
    EXPECT_EQ(tricky, "'" + QString(38, QChar('a')));
}
