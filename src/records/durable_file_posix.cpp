#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "durable_file.h"
#include "os_error.h"

namespace qvlink::records {

Status ReplaceFileDurably(const std::string& path, const std::string& contents) {
    const std::string fresh = path + ".new";
    const auto failed = [&](const char* what) {
        const int error = errno;
        return Status::Error(KindOfErrno(error), "cannot save " + path,
                             std::string(what) + ": " + ErrnoText(error));
    };
    const int fd = ::open(fresh.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return failed("open");
    std::size_t done = 0;
    while (done < contents.size()) {
        const ssize_t wrote = ::write(fd, contents.data() + done, contents.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) {
            const Status status = failed("write");
            ::close(fd);
            return status;
        }
        done += static_cast<std::size_t>(wrote);
    }
    if (::fsync(fd) != 0) {
        const Status status = failed("fsync");
        ::close(fd);
        return status;
    }
    ::close(fd);
    if (::rename(fresh.c_str(), path.c_str()) != 0) return failed("rename");
    return Status::Ok();
}

}  // namespace qvlink::records
