#include "platform/FileLock.h"

#include <QFile>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Open-file-description locks conflict between descriptors of the same process too,
// which classic fcntl locks do not; fall back to those where OFD locks are missing.
int lockFd(int fd, short type) {
    struct flock fl {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = 0;
    fl.l_len = 0;
#ifdef F_OFD_SETLK
    return fcntl(fd, F_OFD_SETLK, &fl);
#else
    return fcntl(fd, F_SETLK, &fl);
#endif
}

} // namespace

FileLock::~FileLock() {
    unlock();
}

bool FileLock::tryLock(const QString& path) {
    unlock();
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    if (lockFd(fd, F_WRLCK) != 0) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_path = path;
    return true;
}

void FileLock::unlock() {
    if (m_fd < 0)
        return;
    lockFd(m_fd, F_UNLCK);
    ::close(m_fd);
    m_fd = -1;
    m_path.clear();
}

bool FileLock::isHeldElsewhere(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool held = lockFd(fd, F_WRLCK) != 0;
    if (!held)
        lockFd(fd, F_UNLCK);
    ::close(fd);
    return held;
}

bool FileLock::removeIfStale(const QString& path) {
    if (!QFile::exists(path))
        return true;
    if (isHeldElsewhere(path))
        return false;
    return QFile::remove(path) || !QFile::exists(path);
}
