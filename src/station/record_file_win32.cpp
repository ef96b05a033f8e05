#include <windows.h>

#include "record_file.h"

namespace qvlink::station {
namespace {

constexpr const char* WRITE_FAILED = "cannot write the record";

std::string LastErrorText() {
    char text[256] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   GetLastError(), 0, text, sizeof text, nullptr);
    std::string why = text;
    while (!why.empty() && (why.back() == '\n' || why.back() == '\r')) why.pop_back();
    return why;
}

LARGE_INTEGER Offset(LONGLONG value) {
    LARGE_INTEGER offset;
    offset.QuadPart = value;
    return offset;
}

}  // namespace

struct RecordFile::Handle {
    HANDLE file = INVALID_HANDLE_VALUE;
    bool disk = false;  // a file on disk: it can be read back, cut and flushed
};

RecordFile::RecordFile(std::unique_ptr<Handle> handle, bool needsNewline)
    : handle_(std::move(handle)), needsNewline_(needsNewline) {}

RecordFile::~RecordFile() {
    CloseHandle(handle_->file);
}

Status RecordFile::Open(const std::string& path, std::unique_ptr<RecordFile>* file) {
    const HANDLE handle =
        CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return Status::Error("cannot append to the record file " + path, LastErrorText());
    const bool disk = GetFileType(handle) == FILE_TYPE_DISK;
    bool needsNewline = false;
    LARGE_INTEGER size{};
    if (disk && GetFileSizeEx(handle, &size) && size.QuadPart > 0 &&
        SetFilePointerEx(handle, Offset(size.QuadPart - 1), nullptr, FILE_BEGIN)) {
        char last = '\n';
        DWORD read = 0;
        needsNewline = ReadFile(handle, &last, 1, &read, nullptr) && read == 1 && last != '\n';
    }
    file->reset(new RecordFile(std::make_unique<Handle>(Handle{handle, disk}), needsNewline));
    return Status::Ok();
}

Status RecordFile::AppendLocked(const std::string& text) {
    const HANDLE file = handle_->file;
    LARGE_INTEGER start{};
    if (handle_->disk &&
        (!GetFileSizeEx(file, &start) || !SetFilePointerEx(file, start, nullptr, FILE_BEGIN)))
        return Status::Error(WRITE_FAILED, LastErrorText());
    DWORD written = 0;
    if (!WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
        written != text.size()) {
        std::string why = written == 0 ? LastErrorText() : "the line was written only in part";
        if (written > 0 && handle_->disk) {
            why += SetFilePointerEx(file, start, nullptr, FILE_BEGIN) && SetEndOfFile(file)
                       ? "; the part written was cut away"
                       : "; the file now ends in a partial line";
        }
        return Status::Error(WRITE_FAILED, why);
    }
    // A pipe's flush would wait for its reader; only a file on disk is flushed.
    if (handle_->disk && !FlushFileBuffers(file))
        return Status::Error(WRITE_FAILED, LastErrorText());
    return Status::Ok();
}

}  // namespace qvlink::station
