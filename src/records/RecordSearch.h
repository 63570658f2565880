#pragma once
#include <QString>

class AddressTable;

// What the search dialog shows after one search step.
struct SearchResult {
    enum class Kind { Hit, NoFurtherResult, NoResult };
    Kind kind = Kind::NoResult;
    QString label1; // "ID = …", "Kein weiteres Ergebnis gefunden!" or "Kein Ergebnis gefunden!"
    QString label2; // "Name = …" or empty
    QString label3; // text of the field that matched, or empty
    bool editEnabled = false;
    bool deleteEnabled = false;
};

// The search of the search dialog: finds the next record of the current view that
// contains a text (exactly) or has a word close to it (fuzzy, Levenshtein). It keeps
// the found flag between steps, so "Weiter suchen" continues after the last hit.
// The records are examined in batches by the engine, not one by one.
class RecordSearch {
public:
    struct Options {
        QString text;               // as typed
        bool caseSensitive = false; // exact search only
        bool fuzzy = false;
        bool backwards = false;
    };

    static constexpr int fuzzyLimit = 25; // LevenshteinPercent below this is a hit

    bool found() const { return m_found; }
    void reset() { m_found = false; }

    // One search step: moves the table's cursor to the next hit in the direction and
    // describes the outcome.
    SearchResult step(AddressTable& table, const Options& options);

    // The text of the first field of the current record, in column order, that matches;
    // empty when none does.
    static QString matchingFieldText(const AddressTable& table, const Options& options);
    static bool fieldMatches(const QString& fieldText, const Options& options);

private:
    bool m_found = false;
};
