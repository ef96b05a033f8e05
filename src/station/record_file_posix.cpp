#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "record_file.h"

namespace qvlink::station {
namespace {

constexpr const char* WRITE_FAILED = "cannot write the record";

// Whether the regular file at `path` has content that does not end in a newline.
bool EndsInsideALine(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat info {};
    char last = '\n';
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0)
        if (pread(fd, &last, 1, info.st_size - 1) != 1) last = '\n';
    close(fd);
    return last != '\n';
}

}  // namespace

struct RecordFile::Handle {
    int fd = -1;
    bool regular = false;
};

RecordFile::RecordFile(std::unique_ptr<Handle> handle, bool needsNewline)
    : handle_(std::move(handle)), needsNewline_(needsNewline) {}

RecordFile::~RecordFile() {
    close(handle_->fd);
}

Status RecordFile::Open(const std::string& path, std::unique_ptr<RecordFile>* file) {
    const int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return Status::Error("cannot append to the record file " + path, std::strerror(errno));
    struct stat info {};
    auto handle =
        std::make_unique<Handle>(Handle{fd, fstat(fd, &info) == 0 && S_ISREG(info.st_mode)});
    const bool needsNewline = handle->regular && EndsInsideALine(path);
    file->reset(new RecordFile(std::move(handle), needsNewline));
    return Status::Ok();
}

Status RecordFile::AppendLocked(const std::string& text) {
    const int fd = handle_->fd;
    // Where the line begins, so that a line written in part can be cut away again.
    struct stat before {};
    const bool canCut = handle_->regular && fstat(fd, &before) == 0;
    // With O_APPEND one write lands whole at the end of the file.
    const ssize_t written = write(fd, text.data(), text.size());
    if (written != static_cast<ssize_t>(text.size())) {
        std::string why = written < 0 ? std::strerror(errno) : "the line was written only in part";
        if (written > 0 && canCut) {
            why += ftruncate(fd, before.st_size) == 0 ? "; the part written was cut away"
                                                      : "; the file now ends in a partial line: " +
                                                            std::string(std::strerror(errno));
        }
        return Status::Error(WRITE_FAILED, why);
    }
    // Only a regular file has anything to sync; /dev/null and pipes refuse the call.
    if (handle_->regular && fsync(fd) != 0 && errno != EINVAL)
        return Status::Error(WRITE_FAILED, std::strerror(errno));
    return Status::Ok();
}

}  // namespace qvlink::station
