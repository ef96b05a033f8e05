// The stop wake on Linux: an eventfd that a raise makes readable and a clear drains.
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

#include "stop_wake.h"

namespace qvlink {

StopWake::StopWake() : fd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

StopWake::~StopWake() {
    if (fd_ >= 0) ::close(fd_);
}

void StopWake::Raise() const {
    if (fd_ < 0) return;
    const std::uint64_t one = 1;
    (void)::write(fd_, &one, sizeof one);  // a full counter is raised already
}

void StopWake::Clear() const {
    if (fd_ < 0) return;
    std::uint64_t count = 0;
    (void)::read(fd_, &count, sizeof count);  // reads the whole counter, or nothing when clear
}

}  // namespace qvlink
