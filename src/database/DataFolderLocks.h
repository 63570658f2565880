#pragma once
#include <QString>

// The lock the open engine holds in a data folder ("Paradox.lck") while any of its
// tables is open, shared by all tables of that folder in this process.
namespace DataFolderLocks {

// False when another process holds the folder's lock.
bool acquire(const QString& folder);
// The last release removes the lock file.
void release(const QString& folder);

} // namespace DataFolderLocks
