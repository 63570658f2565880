#include "compose/SalutationFormula.h"

#include "common/ControlCharacters.h"
#include "common/TextFile.h"
#include "common/Words.h"

#include <QFileInfo>
#include <atomic>

namespace {
// Bumped by every write of the editor, so a change within the file system's time stamp
// resolution is still seen at the next lookup.
std::atomic<quint64> g_writes{1};

const QString bar = QStringLiteral("|");
} // namespace

SalutationFormula::SalutationFormula(QString path) : m_path(std::move(path)) {}

void SalutationFormula::setPath(const QString& path) {
    if (path == m_path)
        return;
    m_path = path;
    m_loaded = false;
}

QString SalutationFormula::fileName() {
    return QStringLiteral("Grussformel.txt");
}

SalutationFormula::Entry SalutationFormula::parseLine(const QString& line) {
    return {ExtractWord(1, line, bar).trimmed(), ExtractWord(2, line, bar).trimmed()};
}

QList<SalutationFormula::Entry> SalutationFormula::parse(const QStringList& lines) {
    QList<Entry> entries;
    entries.reserve(lines.size());
    for (const QString& line : lines)
        entries.append(parseLine(line));
    return entries;
}

QString SalutationFormula::lookup(const QList<Entry>& entries, const QString& anrede) {
    QString result = anrede;
    for (const Entry& e : entries) {
        if (e.key.isEmpty())
            continue;
        if (anrede.startsWith(e.key, Qt::CaseSensitive))
            result = e.value;
        else if (anrede.isEmpty() && e.key == QStringLiteral("{LEER}"))
            result = e.value;
    }
    return result;
}

void SalutationFormula::refresh() {
    const QFileInfo info(m_path);
    const bool exists = !m_path.isEmpty() && info.isFile();
    const QDateTime modified = exists ? info.lastModified() : QDateTime();
    const qint64 size = exists ? info.size() : -1;
    const quint64 generation = g_writes.load();
    if (m_loaded && modified == m_modified && size == m_size && generation == m_generation)
        return;
    m_entries.clear();
    QStringList lines;
    if (exists && TextFile::readLines(m_path, &lines, nullptr))
        m_entries = parse(lines);
    m_modified = modified;
    m_size = size;
    m_generation = generation;
    m_loaded = true;
}

QString SalutationFormula::lookup(const QString& anrede) {
    refresh();
    return lookup(m_entries, anrede);
}

QList<SalutationFormula::Entry> SalutationFormula::readRows(const QString& path, QStringList* extra,
                                                            QString* error) {
    QStringList lines;
    if (QFileInfo::exists(path))
        TextFile::readLines(path, &lines, error);
    QList<Entry> rows;
    for (int i = 0; i < rowCount; ++i)
        rows.append(i < lines.size() ? parseLine(lines[i]) : Entry{});
    if (extra)
        *extra = lines.mid(rowCount);
    return rows;
}

bool SalutationFormula::writeRows(const QString& path, const QList<Entry>& rows,
                                  const QStringList& extra, QString* error) {
    QStringList lines;
    for (int i = 0; i < rowCount; ++i) {
        const Entry e = rows.value(i);
        // Control characters of a value become blanks, so a row stays one line.
        lines.append(ControlCharacters::blanked(e.key).trimmed() + bar +
                     ControlCharacters::blanked(e.value).trimmed());
    }
    lines += extra;
    const bool ok = TextFile::writeLines(path, lines, error);
    g_writes.fetch_add(1);
    return ok;
}
