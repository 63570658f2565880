#pragma once
#include "platform/FileLock.h"

#include <QString>

// One running instance per machine: an exclusive lock on a file in the system temp
// folder, held for the lifetime of the object (in practice, of the process). The lock
// vanishes with the process, so a crashed instance never blocks the next start.
class SingleInstance {
public:
    // The default lock file is QDir::tempPath() + "/Quillon.instance.lock".
    SingleInstance();
    explicit SingleInstance(QString lockPath);

    // True when no other holder exists; the lock is then held until release().
    bool acquire();
    void release() { m_lock.unlock(); }
    bool isHeld() const { return m_lock.isLocked(); }
    const QString& lockPath() const { return m_path; }

    static QString defaultLockPath();

private:
    QString m_path;
    FileLock m_lock;
};
