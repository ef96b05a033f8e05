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

std::string OutboxFile::CurrentPath() const {
    if (fd_ < 0) return {};
    const std::string link = "/proc/self/fd/" + std::to_string(fd_);
    std::string path(4096, '\0');
    const ssize_t size = ::readlink(link.c_str(), path.data(), path.size());
    if (size <= 0 || static_cast<std::size_t>(size) >= path.size()) return {};
    path.resize(static_cast<std::size_t>(size));
    // The kernel's word for a file no name leads to any more.
    static const std::string DELETED = " (deleted)";
    if (path.front() != '/' ||
        (path.size() > DELETED.size() &&
         path.compare(path.size() - DELETED.size(), DELETED.size(), DELETED) == 0))
        return {};
    return path;
}

std::string OutboxFile::IdentityAt(const std::string& path) {
    struct stat about {};
    if (::stat(path.c_str(), &about) != 0) return {};
    return IdentityOf(about);
}

}  // namespace qvlink::records
