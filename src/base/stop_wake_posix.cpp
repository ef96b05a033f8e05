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
    // Fails only when the counter is full, and then it is raised already.
    [[maybe_unused]] const ssize_t written = ::write(fd_, &one, sizeof one);
}

void StopWake::Clear() const {
    if (fd_ < 0) return;
    std::uint64_t count = 0;
    // Reads the whole counter, or fails when it is clear already.
    [[maybe_unused]] const ssize_t taken = ::read(fd_, &count, sizeof count);
}

}  // namespace qvlink
