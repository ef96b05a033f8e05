#include <windows.h>

#include "os_error.h"
#include "record_file.h"
#include "wide_text.h"

namespace qvlink::station {
namespace {

constexpr const char* WRITE_FAILED = "cannot write the record";

// The call that just failed, as a Status of its kind with the system's words.
Status SystemFailure(const std::string& message) {
    const DWORD error = GetLastError();
    return Status::Error(KindOfLastError(error), message, LastErrorText(error));
}

LARGE_INTEGER Offset(LONGLONG value) {
    LARGE_INTEGER offset;
    offset.QuadPart = value;
    return offset;
}

}  // namespace

struct RecordFile::Handle {
    HANDLE file = INVALID_HANDLE_VALUE;
    bool disk = false;  // a file on disk: it can be read back, cut, locked and flushed
    Handle() = default;
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() { CloseHandle(file); }
};

// The byte range every appender locks: far beyond any record's end, so that the lock keeps
// appenders apart without keeping a reader from the lines.
constexpr DWORD LOCK_OFFSET_HIGH = 0x7FFFFFFF;

RecordFile::RecordFile(std::string path, std::unique_ptr<Handle> handle)
    : path_(std::move(path)), handle_(std::move(handle)) {}

RecordFile::~RecordFile() = default;

Status RecordFile::Open(const std::string& path, std::unique_ptr<RecordFile>* file) {
    // Without FILE_SHARE_DELETE the file cannot be moved or deleted while it is open here, so
    // its path always names the open file.
    const HANDLE handle = CreateFileW(WideFromUtf8(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return SystemFailure("cannot append to the record file " + path);
    auto opened = std::make_unique<Handle>();  // owns the handle from here on
    opened->file = handle;
    opened->disk = GetFileType(handle) == FILE_TYPE_DISK;
    file->reset(new RecordFile(path, std::move(opened)));
    return Status::Ok();
}

Status RecordFile::FollowLocked(std::string* /*notice*/) {
    return Status::Ok();
}

Status RecordFile::AppendLocked(const std::string& line) {
    const HANDLE file = handle_->file;
    OVERLAPPED range{};
    range.OffsetHigh = LOCK_OFFSET_HIGH;
    const bool locked =
        handle_->disk && LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &range) != 0;
    struct LockRelease {
        HANDLE file;
        OVERLAPPED range;
        bool locked;
        ~LockRelease() {
            if (locked) UnlockFileEx(file, 0, 1, 0, &range);
        }
    } release{file, range, locked};
    LARGE_INTEGER start{};
    if (handle_->disk &&
        (!GetFileSizeEx(file, &start) || !SetFilePointerEx(file, start, nullptr, FILE_BEGIN)))
        return SystemFailure(WRITE_FAILED);
    // A file that ends in a partial line (a crash in the middle of a write) gets its line
    // ended first, so that the new line stands whole on its own.
    std::string text;
    text.reserve(line.size() + 1);
    if (handle_->disk && start.QuadPart > 0 &&
        SetFilePointerEx(file, Offset(start.QuadPart - 1), nullptr, FILE_BEGIN)) {
        char last = '\n';
        DWORD read = 0;
        if (ReadFile(file, &last, 1, &read, nullptr) && read == 1 && last != '\n')
            text.push_back('\n');
        if (!SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) return SystemFailure(WRITE_FAILED);
    }
    text += line;
    DWORD written = 0;
    if (!WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
        written != text.size()) {
        const DWORD error = GetLastError();
        std::string why = written == 0 ? LastErrorText(error) : "the line was written only in part";
        if (written > 0 && handle_->disk) {
            why += SetFilePointerEx(file, start, nullptr, FILE_BEGIN) && SetEndOfFile(file)
                       ? "; the part written was cut away"
                       : "; the file now ends in a partial line";
        }
        return Status::Error(written == 0 ? KindOfLastError(error) : StatusKind::Io, WRITE_FAILED,
                             why);
    }
    // A pipe's flush would wait for its reader; only a file on disk is flushed.
    if (handle_->disk && !FlushFileBuffers(file)) return SystemFailure(WRITE_FAILED);
    return Status::Ok();
}

}  // namespace qvlink::station
