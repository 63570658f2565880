#pragma once
#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <memory>

// The one place where the program's own text files are read and written.
// Writing: CR LF line ends in Windows-1252; a text holding a character that
// Windows-1252 lacks, or whose Windows-1252 bytes would also read as UTF-8, is written
// as UTF-8 with a byte-order mark, so every text reads back as it was written. A line
// never carries a control character other than TAB: each becomes a blank.
// Reading: UTF-8 with a mark, UTF-8 without a mark when the bytes are valid UTF-8 with
// at least one multi-byte sequence, otherwise Windows-1252. Any line end is accepted.
namespace TextFile {

enum class Encoding { Windows1252, Utf8Bom };

QString decode(const QByteArray& bytes);
// Encodes the text, choosing Windows-1252 when it can hold every character.
QByteArray encode(const QString& text, Encoding* used = nullptr);
bool canEncodeWindows1252(const QString& text);
QByteArray toWindows1252(const QString& text); // unmappable characters become '?'
QString fromWindows1252(const QByteArray& bytes);

// Reads a file as lines (without line ends). A missing or unreadable file returns
// false and a German message in *error.
bool readLines(const QString& path, QStringList* lines, QString* error = nullptr);
QStringList readLines(const QString& path); // empty when unreadable
bool readText(const QString& path, QString* text, QString* error = nullptr);

// Writes the lines, each followed by CR LF. Writes to a temporary file first and
// replaces the target, so a failed write leaves the old file intact.
bool writeLines(const QString& path, const QStringList& lines, QString* error = nullptr);
bool writeText(const QString& path, const QString& text, QString* error = nullptr);
bool appendLine(const QString& path, const QString& line, QString* error = nullptr);

// Reads a text file line by line without holding it whole, so a file of any size needs
// little memory. The encoding follows the rules above; it is decided from the first
// detectBytes bytes of the file, or from all of it when detectBytes is negative (one
// pass in blocks, which also counts the lines and finds NUL bytes).
class LineReader {
public:
    // A longer line ends the reading with a message: such a "line" is no text.
    static constexpr qint64 maxLineBytes = 1 << 20;

    bool open(const QString& path, qint64 detectBytes, QString* error);
    // The next line without its line end; false at the end of the file or on a failure
    // (then error() is not empty). CR LF, LF and CR end a line.
    bool readLine(QString* line);
    const QString& error() const { return m_error; }
    Encoding encoding() const { return m_utf8 ? Encoding::Utf8Bom : Encoding::Windows1252; }
    qint64 linesRead() const { return m_linesRead; }
    // Only after a whole-file detection: the number of lines, and the 0-based index of
    // the first line holding a NUL byte (-1 when none does).
    qint64 lineCount() const { return m_lineCount; }
    qint64 firstNulLine() const { return m_firstNulLine; }
    qint64 longestLine() const { return m_longestLine; } // in bytes

private:
    bool fill();
    bool scan(qint64 limit);

    QFile m_file;
    QString m_path;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
    qint64 m_size = 0;
    qint64 m_consumed = 0; // bytes taken from the file into the buffer
    bool m_eof = false;
    bool m_utf8 = false;
    qint64 m_linesRead = 0;
    qint64 m_lineCount = -1;
    qint64 m_firstNulLine = -1;
    qint64 m_longestLine = 0;
    QString m_error;
};

// Writes a text file line by line without holding it whole, by the writing rules above:
// lines go out in Windows-1252 while they can; the first line that cannot, or a whole
// text that would read back as UTF-8, turns the file into UTF-8 with a byte-order mark
// (what was written so far is converted once). The lines collect in a temporary file
// beside the target, which replaces the target only on commit, so a failed or
// abandoned write never leaves a half-written file under the target's name.
class LineWriter {
public:
    LineWriter();
    ~LineWriter(); // discards an uncommitted file
    LineWriter(const LineWriter&) = delete;
    LineWriter& operator=(const LineWriter&) = delete;

    bool open(const QString& path, QString* error);
    // Control characters other than TAB become blanks; CR LF is added.
    bool writeLine(const QString& line);
    // A line built in pieces (long lines of many values): the pieces, then endLine.
    void append(QStringView text);
    void appendBlanks(qsizetype count);
    bool endLine();
    bool commit(QString* error);
    void discard();
    const QString& error() const;

private:
    struct State;
    std::unique_ptr<State> d;
};

} // namespace TextFile
