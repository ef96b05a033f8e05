// The operating system's errors as a StatusKind and as words, in one place for every library:
// the code that meets an errno (or, on Windows, a GetLastError value) asks here what kind of
// failure it is, so that whatever call failed, the callers above see the same few kinds. Where
// the failing call itself tells more (an exclusive open refused because another program holds
// the device), that code may say so instead.
#pragma once

#include <string>
#include <system_error>

#include "status.h"

namespace qvlink {

// The kind of failure `error` (an errno value) stands for; Io for one it does not single out.
StatusKind KindOfErrno(int error);

// The kind of failure an error code of the standard library (std::filesystem, the streams)
// stands for, through the errno value it corresponds to; Io for one it does not single out.
StatusKind KindOfError(const std::error_code& error);

// `error` (an errno value) in the C library's words.
std::string ErrnoText(int error);

#ifdef _WIN32
// The kind of failure `error` (a GetLastError value) stands for; Io for one it does not single
// out.
StatusKind KindOfLastError(unsigned long error);

// `error` (a GetLastError value) in the system's words, on one line.
std::string LastErrorText(unsigned long error);
#endif

}  // namespace qvlink
