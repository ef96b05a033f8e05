#include <windows.h>

#include "record_file.h"

namespace qvlink::cli {
namespace {

std::string LastErrorText() {
    char text[256] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   GetLastError(), 0, text, sizeof text, nullptr);
    std::string why = text;
    while (!why.empty() && (why.back() == '\n' || why.back() == '\r')) why.pop_back();
    return why;
}

}  // namespace

struct RecordFile::Handle {
    HANDLE file = INVALID_HANDLE_VALUE;
};

RecordFile::RecordFile(std::unique_ptr<Handle> handle) : handle_(std::move(handle)) {}

RecordFile::~RecordFile() {
    CloseHandle(handle_->file);
}

std::unique_ptr<RecordFile> RecordFile::Open(const std::string& path, std::string& why) {
    // Append access alone makes every write land at the end of the file, whoever else appends.
    const HANDLE file =
        CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        why = LastErrorText();
        return nullptr;
    }
    return std::unique_ptr<RecordFile>(new RecordFile(std::make_unique<Handle>(Handle{file})));
}

bool RecordFile::Append(const std::string& line, std::string& why) {
    const std::string whole = line + "\n";
    DWORD written = 0;
    if (!WriteFile(handle_->file, whole.data(), static_cast<DWORD>(whole.size()), &written,
                   nullptr) ||
        written != whole.size()) {
        why = written == 0 ? LastErrorText() : "the line was written only in part";
        return false;
    }
    if (!FlushFileBuffers(handle_->file)) {
        why = LastErrorText();
        return false;
    }
    return true;
}

}  // namespace qvlink::cli
