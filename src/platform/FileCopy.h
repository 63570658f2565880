#pragma once
#include <QtGlobal>

// Copying between two open files inside the operating system, where it can: the bytes
// do not pass through the program, which makes a large copy several times faster.
namespace FileCopy {

enum class Result { Copied, End, Unsupported, TargetFull, Failed };

// Copies up to length bytes from the current position of inFd to that of outFd and
// advances both. *copied is the number of bytes copied. Unsupported: the system cannot
// do this for these files (copy another way); TargetFull: the target's disk or file
// size limit is reached; Failed: any other failure.
Result copyRange(int inFd, int outFd, qint64 length, qint64* copied);

} // namespace FileCopy
