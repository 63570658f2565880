#pragma once
#include <QString>

// An exclusive advisory lock on a file, held until unlock() or destruction. The lock
// conflicts with every other holder, in this process or another, and vanishes when
// the holding process ends, so a lock file left behind by a crash is never held.
class FileLock {
public:
    FileLock() = default;
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Creates the file when missing and takes the lock without waiting.
    bool tryLock(const QString& path);
    void unlock();
    bool isLocked() const { return m_fd >= 0; }
    const QString& path() const { return m_path; }

    // True when some holder has the file locked right now.
    static bool isHeldElsewhere(const QString& path);
    // Deletes the file unless someone holds its lock; true when it is gone afterwards.
    static bool removeIfStale(const QString& path);

private:
    int m_fd = -1;
    QString m_path;
};
