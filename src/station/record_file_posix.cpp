#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "os_error.h"
#include "record_file.h"

namespace qvlink::station {
namespace {

constexpr const char* WRITE_FAILED = "cannot write the record";

std::string OpenFailure(const std::string& path) {
    return "cannot append to the record file " + path;
}

// Opens `path` for appending. A regular file is opened for reading too, so that an append can
// see whether the file ends inside a line; anything else (a pipe, a device) only for writing,
// and without waiting: a pipe that nobody reads yet would hold the open for ever.
Status OpenForAppend(const std::string& path, int* fd) {
    struct stat info {};
    const bool other = stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode);
    const int mode = other ? O_WRONLY : O_RDWR;
    int opened = open(path.c_str(), mode | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0644);
    if (opened < 0 && errno == EACCES && !other)  // a file this user may only write to
        opened = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0644);
    if (opened < 0) {
        if (errno == ENXIO)
            return Status::Error(StatusKind::NotFound, OpenFailure(path),
                                 "it is a pipe that no program reads: start its reader first");
        const int error = errno;
        return Status::Error(KindOfErrno(error), OpenFailure(path), ErrnoText(error));
    }
    // From here on a write waits for a slow reader, as a line must be whole before it counts.
    fcntl(opened, F_SETFL, fcntl(opened, F_GETFL) & ~O_NONBLOCK);
    *fd = opened;
    return Status::Ok();
}

// Whether a file's regular content at `size` bytes ends inside a line.
bool EndsInsideALine(int fd, off_t size) {
    char last = '\n';
    return size > 0 && pread(fd, &last, 1, size - 1) == 1 && last != '\n';
}

}  // namespace

struct RecordFile::Handle {
    int fd = -1;
    bool regular = false;
    dev_t device = 0;  // which file is open, to see when its path names another
    ino_t inode = 0;

    static std::unique_ptr<Handle> Of(int fd) {
        auto handle = std::make_unique<Handle>();
        handle->fd = fd;
        struct stat info {};
        if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
            handle->regular = true;
            handle->device = info.st_dev;
            handle->inode = info.st_ino;
        }
        return handle;
    }
    Handle() = default;
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() { close(fd); }
};

RecordFile::RecordFile(std::string path, std::unique_ptr<Handle> handle)
    : path_(std::move(path)), handle_(std::move(handle)) {}

RecordFile::~RecordFile() = default;

Status RecordFile::Open(const std::string& path, std::unique_ptr<RecordFile>* file) {
    int fd = -1;
    if (Status opened = OpenForAppend(path, &fd); !opened.ok()) return opened;
    file->reset(new RecordFile(path, Handle::Of(fd)));
    return Status::Ok();
}

Status RecordFile::FollowLocked(std::string* notice) {
    if (!handle_->regular) return Status::Ok();
    struct stat info {};
    if (stat(path_.c_str(), &info) == 0) {
        if (info.st_dev == handle_->device && info.st_ino == handle_->inode) return Status::Ok();
    } else if (errno != ENOENT && errno != ENOTDIR) {
        return Status::Ok();  // the path cannot be looked at now; the open file still takes lines
    }
    int fd = -1;
    if (Status opened = OpenForAppend(path_, &fd); !opened.ok())
        return Status::Error(
            opened.kind(), WRITE_FAILED,
            "the record file " + path_ +
                " was moved or deleted and cannot be made again: " + opened.cause());
    handle_ = Handle::Of(fd);
    *notice = "the record file " + path_ +
              " was moved, deleted or replaced: the record goes on in a new " + path_;
    return Status::Ok();
}

Status RecordFile::AppendLocked(const std::string& line) {
    const int fd = handle_->fd;
    // Another program appending to the same file waits for this line, and this one for its.
    const bool locked = handle_->regular && flock(fd, LOCK_EX) == 0;
    struct LockRelease {
        int fd;
        bool locked;
        ~LockRelease() {
            if (locked) flock(fd, LOCK_UN);
        }
    } release{fd, locked};
    // Where the line begins, so that a line written in part can be cut away again.
    struct stat before {};
    const bool canCut = handle_->regular && fstat(fd, &before) == 0;
    const std::string text = (canCut && EndsInsideALine(fd, before.st_size) ? "\n" : "") + line;
    // With O_APPEND one write lands whole at the end of the file.
    const ssize_t written = write(fd, text.data(), text.size());
    if (written != static_cast<ssize_t>(text.size())) {
        const int error = errno;
        std::string why = written < 0 ? ErrnoText(error) : "the line was written only in part";
        if (written > 0 && canCut) {
            why += ftruncate(fd, before.st_size) == 0 ? "; the part written was cut away"
                                                      : "; the file now ends in a partial line: " +
                                                            std::string(std::strerror(errno));
        }
        return Status::Error(written < 0 ? KindOfErrno(error) : StatusKind::Io, WRITE_FAILED, why);
    }
    // Only a regular file has anything to sync; /dev/null and pipes refuse the call.
    if (handle_->regular && fsync(fd) != 0 && errno != EINVAL) {
        const int error = errno;
        return Status::Error(KindOfErrno(error), WRITE_FAILED, ErrnoText(error));
    }
    return Status::Ok();
}

}  // namespace qvlink::station
