#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "record_file.h"

namespace qvlink::cli {

struct RecordFile::Handle {
    int fd = -1;
};

RecordFile::RecordFile(std::unique_ptr<Handle> handle) : handle_(std::move(handle)) {}

RecordFile::~RecordFile() {
    close(handle_->fd);
}

std::unique_ptr<RecordFile> RecordFile::Open(const std::string& path, std::string& why) {
    const int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        why = std::strerror(errno);
        return nullptr;
    }
    return std::unique_ptr<RecordFile>(new RecordFile(std::make_unique<Handle>(Handle{fd})));
}

bool RecordFile::Append(const std::string& line, std::string& why) {
    const std::string whole = line + "\n";
    // With O_APPEND one write lands whole at the end of the file, whoever else appends.
    const ssize_t written = write(handle_->fd, whole.data(), whole.size());
    if (written != static_cast<ssize_t>(whole.size())) {
        why = written < 0 ? std::strerror(errno) : "the line was written only in part";
        return false;
    }
    // A file that cannot be synced (a pipe, a terminal) has nothing to flush.
    if (fsync(handle_->fd) != 0 && errno != EINVAL) {
        why = std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace qvlink::cli
