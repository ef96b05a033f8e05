// On Windows: written to a temporary beside PATH made with CREATE_NEW (which never opens what
// is there already, a file or a link), flushed to the disk with FlushFileBuffers, and moved over
// PATH with MoveFileEx, which returns only once the move is on the disk
// (MOVEFILE_WRITE_THROUGH). Paths are UTF-8, handed to the system's wide calls as the record file
// and the cursor's reader hand theirs, so that all three name the same files.
#include <windows.h>

#include "durable_file.h"
#include "os_error.h"
#include "wide_text.h"

namespace qvlink {
namespace {

// Enough names to pass any number of temporaries left by crashes of this process id.
constexpr int NAMES_TRIED = 1000;

}  // namespace

Status ReplaceFileDurably(const std::string& path, const std::string& contents) {
    std::wstring fresh;
    HANDLE file = INVALID_HANDLE_VALUE;
    DWORD error = ERROR_FILE_EXISTS;
    const std::wstring stem =
        WideFromUtf8(path) + L".new." + std::to_wstring(GetCurrentProcessId()) + L".";
    for (int tried = 0; tried < NAMES_TRIED && file == INVALID_HANDLE_VALUE; ++tried) {
        fresh = stem + std::to_wstring(tried);
        file = CreateFileW(fresh.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
    }
    if (file == INVALID_HANDLE_VALUE)
        return Status::Error(KindOfLastError(error), "cannot save " + path,
                             "create: " + LastErrorText(error));
    bool open = true;
    const auto failed = [&](const char* what) {
        const DWORD failure = GetLastError();
        if (open) CloseHandle(file);
        DeleteFileW(fresh.c_str());
        return Status::Error(KindOfLastError(failure), "cannot save " + path,
                             std::string(what) + ": " + LastErrorText(failure));
    };
    std::size_t done = 0;
    while (done < contents.size()) {
        DWORD wrote = 0;
        if (!WriteFile(file, contents.data() + done, static_cast<DWORD>(contents.size() - done),
                       &wrote, nullptr))
            return failed("write");
        if (wrote == 0) {
            SetLastError(ERROR_DISK_FULL);
            return failed("write");
        }
        done += wrote;
    }
    if (!FlushFileBuffers(file)) return failed("flush");
    CloseHandle(file);
    open = false;
    if (!MoveFileExW(fresh.c_str(), WideFromUtf8(path).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return failed("rename");
    return Status::Ok();
}

}  // namespace qvlink
