#include "platform/AppendFile.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

AppendFile::AppendFile(const QString& path) {
    m_fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC,
                  0666);
    if (m_fd < 0)
        m_error = qt_error_string(errno);
}

AppendFile::~AppendFile() {
    if (m_fd >= 0)
        ::close(m_fd);
}

qint64 AppendFile::size() const {
    struct stat st;
    return m_fd >= 0 && ::fstat(m_fd, &st) == 0 ? qint64(st.st_size) : -1;
}

bool AppendFile::write(const QByteArray& bytes) {
    if (m_fd < 0)
        return false;
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(m_fd, data, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            m_error = qt_error_string(n < 0 ? errno : ENOSPC);
            return false;
        }
        data += n;
        left -= n;
    }
    return true;
}
