#pragma once
#include <QString>

// Word access for the "|"-separated files: a word is a maximal run of characters not
// in the delimiter set, so a run of delimiters separates like one and empty words do
// not exist. Words are counted from 1; a missing word yields an empty string.
QString ExtractWord(int n, const QString& text, const QString& delimiters);
int WordCount(const QString& text, const QString& delimiters);
