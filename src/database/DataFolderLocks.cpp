#include "database/DataFolderLocks.h"

#include "platform/FileLock.h"

#include <QFile>
#include <QHash>

namespace {

struct FolderLock {
    FileLock lock;
    int users = 0;
};

QHash<QString, FolderLock*>& folderLocks() {
    static QHash<QString, FolderLock*> locks;
    return locks;
}

} // namespace

namespace DataFolderLocks {

bool acquire(const QString& folder) {
    auto& locks = folderLocks();
    FolderLock* entry = locks.value(folder);
    if (!entry) {
        entry = new FolderLock;
        if (!entry->lock.tryLock(folder + QStringLiteral("Paradox.lck"))) {
            delete entry;
            return false;
        }
        locks.insert(folder, entry);
    }
    ++entry->users;
    return true;
}

void release(const QString& folder) {
    auto& locks = folderLocks();
    FolderLock* entry = locks.value(folder);
    if (!entry)
        return;
    if (--entry->users == 0) {
        locks.remove(folder);
        const QString file = entry->lock.path();
        entry->lock.unlock();
        delete entry;
        QFile::remove(file);
    }
}

} // namespace DataFolderLocks
