#include <windows.h>

#include <chrono>
#include <utility>

#include "os_error.h"
#include "service_log.h"
#include "wide_text.h"

namespace qvlink {
namespace {

constexpr std::size_t BACKLOG = 1 << 20;

}  // namespace

ServiceLog::~ServiceLog() {
    (void)Close();
}

Status ServiceLog::Open(const std::filesystem::path& path) {
    const HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return Status::Error(KindOfLastError(error),
                             "cannot open the log " + Utf8FromWide(path.wstring()),
                             LastErrorText(error));
    }
    LARGE_INTEGER size{};
    size_ = GetFileSizeEx(file, &size) ? static_cast<std::uint64_t>(size.QuadPart) : 0;
    file_ = file;
    path_ = path;
    {
        MutexLock lock(mutex_);
        open_ = true;
    }
    writer_ = std::thread([this] { Write(); });
    return Status::Ok();
}

bool ServiceLog::Out(const std::string& text) {
    MutexLock lock(mutex_);
    if (!open_ || closing_) return false;
    std::size_t kept = 0;
    for (const char c : text) {
        if (pending_.size() + 2 > BACKLOG) break;
        if (c == '\n') pending_ += '\r';
        pending_ += c;
        ++kept;
    }
    dropped_ += text.size() - kept;
    changed_.notify_all();
    return true;
}

void ServiceLog::Err(const std::string& text) {
    (void)Out(text);
}

void ServiceLog::Write() {
    MutexLock lock(mutex_);
    for (;; changed_.notify_all()) {
        changed_.wait(lock, [this]() QV_REQUIRES(mutex_) { return !pending_.empty() || closing_; });
        if (pending_.empty() && dropped_ == 0) break;
        std::string text;
        if (dropped_ > 0) {
            text.append("(").append(std::to_string(std::exchange(dropped_, 0)));
            text.append(" bytes of this log were lost: the file did not take them)\r\n");
        }
        text.append(pending_);
        pending_.clear();
        lock.unlock();
        TurnOver();
        DWORD written = 0;
        const bool ok = WriteFile(static_cast<HANDLE>(file_), text.data(),
                                  static_cast<DWORD>(text.size()), &written, nullptr) &&
                        written == text.size();
        size_ += written;
        lock.lock();
        // A file that fails at the end is not tried again.
        if (!ok) {
            dropped_ += text.size() - written;
            if (closing_) break;
        }
    }
    done_ = true;
    changed_.notify_all();
}

void ServiceLog::TurnOver() {
    if (size_ < keepBytes_ || file_ == nullptr) return;
    std::filesystem::path older = path_;
    older += L".1";
    CloseHandle(static_cast<HANDLE>(file_));
    // Should the rename fail (the older one held open by a reader), the file is begun anew in
    // place rather than grow past its bound.
    const bool moved = MoveFileExW(path_.c_str(), older.c_str(), MOVEFILE_REPLACE_EXISTING);
    const HANDLE file =
        CreateFileW(path_.c_str(), FILE_APPEND_DATA | (moved ? 0 : GENERIC_WRITE),
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    moved ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    file_ = file == INVALID_HANDLE_VALUE ? nullptr : file;
    size_ = 0;
}

bool ServiceLog::Close(int seconds) {
    if (!writer_.joinable()) return true;
    bool written = false;
    {
        MutexLock lock(mutex_);
        closing_ = true;
        changed_.notify_all();
        written = changed_.wait_for(lock, std::chrono::seconds(seconds),
                                    [this]() QV_REQUIRES(mutex_) { return done_; });
    }
    if (written) {
        writer_.join();
        if (file_ != nullptr) CloseHandle(static_cast<HANDLE>(file_));
        file_ = nullptr;
    } else {
        // A file that does not take the text in time is left to the log's thread, and with it
        // the handle, which the process's end closes.
        writer_.detach();
    }
    return written;
}

}  // namespace qvlink
