#include "common/IniFile.h"

#include "common/ControlCharacters.h"
#include "common/Messages.h"
#include "common/TextFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <climits>

namespace {

// The section name of a line "[name]", or nullopt when the line is no section header.
std::optional<QString> sectionOf(const QString& line) {
    const QString t = line.trimmed();
    if (!t.startsWith(QChar('[')))
        return std::nullopt;
    const auto close = t.indexOf(QChar(']'));
    if (close < 0)
        return std::nullopt;
    return t.mid(1, close - 1).trimmed();
}

bool isComment(const QString& line) {
    const QString t = line.trimmed();
    return t.startsWith(QChar(';'));
}

std::optional<QString> keyOf(const QString& line) {
    if (isComment(line) || sectionOf(line))
        return std::nullopt;
    const auto eq = line.indexOf(QChar('='));
    if (eq < 0)
        return std::nullopt;
    return line.left(eq).trimmed();
}

QString valueOf(const QString& line) {
    QString v = line.mid(line.indexOf(QChar('=')) + 1).trimmed();
    if (v.size() >= 2 && v.startsWith(QChar('"')) && v.endsWith(QChar('"')))
        v = v.mid(1, v.size() - 2);
    return v;
}

bool same(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Index range [begin, end) of the lines inside the first section of that name, the
// header excluded; begin is -1 when the section is missing.
std::pair<int, int> sectionRange(const QStringList& lines, const QString& section) {
    int begin = -1;
    for (int i = 0; i < lines.size(); ++i) {
        const auto s = sectionOf(lines[i]);
        if (!s)
            continue;
        if (begin >= 0)
            return {begin, i};
        if (same(*s, section))
            begin = i + 1;
    }
    return {begin, int(lines.size())};
}

} // namespace

IniFile::IniFile(QString path) : m_path(std::move(path)) {}

bool IniFile::exists() const {
    return QFileInfo::exists(m_path);
}

QStringList IniFile::load() const {
    return TextFile::readLines(m_path);
}

bool IniFile::save(const QStringList& lines) const {
    if (!TextFile::writeLines(m_path, lines))
        return false;
    if (m_private)
        QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner);
    return true;
}

std::optional<QString> IniFile::value(const QString& section, const QString& key) const {
    const QStringList lines = load();
    const auto [begin, end] = sectionRange(lines, section);
    if (begin < 0)
        return std::nullopt;
    for (int i = begin; i < end; ++i) {
        const auto k = keyOf(lines[i]);
        if (k && same(*k, key))
            return valueOf(lines[i]);
    }
    return std::nullopt;
}

QString IniFile::readString(const QString& section, const QString& key,
                            const QString& defaultValue) const {
    return value(section, key).value_or(defaultValue);
}

std::optional<int> IniFile::parseInteger(const QString& text) {
    QString t = text.trimmed();
    bool negative = false;
    if (t.startsWith(QChar('-')) || t.startsWith(QChar('+'))) {
        negative = t.startsWith(QChar('-'));
        t = t.mid(1);
    }
    int base = 10;
    if (t.startsWith(QStringLiteral("0x"), Qt::CaseInsensitive)) {
        base = 16;
        t = t.mid(2);
    } else if (t.startsWith(QChar('$'))) {
        base = 16;
        t = t.mid(1);
    }
    if (t.isEmpty())
        return std::nullopt;
    bool ok = false;
    const qlonglong v = t.toLongLong(&ok, base);
    if (!ok || t.startsWith(QChar('-')) || t.startsWith(QChar('+')))
        return std::nullopt;
    const qlonglong signedValue = negative ? -v : v;
    if (base == 16 && !negative && v <= 0xFFFFFFFFLL)
        return int(quint32(v)); // hex values wrap like a 32-bit register
    if (signedValue < INT_MIN || signedValue > INT_MAX)
        return std::nullopt;
    return int(signedValue);
}

int IniFile::readInteger(const QString& section, const QString& key, int defaultValue) const {
    const auto v = value(section, key);
    if (!v)
        return defaultValue;
    return parseInteger(*v).value_or(defaultValue);
}

bool IniFile::readBool(const QString& section, const QString& key, bool defaultValue) const {
    return readInteger(section, key, defaultValue ? 1 : 0) != 0;
}

bool IniFile::readBoolWord(const QString& section, const QString& key, bool defaultValue) const {
    const auto v = value(section, key);
    if (!v)
        return defaultValue;
    return *v == QStringLiteral("True");
}

bool IniFile::writeString(const QString& section, const QString& key, const QString& value,
                          QString* error) {
    const auto refused = [&](const QString& name) {
        if (error)
            *error = QStringLiteral("Der Name \"") + ControlCharacters::blanked(name) +
                     QStringLiteral(
                         "\" enthält ein unzulässiges Zeichen und wird nicht in die Datei \"") +
                     QDir::toNativeSeparators(m_path) + QStringLiteral("\" geschrieben.");
        return false;
    };
    if (ControlCharacters::contains(section) || section.contains(QChar('[')) ||
        section.contains(QChar(']')))
        return refused(section);
    if (ControlCharacters::contains(key) || key.contains(QChar('=')))
        return refused(key);
    QStringList lines = load();
    const QString entry = key + QChar('=') + ControlCharacters::blanked(value);
    const auto [begin, end] = sectionRange(lines, section);
    if (begin < 0) {
        if (!lines.isEmpty() && !lines.last().trimmed().isEmpty())
            lines.append(QString());
        lines.append(QChar('[') + section + QChar(']'));
        lines.append(entry);
        return save(lines);
    }
    int lastEntry = begin - 1;
    for (int i = begin; i < end; ++i) {
        const auto k = keyOf(lines[i]);
        if (k && same(*k, key)) {
            lines[i] = entry;
            return save(lines);
        }
        if (!lines[i].trimmed().isEmpty())
            lastEntry = i;
    }
    lines.insert(lastEntry + 1, entry);
    return save(lines);
}

bool IniFile::writeInteger(const QString& section, const QString& key, int value) {
    return writeString(section, key, QString::number(value));
}

bool IniFile::writeBool(const QString& section, const QString& key, bool value) {
    return writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

bool IniFile::writeBoolWord(const QString& section, const QString& key, bool value) {
    return writeString(section, key, value ? QStringLiteral("True") : QStringLiteral("False"));
}

bool IniFile::deleteKey(const QString& section, const QString& key) {
    QStringList lines = load();
    const auto [begin, end] = sectionRange(lines, section);
    for (int i = begin; begin >= 0 && i < end; ++i) {
        const auto k = keyOf(lines[i]);
        if (k && same(*k, key)) {
            lines.removeAt(i);
            return save(lines);
        }
    }
    return true;
}

bool IniFile::eraseSection(const QString& section) {
    QStringList lines = load();
    const auto [begin, end] = sectionRange(lines, section);
    if (begin < 0)
        return true;
    lines.erase(lines.begin() + (begin - 1), lines.begin() + end);
    return save(lines);
}

QStringList IniFile::sections() const {
    QStringList result;
    for (const QString& line : load())
        if (const auto s = sectionOf(line))
            result.append(*s);
    return result;
}

bool IniFile::sectionExists(const QString& section) const {
    return sectionRange(load(), section).first >= 0;
}

QStringList IniFile::keys(const QString& section) const {
    const QStringList lines = load();
    const auto [begin, end] = sectionRange(lines, section);
    QStringList result;
    for (int i = begin; begin >= 0 && i < end; ++i)
        if (const auto k = keyOf(lines[i]))
            result.append(*k);
    return result;
}

namespace {

// Reports a missing section or key by the scanning rule of the required reads.
void reportMissing(const QString& file, const QString& section, const QString& key,
                   Messages& messages) {
    const QStringList lines = TextFile::readLines(file);
    const QString header = QChar('[') + section + QChar(']');
    int from = -1;
    for (int i = 0; i < lines.size(); ++i) {
        if (lines[i].contains(header)) {
            from = i;
            break;
        }
    }
    bool keyFound = false;
    if (from < 0) {
        messages.error(QStringLiteral("Block ") + section + QStringLiteral(" not found in ") +
                       file);
    } else {
        for (int i = from; i < lines.size() && !keyFound; ++i) {
            const auto eq = lines[i].indexOf(QChar('='));
            if (eq >= 0 && lines[i].left(eq).trimmed() == key)
                keyFound = true;
        }
    }
    if (!keyFound)
        messages.error(QStringLiteral("Item ") + key + QStringLiteral(" not found in ") + file);
}

} // namespace

QString ReadRequiredString(const QString& file, const QString& section, const QString& key,
                           const QString& defaultValue, Messages& messages) {
    reportMissing(file, section, key, messages);
    return IniFile(file).readString(section, key, defaultValue);
}

int ReadRequiredInteger(const QString& file, const QString& section, const QString& key,
                        int defaultValue, Messages& messages) {
    reportMissing(file, section, key, messages);
    return IniFile(file).readInteger(section, key, defaultValue);
}
