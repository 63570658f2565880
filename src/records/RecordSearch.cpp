#include "records/RecordSearch.h"

#include "common/Levenshtein.h"
#include "database/AddressTable.h"
#include "database/SystemColumns.h"

namespace {

const QString kNoFurther = QStringLiteral("Kein weiteres Ergebnis gefunden!");
const QString kNone = QStringLiteral("Kein Ergebnis gefunden!");

// The exact search compares the trimmed text; the fuzzy one the text as typed.
QString searchText(const RecordSearch::Options& o) {
    return o.fuzzy ? o.text : o.text.trimmed();
}

} // namespace

bool RecordSearch::fieldMatches(const QString& fieldText, const Options& options) {
    const QString search = searchText(options);
    if (!options.fuzzy) {
        if (search.isEmpty())
            return false;
        // The same comparison the engine's condition uses, so label and hit agree.
        return fieldText.contains(search,
                                  options.caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive);
    }
    const QString upperSearch = search.toUpper();
    // Words at every blank: two blanks in a row give an empty word, an empty text is
    // one empty word.
    const QStringList words = fieldText.toUpper().split(QChar(' '), Qt::KeepEmptyParts);
    for (const QString& word : words)
        if (LevenshteinPercentBelow(upperSearch, word, fuzzyLimit))
            return true;
    return false;
}

QString RecordSearch::matchingFieldText(const AddressTable& table, const Options& options) {
    for (int i = 0; i < table.fieldCount(); ++i) {
        const QString text = table.asString(i);
        if (fieldMatches(text, options))
            return text;
    }
    return {};
}

SearchResult RecordSearch::step(AddressTable& table, const Options& options) {
    SearchResult result;
    if (!table.isOpen())
        return result;

    // Starting point, worked out without moving the cursor: the cursor moves once, to
    // the hit or to the end of the view. stuck: there is no record beyond the previous
    // hit; atBoundary: the start or end flag is set, only the start is left to examine.
    const qint64 count = table.recordCount();
    const qint64 current = table.recNo();
    qint64 startRow = current;
    bool stuck = false;
    bool atBoundary = false;
    if (options.backwards) {
        if (m_found) {
            stuck = current <= 0;
            startRow = stuck ? current : current - 1;
            atBoundary = stuck;
        } else {
            startRow = count - 1;
            atBoundary = count == 0;
        }
    } else if (m_found) {
        stuck = current + 1 >= count;
        startRow = stuck ? current : current + 1;
        atBoundary = stuck;
    } else {
        atBoundary = table.eof();
    }

    const QString search = searchText(options);
    const bool searchable = options.fuzzy || !search.isEmpty();
    qint64 hitRow = -1;
    if (searchable && startRow >= 0) {
        const AddressTable::TextMatch match = options.fuzzy ? AddressTable::TextMatch::Fuzzy
                                              : options.caseSensitive
                                                  ? AddressTable::TextMatch::ContainsCaseSensitive
                                                  : AddressTable::TextMatch::Contains;
        const RecordCondition condition = table.conditionAnyFieldContains(search, match);
        if (atBoundary) {
            if (table.findInView(startRow, !options.backwards, condition) == startRow)
                hitRow = startRow;
        } else {
            hitRow = table.findInView(startRow, !options.backwards, condition);
        }
    }

    if (hitRow >= 0) {
        m_found = true;
        if (hitRow == startRow && stuck) {
            // The previous hit is still current: there is nothing beyond it.
            result.kind = SearchResult::Kind::NoFurtherResult;
            result.label1 = kNoFurther;
            return result;
        }
        if (hitRow != current)
            table.moveTo(hitRow);
        result.kind = SearchResult::Kind::Hit;
        result.label1 = QStringLiteral("ID = ") + table.asString(SystemColumns::ID);
        result.label2 = QStringLiteral("Name = ") + table.asString(QStringLiteral("Name"));
        result.label3 = matchingFieldText(table, options);
        result.editEnabled = true;
        result.deleteEnabled = !options.fuzzy;
        return result;
    }

    // Ran through to the end of the view in the search direction.
    if (count > 0) {
        if (options.backwards)
            table.first();
        else
            table.last();
    }
    result.kind = m_found ? SearchResult::Kind::NoFurtherResult : SearchResult::Kind::NoResult;
    result.label1 = m_found ? kNoFurther : kNone;
    return result;
}
