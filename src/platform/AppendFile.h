#pragma once
#include <QByteArray>
#include <QString>

// A file opened for appending, created when missing, with one system call for each of
// open, size, write and close: logs that are opened for every line (so that a log moved
// or deleted meanwhile is simply begun again) stay cheap.
class AppendFile {
public:
    explicit AppendFile(const QString& path);
    ~AppendFile();
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    bool isOpen() const { return m_fd >= 0; }
    // The size before anything is written; -1 when not open.
    qint64 size() const;
    // Appends all bytes; false when not open or the write failed.
    bool write(const QByteArray& bytes);
    // The system's text for the last failure.
    const QString& errorString() const { return m_error; }

private:
    int m_fd = -1;
    QString m_error;
};
