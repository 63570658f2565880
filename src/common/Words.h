#pragma once
#include <QList>
#include <QString>
#include <QStringView>

// Word access for the "|"-separated files: a word is a maximal run of characters not
// in the delimiter set, so a run of delimiters separates like one and empty words do
// not exist. Words are counted from 1; a missing word yields an empty string.
QString ExtractWord(int n, const QString& text, const QString& delimiters);
int WordCount(const QString& text, const QString& delimiters);
// Every word of the text at once, for a caller that wants several words of one line.
void SplitWords(const QString& text, const QString& delimiters, QList<QStringView>* words);
