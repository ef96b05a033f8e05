#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "durable_file.h"
#include "os_error.h"

namespace qvlink {

Status ReplaceFileDurably(const std::string& path, const std::string& contents) {
    // mkostemp opens with O_CREAT | O_EXCL, which never follows a link, and picks a name that
    // is free; the name stays in PATH's folder, so the rename stays on one file system.
    std::string fresh = path + ".new.XXXXXX";
    const int fd = ::mkostemp(fresh.data(), O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        return Status::Error(KindOfErrno(error), "cannot save " + path,
                             "create: " + ErrnoText(error));
    }
    const auto failed = [&](const char* what) {
        const int error = errno;
        ::close(fd);
        ::unlink(fresh.c_str());
        return Status::Error(KindOfErrno(error), "cannot save " + path,
                             std::string(what) + ": " + ErrnoText(error));
    };
    // mkostemp makes the file for its owner alone; the replaced file is readable as before.
    if (::fchmod(fd, 0644) != 0) return failed("chmod");
    std::size_t done = 0;
    while (done < contents.size()) {
        const ssize_t wrote = ::write(fd, contents.data() + done, contents.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote == 0) errno = ENOSPC;
        if (wrote <= 0) return failed("write");
        done += static_cast<std::size_t>(wrote);
    }
    if (::fsync(fd) != 0) return failed("fsync");
    if (::rename(fresh.c_str(), path.c_str()) != 0) return failed("rename");
    ::close(fd);
    return Status::Ok();
}

}  // namespace qvlink
