#pragma once
#include <QString>
#include <QStringList>
#include <optional>

class Messages;

// An ini file with the semantics of Windows profile files: section and key names are
// compared without regard to case, values are trimmed and a pair of enclosing double
// quotes is removed, lines that are neither a section nor key=value are ignored.
// Every write goes to disk at once, keeping the other lines as they were.
class IniFile {
public:
    explicit IniFile(QString path);

    const QString& path() const { return m_path; }
    bool exists() const;

    std::optional<QString> value(const QString& section, const QString& key) const;
    QString readString(const QString& section, const QString& key,
                       const QString& defaultValue = {}) const;
    // Decimal, or hexadecimal with "0x" or "$"; anything else gives the default.
    int readInteger(const QString& section, const QString& key, int defaultValue) const;
    // Integer style: any non-zero integer is true.
    bool readBool(const QString& section, const QString& key, bool defaultValue) const;
    // Word style: true exactly when the value is "True".
    bool readBoolWord(const QString& section, const QString& key, bool defaultValue) const;

    // A control character in the value becomes a blank, so a value never forges a
    // line. A section or key name holding one (or "=" in a key, "[" or "]" in a section)
    // is refused: false, the file unchanged and a German message in *error.
    bool writeString(const QString& section, const QString& key, const QString& value,
                     QString* error = nullptr);
    bool writeInteger(const QString& section, const QString& key, int value);
    bool writeBool(const QString& section, const QString& key, bool value);     // "1"/"0"
    bool writeBoolWord(const QString& section, const QString& key, bool value); // "True"/"False"
    bool deleteKey(const QString& section, const QString& key);
    bool eraseSection(const QString& section);

    QStringList sections() const;
    QStringList keys(const QString& section) const;
    bool sectionExists(const QString& section) const;

    // Parses an integer the way the profile reads do; nullopt when it is none.
    static std::optional<int> parseInteger(const QString& text);

    // Creates the file readable by its owner only (for files holding passwords).
    void setPrivate(bool on) { m_private = on; }

private:
    QStringList load() const;
    bool save(const QStringList& lines) const;

    QString m_path;
    bool m_private = false;
};

// Settings reads that first report a missing entry. The file's lines are scanned in
// order: the section counts as found from the first line containing "[section]"; from
// there on, a line whose text before its first "=", trimmed, equals the key counts as
// the key. A missing section gives "Block <section> not found in <file>", a missing key
// "Item <key> not found in <file>" (both errors); the ordinary read follows in any case.
QString ReadRequiredString(const QString& file, const QString& section, const QString& key,
                           const QString& defaultValue, Messages& messages);
int ReadRequiredInteger(const QString& file, const QString& section, const QString& key,
                        int defaultValue, Messages& messages);
