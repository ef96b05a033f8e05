// On Windows: written to "PATH.new", flushed to the disk with FlushFileBuffers, and moved over
// PATH with MoveFileEx, which returns only once the move is on the disk (MOVEFILE_WRITE_THROUGH).
// Paths are taken in the system's code page, as the record file and the cursor's reader take
// them, so that all three name the same files.
#include <windows.h>

#include "durable_file.h"
#include "os_error.h"

namespace qvlink::records {

Status ReplaceFileDurably(const std::string& path, const std::string& contents) {
    const std::string fresh = path + ".new";
    const auto failed = [&](const char* what) {
        const DWORD error = GetLastError();
        return Status::Error(KindOfLastError(error), "cannot save " + path,
                             std::string(what) + ": " + LastErrorText(error));
    };
    const HANDLE file = CreateFileA(fresh.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return failed("create");
    std::size_t done = 0;
    while (done < contents.size()) {
        DWORD wrote = 0;
        if (!WriteFile(file, contents.data() + done, static_cast<DWORD>(contents.size() - done),
                       &wrote, nullptr) ||
            wrote == 0) {
            const Status status = failed("write");
            CloseHandle(file);
            return status;
        }
        done += wrote;
    }
    if (!FlushFileBuffers(file)) {
        const Status status = failed("flush");
        CloseHandle(file);
        return status;
    }
    CloseHandle(file);
    if (!MoveFileExA(fresh.c_str(), path.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return failed("rename");
    return Status::Ok();
}

}  // namespace qvlink::records
