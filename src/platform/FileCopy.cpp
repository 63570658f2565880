#include "platform/FileCopy.h"

#include <cerrno>

#if defined(Q_OS_LINUX)
#include <unistd.h>
#endif

namespace FileCopy {

Result copyRange(int inFd, int outFd, qint64 length, qint64* copied) {
    *copied = 0;
#if defined(Q_OS_LINUX)
    const ssize_t n = ::copy_file_range(inFd, nullptr, outFd, nullptr, size_t(length), 0);
    if (n > 0) {
        *copied = n;
        return Result::Copied;
    }
    if (n == 0)
        return Result::End;
    switch (errno) {
    case ENOSPC:
    case EFBIG:
    case EDQUOT:
        return Result::TargetFull;
    case ENOSYS:
    case EXDEV:
    case EINVAL:
    case EOPNOTSUPP:
        return Result::Unsupported;
    default:
        return Result::Failed;
    }
#else
    Q_UNUSED(inFd);
    Q_UNUSED(outFd);
    Q_UNUSED(length);
    return Result::Unsupported;
#endif
}

} // namespace FileCopy
