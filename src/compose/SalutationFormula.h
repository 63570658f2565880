#pragma once
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// The salutation formula Grussformel.txt: lines of key "|" value. A record's Anrede is
// replaced by the value of the last line whose key it begins with (exact case); an
// empty Anrede by the value of the key "{LEER}". Without the file the Anrede stays.
class SalutationFormula {
public:
    struct Entry {
        QString key;
        QString value;
    };

    explicit SalutationFormula(QString path = {});

    void setPath(const QString& path);
    const QString& path() const { return m_path; }

    // The greeting for an Anrede. Reads the file again only when it changed since the
    // last read (written by the editor, or its time stamp or size differ).
    QString lookup(const QString& anrede);

    // Splitting of one line with ExtractWord on "|": word 1 is the key, word 2 the value.
    static Entry parseLine(const QString& line);
    static QList<Entry> parse(const QStringList& lines);
    static QString lookup(const QList<Entry>& entries, const QString& anrede);

    // The file name in the program folder.
    static QString fileName(); // "Grussformel.txt"

    // The editor's rows: eight (key, value) pairs from the first eight lines; missing
    // lines give empty rows. *extra receives the lines from the ninth on.
    static QList<Entry> readRows(const QString& path, QStringList* extra = nullptr,
                                 QString* error = nullptr);
    // Writes the eight rows, each as trimmed key "|" trimmed value, followed by the extra
    // lines; every cached formula re-reads the file before its next lookup.
    static bool writeRows(const QString& path, const QList<Entry>& rows, const QStringList& extra,
                          QString* error = nullptr);
    static constexpr int rowCount = 8;

private:
    void refresh();

    QString m_path;
    QList<Entry> m_entries;
    bool m_loaded = false;
    QDateTime m_modified;
    qint64 m_size = -1;
    quint64 m_generation = 0;
};
