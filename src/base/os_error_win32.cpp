#include <windows.h>

#include "os_error.h"
#include "wide_text.h"

namespace qvlink {
namespace {

struct LastErrorKind {
    DWORD error;
    StatusKind kind;
};

constexpr LastErrorKind LAST_ERROR_KINDS[] = {
    {ERROR_FILE_NOT_FOUND, StatusKind::NotFound},
    {ERROR_PATH_NOT_FOUND, StatusKind::NotFound},
    {ERROR_DEV_NOT_EXIST, StatusKind::NotFound},
    {ERROR_BAD_NETPATH, StatusKind::NotFound},
    {ERROR_BAD_UNIT, StatusKind::NotFound},
    {ERROR_INVALID_DRIVE, StatusKind::NotFound},
    {ERROR_INVALID_NAME, StatusKind::NotFound},
    {ERROR_SHARING_VIOLATION, StatusKind::InUse},
    {ERROR_LOCK_VIOLATION, StatusKind::InUse},
    {ERROR_BUSY, StatusKind::InUse},
    {ERROR_PIPE_BUSY, StatusKind::InUse},
    {ERROR_ACCESS_DENIED, StatusKind::Denied},
    {ERROR_WRITE_PROTECT, StatusKind::Denied},
    {ERROR_PRIVILEGE_NOT_HELD, StatusKind::Denied},
    {ERROR_INVALID_PARAMETER, StatusKind::Invalid},
    {ERROR_INVALID_DATA, StatusKind::Invalid},
    // A comm call on a device that is no serial port, or a folder where a file belongs.
    {ERROR_INVALID_FUNCTION, StatusKind::Foreign},
    {ERROR_NOT_SUPPORTED, StatusKind::Foreign},
    {ERROR_DIRECTORY, StatusKind::Foreign},
    {ERROR_NOT_ENOUGH_MEMORY, StatusKind::Exhausted},
    {ERROR_OUTOFMEMORY, StatusKind::Exhausted},
    {ERROR_NO_SYSTEM_RESOURCES, StatusKind::Exhausted},
    {ERROR_NOT_ENOUGH_QUOTA, StatusKind::Exhausted},
    {ERROR_TOO_MANY_OPEN_FILES, StatusKind::Exhausted},
    {ERROR_DISK_FULL, StatusKind::Exhausted},
    {ERROR_HANDLE_DISK_FULL, StatusKind::Exhausted},
    {ERROR_DEVICE_REMOVED, StatusKind::Lost},
    {ERROR_DEVICE_NOT_CONNECTED, StatusKind::Lost},
    {ERROR_BROKEN_PIPE, StatusKind::Lost},
    {ERROR_NETNAME_DELETED, StatusKind::Lost},
    {ERROR_NOT_READY, StatusKind::Lost},
};

}  // namespace

StatusKind KindOfLastError(unsigned long error) {
    for (const LastErrorKind& entry : LAST_ERROR_KINDS)
        if (entry.error == error) return entry.kind;
    return StatusKind::Io;
}

std::string LastErrorText(unsigned long error) {
    // In the system's language, which may need more than the ANSI code page: taken wide, kept as
    // UTF-8 like every other text.
    wchar_t text[256] = {};
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, error, 0, text, 256, nullptr);
    std::string words = Utf8FromWide(std::wstring(text, length));
    while (!words.empty() && (words.back() == '\n' || words.back() == '\r' || words.back() == ' '))
        words.pop_back();
    return words.empty() ? "Windows error " + std::to_string(error) : words;
}

}  // namespace qvlink
