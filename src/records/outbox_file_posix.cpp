#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "os_error.h"
#include "outbox_file.h"

namespace qvlink::records {
namespace {

std::string IdentityOf(const struct stat& about) {
    return std::to_string(static_cast<unsigned long long>(about.st_dev)) + ":" +
           std::to_string(static_cast<unsigned long long>(about.st_ino));
}

}  // namespace

bool OutboxFile::open() const {
    return fd_ >= 0;
}

OutboxFile::~OutboxFile() {
    Close();
}

void OutboxFile::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    identity_.clear();
}

Status OutboxFile::Open(const std::string& path) {
    Close();
    // Non-blocking, so that a FIFO put where a record belongs cannot hold the forwarder.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        const int error = errno;
        const StatusKind kind = KindOfErrno(error);
        if (kind == StatusKind::NotFound)
            return Status::Error(kind, "there is no record file " + path + " yet");
        return Status::Error(kind, "cannot read the record file " + path, ErrnoText(error));
    }
    struct stat about {};
    if (::fstat(fd, &about) != 0 || !S_ISREG(about.st_mode)) {
        ::close(fd);
        return Status::Error(StatusKind::Foreign, "cannot read the record file " + path,
                             "it is not a regular file");
    }
    fd_ = fd;
    identity_ = IdentityOf(about);
    return Status::Ok();
}

std::uint64_t OutboxFile::Size() const {
    struct stat about {};
    if (fd_ < 0 || ::fstat(fd_, &about) != 0) return 0;
    return static_cast<std::uint64_t>(about.st_size);
}

long long OutboxFile::ReadAt(std::uint64_t offset, char* into, std::size_t size) const {
    for (;;) {
        const ssize_t got = ::pread(fd_, into, size, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) continue;
        return got;
    }
}

std::string OutboxFile::IdentityAt(const std::string& path) {
    struct stat about {};
    if (::stat(path.c_str(), &about) != 0) return {};
    return IdentityOf(about);
}

}  // namespace qvlink::records
