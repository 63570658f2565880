#include "exchange/TextImport.h"

#include "common/Messages.h"
#include "common/TextFile.h"
#include "common/Words.h"
#include "exchange/ImportWriter.h"

#include <vector>

namespace {

// The blanks a trim removes: spaces, control characters and other white space.
bool isBlank(QChar c) {
    return c.unicode() <= 0x20 || c.isSpace();
}

QStringView trimBlanks(QStringView s) {
    qsizetype start = 0;
    qsizetype end = s.size();
    while (start < end && isBlank(s.at(start)))
        ++start;
    while (end > start && isBlank(s.at(end - 1)))
        --end;
    return s.mid(start, end - start);
}

QString trimBlanks(const QString& s) {
    const QStringView t = trimBlanks(QStringView(s));
    return t.size() == s.size() ? s : t.toString();
}

// A field as it is stored: one quote at each end removed, blanks trimmed.
QString unquotedField(QStringView field, QChar quote) {
    if (!quote.isNull()) {
        const QStringView t = trimBlanks(field);
        if (t.startsWith(quote))
            field = t.mid(1);
        if (field.endsWith(quote))
            field.chop(1);
    }
    return trimBlanks(field).toString();
}

// Reads lines of a file on demand and keeps those read, for the preview.
class LineCache {
public:
    bool open(const QString& path, QString* error) {
        // The encoding is judged by the head of the file, so a tick reads no more than it
        // shows.
        return m_reader.open(path, 64 * 1024, error);
    }
    // Line i (from 0); false beyond the end of the file or after a read failure.
    bool line(qint64 i, QString* text) {
        while (qint64(m_lines.size()) <= i) {
            QString next;
            if (!m_reader.readLine(&next))
                return false;
            m_lines.push_back(next);
        }
        *text = m_lines[size_t(i)];
        return true;
    }
    const QString& error() const { return m_reader.error(); }

private:
    TextFile::LineReader m_reader;
    std::vector<QString> m_lines;
};

} // namespace

namespace TextImport {

QString delimiterFromItem(const QString& item) {
    const QString t = item.trimmed();
    if (t == QStringLiteral("Tab"))
        return QStringLiteral("\t");
    if (t == QStringLiteral("Space"))
        return QStringLiteral(" ");
    return t;
}

QChar quoteFromItem(const QString& item) {
    const QString t = item.trimmed();
    if (t.isEmpty() || t == QStringLiteral("keiner"))
        return {};
    return t.at(0);
}

QString prepareLine(const QString& line, const QString& delimiter) {
    const bool blankSeparates = delimiter.contains(QChar(' '));
    const QChar single = delimiter.size() == 1 ? delimiter.at(0) : QChar();
    auto isDelimiterChar = [&](QChar c) {
        return delimiter.size() == 1 ? c == single : delimiter.contains(c);
    };
    auto trimmable = [&](QChar c) {
        return isBlank(c) && (!isDelimiterChar(c) || (blankSeparates && c == QChar(' ')));
    };
    qsizetype start = 0;
    qsizetype end = line.size();
    while (start < end && trimmable(line.at(start)))
        ++start;
    while (end > start && trimmable(line.at(end - 1)))
        --end;
    // "*" goes, unless it is a delimiter itself: removing it would join the fields.
    const bool dropStar = !isDelimiterChar(QChar('*'));
    // Most lines need none of the steps below: they are taken as they are.
    {
        bool plain = !blankSeparates && start < end && !isDelimiterChar(line.at(start));
        bool previous = false;
        for (qsizetype i = start; plain && i < end; ++i) {
            const QChar c = line.at(i);
            const bool d = isDelimiterChar(c);
            plain = !(d && previous) && !(dropStar && c == QChar('*'));
            previous = d;
        }
        if (plain)
            return start == 0 && end == line.size() ? line : line.mid(start, end - start);
    }
    // The characters are copied in runs: only a dropped "*" or an inserted blank ends
    // one, and most of a line is such a run.
    QString out;
    out.reserve(end - start + 8);
    const QStringView text(line);
    qsizetype run = start; // the first character not yet copied
    bool previousDelimiter = false;
    for (qsizetype i = start; i < end; ++i) {
        const QChar c = text[i];
        if (dropStar && c == QChar('*')) {
            out.append(text.mid(run, i - run));
            run = i + 1;
            continue;
        }
        const bool isDelimiter = isDelimiterChar(c);
        // An empty field between two delimiters, or before the first one, gets a blank
        // so that the word rule still counts it.
        if (isDelimiter && !blankSeparates && (previousDelimiter || (out.isEmpty() && run == i))) {
            out.append(text.mid(run, i - run));
            out.append(QChar(' '));
            run = i;
        }
        previousDelimiter = isDelimiter;
    }
    out.append(text.mid(run, end - run));
    if (blankSeparates)
        return trimBlanks(out).isEmpty() ? QString() : out;
    return out;
}

QString extractField(const QString& prepared, int n, const QString& delimiter, QChar quote) {
    if (n < 1)
        return {};
    return unquotedField(ExtractWord(n, prepared, delimiter), quote);
}

void extractFields(const QString& prepared, const QList<int>& columns, const QString& delimiter,
                   QChar quote, QStringList* fields) {
    // The line is cut once, not once per field: an import reads millions of them.
    thread_local QList<QStringView> words;
    SplitWords(prepared, delimiter, &words);
    for (const int n : columns)
        fields->append(n >= 1 && n <= words.size() ? unquotedField(words[n - 1], quote)
                                                   : QString());
}

bool loadBlacklist(const QString& path, QStringList* entries, QString* error) {
    entries->clear();
    QStringList lines;
    if (!TextFile::readLines(path, &lines, error))
        return false;
    for (const QString& line : lines) {
        const QString entry = trimBlanks(line.toUpper());
        if (!entry.isEmpty())
            *entries << entry;
    }
    return true;
}

bool isBlacklisted(const QString& prepared, const QStringList& upperEntries) {
    if (upperEntries.isEmpty())
        return false;
    const QString upper = prepared.toUpper();
    for (const QString& entry : upperEntries)
        if (upper.contains(entry))
            return true;
    return false;
}

bool preview(const QString& path, const ImportOptions& options, int rows, QList<QStringList>* cells,
             QString* error) {
    cells->clear();
    for (int r = 0; r < rows; ++r)
        cells->append(QStringList(QList<QString>(options.fieldNames.size())));
    QStringList blacklist;
    if (!options.blacklistPath.isEmpty()) {
        QStringList lines;
        if (!TextFile::readLines(options.blacklistPath, &lines, error))
            return false;
        for (const QString& line : lines)
            if (!trimBlanks(line).isEmpty())
                blacklist << trimBlanks(line);
    }
    LineCache file;
    if (!file.open(path, error))
        return false;
    QString text;
    qint64 first = options.skipFirstLine && file.line(1, &text) ? 1 : 0;
    for (int r = 0; r < rows; ++r) {
        QString candidate;
        bool present = file.line(first + r, &candidate);
        // A blacklisted line is passed over; the advance holds for the rows below.
        for (const QString& entry : blacklist) {
            if (present && candidate.contains(entry)) {
                ++first;
                present = file.line(first + r, &candidate);
            }
        }
        if (!present)
            break;
        const QString prepared = prepareLine(candidate, options.delimiter);
        for (int k = 0; k < options.fieldNames.size() && k < options.columns.size(); ++k)
            if (options.columns[k] > 0)
                (*cells)[r][k] =
                    extractField(prepared, options.columns[k], options.delimiter, options.quote);
    }
    if (!file.error().isEmpty()) {
        if (error)
            *error = file.error();
        return false;
    }
    return true;
}

} // namespace TextImport

bool ImportCVS(const QString& path, const ImportOptions& options, AddressTable* table,
               Messages& messages, const Progress& progress, qint64* imported) {
    using namespace TextImport;
    if (imported)
        *imported = 0;
    TextFile::LineReader reader;
    QString error;
    // One pass first: the encoding, the line count for the progress text, and whether
    // it is a text file at all, before anything is written.
    if (!reader.open(path, -1, &error)) {
        messages.error(error);
        return false;
    }
    if (reader.firstNulLine() >= 0 || reader.longestLine() > TextFile::LineReader::maxLineBytes) {
        const QString why =
            reader.firstNulLine() >= 0
                ? QStringLiteral("Zeile %1 enthält Nullbytes").arg(reader.firstNulLine() + 1)
                : QStringLiteral("eine Zeile ist länger als 1 MB");
        messages.error(QStringLiteral("Die Datei \"%1\" ist keine Textdatei mit einem Datensatz "
                                      "pro Zeile (%2). Es wurde nichts importiert.")
                           .arg(path, why));
        return false;
    }
    QStringList blacklist;
    if (!options.blacklistPath.isEmpty() &&
        !loadBlacklist(options.blacklistPath, &blacklist, &error)) {
        messages.error(error);
        return false;
    }
    BusyScope busy(progress);
    progress.clear();
    const qint64 total = reader.lineCount();
    qint64 index = -1; // 0-based index of the line read last
    QString raw;
    if (options.skipFirstLine && reader.readLine(&raw))
        ++index;
    const QString& delimiter = options.delimiter;
    auto source = [&](QStringList& texts, QString* failure) {
        for (;;) {
            if (!reader.readLine(&raw)) {
                if (!reader.error().isEmpty())
                    *failure = reader.error();
                return false;
            }
            ++index;
            const QString prepared = prepareLine(raw, delimiter);
            if (prepared.isEmpty() || isBlacklisted(prepared, blacklist))
                continue;
            extractFields(prepared, options.columns, delimiter, options.quote, &texts);
            return true;
        }
    };
    ImportWriter writer(table, options);
    writer.setExpectedRecords(total);
    const bool ok = writer.run(
        source,
        [&] {
            return QStringLiteral("Import: ") + QString::number(std::max<qint64>(index, 0)) +
                   QStringLiteral(" von ") + QString::number(total);
        },
        [&] { return QStringLiteral("Zeile %1").arg(index + 1); }, progress, messages);
    progress.clear();
    if (imported)
        *imported = writer.imported();
    return ok;
}
