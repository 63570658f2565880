#pragma once
#include <QString>
#include <utility>

// A text file of the program that a send run extends line by line ("Transaction.log",
// "Gesendete_Mails.log"). Each line is appended to the end of the file, which gives the
// same file as reading it, adding the line and writing it back, without rereading a
// file that grows with every message. The encoding rule of the program's text files
// holds: Windows-1252 while every line fits, otherwise the whole file becomes UTF-8 with
// a byte-order mark (then it is rewritten once).
class SendLog {
public:
    explicit SendLog(QString path = {}) : m_path(std::move(path)) {}

    void setPath(const QString& path);
    const QString& path() const { return m_path; }

    // Deletes the file; the next line starts it afresh.
    void remove();
    bool append(const QString& line, QString* error = nullptr);

private:
    enum class Known { Unknown, Windows1252, Utf8Bom };
    QString m_path;
    Known m_known = Known::Unknown;
};
